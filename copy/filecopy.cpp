#include "copy/filecopy.h"

#include <cstdio>
#include <new>

#include "fs/fileops.h"
#include "fs/paths.h"
#include "platform/platform.h"

namespace {

constexpr size_t kBlockSize = 100000;

// One side of a copy. A long path is used by its bare name from inside its folder; a
// short one by its full text from the folder at entry, so a relative path keeps its
// meaning while the other side is long.
struct Side {
    std::string full;
    bool isLong = false;
    std::string folder;
    std::string work;
};

// Keeps track of the current folder while a side is long and restores the one at entry
// on every exit.
class FolderSwitch {
public:
    FolderSwitch(const Side& source, const Side& target)
        : active_(source.isLong || target.isLong) {
        if (active_) saved_ = getCurrentFolder();
    }
    ~FolderSwitch() {
        if (active_ && where_ != nullptr) changeToFolder(saved_);
    }
    FolderSwitch(const FolderSwitch&) = delete;
    FolderSwitch& operator=(const FolderSwitch&) = delete;

    // Without a folder at entry there is no way back: a long side is then not touched.
    bool usable() const { return !active_ || !saved_.empty(); }

    // Makes the side's work name valid. Always passes through the folder at entry, so a
    // relative folder of either side is reached from where the call began.
    bool enter(const Side& side) {
        if (!active_ || where_ == &side) return true;
        if (where_ != nullptr && changeToFolder(saved_) != 0) return false;
        where_ = nullptr;
        if (side.isLong && changeToFolder(side.folder) != 0) return false;
        where_ = &side;
        return true;
    }

private:
    bool active_;
    std::string saved_;
    const Side* where_ = nullptr;  // the side whose folder is current; null: the one at entry
};

Side makeSide(const std::string& path) {
    Side s;
    s.full = path;
    s.isLong = isLongPath(path);
    if (s.isLong) {
        s.folder = folderOf(path);
        s.work = fileNameOf(path);
    } else {
        s.work = path;
    }
    return s;
}

// A missing time takes the last-write time, as the find data of a file on a volume
// without creation or access times suggests.
int64_t orWriteTime(int64_t ns, int64_t writeNs) { return ns == plat::kNoExactTime ? writeNs : ns; }

// Attribute bits that describe the entry rather than settable state.
uint32_t settableAttributes(uint32_t attributes) {
    return attributes & ~(plat::kAttrFolder | plat::kAttrReparsePoint);
}

}  // namespace

