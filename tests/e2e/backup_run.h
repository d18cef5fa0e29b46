// Whole backup runs on real trees: the program started on a held clock, and the texts
// it must write, built from the paths it sees and the local time it was started at.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "e2e/runner.h"
#include "support/tempdir.h"

namespace backup {

inline std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Local times are written "YYYY-MM-DD hh:mm:ss", as faketime takes them.
inline int field(const std::string& local, size_t at, size_t length) {
    return std::stoi(local.substr(at, length));
}

inline std::string dateTimeText(const std::string& local) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d  %s", field(local, 8, 2),
                  field(local, 5, 2), field(local, 0, 4), local.substr(11).c_str());
    return text;
}

inline std::string archiveName(const std::string& local, bool marked) {
    std::string date = local.substr(0, 4) + local.substr(5, 2) + local.substr(8, 2);
    std::string time = local.substr(11, 2) + local.substr(14, 2) + local.substr(17, 2);
    return "ARCHIV_" + date + "_" + time + (marked ? "_S" : "");
}

// 0 for Monday; the last line counts a run before 6:00 to the day before.
inline int weekdayIndex(const std::string& local) {
    using namespace std::chrono;
    sys_days day = year{field(local, 0, 4)} / month{unsigned(field(local, 5, 2))} /
                   std::chrono::day{unsigned(field(local, 8, 2))};
    if (field(local, 11, 2) < 6) day -= days{1};
    return static_cast<int>((weekday{day}.c_encoding() + 6) % 7);
}

struct Counts {
    int folders = 0, files = 0, copied = 0, failed = 0;
};

inline std::string countLines(const Counts& c) {
    return "Kontrollierte Verzeichnisse : " + std::to_string(c.folders) + "\n" +
           "Kontrollierte Dateien       : " + std::to_string(c.files) + "\n\n" +
           "   ... " + std::to_string(c.copied) + " Dateien kopiert\n" +
           "   ... " + std::to_string(c.failed) + " Dateien konnten nicht kopiert werden\n\n";
}

inline const std::string kBanner = "\nVAULTIX.EXE V2.0\n";

// From the summary to the end of the console output.
inline std::string consoleEnd(const Counts& c, const std::string& local) {
    return "\n\n" + countLines(c) + "\n" + std::to_string(weekdayIndex(local)) + " " +
           dateTimeText(local) + "\n\n";
}

inline std::string errorFileHeader(const std::vector<std::string>& typed, const std::string& local) {
    std::string text = "\n\n------------------------------\nVAULTIX.EXE V2.0\n[vaultix";
    for (const std::string& a : typed) text += " " + a;
    return text + "]\n\nAnfang der Datensicherung : " + dateTimeText(local) + "\n\n";
}

inline std::string errorFileClosing(const Counts& c, const std::string& local) {
    return "\n\nEnde der Datensicherung : " + dateTimeText(local) + "\n\n" + countLines(c);
}

// What one tree copy writes: its console lines, and the lines the error file gets
// (the detailed ones only with "/F=").
struct Lines {
    std::string console, errors, detailed;
    Lines& operator+=(const Lines& more) {
        console += more.console;
        errors += more.errors;
        detailed += more.detailed;
        return *this;
    }
    std::string file(bool detailedLog) const { return detailedLog ? detailed : errors; }
};

class BackupRun : public e2e::E2ETest {
protected:
    TempDir work;

    // A path under the test's folder as the program sees it.
    std::string at(const std::string& rel) const { return programPath(work / rel); }
    std::string host(const std::string& rel) const { return work / rel; }
    std::string in(const std::string& programFolder, const std::string& rel) const {
        std::string r = rel;
        for (char& c : r)
            if (c == '/') c = programSeparator();
        return programFolder + programSeparator() + r;
    }

    // The tree every source holds here: one file on top and one in a subfolder, so the
    // order of the lines does not hang on the order of a listing.
    void makeTree(const std::string& rel) {
        writeFile(host(rel + "/a.txt"), "A of " + rel);
        writeFile(host(rel + "/sub/b.txt"), "B of " + rel);
    }
    bool holdsTree(const std::string& copyRel, const std::string& ofRel) const {
        return exists(host(copyRel + "/a.txt")) &&
               readFile(host(copyRel + "/a.txt")) == "A of " + ofRel &&
               readFile(host(copyRel + "/sub/b.txt")) == "B of " + ofRel;
    }

    // The lines of copying such a tree (program paths) into a destination where nothing
    // of it is yet.
    Lines treeCopy(const std::string& source, const std::string& destination,
                   bool destinationNew) const {
        Lines l;
        auto newFolder = [&](const std::string& folder) {
            l.console += folder + " ... Verzeichnis neu erstellt\n";
            l.detailed += folder + " ... Verzeichnis neu erstellt\n";
        };
        auto copied = [&](const std::string& file) {
            l.console += file + "\n";
            l.detailed += file + " ... erfolgreich kopiert\n";
        };
        if (destinationNew) newFolder(destination);
        l.console += "pruefe " + upper(source) + " ...\n";
        copied(in(source, "a.txt"));
        newFolder(in(destination, "sub"));
        l.console += "pruefe " + upper(in(source, "sub")) + " ...\n";
        copied(in(source, "sub/b.txt"));
        return l;
    }

    // Runs the program on a clock that stands at the given local time, in a zone with
    // daylight saving. Wine's server is left on the real clock: with a clock that stands
    // its timers would never fire.
    e2e::ProcessResult runAt(const std::string& local, const std::vector<std::string>& args,
                             std::optional<std::string> stdinBytes = std::nullopt) {
        e2e::RunExtras extras;
        extras.workingFolder = work.path();
        extras.commandPrefix = {"faketime", "-f", local};
        extras.environment = {{"TZ", "Europe/Berlin"},
                              {"FAKETIME_SKIP_CMDS", "wineserver64,wineserver"},
                              {"FAKETIME_DONT_FAKE_MONOTONIC", "1"}};
        return run(args, std::move(stdinBytes), extras);
    }
};

}  // namespace backup
