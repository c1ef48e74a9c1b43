#include "app/actions/template_values.h"

#include "app/recognition/matching.h"
#include "platform/fixedtext.h"
#include "platform/hostinfo.h"

#include <chrono>
#include <cmath>

namespace actions {

namespace {

// The range of dates the platform's date splitting accepts: 0100-01-01 .. 9999-12-31 23:59:59.
constexpr double kFirstOleDate = -657434.0;
constexpr double kLastOleDate = 2958466.0;

QString TwoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

}  // namespace

const QString& ComputerNameAtStartup() {
    static const QString name = platform::ComputerName();
    return name;
}

std::optional<platform::LocalTime> SplitToSecond(double oleDate) {
    if (!(oleDate > kFirstOleDate - 1 && oleDate < kLastOleDate)) return std::nullopt;
    const platform::LocalTime exact = platform::SplitOleDate(oleDate);
    if (exact.year < 100 || exact.year > 9999) return std::nullopt;
    if (exact.milliseconds < 500) {
        platform::LocalTime time = exact;
        time.milliseconds = 0;
        return time;
    }
    // Half a second or more rounds up, carrying into the minute, hour, day, month and year.
    using namespace std::chrono;
    const sys_seconds rounded = sys_days{year{exact.year} / exact.month / exact.day} + hours{exact.hour} +
                                minutes{exact.minute} + seconds{exact.second + 1};
    const sys_days day = floor<days>(rounded);
    const year_month_day date{day};
    const hh_mm_ss clock{rounded - day};
    if (static_cast<int>(date.year()) > 9999) return std::nullopt;
    platform::LocalTime time;
    time.year = static_cast<int>(date.year());
    time.month = static_cast<int>(static_cast<unsigned>(date.month()));
    time.day = static_cast<int>(static_cast<unsigned>(date.day()));
    time.hour = static_cast<int>(clock.hours().count());
    time.minute = static_cast<int>(clock.minutes().count());
    time.second = static_cast<int>(clock.seconds().count());
    time.dayOfWeek = static_cast<int>(weekday{day}.c_encoding());
    return time;
}

QString DateText(double oleDate) {
    const auto time = SplitToSecond(oleDate);
    if (!time) return {};
    return TwoDigits(time->day) + u'.' + TwoDigits(time->month) + u'.' + QString::number(time->year);
}

QString TimeOfDayText(double oleDate) {
    const auto time = SplitToSecond(oleDate);
    if (!time) return {};
    return TwoDigits(time->hour) + u':' + TwoDigits(time->minute) + u':' + TwoDigits(time->second);
}

QString ListWord(uint32_t listNumber) {
    switch (listNumber) {
    case 0:
        return QStringLiteral("Зеленый");
    case 1:
        return QStringLiteral("Красный");
    case 2:
        return QStringLiteral("Серый");
    default:
        return {};
    }
}

QString GenderWord(uint32_t gender) { return gender == 0 ? QStringLiteral("Женский") : QStringLiteral("Мужской"); }

QString ConfidenceValueText(float distance, DecimalSeparator separator) {
    QString text = recognition::ConfidenceText(distance);
    if (separator == DecimalSeparator::Comma) {
        const qsizetype point = text.indexOf(u'.');
        if (point >= 0) text[point] = u',';
    }
    return text;
}

QString FullNameText(const recognition::PersonFields& person) {
    QString text = platform::FromFixed(person.surname);
    for (const QString& name : {platform::FromFixed(person.forename), platform::FromFixed(person.secondName)})
        if (!name.isEmpty()) text += u' ' + name;
    return text;
}

QString MailBirthDateText(double dateOfBirth) { return dateOfBirth > 0 ? DateText(dateOfBirth) : QString(); }

QString SpeechBirthDateText(double dateOfBirth) {
    const auto date = dateOfBirth > 0 ? SplitToSecond(dateOfBirth) : std::nullopt;
    if (!date) return {};
    return QStringLiteral(". Дата рождения %1.%2.%3").arg(date->day).arg(date->month).arg(date->year);
}

QString PresenceText(platform::OleDays presence) {
    using namespace std::chrono;
    // Whole seconds, half a second rounding up; NaN and negative spans count as none.
    const double exact = duration_cast<duration<double>>(presence).count() + 0.5;
    const int64_t total = exact >= 1 ? static_cast<int64_t>(std::min(exact, 9.0e15)) : 0;
    return QStringLiteral("%1 час %2 мин %3 сек")
        .arg(total / 3600)
        .arg(TwoDigits(static_cast<int>(total / 60 % 60)), TwoDigits(static_cast<int>(total % 60)));
}

}  // namespace actions
