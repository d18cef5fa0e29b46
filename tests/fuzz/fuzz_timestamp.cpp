// parseTimestamp and its parts on arbitrary text.
#include <cstdint>
#include <cstring>
#include <string>

#include "time/timestamp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // ends at a zero byte
    Timestamp t;
    // No range is tested: a field may hold any value of its width. A failure leaves the
    // empty Timestamp; whatever was read, its text forms stay within their buffers.
    if (!parseTimestamp(text.c_str(), t) && !(t == Timestamp{})) __builtin_trap();
    const char* forms[] = {dateText(t), timeText(t.hour, t.minute, t.second), dateTimeText(t),
                           compactDateText(t), compactTimeText(t.hour, t.minute, t.second)};
    for (const char* f : forms)
        if (f == nullptr || std::strlen(f) > 40) __builtin_trap();
    uint16_t y;
    uint8_t mo, d, h, mi, s;
    parseDateText(text.c_str(), y, mo, d);
    parseTimeText(text.c_str(), h, mi, s);
    std::string copy = text;
    trimBlanks(copy.data());
    return 0;
}
