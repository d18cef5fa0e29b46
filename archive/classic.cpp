#include "archive/classic.h"

#include <cstddef>
#include <vector>

#include "archive/foldertable.h"
#include "copy/treecopy.h"
#include "fs/fileops.h"
#include "fs/paths.h"
#include "fs/report.h"
#include "platform/platform.h"
#include "time/calendar.h"

namespace {

// The date table holds at most 300 entries of names up to 99 characters. The names the
// run creates have 22 or 24; a longer one is no backup of ours and is left out with a
// line that says so. When the table is full, the earliest entry gives way to a later
// date, so the latest backup, the only one the scheme copies, is never lost; the entries
// keep their listing order, which decides between equal dates.
constexpr size_t kDateTableCapacity = 300;
constexpr size_t kDateNameCapacity = 99;

struct DateEntry {
    std::string upperName;
    std::string listedName;
    Timestamp date;
};
std::vector<DateEntry> dateTable;

// Chronological order on the fields as stored. Unlike a difference in seconds it cannot
// overflow, so an unreadable name (year 0) never counts as the latest next to real dates.
bool isLater(const Timestamp& a, const Timestamp& b) {
    auto key = [](const Timestamp& t) {
        int64_t k = t.year;
        for (int64_t field : {t.month, t.day, t.hour, t.minute, t.second}) k = k * 256 + field;
        return k;
    };
    return key(a) > key(b);
}

std::string memberSource(const std::string& target, const DateEntry& entry) {
    const std::string& name =
        plat::kIsWindows || entry.listedName.empty() ? entry.upperName : entry.listedName;
    return joinPath(target, name);
}

struct PrunedFolder {
    const char* folderName;
    int32_t limit;
    const char* removalLine;
    const char* copyLine;
};
const PrunedFolder kMonths{"MONATE", 12, "Monats-Archivordner %s geloescht\n",
                           "Monatssicherung von %s\n"};
const PrunedFolder kWeeks{"WOCHEN", 5, "Wochen-Archivordner %s geloescht\n",
                          "Wochensicherung von %s\n"};

void prunedCopy(const RunOptions& options, const PrunedFolder& f, const DateEntry& entry,
                DirWalker& walker) {
    const std::string& target = options.targetPath;
    std::string folder = joinPath(target, f.folderName);
    int32_t listed = listSubfolders(folder);
    int32_t archives = 0;
    for (int32_t i = 0; i < listed; ++i)
        if (isArchiveName(upperNameAt(i))) ++archives;
    if (archives >= f.limit) {
        std::string bound;
        for (int32_t k = 0; k < archives - (f.limit - 1); ++k) {
            std::string picked = nextArchiveName(bound);
            if (picked == kNoArchiveName) break;
            bound = picked;
            walker.removeTree(pickedFolderPath(folder, picked));
            consoleLine(f.removalLine, joinPath(folder, picked).c_str());
            walker.reset();
        }
    }
    releaseTable();
    makeFolderPath(folder);
    std::string destination = joinPath(folder, entry.upperName);
    consoleLine(f.copyLine, destination.c_str());
    copyTree(memberSource(target, entry), destination, options.errorFilePath,
             options.detailedLog);
}

}  // namespace

void resetDateTable() { dateTable.clear(); }

int32_t dateTableCount() { return static_cast<int32_t>(dateTable.size()); }

void collectArchiveDate(const std::string& upperName, const std::string& listedName) {
    if (upperName.size() > kDateNameCapacity) {
        consoleLine("Archivordner %s ... FEHLER (Name laenger als 99 Zeichen, "
                    "wird im Archivschema nicht beruecksichtigt)\n",
                    (listedName.empty() ? upperName : listedName).c_str());
        return;
    }
    // Positions 8-15 and 17-22 hold the date and the time of the names the run creates.
    std::string text = upperName.size() > 7 ? upperName.substr(7, 8) : std::string();
    if (upperName.size() > 16) text += upperName.substr(16, 6);
    DateEntry entry{upperName, listedName, Timestamp{}};
    parseTimestamp(text.c_str(), entry.date);
    shiftBySeconds(entry.date, -21600);
    if (dateTable.size() < kDateTableCapacity) {
        dateTable.push_back(entry);
        return;
    }
    size_t earliest = 0;
    for (size_t i = 1; i < dateTable.size(); ++i)
        if (isLater(dateTable[earliest].date, dateTable[i].date)) earliest = i;
    if (!isLater(entry.date, dateTable[earliest].date)) return;
    dateTable.erase(dateTable.begin() + static_cast<std::ptrdiff_t>(earliest));
    dateTable.push_back(entry);
}

void applyClassicScheme(const RunOptions& options, const Timestamp& shifted, DirWalker& walker) {
    if (dateTable.empty()) return;
    size_t best = 0;
    for (size_t e = 1; e < dateTable.size(); ++e)
        if (isLater(dateTable[e].date, dateTable[best].date)) best = e;
    const DateEntry& entry = dateTable[best];
    const Timestamp& last = entry.date;
    const std::string& target = options.targetPath;
    const std::string& name = entry.upperName;

    bool done = false;
    for (const char* kept : {"JAHRE", "MONATE", "WOCHEN"})
        if (folderExists(joinPath(joinPath(target, kept), name))) done = true;
    if (done) return;

    int32_t md = (static_cast<int32_t>(shifted.year) - last.year) * 12 +
                 (static_cast<int32_t>(shifted.month) - last.month);
    if (md > 0) {
        int32_t w = options.fiscalYearStartMonth;
        if (w <= last.month) w += 12;
        if (last.month + md >= w) {
            std::string years = joinPath(target, "JAHRE");
            makeFolderPath(years);
            std::string destination = joinPath(years, name);
            consoleLine("Jahressicherung von %s\n", destination.c_str());
            copyTree(memberSource(target, entry), destination, options.errorFilePath,
                     options.detailedLog);
        } else {
            prunedCopy(options, kMonths, entry, walker);
        }
        return;
    }
    int wn = weekdayIndex(shifted);
    int wl = weekdayIndex(last);
    if (wn < wl || dayDifference(last, shifted) > 6) prunedCopy(options, kWeeks, entry, walker);
}
