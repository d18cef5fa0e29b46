// The classic scheme end to end: series of real runs, each at its own time under
// faketime, compared line by line with the console output and the folders they should
// leave: weekly copies on Mondays, monthly and yearly copies around month and year ends
// (with the six-hour rule and a fiscal year), the pruning of MONATE and WOCHEN, a
// retained backup, an undated archive folder, a target without archive folders, and
// what "/K" does to "/Z=" and "/S".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/runner.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The last console line of a run, "\n<weekday> <date and time>\n\n", worked out
// independently from the archive folder name ARCHIV_YYYYMMDD_hhmmss[_S]: the weekday (0
// Monday) is the one of the time six hours earlier.
std::string lastLine(const std::string& archive) {
    int y = std::stoi(archive.substr(7, 4)), mo = std::stoi(archive.substr(11, 2)),
        d = std::stoi(archive.substr(13, 2)), h = std::stoi(archive.substr(16, 2)),
        mi = std::stoi(archive.substr(18, 2)), s = std::stoi(archive.substr(20, 2));
    using namespace std::chrono;
    sys_seconds t = sys_days{year{y} / month{static_cast<unsigned>(mo)} /
                             day{static_cast<unsigned>(d)}} +
                    hours{h} - hours{6};
    unsigned weekdayIndex = weekday{floor<days>(t)}.iso_encoding() - 1;
    char text[64];
    std::snprintf(text, sizeof text, "\n%u %02i.%02i.%04i  %02i:%02i:%02i\n\n", weekdayIndex, d, mo, y,
                  h, mi, s);
    return text;
}

// With an error file the last line shows the end time, which may lie a second or two
// after the start: its seconds are left out of the comparison.
std::string withoutEndSeconds(std::string out) {
    if (out.size() >= 4) out.replace(out.size() - 4, 2, "ss");
    return out;
}

// What one run is expected to do besides its own backup.
struct Expected {
    std::vector<std::string> rotated;  // archive folders the rotation removes
    std::string folder;                // JAHRE, MONATE, WOCHEN or "" for no copy
    std::string copied;                // the previous backup's folder
    std::vector<std::string> pruned;   // copies removed from MONATE or WOCHEN first
};

class ClassicRuns : public e2e::E2ETest {
protected:
    TempDir work;
    std::string source = work / "quelle";
    std::string target = work / "ziel";

    struct Run {
        e2e::ProcessResult result;
        std::string archive;  // the archive folder the run created
    };

    // The program's form of a path under the target ("WOCHEN/ARCHIV_...").
    std::string inTarget(const std::string& rel) const {
        std::string path = programPath(target);
        for (char c : "/" + rel) path += c == '/' ? programSeparator() : c;
        return path;
    }

    // An archive folder put in place by hand, with one file that names it.
    void seed(const std::string& rel) { writeFile(joinNative(target, rel + "/daten.txt"), rel); }

    // One backup run that starts at the given local time; the source's one file names
    // the time, so every copy shows which backup it came from.
    Run runAt(const std::string& localTime, const std::vector<std::string>& options = {}) {
        writeFile(joinNative(source, "daten.txt"), localTime);
        e2e::RunExtras extras;
        extras.environment = {{"TZ", "Europe/Berlin"}};
        extras.commandPrefix = e2e::fakeTimePrefix(localTime);
        std::vector<std::string> args = {programPath(source), programPath(target), "/K", "/X"};
        args.insert(args.end(), options.begin(), options.end());
        Run run{this->run(args, std::nullopt, extras), ""};
        EXPECT_EQ(run.result.exitCode, 0);
        const std::string created = "Archivordner " + inTarget("");
        const std::string& out = run.result.out;
        size_t end = out.find(" neu erstellt\n");
        size_t at = end == std::string::npos ? end : out.rfind('\n', end) + 1;
        if (end != std::string::npos && out.compare(at, created.size(), created) == 0)
            run.archive = out.substr(at + created.size(), end - at - created.size());
        // The clock runs on from the given time (Wine needs it running), so only the
        // seconds may differ from it.
        std::string stamp = localTime.substr(0, 4) + localTime.substr(5, 2) +
                            localTime.substr(8, 2) + "_" + localTime.substr(11, 2) +
                            localTime.substr(14, 2);
        EXPECT_EQ(run.archive.substr(0, 20), "ARCHIV_" + stamp) << run.result.out;
        return run;
    }

