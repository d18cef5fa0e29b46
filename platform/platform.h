// The OS layer: everything above it is portable code. One implementation per OS
// (win32.cpp, posix.cpp); nothing else includes OS headers.
#pragma once

#include <cstdint>
#include <cstdio>

namespace plat {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr bool kIsWindows = true;
#else
inline constexpr char kPathSeparator = '/';
inline constexpr bool kIsWindows = false;
#endif

// Windows-style attribute flags. On POSIX the low 16 bits carry these flags and the
// high 16 bits the permission bits (mode & 07777).
inline constexpr uint32_t kAttrReadOnly = 0x1;
inline constexpr uint32_t kAttrHidden = 0x2;
inline constexpr uint32_t kAttrSystem = 0x4;
inline constexpr uint32_t kAttrFolder = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrReparsePoint = 0x400;
inline constexpr uint32_t kAttrInvalid = 0xFFFFFFFFu;

// A time the system does not know (or that lies outside the signed 32-bit range).
inline constexpr int32_t kNoTime = -1;
inline constexpr int64_t kNoExactTime = INT64_MIN;

struct FindData {
    uint32_t attributes = 0;
    int32_t creationTime = kNoTime;  // seconds since 1970 UTC, or kNoTime
    int32_t lastAccessTime = kNoTime;
    int32_t lastWriteTime = kNoTime;
    uint32_t size = 0;        // low 32 bits of the size, as the find data delivers it
    uint64_t fullSize = 0;    // the whole size
    // The same three times at full precision (nanoseconds since 1970 UTC), so that a
    // copy can carry them exactly; kNoExactTime where unknown.
    int64_t creationNs = kNoExactTime;
    int64_t lastAccessNs = kNoExactTime;
    int64_t lastWriteNs = kNoExactTime;
    char name[260] = {};
};

struct FindState;
using FindHandle = FindState*;  // nullptr: no search open

// Wildcards (* and ?) in the last component list that folder with Windows matching
// rules ("*.*" matches every name); "." and ".." are delivered. Without wildcards the
// one entry is found. Returns nullptr when nothing matches.
FindHandle findFirst(const char* pattern, FindData& out);
bool findNext(FindHandle handle, FindData& out);
void findClose(FindHandle handle);

// Opens a file as a standard stream (fopen modes). POSIX: reading never waits for a
// pipe's writer (a pipe without one reads as empty) and refuses devices, whose content
// has no end (/dev/zero) or is no file of anybody's.
FILE* openFile(const char* path, const char* mode);

uint32_t getAttributes(const char* path);  // kAttrInvalid on failure
// 0 means "none": the entry can then be overwritten or removed.
bool setAttributes(const char* path, uint32_t attributes);

// Sets the three times of a file (nanoseconds since 1970 UTC); kNoExactTime leaves
// that time as it is. POSIX cannot set a creation time and leaves it.
bool setFileTimes(const char* path, int64_t creationNs, int64_t lastAccessNs,
                  int64_t lastWriteNs);

bool makeFolder(const char* path);
bool removeFolder(const char* path);    // an empty folder, or a link to a folder
bool removeFileEntry(const char* path);  // a file or a link to a file; never what it leads to
// True for a file entry that is in fact a link to a file elsewhere although it lists as
// a plain file (Windows file systems emulated on another OS do this).
bool leadsElsewhere(const char* path);

// Writes the current drive and folder into out (size bytes with terminator); false and
// an empty text when it does not fit.
bool currentFolder(char* out, size_t size);
int changeFolder(const char* path);  // 0 on success, -1 on failure
bool selectDrive(int driveNumber);   // 1 = A:; POSIX has no drives and answers false

inline constexpr int kDriveUnknown = 0;
inline constexpr int kDriveNoRootDir = 1;
inline constexpr int kDriveRemovable = 2;
inline constexpr int kDriveFixed = 3;
inline constexpr int kDriveRemote = 4;
// root as "C:" or "C:\"; on POSIX "/" is a fixed disk's root.
int driveType(const char* root);

// Identity of a file system object (following links), to recognise the same folder
// reached by two paths.
struct FileId {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileId&) const = default;
};
bool fileIdentity(const char* path, FileId& out);

