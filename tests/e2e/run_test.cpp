// Whole runs: the console output and the error file byte for byte, the folders they
// leave, the sources in subfolders, the key at the end and the exit code.
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/backup_run.h"

namespace {

using backup::archiveName;
using backup::Counts;
using backup::kBanner;
using backup::Lines;

const std::string kStart = "2007-06-27 14:05:33";

class RunTest : public backup::BackupRun {};

// The target and its parent are missing, and the target is typed with a trailing
// separator: the header shows it as typed, every other line without it.
TEST_P(RunTest, FirstRunCreatesTheTargetAndReportsEveryStep) {
    makeTree("daten");
    const std::string target = at("neu/ziel");
    const std::vector<std::string> args = {at("daten"), target + programSeparator(),
                                           option("/E=", host("fehler.txt")), "/X"};
    e2e::ProcessResult r = runAt(kStart, args);

    const std::string archive = in(target, archiveName(kStart, true));
    Lines copy = treeCopy(at("daten"), archive, false);
    const Counts counts{1, 2, 2, 0};
    EXPECT_EQ(r.out, kBanner + "Archivordner " + archive + " neu erstellt\n" +
                         "Kopieren gestartet ...\n" + copy.console +
                         backup::consoleEnd(counts, kStart));
    EXPECT_EQ(e2e::readProgramText(host("fehler.txt")),
              backup::errorFileHeader(args, kStart) + "Archivordner " + archive +
                  " neu erstellt\n" + backup::errorFileClosing(counts, kStart));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(holdsTree("neu/ziel/" + archiveName(kStart, true), "daten"));
}

// Without "/X" one key is read, and only one; with it none. CI has no input at all:
// the run must end all the same.
TEST_P(RunTest, KeyAtTheEndIsReadUnlessX) {
    struct Case {
        const char* name;
        bool withX;
        std::optional<std::string> input;
        long consumed;
    };
    const Case cases[] = {
        {"key waiting", false, std::string("kx"), 1},
        {"no input", false, std::nullopt, 0},
        {"with /X", true, std::string("kx"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeTree("daten");
        removeAll(host("ziel"));
        std::vector<std::string> args = {at("daten"), at("ziel")};
        if (c.withX) args.push_back("/X");
        e2e::ProcessResult r = runAt(kStart, args, c.input);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.stdinConsumed, c.consumed);
        EXPECT_TRUE(r.out.ends_with(backup::consoleEnd({1, 2, 2, 0}, kStart))) << r.out;
    }
}

// "/E=" and "/F=" differ only in the success and new-folder lines; both files are
// appended to, run after run, behind what they held before.
TEST_P(RunTest, ErrorsOnlyAgainstDetailedAppendedOverTwoRuns) {
    makeTree("daten");
    const std::string runs[] = {"2007-06-27 14:05:33", "2007-06-28 09:00:00"};
    for (bool detailed : {false, true}) {
        SCOPED_TRACE(detailed ? "/F=" : "/E=");
        const std::string rel = detailed ? "detail" : "fehler";
        writeFile(host(rel + ".txt"), "alte Zeile\n");
        const std::string target = at(rel);
        std::string expected = "alte Zeile\n";
        for (size_t i = 0; i < 2; ++i) {
            const std::vector<std::string> args = {
                at("daten"), target, option(detailed ? "/F=" : "/E=", host(rel + ".txt")), "/X"};
            e2e::ProcessResult r = runAt(runs[i], args);
            EXPECT_EQ(r.exitCode, 0);
            const std::string archive = in(target, archiveName(runs[i], i == 0));
            expected += backup::errorFileHeader(args, runs[i]) + "Archivordner " + archive +
                        " neu erstellt\n" +
                        treeCopy(at("daten"), archive, false).file(detailed) +
                        backup::errorFileClosing({1, 2, 2, 0}, runs[i]);
        }
        EXPECT_EQ(e2e::readProgramText(host(rel + ".txt")), expected);
    }
}

// With "/Q=" and "/L=" every source, the first one included, gets its own subfolder
// named by its last component; a missing source is reported and the others are copied.
TEST_P(RunTest, SeveralSourcesGoIntoSubfoldersAndAMissingOneIsReported) {
    for (const char* s : {"eins", "quellen/zwei", "drei"}) makeTree(s);
    writeFile(host("liste.txt"),
              at("drei") + programSeparator() + "\n\n" + at("fehlt") + "\n");
    const std::vector<std::string> args = {at("eins"), at("ziel"),
                                           option("/Q=", host("quellen/zwei")),
                                           option("/L=", host("liste.txt")),
                                           option("/E=", host("fehler.txt")), "/X"};
    e2e::ProcessResult r = runAt(kStart, args);

    const std::string archive = in(at("ziel"), archiveName(kStart, true));
    Lines copies = treeCopy(at("eins"), in(archive, "eins"), true);
    copies += treeCopy(at("quellen/zwei"), in(archive, "zwei"), true);
    copies += treeCopy(at("drei"), in(archive, "drei"), true);
    const std::string missing = "Quellpfad " + at("fehlt") + " ... FEHLER (nicht gefunden)\n";
    const Counts counts{3, 6, 6, 0};
    EXPECT_EQ(r.out, kBanner + "Archivordner " + archive + " neu erstellt\n" +
                         "Kopieren gestartet ...\n" + copies.console + missing +
                         in(archive, "fehlt") + " ... Verzeichnis neu erstellt\n" + "pruefe " +
                         backup::upper(at("fehlt")) + " ...\n" +
                         backup::consoleEnd(counts, kStart));
    EXPECT_EQ(e2e::readProgramText(host("fehler.txt")),
              backup::errorFileHeader(args, kStart) + "Archivordner " + archive +
                  " neu erstellt\n" + missing + backup::errorFileClosing(counts, kStart));
    const std::string archiveRel = "ziel/" + archiveName(kStart, true);
    EXPECT_TRUE(holdsTree(archiveRel + "/eins", "eins"));
    EXPECT_TRUE(holdsTree(archiveRel + "/zwei", "quellen/zwei"));
    EXPECT_TRUE(holdsTree(archiveRel + "/drei", "drei"));
    EXPECT_EQ(r.exitCode, 0);
}

// Folders stand where the files should go, in an archive folder of the same second
// that the run takes over: nothing can be copied, and the run still ends with 0.
TEST_P(RunTest, RunInWhichNoFileCanBeCopiedEndsWithZeroAndCountsTheFailures) {
    makeTree("daten");
    makeDirs(host("ziel/" + archiveName(kStart, true)));  // the mark is taken: no "_S"
    const std::string archiveRel = "ziel/" + archiveName(kStart, false);
    makeDirs(host(archiveRel + "/a.txt"));
    makeDirs(host(archiveRel + "/sub/b.txt"));
    const std::vector<std::string> args = {at("daten"), at("ziel"),
                                           option("/E=", host("fehler.txt")), "/X"};
    e2e::ProcessResult r = runAt(kStart, args);

    const std::string archive = at(archiveRel);
    const std::string failures = at("daten/a.txt") + " ... FEHLER (nicht kopiert)\n" +
                                 at("daten/sub/b.txt") + " ... FEHLER (nicht kopiert)\n";
    const Counts counts{1, 2, 0, 2};
    EXPECT_EQ(r.out, kBanner + "Archivordner " + archive + " neu erstellt\n" +
                         "Kopieren gestartet ...\n" + "pruefe " + backup::upper(at("daten")) +
                         " ...\n" + at("daten/a.txt") + " ... FEHLER\n" + "pruefe " +
                         backup::upper(at("daten/sub")) + " ...\n" + at("daten/sub/b.txt") +
                         " ... FEHLER\n" + backup::consoleEnd(counts, kStart));
    EXPECT_EQ(e2e::readProgramText(host("fehler.txt")),
              backup::errorFileHeader(args, kStart) + "Archivordner " + archive +
                  " neu erstellt\n" + failures + backup::errorFileClosing(counts, kStart));
    EXPECT_EQ(r.exitCode, 0);
}

VAULTIX_E2E_FLAVOURS(RunTest);

}  // namespace
