#pragma once
// Purpose: the person card of the database browser without a display: the edit copy of the shown
//          person's fields and property values, the per-field markers, the dirty flag that drives
//          "Сохранить изменения", saving, and the question asked before unsaved edits would be
//          dropped by switching persons or closing the browser.
// Threads: the user-interface thread.
// Owns: the card (fields as read and as edited, the property values).

#include "app/database/person_card.h"

#include <QDate>
#include <QString>

#include <cstddef>
#include <optional>

namespace browser {

// The fields of the "Метрики" page, each with its own marker.
enum class CardField {
    Surname,
    Forename,
    SecondName,
    Alias,
    ExternalKey,
    Address,
    Contacts,
    Description,
    Speech,
    Gender,
    DateOfBirth,
};
// Every field, in the order of the enumeration.
inline constexpr CardField kCardFields[] = {
    CardField::Surname,     CardField::Forename, CardField::SecondName,  CardField::Alias,
    CardField::ExternalKey, CardField::Address,  CardField::Contacts,    CardField::Description,
    CardField::Speech,      CardField::Gender,   CardField::DateOfBirth,
};
// What the browser does after asking about unsaved card edits.
enum class LeaveOutcome {
    Proceed,       // nothing unsaved, saved, or discarded: show the other person or close
    Stay,          // "Отмена": keep the current person shown (and the browser open)
    CloseBrowser,  // the save was given up: the browser closes (without asking again)
};

inline const QString kSaveChangesQuestion = QStringLiteral("Сохранить изменения?");

class CardEditor {
public:
    // The characters an edit of the field accepts: what its database field keeps.
    static int InputLimit(CardField field);
    // The in-place edit of a property value.
    static constexpr int kPropertyInputLimit = 255;

    // Shows the person the browser read: the edit copy starts equal to what was read and nothing
    // is dirty.
    void Show(database::PersonCard card);
    // No person selected: an empty card.
    void Clear();
    bool HasPerson() const { return card_.has_value(); }
    const database::PersonCard& Card() const;

    // The edits as typed: leading and trailing blanks removed, cut to the field.
    void SetText(CardField field, const QString& typed);
    void SetGender(database::Gender gender);
    // None: the picker holds no date. The day the person was read with keeps its stored value.
    void SetDateOfBirth(std::optional<QDate> day);

    QString Text(CardField field) const;
    database::Gender Gender() const;
    std::optional<QDate> DateOfBirth() const;

    // The field's marker: its edited value differs from the stored one (texts without regard to
    // letter case, gender and date exactly).
    bool Differs(CardField field) const;
    // Some field or value was changed since the person was shown or saved (editing back to the
    // stored value keeps it).
    bool IsDirty() const { return dirty_; }

    // The "Дополнительно" page: one row per property name.
    size_t PropertyCount() const;
    const database::PropValue& Property(size_t row) const;
    // The in-place edit's text, cut to the value field; the row's marker is its changed flag.
    void EditProperty(size_t row, const QString& typed);
    // "Удалить значение": enabled while the value is not empty; empties it.
    bool CanClearProperty(size_t row) const;
    void ClearProperty(size_t row);

    // " Тест": speech text present and some speech voice found at start-up.
    void SetSpeechVoiceCount(int voices) { speechVoices_ = voices; }
    bool CanTestSpeech() const;

    // "Сохранить изменения": DbOpDone leaves nothing to save; DbOpCancel means the operator gave
    // up (the browser closes), what was saved before stays saved and the rest stays dirty.
    database::DbOpResult Save(database::DbSession& session);
    // Before another person is shown or the browser closes: with unsaved edits asks
    // "Сохранить изменения?"; Yes saves, No discards, Cancel stays.
    LeaveOutcome ConfirmLeave(database::DbSession& session);
    // Drops the unsaved edits: the card shows what was stored.
    void Discard();

private:
    QString& EditedText(CardField field);
    database::PersonCard& Edited();

    std::optional<database::PersonCard> card_;
    bool dirty_ = false;
    int speechVoices_ = 0;
};

}  // namespace browser
