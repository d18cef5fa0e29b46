// The recursive, incremental copy of a folder tree, with its report lines and counters.
#pragma once

#include <cstdint>
#include <string>

struct RunCounters {
    int32_t foldersExamined = 0;
    int32_t filesExamined = 0;
    int32_t filesCopied = 0;
    int32_t filesNotCopied = 0;
};
extern RunCounters runCounters;

// Always 0. The source text may be completed to a drive root ("D:" -> "D:\").
int copyTree(std::string sourceFolder, const std::string& destinationFolder,
             const std::string& errorFilePath, bool detailedLog);
