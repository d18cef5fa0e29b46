// parseTimestamp and its parts on arbitrary text.
#include <cstdint>
#include <string>

#include "time/timestamp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // ends at a zero byte
    Timestamp t;
    if (parseTimestamp(text.c_str(), t)) {
        // An accepted text gives a real date and time, whose text form reads back the same.
        if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 ||
            t.minute > 59 || t.second > 59)
            __builtin_trap();
        Timestamp again;
        if (!parseTimestamp(dateTimeText(t), again) || !(again == t)) __builtin_trap();
    } else if (!(t == Timestamp{})) {
        __builtin_trap();  // a failed parse leaves the empty Timestamp
    }
    uint16_t y;
    uint8_t mo, d, h, mi, s;
    parseDateText(text.c_str(), y, mo, d);
    parseTimeText(text.c_str(), h, mi, s);
    std::string copy = text;
    trimBlanks(copy.data());
    return 0;
}
