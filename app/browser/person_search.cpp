#include "app/browser/person_search.h"

#include "app/browser/person_search_match.h"
#include "app/database/new_person_form.h"

#include <algorithm>

namespace browser {

using database::NewPersonForm;

namespace {

// The person's text that a field is matched against.
const QString& SearchedText(const database::PersonRecord& person, SearchField field) {
    const database::PersonFields& f = person.fields;
    switch (field) {
    case SearchField::Surname:
        return f.surname;
    case SearchField::Forename:
        return f.forename;
    case SearchField::SecondName:
        return f.secondName;
    case SearchField::Alias:
        return f.alias;
    case SearchField::ExternalKey:
        return f.externalKey;
    case SearchField::Address:
        return f.address;
    case SearchField::Contacts:
        return f.contacts;
    case SearchField::Description:
        break;
    }
    return f.description;
}

}  // namespace

QString SearchFieldLabel(SearchField field) {
    switch (field) {
    case SearchField::Surname:
        return QStringLiteral("Фамилия:");
    case SearchField::Forename:
        return QStringLiteral("Имя:");
    case SearchField::SecondName:
        return QStringLiteral("Отчество:");
    case SearchField::Alias:
        return QStringLiteral("Псевдоним:");
    case SearchField::ExternalKey:
        return QStringLiteral("Внешний ключ:");
    case SearchField::Address:
        return QStringLiteral("Адрес:");
    case SearchField::Contacts:
        return QStringLiteral("Контакты:");
    case SearchField::Description:
        break;
    }
    return QStringLiteral("Описание:");
}

int SearchFieldLimit(SearchField field) {
    switch (field) {
    case SearchField::Surname:
    case SearchField::Forename:
    case SearchField::SecondName:
        return NewPersonForm::kNameInputLimit;
    case SearchField::Alias:
        return NewPersonForm::kAliasInputLimit;
    case SearchField::ExternalKey:
        return NewPersonForm::kExternalKeyInputLimit;
    case SearchField::Address:
    case SearchField::Contacts:
    case SearchField::Description:
        break;
    }
    return static_cast<int>(database::kLongTextUnits) - 1;
}

QString SearchStatusText(SearchStatus status) {
    switch (status) {
    case SearchStatus::Found:
        return QStringLiteral("Найдено");
    case SearchStatus::NotFound:
        return QStringLiteral("Не найдено");
    case SearchStatus::None:
        break;
    }
    return {};
}

void PersonSearch::SetField(SearchField field, const QString& text) {
    fields_[static_cast<size_t>(field)] = text;
    status_ = SearchStatus::None;
}

void PersonSearch::SetGenderChecked(bool checked) {
    genderChecked_ = checked;
    status_ = SearchStatus::None;
}

void PersonSearch::SetGender(database::Gender gender) {
    gender_ = gender;
    status_ = SearchStatus::None;
}

bool PersonSearch::HasCriteria() const {
    return genderChecked_ || std::any_of(fields_.begin(), fields_.end(), [](const QString& f) { return !f.isEmpty(); });
}

bool PersonSearch::Matches(const database::PersonRecord& person) const {
    if (!HasCriteria()) return false;
    if (genderChecked_ && person.fields.gender != gender_) return false;
    for (size_t i = 0; i < kSearchFieldCount; ++i) {
        const QString& pattern = fields_[i];
        if (!pattern.isEmpty() && !WildcardMatch(pattern, SearchedText(person, static_cast<SearchField>(i)))) {
            return false;
        }
    }
    return true;
}

SearchButtons PersonSearch::Buttons(const PersonListModel& list) const {
    SearchButtons buttons;
    buttons.fromTop = HasCriteria() && list.RowCount() > 0;
    buttons.next = buttons.fromTop && list.Selected() != nullptr;
    buttons.previous = buttons.next;
    return buttons;
}

std::optional<size_t> PersonSearch::Find(const PersonListModel& list, SearchDirection direction) {
    std::optional<size_t> found;
    const std::optional<size_t> selected = list.SelectedRow();
    const size_t count = list.RowCount();
    if (direction == SearchDirection::Previous) {
        for (size_t row = selected.value_or(0); row > 0 && !found; --row) {
            if (Matches(list.Row(row - 1))) found = row - 1;
        }
    } else {
        const size_t first = direction == SearchDirection::FromTop ? 0 : (selected ? *selected + 1 : count);
        for (size_t row = first; !found && row < count; ++row) {
            if (Matches(list.Row(row))) found = row;
        }
    }
    status_ = found ? SearchStatus::Found : SearchStatus::NotFound;
    return found;
}

}  // namespace browser
