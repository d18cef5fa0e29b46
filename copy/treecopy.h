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
//
// The walk never enters its own output: the destination folder is skipped wherever it
// turns up inside the source, and so is a folder that leads back to one of its own
// ancestors (a link or junction). ownOutput names the folder that receives the archive
// folders (the run's target); where the walk passes through it, the archive folders and
// the retention folders in it are skipped, everything else in it is copied as usual.
int copyTree(std::string sourceFolder, const std::string& destinationFolder,
             const std::string& errorFilePath, bool detailedLog,
             const std::string& ownOutput = std::string());
