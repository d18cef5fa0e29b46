// The directory walker: step-by-step enumeration of one folder, and an entry list
// filled by the recursive listings that the tree removal uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "time/timestamp.h"

// Appends a separator to a bare drive ("D:" becomes "D:\") in place.
void completeDriveRoot(std::string& path);
// The walker's form of the reconnect rule: one probe, reconnecting on failure.
void trialSearch(const std::string& pattern);

// One file or folder of a listing. The three texts share one stored text,
// "folder<separator>name" (or the bare name when the folder is empty), owned by the
// entry list that holds the entry: an entry costs only what its texts need.
// All zero bytes is a valid, empty entry.
struct DirEntry {
    const char* pathText;   // the whole path; nullptr in an empty entry
    uint16_t folderLength;  // the folder is the first folderLength characters
    uint16_t nameOffset;    // the name starts here
    uint32_t size;          // low 32 bits of the size; 0 for a folder
    uint32_t attributes;    // as the search delivered them
    int32_t depth;          // level below the root of a tree listing
    uint8_t isFolder;
    Timestamp modified;     // last write, local time

    const char* path() const { return pathText ? pathText : ""; }
    const char* name() const { return pathText ? pathText + nameOffset : ""; }
    std::string_view folder() const {
        return pathText ? std::string_view(pathText, folderLength) : std::string_view();
    }
    // A symbolic link or junction: removed as itself, never entered.
    bool isLink() const { return (attributes & plat::kAttrReparsePoint) != 0; }
};

// A growable array of fixed-size, zero-filled slots. It always holds exactly count()
// slots; behind them it keeps room to grow into, so that appending folder by folder
// costs amortised constant time per slot instead of a copy of the whole list. It also
// stores the texts its entries point to, until free().
class EntryList {
public:
    EntryList() = default;
    ~EntryList() { free(); }
    EntryList(const EntryList&) = delete;
    EntryList& operator=(const EntryList&) = delete;

    // False when a block is held already, n <= 0, slotSize is 0 or memory is short.
    bool allocate(int32_t n, uint32_t slotSize);
    // Adds n zero-filled slots at the end (allocates when nothing is held). False for
    // n <= 0, slotSize 0 or a slot size other than the one held; when memory runs out
    // the list is left empty.
    bool grow(int32_t n, uint32_t slotSize);
    // Copies slotSize bytes from the record into slot i.
    bool put(int32_t i, const void* record);
    void* at(int32_t i) const;  // nullptr outside 0 .. count-1
    void free();

    int32_t count() const { return count_; }
    uint32_t slotSize() const { return slotSize_; }

    // A terminated copy of the text that lives until free(); nullptr when memory is
    // short.
    const char* storeText(std::string_view text);

private:
    struct TextChunk;
    unsigned char* slots_ = nullptr;
    int32_t count_ = 0;
    uint32_t slotSize_ = 0;
    size_t capacity_ = 0;  // slots the block has room for
    TextChunk* texts_ = nullptr;
    size_t textUsed_ = 0;  // bytes used in the newest chunk
};

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

    // Listings into the entry list (see fs/treeremove.cpp); each returns the number of
    // entries added. listFolderFiles appends behind exactly `start` entries; the other
    // two expect an empty list. Entries whose path would exceed 599 characters are
    // left out, never shortened.
    int32_t listFolderFiles(std::string folder, int32_t start, int32_t depth);
    int32_t listFolderSubfolders(std::string folder);
    int32_t listTreeFiles(std::string root);

    const char* entryPath(int32_t i) const;  // nullptr outside the list
    const DirEntry* entry(int32_t i) const;  // nullptr outside the list
    int32_t entryCount() const { return entries_.count(); }
    EntryList& entries() { return entries_; }

private:
    bool startSearch(std::string& folder);
    bool deliverCurrent();
    int32_t listTreeLevel(const std::string& folder, int32_t depth, bool& failed);

    EntryList entries_;
    std::string folder_;
    plat::FindHandle search_ = nullptr;
    plat::FindData found_{};
    std::string currentName_;
};

// Deletes one file (attributes cleared first; a link is deleted as itself). True when
// no file is left at the path.
bool removeFile(const std::string& path);
// Removes a folder and, recursively, its emptied subfolders; files are not deleted.
// True when the folder is gone or did not exist.
bool removeFolders(std::string path);
// A fixed disk's root however it is spelt ("C:", "C:\.", "//", "/.", a link to it):
// the removals refuse it.
bool isFixedDiskRoot(const std::string& path);
