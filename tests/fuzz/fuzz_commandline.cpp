// parseCommandLine on arbitrary arguments, and on an arbitrary source list file.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string listPath = "/tmp/vaultix-fuzz-list-" + std::to_string(getpid());
    const std::string input(reinterpret_cast<const char*>(data), size);

    // The input is also the list file, so every line form reaches readTextLine.
    if (FILE* f = std::fopen(listPath.c_str(), "wb")) {
        std::fwrite(input.data(), 1, input.size(), f);
        std::fclose(f);
    }
    // Arguments: the input split at zero bytes; at least the two paths, so that the
    // usage text (which waits for a key) is never shown.
    std::vector<std::string> args = {"vaultix"};
    size_t start = 0;
    while (args.size() < 12) {
        size_t end = input.find('\0', start);
        args.push_back(input.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    while (args.size() < 3) args.push_back("t");
    args.push_back("/L=" + listPath);
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    RunOptions options;
    if (!parseCommandLine(static_cast<int>(args.size()), argv.data(), options)) __builtin_trap();
    // What the run relies on: the capacities hold and the limits are adjusted.
    if (options.sources.size() > kMaxSources) __builtin_trap();
    for (const std::string& s : options.sources)
        if (s.size() > kMaxSourceText) __builtin_trap();
    if (options.targetPath.size() > kMaxSourceText) __builtin_trap();
    if (options.errorFilePath.size() > kMaxArgumentText) __builtin_trap();
    if (options.archiveFolderLimit < 1) __builtin_trap();
    if (options.classicScheme && (options.archiveFolderLimit < 10 || options.permanentCopies))
        __builtin_trap();
    if (options.fiscalYearStartMonth < 1 || options.fiscalYearStartMonth > 12) __builtin_trap();
    for (std::string& s : options.sources) stripPathTail(s);
    stripPathTail(options.targetPath);
    return 0;
}
