#include "fs/paths.h"

#include <cstring>

#include "platform/platform.h"

int splitPath(const std::string& path, std::string& folder, std::string& baseName,
              std::string& extension) {
    size_t sep = path.find_last_of("\\/");
    std::string last;
    if (sep == std::string::npos) {
        folder.clear();
        last = path;
    } else {
        folder = path.substr(0, sep);
        last = path.substr(sep + 1);
    }
    size_t dot = last.rfind('.');
    if (dot == std::string::npos) {
        baseName = last;
        extension.clear();
    } else {
        baseName = last.substr(0, dot);
        extension = last.substr(dot + 1);
    }
    return 0;
}

std::string fileNameOf(const std::string& path) {
    std::string folder, base, ext;
    splitPath(path, folder, base, ext);
    return ext.empty() ? base : base + "." + ext;
}

std::string folderOf(const std::string& path) {
    std::string folder, base, ext;
    splitPath(path, folder, base, ext);
    return folder;
}

static char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::string upperAscii(std::string text) {
    for (char& c : text) c = upperAscii(c);
    return text;
}

char driveLetterOf(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return upperAscii(path[0]);
    return '\0';
}

ReconnectResult reconnectDrive(char driveLetter) {
    if (driveLetter == '\0') return ReconnectResult::NoDriveLetter;
    char device[3] = {driveLetter, ':', '\0'};
    char remote[301] = {};
    unsigned long length = 300;
    const plat::NetworkApi& net = plat::network();
    unsigned long rc = net.getConnection(device, remote, &length);
    if (rc == plat::kNoError) return ReconnectResult::AlreadyConnected;
    if (rc == plat::kErrorConnectionUnavail) {
        remote[300] = '\0';
        if (net.addConnection(device, remote, plat::kConnectUpdateProfile) == plat::kNoError)
            return ReconnectResult::Reconnected;
    }
    return ReconnectResult::NotReconnected;
}

void reconnectForPath(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') reconnectDrive(upperAscii(path[0]));
}

FILE* openWithReconnect(const std::string& path, const char* mode) {
    FILE* f = plat::openFile(path.c_str(), mode);
    if (f) return f;
    reconnectForPath(path);
    return plat::openFile(path.c_str(), mode);
}

std::string getCurrentFolder() {
    // Larger than a Windows path can be: a folder that could not be restored would send
    // later relative paths (an error file, say) to the wrong place.
    char buffer[4096] = {};
    if (!plat::currentFolder(buffer, sizeof buffer)) return std::string();
    return std::string(buffer);
}

int changeToFolder(const std::string& path) {
    // Only A to Z name a drive; the runtime treats other numbers as a fault, not as a
    // failure to ignore.
    int drive = path.empty() ? 0 : static_cast<unsigned char>(path[0]) - 64;
    if (drive >= 1 && drive <= 26) plat::selectDrive(drive);
    return plat::changeFolder(path.c_str());
}

std::string joinPath(const std::string& folder, const std::string& name) {
    std::string result;
    result.reserve(folder.size() + 1 + name.size());
    result += folder;
    result += plat::kPathSeparator;
    result += name;
    return result;
}
