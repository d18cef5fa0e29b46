#include "archive/foldertable.h"

#include <cstring>
#include <vector>

#include "fs/fileops.h"
#include "fs/paths.h"
#include "fs/report.h"
#include "platform/platform.h"

namespace {
std::vector<std::string> table;
const std::string kEmpty;

bool isDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}
}  // namespace

int32_t listSubfolders(const std::string& folderPath) {
    table.clear();
    std::string pattern = joinPath(folderPath, "*.*");
    plat::FindData found;
    plat::FindHandle probe = plat::findFirst(pattern.c_str(), found);
    if (probe) {
        plat::findClose(probe);
    } else {
        reconnectForPath(upperAscii(pattern));
    }
    plat::FindHandle search = plat::findFirst(pattern.c_str(), found);
    if (!search) return 0;
    do {
        if ((found.attributes & plat::kAttrFolder) && !isDotEntry(found.name))
            table.emplace_back(found.name);
    } while (plat::findNext(search, found));
    plat::findClose(search);
    return static_cast<int32_t>(table.size());
}

int32_t tableCount() { return static_cast<int32_t>(table.size()); }

const std::string& nameAt(int32_t index) {
    if (index < 0 || index >= tableCount()) return kEmpty;
    return table[static_cast<size_t>(index)];
}

std::string upperNameAt(int32_t index) { return upperAscii(nameAt(index)); }

void releaseTable() {
    table.clear();
    table.shrink_to_fit();
}

bool isArchiveName(const std::string& upperName) {
    return upperName.compare(0, std::strlen(kArchivePrefix), kArchivePrefix) == 0;
}

bool carriesPermanentMark(const std::string& upperName) {
    return !upperName.empty() && upperName.back() == 'S';
}

std::string nextArchiveName(const std::string& lowerBound) {
    std::string candidate = kNoArchiveName;
    for (const std::string& name : table) {
        std::string upper = upperAscii(name);
        if (isArchiveName(upper) && upper < candidate && upper > lowerBound) candidate = upper;
    }
    return candidate;
}

std::string listedNameOf(const std::string& upperName) {
    for (const std::string& name : table)
        if (upperAscii(name) == upperName) return name;
    return upperName;
}

std::string pickedFolderPath(const std::string& folder, const std::string& upperName) {
    return joinPath(folder, plat::kIsWindows ? upperName : listedNameOf(upperName));
}

std::string createNewArchiveFolder(const std::string& targetFolder, const Timestamp& runTimestamp,
                                   bool permanentMarkDue, const std::string& errorFilePath) {
    std::string name = formatText(permanentMarkDue ? "ARCHIV_%s_%s_S" : "ARCHIV_%s_%s",
                                  compactDateText(runTimestamp),
                                  compactTimeText(runTimestamp.hour, runTimestamp.minute,
                                                  runTimestamp.second));
    std::string newFolderPath = joinPath(targetFolder, name);
    makeFolderPath(newFolderPath);
    consoleLine("Archivordner %s neu erstellt\n", newFolderPath.c_str());
    errorFileLine(errorFilePath, "Archivordner %s neu erstellt\n", newFolderPath.c_str());
    return newFolderPath;
}
