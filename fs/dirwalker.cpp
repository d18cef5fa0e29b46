#include "fs/dirwalker.h"

#include <cstdlib>
#include <cstring>

#include "fs/paths.h"

// ---- helpers ---------------------------------------------------------------------

void completeDriveRoot(std::string& path) {
    if (path.size() == 2 && path[1] == ':') path += plat::kPathSeparator;
}

void trialSearch(const std::string& pattern) {
    plat::FindData scratch;
    plat::FindHandle handle = plat::findFirst(pattern.c_str(), scratch);
    if (handle) {
        plat::findClose(handle);
        return;
    }
    // reconnectForPath upper-cases the drive letter itself.
    reconnectForPath(pattern);
}

// ---- entry list ------------------------------------------------------------------

struct EntryList::TextChunk {
    TextChunk* previous;
    size_t size;  // bytes of text room behind the header
    char* text() { return reinterpret_cast<char*>(this + 1); }
};

namespace {
constexpr size_t kTextChunkSize = 64 * 1024;
constexpr size_t kMinSlots = 16;
}  // namespace

bool EntryList::allocate(int32_t n, uint32_t slotSize) {
    if (slots_ || n <= 0 || slotSize == 0) return false;
    return grow(n, slotSize);
}

bool EntryList::grow(int32_t n, uint32_t slotSize) {
    if (n <= 0 || slotSize == 0) return false;
    if (slots_ && slotSize != slotSize_) return false;
    if (static_cast<int64_t>(count_) + n > INT32_MAX) return false;
    size_t needed = static_cast<size_t>(count_) + static_cast<size_t>(n);
    if (needed > SIZE_MAX / slotSize) return false;
    if (needed > capacity_) {
        // Doubling keeps the copies amortised; when the doubled block cannot be had,
        // the exact size is tried before giving up.
        size_t wanted = capacity_ * 2;
        if (wanted < kMinSlots) wanted = kMinSlots;
        if (wanted < needed || wanted > SIZE_MAX / slotSize) wanted = needed;
        void* block = std::realloc(slots_, wanted * slotSize);
        if (!block && wanted != needed) {
            wanted = needed;
            block = std::realloc(slots_, wanted * slotSize);
        }
        if (!block) {
            free();
            return false;
        }
        slots_ = static_cast<unsigned char*>(block);
        capacity_ = wanted;
    }
    std::memset(slots_ + static_cast<size_t>(count_) * slotSize, 0,
                static_cast<size_t>(n) * slotSize);
    count_ = static_cast<int32_t>(needed);
    slotSize_ = slotSize;
    return true;
}

bool EntryList::put(int32_t i, const void* record) {
    void* slot = at(i);
    if (!slot || !record) return false;
    std::memcpy(slot, record, slotSize_);
    return true;
}

void* EntryList::at(int32_t i) const {
    if (!slots_ || i < 0 || i >= count_) return nullptr;
    return slots_ + static_cast<size_t>(i) * slotSize_;
}

void EntryList::free() {
    std::free(slots_);
    slots_ = nullptr;
    count_ = 0;
    slotSize_ = 0;
    capacity_ = 0;
    while (texts_) {
        TextChunk* previous = texts_->previous;
        std::free(texts_);
        texts_ = previous;
    }
    textUsed_ = 0;
}

const char* EntryList::storeText(std::string_view text) {
    size_t needed = text.size() + 1;
    if (!texts_ || texts_->size - textUsed_ < needed) {
        size_t room = needed > kTextChunkSize ? needed : kTextChunkSize;
        auto* chunk = static_cast<TextChunk*>(std::malloc(sizeof(TextChunk) + room));
        if (!chunk) return nullptr;
        chunk->previous = texts_;
        chunk->size = room;
        texts_ = chunk;
        textUsed_ = 0;
    }
    char* out = texts_->text() + textUsed_;
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    textUsed_ += needed;
    return out;
}

// ---- walker ----------------------------------------------------------------------

namespace {
bool isDotOrDotDot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}
bool isFolder(const plat::FindData& found) {
    return (found.attributes & plat::kAttrFolder) != 0;
}
}  // namespace

DirWalker::DirWalker() { reset(); }

// Closing a search left open costs nothing and keeps a handle from leaking.
DirWalker::~DirWalker() { closeSearch(); }

void DirWalker::reset() {
    closeSearch();
    entries_.free();
}

bool DirWalker::startSearch(std::string& folder) {
    closeSearch();
    currentName_.clear();
    completeDriveRoot(folder);
    folder_ = folder;
    std::string pattern = folder.empty() ? std::string("*.*") : joinPath(folder, "*.*");
    // The pattern has a 599-character work buffer; a longer one is a folder that
    // cannot be searched, never a shortened one.
    if (pattern.size() > kMaxPathText) return false;
    trialSearch(pattern);
    search_ = plat::findFirst(pattern.c_str(), found_);
    return search_ != nullptr;
}

bool DirWalker::deliverCurrent() {
    currentName_ = found_.name;
    return true;
}

bool DirWalker::firstFile(std::string& folder) {
    if (!startSearch(folder)) return false;
    if (isFolder(found_)) return nextFile();
    return deliverCurrent();
}

bool DirWalker::nextFile() {
    if (!search_) return false;
    for (;;) {
        if (!plat::findNext(search_, found_)) {
            closeSearch();
            return false;
        }
        if (!isFolder(found_)) return deliverCurrent();
    }
}

bool DirWalker::firstSubfolder(std::string& folder) {
    if (!startSearch(folder)) return false;
    if (isFolder(found_) && !isDotOrDotDot(found_.name)) return deliverCurrent();
    return nextSubfolder();
}

bool DirWalker::nextSubfolder() {
    if (!search_) return false;
    for (;;) {
        if (!plat::findNext(search_, found_)) return false;  // the caller closes
        if (isFolder(found_) && !isDotOrDotDot(found_.name)) return deliverCurrent();
    }
}

int DirWalker::closeSearch() {
    if (search_) plat::findClose(search_);
    search_ = nullptr;
    return 0;
}

const std::string& DirWalker::currentName() const { return currentName_; }

const plat::FindData& DirWalker::currentFound() const { return found_; }

const DirEntry* DirWalker::entry(int32_t i) const {
    return static_cast<const DirEntry*>(entries_.at(i));
}

const char* DirWalker::entryPath(int32_t i) const {
    const DirEntry* e = entry(i);
    return e ? e->path() : nullptr;
}
