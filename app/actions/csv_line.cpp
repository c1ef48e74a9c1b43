#include "app/actions/csv_line.h"

#include "platform/fixedtext.h"
#include "platform/oledate.h"

#include <QStringList>
#include <optional>

namespace actions {

namespace {

QChar DelimiterChar(CsvDelimiter delimiter) {
    switch (delimiter) {
    case CsvDelimiter::Semicolon:
        return u';';
    case CsvDelimiter::Comma:
        return u',';
    case CsvDelimiter::Tab:
        break;
    }
    return u'\t';
}

// A text field is quoted when a spreadsheet would otherwise split it: for a quote, semicolon or
// comma whatever the delimiter, for a line break (one record stays one record), and for a tab
// when tabs delimit.
QString TextField(QStringView value, CsvDelimiter delimiter) {
    bool quote = false;
    for (const QChar c : value) {
        if (c == u'"' || c == u';' || c == u',' || c == u'\r' || c == u'\n' ||
            (c == u'\t' && delimiter == CsvDelimiter::Tab)) {
            quote = true;
            break;
        }
    }
    if (!quote) return value.toString();
    QString quoted = value.toString();
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

template <size_t N>
QString TextField(const char16_t (&field)[N], CsvDelimiter delimiter) {
    return TextField(platform::FromFixed(field), delimiter);
}

// OLE Automation dates outside the years 100..9999 are no dates (a damaged date of birth);
// their field stays empty rather than printing nonsense.
std::optional<platform::LocalTime> SplitDate(double oleDate) {
    constexpr double kFirst = -657434.0;  // 0100-01-01
    constexpr double kEnd = 2958466.0;    // 10000-01-01
    if (!(oleDate >= kFirst && oleDate < kEnd)) return std::nullopt;
    return platform::SplitOleDate(oleDate);
}

QString DateTimeField(double oleDate) {
    const auto t = SplitDate(oleDate);
    if (!t) return {};
    return QString::asprintf("%02d.%02d.%d %02d:%02d:%02d", t->day, t->month, t->year, t->hour, t->minute, t->second);
}

QString DateField(double oleDate) {
    const auto t = oleDate > 0 ? SplitDate(oleDate) : std::nullopt;
    if (!t) return {};
    return QString::asprintf("%02d.%02d.%d", t->day, t->month, t->year);
}

QString ConfidenceField(double percent) {
    QString value = QString::asprintf("%.1f", percent);
    value.replace(u'.', u',');
    return u'"' + value + QStringLiteral("%\"");
}

QString ListField(uint32_t listNumber) {
    switch (listNumber) {
    case 0:
        return QStringLiteral("Зеленый");
    case 1:
        return QStringLiteral("Красный");
    default:
        return QStringLiteral("Серый");
    }
}

QString JoinLine(const QStringList& fields, CsvDelimiter delimiter) {
    return fields.join(DelimiterChar(delimiter)) + u'\n';
}

}  // namespace

QString CsvHeaderLine(CsvDelimiter delimiter) {
    static const QStringList kTitles = {
        QStringLiteral("Дата и время"), QStringLiteral("Камера"),   QStringLiteral("ID персоны"),
        QStringLiteral("Вероятность"),  QStringLiteral("Список"),   QStringLiteral("Фамилия"),
        QStringLiteral("Имя"),          QStringLiteral("Отчество"), QStringLiteral("Псевдоним"),
        QStringLiteral("Ключ"),         QStringLiteral("Пол"),      QStringLiteral("Дата рождения"),
    };
    return JoinLine(kTitles, delimiter);
}

QString CsvLine(const CsvRecord& record, CsvDelimiter delimiter) {
    const recognition::PersonFields& p = record.person;
    return JoinLine(
        {
            DateTimeField(record.eventTime),
            TextField(record.cameraName, delimiter),
            QString::number(record.personId),
            ConfidenceField(record.confidence),
            ListField(p.listNumber),
            TextField(p.surname, delimiter),
            TextField(p.forename, delimiter),
            TextField(p.secondName, delimiter),
            TextField(p.alias, delimiter),
            TextField(p.externalKey, delimiter),
            p.gender == 1 ? QStringLiteral("М") : QStringLiteral("Ж"),
            DateField(p.dateOfBirth),
        },
        delimiter);
}

}  // namespace actions
