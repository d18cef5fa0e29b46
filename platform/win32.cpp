// The OS layer on Win32: the find, attribute, time, folder, drive and network services
// of the system, in the terms the rest of the program uses.
#include <windows.h>
#include <winnetwk.h>

#include <conio.h>
#include <direct.h>
#include <time.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace plat {

namespace {

// FILETIME counts 100-ns intervals since 1601-01-01 UTC.
constexpr int64_t kTicksTo1970 = 116444736000000000LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

uint64_t ticksOf(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// A zero FILETIME is "not known"; times outside the nanosecond range are as well.
int64_t toNs(const FILETIME& ft) {
    uint64_t ticks = ticksOf(ft);
    if (ticks == 0) return kNoExactTime;
    int64_t since1970 = static_cast<int64_t>(ticks > static_cast<uint64_t>(INT64_MAX)
                                                 ? INT64_MAX
                                                 : ticks) -
                        kTicksTo1970;
    if (since1970 > INT64_MAX / 100 || since1970 < (INT64_MIN + 100) / 100) return kNoExactTime;
    return since1970 * 100;
}

int32_t toSeconds32(const FILETIME& ft) {
    uint64_t ticks = ticksOf(ft);
    if (ticks == 0 || ticks < static_cast<uint64_t>(kTicksTo1970)) return kNoTime;
    uint64_t seconds = (ticks - static_cast<uint64_t>(kTicksTo1970)) / kTicksPerSecond;
    if (seconds > static_cast<uint64_t>(INT32_MAX)) return kNoTime;
    return static_cast<int32_t>(seconds);
}

// False for a time before 1601, which a FILETIME cannot hold.
bool toFileTime(int64_t ns, FILETIME& out) {
    int64_t ticks = ns / 100;
    if (ns % 100 < 0) --ticks;  // round towards the past, as the seconds do
    if (ticks < -kTicksTo1970) return false;
    uint64_t value = static_cast<uint64_t>(ticks + kTicksTo1970);
    out.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
    out.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return true;
}

void fillCommon(DWORD attributes, const FILETIME& created, const FILETIME& accessed,
                const FILETIME& written, DWORD sizeHigh, DWORD sizeLow, FindData& out) {
    out = FindData{};
    out.attributes = attributes;
    out.creationTime = toSeconds32(created);
    out.lastAccessTime = toSeconds32(accessed);
    out.lastWriteTime = toSeconds32(written);
    out.creationNs = toNs(created);
    out.lastAccessNs = toNs(accessed);
    out.lastWriteNs = toNs(written);
    out.size = sizeLow;
    out.fullSize = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
}

void fill(const WIN32_FIND_DATAA& w, FindData& out) {
    fillCommon(w.dwFileAttributes, w.ftCreationTime, w.ftLastAccessTime, w.ftLastWriteTime,
               w.nFileSizeHigh, w.nFileSizeLow, out);
    static_assert(sizeof out.name >= sizeof w.cFileName);
    std::memcpy(out.name, w.cFileName, sizeof w.cFileName);
    out.name[sizeof out.name - 1] = '\0';
}

void fill(const WIN32_FIND_DATAW& w, FindData& out) {
    fillCommon(w.dwFileAttributes, w.ftCreationTime, w.ftLastAccessTime, w.ftLastWriteTime,
               w.nFileSizeHigh, w.nFileSizeLow, out);
    // The same code page conversion the ANSI functions make.
    int n = WideCharToMultiByte(CP_ACP, 0, w.cFileName, -1, out.name,
                                static_cast<int>(sizeof out.name), nullptr, nullptr);
    if (n <= 0) out.name[0] = '\0';
    out.name[sizeof out.name - 1] = '\0';
}

// The ANSI functions stop at MAX_PATH characters (CreateDirectoryA 12 earlier), but the
// folder listings, removals and creations work on full path texts, which a deep archive
// tree makes longer. Such paths go to the wide functions as "\\?\" paths, made
// absolute and normalised first because that form is taken literally.
constexpr size_t kLongFrom = MAX_PATH - 12;

bool isLong(const char* path) { return std::strlen(path) >= kLongFrom; }

std::wstring longForm(const char* path) {
    int n = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n - 1));
    if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (need == 0) return {};
    std::wstring full(need, L'\0');
    DWORD got = GetFullPathNameW(wide.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return {};
    full.resize(got);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

unsigned long realGetConnection(const char* localName, char* remote, unsigned long* length) {
    DWORD room = static_cast<DWORD>(*length);
    DWORD rc = WNetGetConnectionA(localName, remote, &room);
    *length = room;
    return rc;
}

unsigned long realAddConnection(const char* localName, const char* remoteName,
                                unsigned long flags) {
    NETRESOURCEA resource{};
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpLocalName = const_cast<char*>(localName);
    resource.lpRemoteName = const_cast<char*>(remoteName);
    // No password and no user name: the current user's credentials are used.
    return WNetAddConnection2A(&resource, nullptr, nullptr, static_cast<DWORD>(flags));
}

const NetworkApi kRealNetwork{realGetConnection, realAddConnection};
NetworkApi currentOverride{};
const NetworkApi* activeNetwork = &kRealNetwork;

// Opens an existing file or folder (folders need backup semantics) for the given access.
HANDLE openEntry(const char* path, DWORD access, DWORD share) {
    constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS;
    if (isLong(path)) {
        return CreateFileW(longForm(path).c_str(), access, share, nullptr, OPEN_EXISTING, kFlags,
                           nullptr);
    }
    return CreateFileA(path, access, share, nullptr, OPEN_EXISTING, kFlags, nullptr);
}

// The resolved path of an open entry; empty when the system cannot tell.
std::wstring finalPathOf(const char* path, DWORD extraFlags) {
    std::wstring wide = longForm(path);
    if (wide.empty()) return {};
    HANDLE h = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | extraFlags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::wstring result(1024, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, result.data(), static_cast<DWORD>(result.size()), 0);
    if (n >= result.size()) {
        result.assign(n + 1, L'\0');
        n = GetFinalPathNameByHandleW(h, result.data(), static_cast<DWORD>(result.size()), 0);
    }
    CloseHandle(h);
    if (n == 0 || n >= result.size()) return {};
    result.resize(n);
    return result;
}

bool sameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool leadsElsewhere(const char* path) {
    // A link to a file can list as a plain file (without the reparse-point bit) where the
    // file system only emulates Windows; deleting or unlocking it would then act on the
    // file it points to. Its resolved path then lies outside its own folder.
    std::string text(path);
    size_t cut = text.find_last_of("\\/");
    std::string folder = cut == std::string::npos ? std::string(".") : text.substr(0, cut + 1);
    std::wstring self = finalPathOf(path, FILE_FLAG_OPEN_REPARSE_POINT);
    std::wstring parent = finalPathOf(folder.c_str(), 0);
    if (self.empty() || parent.empty()) return false;
    std::wstring name = longForm(path);
    size_t nameCut = name.find_last_of(L"\\/");
    name = nameCut == std::wstring::npos ? name : name.substr(nameCut + 1);
    if (!parent.empty() && parent.back() != L'\\') parent += L'\\';
    return !sameText(self, parent + name);
}

struct FindState {
    HANDLE handle;
    bool wide;  // opened on a long path through the wide functions
};

FindHandle findFirst(const char* pattern, FindData& out) {
    if (!pattern || !*pattern) return nullptr;
    if (isLong(pattern)) {
        WIN32_FIND_DATAW w;
        HANDLE h = FindFirstFileW(longForm(pattern).c_str(), &w);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        fill(w, out);
        return new FindState{h, true};
    }
    WIN32_FIND_DATAA w;
    HANDLE h = FindFirstFileA(pattern, &w);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    fill(w, out);
    return new FindState{h, false};
}

bool findNext(FindHandle handle, FindData& out) {
    if (!handle) return false;
    if (handle->wide) {
        WIN32_FIND_DATAW w;
        if (!FindNextFileW(handle->handle, &w)) return false;
        fill(w, out);
        return true;
    }
    WIN32_FIND_DATAA w;
    if (!FindNextFileA(handle->handle, &w)) return false;
    fill(w, out);
    return true;
}

void findClose(FindHandle handle) {
    if (!handle) return;
    FindClose(handle->handle);
    delete handle;
}

FILE* openFile(const char* path, const char* mode) { return std::fopen(path, mode); }

uint32_t getAttributes(const char* path) {
    if (isLong(path)) return GetFileAttributesW(longForm(path).c_str());
    return GetFileAttributesA(path);
}

bool setAttributes(const char* path, uint32_t attributes) {
    // Only these can be set; the folder and reparse-point bits of a find record are
    // facts about the entry, not settings.
    constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    DWORD value = attributes & kSettable;
    if (value == 0) value = FILE_ATTRIBUTE_NORMAL;
    if (isLong(path)) return SetFileAttributesW(longForm(path).c_str(), value) != 0;
    return SetFileAttributesA(path, value) != 0;
}

bool setFileTimes(const char* path, int64_t creationNs, int64_t lastAccessNs,
                  int64_t lastWriteNs) {
    // The times go on as UTC: no detour through local file time, whose conversion uses
    // today's daylight-saving bias and would shift files from the other season.
    FILETIME times[3];
    const FILETIME* use[3] = {nullptr, nullptr, nullptr};
    const int64_t ns[3] = {creationNs, lastAccessNs, lastWriteNs};
    for (int i = 0; i < 3; ++i) {
        if (ns[i] == kNoExactTime) continue;
        if (!toFileTime(ns[i], times[i])) return false;
        use[i] = &times[i];
    }
    HANDLE h = openEntry(path, GENERIC_WRITE, FILE_SHARE_READ);
    if (h == INVALID_HANDLE_VALUE) return false;
    BOOL ok = SetFileTime(h, use[0], use[1], use[2]);
    CloseHandle(h);
    return ok != 0;
}

bool makeFolder(const char* path) {
    if (isLong(path)) return CreateDirectoryW(longForm(path).c_str(), nullptr) != 0;
    return CreateDirectoryA(path, nullptr) != 0;
}

// RemoveDirectory removes a junction or a folder link itself, never its target.
bool removeFolder(const char* path) {
    if (isLong(path)) return RemoveDirectoryW(longForm(path).c_str()) != 0;
    return RemoveDirectoryA(path) != 0;
}

bool removeFileEntry(const char* path) {
    if (leadsElsewhere(path)) return false;
    if (isLong(path)) return DeleteFileW(longForm(path).c_str()) != 0;
    return DeleteFileA(path) != 0;
}

bool currentFolder(char* out, size_t size) {
    if (size == 0) return false;
    out[0] = '\0';
    int room = size > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
    if (!_getcwd(out, room)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

int changeFolder(const char* path) { return _chdir(path) == 0 ? 0 : -1; }

bool selectDrive(int driveNumber) {
    if (driveNumber < 1 || driveNumber > 26) return false;
    return _chdrive(driveNumber) == 0;
}

int driveType(const char* root) {
    if (!root) return kDriveNoRootDir;
    // GetDriveTypeA wants the root with its backslash; "C:" alone would name the
    // current folder of that drive.
    char withSlash[4];
    if (std::strlen(root) == 2 && root[1] == ':') {
        withSlash[0] = root[0];
        withSlash[1] = ':';
        withSlash[2] = '\\';
        withSlash[3] = '\0';
        root = withSlash;
    }
    return static_cast<int>(GetDriveTypeA(root));
}

bool fileIdentity(const char* path, FileId& out) {
    HANDLE h = openEntry(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok) return false;
    out.volume = info.dwVolumeSerialNumber;
    out.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

const NetworkApi& network() { return *activeNetwork; }

void setNetworkApi(const NetworkApi* api) {
    if (api) {
        currentOverride = *api;
        activeNetwork = &currentOverride;
    } else {
        activeNetwork = &kRealNetwork;
    }
}

int64_t currentCalendarTime() { return static_cast<int64_t>(_time64(nullptr)); }

bool localBreakdown(int64_t calendarTime, LocalTime& out) {
    // The system's time zone and its daylight-saving rules. The C runtime's localtime
    // is not used: it prefers a TZ variable, which POSIX-style shells set in a form it
    // misreads ("Europe/Berlin" becomes UTC with American daylight-saving dates).
    if (calendarTime < -kTicksTo1970 / kTicksPerSecond ||
        calendarTime > (INT64_MAX - kTicksTo1970) / kTicksPerSecond)
        return false;
    uint64_t ticks = static_cast<uint64_t>(calendarTime * kTicksPerSecond + kTicksTo1970);
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    utc.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME utcParts, local;
    if (!FileTimeToSystemTime(&utc, &utcParts)) return false;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utcParts, &local)) return false;
    out.year = local.wYear - 1900;
    out.month = local.wMonth - 1;
    out.day = local.wDay;
    out.hour = local.wHour;
    out.minute = local.wMinute;
    out.second = local.wSecond;
    out.weekday = local.wDayOfWeek;
    return true;
}

int readKey() {
    std::fflush(stdout);
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    if (in != INVALID_HANDLE_VALUE && in != nullptr && GetConsoleMode(in, &mode))
        return _getch();
    // Standard input is a file or a pipe (a scheduler, a test): one byte, and at the
    // end of the input at once -1 instead of waiting for a console that is not there.
    if (in == INVALID_HANDLE_VALUE || in == nullptr) return -1;
    unsigned char c;
    DWORD got = 0;
    if (!ReadFile(in, &c, 1, &got, nullptr) || got != 1) return -1;
    return c;
}

bool startUp() {
    // A drive without a medium or a disconnected drive must fail quietly instead of
    // stopping an unattended run with a dialog box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    return true;
}

// The block loop of the copy is as fast as Windows offers for a stream.
ContentCopy copyFileContent(FILE*, FILE*) { return ContentCopy::NotSupported; }

// The path is the way on Windows: the find data and the time setting open the file
// themselves, with the sharing and attributes they need.
bool describeOpenFile(FILE*, const char*, FindData&) { return false; }
bool setOpenFileTimes(FILE*, int64_t, int64_t, int64_t) { return false; }
bool setOpenFileAttributes(FILE*, uint32_t) { return false; }

}  // namespace plat

// ---- Tree removal: a folder's entries by name and kind, deleted relative to it ----
// Windows has no cheaper way than the find data and the whole path.
namespace plat {

struct OpenFolderState {
    std::string prefix;  // the folder and a separator ("" for the current folder)
    FindHandle search;
    FindData found;
    bool pending;  // found holds an entry not yet delivered
};

OpenFolder openFolder(const char* path) {
    std::string prefix(path);
    if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
    auto* folder = new OpenFolderState{prefix, nullptr, FindData{}, false};
    folder->search = findFirst((prefix + "*").c_str(), folder->found);
    if (!folder->search) {
        delete folder;
        return nullptr;
    }
    folder->pending = true;
    return folder;
}

const char* readFolder(OpenFolder folder, EntryKind& kind) {
    if (!folder) return nullptr;
    for (;;) {
        if (!folder->pending && !findNext(folder->search, folder->found)) return nullptr;
        folder->pending = false;
        const char* name = folder->found.name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        const bool isFolder = (folder->found.attributes & kAttrFolder) != 0;
        const bool isLink = (folder->found.attributes & kAttrReparsePoint) != 0;
        kind = isFolder ? (isLink ? EntryKind::FolderLink : EntryKind::Folder)
                        : (isLink ? EntryKind::FileLink : EntryKind::File);
        return name;
    }
}

bool removeFileIn(OpenFolder folder, const char* name) {
    return folder && removeFileEntry((folder->prefix + name).c_str());
}

void closeFolder(OpenFolder folder) {
    if (!folder) return;
    findClose(folder->search);
    delete folder;
}

}  // namespace plat
