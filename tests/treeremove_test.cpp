#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>  // to keep a file open without sharing, as a real user would
#endif

#include "fs/dirwalker.h"
#include "fs/fileops.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "support/tempdir.h"

namespace {

const std::string kSep(1, plat::kPathSeparator);

// ---- listings ----

TEST(ListTreeFiles, SubfoldersTreesComeBeforeTheFolderOwnFiles) {
    TempDir tmp;
    writeFile(tmp / "A/A1/a1.txt", "");
    writeFile(tmp / "A/A1/a1b.txt", "");
    writeFile(tmp / "A/a.txt", "");
    writeFile(tmp / "B/b.txt", "");
    writeFile(tmp / "wurzel.txt", "");
    makeDirs(tmp / "B/leer");

    DirWalker w;
    ASSERT_EQ(w.listTreeFiles(tmp.path()), 5);
    ASSERT_EQ(w.entryCount(), 5);
    std::vector<std::string> folders;  // one per entry
    const std::map<std::string, int> depthOf = {
        {tmp / "A/A1", 2}, {tmp / "A", 1}, {tmp / "B", 1}, {tmp.path(), 0}};
    for (int i = 0; i < 5; ++i) {
        const DirEntry* e = w.entry(i);
        std::string folder(e->folder());
        ASSERT_TRUE(depthOf.count(folder)) << folder;
        EXPECT_EQ(e->depth, depthOf.at(folder)) << e->path();
        EXPECT_EQ(std::string(e->path()), folder + kSep + e->name());
        EXPECT_EQ(e->isFolder, 0);
        if (folders.empty() || folders.back() != folder) folders.push_back(folder);
    }
    // A and B in the file system's order, A1 right before A, the root last.
    std::vector<std::string> aFirst = {tmp / "A/A1", tmp / "A", tmp / "B", tmp.path()};
    std::vector<std::string> bFirst = {tmp / "B", tmp / "A/A1", tmp / "A", tmp.path()};
    EXPECT_TRUE(folders == aFirst || folders == bFirst);
}

TEST(ListFolderFiles, EntriesCarryTheirFieldsAndAppendBehindStart) {
    TempDir tmp;
    writeFile(tmp / "f.txt", "1234567");
    writeFile(tmp / "g", "");
    makeDirs(tmp / "Unter");
    const int64_t when = 1183000000LL;
    plat::setFileTimes((tmp / "f.txt").c_str(), plat::kNoExactTime, plat::kNoExactTime,
                       when * 1000000000LL);

    DirWalker w;
    ASSERT_EQ(w.listFolderSubfolders(tmp.path()), 1);
    const DirEntry* sub = w.entry(0);
    EXPECT_STREQ(sub->name(), "Unter");
    EXPECT_EQ(sub->isFolder, 1);
    EXPECT_EQ(sub->depth, 0);
    // Behind exactly one entry, at depth 4; any other start is refused.
    EXPECT_EQ(w.listFolderFiles(tmp.path(), 0, 4), 0);
    ASSERT_EQ(w.listFolderFiles(tmp.path(), 1, 4), 2);
    ASSERT_EQ(w.entryCount(), 3);
    EXPECT_STREQ(w.entry(0)->name(), "Unter");
    for (int i = 1; i < 3; ++i) {
        const DirEntry* e = w.entry(i);
        EXPECT_EQ(e->depth, 4);
        EXPECT_EQ(e->folder(), tmp.path());
        if (std::string(e->name()) == "f.txt") {
            EXPECT_EQ(e->size, 7u);
            EXPECT_EQ(e->modified, timestampFromCalendarTime(static_cast<int32_t>(when)));
        } else {
            EXPECT_STREQ(e->name(), "g");
        }
    }
}

TEST(ListFolderFiles, EmptyFolderTextListsTheCurrentFolderByBareName) {
    TempDir tmp;
    writeFile(tmp / "hier.txt", "");
    std::string saved = getCurrentFolder();
    ASSERT_EQ(changeToFolder(tmp.path()), 0);
    DirWalker w;
    int32_t n = w.listFolderFiles("", 0, 0);
    changeToFolder(saved);
    ASSERT_EQ(n, 1);
    EXPECT_STREQ(w.entryPath(0), "hier.txt");
    EXPECT_EQ(w.entry(0)->folder(), "");
}

#ifndef _WIN32
TEST(ListFolderFiles, PathBeyondCapacityIsLeftOutNotCut) {
    TempDir tmp;
    std::string folder = tmp.path();
    while (folder.size() < kMaxPathText - 30) folder += "/oooooooooooooooo";
    while (folder.size() < kMaxPathText - 12) folder += "/o";
    std::string shortName = "k";                 // fits
    std::string longName(20, 'k');               // folder + name > 599
    makeDirs(folder);
    writeFile(folder + "/" + shortName, "");
    writeFile(folder + "/" + longName, "");
    DirWalker w;
    ASSERT_EQ(w.listFolderFiles(folder, 0, 0), 1);
    EXPECT_EQ(std::string(w.entryPath(0)), folder + "/" + shortName);
    w.reset();
    // The removal leaves the unlisted file (and so its folders) alone.
    EXPECT_EQ(w.removeTree(tmp / "oooooooooooooooo"), 1);
    EXPECT_TRUE(exists(folder + "/" + longName));
    EXPECT_FALSE(exists(folder + "/" + shortName));
}
#endif

// ---- removal ----

TEST(RemoveTree, ReadOnlyHiddenAndSystemFilesGoLikeAnyOther) {
    TempDir tmp;
    std::string root = tmp / "ARCHIV_20070627_140533";
    writeFile(root + kSep + "normal.txt", "x");
    writeFile(root + kSep + "Unter" + kSep + "schreibgeschuetzt.txt", "x");
    writeFile(root + kSep + "Unter" + kSep + "Tiefer" + kSep + ".versteckt", "x");
    writeFile(root + kSep + "system.dat", "x");
    makeDirs(root + kSep + "leer");
    plat::setAttributes((root + kSep + "Unter" + kSep + "schreibgeschuetzt.txt").c_str(),
                        plat::kAttrReadOnly);
    plat::setAttributes((root + kSep + "system.dat").c_str(),
                        plat::kIsWindows ? plat::kAttrSystem | plat::kAttrHidden
                                         : plat::kAttrReadOnly);
    if (plat::kIsWindows) {
        plat::setAttributes((root + kSep + "Unter" + kSep + "Tiefer" + kSep + ".versteckt").c_str(),
                            plat::kAttrHidden);
    }
    // A read-only folder, too.
    plat::setAttributes((root + kSep + "Unter" + kSep + "Tiefer").c_str(),
                        plat::kIsWindows ? plat::kAttrReadOnly | plat::kAttrFolder
                                         : (0555u << 16) | plat::kAttrFolder);

    DirWalker w;
    EXPECT_EQ(w.removeTree(root), 4);
    EXPECT_FALSE(exists(root));
    EXPECT_EQ(w.entryCount(), 0);
}

TEST(RemoveTree, MissingAndEmptyFolders) {
    TempDir tmp;
    DirWalker w;
    EXPECT_EQ(w.removeTree(tmp / "fehlt"), 0);
    makeDirs(tmp / "leer/auch_leer");
    EXPECT_EQ(w.removeTree(tmp / "leer"), 0);
    EXPECT_FALSE(exists(tmp / "leer"));
    // A file is no tree: nothing happens to it.
    writeFile(tmp / "datei", "bleibt");
    EXPECT_EQ(w.removeTree(tmp / "datei"), 0);
    EXPECT_EQ(readFile(tmp / "datei"), "bleibt");
    EXPECT_TRUE(exists(tmp.path()));
}

TEST(RemoveTree, FixedDiskRootIsRecognisedHoweverItIsSpelt) {
    // Only the recognition is tested here: a fault would otherwise wipe the disk.
    TempDir tmp;
    std::vector<std::string> roots;
    if (plat::kIsWindows) {
        std::string drive = tmp.path().substr(0, 2);  // Z: under Wine
        roots = {drive + "\\", drive + "\\.", drive + "\\\\", drive + "/"};
        if (plat::driveType((drive + "\\").c_str()) != plat::kDriveFixed)
            GTEST_SKIP() << "drive of the temporary folder is no fixed disk";
    } else {
        roots = {"/", "//", "/.", "/./", tmp.path() + "/../..", "///"};
    }
    for (const std::string& root : roots) EXPECT_TRUE(isFixedDiskRoot(root)) << root;
    EXPECT_FALSE(isFixedDiskRoot(tmp.path()));
    EXPECT_FALSE(isFixedDiskRoot(tmp / "fehlt"));
    std::error_code ec;
    std::filesystem::create_directory_symlink(plat::kIsWindows ? roots[0] : "/", tmp / "zurwurzel", ec);
    if (!ec) {
        EXPECT_TRUE(isFixedDiskRoot(tmp / "zurwurzel"));
    }
}

// A link inside an archive folder pointing elsewhere: the removal deletes the link and
// leaves what it points to exactly as it was.
TEST(RemoveTree, LinksAreRemovedAsLinksAndTheirTargetsSurvive) {
    TempDir tmp;
    std::string outside = tmp / "draussen";
    writeFile(outside + kSep + "wichtig.txt", "behalten");
    writeFile(outside + kSep + "Tief" + kSep + "auch.txt", "behalten");
    writeFile(tmp / "einzeln.txt", "behalten");
    plat::setAttributes((tmp / "einzeln.txt").c_str(), plat::kAttrReadOnly);
    const uint32_t outsideAttrs = plat::getAttributes(outside.c_str());
    const uint32_t fileAttrs = plat::getAttributes((tmp / "einzeln.txt").c_str());

    std::string root = tmp / "archiv";
    writeFile(root + kSep + "eigen.txt", "x");
    makeDirs(root + kSep + "Unter");
    std::error_code ec;
    namespace fs = std::filesystem;
    fs::create_directory_symlink(outside, root + kSep + "Unter" + kSep + "zeiger", ec);
    if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
    fs::create_directory_symlink(outside, root + kSep + "oben", ec);
    fs::create_symlink(tmp / "einzeln.txt", root + kSep + "Unter" + kSep + "datei_zeiger", ec);
    fs::create_symlink(tmp / "fehlt.txt", root + kSep + "ins_leere", ec);

    DirWalker w;
    int32_t n = w.removeTree(root);
    EXPECT_FALSE(exists(root));
    EXPECT_EQ(n, 3);  // eigen.txt and the two links to files; nothing behind "zeiger"
    EXPECT_EQ(readFile(outside + kSep + "wichtig.txt"), "behalten");
    EXPECT_EQ(readFile(outside + kSep + "Tief" + kSep + "auch.txt"), "behalten");
    EXPECT_EQ(readFile(tmp / "einzeln.txt"), "behalten");
    EXPECT_EQ(plat::getAttributes(outside.c_str()), outsideAttrs);
    EXPECT_EQ(plat::getAttributes((tmp / "einzeln.txt").c_str()), fileAttrs);
    plat::setAttributes((tmp / "einzeln.txt").c_str(), 0);

    // The archive folder itself a link: only the link goes.
    fs::create_directory_symlink(outside, tmp / "archiv_link", ec);
    ASSERT_FALSE(ec);
    EXPECT_EQ(w.removeTree(tmp / "archiv_link"), 0);
    EXPECT_FALSE(exists(tmp / "archiv_link"));
    EXPECT_EQ(readFile(outside + kSep + "wichtig.txt"), "behalten");
}

// The removal lists a tree its own, leaner way; it must count and delete exactly what
// listTreeFiles lists on the same tree, and leave exactly what that leaves out.
struct TreeCase {
    const char* name;
    bool needsLinks;
    bool posixOnly;  // paths near the 599-character limit cannot be entered on Windows
    void (*build)(const std::string& root, const std::string& outside);
    int32_t files;
};

void nestedTree(const std::string& root, const std::string&) {
    writeFile(joinNative(root, "A/A1/a1.txt"), "1");
    writeFile(joinNative(root, "A/A1/a1b.txt"), "1");
    writeFile(joinNative(root, "A/a.txt"), "1");
    writeFile(joinNative(root, "B/b.txt"), "1");
    writeFile(joinNative(root, "B/.versteckt"), "1");
    writeFile(joinNative(root, "wurzel.txt"), "1");
    makeDirs(joinNative(root, "B/leer/leerer"));
    plat::setAttributes(joinNative(root, "A/a.txt").c_str(), plat::kAttrReadOnly);
}

void treeWithLinks(const std::string& root, const std::string& outside) {
    namespace fs = std::filesystem;
    writeFile(joinNative(root, "eigen.txt"), "1");
    makeDirs(joinNative(root, "Unter"));
    fs::create_directory_symlink(outside, joinNative(root, "Unter/zum_ordner"));
    fs::create_symlink(joinNative(outside, "draussen.txt"), joinNative(root, "zur_datei"));
    fs::create_symlink(joinNative(outside, "fehlt.txt"), joinNative(root, "ins_leere"));
}

// A folder whose own path fits but whose search pattern ("\*.*" behind it) does not,
// and beside it names of exactly 599 and of 600 characters.
void treeAtTheLimit(const std::string& root, const std::string&) {
    std::string folder = root;
    while (folder.size() < kMaxPathText - 40) folder += kSep + std::string(20, 'o');
    const size_t room = kMaxPathText - folder.size() - 1;  // name length that just fits
    writeFile(folder + kSep + std::string(room, 'p'), "1");
    writeFile(folder + kSep + std::string(room + 1, 'q'), "1");
    const std::string unsearchable = folder + kSep + std::string(room - 3, 'u');
    writeFile(unsearchable + kSep + "x", "1");
}

// Files and links other than links to folders below a root, relative to it.
std::set<std::string> filesAndLinksBelow(const std::string& root) {
    namespace fs = std::filesystem;
    std::set<std::string> found;
    std::error_code ec;
    if (!fs::exists(root, ec)) return found;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        if (!fs::is_directory(it->path(), ec)) found.insert(it->path().string().substr(root.size()));
    }
    return found;
}

