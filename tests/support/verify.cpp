#include "support/verify.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>
#include <utility>

namespace verify {

namespace {

// FNV-1a over the whole content; -1 in `ok` when the file cannot be read.
uint64_t digestOf(const std::string& path, bool& ok) {
    ok = false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    uint64_t h = 1469598103934665603ull;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        for (size_t i = 0; i < got; ++i) {
            h ^= static_cast<unsigned char>(buffer[i]);
            h *= 1099511628211ull;
        }
    ok = !std::ferror(f);
    std::fclose(f);
    return h;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = opendir(folder.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string join(const std::string& a, const std::string& b) {
    return a.empty() ? b : a + "/" + b;
}

bool ignored(const std::string& rel, const std::vector<std::string>& ignore) {
    for (const std::string& i : ignore)
        if (rel == i || rel.compare(0, i.size() + 1, i + "/") == 0) return true;
    return false;
}

bool sameAttributes(mode_t a, mode_t b, AttributeCheck check) {
    if (check == AttributeCheck::PermissionBits) return (a & 07777) == (b & 07777);
    return ((a & S_IWUSR) == 0) == ((b & S_IWUSR) == 0);
}

struct Comparer {
    AttributeCheck check;
    const std::vector<std::string>& ignore;
    std::vector<std::string> out;
    std::vector<std::pair<dev_t, ino_t>> ancestors;

    void folder(const std::string& src, const std::string& copy, const std::string& rel) {
        struct stat s;
        if (stat(src.c_str(), &s) != 0) return;
        std::pair<dev_t, ino_t> id{s.st_dev, s.st_ino};
        // A link back to an ancestor would be walked forever; the program skips it too.
        if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) return;
        ancestors.push_back(id);
        for (const std::string& name : namesIn(src)) {
            std::string r = join(rel, name);
            if (ignored(r, ignore)) continue;
            std::string sp = src + "/" + name, cp = copy + "/" + name;
            struct stat ss, cs;
            if (stat(sp.c_str(), &ss) != 0) continue;  // a dangling link holds nothing
            if (S_ISDIR(ss.st_mode)) {
                if (std::find(ancestors.begin(), ancestors.end(),
                              std::make_pair(ss.st_dev, ss.st_ino)) != ancestors.end())
                    continue;
                bool there = stat(cp.c_str(), &cs) == 0 && S_ISDIR(cs.st_mode);
                // Without the folder every file below it is missing as well; each is listed.
                if (!there) out.push_back("missing folder " + r);
                folder(sp, cp, r);
                if (there && !sameAttributes(ss.st_mode, cs.st_mode, check))
                    out.push_back("attributes folder " + r);
                continue;
            }
            if (!S_ISREG(ss.st_mode)) continue;  // pipes and devices are no files to compare
            if (stat(cp.c_str(), &cs) != 0) {
                out.push_back("missing " + r);
                continue;
            }
            if (!S_ISREG(cs.st_mode)) {
                out.push_back("type " + r);
                continue;
            }
            bool okS, okC;
            uint64_t ds = digestOf(sp, okS), dc = digestOf(cp, okC);
            if (ss.st_size != cs.st_size || !okC || (okS && ds != dc))
                out.push_back("content " + r);
            if (ss.st_mtim.tv_sec != cs.st_mtim.tv_sec) out.push_back("time " + r);
            if (!sameAttributes(ss.st_mode, cs.st_mode, check)) out.push_back("attributes " + r);
        }
        ancestors.pop_back();
    }
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

long numberAfter(const std::string& console, const std::string& before, const std::string& after) {
    for (const std::string& line : linesOf(console)) {
        if (line.compare(0, before.size(), before) != 0 || !endsWith(line, after)) continue;
        try {
            return std::stol(line.substr(before.size()));
        } catch (...) {
            return -1;
        }
    }
    return -1;
}

void walkState(const std::string& host, const std::string& rel, TreeState& state) {
    for (const std::string& name : namesIn(host)) {
        std::string p = host + "/" + name, r = join(rel, name);
        struct stat s;
        if (lstat(p.c_str(), &s) != 0) continue;
        EntryState e;
        e.mode = s.st_mode & 07777;
        e.mtimeNs = static_cast<int64_t>(s.st_mtim.tv_sec) * 1000000000 + s.st_mtim.tv_nsec;
        if (S_ISLNK(s.st_mode)) {
            e.kind = 'l';
            char target[4096];
            ssize_t n = readlink(p.c_str(), target, sizeof target);
            if (n > 0) e.linkTarget.assign(target, static_cast<size_t>(n));
        } else if (S_ISDIR(s.st_mode)) {
            e.kind = 'd';
            e.mtimeNs = 0;  // a folder's time moves when anything inside it comes or goes
        } else if (S_ISREG(s.st_mode)) {
            e.kind = 'f';
            e.size = static_cast<uint64_t>(s.st_size);
            bool ok;
            e.digest = digestOf(p, ok);
        }
        state[r] = e;
        if (S_ISDIR(s.st_mode)) walkState(p, r, state);
    }
}

}  // namespace

std::vector<std::string> compareTrees(const std::string& sourceRoot, const std::string& copyRoot,
                                      AttributeCheck check, const std::vector<std::string>& ignore) {
    Comparer c{check, ignore, {}, {}};
    c.folder(sourceRoot, copyRoot, "");
    return c.out;
}

Summary readSummary(const std::string& console) {
    Summary s;
    s.folders = numberAfter(console, "Kontrollierte Verzeichnisse : ", "");
    s.files = numberAfter(console, "Kontrollierte Dateien       : ", "");
    s.copied = numberAfter(console, "   ... ", " Dateien kopiert");
    s.notCopied = numberAfter(console, "   ... ", " Dateien konnten nicht kopiert werden");
    return s;
}

std::vector<std::string> checkPromise(const std::vector<SourceCopy>& sources,
                                      const RunReport& report, AttributeCheck check) {
    std::vector<std::string> broken;
    const std::vector<std::string> console = linesOf(report.console);
    const std::vector<std::string> errorFile = linesOf(report.errorFile);
    std::set<std::string> consoleFailures, fileFailures;
    long failureLines = 0;
    for (const std::string& line : console)
        if (endsWith(line, " ... FEHLER")) {
            consoleFailures.insert(line.substr(0, line.size() - 11));
            ++failureLines;
        }
    for (const std::string& line : errorFile)
        if (endsWith(line, " ... FEHLER (nicht kopiert)"))
            fileFailures.insert(line.substr(0, line.size() - 27));

    // A failure named for a folder (one that could not be searched) covers what is in it.
    auto named = [](const std::set<std::string>& failures, const std::string& path, char sep) {
        if (failures.count(path)) return true;
        for (size_t at = path.rfind(sep); at != std::string::npos && at > 0;
             at = path.rfind(sep, at - 1))
            if (failures.count(path.substr(0, at))) return true;
        return false;
    };

    for (const SourceCopy& source : sources) {
        for (const std::string& difference :
             compareTrees(source.hostRoot, source.copyRoot, check, source.ignore)) {
            std::string rel = difference.substr(difference.find(' ') + 1);
            bool isFolder = rel.compare(0, 7, "folder ") == 0;
            if (isFolder) rel = rel.substr(7);
            std::string programPath = source.programRoot;
            programPath += report.separator;
            for (char ch : rel) programPath += ch == '/' ? report.separator : ch;
            bool onConsole = named(consoleFailures, programPath, report.separator);
            bool inFile = !report.hasErrorFile || named(fileFailures, programPath, report.separator);
            if (isFolder && difference.compare(0, 7, "missing") == 0) {
                // A folder missing in the copy is a promise kept only when its content is
                // accounted for: the files below it are checked one by one.
                continue;
            }
            if (!onConsole || !inFile)
                broken.push_back(difference + " (" + programPath + ") is " +
                                 (onConsole ? "not in the error file" : "not reported as FEHLER"));
        }
    }
    Summary summary = readSummary(report.console);
    if (summary.notCopied != failureLines)
        broken.push_back("the summary counts " + std::to_string(summary.notCopied) +
                         " files not copied, the console names " +
                         std::to_string(failureLines));
    return broken;
}

TreeState snapshot(const std::string& root) {
    TreeState state;
    walkState(root, "", state);
    return state;
}

bool isRunOutput(const std::string& rel, const std::string& targetRel) {
    std::string inside = rel;
    if (!targetRel.empty()) {
        if (rel.compare(0, targetRel.size() + 1, targetRel + "/") != 0) return false;
        inside = rel.substr(targetRel.size() + 1);
    }
    std::string first = inside.substr(0, inside.find('/'));
    std::string upper = first;
    for (char& ch : upper)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    return upper.compare(0, 7, "ARCHIV_") == 0 || upper == "SICHER" || upper == "WOCHEN" ||
           upper == "MONATE" || upper == "JAHRE";
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += "  " + l + "\n";
    return text;
}

}  // namespace verify
