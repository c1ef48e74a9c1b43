#pragma once
// Purpose: the person information dialog of a recognized entry without a display: the record it
//          shows (the entry's fields, then address, contacts, description, properties and photos
//          read from the database on a connection of its own), the texts of its fields, the photo
//          browsing and fitting, and how the read details go back into the entry afterwards.
// Threads: the user-interface thread.
// Owns: the record's texts and decoded photos.

#include "app/database/db_operation.h"
#include "app/recognition/recognized_list.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <utility>
#include <vector>

namespace ui {

struct PersonInfoRecord {
    recognition::RecognizedEntryRef entry;
    uint32_t personId = 0;
    recognition::PersonFields person;
    QString address;
    QString contacts;
    QString description;
    std::vector<std::pair<QString, QString>> properties;  // name, value, in display order
    std::vector<QImage> photos;                           // decoded, ready for drawing
};

// The entry's identity and person fields; the rest stays empty until loaded.
PersonInfoRecord PersonInfoFromEntry(const recognition::RecognizedListItem& item);

// Reads the details under the wait cursor. False when the connection could not be opened or a
// query failed; ui has then shown why and the dialog is not to be shown. Photos that cannot be
// decoded are left out.
bool LoadPersonInfo(database::DbUserInterface& ui, const QString& connectionString, PersonInfoRecord& record);

// What the read-only fields of the "Метрики" page show.
struct PersonMetricTexts {
    QString id;
    QString list;  // "Зеленый", "Красный", "Серый"
    QString surname;
    QString forename;
    QString secondName;
    QString alias;
    QString externalKey;
    QString gender;       // "Мужской" for any non-zero value
    QString dateOfBirth;  // "dd.mm.yyyy", empty without a date
    QString address;
    QString contacts;
    QString description;
    QString speech;
};

PersonMetricTexts MetricTexts(const PersonInfoRecord& record);

// The photo shown and the arrows beside the photo area.
class PhotoBrowsing {
public:
    explicit PhotoBrowsing(size_t count) : count_(count) {}
    // The current photo's index; -1 without photos.
    int Current() const { return count_ == 0 ? -1 : int(current_); }
    bool PreviousVisible() const { return current_ > 0; }
    bool NextVisible() const { return count_ > 0 && current_ + 1 < count_; }
    // Each moves by one photo when its arrow is visible; false otherwise.
    bool Previous();
    bool Next();

private:
    size_t count_;
    size_t current_ = 0;
};

// Where a photo is drawn in an area of that size: centred, in its own size when it fits, else
// shrunk with its proportions kept, to the area's height when the area's aspect (width ÷ height,
// as taken when the dialog started) is at least the photo's, otherwise to its width; the other
// side is truncated to whole pixels.
QRect PlacePhoto(const QSize& photo, const QSize& area, double areaAspect);

enum class CopyBackResult {
    EntryGone,  // the entry left the list while the dialog was open
    Unchanged,  // the entry already held the same texts
    Copied,     // at least one text was copied: redraw the entry
};

// After the dialog closed: the entry, if still in the list, keeps the details read for it.
CopyBackResult CopyDetailsBack(recognition::RecognizedPersonsList& list, const PersonInfoRecord& record);

}  // namespace ui
