#include "app/ui/recognized_entries.h"

#include "platform/fixedtext.h"
#include "platform/oledate.h"

namespace ui {

RecognizedEntryTexts EntryTexts(const recognition::RecognizedListItem& item) {
    const recognition::PersonFields& p = item.person;
    RecognizedEntryTexts texts;

    const platform::LocalTime time = platform::SplitOleDate(item.time);
    texts.headline =
        QString::asprintf("%02d:%02d:%02d\t%.1f%%\t", time.hour, time.minute, time.second, item.confidence) +
        platform::FromFixed(p.surname);
    for (const QString& part : {platform::FromFixed(p.forename), platform::FromFixed(p.secondName)}) {
        if (!part.isEmpty()) texts.headline += QLatin1Char(' ') + part;
    }
    const QString alias = platform::FromFixed(p.alias);
    if (!alias.isEmpty()) texts.headline += QStringLiteral(" (") + alias + QLatin1Char(')');

    texts.identity = QString::asprintf("ID: %u\t", item.personId) + QStringLiteral("Пол: ") +
                     (p.gender != 0 ? QStringLiteral("Мужской") : QStringLiteral("Женский"));
    if (p.dateOfBirth > 0) {
        const platform::LocalTime birth = platform::SplitOleDate(p.dateOfBirth);
        texts.identity += QStringLiteral("\t\tДата рождения: ") +
                          QString::asprintf("%02d.%02d.%d", birth.day, birth.month, birth.year);
    }
    const QString key = platform::FromFixed(p.externalKey);
    if (!key.isEmpty()) texts.identity += QStringLiteral("\t\tВнешний ключ: ") + key;

    if (item.detailsPresent) {
        const QString address = platform::FromFixed(item.address);
        const QString contacts = platform::FromFixed(item.contacts);
        if (!address.isEmpty()) texts.address = QStringLiteral("Адрес:\t") + address;
        if (!contacts.isEmpty()) texts.contacts = QStringLiteral("Контакты:  ") + contacts;
        texts.description = platform::FromFixed(item.description);
    }
    return texts;
}

QColor ListColour(uint32_t listNumber) {
    switch (listNumber) {
    case 0:
        return {34, 177, 76};
    case 1:
        return {255, 0, 0};
    default:
        return {172, 172, 172};
    }
}

EntryLayout LayOutEntry(const QRect& item) {
    EntryLayout layout;
    layout.strip = QRect(item.left() + 1, item.top() + 1, 159, item.height() - 2);
    layout.thumbnail = item.topLeft() + QPoint(5, 5);
    layout.text = QRect(item.left() + 172, item.top() + 9, item.width() - 172 - 9, item.height() - 18);
    QRect frame(item.left() + 161, item.top() + 2, item.width() - 161 - 2, item.height() - 4);
    for (QRect& nested : layout.selection) {
        nested = frame;
        frame.adjust(1, 1, -1, -1);
    }
    return layout;
}

EntryLines LayOutEntryLines(int textTop, int headlineHeight, int lineHeight) {
    EntryLines lines;
    lines.headlineTop = textTop;
    const int headlineBottom = textTop + headlineHeight;
    lines.ruleY = headlineBottom + 4;
    lines.identityTop = headlineBottom + 9;
    lines.detailsTop = lines.identityTop + lineHeight + kDetailLineGap;
    return lines;
}

void RecognizedPageModel::Select(int row) {
    if (row < 0 || size_t(row) >= list_.Size()) {
        selected_ = {};
        return;
    }
    selected_ = recognition::RecognizedPersonsList::RefOf(list_.At(size_t(row)));
}

const recognition::RecognizedListItem* RecognizedPageModel::Selected() const {
    const int row = SelectedRow();
    return row < 0 ? nullptr : &list_.At(size_t(row));
}

bool RecognizedPageModel::RemoveSelected() {
    const recognition::RecognizedEntryRef ref = selected_;
    selected_ = {};
    return list_.Remove(ref);
}

}  // namespace ui
