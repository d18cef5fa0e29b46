// splitPath and the helpers built on it, on arbitrary paths.
#include <cstdint>
#include <string>

#include "fs/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    std::string folder, base, extension;
    if (splitPath(path, folder, base, extension) != 0) __builtin_trap();
    // The parts come out of the path: none is longer than it.
    if (folder.size() > path.size() || base.size() > path.size() || extension.size() > path.size())
        __builtin_trap();
    std::string name = fileNameOf(path);
    std::string parent = folderOf(path);
    if (name.size() > path.size() || parent.size() > path.size()) __builtin_trap();
    if (path.find(name) == std::string::npos) __builtin_trap();
    driveLetterOf(path);
    return 0;
}
