// The tree copy: lines, error file and counters of a small tree, the copy decision,
// folder attributes, the walk's own output, link loops and the path capacity.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "copy/treecopy.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "support/tempdir.h"

namespace {

// Lines without their ending; the error file is a text file, with CR LF on Windows.
std::vector<std::string> splitLines(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        EXPECT_NE(end, std::string::npos) << "unterminated line";
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

// The console lines of one copy, with the counters reset before it.
std::vector<std::string> runCopy(const std::string& source, const std::string& destination,
                                 const std::string& errorFile = "", bool detailed = false,
                                 const std::string& ownOutput = "") {
    runCounters = RunCounters{};
    testing::internal::CaptureStdout();
    EXPECT_EQ(copyTree(source, destination, errorFile, detailed, ownOutput), 0);
    return splitLines(testing::internal::GetCapturedStdout());
}

void expectCounters(int folders, int files, int copied, int failed) {
    EXPECT_EQ(runCounters.foldersExamined, folders);
    EXPECT_EQ(runCounters.filesExamined, files);
    EXPECT_EQ(runCounters.filesCopied, copied);
    EXPECT_EQ(runCounters.filesNotCopied, failed);
}

// Groups the console lines by folder: each group starts at its "pruefe" line (with the
// new-folder line just before it) and holds the folder's file lines, sorted, since the
// order within a folder is the order of the listing.
std::map<std::string, std::vector<std::string>> byFolder(const std::vector<std::string>& lines,
                                                         std::vector<std::string>& order) {
    std::map<std::string, std::vector<std::string>> groups;
    std::string current;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        bool newFolder = line.find(" ... Verzeichnis neu erstellt") != std::string::npos;
        if (newFolder && i + 1 < lines.size() && lines[i + 1].rfind("pruefe ", 0) == 0) {
            current = lines[i + 1];
            order.push_back(current);
            groups[current].push_back(line);
            groups[current].push_back(lines[++i]);
            continue;
        }
        if (line.rfind("pruefe ", 0) == 0) {
            current = line;
            order.push_back(current);
        }
        groups[current].push_back(line);
    }
    for (auto& [name, group] : groups) {
        auto first = std::find_if(group.begin(), group.end(),
                                  [](const std::string& l) { return l.rfind("pruefe ", 0) == 0; });
        if (first != group.end()) std::sort(first + 1, group.end());
    }
    return groups;
}

void setWriteTime(const std::string& path, int64_t seconds) {
    int64_t ns = seconds * 1000000000LL;
    ASSERT_TRUE(plat::setFileTimes(path.c_str(), ns, ns, ns));
}

std::string folderOfLength(const std::string& base, size_t length) {
    std::string path = base;
    char letter = 'a';
    while (path.size() < length) {
        size_t room = length - path.size() - 1;
        size_t part = room > 60 ? 50 : room;
        path += separator();
        path += std::string(part, letter++);
    }
    makeDirs(path);
    return path;
}

class TreeCopy : public ::testing::Test {
protected:
    TempDir tmp;
    std::string entryFolder = getCurrentFolder();
    std::string src = tmp / "Quelle";
    std::string dst = tmp / "Ziel";
    std::string err = tmp / "fehler.txt";
    void TearDown() override { EXPECT_EQ(getCurrentFolder(), entryFolder); }
    std::string in(const std::string& folder, const std::string& rel) const {
        return joinNative(folder, rel);
    }
};

}  // namespace