// Network connections, behind a seam that tests replace.
inline constexpr unsigned long kNoError = 0;
inline constexpr unsigned long kErrorConnectionUnavail = 1201;
inline constexpr unsigned long kErrorNotConnected = 2250;
inline constexpr unsigned long kConnectUpdateProfile = 0x1;
struct NetworkApi {
    // WNetGetConnectionA: remote receives the remote name (also the remembered one on
    // kErrorConnectionUnavail); length is the room in remote.
    unsigned long (*getConnection)(const char* localName, char* remote, unsigned long* length);
    // WNetAddConnection2A for a disk resource, no password and user name.
    unsigned long (*addConnection)(const char* localName, const char* remoteName,
                                   unsigned long flags);
};
const NetworkApi& network();
// Replaces the network services (tests); nullptr restores the real ones.
void setNetworkApi(const NetworkApi* api);

// Local breakdown of a calendar time, as struct tm gives it.
struct LocalTime {
    int year;    // years since 1900
    int month;   // 0-11
    int day;     // 1-31
    int hour, minute, second;
    int weekday;  // 0 = Sunday
};
int64_t currentCalendarTime();  // seconds since 1970 UTC
bool localBreakdown(int64_t calendarTime, LocalTime& out);

// One key without echo. At end of input (POSIX) returns at once with -1.
int readKey();

// Copies the rest of an open source stream into an open target stream by the system's
// own means, from where each stream stands (both unbuffered, or flushed). Copied: all
// of the source to its end, whatever size it had when listed. Failed: a read or write
// failed; the target holds a part. NotSupported: the system cannot do it for these two
// files; both stand behind what was copied so far, and the caller goes on with its own
// block loop.
enum class ContentCopy { Copied, Failed, NotSupported };
ContentCopy copyFileContent(FILE* from, FILE* to);

// The same through an open stream, without a second lookup of the path: the entry's
// description (name: its file name, for the hidden flag; a link is described by what it
// leads to), its times as setFileTimes sets them, and its attributes as setAttributes
// sets them. false: not done (also where the system offers no such way); the caller
// then works by the path.
// kDescribesOpenFiles: describeOpenFile works here. Where it does not, the entry is
// described before it is opened: an open on Windows moves the access time the find data
// then shows.
bool describeOpenFile(FILE* file, const char* name, FindData& out);
inline constexpr bool kDescribesOpenFiles = !kIsWindows;
bool setOpenFileTimes(FILE* file, int64_t creationNs, int64_t lastAccessNs, int64_t lastWriteNs);
bool setOpenFileAttributes(FILE* file, uint32_t attributes);

// Start-up of the runtime for the process (console mode, error dialogs off, ...).
bool startUp();

}  // namespace plat

// ---- Tree removal: a folder's entries by name and kind, deleted relative to it ----
// A removal needs no sizes or times: listing by name and kind and deleting by name
// within an open folder spares a lookup of the whole path per file.
namespace plat {

enum class EntryKind : uint8_t {
    File,
    Folder,
    FileLink,    // a link to a file, or one that points nowhere
    FolderLink,  // a symbolic link or junction to a folder
};

struct OpenFolderState;
using OpenFolder = OpenFolderState*;  // nullptr: none

// nullptr when the folder cannot be opened for listing.
OpenFolder openFolder(const char* path);
// The next entry other than "." and ".."; nullptr at the end. The name is valid until
// the next call on the folder.
const char* readFolder(OpenFolder folder, EntryKind& kind);
// Deletes a file or a link (never a folder) named within the folder.
bool removeFileIn(OpenFolder folder, const char* name);
void closeFolder(OpenFolder folder);

}  // namespace plat
