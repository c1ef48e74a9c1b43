#pragma once
// The text form of the settings store: "[KEY]" lines, each followed by its values as
// "Name"=dword:0000000a, "Name"="text" (only \" and \\ escaped) or "Name"=hex:9a,99.

#include "platform/registry.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace platform {

struct RegValueRecord {
    QString name;
    RegType type = RegType::None;
    QByteArray data;  // REG_SZ: UTF-16LE including the terminating NUL
};

struct RegKeyRecord {
    QString path;  // from the hive root, '\'-separated, no leading or trailing '\'
    std::vector<RegValueRecord> values;
};

struct ParsedRegText {
    std::vector<RegKeyRecord> keys;  // in file order; a key named twice appears twice
    int damagedLine = 0;             // first line that could not be read, 0 when all was read
};

// Reads as much as is well-formed; parsing stops at the first damaged line, keeping the keys
// and values read before it.
ParsedRegText ParseRegText(const QByteArray& utf8);

QByteArray FormatRegText(const std::vector<RegKeyRecord>& keys);

// REG_SZ data for a text: UTF-16LE with the NUL, and back (up to the first NUL).
QByteArray StringData(const QString& text);
QString TextOfStringData(const QByteArray& data);

}  // namespace platform
