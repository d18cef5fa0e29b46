#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fs/dirwalker.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "support/tempdir.h"

namespace {

const std::string kSep(1, plat::kPathSeparator);

TEST(CompleteDriveRoot, OnlyABareDriveGainsASeparator) {
    struct Case {
        std::string in, out;
    };
    const std::vector<Case> cases = {
        {"D:", "D:" + kSep}, {"d:", "d:" + kSep}, {"D:" + kSep, "D:" + kSep},
        {"D:x", "D:x"},      {"DD:", "DD:"},      {"D", "D"},
        {"", ""},            {"ab", "ab"},
    };
    for (const Case& c : cases) {
        std::string text = c.in;
        completeDriveRoot(text);
        EXPECT_EQ(text, c.out) << c.in;
    }
}

std::set<std::string> allFiles(DirWalker& w, std::string folder) {
    std::set<std::string> names;
    for (bool more = w.firstFile(folder); more; more = w.nextFile()) names.insert(w.currentName());
    return names;
}

std::set<std::string> allSubfolders(DirWalker& w, std::string folder) {
    std::set<std::string> names;
    for (bool more = w.firstSubfolder(folder); more; more = w.nextSubfolder())
        names.insert(w.currentName());
    w.closeSearch();
    return names;
}

class Enumeration : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(tmp / "a.txt", "12345");
        writeFile(tmp / ".verborgen", "");
        writeFile(tmp / "ohnepunkt", "");
        writeFile(tmp / "S1/tief.txt", "");
        makeDirs(tmp / "S2");
        makeDirs(tmp / "leer");
        makeDirs(tmp / "nurordner/U");
    }
    TempDir tmp;
    DirWalker w;
};

TEST_F(Enumeration, FilesAndSubfoldersOfOneFolder) {
    EXPECT_EQ(allFiles(w, tmp.path()), (std::set<std::string>{"a.txt", ".verborgen", "ohnepunkt"}));
    EXPECT_EQ(allSubfolders(w, tmp.path()), (std::set<std::string>{"S1", "S2", "leer", "nurordner"}));
}

TEST_F(Enumeration, NothingToDeliver) {
    // Only "." and "..", only subfolders, no folder at all.
    for (const std::string& folder : {tmp / "leer", tmp / "nurordner", tmp / "fehlt"}) {
        SCOPED_TRACE(folder);
        std::string text = folder;
        EXPECT_FALSE(w.firstFile(text));
        EXPECT_EQ(w.closeSearch(), 0);
    }
    for (const std::string& folder : {tmp / "leer", tmp / "S1", tmp / "fehlt"}) {
        SCOPED_TRACE(folder);
        std::string text = folder;
        EXPECT_FALSE(w.firstSubfolder(text));
        EXPECT_EQ(w.closeSearch(), 0);
    }
}

TEST_F(Enumeration, SearchStateAfterTheLastEntry) {
    std::string folder = tmp / "S1";
    ASSERT_TRUE(w.firstFile(folder));
    EXPECT_EQ(w.currentName(), "tief.txt");
    EXPECT_FALSE(w.nextFile());   // closes the search
    EXPECT_FALSE(w.nextFile());   // and stays closed
    EXPECT_EQ(w.closeSearch(), 0);

    folder = tmp / "nurordner";
    ASSERT_TRUE(w.firstSubfolder(folder));
    EXPECT_EQ(w.currentName(), "U");
    EXPECT_FALSE(w.nextSubfolder());
    EXPECT_FALSE(w.nextSubfolder());
    EXPECT_EQ(w.closeSearch(), 0);
    // A new search on the same walker after the old one was closed.
    EXPECT_EQ(allFiles(w, tmp / "S1"), std::set<std::string>{"tief.txt"});
}

TEST_F(Enumeration, FoundDataOfTheCurrentEntry) {
    std::string folder = tmp.path();
    for (bool more = w.firstFile(folder); more; more = w.nextFile()) {
        const plat::FindData& found = w.currentFound();
        EXPECT_STREQ(found.name, w.currentName().c_str());
        EXPECT_EQ(found.attributes & plat::kAttrFolder, 0u);
        if (w.currentName() == "a.txt") {
            EXPECT_EQ(found.size, 5u);
        }
        if (w.currentName() == ".verborgen" && !plat::kIsWindows) {
            EXPECT_NE(found.attributes & plat::kAttrHidden, 0u);
        }
    }
}

TEST_F(Enumeration, EmptyFolderTextSearchesTheCurrentFolder) {
    std::string saved = getCurrentFolder();
    ASSERT_EQ(changeToFolder(tmp / "S1"), 0);
    std::set<std::string> names = allFiles(w, "");
    changeToFolder(saved);
    EXPECT_EQ(names, std::set<std::string>{"tief.txt"});
}

TEST_F(Enumeration, BareDriveIsCompletedInTheCallersText) {
    std::string saved = getCurrentFolder();
    std::string drive;
    if (plat::kIsWindows) {
        drive = tmp.path().substr(0, 2);  // the drive's root, e.g. Z:
    } else {
        // No drives on POSIX: "Q:" is a folder in the current one, completed alike.
        ASSERT_EQ(changeToFolder(tmp.path()), 0);
        makeDirs(tmp / "Q:/innen");
        drive = "Q:";
    }
    bool found = w.firstSubfolder(drive);
    w.closeSearch();
    changeToFolder(saved);
    EXPECT_TRUE(found);
    EXPECT_EQ(drive.size(), 3u);
    EXPECT_EQ(drive.back(), plat::kPathSeparator);
}

TEST_F(Enumeration, FolderTextBeyondThePatternBufferIsNotSearched) {
    std::string folder = tmp.path();
    while (folder.size() + 4 <= kMaxPathText) folder += kSep + "x";
    EXPECT_FALSE(w.firstSubfolder(folder));
    EXPECT_FALSE(w.firstFile(folder));
}