// Files before subfolders, each subfolder finished before the next; the empty folder is
// created and examined; a name that is a folder in the destination fails.
TEST_F(TreeCopy, SmallTreeLinesCountersAndErrorFile) {
    for (bool detailed : {false, true}) {
        SCOPED_TRACE(detailed ? "detailed" : "errors only");
        removeAll(src);
        removeAll(dst);
        removeAll(err);
        writeFile(in(src, "a.txt"), "A");
        writeFile(in(src, "b.txt"), "BB");
        writeFile(in(src, "sub/c.txt"), "CCC");
        writeFile(in(src, "sub/klasch.txt"), "D");
        makeDirs(in(src, "leer"));
        makeDirs(in(dst, "sub/klasch.txt"));  // an existing destination, with a folder in the way

        std::vector<std::string> order;
        auto groups = byFolder(runCopy(src, dst, err, detailed), order);

        std::string top = "pruefe " + upper(src) + " ...";
        std::string sub = "pruefe " + upper(in(src, "sub")) + " ...";
        std::string leer = "pruefe " + upper(in(src, "leer")) + " ...";
        ASSERT_EQ(order.size(), 3u);
        EXPECT_EQ(order[0], top);
        EXPECT_EQ(groups[top], (std::vector<std::string>{top, in(src, "a.txt"), in(src, "b.txt")}));
        EXPECT_EQ(groups[sub], (std::vector<std::string>{sub, in(src, "sub/c.txt"),
                                                         in(src, "sub/klasch.txt") + " ... FEHLER"}));
        EXPECT_EQ(groups[leer], (std::vector<std::string>{
                                    in(dst, "leer") + " ... Verzeichnis neu erstellt", leer}));
        expectCounters(2, 4, 3, 1);

        EXPECT_EQ(readFile(in(dst, "sub/c.txt")), "CCC");
        EXPECT_TRUE(std::filesystem::is_directory(in(dst, "leer")));
        std::vector<std::string> logged = splitLines(readFile(err));
        std::sort(logged.begin(), logged.end());
        std::vector<std::string> expected{in(src, "sub/klasch.txt") + " ... FEHLER (nicht kopiert)"};
        if (detailed) {
            for (const char* f : {"a.txt", "b.txt", "sub/c.txt"})
                expected.push_back(in(src, f) + " ... erfolgreich kopiert");
            expected.push_back(in(dst, "leer") + " ... Verzeichnis neu erstellt");
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(logged, expected);
    }
}

TEST_F(TreeCopy, NewDestinationAndUpperCasedCheckLine) {
    // Only the letters a to z change; other bytes pass as they are.
    std::string source = tmp / "Daten-\xc3\xa4x";
    writeFile(in(source, "f.txt"), "f");
    std::vector<std::string> lines = runCopy(source, dst);
    EXPECT_EQ(lines, (std::vector<std::string>{dst + " ... Verzeichnis neu erstellt",
                                               "pruefe " + upper(tmp.path()) + separator() +
                                                   "DATEN-\xc3\xa4X ...",
                                               in(source, "f.txt")}));
    expectCounters(0, 1, 1, 0);
}

// Copied only when missing or strictly newer by last-write time; otherwise no line.
TEST_F(TreeCopy, CopyDecisionByLastWriteTime) {
    struct Case {
        const char* name;
        int64_t destinationOffset;
        bool copied;
    } cases[] = {{"destination older", -2, true}, {"equal", 0, false}, {"destination newer", 2, false}};
    const int64_t t = 1700000000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(in(src, "f.txt"), "neu");
        writeFile(in(dst, "f.txt"), "alt");
        setWriteTime(in(src, "f.txt"), t);
        setWriteTime(in(dst, "f.txt"), t + c.destinationOffset);
        std::vector<std::string> lines = runCopy(src, dst);
        std::vector<std::string> expected{"pruefe " + upper(src) + " ..."};
        if (c.copied) expected.push_back(in(src, "f.txt"));
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(readFile(in(dst, "f.txt")), c.copied ? "neu" : "alt");
        expectCounters(0, 1, c.copied ? 1 : 0, 0);
    }
}

// Destination paths over 255 characters go through the long-path rule in the decision.
TEST_F(TreeCopy, LongDestinationPathsAreCopiedAndCompared) {
    std::string name = std::string(40, 'n') + ".txt";
    writeFile(in(src, name), "inhalt");
    setWriteTime(in(src, name), 1700000000);
    std::string deep = folderOfLength(tmp / "Ziel", 240);
    ASSERT_TRUE(isLongPath(in(deep, name)));

    runCopy(src, deep);
    expectCounters(0, 1, 1, 0);
    EXPECT_EQ(readFile(in(deep, name)), "inhalt");

    runCopy(src, deep);
    expectCounters(0, 1, 0, 0);

    writeFile(in(src, name), "neuer");
    setWriteTime(in(src, name), 1700000100);
    runCopy(src, deep);
    expectCounters(0, 1, 1, 0);
    EXPECT_EQ(readFile(in(deep, name)), "neuer");
}

