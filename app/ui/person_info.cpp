#include "app/ui/person_info.h"

#include "app/browser/display_image.h"
#include "app/database/person_details.h"
#include "app/database/person_record.h"
#include "platform/fixedtext.h"
#include "platform/oledate.h"

#include <cmath>

namespace ui {

PersonInfoRecord PersonInfoFromEntry(const recognition::RecognizedListItem& item) {
    PersonInfoRecord record;
    record.entry = recognition::RecognizedPersonsList::RefOf(item);
    record.personId = item.personId;
    record.person = item.person;
    return record;
}

bool LoadPersonInfo(database::DbUserInterface& ui, const QString& connectionString, PersonInfoRecord& record) {
    std::optional<database::PersonDetails> details =
        database::ReadPersonDetails(ui, connectionString, static_cast<int32_t>(record.personId));
    if (!details) return false;
    record.address = std::move(details->address);
    record.contacts = std::move(details->contacts);
    record.description = std::move(details->description);
    record.properties = std::move(details->properties);
    record.photos.clear();
    for (const QByteArray& bytes : details->photos) {
        QImage photo = browser::DecodeForDisplay(bytes);
        if (!photo.isNull()) record.photos.push_back(std::move(photo));
    }
    return true;
}

PersonMetricTexts MetricTexts(const PersonInfoRecord& record) {
    const recognition::PersonFields& p = record.person;
    PersonMetricTexts texts;
    texts.id = QString::number(record.personId);
    const std::optional<database::WatchList> list = database::WatchListFromNumber(int32_t(p.listNumber));
    texts.list = database::WatchListName(list.value_or(database::WatchList::Gray));
    texts.surname = platform::FromFixed(p.surname);
    texts.forename = platform::FromFixed(p.forename);
    texts.secondName = platform::FromFixed(p.secondName);
    texts.alias = platform::FromFixed(p.alias);
    texts.externalKey = platform::FromFixed(p.externalKey);
    texts.gender = database::GenderName(p.gender != 0 ? database::Gender::Male : database::Gender::Female);
    if (p.dateOfBirth > 0) {
        const platform::LocalTime birth = platform::SplitOleDate(p.dateOfBirth);
        texts.dateOfBirth = QString::asprintf("%02d.%02d.%d", birth.day, birth.month, birth.year);
    }
    texts.address = record.address;
    texts.contacts = record.contacts;
    texts.description = record.description;
    texts.speech = platform::FromFixed(p.speech);
    return texts;
}

bool PhotoBrowsing::Previous() {
    if (!PreviousVisible()) return false;
    --current_;
    return true;
}

bool PhotoBrowsing::Next() {
    if (!NextVisible()) return false;
    ++current_;
    return true;
}

QRect PlacePhoto(const QSize& photo, const QSize& area, double areaAspect) {
    if (photo.isEmpty() || area.isEmpty()) return {};
    QSize drawn = photo;
    if (photo.width() > area.width() || photo.height() > area.height()) {
        const double photoAspect = double(photo.width()) / photo.height();
        if (areaAspect >= photoAspect) {
            drawn = QSize(int(std::trunc(area.height() * photoAspect)), area.height());
        } else {
            drawn = QSize(area.width(), int(std::trunc(area.width() / photoAspect)));
        }
    }
    return QRect(QPoint((area.width() - drawn.width()) / 2, (area.height() - drawn.height()) / 2), drawn);
}

CopyBackResult CopyDetailsBack(recognition::RecognizedPersonsList& list, const PersonInfoRecord& record) {
    recognition::RecognizedListItem* item = list.Find(record.entry);
    if (item == nullptr) return CopyBackResult::EntryGone;
    item->detailsPresent = true;
    bool copied = false;
    auto copy = [&copied](auto& field, const QString& text) {
        if (platform::FromFixed(field) == text) return;
        platform::CopyToFixed(field, text);
        copied = true;
    };
    copy(item->address, record.address);
    copy(item->contacts, record.contacts);
    copy(item->description, record.description);
    return copied ? CopyBackResult::Copied : CopyBackResult::Unchanged;
}

}  // namespace ui
