#include "copy/treecopy.h"

#include <vector>

#include "copy/filecopy.h"
#include "fs/dirwalker.h"
#include "fs/fileops.h"
#include "fs/paths.h"
#include "fs/report.h"
#include "platform/platform.h"

RunCounters runCounters;

namespace {

struct Walk {
    const std::string& errorFilePath;
    bool detailedLog;
    // Folders never walked into: the destination of the top call.
    std::vector<plat::FileId> output;
    bool hasOwnOutput = false;
    plat::FileId ownOutput;
    // The source folders from the top call down to the current one.
    std::vector<plat::FileId> ancestors;
};

// The folders the run itself keeps in its target.
bool isOwnFolderName(const std::string& name) {
    std::string upper = upperAscii(name);
    return upper.compare(0, 7, "ARCHIV_") == 0 || upper == "SICHER" || upper == "WOCHEN" ||
           upper == "MONATE" || upper == "JAHRE";
}

bool contains(const std::vector<plat::FileId>& ids, const plat::FileId& id) {
    for (const plat::FileId& known : ids)
        if (known == id) return true;
    return false;
}

uint32_t settableAttributes(uint32_t attributes) {
    return attributes & ~(plat::kAttrFolder | plat::kAttrReparsePoint);
}

bool fitsPath(const std::string& path) { return path.size() <= kMaxPathText; }

void prepareDestination(const std::string& destination, const Walk& walk) {
    if (fitsPath(destination)) {
        if (folderExists(destination)) {
            plat::setAttributes(destination.c_str(), 0);
            return;
        }
        makeFolderPath(destination);
        if (folderExists(destination)) {
            consoleLine("%s ... Verzeichnis neu erstellt\n", destination.c_str());
            if (walk.detailedLog)
                errorFileLine(walk.errorFilePath, "%s ... Verzeichnis neu erstellt\n",
                              destination.c_str());
            return;
        }
    }
    // A destination beyond the path capacity is never created under a cut name.
    consoleLine("%s ... FEHLER (Verzeichnis wurde nicht erstellt)\n", destination.c_str());
    errorFileLine(walk.errorFilePath, "%s ... FEHLER (Verzeichnis wurde nicht erstellt)\n",
                  destination.c_str());
}

// Missing in the destination, or strictly newer there by last-write time in whole
// seconds. The source's time comes from the listing that delivered the file.
bool needsCopy(const DirWalker& walker, const std::string& destinationFolder,
               const std::string& destinationFile, const std::string& savedFolder) {
    std::string work = destinationFile;
    bool moved = false;
    if (isLongPath(destinationFile)) {
        // Without the folder the bare name would be looked up in the wrong place.
        if (changeToFolder(destinationFolder) != 0) {
            changeToFolder(savedFolder);
            return true;
        }
        moved = true;
        work = fileNameOf(destinationFile);
    }
    bool copy = true;
    if (fileExists(work)) {
        int32_t destinationTime = fileWriteTime(work);
        copy = walker.currentFound().lastWriteTime > destinationTime;
    }
    if (moved) changeToFolder(savedFolder);
    return copy;
}

// True when the folder's search delivered at least one file.
bool copyFiles(DirWalker& walker, std::string& source, const std::string& destination,
               const std::string& savedFolder, const Walk& walk) {
    if (!walker.firstFile(source)) return false;
    do {
        const std::string& name = walker.currentName();
        std::string sourceFile = joinPath(source, name);
        std::string destinationFile = joinPath(destination, name);
        ++runCounters.filesExamined;
        CopyResult result = CopyFailed;
        // A path beyond the capacity is reported as not copied, never cut.
        if (fitsPath(sourceFile) && fitsPath(destinationFile)) {
            if (!needsCopy(walker, destination, destinationFile, savedFolder)) continue;
            result = copyOneFile(sourceFile, destinationFile);
        }
        if (result == Copied) {
            ++runCounters.filesCopied;
            consoleLine("%s\n", sourceFile.c_str());
            if (walk.detailedLog)
                errorFileLine(walk.errorFilePath, "%s ... erfolgreich kopiert\n",
                              sourceFile.c_str());
        } else {
            ++runCounters.filesNotCopied;
            consoleLine("%s ... FEHLER\n", sourceFile.c_str());
            errorFileLine(walk.errorFilePath, "%s ... FEHLER (nicht kopiert)\n",
                          sourceFile.c_str());
        }
    } while (walker.nextFile());
    return true;
}

// A folder that is there but cannot be searched (no permission) looks like an empty one;
// its files would be lost to the backup without a word. Asked only when no file came.
bool cannotBeSearched(const std::string& source, uint32_t sourceAttributes) {
    if (sourceAttributes == plat::kAttrInvalid || !(sourceAttributes & plat::kAttrFolder))
        return false;  // gone: there is nothing left to lose
    plat::FindData found;
    plat::FindHandle search = plat::findFirst(joinPath(source, "*.*").c_str(), found);
    if (search == nullptr) return true;
    plat::findClose(search);
    return false;
}

// Last, so that a read-only source folder does not keep its copy from being filled. A
// source folder without attributes (missing) leaves the destination as it is.
void finishLevel(const std::string& destination, uint32_t sourceAttributes) {
    if (sourceAttributes != plat::kAttrInvalid && fitsPath(destination))
        plat::setAttributes(destination.c_str(), settableAttributes(sourceAttributes));
}

void copyLevel(std::string source, const std::string& destination, Walk& walk, bool top);

void copySubfolders(DirWalker& walker, std::string& source, const std::string& destination,
                    bool inOwnOutput, Walk& walk) {
    if (walker.firstSubfolder(source)) {
        do {
            ++runCounters.foldersExamined;
            const std::string& name = walker.currentName();
            std::string subSource = joinPath(source, name);
            std::string subDestination = joinPath(destination, name);
            plat::FileId id;
            bool known = plat::fileIdentity(subSource.c_str(), id);
            if ((known && contains(walk.output, id)) || (inOwnOutput && isOwnFolderName(name))) {
                consoleLine("%s ... uebersprungen (Ziel der Sicherung)\n", subSource.c_str());
                if (walk.detailedLog)
                    errorFileLine(walk.errorFilePath, "%s ... uebersprungen (Ziel der Sicherung)\n",
                                  subSource.c_str());
                continue;
            }
            if (known && contains(walk.ancestors, id)) {
                consoleLine("%s ... uebersprungen (Verweis auf ein uebergeordnetes Verzeichnis)\n",
                            subSource.c_str());
                errorFileLine(walk.errorFilePath,
                              "%s ... uebersprungen (Verweis auf ein uebergeordnetes Verzeichnis)\n",
                              subSource.c_str());
                continue;
            }
            copyLevel(subSource, subDestination, walk, false);
        } while (walker.nextSubfolder());
    }
    walker.closeSearch();
}

void copyLevel(std::string source, const std::string& destination, Walk& walk, bool top) {
    DirWalker walker;
    const std::string savedFolder = getCurrentFolder();
    const uint32_t sourceAttributes = plat::getAttributes(source.c_str());

    prepareDestination(destination, walk);
    if (top) {
        plat::FileId id;
        if (plat::fileIdentity(destination.c_str(), id)) walk.output.push_back(id);
    }
    consoleLine("pruefe %s ...\n", upperAscii(source).c_str());

    // A folder whose search pattern would not fit is reported, never searched under a
    // cut name and never passed over in silence.
    if (joinPath(source, "*.*").size() > kMaxPathText) {
        ++runCounters.filesNotCopied;
        consoleLine("%s ... FEHLER\n", source.c_str());
        errorFileLine(walk.errorFilePath, "%s ... FEHLER (nicht kopiert)\n", source.c_str());
        finishLevel(destination, sourceAttributes);
        return;
    }

    bool anyFile = copyFiles(walker, source, destination, savedFolder, walk);
    walker.closeSearch();
    changeToFolder(savedFolder);
    if (!anyFile && cannotBeSearched(source, sourceAttributes)) {
        ++runCounters.filesNotCopied;
        consoleLine("%s ... FEHLER\n", source.c_str());
        errorFileLine(walk.errorFilePath, "%s ... FEHLER (nicht kopiert)\n", source.c_str());
        finishLevel(destination, sourceAttributes);
        return;
    }

    // Taken from the text the walker completed (a bare drive means its root here).
    plat::FileId sourceId;
    bool sourceKnown = plat::fileIdentity(source.c_str(), sourceId);
    if (sourceKnown) walk.ancestors.push_back(sourceId);
    bool inOwnOutput = sourceKnown && walk.hasOwnOutput && sourceId == walk.ownOutput;

    copySubfolders(walker, source, destination, inOwnOutput, walk);

    finishLevel(destination, sourceAttributes);
    if (sourceKnown) walk.ancestors.pop_back();
}

}  // namespace

int copyTree(std::string sourceFolder, const std::string& destinationFolder,
             const std::string& errorFilePath, bool detailedLog, const std::string& ownOutput) {
    Walk walk{errorFilePath, detailedLog, {}, false, {}, {}};
    if (!ownOutput.empty()) walk.hasOwnOutput = plat::fileIdentity(ownOutput.c_str(), walk.ownOutput);
    copyLevel(std::move(sourceFolder), destinationFolder, walk, true);
    return 0;
}
