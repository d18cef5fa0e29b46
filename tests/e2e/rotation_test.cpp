// Rotation over real runs: the oldest archive folders removed, the permanent mark moving
// through them, the copies into SICHER, and a permanent copy that failed.
#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "e2e/backup_run.h"

namespace {

using backup::archiveName;
using backup::Counts;
using backup::kBanner;
using backup::Lines;

class RotationTest : public backup::BackupRun {
protected:
    // The folder names directly under a folder of the test.
    std::set<std::string> folders(const std::string& rel) const {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(host(rel)))
            if (e.is_directory()) names.insert(e.path().filename().string());
        return names;
    }
    // The path under which the program opens a picked archive folder: Windows by the
    // upper-cased name, POSIX by the name the listing delivered.
    std::string picked(const std::string& listedRel) const {
        if (!isWine()) return at(listedRel);
        std::string folder = listedRel.substr(0, listedRel.rfind('/'));
        return in(at(folder), backup::upper(listedRel.substr(listedRel.rfind('/') + 1)));
    }
    std::string removed(const std::string& name) const {
        return "Archivordner " + in(at("ziel"), name) + " geloescht\n";
    }
    std::string created(const std::string& local, bool marked) const {
        return "Archivordner " + in(at("ziel"), archiveName(local, marked)) + " neu erstellt\n";
    }
    std::string permanent(const std::string& name) const {
        return "Archivordner " + in(at("ziel/SICHER"), name) + " wird dauerhaft gesichert\n";
    }
    // Console from "Kopieren gestartet" to the end, for the one source "daten".
    std::string copyAndEnd(const std::string& local, bool marked) const {
        return "Kopieren gestartet ...\n" +
               treeCopy(at("daten"), in(at("ziel"), archiveName(local, marked)), false).console +
               backup::consoleEnd({1, 2, 2, 0}, local);
    }
};

std::string day(int d) { return "2007-06-" + std::to_string(d) + " 14:05:33"; }

// Default limit 3: run 4 removes run 1; runs 1 and 4 carry the mark. The error file gets
// the removal and new-folder lines, never the "dauerhaft gesichert" one.
TEST_P(RotationTest, FourRunsWithTheDefaultLimit) {
    makeTree("daten");
    std::string expectedFile;
    for (int run = 1; run <= 4; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const std::string now = day(24 + run);
        const bool marked = run == 1 || run == 4;
        const std::vector<std::string> args = {at("daten"), at("ziel"),
                                               option("/E=", host("fehler.txt")), "/X"};
        e2e::ProcessResult r = runAt(now, args);
        const std::string removal = run == 4 ? removed(archiveName(day(25), true)) : "";
        EXPECT_EQ(r.out, kBanner + removal + created(now, marked) + copyAndEnd(now, marked));
        expectedFile += backup::errorFileHeader(args, now) + removal + created(now, marked) +
                        backup::errorFileClosing({1, 2, 2, 0}, now);
    }
    EXPECT_EQ(folders("ziel"), (std::set<std::string>{archiveName(day(26), false),
                                                      archiveName(day(27), false),
                                                      archiveName(day(28), true)}));
    EXPECT_EQ(e2e::readProgramText(host("fehler.txt")), expectedFile);
}