    // The whole console output of a run with a one-file source, a target of one-file
    // archive folders and no error file.
    std::string expectedOutput(const Run& run, const Expected& e) const {
        std::string out = "\nVAULTIX.EXE V2.0\n";
        for (const std::string& name : e.rotated)
            out += "Archivordner " + inTarget(name) + " geloescht\n";
        out += "Archivordner " + inTarget(run.archive) + " neu erstellt\n";
        out += "Kopieren gestartet ...\n";
        out += "pruefe " + upper(programPath(source)) + " ...\n";
        out += programPath(source) + programSeparator() + "daten.txt\n";
        int files = 1;
        if (!e.folder.empty()) {
            const char* removal = e.folder == "MONATE" ? "Monats-Archivordner " : "Wochen-Archivordner ";
            for (const std::string& name : e.pruned)
                out += removal + inTarget(e.folder + "/" + name) + " geloescht\n";
            const char* copy = e.folder == "JAHRE"    ? "Jahressicherung von "
                               : e.folder == "MONATE" ? "Monatssicherung von "
                                                      : "Wochensicherung von ";
            std::string destination = inTarget(e.folder + "/" + e.copied);
            out += copy + destination + "\n";
            out += destination + " ... Verzeichnis neu erstellt\n";
            out += "pruefe " + upper(inTarget(e.copied)) + " ...\n";
            out += inTarget(e.copied + "/daten.txt") + "\n";
            ++files;
        }
        out += "\n\nKontrollierte Verzeichnisse : 0\n";
        out += "Kontrollierte Dateien       : " + std::to_string(files) + "\n\n";
        out += "   ... " + std::to_string(files) + " Dateien kopiert\n";
        out += "   ... 0 Dateien konnten nicht kopiert werden\n\n";
        out += lastLine(run.archive);
        return out;
    }

    std::string copyContent(const std::string& folder, const std::string& name) const {
        return readFile(joinNative(target, folder + "/" + name + "/daten.txt"));
    }
};

// Fifteen evenings at 23:00 from Monday 25 June 2007: the Sunday run of 1 July copies
// Saturday's backup, the last of June, into MONATE; the Monday runs copy Sunday's backup
// into WOCHEN; the other runs copy nothing. From the eleventh run on the rotation keeps
// ten archive folders.
TEST_P(ClassicRuns, DailyRunsAt23KeepTheWeeksAndTheMonth) {
    std::vector<Run> runs;
    for (int day = 0; day < 15; ++day) {
        int d = 25 + day;
        std::string date = d <= 30 ? "2007-06-" + std::to_string(d)
                                   : "2007-07-0" + std::to_string(d - 30);
        SCOPED_TRACE(date);
        Expected e;
        if (day >= 10) e.rotated = {runs[day - 10].archive};
        if (date == "2007-07-01") e = {e.rotated, "MONATE", runs.back().archive, {}};
        if (date == "2007-07-02" || date == "2007-07-09")
            e = {e.rotated, "WOCHEN", runs.back().archive, {}};
        Run run = runAt(date + " 23:00:00");
        EXPECT_EQ(run.result.out, expectedOutput(run, e));
        runs.push_back(run);
    }
    std::vector<std::string> kept;
    for (int day = 5; day < 15; ++day) kept.push_back(runs[day].archive);
    kept.push_back("MONATE");
    kept.push_back("WOCHEN");
    EXPECT_EQ(subfolders(target), sorted(kept));
    EXPECT_EQ(subfolders(joinNative(target, "MONATE")), std::vector<std::string>{runs[5].archive});
    EXPECT_EQ(subfolders(joinNative(target, "WOCHEN")),
              sorted({runs[6].archive, runs[13].archive}));
    EXPECT_EQ(copyContent("MONATE", runs[5].archive), "2007-06-30 23:00:00");
    EXPECT_EQ(copyContent("WOCHEN", runs[6].archive), "2007-07-01 23:00:00");
    EXPECT_EQ(copyContent("WOCHEN", runs[13].archive), "2007-07-08 23:00:00");
    EXPECT_FALSE(exists(joinNative(target, "JAHRE")));
}

