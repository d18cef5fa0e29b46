// The process-wide table of the subfolder names of one folder, and the archive-folder
// names: recognition, the permanent mark, the oldest pick and the new folder.
#pragma once

#include <cstdint>
#include <string>

#include "fs/paths.h"
#include "time/timestamp.h"

inline constexpr const char* kArchivePrefix = "ARCHIV_";
inline constexpr const char* kNoArchiveName = "ZZZZZ";

int32_t listSubfolders(const std::string& folderPath);
int32_t tableCount();
const std::string& nameAt(int32_t index);
std::string upperNameAt(int32_t index);
void releaseTable();

bool isArchiveName(const std::string& upperName);
bool carriesPermanentMark(const std::string& upperName);

// The smallest upper-cased archive name above the bound, or "ZZZZZ".
std::string nextArchiveName(const std::string& lowerBound);
// The name the listing delivered for an upper-cased name (POSIX names are
// case-sensitive); the upper-cased name itself when none matches.
std::string listedNameOf(const std::string& upperName);
// The path under which a picked archive folder is opened: folder and upper-cased name
// on Windows, folder and the listed name on POSIX.
std::string pickedFolderPath(const std::string& folder, const std::string& upperName);

std::string createNewArchiveFolder(const std::string& targetFolder, const Timestamp& runTimestamp,
                                   bool permanentMarkDue, const std::string& errorFilePath);
