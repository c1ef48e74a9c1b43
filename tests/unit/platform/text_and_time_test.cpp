#include "platform/fixedtext.h"
#include "platform/oledate.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

using platform::LocalTime;
using platform::SplitOleDate;
using platform::ToOleDate;

TEST(FixedTextTest, ShortTextIsCopiedAndTheRestCleared) {
    char16_t field[8];
    std::fill(std::begin(field), std::end(field), u'#');
    EXPECT_TRUE(platform::CopyToFixed(field, u"Вход"));
    EXPECT_EQ(platform::FromFixed(field), QString::fromUtf8("Вход"));
    for (size_t i = 4; i < 8; ++i) EXPECT_EQ(field[i], u'\0') << i;
}

TEST(FixedTextTest, LongTextIsCutToCapacityMinusOneAndTerminated) {
    char16_t field[5];
    EXPECT_FALSE(platform::CopyToFixed(field, u"ABCDEFG"));
    EXPECT_EQ(platform::FromFixed(field), "ABCD");
    EXPECT_EQ(field[4], u'\0');
    // Exactly capacity - 1 units still fits.
    EXPECT_TRUE(platform::CopyToFixed(field, u"WXYZ"));
    EXPECT_EQ(platform::FromFixed(field), "WXYZ");
}

TEST(FixedTextTest, FieldWithoutNulIsReadToItsEnd) {
    const char16_t field[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(platform::FromFixed(field), "abc");
    char16_t empty[1] = {u'x'};
    EXPECT_FALSE(platform::CopyToFixed(empty, u"x"));
    EXPECT_EQ(empty[0], u'\0');
}

LocalTime Make(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
    LocalTime time;
    time.year = year;
    time.month = month;
    time.day = day;
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    time.milliseconds = ms;
    return time;
}

void ExpectSameTime(const LocalTime& actual, const LocalTime& expected) {
    EXPECT_EQ(actual.year, expected.year);
    EXPECT_EQ(actual.month, expected.month);
    EXPECT_EQ(actual.day, expected.day);
    EXPECT_EQ(actual.hour, expected.hour);
    EXPECT_EQ(actual.minute, expected.minute);
    EXPECT_EQ(actual.second, expected.second);
    EXPECT_EQ(actual.milliseconds, expected.milliseconds);
}

TEST(OleDateTest, KnownDates) {
    EXPECT_DOUBLE_EQ(ToOleDate(Make(1899, 12, 30)), 0.0);
    EXPECT_DOUBLE_EQ(ToOleDate(Make(1900, 1, 1)), 2.0);
    EXPECT_DOUBLE_EQ(ToOleDate(Make(2000, 2, 29, 18)), 36585.75);
    EXPECT_DOUBLE_EQ(ToOleDate(Make(2026, 12, 9, 12)), 46365.5);
    // Before the epoch the time of day still counts forward.
    EXPECT_DOUBLE_EQ(ToOleDate(Make(1899, 12, 29, 6)), -1.25);
    EXPECT_DOUBLE_EQ(ToOleDate(Make(1700, 3, 1)), -72987.0);
}

TEST(OleDateTest, MillisecondsAreAddedAsFractionOfADay) {
    const double base = ToOleDate(Make(2026, 12, 9, 8, 30, 15));
    EXPECT_DOUBLE_EQ(ToOleDate(Make(2026, 12, 9, 8, 30, 15, 250)), base + 250 / 86400000.0);
}

TEST(OleDateTest, SplitGivesFieldsAndDayOfWeek) {
    const LocalTime noon = SplitOleDate(46365.5);
    ExpectSameTime(noon, Make(2026, 12, 9, 12));
    EXPECT_EQ(noon.dayOfWeek, 3);  // Wednesday
    EXPECT_EQ(SplitOleDate(0.0).dayOfWeek, 6);
    ExpectSameTime(SplitOleDate(-1.25), Make(1899, 12, 29, 6));
    ExpectSameTime(SplitOleDate(-72987.0), Make(1700, 3, 1));
}

TEST(OleDateTest, SplitRoundsToTheNearestMillisecond) {
    ExpectSameTime(SplitOleDate(46365.5 - 1e-10), Make(2026, 12, 9, 12));
    ExpectSameTime(SplitOleDate(46365.0 - 1e-10), Make(2026, 12, 9));  // 23:59:59.99999 is midnight
    ExpectSameTime(SplitOleDate(46365.5 + 1.4 / 86400000.0), Make(2026, 12, 9, 12, 0, 0, 1));
}

TEST(OleDateTest, RoundTripKeepsEveryField) {
    const LocalTime samples[] = {
        Make(1899, 12, 30, 0, 0, 0, 1),     Make(1900, 2, 28, 23, 59, 59, 999),  Make(1970, 1, 1),
        Make(2024, 2, 29, 13, 14, 15, 161), Make(2026, 12, 31, 23, 59, 59, 999), Make(9999, 12, 31, 12, 0, 0, 500),
        Make(1850, 7, 4, 6, 30, 0, 125),
    };
    for (const LocalTime& sample : samples) {
        SCOPED_TRACE(sample.year);
        ExpectSameTime(SplitOleDate(ToOleDate(sample)), sample);
    }
}

TEST(OleDateTest, NowMatchesTheLocalClock) {
    const time_t before = std::time(nullptr);
    const LocalTime now = SplitOleDate(platform::OleDateNow());
    tm local{};
    localtime_r(&before, &local);
    EXPECT_EQ(now.year, local.tm_year + 1900);
    EXPECT_EQ(now.dayOfWeek, platform::LocalTimeNow().dayOfWeek);
    EXPECT_NEAR(static_cast<double>(platform::UnixTimeNow()), static_cast<double>(before), 2.0);
}

}  // namespace
