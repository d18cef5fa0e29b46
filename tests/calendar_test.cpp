#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "time/calendar.h"
#include "time/timestamp.h"
#include "support/timestamps.h"

namespace {

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int monthDays(int y, int m) {
    if (m == 4 || m == 6 || m == 9 || m == 11) return 30;
    if (m == 2) return leap(y) ? 29 : 28;
    return 31;
}

// The month-by-month count exactly as the rule describes it, for an earlier date e and
// a later date l whose month is 1 to 12 (the only case where it arrives).
int64_t walkDays(Timestamp e, const Timestamp& l) {
    int64_t r = 0;
    int year = e.year, month = e.month, day = e.day;
    while (year != l.year || month != l.month) {
        r += monthDays(year, month) - day + 1;
        day = 1;
        month += 1;
        if (month > 12) {
            month = 1;
            year = static_cast<uint16_t>(year + 1);
        }
    }
    return r + l.day - day;
}

// Day-by-day shifting exactly as the rule describes it.
void stepDays(Timestamp& t, int64_t n) {
    for (; n > 0; --n) {
        t.day = static_cast<uint8_t>(t.day + 1);
        if (t.day > monthDays(t.year, t.month)) {
            t.day = 1;
            t.month = static_cast<uint8_t>(t.month + 1);
            if (t.month > 12) {
                t.month = 1;
                t.year = static_cast<uint16_t>(t.year + 1);
            }
        }
    }
    for (; n < 0; ++n) {
        t.day = static_cast<uint8_t>(t.day - 1);
        if (t.day == 0) {
            t.month = static_cast<uint8_t>(t.month - 1);
            if (t.month == 0) {
                t.month = 12;
                t.year = static_cast<uint16_t>(t.year - 1);
            }
            t.day = static_cast<uint8_t>(monthDays(t.year, t.month));
        }
    }
}

}  // namespace

TEST(Calendar, DaysInMonth) {
    struct Case {
        int year, month, days;
    } cases[] = {
        {2000, 2, 29}, {2100, 2, 28}, {2008, 2, 29}, {2007, 2, 28}, {0, 2, 29},
        {2007, 4, 30}, {2007, 11, 30}, {2007, 1, 31}, {2007, 12, 31},
        {2007, 0, 31}, {2007, 13, 31}, {2007, 255, 31},
    };
    for (const Case& c : cases)
        EXPECT_EQ(daysInMonth(ts(c.year, c.month, 1)), c.days) << c.year << "-" << c.month;
}

TEST(Calendar, DayDifference) {
    struct Case {
        Timestamp a, b;
        int32_t days;
    } cases[] = {
        {ts(2007, 12, 31), ts(2008, 1, 1), 1},
        {ts(2008, 2, 28), ts(2008, 3, 1), 2},
        {ts(2000, 2, 28), ts(2000, 3, 1), 2},
        {ts(2007, 2, 28), ts(2007, 3, 1), 1},
        {ts(2100, 2, 28), ts(2100, 3, 1), 1},
        {ts(2007, 6, 27, 0, 0, 0), ts(2007, 6, 27, 23, 59, 59), 0},
        {ts(2007, 6, 27, 23, 0, 0), ts(2007, 6, 27, 1, 0, 0), 0},
        {ts(2005, 9, 19), ts(2007, 6, 27), 646},
        {ts(1999, 12, 31), ts(2100, 3, 1), 36585},
        // A later date with a month outside 1 to 12, where a plain month-by-month walk
        // would never arrive: month 13 counts like December, month 0 like the December
        // before.
        {ts(2007, 12, 5), ts(2007, 13, 9), 4},
        {ts(2007, 11, 30), ts(2007, 13, 1), 1},
        {ts(2006, 5, 1), ts(2007, 0, 3), 216},
        {ts(2007, 6, 1), ts(2007, 255, 1), 183},
        {ts(0, 0, 0), ts(65535, 255, 255), 23936532 + 255},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dayDifference(c.a, c.b), c.days) << show(c.a) << " -> " << show(c.b);
        EXPECT_EQ(dayDifference(c.b, c.a), -c.days) << show(c.b) << " -> " << show(c.a);
    }
}

