// The OS layer on POSIX: Windows find semantics over opendir/readdir and stat.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/platform.h"

namespace plat {

namespace {

int64_t toNs(const struct timespec& ts) {
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

int32_t toSeconds32(int64_t ns) {
    if (ns == kNoExactTime) return kNoTime;
    int64_t s = ns >= 0 ? ns / 1000000000LL : -((-ns + 999999999LL) / 1000000000LL);
    if (s < 0 || s > INT32_MAX) return kNoTime;
    return static_cast<int32_t>(s);
}

bool isDotName(const char* name) { return name[0] == '.' && name[0] != '\0'; }

uint32_t attributesOf(const char* name, mode_t mode, bool isLink) {
    uint32_t a = 0;
    if (S_ISDIR(mode)) {
        a |= kAttrFolder;
    } else {
        a |= kAttrArchive;
    }
    if (!(mode & S_IWUSR)) a |= kAttrReadOnly;
    if (isDotName(name) && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
        a |= kAttrHidden;
    if (isLink) a |= kAttrReparsePoint;
    a |= static_cast<uint32_t>(mode & 07777) << 16;
    return a;
}

const char* lastComponent(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

void fillTimesAndName(const char* name, FindData& out) {
    out.lastWriteTime = toSeconds32(out.lastWriteNs);
    out.lastAccessTime = toSeconds32(out.lastAccessNs);
    out.creationTime = toSeconds32(out.creationNs);
    std::strncpy(out.name, name, sizeof out.name - 1);
}

// Find data from what stat delivered (no creation time there).
void fillFromStat(const char* name, const struct stat& st, bool isLink, FindData& out) {
    out = FindData{};
    out.attributes = attributesOf(name, st.st_mode, isLink);
    out.fullSize = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    out.size = static_cast<uint32_t>(out.fullSize);
    out.lastWriteNs = toNs(st.st_mtim);
    out.lastAccessNs = toNs(st.st_atim);
    fillTimesAndName(name, out);
}

// The way without statx: lstat, stat for a link, and no creation time.
bool describeByStat(const std::string& fullPath, const char* name, FindData& out) {
    struct stat lst;
    if (lstat(fullPath.c_str(), &lst) != 0) return false;
    bool isLink = S_ISLNK(lst.st_mode);
    struct stat st = lst;
    if (isLink && stat(fullPath.c_str(), &st) != 0) st = lst;
    fillFromStat(name, st, isLink, out);
    return true;
}

#if defined(STATX_BTIME)
int64_t toNs(const struct statx_timestamp& ts) {
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Set once a statx call has answered ENOSYS (an old kernel): the stat way from then on.
bool statxMissing = false;

constexpr unsigned kStatxMask =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;

void fromStatx(const struct statx& sx, const char* name, bool isLink, bool withBirth,
               FindData& out) {
    out = FindData{};
    out.attributes = attributesOf(name, sx.stx_mode, isLink);
    out.fullSize = S_ISDIR(sx.stx_mode) ? 0 : static_cast<uint64_t>(sx.stx_size);
    out.size = static_cast<uint32_t>(out.fullSize);
    out.lastWriteNs = toNs(sx.stx_mtime);
    out.lastAccessNs = toNs(sx.stx_atime);
    if (withBirth && (sx.stx_mask & STATX_BTIME)) out.creationNs = toNs(sx.stx_btime);
    fillTimesAndName(name, out);
}
#endif

// Describes one entry; false when it cannot be described at all. A link is followed;
// a dangling link is described by itself. One statx answers everything, the creation
// time included, for all but links; describing is what a listing does per entry.
bool describe(const std::string& fullPath, const char* name, FindData& out) {
#if defined(STATX_BTIME)
    if (!statxMissing) {
        struct statx sx;
        if (statx(AT_FDCWD, fullPath.c_str(), AT_SYMLINK_NOFOLLOW, kStatxMask, &sx) != 0) {
            // A missing entry is the common answer and final; anything unusual (no
            // statx in the kernel, a filter that refuses it) is asked the old way.
            if (errno == ENOENT || errno == ENOTDIR) return false;
            if (errno == ENOSYS) statxMissing = true;
            return describeByStat(fullPath, name, out);
        }
        const bool isLink = S_ISLNK(sx.stx_mode);
        bool linked = false;
        if (isLink) {
            struct statx target;
            if (statx(AT_FDCWD, fullPath.c_str(), 0, kStatxMask, &target) == 0) {
                sx = target;
                linked = true;
            }
        }
        // A dangling link has no target to be born; the link's own birth is not asked.
        fromStatx(sx, name, isLink, !isLink || linked, out);
        return true;
    }
#endif
    return describeByStat(fullPath, name, out);
}

// Windows wildcard matching: '*' any run, '?' one character; "*.*" matches every name.
bool wildcardMatch(const char* pattern, const char* name) {
    if (std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0) return true;
    const char* p = pattern;
    const char* n = name;
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*n) {
        if (*p == '?' || *p == *n) {
            ++p;
            ++n;
        } else if (*p == '*') {
            star = p++;
            resume = n;
        } else if (star) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*' || (*p == '.' && p[1] == '*')) p += (*p == '*') ? 1 : 2;
    return *p == '\0';
}

NetworkApi* overrideApi = nullptr;

unsigned long noConnection(const char*, char* remote, unsigned long*) {
    if (remote) remote[0] = '\0';
    return kErrorNotConnected;
}
unsigned long noAdd(const char*, const char*, unsigned long) { return kErrorNotConnected; }
const NetworkApi kPosixNetwork{noConnection, noAdd};
NetworkApi currentOverride{};

}  // namespace

struct FindState {
    DIR* dir = nullptr;          // null: a single-entry search, already delivered
    std::string folder;          // folder with trailing '/' ("" for the current one)
    std::string pattern;         // last component of the pattern
};

static bool nextMatch(FindState* s, FindData& out) {
    if (!s->dir) return false;
    while (struct dirent* e = readdir(s->dir)) {
        if (!wildcardMatch(s->pattern.c_str(), e->d_name)) continue;
        if (describe(s->folder + e->d_name, e->d_name, out)) return true;
    }
    return false;
}

FindHandle findFirst(const char* pattern, FindData& out) {
    if (!pattern || !*pattern) return nullptr;
    std::string path(pattern);
    const char* last = lastComponent(path.c_str());
    std::string folder = path.substr(0, static_cast<size_t>(last - path.c_str()));
    std::string component(last);
    if (component.find_first_of("*?") == std::string::npos) {
        // No wildcard: that one entry. A trailing separator names the folder itself.
        std::string target = path;
        while (target.size() > 1 && target.back() == '/') target.pop_back();
        const char* name = lastComponent(target.c_str());
        if (!describe(target, *name ? name : target.c_str(), out)) return nullptr;
        auto* s = new FindState;
        return s;
    }
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return nullptr;
    auto* s = new FindState{dir, folder, component};
    if (!nextMatch(s, out)) {
        closedir(dir);
        delete s;
        return nullptr;
    }
    return s;
}

bool findNext(FindHandle handle, FindData& out) { return handle && nextMatch(handle, out); }

void findClose(FindHandle handle) {
    if (!handle) return;
    if (handle->dir) closedir(handle->dir);
    delete handle;
}

uint32_t getAttributes(const char* path) {
    FindData d;
    std::string p(path);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (!describe(p, lastComponent(p.c_str()), d)) return kAttrInvalid;
    return d.attributes;
}

namespace {

// The permission bits an attribute value asks for, given the entry's current mode.
mode_t modeFor(uint32_t attributes, mode_t current) {
    if (attributes >> 16) return static_cast<mode_t>(attributes >> 16) & 07777;
    // "None": make the entry writable (and a folder enterable) so it can be overwritten
    // or removed; read-only asks for the owner's write bit to go.
    mode_t mode = current & 07777;
    if (attributes & kAttrReadOnly) {
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else {
        mode |= S_IWUSR;
        if (S_ISDIR(current)) mode |= S_IRUSR | S_IXUSR;
    }
    return mode;
}

void fillTime(struct timespec& t, int64_t ns) {
    if (ns == kNoExactTime) {
        t.tv_sec = 0;
        t.tv_nsec = UTIME_OMIT;
        return;
    }
    int64_t sec = ns / 1000000000LL;
    int64_t rest = ns % 1000000000LL;
    if (rest < 0) {
        rest += 1000000000LL;
        --sec;
    }
    t.tv_sec = static_cast<time_t>(sec);
    t.tv_nsec = static_cast<long>(rest);
}

}  // namespace

bool setAttributes(const char* path, uint32_t attributes) {
    struct stat st;
    if (stat(path, &st) != 0) return false;
    const mode_t mode = modeFor(attributes, st.st_mode);
    if ((st.st_mode & 07777) == mode) return true;
    return chmod(path, mode) == 0;
}

bool setFileTimes(const char* path, int64_t, int64_t lastAccessNs, int64_t lastWriteNs) {
    struct timespec ts[2];
    fillTime(ts[0], lastAccessNs);
    fillTime(ts[1], lastWriteNs);
    return utimensat(AT_FDCWD, path, ts, 0) == 0;
}

FILE* openFile(const char* path, const char* mode) {
    if (mode[0] != 'r') return std::fopen(path, mode);
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    // Blocking again: a pipe with a writer is read to its end, one without is empty.
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FILE* file = fdopen(fd, mode);
    if (!file) close(fd);
    return file;
}

bool describeOpenFile(FILE* file, const char* name, FindData& out) {
    const int fd = fileno(file);
    if (fd < 0) return false;
#if defined(STATX_BTIME)
    struct statx sx;
    if (!statxMissing && statx(fd, "", AT_EMPTY_PATH, kStatxMask, &sx) == 0) {
        fromStatx(sx, name, false, true, out);
        return true;
    }
#endif
    struct stat st;
    if (fstat(fd, &st) != 0) return false;
    fillFromStat(name, st, false, out);
    return true;
}

bool setOpenFileTimes(FILE* file, int64_t, int64_t lastAccessNs, int64_t lastWriteNs) {
    const int fd = fileno(file);
    if (fd < 0 || std::fflush(file) != 0) return false;
    struct timespec ts[2];
    fillTime(ts[0], lastAccessNs);
    fillTime(ts[1], lastWriteNs);
    return futimens(fd, ts) == 0;
}

bool setOpenFileAttributes(FILE* file, uint32_t attributes) {
    const int fd = fileno(file);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) return false;
    const mode_t mode = modeFor(attributes, st.st_mode);
    if ((st.st_mode & 07777) == mode) return true;
    return fchmod(fd, mode) == 0;
}

bool makeFolder(const char* path) { return mkdir(path, 0777) == 0; }

bool removeFolder(const char* path) {
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) return unlink(path) == 0;
    return rmdir(path) == 0;
}

// POSIX reports every link as one; nothing lists as a plain file and leads elsewhere.
bool leadsElsewhere(const char*) { return false; }

bool removeFileEntry(const char* path) {
    struct stat st;
    if (lstat(path, &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) return false;
    return unlink(path) == 0;
}

bool currentFolder(char* out, size_t size) {
    if (size == 0) return false;
    out[0] = '\0';
    if (!getcwd(out, size)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

int changeFolder(const char* path) { return chdir(path) == 0 ? 0 : -1; }

bool selectDrive(int) { return false; }

int driveType(const char* root) {
    if (root && std::strcmp(root, "/") == 0) return kDriveFixed;
    return kDriveNoRootDir;
}

bool fileIdentity(const char* path, FileId& out) {
    struct stat st;
    if (stat(path, &st) != 0) return false;
    out.volume = static_cast<uint64_t>(st.st_dev);
    out.index = static_cast<uint64_t>(st.st_ino);
    return true;
}

const NetworkApi& network() { return overrideApi ? *overrideApi : kPosixNetwork; }

void setNetworkApi(const NetworkApi* api) {
    if (api) {
        currentOverride = *api;
        overrideApi = &currentOverride;
    } else {
        overrideApi = nullptr;
    }
}

int64_t currentCalendarTime() { return static_cast<int64_t>(::time(nullptr)); }

bool localBreakdown(int64_t calendarTime, LocalTime& out) {
    time_t t = static_cast<time_t>(calendarTime);
    struct tm tmv;
    if (!localtime_r(&t, &tmv)) return false;
    out.year = tmv.tm_year;
    out.month = tmv.tm_mon;
    out.day = tmv.tm_mday;
    out.hour = tmv.tm_hour;
    out.minute = tmv.tm_min;
    out.second = tmv.tm_sec;
    out.weekday = tmv.tm_wday;
    return true;
}

int readKey() {
    fflush(stdout);
    unsigned char c;
    if (isatty(STDIN_FILENO)) {
        struct termios old;
        if (tcgetattr(STDIN_FILENO, &old) == 0) {
            struct termios raw = old;
            raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
            raw.c_cc[VMIN] = 1;
            raw.c_cc[VTIME] = 0;
            tcsetattr(STDIN_FILENO, TCSANOW, &raw);
            ssize_t n = read(STDIN_FILENO, &c, 1);
            tcsetattr(STDIN_FILENO, TCSANOW, &old);
            return n == 1 ? c : -1;
        }
    }
    ssize_t n;
    do {
        n = read(STDIN_FILENO, &c, 1);
    } while (n < 0 && errno == EINTR);
    return n == 1 ? c : -1;
}

ContentCopy copyFileContent(FILE* from, FILE* to) {
    if (std::fflush(to) != 0) return ContentCopy::Failed;
    const int in = fileno(from);
    const int out = fileno(to);
    if (in < 0 || out < 0) return ContentCopy::NotSupported;
    // Large pieces, so that a file of 4 GiB and more needs only a few calls; each call
    // moves the two descriptors' positions, which the streams read and write from.
    constexpr size_t kPiece = size_t{1} << 30;
    bool copiedAny = false;
    for (;;) {
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, kPiece, 0);
        if (n > 0) {
            copiedAny = true;
            continue;
        }
        // Nothing at the first call may be an empty file, or one whose size the system
        // does not know (such as /proc's); the block loop reads it to its real end.
        if (n == 0) return copiedAny ? ContentCopy::Copied : ContentCopy::NotSupported;
        if (errno == EINTR) continue;
        if (errno == EIO || errno == ENOSPC || errno == EDQUOT || errno == EFBIG)
            return ContentCopy::Failed;
        // Another file system, a device, a filter refusing the call, ...: the block loop
        // takes over and meets any real fault itself.
        return ContentCopy::NotSupported;
    }
}

bool startUp() {
    // Paths are byte strings; the C locale keeps case conversion and output byte-exact.
    return true;
}

}  // namespace plat

// ---- Tree removal: a folder's entries by name and kind, deleted relative to it ----
namespace plat {

struct OpenFolderState {
    DIR* dir;
};

OpenFolder openFolder(const char* path) {
    DIR* dir = opendir(*path ? path : ".");
    return dir ? new OpenFolderState{dir} : nullptr;
}

const char* readFolder(OpenFolder folder, EntryKind& kind) {
    if (!folder) return nullptr;
    const int fd = dirfd(folder->dir);
    while (struct dirent* e = readdir(folder->dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        unsigned char type = e->d_type;
        struct stat st;
        if (type == DT_UNKNOWN) {
            // Not every file system tells the kind in the listing.
            if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR) {
            kind = EntryKind::Folder;
        } else if (type == DT_LNK) {
            // As the find data tells it: a link to a folder counts with the folders.
            kind = fstatat(fd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)
                       ? EntryKind::FolderLink
                       : EntryKind::FileLink;
        } else {
            kind = EntryKind::File;
        }
        return e->d_name;
    }
    return nullptr;
}

// unlinkat without AT_REMOVEDIR never removes a folder.
bool removeFileIn(OpenFolder folder, const char* name) {
    return folder && unlinkat(dirfd(folder->dir), name, 0) == 0;
}

void closeFolder(OpenFolder folder) {
    if (!folder) return;
    closedir(folder->dir);
    delete folder;
}

}  // namespace plat
