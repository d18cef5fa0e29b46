// The classic scheme: the last backup of every week, month and fiscal year is kept in
// WOCHEN, MONATE and JAHRE.
#pragma once

#include <cstdint>
#include <string>

#include "app/options.h"
#include "fs/dirwalker.h"
#include "time/timestamp.h"

// The date table of one run, filled by the rotation's second listing.
void resetDateTable();
// listedName: the name as the listing delivered it (POSIX names are case-sensitive).
void collectArchiveDate(const std::string& upperName, const std::string& listedName = "");
int32_t dateTableCount();

// Copies the previous backup into JAHRE, MONATE or WOCHEN when it was the last of its
// fiscal year, month or week. shifted: the run timestamp moved back six hours.
void applyClassicScheme(const RunOptions& options, const Timestamp& shifted, DirWalker& walker);