// Two runs on a fresh target: which copy the second run makes of the first run's backup.
TEST_P(ClassicRuns, TheSecondOfTwoRunsRetainsTheFirstAsItsDatesSay) {
    struct Case {
        const char* label;
        const char* first;
        const char* second;
        std::vector<std::string> options;
        const char* folder;
    };
    const Case cases[] = {
        {"Sunday 1 July 02:00 counts for 30 June", "2007-07-01 02:00:00", "2007-07-02 02:00:00",
         {}, "MONATE"},
        {"new year at 07:00", "2007-12-31 23:00:00", "2008-01-01 07:00:00", {}, "JAHRE"},
        {"new year at 05:00 still counts for 31 December", "2007-12-31 23:00:00",
         "2008-01-01 05:00:00", {}, ""},
        {"fiscal year from July: 30 June to 1 July", "2007-06-30 12:00:00",
         "2007-07-01 12:00:00", {"/W=7"}, "JAHRE"},
        {"fiscal year from July: 31 July to 1 August", "2007-07-31 12:00:00",
         "2007-08-01 12:00:00", {"/W=7"}, "MONATE"},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        target = work / ("ziel" + std::to_string(index++));
        Run first = runAt(c.first, c.options);
        EXPECT_EQ(first.result.out, expectedOutput(first, {}));
        Run second = runAt(c.second, c.options);
        Expected e;
        if (*c.folder) e = {{}, c.folder, first.archive, {}};
        EXPECT_EQ(second.result.out, expectedOutput(second, e));

        std::vector<std::string> folders = {first.archive, second.archive};
        if (*c.folder) folders.push_back(c.folder);
        EXPECT_EQ(subfolders(target), sorted(folders));
        if (*c.folder) {
            EXPECT_EQ(subfolders(joinNative(target, c.folder)),
                      std::vector<std::string>{first.archive});
            EXPECT_EQ(copyContent(c.folder, first.archive), c.first);
        }
    }
}

// A full MONATE or WOCHEN loses its oldest archive folders before the copy; other
// folders stay, and the limit holds after it.
TEST_P(ClassicRuns, AFullMonateOrWochenLosesItsOldestCopiesFirst) {
    struct Case {
        const char* folder;
        const char* first;   // the previous backup
        const char* second;  // the run that copies it into folder
        int present;
        int removed;
    };
    const Case cases[] = {
        {"MONATE", "2007-06-30 23:00:00", "2007-07-01 23:00:00", 12, 1},
        {"MONATE", "2007-06-30 23:00:00", "2007-07-01 23:00:00", 14, 3},
        {"WOCHEN", "2007-06-24 23:00:00", "2007-06-25 23:00:00", 5, 1},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " with " + std::to_string(c.present));
        target = work / ("ziel" + std::to_string(index++));
        Run first = runAt(c.first);
        std::vector<std::string> copies;
        for (int i = 0; i < c.present; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "ARCHIV_2006%02i01_230000", i % 12 + 1);
            if (i >= 12) std::snprintf(name, sizeof name, "ARCHIV_2007%02i01_230000", i - 11);
            copies.push_back(name);
            seed(std::string(c.folder) + "/" + name);
        }
        makeDirs(joinNative(target, std::string(c.folder) + "/Alt"));
        copies = sorted(copies);
        const std::string errorFile = work / ("fehler" + std::to_string(index) + ".txt");
        Run second = runAt(c.second, {option("/E=", errorFile)});
        std::vector<std::string> pruned(copies.begin(), copies.begin() + c.removed);
        EXPECT_EQ(withoutEndSeconds(second.result.out),
                  withoutEndSeconds(expectedOutput(second, {{}, c.folder, first.archive, pruned})));
        // The scheme's own lines stay on the console.
        std::string log = e2e::readProgramText(errorFile);
        EXPECT_EQ(log.find("-Archivordner"), std::string::npos) << log;
        EXPECT_EQ(log.find("sicherung von"), std::string::npos) << log;
        EXPECT_NE(log.find("Ende der Datensicherung"), std::string::npos) << log;
        std::vector<std::string> after(copies.begin() + c.removed, copies.end());
        after.push_back(first.archive);
        after.push_back("Alt");
        EXPECT_EQ(subfolders(joinNative(target, c.folder)), sorted(after));
        EXPECT_EQ(copyContent(c.folder, first.archive), c.first);
    }
}

