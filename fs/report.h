// Console and error-file output. Console lines are flushed as they are written; the
// error file is opened in append mode, written and closed for every line or block.
#pragma once

#include <string>

#if defined(__GNUC__)
#define VAULTIX_PRINTF(fmtIndex, firstArg) __attribute__((format(printf, fmtIndex, firstArg)))
#else
#define VAULTIX_PRINTF(fmtIndex, firstArg)
#endif

void consoleLine(const char* format, ...) VAULTIX_PRINTF(1, 2);
// Appends one formatted text to the error file; nothing when the path is empty. A file
// that cannot be written is reported once per run on the console; the run goes on.
void errorFileLine(const std::string& errorFilePath, const char* format, ...)
    VAULTIX_PRINTF(2, 3);
// Appends a block in one opening of the file.
void errorFileBlock(const std::string& errorFilePath, const std::string& text);
// Formats like printf into a std::string.
std::string formatText(const char* format, ...) VAULTIX_PRINTF(1, 2);
