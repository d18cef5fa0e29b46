#include "time/timestamp.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

Timestamp fromBreakdown(const plat::LocalTime& lt) {
    Timestamp t;
    t.year = static_cast<uint16_t>(lt.year + 1900);
    t.month = static_cast<uint8_t>(lt.month + 1);
    t.day = static_cast<uint8_t>(lt.day);
    t.hour = static_cast<uint8_t>(lt.hour);
    t.minute = static_cast<uint8_t>(lt.minute);
    t.second = static_cast<uint8_t>(lt.second);
    return t;
}

bool isLeap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days from 1601-01-01 to the given date (proleptic Gregorian, year >= 1601).
int64_t daysSince1601(int64_t year, int month, int day) {
    static const int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int64_t y = year - 1601;
    int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
    days += kBefore[month - 1];
    if (month > 2 && isLeap(year)) days += 1;
    return days + (day - 1);
}

// Longest texts the field widths allow: day and month three digits, year five, each
// hour/minute/second three digits.
constexpr size_t kDateTextSize = sizeof("255.255.65535");
constexpr size_t kTimeTextSize = sizeof("255:255:255");
constexpr size_t kDateTimeTextSize = kDateTextSize - 1 + 2 + kTimeTextSize;
constexpr size_t kCompactDateTextSize = sizeof("65535255255");
constexpr size_t kCompactTimeTextSize = sizeof("255255255");

void formatDate(char* out, size_t size, const Timestamp& t) {
    if (t.year == 0)
        std::snprintf(out, size, "__.__.____");
    else
        std::snprintf(out, size, "%02i.%02i.%04i", t.day, t.month, t.year);
}

void formatTime(char* out, size_t size, int hour, int minute, int second) {
    std::snprintf(out, size, "%02i:%02i:%02i", hour, minute, second);
}

// Longest input the parsers accept: whole texts up to 99 characters, date and time
// parts up to 19.
constexpr size_t kMaxText = 99;
constexpr size_t kMaxPart = 19;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Reads a number from a group of characters: leading blanks skipped, one sign, digits
// up to the first non-digit, no digits giving 0. Unsigned arithmetic keeps overlong
// groups defined; the caller narrows the value to its field.
uint64_t readNumber(const char* group, size_t length) {
    size_t i = 0;
    while (i < length && isBlank(group[i])) ++i;
    bool negative = false;
    if (i < length && (group[i] == '+' || group[i] == '-')) {
        negative = group[i] == '-';
        ++i;
    }
    uint64_t value = 0;
    while (i < length && group[i] >= '0' && group[i] <= '9') {
        value = value * 10 + static_cast<uint64_t>(group[i] - '0');
        ++i;
    }
    return negative ? (0 - value) : value;
}

// Copies a caller's text into a work buffer of kMaxText + 1 bytes; false when it is
// longer than kMaxText.
bool copyInput(const char* text, char (&buffer)[kMaxText + 1]) {
    if (text == nullptr) return false;
    size_t length = strnlen(text, kMaxText + 1);
    if (length > kMaxText) return false;
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return true;
}

}  // namespace

Timestamp currentTimestamp() {
    plat::LocalTime lt{};
    if (!plat::localBreakdown(plat::currentCalendarTime(), lt)) return Timestamp{};
    return fromBreakdown(lt);
}

Timestamp timestampFromCalendarTime(int32_t calendarTime) {
    if (calendarTime < 0) return Timestamp{};
    plat::LocalTime lt{};
    if (!plat::localBreakdown(calendarTime, lt)) return Timestamp{};
    return fromBreakdown(lt);
}

