// readTextLine over an arbitrary file with an arbitrary length limit.
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t limit = (static_cast<size_t>(data[0]) << 8 | data[1]) % 3600;
    FILE* f = std::tmpfile();
    if (!f) return 0;
    std::fwrite(data + 2, 1, size - 2, f);
    std::rewind(f);
    std::string line;
    TextLineInfo info;
    size_t lines = 0;
    while (readTextLine(f, line, limit, &info) == 0) {
        const size_t keep = limit > 3000 ? 2999 : (limit > 0 ? limit - 1 : 0);
        if (line.size() > keep) __builtin_trap();
        if (line.find('\n') != std::string::npos) __builtin_trap();
        if (++lines > size + 1) __builtin_trap();  // every call consumes input
    }
    if (!line.empty()) __builtin_trap();  // the end of the file gives the empty text
    std::fclose(f);
    return 0;
}
