// The directory walker: step-by-step enumeration of one folder, and an entry list
// filled by the recursive listings that the tree removal uses.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "time/timestamp.h"

// Appends a separator to a bare drive ("D:" becomes "D:\") in place.
void completeDriveRoot(std::string& path);
// The walker's form of the reconnect rule: one probe, reconnecting on failure.
void trialSearch(const std::string& pattern);

class DirWalker {
public:
    DirWalker();
    ~DirWalker();
    DirWalker(const DirWalker&) = delete;
    DirWalker& operator=(const DirWalker&) = delete;

    void reset();

    // Enumeration. firstFile/firstSubfolder complete a bare drive in the caller's text.
    bool firstFile(std::string& folder);
    bool nextFile();
    bool firstSubfolder(std::string& folder);
    bool nextSubfolder();
    int closeSearch();
    const std::string& currentName() const;
    // Find data of the entry most recently delivered.
    const plat::FindData& currentFound() const;

    // Tree removal (see fs/treeremove.cpp): removes the folder tree and the folder
    // itself. 0 when there is no folder, 1 for a fixed disk's root (nothing touched),
    // otherwise the number of files listed.
    int32_t removeTree(std::string path);

private:
    // Entry list, listings and search state: to be filled in with the implementation.
};
