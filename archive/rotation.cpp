#include "archive/rotation.h"

#include "archive/classic.h"
#include "archive/foldertable.h"
#include "copy/treecopy.h"
#include "fs/fileops.h"
#include "fs/paths.h"
#include "fs/report.h"

namespace {

// Copies a marked archive folder into SICHER; true when every file arrived.
bool copyIntoPermanentSet(const RunOptions& options, const std::string& sourceFolder,
                          const std::string& upperName) {
    std::string permanentFolder = joinPath(options.targetPath, "SICHER");
    makeFolderPath(permanentFolder);
    std::string destination = joinPath(permanentFolder, upperName);
    consoleLine("Archivordner %s wird dauerhaft gesichert\n", destination.c_str());
    int32_t failedBefore = runCounters.filesNotCopied;
    copyTree(sourceFolder, destination, options.errorFilePath, options.detailedLog);
    return runCounters.filesNotCopied == failedBefore && folderExists(destination);
}

}  // namespace

std::string rotateArchiveFolders(const RunOptions& options, const Timestamp& runTimestamp,
                                 DirWalker& walker) {
    const std::string& target = options.targetPath;
    bool markDue = true;

    int32_t archiveCount = 0;
    int32_t listed = listSubfolders(target);
    for (int32_t i = 0; i < listed; ++i) {
        std::string upper = upperNameAt(i);
        if (!isArchiveName(upper)) continue;
        ++archiveCount;
        if (carriesPermanentMark(upper)) markDue = false;
    }

    if (archiveCount >= options.archiveFolderLimit) {
        int32_t removals = archiveCount - options.archiveFolderLimit + 1;
        std::string bound;
        for (int32_t k = 0; k < removals; ++k) {
            std::string upper = nextArchiveName(bound);
            // Names that differ only in case (POSIX) share one upper-cased name; once the
            // picks run out there is nothing left to remove, and "ZZZZZ" is no archive.
            if (upper == kNoArchiveName) break;
            bound = upper;
            // Reports name the folder as picked (upper-cased); POSIX names are
            // case-sensitive, so there the folder is opened under its listed name.
            std::string shown = joinPath(target, upper);
            std::string folder = pickedFolderPath(target, upper);
            bool keep = false;
            if (carriesPermanentMark(upper)) {
                markDue = true;
                if (options.permanentCopies && !copyIntoPermanentSet(options, folder, upper)) {
                    // Its only original must not go while the permanent copy is incomplete;
                    // the next run copies the rest and removes it then.
                    keep = true;
                }
            }
            if (keep) {
                consoleLine("Archivordner %s ... FEHLER (dauerhafte Sicherung unvollstaendig, "
                            "wird nicht geloescht)\n",
                            shown.c_str());
                errorFileLine(options.errorFilePath,
                              "Archivordner %s ... FEHLER (dauerhafte Sicherung unvollstaendig, "
                              "wird nicht geloescht)\n",
                              shown.c_str());
            } else {
                walker.removeTree(folder);
                consoleLine("Archivordner %s geloescht\n", shown.c_str());
                errorFileLine(options.errorFilePath, "Archivordner %s geloescht\n",
                              shown.c_str());
            }
            walker.reset();
        }
    }
    releaseTable();

    if (markDue || options.classicScheme) {
        int32_t count = listSubfolders(target);
        for (int32_t i = 0; i < count; ++i) {
            std::string upper = upperNameAt(i);
            if (!isArchiveName(upper)) continue;
            if (carriesPermanentMark(upper)) markDue = false;
            if (options.classicScheme) collectArchiveDate(upper, nameAt(i));
        }
        releaseTable();
    }

    return createNewArchiveFolder(target, runTimestamp, markDue, options.errorFilePath);
}