bool localFileTimeFromCalendarTime(int32_t calendarTime, uint64_t& localFileTime) {
    localFileTime = 0;
    if (calendarTime < 0) return false;
    plat::LocalTime lt{};
    if (!plat::localBreakdown(calendarTime, lt)) return false;
    int64_t year = static_cast<int64_t>(lt.year) + 1900;
    int month = lt.month + 1;
    // The same record limits the platform's conversion checks.
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || lt.day < 1 ||
        lt.day > 31 || lt.hour < 0 || lt.hour > 23 || lt.minute < 0 || lt.minute > 59 ||
        lt.second < 0 || lt.second > 59)
        return false;
    int64_t seconds = daysSince1601(year, month, lt.day) * 86400 + lt.hour * 3600 +
                      lt.minute * 60 + lt.second;
    localFileTime = static_cast<uint64_t>(seconds) * 10000000u;
    return true;
}

const char* dateText(const Timestamp& t) {
    static thread_local char buffer[kDateTextSize];
    formatDate(buffer, sizeof buffer, t);
    return buffer;
}

const char* timeText(uint8_t hour, uint8_t minute, uint8_t second) {
    static thread_local char buffer[kTimeTextSize];
    formatTime(buffer, sizeof buffer, hour, minute, second);
    return buffer;
}

// Formats both halves in buffers of its own, so a dateText or timeText that a caller
// still holds stays intact.
const char* dateTimeText(const Timestamp& t) {
    static thread_local char buffer[kDateTimeTextSize];
    char date[kDateTextSize];
    char time[kTimeTextSize];
    formatDate(date, sizeof date, t);
    formatTime(time, sizeof time, t.hour, t.minute, t.second);
    std::snprintf(buffer, sizeof buffer, "%10s  %8s", date, time);
    return buffer;
}

const char* compactDateText(const Timestamp& t) {
    static thread_local char buffer[kCompactDateTextSize];
    std::snprintf(buffer, sizeof buffer, "%04i%02i%02i", t.year, t.month, t.day);
    return buffer;
}

const char* compactTimeText(uint8_t hour, uint8_t minute, uint8_t second) {
    static thread_local char buffer[kCompactTimeTextSize];
    std::snprintf(buffer, sizeof buffer, "%02i%02i%02i", hour, minute, second);
    return buffer;
}

char* trimBlanks(char* text) {
    if (text == nullptr) return text;
    size_t start = 0;
    while (isBlank(text[start])) ++start;
    size_t length = std::strlen(text + start);
    if (start > 0) std::memmove(text, text + start, length + 1);
    while (length > 0 && isBlank(text[length - 1])) text[--length] = '\0';
    return text;
}

bool parseDateText(const char* text, uint16_t& year, uint8_t& month, uint8_t& day) {
    year = 0;
    month = 0;
    day = 0;
    char work[kMaxText + 1];
    if (!copyInput(text, work)) return false;
    trimBlanks(work);
    size_t length = std::strlen(work);
    if (length > kMaxPart) return false;

    const char* firstDot = std::strchr(work, '.');
    const char* secondDot = firstDot ? std::strchr(firstDot + 1, '.') : nullptr;
    if (secondDot != nullptr && std::strchr(secondDot + 1, '.') == nullptr) {
        day = static_cast<uint8_t>(readNumber(work, static_cast<size_t>(firstDot - work)));
        month = static_cast<uint8_t>(
            readNumber(firstDot + 1, static_cast<size_t>(secondDot - firstDot - 1)));
        uint16_t y = static_cast<uint16_t>(readNumber(secondDot + 1, std::strlen(secondDot + 1)));
        if ((day != 0 && month != 0) || y != 0) {
            if (y >= 100)
                year = y;
            else if (y >= 51)
                year = static_cast<uint16_t>(1900 + y);
            else
                year = static_cast<uint16_t>(2000 + y);
        }
        return true;
    }

    char padded[kMaxPart + 2];
    const char* p = work;
    if (length == 9) {
        // One digit of the day short: "0%s" turns it into the 10-character form.
        std::snprintf(padded, sizeof padded, "0%s", work);
        p = padded;
        length = 10;
    }
    switch (length) {
        case 6: {
            day = static_cast<uint8_t>(readNumber(p, 2));
            month = static_cast<uint8_t>(readNumber(p + 2, 2));
            int y = static_cast<int>(static_cast<int64_t>(readNumber(p + 4, 2)));
            year = static_cast<uint16_t>(y > 50 ? 1900 + y : 2000 + y);
            return true;
        }
        case 8: {
            uint16_t v = static_cast<uint16_t>(readNumber(p + 4, 4));
            if (v >= 1900) {
                year = v;
                day = static_cast<uint8_t>(readNumber(p, 2));
                month = static_cast<uint8_t>(readNumber(p + 2, 2));
            } else {
                year = static_cast<uint16_t>(readNumber(p, 4));
                month = static_cast<uint8_t>(readNumber(p + 4, 2));
                day = static_cast<uint8_t>(readNumber(p + 6, 2));
            }
            return true;
        }
        case 10:
            day = static_cast<uint8_t>(readNumber(p, 2));
            month = static_cast<uint8_t>(readNumber(p + 3, 2));
            year = static_cast<uint16_t>(readNumber(p + 6, 4));
            return true;
        default:
            return false;
    }
}

