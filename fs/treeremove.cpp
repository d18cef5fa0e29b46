// Recursive listings into the walker's entry list, and the removal of folder trees.
// A removal never leaves the tree it removes: symbolic links and junctions inside it
// are deleted as links, and nothing behind them is listed, changed or deleted.
#include <cstring>
#include <vector>

#include "fs/dirwalker.h"
#include "fs/fileops.h"
#include "fs/paths.h"

namespace {

bool isDotOrDotDot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool isLinkAttr(uint32_t attributes) {
    return attributes != plat::kAttrInvalid && (attributes & plat::kAttrReparsePoint) != 0;
}

// One pass over a folder. Files go to `files` (texts stored in fileTexts), subfolders
// other than "." and ".." to `folders` (texts in folderTexts); either store may be
// nullptr to leave that kind out. One pass instead of a counting and a filling pass:
// an entry that appears meanwhile cannot find the list short of room. A folder that
// cannot be searched yields nothing. False only when memory ran out.
bool scanFolder(const std::string& folder, int32_t depth, EntryList* fileTexts,
                std::vector<DirEntry>& files, EntryList* folderTexts,
                std::vector<DirEntry>& folders) {
    std::string pattern = folder.empty() ? std::string("*.*") : joinPath(folder, "*.*");
    if (pattern.size() > kMaxPathText) return true;
    trialSearch(pattern);
    plat::FindData found;
    plat::FindHandle search = plat::findFirst(pattern.c_str(), found);
    if (!search) return true;

    std::string path = folder.empty() ? std::string() : joinPath(folder, "");
    const size_t prefix = path.size();
    bool ok = true;
    do {
        const bool isFolder = (found.attributes & plat::kAttrFolder) != 0;
        EntryList* texts = isFolder ? folderTexts : fileTexts;
        if (!texts || (isFolder && isDotOrDotDot(found.name))) continue;
        path.resize(prefix);
        path += found.name;
        // A path that does not fit is left out: a shortened one names another entry.
        if (path.size() > kMaxPathText) continue;
        const char* text = texts->storeText(path);
        if (!text) {
            ok = false;
            break;
        }
        DirEntry e{};
        e.pathText = text;
        e.folderLength = static_cast<uint16_t>(folder.size());
        e.nameOffset = static_cast<uint16_t>(prefix);
        e.size = isFolder ? 0 : found.size;
        e.attributes = found.attributes;
        e.depth = isFolder ? 0 : depth;
        e.isFolder = isFolder ? 1 : 0;
        e.modified = timestampFromCalendarTime(found.lastWriteTime);
        (isFolder ? folders : files).push_back(e);
    } while (plat::findNext(search, found));
    plat::findClose(search);
    return ok;
}

// Appends the records behind the list's present slots; false (list empty) when the
// list cannot grow.
bool appendEntries(EntryList& list, const std::vector<DirEntry>& records) {
    if (records.empty()) return true;
    int32_t start = list.count();
    if (!list.grow(static_cast<int32_t>(records.size()), sizeof(DirEntry))) return false;
    for (size_t i = 0; i < records.size(); ++i)
        list.put(start + static_cast<int32_t>(i), &records[i]);
    return true;
}

// The root of the volume a path lies on, as the drive-type query takes it; empty for a
// network share.
std::string volumeRootOf(const std::string& path) {
    if (!plat::kIsWindows) return "/";
    if (path.size() >= 2 && path[1] == ':') return std::string{path[0], ':', '\\'};
    if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
        (path[1] == '\\' || path[1] == '/'))
        return std::string();
    std::string current = getCurrentFolder();
    if (current.size() >= 2 && current[1] == ':') return std::string{current[0], ':', '\\'};
    return std::string();
}