// A previous backup that already has a copy gets none more, and nothing is removed for it.
TEST_P(ClassicRuns, ARetainedPreviousBackupGetsNoFurtherCopy) {
    Run sunday = runAt("2007-06-24 23:00:00");
    std::vector<std::string> weeks;
    for (const char* day : {"03", "10", "17"})
        weeks.push_back(std::string("ARCHIV_200706") + day + "_230000");
    weeks.push_back("ARCHIV_20070527_230000");
    weeks.push_back(sunday.archive);
    for (const std::string& name : weeks) seed("WOCHEN/" + name);
    Run monday = runAt("2007-06-25 23:00:00");
    EXPECT_EQ(monday.result.out, expectedOutput(monday, {}));
    EXPECT_EQ(subfolders(joinNative(target, "WOCHEN")), sorted(weeks));
    EXPECT_EQ(copyContent("WOCHEN", sunday.archive), "WOCHEN/" + sunday.archive)
        << "the retained copy is left as it was";
}

// An archive folder without a date in its name, as the only one, goes to JAHRE.
TEST_P(ClassicRuns, AnUndatedOnlyArchiveFolderGoesToJahre) {
    seed("ARCHIV_ALT");
    Run run = runAt("2007-06-13 12:00:00");
    EXPECT_EQ(run.archive.substr(run.archive.size() - 2), "_S") << "ARCHIV_ALT carries no mark";
    EXPECT_EQ(run.result.out, expectedOutput(run, {{}, "JAHRE", "ARCHIV_ALT", {}}));
    EXPECT_EQ(subfolders(target), sorted({"ARCHIV_ALT", run.archive, "JAHRE"}));
    EXPECT_EQ(copyContent("JAHRE", "ARCHIV_ALT"), "ARCHIV_ALT");
}

// Without archive folders there is nothing to retain; the run's own backup waits for
// the next run.
TEST_P(ClassicRuns, ATargetWithoutArchiveFoldersGetsNoCopy) {
    makeDirs(joinNative(target, "Dokumente"));
    Run run = runAt("2008-01-01 07:00:00");
    EXPECT_EQ(run.result.out, expectedOutput(run, {}));
    EXPECT_EQ(subfolders(target), sorted({"Dokumente", run.archive}));
}

// "/K" keeps at least ten archive folders and switches "/S" off: the marked oldest
// folder goes without a copy into SICHER. The scheme's lines stay out of the error file.
TEST_P(ClassicRuns, ClassicSchemeRaisesTheLimitAndSwitchesPermanentCopiesOff) {
    std::vector<std::string> seeded;
    for (int day = 1; day <= 10; ++day) {
        seeded.push_back("ARCHIV_200706" + std::string(day < 10 ? "0" : "") +
                         std::to_string(day) + "_230000" + (day == 1 ? "_S" : ""));
        seed(seeded.back());
    }
    const std::string errorFile = work / "fehler.txt";
    Run run = runAt("2007-06-11 23:00:00", {"/Z=3", "/S", option("/E=", errorFile)});
    EXPECT_EQ(run.archive.substr(run.archive.size() - 2), "_S")
        << "the mark moves on from the removed folder";
    EXPECT_EQ(withoutEndSeconds(run.result.out),
              withoutEndSeconds(expectedOutput(run, {{seeded[0]}, "WOCHEN", seeded[9], {}})));
    std::vector<std::string> kept(seeded.begin() + 1, seeded.end());
    kept.push_back(run.archive);
    kept.push_back("WOCHEN");
    EXPECT_EQ(subfolders(target), sorted(kept));

    std::string log = e2e::readProgramText(errorFile);
    EXPECT_NE(log.find("Archivordner " + inTarget(seeded[0]) + " geloescht\n"), std::string::npos)
        << log;
    EXPECT_EQ(log.find("sicherung von"), std::string::npos) << log;
}

VAULTIX_E2E_FLAVOURS(ClassicRuns);

}  // namespace
