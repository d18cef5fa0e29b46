// The command line of one backup run, and the two small helpers the run applies to
// paths and to the source list file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline constexpr const char* kBannerText = "VAULTIX.EXE V2.0";

// Capacities of the command line; input beyond them is refused, never cut.
inline constexpr size_t kMaxArgumentText = 599;
inline constexpr size_t kMaxSourceText = 299;  // also the target
inline constexpr size_t kMaxSources = 100;
inline constexpr size_t kListLineLimit = 600;  // readTextLine limit for the source list

struct RunOptions {
    std::string errorFilePath;          // empty: no error file
    int32_t archiveFolderLimit = 3;
    bool detailedLog = false;
    bool finalPrompt = true;
    bool permanentCopies = false;
    bool classicScheme = false;
    int32_t fiscalYearStartMonth = 1;
    std::string extraSource;
    std::string sourceListFile;
    std::vector<std::string> sources;   // 1 to 100 paths of at most 299 characters
    std::string targetPath;

    // What the command line asked for but the run cannot take: ready console lines, in
    // the order they arose. The run prints them; parsing stays silent.
    std::vector<std::string> refusals;
    // The target could not be taken: the run must end before it touches anything.
    bool targetRefused = false;
};

// Fills options from the argument vector (element 0 the program, 1 the first source, 2
// the target, options from 3 on). With fewer than two arguments it shows the usage text,
// reads one key and returns false: the run ends.
bool parseCommandLine(int argc, const char* const* argv, RunOptions& options);

// The 58 texts of the usage, the first with the banner.
void showUsage();

// Removes a "\*.*" tail and then one trailing backslash (POSIX also "/*.*" and "/",
// keeping the root "/").
void stripPathTail(std::string& path);

// How readTextLine delivered a line.
struct TextLineInfo {
    bool cut = false;      // characters were dropped to keep within the limit
    bool endsLine = true;  // false: the line goes on, its remainder is the next "line"
};

// Reads the next line of a text file into out, cut to limit - 1 characters and without
// its line feed. Returns 0 when a line was read (possibly empty), 1 at the end of the
// file with out empty. info (optional) tells a whole line from a cut one or a piece.
int readTextLine(FILE* file, std::string& out, size_t limit, TextLineInfo* info = nullptr);