// Dates outside the calendar as the fields may hold them, counted to real later dates:
// the result is what the month-by-month walk gives.
TEST(Calendar, DayDifferenceOfFieldsOutsideTheCalendarFollowsTheMonthWalk) {
    const Timestamp earlier[] = {ts(0, 0, 0),    ts(0, 0, 255),   ts(2007, 6, 0),
                                 ts(2007, 6, 255), ts(2007, 2, 31), ts(2006, 13, 1),
                                 ts(2006, 255, 255), ts(2007, 0, 17)};
    const Timestamp later[] = {ts(2007, 6, 27), ts(2008, 3, 1), ts(2007, 12, 255), ts(2100, 2, 0)};
    for (const Timestamp& e : earlier)
        for (const Timestamp& l : later) {
            int64_t expected = walkDays(e, l);
            EXPECT_EQ(dayDifference(e, l), expected) << show(e) << " -> " << show(l);
            EXPECT_EQ(dayDifference(l, e), -expected) << show(l) << " -> " << show(e);
        }
}

TEST(Calendar, SecondDifference) {
    struct Case {
        Timestamp a, b;
        int32_t seconds;
    } cases[] = {
        {ts(2007, 6, 27, 23, 59, 59), ts(2007, 6, 28, 0, 0, 0), 1},
        {ts(2007, 6, 28, 0, 0, 0), ts(2007, 6, 27, 23, 59, 59), -1},
        {ts(2007, 6, 27, 21, 30, 5), ts(2007, 6, 27, 21, 30, 5), 0},
        {ts(2007, 12, 31, 21, 0, 0), ts(2008, 1, 1, 3, 0, 0), 21600},
        {ts(1970, 1, 1), ts(2007, 6, 27, 21, 30, 5), 1182979805},
        {ts(1970, 1, 1), ts(2038, 1, 19, 3, 14, 7), INT32_MAX},
        {ts(2038, 1, 19, 3, 14, 8), ts(1970, 1, 1), INT32_MIN},
        // Beyond the 32-bit range the result stays at the limit with the right sign.
        {ts(1970, 1, 1), ts(2038, 1, 19, 3, 14, 8), INT32_MAX},
        {Timestamp{}, ts(2007, 6, 27), INT32_MAX},
        {ts(2007, 6, 27), Timestamp{}, INT32_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(secondDifference(c.a, c.b), c.seconds) << show(c.a) << " -> " << show(c.b);
}

TEST(Calendar, ShiftBySeconds) {
    struct Case {
        Timestamp from;
        int32_t seconds;
        Timestamp to;
    } cases[] = {
        {ts(2008, 1, 1, 3, 0, 0), -21600, ts(2007, 12, 31, 21, 0, 0)},
        {ts(2008, 3, 1, 5, 59, 59), -21600, ts(2008, 2, 29, 23, 59, 59)},
        {ts(2007, 3, 1, 0, 0, 0), -21600, ts(2007, 2, 28, 18, 0, 0)},
        {ts(2007, 6, 27, 6, 0, 0), -21600, ts(2007, 6, 27, 0, 0, 0)},
        {ts(2007, 12, 31, 23, 0, 0), 3600, ts(2008, 1, 1, 0, 0, 0)},
        {ts(2007, 2, 28, 23, 30, 0), 3600, ts(2007, 3, 1, 0, 30, 0)},
        {ts(2007, 6, 27, 21, 30, 5), 3 * 86400 + 3661, ts(2007, 6, 30, 22, 31, 6)},
        {ts(2007, 6, 27, 21, 30, 5), -(3 * 86400 + 3661), ts(2007, 6, 24, 20, 29, 4)},
        {ts(2007, 6, 27, 23, 59, 59), 1, ts(2007, 6, 28, 0, 0, 0)},
        {ts(2007, 6, 28, 0, 0, 0), -1, ts(2007, 6, 27, 23, 59, 59)},
        {ts(2007, 6, 27, 21, 30, 5), 0, ts(2007, 6, 27, 21, 30, 5)},
        // The empty Timestamp: the day wraps to 255 and stays in month 0 of year 0.
        {Timestamp{}, -21600, ts(0, 0, 255, 18, 0, 0)},
        // The whole 32-bit range, both ends.
        {ts(2007, 6, 27, 21, 30, 5), INT32_MAX, ts(2075, 7, 16, 0, 44, 12)},
        {ts(2007, 6, 27, 21, 30, 5), INT32_MIN, ts(1939, 6, 9, 18, 15, 57)},
    };
    for (const Case& c : cases) {
        Timestamp t = c.from;
        shiftBySeconds(t, c.seconds);
        EXPECT_EQ(show(t), show(c.to)) << show(c.from) << " by " << c.seconds;
    }
}

TEST(Calendar, ShiftByDays) {
    struct Case {
        Timestamp from;
        int32_t days;
        Timestamp to;
    } cases[] = {
        {ts(2007, 12, 31, 21, 30, 5), 1, ts(2008, 1, 1, 21, 30, 5)},
        {ts(2008, 1, 1), -1, ts(2007, 12, 31)},
        {ts(2008, 3, 1), -1, ts(2008, 2, 29)},
        {ts(2100, 3, 1), -1, ts(2100, 2, 28)},
        {ts(2000, 2, 28), 2, ts(2000, 3, 1)},
        {ts(2007, 6, 27), 0, ts(2007, 6, 27)},
        {ts(2000, 2, 29), 146097, ts(2400, 2, 29)},
        {ts(2400, 2, 29), -146097, ts(2000, 2, 29)},
        // Month 13 is stepped like a 31-day month that leads into January.
        {ts(2007, 13, 5), 1, ts(2007, 13, 6)},
        {ts(2007, 13, 31), 1, ts(2008, 1, 1)},
        {ts(2007, 13, 1), -1, ts(2007, 12, 31)},
        // Stepping back from day 1 of month 0 lands in month 255; from day 0, on day 255.
        {ts(2007, 0, 1), -1, ts(2007, 255, 31)},
        {Timestamp{}, -1, ts(0, 0, 255)},
        // The 16-bit year wraps.
        {ts(65535, 12, 31), 1, ts(0, 1, 1)},
        {ts(0, 1, 1), -1, ts(65535, 12, 31)},
    };
    for (const Case& c : cases) {
        Timestamp t = c.from;
        shiftByDays(t, c.days);
        EXPECT_EQ(show(t), show(c.to)) << show(c.from) << " by " << c.days;
    }
}

// Long shifts give what stepping day by day gives, across leap days, the year wrap and
// from fields outside the calendar.
TEST(Calendar, LongDayShiftsMatchStepping) {
    struct Case {
        Timestamp from;
        int32_t days;
    } cases[] = {
        {ts(2007, 6, 27), 25000000},      // more than a whole trip through the year range
        {ts(2007, 6, 27), -25000000},
        {ts(65296, 2, 29), 400000},       // across the wrap to year 0
        {ts(300, 3, 1), -400000},
        {Timestamp{}, -400000},
        {ts(2007, 13, 200), 400000},
        {ts(2007, 255, 0), -146097 * 3},
    };
    for (const Case& c : cases) {
        Timestamp expected = c.from;
        stepDays(expected, c.days);
        Timestamp t = c.from;
        shiftByDays(t, c.days);
        EXPECT_EQ(show(t), show(expected)) << show(c.from) << " by " << c.days;
    }
}

// The largest shifts finish and are undone by the opposite shift.
TEST(Calendar, ExtremeDayShiftsAreReversible) {
    const Timestamp starts[] = {ts(2007, 6, 27, 21, 30, 5), ts(2000, 2, 29), ts(65535, 12, 31),
                                ts(0, 1, 1)};
    for (const Timestamp& start : starts) {
        Timestamp t = start;
        shiftByDays(t, INT32_MAX);
        shiftByDays(t, -INT32_MAX);
        EXPECT_EQ(show(t), show(start));
        shiftByDays(t, INT32_MIN);
        shiftByDays(t, INT32_MAX);
        shiftByDays(t, 1);
        EXPECT_EQ(show(t), show(start));
    }
}

TEST(Calendar, WeekdayIndex) {
    struct Case {
        Timestamp date;
        int weekday;
    } cases[] = {
        {ts(2005, 9, 19), 0}, {ts(2005, 9, 18), 6}, {ts(2005, 9, 26), 0},
        {ts(2007, 6, 27, 23, 59, 59), 2}, {ts(2048, 1, 1), 2}, {ts(2000, 2, 29), 1},
        {ts(2100, 3, 1), 0}, {ts(1999, 12, 31), 4},
    };
    for (const Case& c : cases) EXPECT_EQ(weekdayIndex(c.date), c.weekday) << show(c.date);

    // Fields outside the calendar still give a day of the week.
    for (const Timestamp& t : {Timestamp{}, ts(65535, 255, 255), ts(0, 0, 255)}) {
        int w = weekdayIndex(t);
        EXPECT_TRUE(w >= 0 && w <= 6) << show(t);
    }
}
