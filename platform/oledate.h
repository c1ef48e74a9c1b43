#pragma once
// OLE Automation dates (double days since 1899-12-30, local time) and Unix seconds.

#include <chrono>
#include <cstdint>

namespace platform {

struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
    int dayOfWeek = 0;  // 0 Sunday .. 6 Saturday
};

LocalTime LocalTimeNow();

// Days since 1899-12-30 of the date and time, the milliseconds added as ms / 86,400,000.
double ToOleDate(const LocalTime& time);
// The current local time as an OLE Automation date.
double OleDateNow();
// Splits an OLE Automation date into year..second (milliseconds rounded to the nearest).
LocalTime SplitOleDate(double oleDate);

// The time from one OLE Automation date to another, for comparing with the program's durations.
using OleDays = std::chrono::duration<double, std::ratio<86400>>;
constexpr OleDays OleSpan(double from, double to) { return OleDays(to - from); }

// Seconds since 1970-01-01 UTC.
int64_t UnixTimeNow();

}  // namespace platform
