#pragma once
// Purpose: the read-only details of the person chooser: each field's caption and the text it shows
//          for a person.
// Threads: any (pure functions).
// Owns: nothing.

#include "app/database/person_record.h"

#include <QString>

#include <vector>

namespace browser {

struct PersonDetail {
    QString label;
    QString value;
};

// Surname, forename, second name, alias, external key, gender ("Мужской"/"Женский"), date of
// birth, address, contacts, description, in that order; the values empty without a person.
std::vector<PersonDetail> PersonDetails(const database::PersonRecord* person);
// "%02d.%02d.%d" (day, month, year); empty when no date is known.
QString DateOfBirthText(double oleDate);

}  // namespace browser
