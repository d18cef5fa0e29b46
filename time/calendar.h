// Calendar arithmetic on the fields of a Timestamp as stored, Gregorian, local time.
#pragma once

#include <cstdint>

#include "time/timestamp.h"

int daysInMonth(const Timestamp& t);
int32_t dayDifference(const Timestamp& a, const Timestamp& b);     // b - a in days
int32_t secondDifference(const Timestamp& a, const Timestamp& b);  // b - a in seconds
void shiftBySeconds(Timestamp& t, int32_t seconds);
void shiftByDays(Timestamp& t, int32_t days);
int weekdayIndex(const Timestamp& t);  // 0 Monday .. 6 Sunday
