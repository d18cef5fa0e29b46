// Real temporary folder trees for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path in the program's own form (Z:\tmp\... under Wine).
    const std::string& path() const { return path_; }
    // path() joined with a relative name ('/' in rel is turned into the separator).
    std::string operator/(const std::string& rel) const;

private:
    std::string path_;
};

char separator();
std::string joinNative(const std::string& folder, const std::string& rel);
// Writes a file (creating missing parent folders) and reads it back whole.
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
// Sorted names of the subfolders of a folder; empty when it does not exist.
std::vector<std::string> subfolders(const std::string& folder);
void makeDirs(const std::string& path);
// Makes a removal possible again (permissions, attributes) and removes the tree.
void removeAll(const std::string& path);