// "/S" with "/Z=2": a lower-case marked folder found in the target goes to SICHER under
// its upper-cased name, then every second run's folder follows; the copies into SICHER
// do not show in the summary.
TEST_P(RotationTest, PermanentCopiesFillSicherOverSeveralRuns) {
    makeTree("daten");
    const std::string old = "archiv_20070101_120000_s";
    const std::string oldUpper = backup::upper(old);
    makeTree("ziel/" + old);
    std::string out[5];
    for (int run = 1; run <= 4; ++run) {
        e2e::ProcessResult r = runAt(day(24 + run), {at("daten"), at("ziel"), "/S", "/Z=2", "/X"});
        EXPECT_EQ(r.exitCode, 0);
        out[run] = r.out;
    }
    const std::string sicher = at("ziel/SICHER");
    EXPECT_EQ(out[1], kBanner + created(day(25), false) + copyAndEnd(day(25), false));
    EXPECT_EQ(out[2], kBanner + permanent(oldUpper) +
                          treeCopy(picked("ziel/" + old), in(sicher, oldUpper), true).console +
                          removed(oldUpper) + created(day(26), true) + copyAndEnd(day(26), true));
    EXPECT_EQ(out[3], kBanner + removed(archiveName(day(25), false)) + created(day(27), false) +
                          copyAndEnd(day(27), false));
    const std::string second = archiveName(day(26), true);
    EXPECT_EQ(out[4], kBanner + permanent(second) +
                          treeCopy(at("ziel/" + second), in(sicher, second), true).console +
                          removed(second) + created(day(28), true) + copyAndEnd(day(28), true));

    EXPECT_EQ(folders("ziel/SICHER"), (std::set<std::string>{oldUpper, second}));
    EXPECT_TRUE(holdsTree("ziel/SICHER/" + oldUpper, "ziel/" + old));
    EXPECT_TRUE(holdsTree("ziel/SICHER/" + second, "daten"));
    EXPECT_EQ(folders("ziel"), (std::set<std::string>{"SICHER", archiveName(day(27), false),
                                                      archiveName(day(28), true)}));
}

// "/Z=1": every folder found goes, the marked one through SICHER, and the new one is
// marked.
TEST_P(RotationTest, LimitOneRemovesEveryArchiveFolder) {
    makeTree("daten");
    makeDirs(host("ziel/ARCHIV_20070101_120000_S"));
    makeDirs(host("ziel/ARCHIV_20070102_120000"));
    e2e::ProcessResult r = runAt(day(25), {at("daten"), at("ziel"), "/Z=1", "/S", "/X"});
    const std::string copy = in(at("ziel/SICHER"), "ARCHIV_20070101_120000_S");
    EXPECT_EQ(r.out, kBanner + permanent("ARCHIV_20070101_120000_S") + copy +
                         " ... Verzeichnis neu erstellt\npruefe " +
                         backup::upper(at("ziel/ARCHIV_20070101_120000_S")) + " ...\n" +
                         removed("ARCHIV_20070101_120000_S") + removed("ARCHIV_20070102_120000") +
                         created(day(25), true) + copyAndEnd(day(25), true));
    EXPECT_EQ(folders("ziel"), (std::set<std::string>{"SICHER", archiveName(day(25), true)}));
}

// Five archive folders in mixed case and limit 3: the three oldest by their upper-cased
// names go, oldest first; a file with an archive name and other folders are no archive
// folders. No mark is left, so the new folder carries it.
TEST_P(RotationTest, FiveArchiveFoldersWithLimitThree) {
    makeTree("daten");
    for (const char* name : {"ARCHIV_20070103_120000", "archiv_20070101_120000",
                             "Archiv_20070102_120000", "ARCHIV_ALT", "Archiv_Test", "Daten"})
        makeDirs(host(std::string("ziel/") + name));
    writeFile(host("ziel/ARCHIV_20070100_000000"), "eine Datei");
    e2e::ProcessResult r = runAt(day(25), {at("daten"), at("ziel"), "/X"});
    EXPECT_EQ(r.out, kBanner + removed("ARCHIV_20070101_120000") +
                         removed("ARCHIV_20070102_120000") + removed("ARCHIV_20070103_120000") +
                         created(day(25), true) + copyAndEnd(day(25), true));
    EXPECT_EQ(folders("ziel"), (std::set<std::string>{"ARCHIV_ALT", "Archiv_Test", "Daten",
                                                      archiveName(day(25), true)}));
    EXPECT_TRUE(exists(host("ziel/ARCHIV_20070100_000000")));
}

