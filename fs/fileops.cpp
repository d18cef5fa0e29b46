#include "fs/fileops.h"

#include <cstring>

#include "fs/paths.h"
#include "platform/platform.h"

namespace {

// Find-first on the path with the reconnect rule: a miss on a drive-letter path
// restores the remembered connection, then the search is made once more.
bool firstMatch(const std::string& path, plat::FindData& found) {
    plat::FindHandle handle = plat::findFirst(path.c_str(), found);
    if (!handle) {
        reconnectForPath(path);
        handle = plat::findFirst(path.c_str(), found);
    }
    if (!handle) return false;
    plat::findClose(handle);
    return true;
}

bool isDotOrDotDot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

}  // namespace

bool fileExists(const std::string& path) {
    plat::FindData found;
    if (!firstMatch(path, found)) return false;
    return (found.attributes & plat::kAttrFolder) == 0;
}

bool folderExists(const std::string& path) {
    plat::FindData found;
    if (!firstMatch(path, found)) return false;
    return (found.attributes & plat::kAttrFolder) != 0 && !isDotOrDotDot(found.name);
}

int32_t fileWriteTime(const std::string& path) {
    plat::FindData found;
    if (!firstMatch(path, found)) return 0;
    return found.lastWriteTime;
}

int makeFolderPath(const std::string& path) {
    if (folderExists(path)) return 0;
    // A longer path would have to be cut to fit the work copy, and a cut path names a
    // different folder: it is not created.
    if (path.empty() || path.size() > kMaxPathText) return 1;
    plat::makeFolder(path.c_str());
    if (folderExists(path)) return 0;

    size_t cut = path.rfind(plat::kPathSeparator);
    if (cut == std::string::npos) return 1;
    // Cutting at the very first character leaves the root itself ("/" on POSIX) rather
    // than an empty text; the root is never created, so the chain ends there.
    std::string parent = path.substr(0, cut == 0 ? 1 : cut);
    if (parent == path) return 1;
    if (makeFolderPath(parent) != 0) return 1;
    plat::makeFolder(path.c_str());
    return folderExists(path) ? 0 : 1;
}
