#pragma once
// Reads back a diagnostic log written by WriteLog (UTF-16LE with a byte-order mark, one
// "YYYY-MM-DD hh:mm:ss text\r\n" line per entry) as the list of entry texts.

#include <QFile>
#include <QString>
#include <QStringList>

namespace testsupport {

inline QStringList LogLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xFF\xFE")) bytes.remove(0, 2);
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    QStringList lines;
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        // The stamp is "YYYY-MM-DD hh:mm:ss ", 20 characters.
        if (line.size() >= 20)
            lines.append(line.mid(20));
        else if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

inline int CountLines(const QStringList& lines, const QString& text) {
    int n = 0;
    for (const QString& line : lines) n += line == text ? 1 : 0;
    return n;
}

}  // namespace testsupport