TEST(RemoveTree, CountsAndDeletesExactlyWhatTheTreeListingLists) {
    const TreeCase cases[] = {
        {"verschachtelt", false, false, nestedTree, 6},
        {"links", true, false, treeWithLinks, 3},
        {"am_rand", false, true, treeAtTheLimit, 1},
    };
    for (const TreeCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.posixOnly && plat::kIsWindows) continue;
        TempDir tmp;
        const std::string outside = tmp / "draussen";
        writeFile(joinNative(outside, "draussen.txt"), "behalten");
        const std::string listed = tmp / "gelistet", removed = tmp / "entfernt";
        try {
            c.build(listed, outside);
            c.build(removed, outside);
        } catch (const std::filesystem::filesystem_error& e) {
            if (c.needsLinks) continue;  // no symbolic links here
            FAIL() << e.what();
        }
        DirWalker lister;
        const int32_t n = lister.listTreeFiles(listed);
        EXPECT_EQ(n, c.files);
        std::set<std::string> expected = filesAndLinksBelow(listed);
        for (int32_t i = 0; i < n; ++i)
            expected.erase(std::string(lister.entryPath(i)).substr(listed.size()));

        DirWalker w;
        EXPECT_EQ(w.removeTree(removed), n);
        EXPECT_EQ(w.entryCount(), 0);
        EXPECT_EQ(filesAndLinksBelow(removed), expected);
        EXPECT_EQ(exists(removed), !expected.empty());
        EXPECT_EQ(readFile(joinNative(outside, "draussen.txt")), "behalten");
    }
}

