#pragma once
// Purpose: what the information dialog of a recognized person shows from the database: address,
//          contacts, description, every property with its value, every photo. Read on a connection
//          of its own; failures are shown once, without retry, and the dialog is then not opened.
// Threads: the user-interface thread.
// Owns: nothing.

#include "app/database/db_operation.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace database {

struct PersonDetails {
    QString address;
    QString contacts;
    QString description;
    std::vector<std::pair<QString, QString>> properties;  // name (up to 63), value (up to 255)
    std::vector<QByteArray> photos;                       // encoded images; empty ones skipped
};

// None after a failure, which was shown: caption "Соединение с базой данных" when the connection
// could not be opened, "Ошибка SQL запроса" when a query failed.
std::optional<PersonDetails> ReadPersonDetails(DbUserInterface& ui, const QString& connectionString, int32_t personId);

}  // namespace database
