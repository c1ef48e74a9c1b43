#include "app/database/new_person_form.h"

#include "app/database/db_text.h"

namespace database {

namespace {

QString TrimmedField(const QString& typed, size_t capacity) { return FitText(typed, capacity).trimmed(); }

}  // namespace

void NewPersonForm::SetSurname(const QString& typed) { input_.fields.surname = TrimmedField(typed, kNameUnits); }
void NewPersonForm::SetForename(const QString& typed) { input_.fields.forename = TrimmedField(typed, kNameUnits); }
void NewPersonForm::SetSecondName(const QString& typed) { input_.fields.secondName = TrimmedField(typed, kNameUnits); }
void NewPersonForm::SetAlias(const QString& typed) { input_.fields.alias = TrimmedField(typed, kAliasUnits); }
void NewPersonForm::SetExternalKey(const QString& typed) {
    input_.fields.externalKey = FitText(typed, kExternalKeyUnits);
}

QString NewPersonForm::DateQuestion(const QDate& date) {
    return QString::asprintf("Вы уверены, что дата рождения  %02d.%02d.%d  введена верно?", date.day(), date.month(),
                             date.year());
}

NewPersonForm::AcceptResult NewPersonForm::Accept(OperatorDialogs& dialogs, const QDate& today) {
    if (!CanAccept()) return AcceptResult::KeepOpen;
    input_.fields.dateOfBirth = kNoDateOfBirth;
    if (date_ && date_->isValid()) {
        if (date_->year() > today.year() - 10 &&
            dialogs.AskYesNo(DateQuestion(*date_), DefaultButton::Second) != Answer::Yes) {
            return AcceptResult::KeepOpen;
        }
        input_.fields.dateOfBirth = OleDateOfDay(*date_);
    }
    return AcceptResult::Accepted;
}

}  // namespace database