// Keeps one file from being deleted by a real cause: on Windows it is open without
// sharing; on POSIX its folder cannot be written to (immutable when running as root).
class FileKeptInUse {
public:
    FileKeptInUse(const std::string& file, const std::string& folder) : folder_(folder) {
#ifdef _WIN32
        (void)folder_;
        handle_ = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        ok_ = handle_ != INVALID_HANDLE_VALUE;
#else
        (void)file;
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_write |
                                                  std::filesystem::perms::group_write |
                                                  std::filesystem::perms::others_write,
                                     std::filesystem::perm_options::remove);
        probe_ = folder_ + "/.probe";
        // Root ignores permissions: the immutable attribute stops it, too.
        if (canCreate()) {
            std::string cmd = "chattr +i '" + folder_ + "' 2>/dev/null";
            immutable_ = std::system(cmd.c_str()) == 0;
        }
        ok_ = !canCreate();
#endif
    }
    ~FileKeptInUse() {
#ifdef _WIN32
        if (ok_) CloseHandle(handle_);
#else
        if (immutable_) {
            std::string cmd = "chattr -i '" + folder_ + "'";
            if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "chattr -i failed";
        }
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
#endif
    }
    bool ok() const { return ok_; }

private:
#ifndef _WIN32
    bool canCreate() {
        std::error_code ec;
        std::FILE* f = std::fopen(probe_.c_str(), "w");
        if (!f) return false;
        std::fclose(f);
        std::filesystem::remove(probe_, ec);
        return true;
    }
    std::string probe_;
    bool immutable_ = false;
