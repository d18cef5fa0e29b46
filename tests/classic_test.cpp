// The classic scheme on real folders: which copy the previous backup receives, which
// backup counts as the previous one, the retained test, the pruning of MONATE and WOCHEN,
// and the date table's capacity.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/options.h"
#include "archive/classic.h"
#include "fs/dirwalker.h"
#include "support/tempdir.h"
#include "time/calendar.h"
#include "time/timestamp.h"
#include "support/timestamps.h"

namespace {

namespace fs = std::filesystem;

Timestamp when(int year, int month, int day, int hour, int minute = 0) {
    return ts(year, month, day, hour, minute);
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

bool isSchemeLine(const std::string& line) {
    for (const char* start : {"Jahressicherung von ", "Monatssicherung von ", "Wochensicherung von ",
                              "Monats-Archivordner ", "Wochen-Archivordner ", "Archivordner "})
        if (line.rfind(start, 0) == 0) return true;
    return false;
}

class ClassicScheme : public ::testing::Test {
protected:
    TempDir dir;
    std::string target = dir / "ziel";

    std::string at(const std::string& rel) const { return joinNative(target, rel); }

    // An archive folder as a run leaves it: one file that names its backup.
    void backup(const std::string& folder, const std::string& name) {
        writeFile(joinNative(at(folder), name + "/daten.txt"), name);
    }
    void backup(const std::string& name) { writeFile(at(name + "/daten.txt"), name); }

    // The rotation's second listing, in the given order.
    void collect(const std::vector<std::string>& listedNames) {
        resetDateTable();
        for (const std::string& name : listedNames) collectArchiveDate(upper(name), name);
    }

    // The scheme as the run calls it after the copy; the scheme's own lines and any
    // other line that names an archive folder, in order (the tree copy's lines left out).
    std::vector<std::string> apply(const Timestamp& runTime, int fiscalYearStartMonth = 1) {
        RunOptions options;
        options.targetPath = target;
        options.classicScheme = true;
        options.fiscalYearStartMonth = fiscalYearStartMonth;
        Timestamp shifted = runTime;
        shiftBySeconds(shifted, -21600);
        DirWalker walker;
        testing::internal::CaptureStdout();
        applyClassicScheme(options, shifted, walker);
        return schemeLines(testing::internal::GetCapturedStdout());
    }

    static std::vector<std::string> schemeLines(const std::string& out) {
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < out.size()) {
            size_t end = out.find('\n', start);
            if (end == std::string::npos) end = out.size();
            std::string line = out.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (isSchemeLine(line)) lines.push_back(line);
            start = end + 1;
        }
        return lines;
    }

    // The copy line for a copy of name into folder ("" when no copy is expected).
    std::vector<std::string> copyLine(const std::string& folder, const std::string& name) const {
        if (folder.empty()) return {};
        const char* start = folder == "JAHRE"    ? "Jahressicherung von "
                            : folder == "MONATE" ? "Monatssicherung von "
                                                 : "Wochensicherung von ";
        return {start + joinNative(at(folder), name)};
    }
};

// Which copy the previous backup receives, from the two dates and the fiscal year.
struct DecisionCase {
    const char* label;
    const char* previous;  // the only archive folder, as listed
    Timestamp run;
    int fiscalYearStartMonth;
    const char* folder;  // JAHRE, MONATE, WOCHEN, or "" for no copy
};

TEST_F(ClassicScheme, DecidesTheCopyFromThePreviousBackupAndTheRun) {
    const DecisionCase cases[] = {
        {"Monday run after Sunday 23:00", "ARCHIV_20070610_230000", when(2007, 6, 11, 23), 1,
         "WOCHEN"},
        {"Wednesday run after Tuesday", "ARCHIV_20070612_230000", when(2007, 6, 13, 23), 1, ""},
        {"Sunday run after Saturday", "ARCHIV_20070609_230000", when(2007, 6, 10, 23), 1, ""},
        {"Monday 01:00 backup counts for Sunday", "ARCHIV_20070611_010000",
         when(2007, 6, 11, 23), 1, "WOCHEN"},
        {"Sunday 1 July 02:00 counts for 30 June", "ARCHIV_20070701_020000",
         when(2007, 7, 2, 2), 1, "MONATE"},
        {"31 December, run 1 January 07:00", "ARCHIV_20071231_230000", when(2008, 1, 1, 7), 1,
         "JAHRE"},
        {"31 December, run 1 January 05:00", "ARCHIV_20071231_230000", when(2008, 1, 1, 5), 1, ""},
        {"fiscal July: 30 June to 1 July", "ARCHIV_20070630_120000", when(2007, 7, 1, 12), 7,
         "JAHRE"},
        {"fiscal July: 31 July to 1 August", "ARCHIV_20070731_120000", when(2007, 8, 1, 12), 7,
         "MONATE"},
        {"fiscal July: new calendar year only", "ARCHIV_20071231_120000", when(2008, 1, 1, 12), 7,
         "MONATE"},
        {"fiscal December: 30 November to 1 December", "ARCHIV_20071130_120000",
         when(2007, 12, 1, 12), 12, "JAHRE"},
        {"fiscal December: 31 December to 1 January", "ARCHIV_20071231_120000",
         when(2008, 1, 1, 12), 12, "MONATE"},
        {"months later, same fiscal year", "ARCHIV_20070215_120000", when(2007, 5, 15, 12), 1,
         "MONATE"},
        {"months later, across the fiscal year", "ARCHIV_20071115_120000", when(2008, 2, 15, 12),
         1, "JAHRE"},
        {"last of its week and month: Saturday 30 June", "ARCHIV_20070630_230000",
         when(2007, 7, 2, 23), 1, "MONATE"},
        {"Wednesday to Wednesday, seven days", "ARCHIV_20070606_120000", when(2007, 6, 13, 12), 1,
         "WOCHEN"},
        {"Monday to Friday of one week", "ARCHIV_20070604_120000", when(2007, 6, 8, 12), 1, ""},
        {"clock set back to an earlier weekday", "ARCHIV_20070620_120000", when(2007, 6, 18, 12),
         1, "WOCHEN"},
        {"clock set back to the Sunday before", "ARCHIV_20070618_120000", when(2007, 6, 17, 12), 1,
         ""},
        {"clock set back into the month before", "ARCHIV_20070702_120000", when(2007, 6, 29, 12),
         1, ""},
        {"permanent mark kept in the copy's name", "ARCHIV_20070610_230000_S",
         when(2007, 6, 11, 23), 1, "WOCHEN"},
        {"name without a date", "ARCHIV_ALT", when(2007, 6, 11, 23), 1, "JAHRE"},
    };
    int index = 0;
    for (const DecisionCase& c : cases) {
        SCOPED_TRACE(c.label);
        target = dir / ("ziel" + std::to_string(index++));
        backup(c.previous);
        collect({c.previous});
        EXPECT_EQ(apply(c.run, c.fiscalYearStartMonth), copyLine(c.folder, c.previous));
        for (const char* folder : {"JAHRE", "MONATE", "WOCHEN"}) {
            if (folder == std::string(c.folder))
                EXPECT_EQ(readFile(joinNative(at(folder), std::string(c.previous) + "/daten.txt")),
                          c.previous);
            else
                EXPECT_FALSE(exists(at(folder))) << folder;
        }
        EXPECT_TRUE(exists(at(std::string(c.previous) + "/daten.txt"))) << "original kept";
    }
}

// A folder listed in lower case is read like its upper-cased name and opened under the
// name it has; the copy takes the upper-cased name.
TEST_F(ClassicScheme, CopiesAFolderListedInLowerCaseUnderItsUpperCasedName) {
    backup("archiv_20070610_230000");
    collect({"archiv_20070610_230000"});
    EXPECT_EQ(apply(when(2007, 6, 11, 23)), copyLine("WOCHEN", "ARCHIV_20070610_230000"));
    EXPECT_EQ(subfolders(at("WOCHEN")), std::vector<std::string>{"ARCHIV_20070610_230000"});
    EXPECT_EQ(readFile(at("WOCHEN/ARCHIV_20070610_230000/daten.txt")), "archiv_20070610_230000");
}

// The previous backup is the latest date of the listing, whatever the listing order; of
// equal dates the first listed; a name without a date never wins over a dated one.
TEST_F(ClassicScheme, ThePreviousBackupIsTheLatestListedDate) {
    struct Case {
        const char* label;
        std::vector<std::string> listed;
        std::string expected;
    };
    const Case cases[] = {
        {"latest in the middle",
         {"ARCHIV_20070612_230000", "ARCHIV_20070614_230000", "ARCHIV_20070613_230000"},
         "ARCHIV_20070614_230000"},
        {"03:00 the next day is still later",
         {"ARCHIV_20070615_030000", "ARCHIV_20070614_230000"},
         "ARCHIV_20070615_030000"},
        {"equal dates, marked one first",
         {"ARCHIV_20070614_230000_S", "ARCHIV_20070614_230000"},
         "ARCHIV_20070614_230000_S"},
        {"equal dates, unmarked one first",
         {"ARCHIV_20070614_230000", "ARCHIV_20070614_230000_S"},
         "ARCHIV_20070614_230000"},
        {"undated name first", {"ARCHIV_ALT", "ARCHIV_20070614_230000"}, "ARCHIV_20070614_230000"},
        {"undated name last", {"ARCHIV_20070614_230000", "ARCHIV_ALT"}, "ARCHIV_20070614_230000"},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        target = dir / ("ziel" + std::to_string(index++));
        for (const std::string& name : c.listed) backup(name);
        collect(c.listed);
        // Years later every previous backup becomes a yearly copy.
        EXPECT_EQ(apply(when(2009, 6, 15, 12)), copyLine("JAHRE", c.expected));
        EXPECT_EQ(subfolders(at("JAHRE")), std::vector<std::string>{c.expected});
    }
}

// A previous backup with a copy in any of the three folders gets nothing more, and a
// full MONATE loses nothing for it.
TEST_F(ClassicScheme, AnAlreadyRetainedBackupGetsNoFurtherCopy) {
    const std::string previous = "ARCHIV_20070630_230000";  // due for MONATE on 2 July
    int index = 0;
    for (const char* retainedIn : {"JAHRE", "MONATE", "WOCHEN"}) {
        SCOPED_TRACE(retainedIn);
        target = dir / ("ziel" + std::to_string(index++));
        backup(previous);
        std::vector<std::string> months;
        for (int m = 1; m <= 12; ++m) {
            months.push_back(std::string("ARCHIV_2006") + (m < 10 ? "0" : "") +
                             std::to_string(m) + "01_120000");
            backup("MONATE", months.back());
        }
        backup(retainedIn, previous);
        std::vector<std::string> monthsBefore = subfolders(at("MONATE"));
        collect({previous});
        EXPECT_EQ(apply(when(2007, 7, 2, 23)), std::vector<std::string>{});
        EXPECT_EQ(subfolders(at("MONATE")), monthsBefore);
    }
}

// Before the copy the oldest archive folders go, so that with the copy the limit holds;
// other folders in MONATE and WOCHEN stay.
TEST_F(ClassicScheme, PrunesTheOldestCopiesBeforeTheCopy) {
    struct Case {
        const char* folder;
        int present;          // archive folders before the run, oldest first
        int removed;          // the oldest ones the run removes
        Timestamp run;        // makes the copy of the previous backup into folder due
    };
    const Case cases[] = {
        {"MONATE", 12, 1, when(2007, 7, 2, 23)}, {"MONATE", 14, 3, when(2007, 7, 2, 23)},
        {"MONATE", 11, 0, when(2007, 7, 2, 23)}, {"MONATE", 0, 0, when(2007, 7, 2, 23)},
        {"WOCHEN", 5, 1, when(2007, 6, 25, 23)}, {"WOCHEN", 7, 3, when(2007, 6, 25, 23)},
        {"WOCHEN", 4, 0, when(2007, 6, 25, 23)},
    };
    const std::string previous = "ARCHIV_20070624_230000";  // Sunday
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " with " + std::to_string(c.present));
        target = dir / ("ziel" + std::to_string(index++));
        std::string prev = c.folder == std::string("MONATE") ? "ARCHIV_20070630_230000" : previous;
        backup(prev);
        // Older copies, the oldest in lower case (a folder copied back by hand).
        std::vector<std::string> copies;
        for (int i = 0; i < c.present; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "%s_200601%02i_230000", i == 0 ? "archiv" : "ARCHIV",
                          i + 1);
            copies.push_back(name);
            backup(c.folder, copies.back());
        }
        if (c.present > 0) {
            makeDirs(joinNative(at(c.folder), "Alt"));
            writeFile(joinNative(at(c.folder), "notiz.txt"), "bleibt");
        }
        collect({prev});
        std::vector<std::string> expected;
        const char* removal = c.folder == std::string("MONATE") ? "Monats-Archivordner "
                                                               : "Wochen-Archivordner ";
        for (int i = 0; i < c.removed; ++i)
            expected.push_back(removal + joinNative(at(c.folder), upper(copies[i])) +
                               " geloescht");
        std::vector<std::string> copy = copyLine(c.folder, prev);
        expected.insert(expected.end(), copy.begin(), copy.end());
        EXPECT_EQ(apply(c.run), expected);

        std::vector<std::string> after(copies.begin() + c.removed, copies.end());
        after.push_back(prev);
        if (c.present > 0) after.push_back("Alt");
        std::sort(after.begin(), after.end());
        EXPECT_EQ(subfolders(at(c.folder)), after);
        if (c.present > 0) {
            EXPECT_EQ(readFile(joinNative(at(c.folder), "notiz.txt")), "bleibt");
        }
        EXPECT_EQ(readFile(joinNative(at(c.folder), prev + "/daten.txt")), prev);
    }
}