// The destination folder gets the source folder's attributes after its content, and a
// protected destination from an earlier run is filled again.
TEST_F(TreeCopy, FolderAttributesSetLast) {
#ifdef _WIN32
    const uint32_t protectedFolder = plat::kAttrReadOnly | plat::kAttrHidden;
    const uint32_t compared = plat::kAttrReadOnly | plat::kAttrHidden;
#else
    const uint32_t protectedFolder = 0555u << 16;
    const uint32_t compared = 07777u << 16;
#endif
    writeFile(in(src, "geschuetzt/f.txt"), "eins");
    setWriteTime(in(src, "geschuetzt/f.txt"), 1700000000);
    ASSERT_TRUE(plat::setAttributes(in(src, "geschuetzt").c_str(), protectedFolder));
    uint32_t expected = plat::getAttributes(in(src, "geschuetzt").c_str()) & compared;

    runCopy(src, dst);
    expectCounters(1, 1, 1, 0);
    EXPECT_EQ(plat::getAttributes(in(dst, "geschuetzt").c_str()) & compared, expected);

    plat::setAttributes(in(src, "geschuetzt").c_str(), 0);
    writeFile(in(src, "geschuetzt/f.txt"), "zwei");
    writeFile(in(src, "geschuetzt/g.txt"), "drei");
    setWriteTime(in(src, "geschuetzt/f.txt"), 1700000100);
    ASSERT_TRUE(plat::setAttributes(in(src, "geschuetzt").c_str(), protectedFolder));
    runCopy(src, dst);
    expectCounters(1, 2, 2, 0);
    EXPECT_EQ(readFile(in(dst, "geschuetzt/f.txt")), "zwei");
    EXPECT_EQ(readFile(in(dst, "geschuetzt/g.txt")), "drei");
    EXPECT_EQ(plat::getAttributes(in(dst, "geschuetzt").c_str()) & compared, expected);
}

TEST_F(TreeCopy, MissingSourceStillCreatesDestination) {
    std::vector<std::string> lines = runCopy(tmp / "gibtsnicht", dst);
    EXPECT_EQ(lines, (std::vector<std::string>{dst + " ... Verzeichnis neu erstellt",
                                               "pruefe " + upper(tmp / "gibtsnicht") + " ..."}));
    expectCounters(0, 0, 0, 0);
}

