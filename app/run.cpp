#include "app/run.h"

#include <vector>

#include "app/options.h"
#include "archive/classic.h"
#include "archive/rotation.h"
#include "copy/treecopy.h"
#include "fs/dirwalker.h"
#include "fs/paths.h"
#include "fs/report.h"
#include "platform/platform.h"
#include "time/calendar.h"
#include "time/timestamp.h"

namespace {

// The paths are used from here on only in their short form.
void normalisePaths(RunOptions& options) {
    stripPathTail(options.targetPath);
    std::vector<std::string> kept;
    for (std::string& source : options.sources) {
        std::string typed = source;
        stripPathTail(source);
        if (source.empty()) {
            // Nothing left of it would search the current folder instead.
            options.refusals.push_back(formatText(
                "Quellpfad %s ... FEHLER (kein gueltiger Pfad, wird nicht gesichert)\n",
                typed.c_str()));
            continue;
        }
        kept.push_back(source);
    }
    options.sources = kept;
}

// A remembered network drive that is not connected would fail every later access.
void reconnectRunDrives(const RunOptions& options) {
    for (const std::string& source : options.sources) reconnectDrive(driveLetterOf(source));
    reconnectDrive(driveLetterOf(options.targetPath));
}

// Says what the command line asked for but the run cannot take. Errors belong in the
// error file as well, for whoever reads a scheduled run's results there.
void reportRefusals(const RunOptions& options) {
    for (const std::string& line : options.refusals) {
        consoleLine("%s", line.c_str());
        errorFileLine(options.errorFilePath, "%s", line.c_str());
    }
}

// A run that cannot do its job ends before it touches any archive folder: with no
// target, or with no source left, a rotation would only remove good backups.
bool runCannotStart(const RunOptions& options) {
    if (options.targetRefused) return true;
    if (options.targetPath.empty()) {
        // An empty target would put the archive folders into the root of the drive.
        const char* line = "Kein Zielpfad ... FEHLER (Datensicherung abgebrochen)\n";
        consoleLine("%s", line);
        errorFileLine(options.errorFilePath, "%s", line);
        return true;
    }
    if (options.sources.empty()) {
        const char* line = "Kein Quellpfad ... FEHLER (Datensicherung abgebrochen)\n";
        consoleLine("%s", line);
        errorFileLine(options.errorFilePath, "%s", line);
        return true;
    }
    return false;
}

// The header block: the arguments exactly as typed, before any normalisation.
void writeErrorFileHeader(const RunOptions& options, int argc, char** argv,
                          const Timestamp& runTimestamp) {
    if (options.errorFilePath.empty()) return;
    std::string text = "\n\n------------------------------\n";
    text += formatText("%s\n", kBannerText);
    text += formatText("[vaultix %s %s", argv[1], argv[2]);
    for (int i = 3; i < argc; ++i) text += formatText(" %s", argv[i]);
    text += "]\n\n";
    text += formatText("Anfang der Datensicherung : %s\n\n", dateTimeText(runTimestamp));
    errorFileBlock(options.errorFilePath, text);
}

// One source goes straight into the archive folder; several go into subfolders named
// by their last path component.
void copySources(const RunOptions& options, const std::string& newFolderPath) {
    for (const std::string& source : options.sources) {
        // A missing source would otherwise leave only an empty folder and a summary
        // without a single failure: whoever reads the report must learn of it.
        uint32_t attributes = plat::getAttributes(source.c_str());
        if (attributes == plat::kAttrInvalid || !(attributes & plat::kAttrFolder)) {
            consoleLine("Quellpfad %s ... FEHLER (nicht gefunden)\n", source.c_str());
            errorFileLine(options.errorFilePath, "Quellpfad %s ... FEHLER (nicht gefunden)\n",
                          source.c_str());
        }
        std::string destination = options.sources.size() == 1
                                      ? newFolderPath
                                      : joinPath(newFolderPath, fileNameOf(source));
        copyTree(source, destination, options.errorFilePath, options.detailedLog,
                 options.targetPath);
    }
}

void printSummary(const RunOptions& options, Timestamp& runTimestamp) {
    const RunCounters& c = runCounters;
    consoleLine("\n\nKontrollierte Verzeichnisse : %i\n", c.foldersExamined);
    consoleLine("Kontrollierte Dateien       : %i\n\n", c.filesExamined);
    consoleLine("   ... %i Dateien kopiert\n", c.filesCopied);
    consoleLine("   ... %i Dateien konnten nicht kopiert werden\n", c.filesNotCopied);
    consoleLine("\n");
    if (options.errorFilePath.empty()) return;
    runTimestamp = currentTimestamp();
    std::string text = formatText("\n\nEnde der Datensicherung : %s\n\n",
                                  dateTimeText(runTimestamp));
    text += formatText("Kontrollierte Verzeichnisse : %i\n", c.foldersExamined);
    text += formatText("Kontrollierte Dateien       : %i\n\n", c.filesExamined);
    text += formatText("   ... %i Dateien kopiert\n", c.filesCopied);
    text += formatText("   ... %i Dateien konnten nicht kopiert werden\n", c.filesNotCopied);
    text += "\n";
    errorFileBlock(options.errorFilePath, text);
}

// The exit code of a run that did not back anything up; a scheduler shows it as a failure.
constexpr int kExitRunRefused = 1;

}  // namespace

int runBackup(int argc, char** argv) {
    if (!plat::startUp()) {
        consoleLine("Schwerwiegender Fehler: %s\n", "Initialisierung fehlgeschlagen");
        return 1;
    }

    RunOptions options;
    if (!parseCommandLine(argc, argv, options)) return 0;

    normalisePaths(options);
    Timestamp runTimestamp = currentTimestamp();
    reconnectRunDrives(options);

    consoleLine("\n%s\n", kBannerText);
    writeErrorFileHeader(options, argc, argv, runTimestamp);

    reportRefusals(options);
    if (runCannotStart(options)) {
        if (options.finalPrompt) plat::readKey();
        return kExitRunRefused;
    }

    DirWalker walker;
    resetDateTable();
    std::string newFolderPath = rotateArchiveFolders(options, runTimestamp, walker);

    runCounters = RunCounters{};
    consoleLine("Kopieren gestartet ...\n");
    copySources(options, newFolderPath);

    Timestamp shifted = runTimestamp;
    shiftBySeconds(shifted, -21600);
    if (options.classicScheme && dateTableCount() > 0)
        applyClassicScheme(options, shifted, walker);

    printSummary(options, runTimestamp);
    consoleLine("\n%i %s\n\n", weekdayIndex(shifted), dateTimeText(runTimestamp));

    if (options.finalPrompt) plat::readKey();
    return 0;
}