// Deletion of a file the file system can take by this text: attributes cleared first
// so that read-only, hidden and system files go like any other; a link is deleted as
// itself and its target's attributes are left alone.
bool deleteFileHere(const std::string& target) {
    if (plat::leadsElsewhere(target.c_str())) return false;  // never touch what it leads to
    uint32_t attributes = plat::getAttributes(target.c_str());
    if (attributes != plat::kAttrInvalid && (attributes & plat::kAttrFolder) == 0) {
        if (!isLinkAttr(attributes)) plat::setAttributes(target.c_str(), 0);
        plat::removeFileEntry(target.c_str());
    }
    return !fileExists(target);
}

// Whether the listed attributes could stand in the way of a removal; entries without
// any such attribute are not touched before they go (a tree of 200,000 files).
bool needsClearing(const DirEntry& e) {
    if (!plat::kIsWindows) {
        const uint32_t mode = e.attributes >> 16;
        return e.isFolder ? (mode & 0700) != 0700 : (mode & 0200) == 0;
    }
    return (e.attributes & (plat::kAttrReadOnly | plat::kAttrHidden | plat::kAttrSystem)) != 0;
}

// removeFolders for a subfolder that a listing inside the tree delivered: the listing
// already told whether it is a link and what its attributes are.
bool removeListedFolder(const DirEntry& e) {
    const char* path = e.path();
    if (e.isLink()) {
        plat::removeFolder(path);
        return !folderExists(path);
    }
    if (needsClearing(e)) plat::setAttributes(path, 0);
    if (plat::removeFolder(path)) return true;
    DirWalker level;
    const int32_t m = level.listFolderSubfolders(path);
    for (int32_t i = 0; i < m; ++i)
        if (const DirEntry* sub = level.entry(i)) removeListedFolder(*sub);
    level.reset();
    return plat::removeFolder(path) || !folderExists(path);
}

// On POSIX a folder's own permissions decide whether it can be listed and whether its
// entries can be deleted. Archives keep their sources' permissions, so a folder that is
// read-only (or closed) for its owner is opened up before its content goes.
void openUp(const std::string& folder) {
    if (plat::kIsWindows) return;
    const uint32_t attributes = plat::getAttributes(folder.c_str());
    if (attributes == plat::kAttrInvalid || isLinkAttr(attributes)) return;
    if (((attributes >> 16) & 0700) != 0700) plat::setAttributes(folder.c_str(), 0);
}

// What removeTree learns in one listing per folder: the files go to the walker's entry
// list as listTreeFiles orders them (without sizes and times, which a removal never
// reads), the folders below the root into `folders`, each folder's subfolders before
// the folder itself, which is the order in which they can go.
class RemovalListing {
public:
    struct Folder {
        const char* path;
        bool isLink;
    };

    explicit RemovalListing(EntryList& files) : files_(files) {}

    // False (nothing to be trusted) when memory ran out.
    bool list(const std::string& root) {
        level(root, 0);
        return !failed_;
    }
    const std::vector<Folder>& folders() const { return folders_; }

private:
    void level(const std::string& folder, int32_t depth) {
        // The same limit as a search of the folder: a pattern that does not fit means a
        // folder that cannot be searched, never a shortened one.
        if (joinPath(folder, "*.*").size() > kMaxPathText) return;
        openUp(folder);
        plat::OpenFolder open = plat::openFolder(folder.c_str());
        if (!open) {
            // The reconnect rule, on failure only: the open that follows is the search
            // proper.
            reconnectForPath(folder);
            open = plat::openFolder(folder.c_str());
            if (!open) return;
        }
        std::string path = joinPath(folder, "");
        const size_t prefix = path.size();
        std::vector<DirEntry> files;
        std::vector<Folder> subfolders;
        plat::EntryKind kind;
        while (const char* name = plat::readFolder(open, kind)) {
            path.resize(prefix);
            path += name;
            // A path that does not fit is left out: a shortened one names another entry.
            if (path.size() > kMaxPathText) continue;
            const bool isFolder =
                kind == plat::EntryKind::Folder || kind == plat::EntryKind::FolderLink;
            const bool isLink =
                kind == plat::EntryKind::FileLink || kind == plat::EntryKind::FolderLink;
            const char* text = (isFolder ? folderTexts_ : files_).storeText(path);
            if (!text) {
                failed_ = true;
                break;
            }
            if (isFolder) {
                subfolders.push_back({text, isLink});
                continue;
            }
            DirEntry e{};
            e.pathText = text;
            e.folderLength = static_cast<uint16_t>(folder.size());
            e.nameOffset = static_cast<uint16_t>(prefix);
            e.attributes = plat::kAttrArchive | (isLink ? plat::kAttrReparsePoint : 0);
            e.depth = depth;
            files.push_back(e);
        }
        // Closed before going deeper: a deep tree must not hold a folder open per level.
        plat::closeFolder(open);
        if (failed_) return;
        for (const Folder& sub : subfolders) {
            // A link is not entered: the removal never leaves the tree.
            if (!sub.isLink) level(sub.path, depth + 1);
            if (failed_) return;
            folders_.push_back(sub);
        }
        if (!appendEntries(files_, files)) failed_ = true;
    }

