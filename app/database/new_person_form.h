#pragma once
// Purpose: the logic of the "Новая персона" dialog, without a display: what the edits keep, when
//          "OK" is enabled, and the question about a recent date of birth. The Qt dialog forwards
//          every change of its controls here; tests drive it directly.
// Threads: the user-interface thread.
// Owns: the entered values.

#include "app/database/operator_dialogs.h"
#include "app/database/person_record.h"

#include <QDate>
#include <QString>

#include <optional>

namespace database {

// What the dialog hands to the insert.
struct NewPersonInput {
    WatchList list = WatchList::Green;
    PersonFields fields;
};

class NewPersonForm {
public:
    // The edits' input limits: what fits each field with its terminator, so nothing typed is
    // dropped unseen.
    static constexpr int kNameInputLimit = 63;
    static constexpr int kAliasInputLimit = 15;
    static constexpr int kExternalKeyInputLimit = 31;

    explicit NewPersonForm(WatchList initialList = WatchList::Green) { input_.list = initialList; }

    void SetList(WatchList list) { input_.list = list; }
    void SetGender(Gender gender) { input_.fields.gender = gender; }
    // The edits' texts as typed: surname, forename, second name and alias lose their leading and
    // trailing blanks, the external key is kept as it is; each is cut to its field.
    void SetSurname(const QString& typed);
    void SetForename(const QString& typed);
    void SetSecondName(const QString& typed);
    void SetAlias(const QString& typed);
    void SetExternalKey(const QString& typed);
    // None: the date picker shows no date.
    void SetDateOfBirth(std::optional<QDate> date) { date_ = date; }

    // "OK" is enabled only while the surname is not empty.
    bool CanAccept() const { return !input_.fields.surname.isEmpty(); }

    enum class AcceptResult { Accepted, KeepOpen };
    // "OK": with a date whose year is greater than today's year minus 10, asks whether it is right
    // (No keeps the dialog open); the date becomes that day at midnight.
    AcceptResult Accept(OperatorDialogs& dialogs, const QDate& today);
    // "Вы уверены, что дата рождения  %02d.%02d.%d  введена верно?"
    static QString DateQuestion(const QDate& date);

    // The values; after Accepted, with the date of birth filled in.
    const NewPersonInput& Input() const { return input_; }

private:
    NewPersonInput input_;
    std::optional<QDate> date_;
};

}  // namespace database
