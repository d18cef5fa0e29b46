// Building and showing Timestamps in the tests, also with fields outside the calendar.
#pragma once

#include <cstdint>
#include <string>

#include "time/timestamp.h"

inline Timestamp ts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    Timestamp t;
    t.year = static_cast<uint16_t>(year);
    t.month = static_cast<uint8_t>(month);
    t.day = static_cast<uint8_t>(day);
    t.hour = static_cast<uint8_t>(hour);
    t.minute = static_cast<uint8_t>(minute);
    t.second = static_cast<uint8_t>(second);
    return t;
}

// All six fields, for readable failures.
inline std::string show(const Timestamp& t) {
    return std::to_string(t.year) + "-" + std::to_string(t.month) + "-" + std::to_string(t.day) +
           " " + std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" +
           std::to_string(t.second);
}
