#pragma once
// Records and file helpers shared by the recognition log tests.

#include "app/actions/csv_format.h"
#include "app/actions/csv_record.h"
#include "platform/fixedtext.h"
#include "platform/oledate.h"
#include "tests/support/ole_dates.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace csvtest {

using testsupport::OleDate;

// A record whose texts are all plain.
inline actions::CsvRecord PlainRecord() {
    actions::CsvRecord r;
    r.eventTime = OleDate(2026, 3, 5, 7, 8, 9, 250);
    platform::CopyToFixed(r.cameraName, u"Вход");
    r.personId = 42;
    r.confidence = 80.0;
    r.person.listNumber = 0;
    platform::CopyToFixed(r.person.surname, u"Петров");
    platform::CopyToFixed(r.person.forename, u"Иван");
    r.person.gender = 1;
    return r;
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline actions::CsvLogFormat Format(const QString& folder, actions::CsvEncoding encoding,
                                    actions::CsvDelimiter delimiter, actions::CsvHeader header) {
    actions::CsvLogFormat format;
    format.folder = folder;
    format.encoding = encoding;
    format.delimiter = delimiter;
    format.header = header;
    return format;
}

}  // namespace csvtest
