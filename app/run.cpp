#include "app/run.h"

#include "app/options.h"
#include "fs/paths.h"
#include "fs/report.h"
#include "platform/platform.h"

namespace {

// The paths are used from here on only in their short form.
void normalisePaths(RunOptions& options) {
    stripPathTail(options.targetPath);
    for (std::string& source : options.sources) stripPathTail(source);
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
    if (options.sources.empty()) {
        const char* line = "Kein Quellpfad ... FEHLER (Datensicherung abgebrochen)\n";
        consoleLine("%s", line);
        errorFileLine(options.errorFilePath, "%s", line);
        return true;
    }
    return false;
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
    reconnectRunDrives(options);

    consoleLine("\n%s\n", kBannerText);

    reportRefusals(options);
    if (runCannotStart(options)) {
        if (options.finalPrompt) plat::readKey();
        return kExitRunRefused;
    }

    return 0;
}
