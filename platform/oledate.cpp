#include "platform/oledate.h"

#include <cmath>
#include <ctime>

namespace platform {

namespace {

constexpr int64_t kMsPerDay = 86400000;
// Days from 1899-12-30, the OLE epoch, to 1970-01-01.
constexpr int64_t kOleEpochToUnixDays = 25569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, LocalTime& out) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    out.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    out.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    out.year = static_cast<int>(yoe + era * 400 + (out.month <= 2));
}

}  // namespace

LocalTime LocalTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm fields{};
    localtime_r(&now.tv_sec, &fields);
    LocalTime time;
    time.year = fields.tm_year + 1900;
    time.month = fields.tm_mon + 1;
    time.day = fields.tm_mday;
    time.hour = fields.tm_hour;
    time.minute = fields.tm_min;
    time.second = fields.tm_sec;
    time.milliseconds = static_cast<int>(now.tv_nsec / 1000000);
    time.dayOfWeek = fields.tm_wday;
    return time;
}

double ToOleDate(const LocalTime& time) {
    const double day = static_cast<double>(DaysFromCivil(time.year, time.month, time.day) + kOleEpochToUnixDays);
    const double fraction = (time.hour * 3600 + time.minute * 60 + time.second) / 86400.0 +
                            time.milliseconds / static_cast<double>(kMsPerDay);
    // Before the epoch the whole part counts backwards but the time of day still counts forward
    // from that day's midnight: 1899-12-29 06:00 is -1.25.
    return day < 0 ? day - fraction : day + fraction;
}

double OleDateNow() { return ToOleDate(LocalTimeNow()); }

LocalTime SplitOleDate(double oleDate) {
    int64_t day = static_cast<int64_t>(std::trunc(oleDate));
    int64_t msOfDay = std::llround(std::fabs(oleDate - static_cast<double>(day)) * kMsPerDay);
    if (msOfDay >= kMsPerDay) {
        // Rounded up to the next midnight.
        msOfDay -= kMsPerDay;
        ++day;
    }
    LocalTime time;
    CivilFromDays(day - kOleEpochToUnixDays, time);
    time.hour = static_cast<int>(msOfDay / 3600000);
    time.minute = static_cast<int>(msOfDay / 60000 % 60);
    time.second = static_cast<int>(msOfDay / 1000 % 60);
    time.milliseconds = static_cast<int>(msOfDay % 1000);
    // 1899-12-30 was a Saturday.
    time.dayOfWeek = static_cast<int>(((day + 6) % 7 + 7) % 7);
    return time;
}

int64_t UnixTimeNow() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace platform
