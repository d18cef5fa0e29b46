#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "time/calendar.h"
#include "time/timestamp.h"
#include "support/timestamps.h"

namespace {

// Seconds of wall-clock time from 1970-01-01 00:00:00 to t, beyond the 32-bit range too.
int64_t secondsSince1970(const Timestamp& t) {
    return static_cast<int64_t>(dayDifference(ts(1970, 1, 1), t)) * 86400 + t.hour * 3600 +
           t.minute * 60 + t.second;
}

constexpr uint64_t kFileTimeOf1970 = 116444736000000000ull;  // 100-ns intervals 1601..1970

}  // namespace

TEST(TimestampText, Forms) {
    struct Case {
        Timestamp t;
        const char *date, *time, *dateTime, *compactDate, *compactTime;
    } cases[] = {
        {ts(2007, 6, 5, 7, 8, 9), "05.06.2007", "07:08:09", "05.06.2007  07:08:09", "20070605",
         "070809"},
        {Timestamp{}, "__.__.____", "00:00:00", "__.__.____  00:00:00", "00000000", "000000"},
        {ts(0, 6, 27, 21, 30, 5), "__.__.____", "21:30:05", "__.__.____  21:30:05", "00000627",
         "213005"},
        {ts(7, 1, 2), "02.01.0007", "00:00:00", "02.01.0007  00:00:00", "00070102", "000000"},
        // The widest fields: nothing may be cut or run past its buffer.
        {ts(65535, 255, 255, 255, 255, 255), "255.255.65535", "255:255:255",
         "255.255.65535  255:255:255", "65535255255", "255255255"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(show(c.t));
        EXPECT_STREQ(dateText(c.t), c.date);
        EXPECT_STREQ(timeText(c.t.hour, c.t.minute, c.t.second), c.time);
        EXPECT_STREQ(dateTimeText(c.t), c.dateTime);
        EXPECT_STREQ(compactDateText(c.t), c.compactDate);
        EXPECT_STREQ(compactTimeText(c.t.hour, c.t.minute, c.t.second), c.compactTime);
    }
}

// Different forms used in one formatting step keep their own texts.
TEST(TimestampText, DifferentFormsCombineInOneFormattingStep) {
    Timestamp t = ts(2007, 6, 27, 21, 30, 5);
    Timestamp other = ts(2008, 1, 2, 3, 4, 5);
    char name[64];
    std::snprintf(name, sizeof name, "ARCHIV_%s_%s", compactDateText(t),
                  compactTimeText(t.hour, t.minute, t.second));
    EXPECT_STREQ(name, "ARCHIV_20070627_213005");

    char line[128];
    std::snprintf(line, sizeof line, "%s|%s|%s", dateText(t),
                  timeText(t.hour, t.minute, t.second), dateTimeText(other));
    EXPECT_STREQ(line, "27.06.2007|21:30:05|02.01.2008  03:04:05");
}

TEST(TimestampParse, Texts) {
    struct Case {
        const char* text;
        bool ok;
        Timestamp result;
    } cases[] = {
        {"20070627213005", true, ts(2007, 6, 27, 21, 30, 5)},
        {"070627213005", true, ts(2027, 6, 7, 21, 30, 5)},  // 12 characters: DDMMYY
        {"27062007213005", true, ts(2007, 6, 27, 21, 30, 5)},
        {"27.6.07 9:05:00", true, ts(2007, 6, 27, 9, 5, 0)},
        {"   27.6.07   9:05:00  ", true, ts(2007, 6, 27, 9, 5, 0)},
        {"27062007 21:30:05", true, ts(2007, 6, 27, 21, 30, 5)},
        {"20070627 213005", true, ts(2007, 6, 27, 21, 30, 5)},
        {"1/06/2007 9-05-00", true, ts(2007, 6, 1, 9, 5, 0)},
        {"31.13.2007 1:2:3", true, ts(2007, 13, 31, 1, 2, 3)},
        {"ABCDEFGHIJKLMN", true, Timestamp{}},  // letters read as 0 everywhere
        {"0.0.0 0:0:0", true, Timestamp{}},
        // A date alone, or followed by blanks only, is refused.
        {"27.06.2007", false, Timestamp{}},
        {"27.06.2007     ", false, Timestamp{}},
        {"", false, Timestamp{}},
        {"              ", false, Timestamp{}},
        {"2007062721300", false, Timestamp{}},  // 13 characters, no space
        // A refused date or time leaves the empty Timestamp, also when the date was read.
        {"2706207 21:30:05", false, Timestamp{}},
        {"27.06.2007 21:30", false, Timestamp{}},
        {"27.06.2007 12345", false, Timestamp{}},
    };
    for (const Case& c : cases) {
        Timestamp t = ts(1999, 1, 1, 1, 1, 1);
        EXPECT_EQ(parseTimestamp(c.text, t), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(show(t), show(c.result)) << '"' << c.text << '"';
    }
}

TEST(TimestampParse, DateTexts) {
    struct Case {
        const char* text;
        bool ok;
        int year, month, day;
    } cases[] = {
        {"27062007", true, 2007, 6, 27},   // DDMMYYYY: the last four read 1900 or more
        {"20070627", true, 2007, 6, 27},   // YYYYMMDD
        {"01011899", true, 101, 18, 99},   // the last four below 1900: YYYYMMDD
        {"070627", true, 2027, 6, 7},
        {"010150", true, 2050, 1, 1},
        {"010151", true, 1951, 1, 1},
        {"27.06.2007", true, 2007, 6, 27},
        {"27/06/2007", true, 2007, 6, 27},
        {"1/06/2007", true, 2007, 6, 1},   // 9 characters
        {"\t 27.06.2007 \t", true, 2007, 6, 27},
        // Dotted form: groups of any length and the two-digit year windows.
        {"1.1.0", true, 2000, 1, 1},
        {"1.1.50", true, 2050, 1, 1},
        {"1.1.51", true, 1951, 1, 1},
        {"1.1.99", true, 1999, 1, 1},
        {"1.1.100", true, 100, 1, 1},
        {"0.0.0", true, 0, 0, 0},
        {"0.5.0", true, 0, 5, 0},       // day 0 and year group 0: no year
        {"0.0.7", true, 2007, 0, 0},
        {"31.13.2007", true, 2007, 13, 31},
        {"300.1.2007", true, 2007, 1, 44},  // stored in the day's 8 bits
        {"-1.+2.2007", true, 2007, 2, 255},
        {"x.y.z", true, 0, 0, 0},
        {"1.1.0000000000002007", false, 0, 0, 0},  // 20 characters
        {"1.1.000000000002007", true, 2007, 1, 1},  // 19 characters
        {"1.1.9999999999999999", false, 0, 0, 0},
        {"1.1.999999999999999", true, 999999999999999ull & 0xFFFF, 1, 1},
        // Refused lengths.
        {"", false, 0, 0, 0},
        {"2706207", false, 0, 0, 0},
        {"27.06.2007.", false, 0, 0, 0},  // three dots, 11 characters
        {"27-06-20077", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        uint16_t year = 1;
        uint8_t month = 1, day = 1;
        EXPECT_EQ(parseDateText(c.text, year, month, day), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(year, c.year) << '"' << c.text << '"';
        EXPECT_EQ(month, c.month) << '"' << c.text << '"';
        EXPECT_EQ(day, c.day) << '"' << c.text << '"';
    }
}

TEST(TimestampParse, TimeTexts) {
    struct Case {
        const char* text;
        bool ok;
        int hour, minute, second;
    } cases[] = {
        {"213005", true, 21, 30, 5},
        {"21:30:05", true, 21, 30, 5},
        {"21-30-05", true, 21, 30, 5},
        {"9-05-00", true, 9, 5, 0},   // 7 characters
        {"9:5:0", true, 9, 5, 0},
        {" 9:05:00\t", true, 9, 5, 0},
        {"25:61:99", true, 25, 61, 99},
        {"300:0:0", true, 44, 0, 0},
        {"::", true, 0, 0, 0},
        {"00000000000000001:2", false, 0, 0, 0},
        {"0000000000000001:2:3", false, 0, 0, 0},  // 20 characters
        {"000000000000001:2:3", true, 1, 2, 3},    // 19 characters
        {"", false, 0, 0, 0},
        {"21:30", false, 0, 0, 0},
        {"12345", false, 0, 0, 0},
        {"123456789", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        uint8_t hour = 1, minute = 1, second = 1;
        EXPECT_EQ(parseTimeText(c.text, hour, minute, second), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(hour, c.hour) << '"' << c.text << '"';
        EXPECT_EQ(minute, c.minute) << '"' << c.text << '"';
        EXPECT_EQ(second, c.second) << '"' << c.text << '"';
    }
}

// Texts up to 99 characters are read, longer ones refused; nothing is read past the
// 100th character of a text that has no end within it.
TEST(TimestampParse, LengthLimits) {
    std::string padded99 = "27.06.2007" + std::string(81, ' ') + "21:30:05";
    ASSERT_EQ(padded99.size(), 99u);
    Timestamp t;
    EXPECT_TRUE(parseTimestamp(padded99.c_str(), t));
    EXPECT_EQ(show(t), show(ts(2007, 6, 27, 21, 30, 5)));

    std::string padded100 = padded99 + " ";
    EXPECT_FALSE(parseTimestamp(padded100.c_str(), t));
    EXPECT_EQ(show(t), show(Timestamp{}));

    std::string huge(100000, '7');
    EXPECT_FALSE(parseTimestamp(huge.c_str(), t));
    EXPECT_EQ(show(t), show(Timestamp{}));

    // Exactly 100 bytes without a terminator.
    std::vector<char> unterminated(100, '1');
    uint16_t year = 1;
    uint8_t month = 1, day = 1, hour = 1, minute = 1, second = 1;
    EXPECT_FALSE(parseTimestamp(unterminated.data(), t));
    EXPECT_FALSE(parseDateText(unterminated.data(), year, month, day));
    EXPECT_FALSE(parseTimeText(unterminated.data(), hour, minute, second));
    EXPECT_EQ(year + month + day + hour + minute + second, 0);

    // A date part of more than 19 characters.
    t = ts(1, 1, 1);
    EXPECT_FALSE(parseTimestamp("1.1.0000000000002007 21:30:05", t));
    EXPECT_EQ(show(t), show(Timestamp{}));

    EXPECT_FALSE(parseTimestamp(nullptr, t));
}

TEST(TimestampParse, TrimBlanks) {
    struct Case {
        const char* text;
        const char* trimmed;
    } cases[] = {
        {"  \t27.06.2007 21:30:05 \t ", "27.06.2007 21:30:05"},
        {"abc", "abc"},
        {" \t \t", ""},
        {"", ""},
        {"a", "a"},
        {"\na\n", "\na\n"},  // only spaces and tabs are blanks
    };
    for (const Case& c : cases) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%s", c.text);
        EXPECT_EQ(trimBlanks(buffer), buffer);
        EXPECT_STREQ(buffer, c.trimmed) << '"' << c.text << '"';
    }
}

TEST(TimestampConversion, NegativeCalendarTimeHasNoDate) {
    for (int32_t calendarTime : {-1, -86400, INT32_MIN}) {
        EXPECT_EQ(show(timestampFromCalendarTime(calendarTime)), show(Timestamp{}));
        uint64_t fileTime = 123;
        EXPECT_FALSE(localFileTimeFromCalendarTime(calendarTime, fileTime));
        EXPECT_EQ(fileTime, 0u);
    }
}

// In whatever zone the machine runs, the local file time counts the same wall-clock
// time that the Timestamp shows, and that lies within a day of UTC.
TEST(TimestampConversion, LocalFileTimeCountsTheLocalWallClock) {
    for (int32_t calendarTime : {0, 86399, 951782400, 1182979805, 1174784400, 1193533200,
                                 INT32_MAX}) {
        Timestamp local = timestampFromCalendarTime(calendarTime);
        uint64_t fileTime = 0;
        ASSERT_TRUE(localFileTimeFromCalendarTime(calendarTime, fileTime)) << calendarTime;
        int64_t localSeconds = secondsSince1970(local);
        EXPECT_EQ(fileTime, kFileTimeOf1970 + static_cast<uint64_t>(localSeconds) * 10000000u)
            << calendarTime << " " << show(local);
        int64_t offset = localSeconds - calendarTime;
        EXPECT_LE(offset < 0 ? -offset : offset, 86400) << calendarTime;
        EXPECT_EQ(offset % 900, 0) << calendarTime;
    }
}

TEST(TimestampConversion, CurrentTimestampIsNow) {
    Timestamp before = timestampFromCalendarTime(static_cast<int32_t>(plat::currentCalendarTime()));
    Timestamp now = currentTimestamp();
    Timestamp after = timestampFromCalendarTime(static_cast<int32_t>(plat::currentCalendarTime()));
    ASSERT_NE(now.year, 0);
    EXPECT_GE(secondDifference(before, now), 0) << show(before) << " " << show(now);
    EXPECT_GE(secondDifference(now, after), 0) << show(now) << " " << show(after);
}

#ifndef _WIN32
namespace {

// Runs the local-time conversions in the given zone and restores the previous one.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        const char* previous = std::getenv("TZ");
        hadPrevious_ = previous != nullptr;
        if (hadPrevious_) previous_ = previous;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (hadPrevious_)
            setenv("TZ", previous_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadPrevious_ = false;
    std::string previous_;
};

}  // namespace

TEST(TimestampConversion, BerlinOnBothSidesOfDaylightSavingChanges) {
    TimeZone zone("Europe/Berlin");
    struct Case {
        int32_t calendarTime;
        Timestamp local;
    } cases[] = {
        {0, ts(1970, 1, 1, 1, 0, 0)},
        {1168862400, ts(2007, 1, 15, 13, 0, 0)},    // winter: UTC+1
        {1182979805, ts(2007, 6, 27, 23, 30, 5)},   // summer: UTC+2
        {1174784399, ts(2007, 3, 25, 1, 59, 59)},   // last second before the spring change
        {1174784400, ts(2007, 3, 25, 3, 0, 0)},     // first second after it
        {1193533199, ts(2007, 10, 28, 2, 59, 59)},  // last second of summer time
        {1193533200, ts(2007, 10, 28, 2, 0, 0)},    // the hour from 2:00 again
        {INT32_MAX, ts(2038, 1, 19, 4, 14, 7)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(show(timestampFromCalendarTime(c.calendarTime)), show(c.local)) << c.calendarTime;
        uint64_t fileTime = 0;
        ASSERT_TRUE(localFileTimeFromCalendarTime(c.calendarTime, fileTime));
        uint64_t expected =
            kFileTimeOf1970 +
            static_cast<uint64_t>(secondsSince1970(c.local)) * 10000000u;
        EXPECT_EQ(fileTime, expected) << c.calendarTime;
    }
}

TEST(TimestampConversion, UtcFileTimeOfTheEpoch) {
    TimeZone zone("UTC");
    uint64_t fileTime = 0;
    ASSERT_TRUE(localFileTimeFromCalendarTime(0, fileTime));
    EXPECT_EQ(fileTime, kFileTimeOf1970);
    EXPECT_EQ(show(timestampFromCalendarTime(1182979805)), show(ts(2007, 6, 27, 21, 30, 5)));
}
#endif
