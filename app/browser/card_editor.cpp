#include "app/browser/card_editor.h"

#include "app/database/db_text.h"
#include "platform/contract.h"
#include "platform/oledate.h"

#include <utility>

namespace browser {

namespace {

using database::PersonFields;

QString PersonFields::*TextMember(CardField field) {
    switch (field) {
    case CardField::Surname:
        return &PersonFields::surname;
    case CardField::Forename:
        return &PersonFields::forename;
    case CardField::SecondName:
        return &PersonFields::secondName;
    case CardField::Alias:
        return &PersonFields::alias;
    case CardField::ExternalKey:
        return &PersonFields::externalKey;
    case CardField::Address:
        return &PersonFields::address;
    case CardField::Contacts:
        return &PersonFields::contacts;
    case CardField::Description:
        return &PersonFields::description;
    case CardField::Speech:
        return &PersonFields::speech;
    case CardField::Gender:
    case CardField::DateOfBirth:
        break;
    }
    OSTROVID_ASSERT(false, "not a text field of the card");
    return &PersonFields::surname;
}

size_t Capacity(CardField field) {
    switch (field) {
    case CardField::Surname:
    case CardField::Forename:
    case CardField::SecondName:
        return database::kNameUnits;
    case CardField::Alias:
        return database::kAliasUnits;
    case CardField::ExternalKey:
        return database::kExternalKeyUnits;
    default:
        return database::kLongTextUnits;
    }
}

// The day of a stored date of birth; none for "no date".
std::optional<QDate> DayOf(double oleDate) {
    if (oleDate == database::kNoDateOfBirth) return std::nullopt;
    const platform::LocalTime local = platform::SplitOleDate(oleDate);
    return QDate(local.year, local.month, local.day);
}

}  // namespace

int CardEditor::InputLimit(CardField field) { return static_cast<int>(Capacity(field)) - 1; }

void CardEditor::Show(database::PersonCard card) {
    card.edited = card.lastRead;
    for (const auto& value : card.values) {
        value->editedValue = value->storedValue;
        value->changed = false;
    }
    card_ = std::move(card);
    dirty_ = false;
}

void CardEditor::Clear() {
    card_.reset();
    dirty_ = false;
}

const database::PersonCard& CardEditor::Card() const {
    OSTROVID_ASSERT(card_.has_value(), "no person shown");
    return *card_;
}

database::PersonCard& CardEditor::Edited() {
    OSTROVID_ASSERT(card_.has_value(), "no person shown");
    return *card_;
}

QString& CardEditor::EditedText(CardField field) { return Edited().edited.*TextMember(field); }

void CardEditor::SetText(CardField field, const QString& typed) {
    // Cut after trimming so leading blanks take no room, and trim again so the cut leaves none.
    const QString kept = database::FitText(typed.trimmed(), Capacity(field)).trimmed();
    QString& edited = EditedText(field);
    if (kept == edited) return;
    edited = kept;
    dirty_ = true;
}

void CardEditor::SetGender(database::Gender gender) {
    database::Gender& edited = Edited().edited.gender;
    if (gender == edited) return;
    edited = gender;
    dirty_ = true;
}

void CardEditor::SetDateOfBirth(std::optional<QDate> day) {
    database::PersonCard& card = Edited();
    double date = database::kNoDateOfBirth;
    if (day && day->isValid()) {
        // A stored date may carry a time of day the picker cannot show; the same day keeps it.
        date = day == DayOf(card.lastRead.dateOfBirth) ? card.lastRead.dateOfBirth : database::OleDateOfDay(*day);
    }
    if (date == card.edited.dateOfBirth) return;
    card.edited.dateOfBirth = date;
    dirty_ = true;
}

QString CardEditor::Text(CardField field) const { return card_ ? card_->edited.*TextMember(field) : QString(); }

database::Gender CardEditor::Gender() const { return card_ ? card_->edited.gender : database::Gender::Male; }

std::optional<QDate> CardEditor::DateOfBirth() const { return card_ ? DayOf(card_->edited.dateOfBirth) : std::nullopt; }

bool CardEditor::Differs(CardField field) const {
    if (!card_) return false;
    const PersonFields& edited = card_->edited;
    const PersonFields& stored = card_->lastRead;
    switch (field) {
    case CardField::Gender:
        return edited.gender != stored.gender;
    case CardField::DateOfBirth:
        return edited.dateOfBirth != stored.dateOfBirth;
    default:
        break;
    }
    const QString PersonFields::*member = TextMember(field);
    return (edited.*member).compare(stored.*member, Qt::CaseInsensitive) != 0;
}

size_t CardEditor::PropertyCount() const { return card_ ? card_->values.size() : 0; }

const database::PropValue& CardEditor::Property(size_t row) const {
    OSTROVID_ASSERT(row < PropertyCount(), "property row out of range");
    return *card_->values[row];
}

void CardEditor::EditProperty(size_t row, const QString& typed) {
    OSTROVID_ASSERT(row < PropertyCount(), "property row out of range");
    database::PropValue& value = *Edited().values[row];
    const QString before = value.editedValue;
    value.Edit(typed);
    if (value.editedValue != before) dirty_ = true;
}

bool CardEditor::CanClearProperty(size_t row) const {
    return row < PropertyCount() && !card_->values[row]->editedValue.isEmpty();
}

void CardEditor::ClearProperty(size_t row) {
    if (CanClearProperty(row)) EditProperty(row, QString());
}

bool CardEditor::CanTestSpeech() const { return speechVoices_ > 0 && !Text(CardField::Speech).isEmpty(); }

database::DbOpResult CardEditor::Save(database::DbSession& session) {
    if (!card_) return database::DbOpDone;
    const database::DbOpResult result = database::SavePersonCard(session, *card_);
    if (result == database::DbOpDone) dirty_ = false;
    return result;
}

LeaveOutcome CardEditor::ConfirmLeave(database::DbSession& session) {
    if (!card_ || !dirty_) return LeaveOutcome::Proceed;
    switch (session.dialogs.AskYesNoCancel(kSaveChangesQuestion, database::DefaultButton::First)) {
    case database::Answer::Yes:
        return Save(session) == database::DbOpDone ? LeaveOutcome::Proceed : LeaveOutcome::CloseBrowser;
    case database::Answer::No:
        Discard();
        return LeaveOutcome::Proceed;
    case database::Answer::Cancel:
        break;
    }
    return LeaveOutcome::Stay;
}

void CardEditor::Discard() {
    if (card_) Show(std::move(*card_));
}

}  // namespace browser