// The walker's trial search restores a remembered drive before the search proper.
std::vector<std::string>* queries = nullptr;
unsigned long notConnected(const char* local, char*, unsigned long*) {
    queries->push_back(local);
    return plat::kErrorNotConnected;
}
unsigned long refuseAdd(const char*, const char*, unsigned long) { return plat::kErrorNotConnected; }

TEST(TrialSearch, MissOnDriveLetterAsksForTheUpperCaseDriveOnce) {
    std::vector<std::string> log;
    queries = &log;
    static const plat::NetworkApi fake{notConnected, refuseAdd};
    plat::setNetworkApi(&fake);
    DirWalker w;
    std::string folder = "q:" + kSep + "vaultix_gibt_es_nicht";
    EXPECT_FALSE(w.firstFile(folder));
    std::string other = "ohne_laufwerk_gibt_es_nicht";
    EXPECT_FALSE(w.firstSubfolder(other));
    TempDir tmp;
    std::string present = tmp.path();
    w.firstSubfolder(present);
    w.closeSearch();
    plat::setNetworkApi(nullptr);
    queries = nullptr;
    EXPECT_EQ(log, std::vector<std::string>{"Q:"});
}

// ---- entry list ----

struct Slot {
    int32_t a;
    int32_t b;
};

TEST(EntryList, RefusesBadArguments) {
    EntryList list;
    EXPECT_FALSE(list.allocate(0, sizeof(Slot)));
    EXPECT_FALSE(list.allocate(-1, sizeof(Slot)));
    EXPECT_FALSE(list.allocate(3, 0));
    EXPECT_FALSE(list.grow(0, sizeof(Slot)));
    EXPECT_FALSE(list.grow(2, 0));
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.at(0), nullptr);
    Slot s{1, 2};
    EXPECT_FALSE(list.put(0, &s));

    ASSERT_TRUE(list.allocate(3, sizeof(Slot)));
    EXPECT_FALSE(list.allocate(3, sizeof(Slot)));  // a block is held already
    EXPECT_FALSE(list.grow(1, sizeof(Slot) + 4));  // a different slot size
    EXPECT_EQ(list.count(), 3);
    EXPECT_FALSE(list.put(3, &s));
    EXPECT_FALSE(list.put(-1, &s));
    EXPECT_EQ(list.at(3), nullptr);
    EXPECT_EQ(list.at(-1), nullptr);
}

TEST(EntryList, GrowKeepsSlotsAndAddsZeroFilledOnes) {
    EntryList list;
    ASSERT_TRUE(list.allocate(3, sizeof(Slot)));
    for (int i = 0; i < 3; ++i) {
        const Slot* fresh = static_cast<const Slot*>(list.at(i));
        EXPECT_EQ(fresh->a | fresh->b, 0);
        Slot s{i + 1, -(i + 1)};
        ASSERT_TRUE(list.put(i, &s));
    }
    ASSERT_TRUE(list.grow(2, sizeof(Slot)));
    EXPECT_EQ(list.count(), 5);
    for (int i = 0; i < 5; ++i) {
        const Slot* s = static_cast<const Slot*>(list.at(i));
        EXPECT_EQ(s->a, i < 3 ? i + 1 : 0) << i;
        EXPECT_EQ(s->b, i < 3 ? -(i + 1) : 0) << i;
    }
    list.free();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.slotSize(), 0u);
    EXPECT_EQ(list.at(0), nullptr);
    // Growing an empty list allocates.
    ASSERT_TRUE(list.grow(2, sizeof(Slot)));
    EXPECT_EQ(list.count(), 2);
}

TEST(EntryList, ManySmallGrowthsKeepEverySlot) {
    // The removal grows the list once per folder; the slots must survive every move.
    EntryList list;
    for (int i = 0; i < 20000; ++i) {
        ASSERT_TRUE(list.grow(1, sizeof(Slot)));
        Slot s{i, i * 3};
        ASSERT_TRUE(list.put(i, &s));
    }
    ASSERT_EQ(list.count(), 20000);
    for (int i = 0; i < 20000; i += 997) {
        const Slot* s = static_cast<const Slot*>(list.at(i));
        EXPECT_EQ(s->a, i);
        EXPECT_EQ(s->b, i * 3);
    }
    // Slots behind the count are unreachable even though the block has room.
    EXPECT_EQ(list.at(20000), nullptr);
}

TEST(EntryList, StoredTextsStayValidUntilFree) {
    EntryList list;
    std::vector<const char*> texts;
    for (int i = 0; i < 5000; ++i) texts.push_back(list.storeText(std::string(30, 'a' + i % 26)));
    const char* big = list.storeText(std::string(100000, 'z'));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(std::strlen(big), 100000u);
    for (int i = 0; i < 5000; i += 499) EXPECT_EQ(std::string(texts[i]), std::string(30, 'a' + i % 26));
}

TEST(DirWalkerEntries, EntryPathOutsideTheListIsNone) {
    TempDir tmp;
    writeFile(tmp / "eins.txt", "");
    DirWalker w;
    EXPECT_EQ(w.entryPath(0), nullptr);
    ASSERT_EQ(w.listFolderFiles(tmp.path(), 0, 0), 1);
    EXPECT_EQ(std::string(w.entryPath(0)), tmp / "eins.txt");
    EXPECT_EQ(w.entryPath(1), nullptr);
    EXPECT_EQ(w.entryPath(-1), nullptr);
    w.reset();
    EXPECT_EQ(w.entryPath(0), nullptr);
    EXPECT_EQ(w.entryCount(), 0);
}

}  // namespace
