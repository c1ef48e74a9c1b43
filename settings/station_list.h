#pragma once
// The list of management stations allowed to connect, as loaded from the AllowedStation key.

#include "platform/registry.h"

#include <QStringList>

namespace settings {

// Reads the values "0", "1", ... of `key` until the first one that is missing or not text;
// blanks around each name are removed and empty names skipped. The result is sorted by
// UTF-16 code units (ordinal, case-sensitive).
QStringList LoadStationList(const platform::RegistryStore& store, const QString& key);

}  // namespace settings
