// Existence checks (find-first with the reconnect rule) and folder creation.
#pragma once

#include <cstdint>
#include <string>

bool fileExists(const std::string& path);    // first match is not a folder
bool folderExists(const std::string& path);  // first match is a folder other than "." / ".."
int32_t fileWriteTime(const std::string& path);  // seconds since 1970; 0 when no match
int makeFolderPath(const std::string& path);     // 0 when the folder exists afterwards, else 1