    EntryList& files_;
    EntryList folderTexts_;
    std::vector<Folder> folders_;
    bool failed_ = false;
};

// Deletes the listed files in list order. The files of one folder lie together, so each
// folder is opened once and its files are deleted by name within it; a file that does
// not go that way gets the whole treatment of removeFile (attributes cleared, the
// long-path rule).
void deleteListedFiles(const DirWalker& walker, int32_t n) {
    std::string openPath;
    plat::OpenFolder open = nullptr;
    bool opened = false;
    for (int32_t i = 0; i < n; ++i) {
        const DirEntry* e = walker.entry(i);
        if (!e) continue;
        if (!opened || e->folder() != openPath) {
            plat::closeFolder(open);
            openPath.assign(e->folder());
            open = plat::openFolder(openPath.c_str());
            opened = true;
        }
        if (!open || !plat::removeFileIn(open, e->name())) removeFile(e->path());
    }
    plat::closeFolder(open);
}

}  // namespace

// A fixed disk's root, also when spelt another way ("//", "/.", "C:\.", a link to it):
// removing it would wipe the disk.
bool isFixedDiskRoot(const std::string& path) {
    if (path.size() >= 2 && path.size() <= 3 && path[1] == ':') {
        const char drive[3] = {path[0], ':', '\0'};
        if (plat::driveType(drive) == plat::kDriveFixed) return true;
    }
    std::string root = volumeRootOf(path);
    if (root.empty()) return false;
    plat::FileId entryId, rootId;
    if (!plat::fileIdentity(path.c_str(), entryId) || !plat::fileIdentity(root.c_str(), rootId))
        return false;
    return entryId == rootId && plat::driveType(root.c_str()) == plat::kDriveFixed;
}

// ---- listings --------------------------------------------------------------------

int32_t DirWalker::listFolderFiles(std::string folder, int32_t start, int32_t depth) {
    completeDriveRoot(folder);
    if (start != entries_.count()) return 0;
    std::vector<DirEntry> files, none;
    if (!scanFolder(folder, depth, &entries_, files, nullptr, none) ||
        !appendEntries(entries_, files)) {
        entries_.free();
        return 0;
    }
    return static_cast<int32_t>(files.size());
}

int32_t DirWalker::listFolderSubfolders(std::string folder) {
    completeDriveRoot(folder);
    std::vector<DirEntry> none, folders;
    if (!scanFolder(folder, 0, nullptr, none, &entries_, folders) ||
        !appendEntries(entries_, folders)) {
        entries_.free();
        return 0;
    }
    return static_cast<int32_t>(folders.size());
}

int32_t DirWalker::listTreeFiles(std::string root) {
    completeDriveRoot(root);
    int32_t before = entries_.count();
    bool failed = false;
    listTreeLevel(root, 0, failed);
    if (failed) {
        // The removal must not act on paths that were not stored: nothing is listed.
        entries_.free();
        return 0;
    }
    return entries_.count() - before;
}

