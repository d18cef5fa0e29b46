// The one date-and-time value of the system: local wall-clock time, no zone, no fraction.
#pragma once

#include <cstdint>

struct Timestamp {
    uint16_t year = 0;  // 0 = no date
    uint8_t month = 0;
    uint8_t day = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    bool operator==(const Timestamp&) const = default;
};

Timestamp currentTimestamp();
Timestamp timestampFromCalendarTime(int32_t calendarTime);
// 100-ns intervals since 1601 counting local wall-clock time; false (and 0) when the
// calendar time has no breakdown.
bool localFileTimeFromCalendarTime(int32_t calendarTime, uint64_t& localFileTime);

// Text forms. Each form keeps its text in a buffer of its own, valid until the same
// form is called again, so different forms can be combined in one printf.
const char* dateText(const Timestamp& t);
const char* timeText(uint8_t hour, uint8_t minute, uint8_t second);
const char* dateTimeText(const Timestamp& t);
const char* compactDateText(const Timestamp& t);
const char* compactTimeText(uint8_t hour, uint8_t minute, uint8_t second);

// Parsers: texts up to 99 characters, date and time parts up to 19; longer input is
// refused.
bool parseTimestamp(const char* text, Timestamp& out);
bool parseDateText(const char* text, uint16_t& year, uint8_t& month, uint8_t& day);
bool parseTimeText(const char* text, uint8_t& hour, uint8_t& minute, uint8_t& second);
char* trimBlanks(char* text);