// A target inside the source: the walk skips its own output and the older archives,
// and copies everything else, also folders of the user that only look like archives.
TEST_F(TreeCopy, NeverEntersItsOwnOutput) {
    struct Case {
        const char* name;
        std::string target;       // the run's target, inside the source
        std::string destination;  // the new archive folder in it
    } cases[] = {
        {"target below the source", in(src, "Backup"), in(src, "Backup/ARCHIV_20250101_120000")},
        {"target is the source", src, in(src, "ARCHIV_20250101_120000")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        removeAll(src);
        writeFile(in(src, "daten.txt"), "d");
        writeFile(in(src, "docs/ARCHIV_2019/brief.txt"), "b");
        writeFile(in(c.target, "ARCHIV_20240101_120000/alt.txt"), "alt");
        writeFile(in(c.target, "SICHER/ARCHIV_20230101_120000_S/alt.txt"), "alt");
        writeFile(in(c.target, "notiz.txt"), "n");

        std::vector<std::string> lines = runCopy(src, c.destination, err, false, c.target);
        std::string rel = c.target == src ? "" : "Backup/";
        std::string copy = c.destination;
        EXPECT_EQ(readFile(in(copy, "daten.txt")), "d");
        EXPECT_EQ(readFile(in(copy, "docs/ARCHIV_2019/brief.txt")), "b");
        EXPECT_EQ(readFile(in(copy, rel + "notiz.txt")), "n");
        EXPECT_FALSE(exists(in(copy, rel + "ARCHIV_20240101_120000")));
        EXPECT_FALSE(exists(in(copy, rel + "ARCHIV_20250101_120000")));
        EXPECT_FALSE(exists(in(copy, rel + "SICHER")));
        for (const char* skipped : {"ARCHIV_20240101_120000", "ARCHIV_20250101_120000", "SICHER"}) {
            std::string line = in(c.target, skipped) + " ... uebersprungen (Ziel der Sicherung)";
            EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
        }
    }
}

TEST_F(TreeCopy, DestinationInsideTheSourceIsSkippedWithoutATarget) {
    writeFile(in(src, "f.txt"), "f");
    writeFile(in(src, "unter/g.txt"), "g");
    std::string destination = in(src, "unter/kopie");
    std::vector<std::string> lines = runCopy(src, destination);
    EXPECT_EQ(readFile(in(destination, "unter/g.txt")), "g");
    EXPECT_FALSE(exists(in(destination, "unter/kopie")));
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         destination + " ... uebersprungen (Ziel der Sicherung)"),
              1);
    expectCounters(2, 2, 2, 0);
}

// A link to one of its own ancestors is reported and not followed; the walk ends.
TEST_F(TreeCopy, LinkToAnAncestorEndsTheWalk) {
    writeFile(in(src, "a/f.txt"), "f");
    std::error_code ec;
    std::filesystem::create_directory_symlink(src, in(src, "a/zurueck"), ec);
    if (ec) GTEST_SKIP() << "no folder links here: " << ec.message();
    std::vector<std::string> lines = runCopy(src, dst, err);
    std::string line = in(src, "a/zurueck") +
                       " ... uebersprungen (Verweis auf ein uebergeordnetes Verzeichnis)";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1);
    EXPECT_EQ(splitLines(readFile(err)), std::vector<std::string>{line});
    EXPECT_EQ(readFile(in(dst, "a/f.txt")), "f");
    EXPECT_FALSE(exists(in(dst, "a/zurueck")));
    expectCounters(2, 1, 1, 0);
}

#ifndef _WIN32
// Paths beyond 599 characters are reported with the FEHLER lines and counted, never cut.
TEST_F(TreeCopy, PathsBeyondTheCapacity) {
    // Destination side: the folder fits, its file paths do not.
    writeFile(in(src, "f.txt"), "f");
    writeFile(in(src, "s/g.txt"), "g");
    std::string deep = folderOfLength(tmp / "Ziel", 594);
    std::vector<std::string> lines = runCopy(src, deep, err);
    EXPECT_NE(std::find(lines.begin(), lines.end(), in(src, "f.txt") + " ... FEHLER"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), in(src, "s/g.txt") + " ... FEHLER"), lines.end());
    expectCounters(1, 2, 0, 2);
    std::vector<std::string> made;
    for (const auto& e : std::filesystem::directory_iterator(deep)) made.push_back(e.path().filename());
    EXPECT_EQ(made, std::vector<std::string>{"s"});
    EXPECT_TRUE(std::filesystem::is_empty(in(deep, "s")));

    // Source side: a folder too deep to be searched is reported and counted.
    std::string source = folderOfLength(tmp / "Q", 590);
    writeFile(in(source, "h.txt"), "h");
    writeFile(in(source, "unten/i.txt"), "i");
    removeAll(err);
    lines = runCopy(source, dst, err);
    EXPECT_EQ(readFile(in(dst, "h.txt")), "h");
    EXPECT_NE(std::find(lines.begin(), lines.end(), in(source, "unten") + " ... FEHLER"), lines.end());
    EXPECT_EQ(splitLines(readFile(err)),
              std::vector<std::string>{in(source, "unten") + " ... FEHLER (nicht kopiert)"});
    expectCounters(1, 1, 1, 1);
}
#endif
