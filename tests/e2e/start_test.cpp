// The program's first step: the usage text, the banner, and command lines it refuses.
#include <filesystem>
#include <string>

#include "e2e/runner.h"
#include "support/tempdir.h"

namespace {

const char* const kUsage =
    "\n"
    "VAULTIX.EXE V2.0\n"
    "\n"
    "Programmaufruf : vaultix.exe <Quellpfad> <Zielpfad> [Parameter (optional)]\n"
    "\n"
    "          'vaultix.exe' kopiert alle Dateien (*.*) mit allen\n"
    "          Unterverzeichnissen (auch leere)\n"
    "          vom Quellpfad in den Zielpfad (+Archivordner).\n"
    "\n"
    "          Es werden auch schreibgeschuetzte und versteckte\n"
    "          Dateien, sowie Systemdateien ohne weitere Nachfrage\n"
    "          kopiert.\n"
    "\n"
    "          [Parameter (optional)]\n"
    "          /E=<Fehler-Datei>\n"
    "               Fehler-Datei ... Dateiname oder Pfad\n"
    "               Datei wird nicht ueberschrieben sondern angefuegt\n"
    "          /F=<Fehler-Datei>\n"
    "               Fehler-Datei ... Dateiname oder Pfad\n"
    "               Datei wird nicht ueberschrieben sondern angefuegt\n"
    "               Detaillierte Informationen in der Datei so wie am Bildschirm\n"
    "          /Z=<Anzahl der Archivordner>\n"
    "               Gibt die Maximalzahl der Archivordner an (Standard=3).\n"
    "               Am Zielpfad wird ein Ordner in der Form 'ARCHIV_YYYYMMTT_hhmmss'\n"
    "               erzeugt und zur Archivierung verwendet.\n"
    "               Wird die Maximalzahl der Archivordner ueberschritten,\n"
    "               dann wird der aelteste geloescht.\n"
    "          /Q=<Zusaetzlicher Quellpfad>\n"
    "               Sie koennen einen weiteren Quellpfad angeben, der im gleichen\n"
    "               Archivordner gesichert werden soll.\n"
    "               In diesem Fall werden die Ordner der Quellpfade als\n"
    "               Unterordner angelegt.\n"
    "               Wenn Sie mehr als 2 Quellpfade gemeinsam sichern wollen,\n"
    "               dann verwenden Sie /L.\n"
    "          /L=<Dateiname>\n"
    "               Name oder Pfad der ASCII-Datei, die untereinander alle\n"
    "               zu sichernde Quellpfade enthaelt.\n"
    "               In diesem Fall werden die Ordner der Quellpfade als\n"
    "               Unterordner angelegt.\n"
    "          /S   nicht in Kombination mit /K.\n"
    "               Jede x-te Sicherung wird zusaetzlich im Unterverzeichnis\n"
    "               'SICHER' abgespeichert und nicht mehr geloescht.\n"
    "               'x' ist die Anzahl der Archivordner, wie bei /Z angegeben\n"
    "               (oder Standard=3).\n"
    "          /K   Klassisches Archivschema.\n"
    "               Die Anzahl der Archivordner (/Z) wird mindestens auf 10 gesetzt.\n"
    "               Die letzten 5 Wochen (letzte Sicherung der Woche) werden\n"
    "               zusaetzlich im Unterverzeichnis 'WOCHEN' gesichert.\n"
    "               Die letzten 12 Monate (letzte Sicherung im Monat) werden\n"
    "               zusaetzlich im Unterverzeichnis 'MONATE' gesichert.\n"
    "               Jedes Jahr (letzte Sicherung im Jahr) wird zusaetzlich\n"
    "               im Unterverzeichnis 'JAHRE' gesichert.\n"
    "               Datensicherungen zwischen 0:00 und 6:00 werden zum Vortag\n"
    "               gezaehlt (Fuer naechtliche Sicherungen nach Mitternacht).\n"
    "               Zusaetzliche Sicherungen (Woche, Monat, Jahr) werden erst\n"
    "               bei der darauffolgenden Datensicherung kopiert.\n"
    "          /W=<Monat> nur in Kombination mit /K\n"
    "               Bei einem abweichenden Wirtschaftsjahr wird hier das erste Monat\n"
    "               des Wirtschaftsjahres angegeben.\n"
    "               Die Jahressicherung nach dem klassischen Archivschema ist jetzt\n"
    "               die letzte Sicherung im Wirtschaftsjahr.\n"
    "          /X   ohne abschliessende Eingabeaufforderung.\n";

bool isEmptyFolder(const std::string& path) {
    return std::filesystem::is_empty(std::filesystem::path(path));
}

class StartTest : public e2e::E2ETest {
protected:
    TempDir work;  // the program's current folder
    e2e::RunExtras inWork() const {
        e2e::RunExtras extras;
        extras.workingFolder = work.path();
        return extras;
    }
};

TEST_P(StartTest, TooShortCommandLineShowsUsageReadsOneKeyAndTouchesNothing) {
    const std::vector<std::vector<std::string>> commandLines = {{}, {"quelle"}};
    for (const auto& args : commandLines) {
        SCOPED_TRACE(args.empty() ? "no argument" : "one argument");
        e2e::ProcessResult r = run(args, std::string("kq"), inWork());
        EXPECT_EQ(r.out, kUsage);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.stdinConsumed, 1) << "exactly one key is read";
        EXPECT_TRUE(isEmptyFolder(work.path()));
    }
}

