// The folder name table on real folders, the archive-name rules, the oldest pick and
// the creation of the new archive folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/foldertable.h"
#include "support/tempdir.h"
#include "time/timestamp.h"

namespace {

std::vector<std::string> tableNames() {
    std::vector<std::string> names;
    for (int32_t i = 0; i < tableCount(); ++i) names.push_back(nameAt(i));
    std::sort(names.begin(), names.end());
    return names;
}

// Folders only, hidden ones included; files, "." and ".." are not listed. The upper-
// cased copy leaves the table as it is.
TEST(FolderTable, ListsSubfoldersOnly) {
    TempDir dir;
    for (const char* name : {"archiv_alt", "Archiv_Test", "ARCHIV_20070101_120000", ".versteckt"})
        makeDirs(dir / name);
    writeFile(dir / "ARCHIV_20070100_000000", "a file with an archive name");
    EXPECT_EQ(listSubfolders(dir.path()), 4);
    EXPECT_EQ(tableNames(), (std::vector<std::string>{".versteckt", "ARCHIV_20070101_120000",
                                                      "Archiv_Test", "archiv_alt"}));
    for (int32_t i = 0; i < tableCount(); ++i) {
        EXPECT_EQ(upperNameAt(i), upperAscii(nameAt(i)));
        EXPECT_NE(nameAt(i), "");
    }
    EXPECT_EQ(nameAt(tableCount()), "") << "past the end gives an empty name, not a crash";
    releaseTable();
    EXPECT_EQ(tableCount(), 0);
    releaseTable();  // releasing an empty table does nothing
    EXPECT_EQ(tableCount(), 0);
}

// A missing folder lists as empty and replaces what an earlier listing left.
TEST(FolderTable, MissingFolderListsNothingAndReplacesTheTable) {
    TempDir dir;
    makeDirs(dir / "eins");
    ASSERT_EQ(listSubfolders(dir.path()), 1);
    EXPECT_EQ(listSubfolders(dir / "fehlt"), 0);
    EXPECT_EQ(tableCount(), 0);
    EXPECT_EQ(nextArchiveName(""), kNoArchiveName);
}

TEST(FolderTable, ArchiveNameAndPermanentMarkOnUpperCasedNames) {
    struct Case {
        const char* name;
        bool archive;
        bool marked;
    };
    const Case cases[] = {
        {"ARCHIV_20070101_120000", true, false},   {"ARCHIV_20070101_120000_S", true, true},
        {"archiv_20070101_120000_s", true, true},  {"ARCHIV_20070101_120000_X", true, false},
        {"ARCHIV_TESTS", true, true},              {"Archiv_alt", true, false},
        {"ARCHIV", false, false},                  {"ARCHIVE_1", false, false},
        {"SICHER", false, false},                  {"\xe4rchiv_1", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string upper = upperAscii(c.name);
        EXPECT_EQ(isArchiveName(upper), c.archive);
        if (c.archive) EXPECT_EQ(carriesPermanentMark(upper), c.marked);
    }
    EXPECT_EQ(upperAscii("az_AZ-09\xe4\xfc"), "AZ_AZ-09\xe4\xfc") << "only a to z change";
}

// Successive picks from the empty bound run through the archive folders in byte order
// of their upper-cased names, each once, then "ZZZZZ"; other folders are never picked.
TEST(FolderTable, OldestFirstPicksThenZZZZZ) {
    TempDir dir;
    for (const char* name : {"ARCHIV_20070103_120000", "archiv_alt", "Archiv_Test",
                             "ARCHIV_20070101_120000", "Daten", "ZZZZZZ"})
        makeDirs(dir / name);
    listSubfolders(dir.path());
    std::vector<std::string> picks;
    std::string bound;
    for (int i = 0; i < 5; ++i) {
        bound = nextArchiveName(bound);
        picks.push_back(bound);
    }
    EXPECT_EQ(picks, (std::vector<std::string>{"ARCHIV_20070101_120000", "ARCHIV_20070103_120000",
                                               "ARCHIV_ALT", "ARCHIV_TEST", "ZZZZZ"}));
    releaseTable();
}

// The picked folder is opened where it really is: under its upper-cased name on
// Windows, under the name the listing delivered on POSIX.
TEST(FolderTable, PickedFolderPathFindsTheListedFolder) {
    TempDir dir;
    makeDirs(dir / "archiv_alt_s");
    listSubfolders(dir.path());
    std::string path = pickedFolderPath(dir.path(), nextArchiveName(""));
    releaseTable();
    EXPECT_TRUE(exists(path)) << path;
#ifdef _WIN32
    EXPECT_EQ(path, dir / "ARCHIV_ALT_S");
#else
    EXPECT_EQ(path, dir / "archiv_alt_s");
#endif
}

// The new folder is created with its missing parents, named by the run's time and the
// mark; an existing folder of that name is simply used.
TEST(FolderTable, CreatesTheNewArchiveFolder) {
    TempDir dir;
    const Timestamp t{2007, 6, 27, 14, 5, 33};
    const std::string target = dir / "neu/ziel";
    std::string marked = createNewArchiveFolder(target, t, true, "");
    EXPECT_EQ(marked, dir / "neu/ziel/ARCHIV_20070627_140533_S");
    EXPECT_TRUE(exists(marked));
    writeFile(marked + separator() + "alt.txt", "bleibt");
    EXPECT_EQ(createNewArchiveFolder(target, t, true, ""), marked);
    EXPECT_EQ(readFile(marked + separator() + "alt.txt"), "bleibt");
    const std::string errorFile = dir / "fehler.txt";
    std::string plain = createNewArchiveFolder(target, t, false, errorFile);
    EXPECT_EQ(plain, dir / "neu/ziel/ARCHIV_20070627_140533");
    EXPECT_TRUE(exists(plain));
    std::string logged = readFile(errorFile);
    logged.erase(std::remove(logged.begin(), logged.end(), '\r'), logged.end());
    EXPECT_EQ(logged, "Archivordner " + plain + " neu erstellt\n");
}

}  // namespace
