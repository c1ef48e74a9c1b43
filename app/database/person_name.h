#pragma once
// Purpose: the three names that identify a person in questions and journal texts.
// Threads: any (a value type).
// Owns: its texts.

#include <QString>

namespace database {

struct PersonName {
    QString surname;
    QString forename;
    QString secondName;

    // "%s %s %s": the form of journal descriptions and delete questions.
    QString Spaced() const { return surname + u' ' + forename + u' ' + secondName; }
    // The surname, then " " and each further name that is not empty: the form of the
    // questions that name the destination of samples.
    QString Compact() const {
        QString text = surname;
        if (!forename.isEmpty()) text += u' ' + forename;
        if (!secondName.isEmpty()) text += u' ' + secondName;
        return text;
    }
};

}  // namespace database