TEST_P(StartTest, UsageEndsWithoutStandardInput) {
    e2e::ProcessResult r = run({}, std::nullopt, inWork());
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(isEmptyFolder(work.path()));
}

TEST_P(StartTest, OverlongSourceIsSkippedWithALineAndTheRunGoesOn) {
    const std::string source = work / "Daten";
    const std::string tooLong = work / std::string(300, 'q');
    const std::string target = work / "Sicherung";
    e2e::ProcessResult r = run({programPath(source), programPath(target),
                                option("/Q=", tooLong), "/X"},
                               std::nullopt, inWork());
    EXPECT_EQ(r.out.rfind("\nVAULTIX.EXE V2.0\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\nQuellpfad " + programPath(tooLong) +
                         " ... FEHLER (Pfad zu lang, wird nicht gesichert)\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.exitCode, 0);
}

TEST_P(StartTest, OverlongTargetEndsTheRunBeforeAnythingIsTouched) {
    const std::string source = work / "Daten";
    makeDirs(source);
    const std::string target = work / std::string(300, 'z');
    const std::string errorFile = work / "fehler.txt";
    e2e::ProcessResult r = run({programPath(source), programPath(target), "/X",
                                option("/E=", errorFile)},
                               std::nullopt, inWork());
    const std::string line =
        "Zielpfad " + programPath(target) + " ... FEHLER (Pfad zu lang, Datensicherung abgebrochen)\n";
    EXPECT_EQ(r.out, "\nVAULTIX.EXE V2.0\n" + line);
    EXPECT_EQ(r.exitCode, 1) << "a scheduler must see that nothing was backed up";
    EXPECT_NE(e2e::readProgramText(errorFile).find(line), std::string::npos);
    EXPECT_FALSE(exists(target));
}

TEST_P(StartTest, SourceWithNothingLeftAfterItsTailIsRefusedNotTakenAsTheCurrentFolder) {
    // The current folder holds a file that must not end up in any archive.
    writeFile(work / "fremd.txt", "x");
    const std::string target = work / "Sicherung";
    for (const std::string& source : {std::string(""), std::string("\\*.*")}) {
        e2e::ProcessResult r = run({source, programPath(target), "/X"}, std::nullopt, inWork());
        EXPECT_EQ(r.out, "\nVAULTIX.EXE V2.0\nQuellpfad " + source +
                             " ... FEHLER (kein gueltiger Pfad, wird nicht gesichert)\n"
                             "Kein Quellpfad ... FEHLER (Datensicherung abgebrochen)\n");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_FALSE(exists(target));
    }
}

VAULTIX_E2E_FLAVOURS(StartTest);

}  // namespace
