#include "app/browser/person_list_details.h"

#include "platform/oledate.h"

namespace browser {

QString DateOfBirthText(double oleDate) {
    if (oleDate == database::kNoDateOfBirth) return {};
    const platform::LocalTime day = platform::SplitOleDate(oleDate);
    return QStringLiteral("%1.%2.%3")
        .arg(day.day, 2, 10, QLatin1Char('0'))
        .arg(day.month, 2, 10, QLatin1Char('0'))
        .arg(day.year);
}

std::vector<PersonDetail> PersonDetails(const database::PersonRecord* person) {
    const database::PersonFields empty;
    const database::PersonFields& f = person != nullptr ? person->fields : empty;
    return {
        {QStringLiteral("Фамилия:"), f.surname},
        {QStringLiteral("Имя:"), f.forename},
        {QStringLiteral("Отчество:"), f.secondName},
        {QStringLiteral("Псевдоним:"), f.alias},
        {QStringLiteral("Внешний ключ:"), f.externalKey},
        {QStringLiteral("Пол:"), person != nullptr ? database::GenderName(f.gender) : QString()},
        {QStringLiteral("Дата рождения:"), DateOfBirthText(f.dateOfBirth)},
        {QStringLiteral("Адрес:"), f.address},
        {QStringLiteral("Контакты:"), f.contacts},
        {QStringLiteral("Описание:"), f.description},
    };
}

}  // namespace browser
