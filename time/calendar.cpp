#include "time/calendar.h"

#include <cstdint>

namespace {

bool isLeapYear(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int monthLength(int64_t year, int month) {
    if (month == 4 || month == 6 || month == 9 || month == 11) return 30;
    if (month == 2) return isLeapYear(year) ? 29 : 28;
    return 31;
}

// Days from 1 January of year 0 to 1 January of the given year (year >= 0).
constexpr int64_t daysBeforeYear(int64_t year) {
    return year * 365 + (year + 3) / 4 - (year + 99) / 100 + (year + 399) / 400;
}

// Position of a date on one line of days such that the month-by-month count from one
// date to another is the difference of their positions. That count takes a month
// outside 1 to 12 as 31 days long and steps from it into January of the next year, so
// month 0 counts like December of the year before and every month above 12 like
// December of its own year. Days are taken as stored, 0 and 255 included. Computing the
// position directly keeps the count finite and quick for any field values, also where
// stepping month by month would never arrive (a later date with month 0 or 13).
int64_t dayPosition(uint16_t year, uint8_t month, uint8_t day) {
    int64_t position;
    if (month == 0) {
        position = daysBeforeYear(year) - 31;
    } else if (month > 12) {
        position = daysBeforeYear(static_cast<int64_t>(year) + 1) - 31;
    } else {
        position = daysBeforeYear(year);
        for (int m = 1; m < month; ++m) position += monthLength(year, m);
    }
    return position + day;
}

bool isValidDate(const Timestamp& t) {
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= daysInMonth(t);
}

void stepForward(Timestamp& t) {
    t.day = static_cast<uint8_t>(t.day + 1);
    if (t.day > daysInMonth(t)) {
        t.day = 1;
        t.month = static_cast<uint8_t>(t.month + 1);
        if (t.month > 12) {
            t.month = 1;
            t.year = static_cast<uint16_t>(t.year + 1);
        }
    }
}

void stepBack(Timestamp& t) {
    t.day = static_cast<uint8_t>(t.day - 1);
    if (t.day == 0) {
        t.month = static_cast<uint8_t>(t.month - 1);
        if (t.month == 0) {
            t.month = 12;
            t.year = static_cast<uint16_t>(t.year - 1);
        }
        t.day = static_cast<uint8_t>(daysInMonth(t));
    }
}

// 400 Gregorian years hold exactly this many days, so stepping that far from a valid
// date lands on the same month and day 400 years on, as long as the year does not
// pass its 16-bit limit on the way.
constexpr int64_t kDaysIn400Years = 146097;
constexpr uint16_t kYearsPerCycle = 400;

// Stepping a valid date through every 16-bit year comes back to it after this many
// days.
constexpr int64_t kDaysInYearRange = daysBeforeYear(65536);

}  // namespace

int daysInMonth(const Timestamp& t) { return monthLength(t.year, t.month); }

int32_t dayDifference(const Timestamp& a, const Timestamp& b) {
    int64_t difference = dayPosition(b.year, b.month, b.day) - dayPosition(a.year, a.month, a.day);
    return static_cast<int32_t>(difference);  // at most about 24 million days either way
}

int32_t secondDifference(const Timestamp& a, const Timestamp& b) {
    int64_t secondsA = a.hour * 3600 + a.minute * 60 + a.second;
    int64_t secondsB = b.hour * 3600 + b.minute * 60 + b.second;
    int64_t difference = static_cast<int64_t>(dayDifference(a, b)) * 86400 + secondsB - secondsA;
    // Beyond the 32-bit range (moments some 68 years apart) the result is held at the
    // limit, so that its sign still tells which moment is the later one.
    if (difference > INT32_MAX) return INT32_MAX;
    if (difference < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(difference);
}

void shiftBySeconds(Timestamp& t, int32_t seconds) {
    if (seconds == 0) return;
    int64_t n = seconds > 0 ? static_cast<int64_t>(seconds) : -static_cast<int64_t>(seconds);
    int64_t d = n / 86400;
    int64_t h = (n % 86400) / 3600;
    int64_t m = (n % 3600) / 60;
    int64_t x = n % 60;
    int64_t second = t.second;
    int64_t minute = t.minute;
    int64_t hour = t.hour;
    if (seconds > 0) {
        second += x;
        minute += second / 60;  // the same as subtracting 60 while above 59
        second %= 60;
        minute += m;
        hour += minute / 60;
        minute %= 60;
        hour += h;
        d += hour / 24;
        hour %= 24;
    } else {
        second -= x;
        if (second < 0) {
            second += 60;
            m += 1;
        }
        minute -= m;
        if (minute < 0) {
            minute += 60;
            h += 1;
        }
        hour -= h;
        if (hour < 0) {
            hour += 24;
            d += 1;
        }
    }
    t.second = static_cast<uint8_t>(second);
    t.minute = static_cast<uint8_t>(minute);
    t.hour = static_cast<uint8_t>(hour);
    if (d != 0) shiftByDays(t, static_cast<int32_t>(seconds > 0 ? d : -d));
}

// Steps one day at a time as the fields are stored. A date outside the calendar (day 0
// or 255, month 0 or 13) is stepped until it is a real date, which takes at most a few
// thousand steps; from there whole trips through the 16-bit year range and whole
// 400-year cycles are taken at once, since stepping them one by one would end on the
// same fields. So even the largest shift finishes at once with the stepped result.
void shiftByDays(Timestamp& t, int32_t days) {
    if (days == 0) return;
    const bool forward = days > 0;
    int64_t remaining = forward ? static_cast<int64_t>(days) : -static_cast<int64_t>(days);
    while (remaining > 0 && !isValidDate(t)) {
        forward ? stepForward(t) : stepBack(t);
        --remaining;
    }
    remaining %= kDaysInYearRange;
    while (remaining > 0) {
        if (remaining >= kDaysIn400Years) {
            if (forward && t.year <= UINT16_MAX - kYearsPerCycle) {
                t.year = static_cast<uint16_t>(t.year + kYearsPerCycle);
                remaining -= kDaysIn400Years;
                continue;
            }
            if (!forward && t.year >= kYearsPerCycle) {
                t.year = static_cast<uint16_t>(t.year - kYearsPerCycle);
                remaining -= kDaysIn400Years;
                continue;
            }
        }
        forward ? stepForward(t) : stepBack(t);
        --remaining;
    }
}

int weekdayIndex(const Timestamp& t) {
    Timestamp monday;  // 19 September 2005
    monday.year = 2005;
    monday.month = 9;
    monday.day = 19;
    int32_t r = dayDifference(monday, t) % 7;
    return r < 0 ? r + 7 : r;
}
