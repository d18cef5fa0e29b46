#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "fs/fileops.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "support/tempdir.h"

namespace {

TEST(ExistenceChecks, FilesFoldersAndMissingPaths) {
    TempDir tmp;
    writeFile(tmp / "plain.txt", "x");
    writeFile(tmp / ".verborgen", "x");
    writeFile(tmp / "ohnepunkt", "x");
    makeDirs(tmp / "Ordner");
    makeDirs(tmp / "Ordner.mit.punkt");

    struct Case {
        std::string path;
        bool file;
        bool folder;
    };
    const std::vector<Case> cases = {
        {tmp / "plain.txt", true, false},
        {tmp / ".verborgen", true, false},
        {tmp / "ohnepunkt", true, false},
        {tmp / "Ordner", false, true},
        {tmp / "Ordner.mit.punkt", false, true},
        {tmp / "fehlt", false, false},
        {tmp / "fehlt/tiefer", false, false},
        {tmp / "plain.txt/unter", false, false},
        // POSIX delivers "." and ".." by those names, which do not count as a folder;
        // Windows resolves them and delivers the folder's own name.
        {tmp / ".", false, plat::kIsWindows},
        {tmp / "..", false, plat::kIsWindows},
        {"", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(fileExists(c.path), c.file);
        EXPECT_EQ(folderExists(c.path), c.folder);
    }
}

TEST(ExistenceChecks, ReadOnlyFileIsFound) {
    TempDir tmp;
    std::string path = tmp / "schreibgeschuetzt.txt";
    writeFile(path, "x");
    ASSERT_TRUE(plat::setAttributes(path.c_str(), plat::kAttrReadOnly));
    EXPECT_TRUE(fileExists(path));
    plat::setAttributes(path.c_str(), 0);
}

TEST(FileWriteTime, ReadsLastWriteOrZero) {
    TempDir tmp;
    std::string path = tmp / "datei.txt";
    writeFile(path, "x");
    const int64_t when = 1183000000LL;  // June 2007
    ASSERT_TRUE(plat::setFileTimes(path.c_str(), plat::kNoExactTime, plat::kNoExactTime,
                                   when * 1000000000LL));
    EXPECT_EQ(fileWriteTime(path), when);
    EXPECT_EQ(fileWriteTime(tmp / "fehlt.txt"), 0);
}

TEST(MakeFolderPath, ExistingFolderIsLeftAsItIs) {
    TempDir tmp;
    std::string path = tmp / "da";
    makeDirs(path);
    writeFile(tmp / "da/inhalt.txt", "bleibt");
    EXPECT_EQ(makeFolderPath(path), 0);
    EXPECT_EQ(readFile(tmp / "da/inhalt.txt"), "bleibt");
}

TEST(MakeFolderPath, CreatesDeepMissingChain) {
    TempDir tmp;
    std::string path = tmp / "A/B/C/D/E";
    EXPECT_EQ(makeFolderPath(path), 0);
    for (const char* rel : {"A", "A/B", "A/B/C", "A/B/C/D", "A/B/C/D/E"}) {
        SCOPED_TRACE(rel);
        EXPECT_TRUE(folderExists(tmp / rel));
    }
}

TEST(MakeFolderPath, FailsWhereNothingCanBeCreated) {
    TempDir tmp;
    writeFile(tmp / "datei", "x");
    // Below a file: the chain climbs to the file and gives up.
    EXPECT_EQ(makeFolderPath(tmp / "datei/unter/tiefer"), 1);
    EXPECT_EQ(readFile(tmp / "datei"), "x");
    // A name without any separator that cannot be created.
    EXPECT_EQ(makeFolderPath(std::string(300, 'n')), 1);
    EXPECT_EQ(makeFolderPath(""), 1);
}

TEST(MakeFolderPath, RefusesPathBeyondCapacityInsteadOfCuttingIt) {
    TempDir tmp;
    std::string path = tmp.path();
    std::string first;
    while (path.size() <= kMaxPathText) {
        path = joinNative(path, "ebene_mit_langem_namen");
        if (first.empty()) first = path;
    }
    EXPECT_EQ(makeFolderPath(path), 1);
    // Not even the first level: a shortened text would name another folder.
    EXPECT_FALSE(folderExists(first));
}

// The reconnect rule through the network seam: the fake remembers a disconnected
// share for every drive letter and brings the missing file "online" on reconnection.
struct NetworkLog {
    std::vector<std::string> queries;
    std::vector<std::string> additions;
    std::string fileToCreate;
};
NetworkLog* netLog = nullptr;

unsigned long rememberedButDisconnected(const char* local, char* remote, unsigned long* length) {
    netLog->queries.push_back(local);
    const char share[] = "\\\\server\\daten";
    if (remote && length && *length > sizeof share) std::snprintf(remote, *length, "%s", share);
    return plat::kErrorConnectionUnavail;
}
unsigned long connectAndAppear(const char* local, const char* remote, unsigned long flags) {
    netLog->additions.push_back(std::string(local) + "=" + remote +
                                (flags == plat::kConnectUpdateProfile ? "" : " (flags?)"));
    if (!netLog->fileToCreate.empty()) writeFile(netLog->fileToCreate, "online");
    return plat::kNoError;
}

class ReconnectRule : public ::testing::Test {
protected:
    void SetUp() override {
        netLog = &log;
        static const plat::NetworkApi fake{rememberedButDisconnected, connectAndAppear};
        plat::setNetworkApi(&fake);
        saved = getCurrentFolder();
        ASSERT_FALSE(saved.empty());
        // A path with a drive letter: on Windows the temporary folder's own; on POSIX a
        // folder named "Q:" in the current folder.
        if (plat::kIsWindows) {
            root = tmp.path();
        } else {
            ASSERT_EQ(changeToFolder(tmp.path()), 0);
            makeDirs(tmp / "Q:");
            root = "Q:";
        }
        drive = std::string(1, static_cast<char>(std::toupper(root[0]))) + ":";
    }
    void TearDown() override {
        plat::setNetworkApi(nullptr);
        netLog = nullptr;
        changeToFolder(saved);
    }
    TempDir tmp;
    NetworkLog log;
    std::string saved, root, drive;
};

TEST_F(ReconnectRule, MissOnDriveReconnectsThenAnswersAsConnected) {
    std::string path = root + plat::kPathSeparator + "auf_dem_netz.txt";
    log.fileToCreate = path;
    EXPECT_TRUE(fileExists(path));
    EXPECT_EQ(log.queries, std::vector<std::string>{drive});
    EXPECT_EQ(log.additions, std::vector<std::string>{drive + "=\\\\server\\daten"});
}

TEST_F(ReconnectRule, EachCheckRetriesOnceAndFoundPathsAskNothing) {
    std::string missing = root + plat::kPathSeparator + "fehlt";
    EXPECT_FALSE(folderExists(missing));
    EXPECT_EQ(fileWriteTime(missing), 0);
    EXPECT_EQ(log.queries.size(), 2u);

    log.queries.clear();
    writeFile(root + plat::kPathSeparator + "da.txt", "x");
    EXPECT_TRUE(fileExists(root + plat::kPathSeparator + "da.txt"));
    EXPECT_TRUE(folderExists(root));
    EXPECT_TRUE(log.queries.empty());
}

TEST_F(ReconnectRule, PathWithoutDriveLetterIsNotReconnected) {
    EXPECT_FALSE(fileExists("fehlt_ohne_laufwerk.txt"));
    EXPECT_TRUE(log.queries.empty());
}

}  // namespace