TEST_F(ClassicScheme, AnEmptyDateTableDoesNothing) {
    resetDateTable();
    EXPECT_EQ(dateTableCount(), 0);
    EXPECT_EQ(apply(when(2008, 1, 1, 7)), std::vector<std::string>{});
    EXPECT_FALSE(exists(target));
}

// Names up to 99 characters enter the table; a longer one is left out with a line.
TEST_F(ClassicScheme, LeavesOutNamesLongerThanTheTableHolds) {
    const std::string older = "ARCHIV_20070609_230000";
    for (size_t length : {99u, 100u}) {
        SCOPED_TRACE(length);
        target = dir / ("ziel" + std::to_string(length));
        std::string longName = "ARCHIV_20070610_230000_";
        longName += std::string(length - longName.size(), 'X');
        backup(older);
        backup(longName);
        testing::internal::CaptureStdout();
        collect({older, longName});
        std::vector<std::string> collectLines = schemeLines(testing::internal::GetCapturedStdout());
        std::vector<std::string> lines = apply(when(2009, 6, 15, 12));
        if (length == 99) {
            EXPECT_EQ(dateTableCount(), 2);
            EXPECT_EQ(collectLines, std::vector<std::string>{});
            EXPECT_EQ(lines, copyLine("JAHRE", longName));
        } else {
            EXPECT_EQ(dateTableCount(), 1);
            EXPECT_EQ(collectLines,
                      std::vector<std::string>{"Archivordner " + longName +
                                               " ... FEHLER (Name laenger als 99 Zeichen, wird "
                                               "im Archivschema nicht beruecksichtigt)"});
            EXPECT_EQ(lines, copyLine("JAHRE", older));
        }
    }
}