#else
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#endif
    std::string folder_;
    bool ok_ = false;
};

TEST(RemoveTree, FileInUseKeepsItsFoldersAndTheCountStaysTheListedOne) {
    TempDir tmp;
    std::string root = tmp / "archiv";
    const std::string locked = root + kSep + "C" + kSep + "D" + kSep + "belegt.txt";
    writeFile(root + kSep + "a.txt", "");
    writeFile(root + kSep + "B" + kSep + "b.txt", "");
    writeFile(root + kSep + "C" + kSep + "c.txt", "");
    writeFile(root + kSep + "C" + kSep + "E" + kSep + "e.txt", "");
    writeFile(locked, "");
    makeDirs(root + kSep + "C" + kSep + "leer");
    int32_t n;
    {
        FileKeptInUse lock(locked, root + kSep + "C" + kSep + "D");
        if (!lock.ok()) GTEST_SKIP() << "no way to keep a file in use here";
        DirWalker w;
        n = w.removeTree(root);
    }
    EXPECT_EQ(n, 5);
    EXPECT_TRUE(exists(locked));  // and with it C\D, C and the archive folder
    for (const char* gone : {"a.txt", "B", "C/c.txt", "C/E", "C/leer"}) {
        EXPECT_FALSE(exists(joinNative(root, gone))) << gone;
    }
}