// Two marked folders: removing the older one leaves the other's mark, so the new folder
// carries none.
TEST_P(RotationTest, TwoMarkedFoldersKeepTheMarkFromTheNewOne) {
    makeTree("daten");
    for (const char* name : {"ARCHIV_20070101_120000_S", "ARCHIV_20070102_120000_S",
                             "ARCHIV_20070103_120000"})
        makeDirs(host(std::string("ziel/") + name));
    e2e::ProcessResult r = runAt(day(25), {at("daten"), at("ziel"), "/S", "/X"});
    EXPECT_EQ(r.out, kBanner + permanent("ARCHIV_20070101_120000_S") +
                         in(at("ziel/SICHER"), "ARCHIV_20070101_120000_S") +
                         " ... Verzeichnis neu erstellt\npruefe " +
                         backup::upper(at("ziel/ARCHIV_20070101_120000_S")) + " ...\n" +
                         removed("ARCHIV_20070101_120000_S") + created(day(25), false) +
                         copyAndEnd(day(25), false));
    EXPECT_EQ(folders("ziel"),
              (std::set<std::string>{"SICHER", "ARCHIV_20070102_120000_S",
                                     "ARCHIV_20070103_120000", archiveName(day(25), false)}));
}

// A marked folder whose copy into SICHER fails is its only original: it stays, with a
// line on the console and in the error file, and keeps its mark. Once the obstacle is
// gone the next run completes the copy and removes it.
TEST_P(RotationTest, FailedPermanentCopyKeepsTheFolderUntilACopyIsComplete) {
    makeTree("daten");
    const std::string marked = "ARCHIV_20070101_120000_S";
    makeTree("ziel/" + marked);
    makeDirs(host("ziel/ARCHIV_20070102_120000"));
    makeDirs(host("ziel/ARCHIV_20070103_120000"));
    makeDirs(host("ziel/SICHER/" + marked + "/a.txt"));  // stands where the file goes
    const std::vector<std::string> args = {at("daten"), at("ziel"), "/S",
                                           option("/E=", host("fehler.txt")), "/X"};
    const std::string source = at("ziel/" + marked);
    const std::string copy = in(at("ziel/SICHER"), marked);
    const std::string kept = "Archivordner " + source +
                             " ... FEHLER (dauerhafte Sicherung unvollstaendig, wird nicht "
                             "geloescht)\n";

    e2e::ProcessResult first = runAt(day(25), args);
    EXPECT_EQ(first.out, kBanner + permanent(marked) + "pruefe " + backup::upper(source) +
                             " ...\n" + in(source, "a.txt") + " ... FEHLER\n" +
                             in(copy, "sub") + " ... Verzeichnis neu erstellt\n" + "pruefe " +
                             backup::upper(in(source, "sub")) + " ...\n" +
                             in(source, "sub/b.txt") + "\n" + kept + created(day(25), false) +
                             copyAndEnd(day(25), false));
    std::string expectedFile = backup::errorFileHeader(args, day(25)) + in(source, "a.txt") +
                               " ... FEHLER (nicht kopiert)\n" + kept + created(day(25), false) +
                               backup::errorFileClosing({1, 2, 2, 0}, day(25));
    EXPECT_EQ(e2e::readProgramText(host("fehler.txt")), expectedFile);
    EXPECT_TRUE(holdsTree("ziel/" + marked, "ziel/" + marked));

    std::filesystem::remove(host("ziel/SICHER/" + marked + "/a.txt"));
    e2e::ProcessResult second = runAt(day(26), args);
    // Only the missing file is copied; the one already there is up to date.
    EXPECT_EQ(second.out, kBanner + permanent(marked) + "pruefe " + backup::upper(source) +
                              " ...\n" + in(source, "a.txt") + "\n" + "pruefe " +
                              backup::upper(in(source, "sub")) + " ...\n" + removed(marked) +
                              removed("ARCHIV_20070102_120000") + created(day(26), true) +
                              copyAndEnd(day(26), true));
    expectedFile += backup::errorFileHeader(args, day(26)) + removed(marked) +
                    removed("ARCHIV_20070102_120000") + created(day(26), true) +
                    backup::errorFileClosing({1, 2, 2, 0}, day(26));
    EXPECT_EQ(e2e::readProgramText(host("fehler.txt")), expectedFile);
    EXPECT_TRUE(holdsTree("ziel/SICHER/" + marked, "ziel/" + marked));
    EXPECT_EQ(folders("ziel"),
              (std::set<std::string>{"SICHER", "ARCHIV_20070103_120000",
                                     archiveName(day(25), false), archiveName(day(26), true)}));
}

VAULTIX_E2E_FLAVOURS(RotationTest);

}  // namespace
