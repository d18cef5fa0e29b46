// Checks what a backup run promises, on real folder trees of the host: every source
// file is in the archive with identical content, last-write time and attributes, or it
// is named as a failure; and nothing outside the folders the run may change has changed.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace verify {

// How closely attributes are compared. The native program keeps the exact permission
// bits; the Windows program under Wine knows only read-only (the owner's write bit).
enum class AttributeCheck { PermissionBits, ReadOnlyOnly };

// Every difference between a source tree and its copy, one text each, relative paths
// with '/': "missing f", "content f", "time f", "attributes f", "type f", and
// "missing folder d" / "attributes folder d". Symbolic links in the source are
// compared as what they point to (the copy follows them); a link loop is not entered
// twice. Paths listed in `ignore` (relative, '/') are left out, with all below them.
std::vector<std::string> compareTrees(const std::string& sourceRoot,
                                      const std::string& copyRoot, AttributeCheck check,
                                      const std::vector<std::string>& ignore = {});

// One source of a run and where its files must be.
struct SourceCopy {
    std::string hostRoot;     // the source folder on the host
    std::string programRoot;  // the same folder as the program names it (Z:\... under Wine)
    std::string copyRoot;     // its folder in the new archive, on the host
    std::vector<std::string> ignore;  // relative paths the run rightly leaves out
};

// The promise after one run: every difference that compareTrees finds for a file must
// be excused by the console line "<program path> ... FEHLER", the error-file line
// "<program path> ... FEHLER (nicht kopiert)" (when errorFileText is given) and the
// count of files not copied in the summary must equal the number of those lines on the
// console. Returns every broken promise; empty means kept.
struct RunReport {
    std::string console;     // standard output, line ends normalised
    std::string errorFile;   // the error file's text; empty when none was asked for
    bool hasErrorFile = false;
    char separator = '/';    // the separator the program forms paths with
};
std::vector<std::string> checkPromise(const std::vector<SourceCopy>& sources,
                                      const RunReport& report, AttributeCheck check);

// The summary's counters, -1 when the line is missing.
struct Summary {
    long folders = -1, files = -1, copied = -1, notCopied = -1;
};
Summary readSummary(const std::string& console);

// What a tree holds: per relative path its kind, size, mode, last-write time to the
// nanosecond, content digest and link target. Links are not followed.
struct EntryState {
    char kind = '?';  // 'f' file, 'd' folder, 'l' link, '?' other
    uint64_t size = 0;
    uint32_t mode = 0;
    int64_t mtimeNs = 0;
    uint64_t digest = 0;
    std::string linkTarget;
    bool operator==(const EntryState&) const = default;
};
using TreeState = std::map<std::string, EntryState>;
TreeState snapshot(const std::string& root);

// Every entry of `before` and `after` that differs, except those at or below a relative
// path that `mayChange` accepts.
template <class Pred>
std::vector<std::string> changedOutside(const TreeState& before, const TreeState& after,
                                        Pred mayChange) {
    std::vector<std::string> out;
    for (const auto& [path, state] : before) {
        if (mayChange(path)) continue;
        auto it = after.find(path);
        if (it == after.end())
            out.push_back("removed " + path);
        else if (!(it->second == state))
            out.push_back("changed " + path);
    }
    for (const auto& [path, state] : after) {
        if (mayChange(path)) continue;
        if (!before.count(path)) out.push_back("added " + path);
    }
    return out;
}

// The folders a run may change under its target: archive folders and the retention
// folders. `rel` is relative to the folder that was snapshotted; `targetRel` is the
// target's path relative to it ("" when the target itself was snapshotted).
bool isRunOutput(const std::string& rel, const std::string& targetRel);

std::string joinLines(const std::vector<std::string>& lines);

}  // namespace verify