CopyResult copyOneFile(const std::string& sourcePath, const std::string& targetPath) {
    // A path beyond the capacity would have to be cut and would then name another file.
    if (sourcePath.size() > kMaxPathText || targetPath.size() > kMaxPathText) return CopyFailed;

    const Side source = makeSide(sourcePath);
    const Side target = makeSide(targetPath);
    FolderSwitch folders(source, target);
    if (!folders.usable()) return CopyFailed;

    // The walker created the target's folder; a long one is made once more here because
    // its creation works on the full text and may have needed the parents first.
    if (target.isLong) makeFolderPath(target.folder);

    if (!folders.enter(source)) return SourceMissing;
    // The source is opened first and described through the open stream, which spares a
    // second lookup of its path; only a failed open asks whether it is there at all.
    // Where the system cannot describe an open file, the source is found first, as its
    // open may move the access time the search would show. Either way it is opened
    // before the target is touched, so a source that cannot be read leaves an existing
    // target exactly as it was.
    plat::FindData found;
    FILE* in = nullptr;
    bool described = false;
    if (plat::kDescribesOpenFiles) {
        in = openWithReconnect(source.work, "rb");
        described = in != nullptr &&
                    plat::describeOpenFile(in, fileNameOf(source.work).c_str(), found);
    }
    if (!described) {
        plat::FindHandle search = plat::findFirst(source.work.c_str(), found);
        if (search == nullptr) {
            if (in != nullptr) std::fclose(in);
            return SourceMissing;
        }
        plat::findClose(search);
    }
    // A folder of that name is no file to copy; where it can be helped, it is never
    // opened as one.
    if (found.attributes & plat::kAttrFolder) {
        if (in != nullptr) std::fclose(in);
        return CopyFailed;
    }
    if (in == nullptr && !plat::kDescribesOpenFiles) in = openWithReconnect(source.work, "rb");
    if (in == nullptr) return CopyFailed;

    // Times of the source as they were before its content was read: a file changed while
    // it is copied then looks newer than its copy, and the next run copies it again.
    const int64_t writeNs = found.lastWriteNs;
    const int64_t accessNs = orWriteTime(found.lastAccessNs, writeNs);
    const int64_t creationNs = orWriteTime(found.creationNs, writeNs);
    const uint32_t sourceAttributes = found.attributes;

    char* buffer = new (std::nothrow) char[kBlockSize];
    if (buffer == nullptr) {
        std::fclose(in);
        return CopyFailed;
    }
    struct BufferRelease {
        char* p;
        ~BufferRelease() { delete[] p; }
    } release{buffer};

    if (!folders.enter(target)) {
        std::fclose(in);
        return CopyFailed;
    }
    FILE* out = openWithReconnect(target.work, "wb");
    if (out == nullptr) {
        // A read-only, hidden or system target refuses to be overwritten until its
        // attributes are cleared; a folder of that name keeps them and fails.
        const uint32_t existing = plat::getAttributes(target.work.c_str());
        if (existing != plat::kAttrInvalid && !(existing & plat::kAttrFolder) &&
            (existing & (plat::kAttrReadOnly | plat::kAttrHidden | plat::kAttrSystem))) {
            plat::setAttributes(target.work.c_str(), 0);
            out = openWithReconnect(target.work, "wb");
        }
    }
    if (out == nullptr) {
        std::fclose(in);
        return CopyFailed;
    }
    // The blocks go straight between the buffer and the files, without a second copy
    // through the streams' own buffers.
    std::setvbuf(in, nullptr, _IONBF, 0);
    std::setvbuf(out, nullptr, _IONBF, 0);

    // Both streams stay open to the end: an open stream does not depend on the current
    // folder. The content is read to its end, whatever size the listing showed. The
    // system copies it itself where it can; the block loop does the rest.
    const plat::ContentCopy fast = plat::copyFileContent(in, out);
    bool ok = fast != plat::ContentCopy::Failed;
    while (fast == plat::ContentCopy::NotSupported) {
        size_t got = std::fread(buffer, 1, kBlockSize, in);
        if (got > 0 && std::fwrite(buffer, 1, got, out) != got) {
            ok = false;
            break;
        }
        if (got < kBlockSize) {
            ok = !std::ferror(in);
            break;
        }
    }
    std::fclose(in);
    // Times before attributes: a read-only target could not be opened for its times.
    // Where the system allows it they are set through the open target (nothing is
    // written after them), else by its name once it is closed.
    const bool setTimes = writeNs != plat::kNoExactTime;
    const bool setAttributes = sourceAttributes != plat::kAttrInvalid;
    const uint32_t targetAttributes = settableAttributes(sourceAttributes);
    bool timesDone = !ok || !setTimes || plat::setOpenFileTimes(out, creationNs, accessNs, writeNs);
    bool attributesDone = !ok || !setAttributes || (timesDone && plat::setOpenFileAttributes(out, targetAttributes));
    // Closing writes the last buffered bytes: a full disk may show only here.
    if (std::fclose(out) != 0) ok = false;
    if (!ok) {
        std::remove(target.work.c_str());
        return CopyFailed;
    }
    if (!timesDone) plat::setFileTimes(target.work.c_str(), creationNs, accessNs, writeNs);
    if (!attributesDone) plat::setAttributes(target.work.c_str(), targetAttributes);

    plat::FindData check;
    plat::FindHandle probe = plat::findFirst(target.work.c_str(), check);
    if (probe == nullptr) return CopyFailed;
    plat::findClose(probe);
    return Copied;
}