// Beyond 300 entries the earliest dates give way: the latest backup is found however
// late it is listed, and of equal latest dates the first listed still counts.
TEST_F(ClassicScheme, AFullDateTableKeepsTheLatestAndTheListingOrder) {
    std::vector<std::string> listed;
    for (int i = 0; i < 300; ++i) {
        Timestamp t = when(2005, 1, 1, 12);
        shiftByDays(t, i);
        listed.push_back(std::string("ARCHIV_") + compactDateText(t) + "_120000");
    }
    // The latest date sits in the middle of the full table; a later listed copy of it
    // (with the mark) must not take its place, a later date listed after it must.
    listed[150] = "ARCHIV_20070610_230000";
    std::vector<std::string> tie = listed;
    tie.push_back("ARCHIV_20070610_230000_S");
    std::vector<std::string> later = tie;
    later.push_back("ARCHIV_20070611_230000");

    struct Case {
        const char* label;
        const std::vector<std::string>& listed;
        std::string expected;
    };
    const Case cases[] = {{"equal latest date listed 301st", tie, "ARCHIV_20070610_230000"},
                          {"later date listed 302nd", later, "ARCHIV_20070611_230000"}};
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        target = dir / ("ziel" + std::to_string(index++));
        for (const char* name :
             {"ARCHIV_20070610_230000", "ARCHIV_20070610_230000_S", "ARCHIV_20070611_230000"})
            backup(name);
        collect(c.listed);
        EXPECT_EQ(dateTableCount(), 300);
        EXPECT_EQ(apply(when(2009, 6, 15, 12)), copyLine("JAHRE", c.expected));
    }
}

}  // namespace