bool parseTimeText(const char* text, uint8_t& hour, uint8_t& minute, uint8_t& second) {
    hour = 0;
    minute = 0;
    second = 0;
    char work[kMaxText + 1];
    if (!copyInput(text, work)) return false;
    trimBlanks(work);
    size_t length = std::strlen(work);
    if (length > kMaxPart) return false;

    const char* firstColon = std::strchr(work, ':');
    const char* secondColon = firstColon ? std::strchr(firstColon + 1, ':') : nullptr;
    if (secondColon != nullptr && std::strchr(secondColon + 1, ':') == nullptr) {
        hour = static_cast<uint8_t>(readNumber(work, static_cast<size_t>(firstColon - work)));
        minute = static_cast<uint8_t>(
            readNumber(firstColon + 1, static_cast<size_t>(secondColon - firstColon - 1)));
        second = static_cast<uint8_t>(readNumber(secondColon + 1, std::strlen(secondColon + 1)));
        return true;
    }

    char padded[kMaxPart + 2];
    const char* p = work;
    if (length == 7) {
        std::snprintf(padded, sizeof padded, "0%s", work);
        p = padded;
        length = 8;
    }
    switch (length) {
        case 6:
            hour = static_cast<uint8_t>(readNumber(p, 2));
            minute = static_cast<uint8_t>(readNumber(p + 2, 2));
            second = static_cast<uint8_t>(readNumber(p + 4, 2));
            return true;
        case 8:
            hour = static_cast<uint8_t>(readNumber(p, 2));
            minute = static_cast<uint8_t>(readNumber(p + 3, 2));
            second = static_cast<uint8_t>(readNumber(p + 6, 2));
            return true;
        default:
            return false;
    }
}

bool parseTimestamp(const char* text, Timestamp& out) {
    out = Timestamp{};
    char work[kMaxText + 1];
    if (!copyInput(text, work)) return false;
    size_t length = std::strlen(work);

    char datePart[kMaxText + 1];
    char timePart[kMaxText + 1];
    if (length == 12 || length == 14) {
        size_t dateLength = length - 6;
        std::memcpy(datePart, work, dateLength);
        datePart[dateLength] = '\0';
        std::memcpy(timePart, work + dateLength, 7);
    } else {
        // The first space after a non-space separates date and time.
        size_t i = 0;
        while (work[i] == ' ') ++i;
        while (work[i] != '\0' && work[i] != ' ') ++i;
        if (work[i] == '\0') {
            datePart[0] = '\0';
            timePart[0] = '\0';
        } else {
            std::memcpy(datePart, work, i);
            datePart[i] = '\0';
            std::memcpy(timePart, work + i, length - i + 1);
        }
        trimBlanks(datePart);
        trimBlanks(timePart);
    }

    Timestamp t;
    if (datePart[0] != '\0' && timePart[0] != '\0' &&
        parseDateText(datePart, t.year, t.month, t.day) &&
        parseTimeText(timePart, t.hour, t.minute, t.second)) {
        out = t;
        return true;
    }
    return false;
}