TEST(RemoveFolders, FolderWithAFileStaysItsEmptySubfoldersGo) {
    TempDir tmp;
    std::string root = tmp / "ordner";
    writeFile(root + kSep + "datei.txt", "bleibt");
    makeDirs(root + kSep + "leer1" + kSep + "leer2");
    makeDirs(root + kSep + "leer3");
    EXPECT_FALSE(removeFolders(root));
    EXPECT_EQ(readFile(root + kSep + "datei.txt"), "bleibt");
    EXPECT_FALSE(exists(root + kSep + "leer1"));
    EXPECT_FALSE(exists(root + kSep + "leer3"));
    EXPECT_TRUE(removeFolders(tmp / "fehlt"));
}

// ---- one file, the long-path rule ----

// A file whose full path has exactly `length` characters.
std::string pathOfLength(const TempDir& tmp, size_t length, const std::string& last = "") {
    std::string folder = tmp.path();
    // The folder stays short enough to be entered on Windows; the name takes the rest.
    const size_t folderLimit = length < 200 ? length - 2 : 200;
    while (folder.size() + 1 + 40 <= folderLimit) folder += kSep + std::string(40, 'o');
    makeDirs(folder);
    std::string path = folder + kSep;
    if (!last.empty()) {
        path += std::string(length - path.size() - last.size(), 'n') + last;
    } else {
        path += std::string(length - path.size(), 'n');
    }
    return path;
}