// Each subfolder's tree before the folder's own files; a link to a folder is not
// entered, so a listing never leaves the tree.
int32_t DirWalker::listTreeLevel(const std::string& folder, int32_t depth, bool& failed) {
    EntryList folderTexts;
    std::vector<DirEntry> files, folders;
    if (!scanFolder(folder, depth, &entries_, files, &folderTexts, folders)) {
        failed = true;
        return 0;
    }
    int32_t total = 0;
    for (const DirEntry& sub : folders) {
        if (sub.isLink()) continue;
        total += listTreeLevel(sub.path(), depth + 1, failed);
        if (failed) return 0;
    }
    if (!appendEntries(entries_, files)) {
        failed = true;
        return 0;
    }
    return total + static_cast<int32_t>(files.size());
}

// ---- removal ---------------------------------------------------------------------

int32_t DirWalker::removeTree(std::string path) {
    completeDriveRoot(path);
    if (!folderExists(path)) return 0;
    if (isFixedDiskRoot(path)) return 1;
    if (isLinkAttr(plat::getAttributes(path.c_str()))) {
        // The tree is the link itself: what it points to is somebody else's.
        plat::removeFolder(path.c_str());
        return 0;
    }

    // Files first (deepest folders first), then the folders below the top one, each
    // after its subfolders, then the top folder: the phases never interleave.
    entries_.free();
    RemovalListing listing(entries_);
    const bool listed = listing.list(path);
    if (!listed) entries_.free();  // paths that were not all stored are not acted on
    const int32_t n = entries_.count();
    deleteListedFiles(*this, n);
    entries_.free();

    if (listed) {
        for (const RemovalListing::Folder& sub : listing.folders()) {
            if (plat::removeFolder(sub.path) || sub.isLink) continue;
            removeFolders(sub.path);  // something kept it: cleared attributes, listed again
        }
    } else {
        DirWalker level;
        const int32_t m = level.listFolderSubfolders(path);
        for (int32_t i = 0; i < m; ++i)
            if (const DirEntry* sub = level.entry(i)) removeListedFolder(*sub);
        level.reset();
    }
    removeFolders(path);
    return n;
}

bool removeFile(const std::string& path) {
    if (!isLongPath(path)) return deleteFileHere(path);

    // The long-path rule: from inside the file's folder, by its bare name.
    size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return deleteFileHere(path);
    std::string folder = path.substr(0, cut == 0 ? 1 : cut);
    completeDriveRoot(folder);  // "C:" alone would mean the drive's current folder
    // The raw last component: a name ending in a dot must not lose it and name
    // another file.
    std::string name = path.substr(cut + 1);
    std::string saved = getCurrentFolder();
    if (saved.empty()) return deleteFileHere(path);  // no way back: stay here
    bool gone;
    if (changeToFolder(folder) == 0) {
        gone = deleteFileHere(name);
    } else {
        // Not in the file's folder: a file of that name here is a different one.
        gone = !fileExists(path);
    }
    changeToFolder(saved);
    return gone;
}

bool removeFolders(std::string path) {
    completeDriveRoot(path);
    if (!folderExists(path)) return true;
    if (isFixedDiskRoot(path)) return false;
    if (isLinkAttr(plat::getAttributes(path.c_str()))) {
        plat::removeFolder(path.c_str());
        return !folderExists(path);
    }
    plat::setAttributes(path.c_str(), 0);
    plat::removeFolder(path.c_str());
    if (!folderExists(path)) return true;

    DirWalker level;
    const int32_t m = level.listFolderSubfolders(path);
    for (int32_t i = 0; i < m; ++i)
        if (const DirEntry* sub = level.entry(i)) removeListedFolder(*sub);
    level.reset();
    plat::removeFolder(path.c_str());
    return !folderExists(path);
}
