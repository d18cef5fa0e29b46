// Paths, drives, network reconnection and the long-path rule.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

inline constexpr size_t kMaxPathText = 599;    // work buffers: 600 bytes
inline constexpr size_t kMaxNameText = 259;    // entry names: 260 bytes
inline constexpr size_t kLongPathLimit = 255;  // more than this is a long path

// Paths longer than 255 characters are handled from inside their folder by bare name.
inline bool isLongPath(const std::string& path) { return path.size() > kLongPathLimit; }

// Accepts both separators; the colon of a drive letter is not one. Always 0.
int splitPath(const std::string& path, std::string& folder, std::string& baseName,
              std::string& extension);
std::string fileNameOf(const std::string& path);
std::string folderOf(const std::string& path);
char driveLetterOf(const std::string& path);  // upper-cased, or '\0'
// Turns a-z into A-Z and leaves every other byte alone, as names are compared.
std::string upperAscii(std::string text);

enum class ReconnectResult { Reconnected = 0, AlreadyConnected = 1, NotReconnected = 2, NoDriveLetter = 3 };
ReconnectResult reconnectDrive(char driveLetter);

// The reconnect rule: a failed open is repeated once, after the remembered network
// connection of the path's drive letter was restored when it has one.
FILE* openWithReconnect(const std::string& path, const char* mode);
// The same rule for any failed lookup: reconnect when the path has a drive letter.
void reconnectForPath(const std::string& path);

// The current drive and folder, or the empty text when it does not fit in 259
// characters.
std::string getCurrentFolder();
int changeToFolder(const std::string& path);  // 0 on success, -1 on failure

// Joins folder and name with the platform separator ("%s\\%s").
std::string joinPath(const std::string& folder, const std::string& name);
