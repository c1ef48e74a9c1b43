#pragma once
// Purpose: the search window ("Поиск персоны") without a display: its fields with their input
//          limits, which persons match, the three search directions over the list's display order,
//          which buttons are enabled, and the status it shows.
// Threads: the user-interface thread.
// Owns: the entered values.

#include "app/browser/person_list_model.h"

#include <QString>

#include <array>
#include <cstddef>
#include <optional>

namespace browser {

// The text fields, in their order in the window.
enum class SearchField { Surname, Forename, SecondName, Alias, ExternalKey, Address, Contacts, Description };
inline constexpr size_t kSearchFieldCount = 8;

// "Фамилия:" ... "Описание:".
QString SearchFieldLabel(SearchField field);
// The characters an edit takes: what fits the person's field (63, 15, 31 or 255).
int SearchFieldLimit(SearchField field);

enum class SearchDirection {
    FromTop,   // "Искать от начала": from the first row down
    Next,      // "Найти следующего": from the row after the selected one down
    Previous,  // "Найти предыдущего": from the row before the selected one up
};

enum class SearchStatus { None, Found, NotFound };
// "", "Найдено", "Не найдено".
QString SearchStatusText(SearchStatus status);

struct SearchButtons {
    bool fromTop = false;
    bool next = false;
    bool previous = false;
};

class PersonSearch {
public:
    // An edit changed: the status is cleared.
    void SetField(SearchField field, const QString& text);
    // "Пол" ticked (the gender must be equal) and the chosen gender; each change clears the status.
    void SetGenderChecked(bool checked);
    void SetGender(database::Gender gender);
    database::Gender Gender() const { return gender_; }

    // Some field is filled or "Пол" is ticked.
    bool HasCriteria() const;
    // Every non-empty field matches the person's text as a whole and, with "Пол" ticked, the gender
    // is equal. Without criteria nobody matches.
    bool Matches(const database::PersonRecord& person) const;

    SearchButtons Buttons(const PersonListModel& list) const;
    // Scans the list in display order; the row found (the caller selects it) and the status set.
    std::optional<size_t> Find(const PersonListModel& list, SearchDirection direction);
    SearchStatus Status() const { return status_; }

private:
    std::array<QString, kSearchFieldCount> fields_;
    bool genderChecked_ = false;
    database::Gender gender_ = database::Gender::Male;
    SearchStatus status_ = SearchStatus::None;
};

}  // namespace browser