TEST(RemoveFile, ShortAndLongPathsKeepTheCurrentFolder) {
    // Windows cannot enter a folder of more than 259 characters: 400 is for POSIX only.
    std::vector<size_t> lengths = {255, 256, 300};
    if (!plat::kIsWindows) lengths.push_back(400);
    for (size_t length : lengths) {
        SCOPED_TRACE(length);
        TempDir tmp;
        std::string path = pathOfLength(tmp, length);
        ASSERT_EQ(path.size(), length);
        writeFile(path, "x");
        plat::setAttributes(path.c_str(), plat::kAttrReadOnly);
        std::string before = getCurrentFolder();
        EXPECT_TRUE(removeFile(path));
        EXPECT_EQ(getCurrentFolder(), before);
        EXPECT_FALSE(fileExists(path));
        EXPECT_TRUE(removeFile(path));  // nothing left is success
    }
}

TEST(RemoveFile, LongPathWhoseFolderCannotBeEnteredSparesTheSameNameHere) {
    TempDir tmp;
    std::string saved = getCurrentFolder();
    ASSERT_EQ(changeToFolder(tmp.path()), 0);
    std::string name = "gleicher_name.txt";
    writeFile(tmp / name, "fremd");
    std::string missing = tmp.path();
    while (missing.size() < 300) missing += kSep + "fehlt";
    bool gone = removeFile(missing + kSep + name);
    std::string after = getCurrentFolder();
    changeToFolder(saved);
    EXPECT_TRUE(gone);
    EXPECT_EQ(readFile(tmp / name), "fremd");
    EXPECT_EQ(after, tmp.path());
}

#ifndef _WIN32
TEST(RemoveFile, LongPathKeepsATrailingDotOfTheName) {
    // "bericht." and "bericht" are two files on POSIX; the first must not take the other.
    TempDir tmp;
    std::string dotted = pathOfLength(tmp, 300, "bericht.");
    std::string plain = dotted.substr(0, dotted.size() - 1);
    writeFile(dotted, "weg");
    writeFile(plain, "bleibt");
    EXPECT_TRUE(removeFile(dotted));
    EXPECT_FALSE(exists(dotted));
    EXPECT_EQ(readFile(plain), "bleibt");
}
#endif

TEST(RemoveFile, LinkIsDeletedWithoutTouchingItsTarget) {
    TempDir tmp;
    writeFile(tmp / "ziel.txt", "behalten");
    plat::setAttributes((tmp / "ziel.txt").c_str(), plat::kAttrReadOnly);
    uint32_t attrs = plat::getAttributes((tmp / "ziel.txt").c_str());
    std::error_code ec;
    std::filesystem::create_symlink(tmp / "ziel.txt", tmp / "zeiger", ec);
    if (ec) GTEST_SKIP() << "no symbolic links here";
    EXPECT_TRUE(removeFile(tmp / "zeiger"));
    EXPECT_FALSE(exists(tmp / "zeiger"));
    EXPECT_EQ(plat::getAttributes((tmp / "ziel.txt").c_str()), attrs);
    plat::setAttributes((tmp / "ziel.txt").c_str(), 0);
}

}  // namespace
