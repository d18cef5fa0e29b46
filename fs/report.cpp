#include "fs/report.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "fs/paths.h"

namespace {
bool errorFileFailureReported = false;

std::string formatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(n) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<size_t>(n));
}
}  // namespace

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatV(format, args);
    va_end(args);
    return text;
}

void consoleLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

void errorFileBlock(const std::string& errorFilePath, const std::string& text) {
    if (errorFilePath.empty()) return;
    FILE* f = openWithReconnect(errorFilePath, "a");
    bool ok = f != nullptr;
    if (f) {
        ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
        ok = (std::fclose(f) == 0) && ok;
    }
    if (!ok && !errorFileFailureReported) {
        errorFileFailureReported = true;
        consoleLine("FEHLER: Fehler-Datei %s kann nicht geschrieben werden\n",
                    errorFilePath.c_str());
    }
}

void errorFileLine(const std::string& errorFilePath, const char* format, ...) {
    if (errorFilePath.empty()) return;
    va_list args;
    va_start(args, format);
    std::string text = formatV(format, args);
    va_end(args);
    errorFileBlock(errorFilePath, text);
}
