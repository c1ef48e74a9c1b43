#pragma once
// Purpose: a person as the database browser and the person card hold it, the encodings of its
//          watch list, gender and date of birth, and the names these carry in the user interface
//          and in the journal.
// Threads: any (value types and pure functions).
// Owns: its texts.

#include "app/database/person_name.h"

#include <QDate>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace database {

// LIST_NUM.
enum class WatchList : int32_t { Green = 0, Red = 1, Gray = 2 };
// Gender: a new person is male unless chosen otherwise.
enum class Gender : int32_t { Female = 0, Male = 1 };

// Field capacities in UTF-16 units, terminator included: a field keeps capacity - 1 units.
constexpr size_t kNameUnits = 64;         // SURNAME, FORENAME, SECONDNAME, PROPNAME
constexpr size_t kAliasUnits = 16;        // ALIAS
constexpr size_t kExternalKeyUnits = 32;  // EXT_KEY
constexpr size_t kLongTextUnits = 256;    // ADDRESS, CONTACTS, DESCRIPTION, SPEECH, PROPVALUE

// The list of a LIST_NUM value; none for a value outside 0..2.
std::optional<WatchList> WatchListFromNumber(int32_t number);
std::optional<Gender> GenderFromNumber(int32_t number);

// "Зеленый", "Красный", "Серый": the names in menus, radio buttons and lists.
QString WatchListName(WatchList list);
// "Белый", "Черный", "Серый": the names in the journal's list-change text.
QString WatchListJournalName(WatchList list);
// "Женский", "Мужской".
QString GenderName(Gender gender);

// Date of birth: an OLE Automation date; 0 means that no date is known.
constexpr double kNoDateOfBirth = 0;
// The OLE Automation date of that day at midnight (local time).
double OleDateOfDay(const QDate& day);

// The identifying and descriptive fields of a person: what the person card edits and saves.
struct PersonFields {
    QString surname;
    QString forename;
    QString secondName;
    QString alias;
    QString externalKey;
    Gender gender = Gender::Male;
    double dateOfBirth = kNoDateOfBirth;
    QString address;
    QString contacts;
    QString description;
    QString speech;

    PersonName Name() const { return {surname, forename, secondName}; }
};

// Whether the card's fields differ from those last read: the texts without regard to letter case,
// gender and date of birth exactly.
bool CardFieldsDiffer(const PersonFields& card, const PersonFields& lastRead);

// One row of the browser's person list.
struct PersonRecord {
    int32_t personId = 0;
    WatchList list = WatchList::Green;
    PersonFields fields;
    int32_t sampleCount = 0;
};

}  // namespace database
