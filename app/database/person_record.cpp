#include "app/database/person_record.h"

#include "platform/oledate.h"

namespace database {

std::optional<WatchList> WatchListFromNumber(int32_t number) {
    if (number < 0 || number > 2) return std::nullopt;
    return static_cast<WatchList>(number);
}

std::optional<Gender> GenderFromNumber(int32_t number) {
    if (number < 0 || number > 1) return std::nullopt;
    return static_cast<Gender>(number);
}

QString WatchListName(WatchList list) {
    switch (list) {
    case WatchList::Green:
        return QStringLiteral("Зеленый");
    case WatchList::Red:
        return QStringLiteral("Красный");
    case WatchList::Gray:
        break;
    }
    return QStringLiteral("Серый");
}

QString WatchListJournalName(WatchList list) {
    switch (list) {
    case WatchList::Green:
        return QStringLiteral("Белый");
    case WatchList::Red:
        return QStringLiteral("Черный");
    case WatchList::Gray:
        break;
    }
    return QStringLiteral("Серый");
}

QString GenderName(Gender gender) {
    return gender == Gender::Female ? QStringLiteral("Женский") : QStringLiteral("Мужской");
}

double OleDateOfDay(const QDate& day) {
    platform::LocalTime local;
    local.year = day.year();
    local.month = day.month();
    local.day = day.day();
    return platform::ToOleDate(local);
}

bool CardFieldsDiffer(const PersonFields& card, const PersonFields& lastRead) {
    const auto differs = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) != 0; };
    return differs(card.surname, lastRead.surname) || differs(card.forename, lastRead.forename) ||
           differs(card.secondName, lastRead.secondName) || differs(card.alias, lastRead.alias) ||
           differs(card.externalKey, lastRead.externalKey) || differs(card.address, lastRead.address) ||
           differs(card.contacts, lastRead.contacts) || differs(card.description, lastRead.description) ||
           differs(card.speech, lastRead.speech) || card.gender != lastRead.gender ||
           card.dateOfBirth != lastRead.dateOfBirth;
}

}  // namespace database
