#pragma once
// Purpose: the recognition log's settings as the writer uses them, taken from the CsvFormat group.
// Threads: plain values, made from the group of a settings snapshot.
// Owns: its values.

#include "settings/groups.h"

#include <QString>
#include <cstdint>

namespace actions {

enum class CsvEncoding : int32_t { Ansi = 0, Unicode = 1, Utf8 = 2 };
enum class CsvDelimiter : int32_t { Tab = 0, Semicolon = 1, Comma = 2 };
enum class CsvHeader : int32_t { Off = 0, On = 1 };

struct CsvLogFormat {
    QString folder;         // empty: the program data folder
    int rotatesNumber = 1;  // rotated files kept besides the current one, 1..9
    int sizeLimitMB = 5;    // the current file is rotated once it is larger, 1..20 MiB
    CsvEncoding encoding = CsvEncoding::Unicode;
    CsvDelimiter delimiter = CsvDelimiter::Tab;
    CsvHeader header = CsvHeader::Off;
};

// The group's values with the loader's limits applied again, so that a value no dialog checked
// can name neither an eleventh file nor an unknown encoding.
CsvLogFormat CsvLogFormatFrom(const settings::CsvFormat& group);

}  // namespace actions
