#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fs/paths.h"
#include "platform/platform.h"
#include "support/tempdir.h"

namespace {

struct SplitCase {
    const char* path;
    const char* folder;
    const char* base;
    const char* extension;
    const char* fileName;
};

TEST(Paths, SplitFileNameAndFolder) {
    const SplitCase cases[] = {
        {"C:\\Daten\\Bericht.2007.doc", "C:\\Daten", "Bericht.2007", "doc", "Bericht.2007.doc"},
        {"C:\\Daten\\", "C:\\Daten", "", "", ""},
        {"Bericht", "", "Bericht", "", "Bericht"},
        {"C:Bericht.txt", "", "C:Bericht", "txt", "C:Bericht.txt"},
        {"C:\\Bericht.txt", "C:", "Bericht", "txt", "Bericht.txt"},
        {"\\\\server\\share\\a.b", "\\\\server\\share", "a", "b", "a.b"},
        {"C:/x/y.z", "C:/x", "y", "z", "y.z"},
        {"C:\\Fotos.alt\\liesmich", "C:\\Fotos.alt", "liesmich", "", "liesmich"},
        {"C:\\Daten\\.profil", "C:\\Daten", "", "profil", ".profil"},
        {"C:\\Daten\\Archiv.", "C:\\Daten", "Archiv", "", "Archiv"},
        {"/home/a/b.c", "/home/a", "b", "c", "b.c"},
        {"C:\\mixed/sep\\last", "C:\\mixed/sep", "last", "", "last"},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.path);
        std::string folder = "x", base = "x", extension = "x";
        EXPECT_EQ(splitPath(c.path, folder, base, extension), 0);
        EXPECT_EQ(folder, c.folder);
        EXPECT_EQ(base, c.base);
        EXPECT_EQ(extension, c.extension);
        EXPECT_EQ(fileNameOf(c.path), c.fileName);
        EXPECT_EQ(folderOf(c.path), c.folder);
    }
}

TEST(Paths, DriveLetter) {
    const std::pair<const char*, char> cases[] = {
        {"d:\\Daten", 'D'}, {"C:", 'C'}, {"z:rel", 'Z'}, {"\\\\server\\share", '\0'},
        {"Bericht", '\0'}, {"", '\0'}, {"C", '\0'}, {"1:\\x", '1'}, {"/tmp/x", '\0'},
    };
    for (const auto& [path, letter] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(driveLetterOf(path), letter);
    }
}

TEST(Paths, LongPathStartsAt256Characters) {
    EXPECT_FALSE(isLongPath(std::string(255, 'a')));
    EXPECT_TRUE(isLongPath(std::string(256, 'a')));
}

// A network service that answers as told and records what it was asked.
struct FakeNetwork {
    struct Call {
        std::string what, device, remote;
        unsigned long flags = 0;  // add: the flags given
        unsigned long room = 0;   // query: the room given for the remote name
    };
    static inline std::vector<Call> calls;
    static inline unsigned long queryResult = plat::kNoError;
    static inline std::string remembered;
    static inline unsigned long addResult = plat::kNoError;
    static inline std::string createOnAdd;  // a file that appears once the drive is back

    static unsigned long getConnection(const char* device, char* remote, unsigned long* length) {
        calls.push_back({"query", device, "", 0, *length});
        std::snprintf(remote, *length, "%s", remembered.c_str());
        return queryResult;
    }
    static unsigned long addConnection(const char* device, const char* remote, unsigned long flags) {
        calls.push_back({"add", device, remote, flags, 0});
        if (!createOnAdd.empty()) writeFile(createOnAdd, "da");
        return addResult;
    }
};

class Reconnect : public ::testing::Test {
protected:
    void SetUp() override {
        FakeNetwork::calls.clear();
        FakeNetwork::queryResult = plat::kNoError;
        FakeNetwork::remembered.clear();
        FakeNetwork::addResult = plat::kNoError;
        FakeNetwork::createOnAdd.clear();
        static const plat::NetworkApi api{FakeNetwork::getConnection, FakeNetwork::addConnection};
        plat::setNetworkApi(&api);
    }
    void TearDown() override { plat::setNetworkApi(nullptr); }
};

TEST_F(Reconnect, DriveResults) {
    struct Case {
        const char* name;
        unsigned long queryResult;
        unsigned long addResult;
        ReconnectResult expected;
        bool added;
    };
    const Case cases[] = {
        {"remembered, restored", plat::kErrorConnectionUnavail, plat::kNoError,
         ReconnectResult::Reconnected, true},
        {"remembered, restore fails", plat::kErrorConnectionUnavail, 1219,
         ReconnectResult::NotReconnected, true},
        {"connected", plat::kNoError, plat::kNoError, ReconnectResult::AlreadyConnected, false},
        {"local or unused drive", plat::kErrorNotConnected, plat::kNoError,
         ReconnectResult::NotReconnected, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeNetwork::calls.clear();
        FakeNetwork::queryResult = c.queryResult;
        FakeNetwork::addResult = c.addResult;
        FakeNetwork::remembered = "\\\\server\\daten";
        EXPECT_EQ(reconnectDrive('K'), c.expected);
        ASSERT_EQ(FakeNetwork::calls.size(), c.added ? 2u : 1u);
        EXPECT_EQ(FakeNetwork::calls[0].device, "K:");
        EXPECT_GE(FakeNetwork::calls[0].room, 300u) << "room for 300 characters of remote name";
        if (c.added) {
            EXPECT_EQ(FakeNetwork::calls[1].what, "add");
            EXPECT_EQ(FakeNetwork::calls[1].device, "K:");
            EXPECT_EQ(FakeNetwork::calls[1].remote, "\\\\server\\daten");
            EXPECT_EQ(FakeNetwork::calls[1].flags, plat::kConnectUpdateProfile);
        }
    }
}

TEST_F(Reconnect, NoDriveLetterAsksNobody) {
    EXPECT_EQ(reconnectDrive('\0'), ReconnectResult::NoDriveLetter);
    EXPECT_TRUE(FakeNetwork::calls.empty());
}

TEST_F(Reconnect, FailedOpenOnARememberedDriveIsRetriedAfterTheRestore) {
    TempDir tmp;
    // A path that begins with a drive letter and a colon and names a real place: the
    // temporary folder's drive under Windows, a folder called "Q:" on POSIX.
    std::string path;
    std::string saved = getCurrentFolder();
    if (plat::kIsWindows) {
        path = tmp / "liste.txt";
    } else {
        makeDirs(tmp / "Q:");
        ASSERT_EQ(changeToFolder(tmp.path()), 0);
        path = "Q:/liste.txt";
    }
    FakeNetwork::queryResult = plat::kErrorConnectionUnavail;
    FakeNetwork::remembered = "\\\\server\\daten";
    FakeNetwork::createOnAdd = plat::kIsWindows ? path : tmp / "Q:/liste.txt";

    FILE* f = openWithReconnect(path, "r");
    ASSERT_NE(f, nullptr) << "the open after the restore is the one that counts";
    std::fclose(f);
    ASSERT_EQ(FakeNetwork::calls.size(), 2u);
    EXPECT_EQ(FakeNetwork::calls[0].device, std::string(1, driveLetterOf(path)) + ":");
    EXPECT_EQ(FakeNetwork::calls[1].what, "add");
    changeToFolder(saved);
}

TEST_F(Reconnect, FailedOpenWithoutDriveLetterReconnectsNothing) {
    TempDir tmp;
    const std::string paths[] = {tmp.path() + separator() + "fehlt.txt" /* Z:\ under Wine */,
                                 "fehlt-ganz-sicher.txt", "\\\\server\\share\\x.txt"};
    for (const std::string& path : paths) {
        if (driveLetterOf(path) != '\0') continue;
        SCOPED_TRACE(path);
        FakeNetwork::calls.clear();
        EXPECT_EQ(openWithReconnect(path, "r"), nullptr);
        EXPECT_TRUE(FakeNetwork::calls.empty());
    }
}

TEST_F(Reconnect, FailedOpenOnALocalDriveAsksOnceAndFails) {
    FakeNetwork::queryResult = plat::kErrorNotConnected;
    EXPECT_EQ(openWithReconnect("q:fehlt/nirgends.txt", "r"), nullptr);
    ASSERT_EQ(FakeNetwork::calls.size(), 1u);
    EXPECT_EQ(FakeNetwork::calls[0].device, "Q:");
}

TEST(CurrentFolder, ChangeAndRestore) {
    TempDir tmp;
    const std::string saved = getCurrentFolder();
    ASSERT_FALSE(saved.empty());
    ASSERT_EQ(changeToFolder(tmp.path()), 0);
    EXPECT_TRUE(std::filesystem::equivalent(getCurrentFolder(), tmp.path()));
    EXPECT_EQ(changeToFolder(tmp / "fehlt"), -1);
    EXPECT_TRUE(std::filesystem::equivalent(getCurrentFolder(), tmp.path()))
        << "a failed change stays where it was";
    EXPECT_EQ(changeToFolder(saved), 0);
    EXPECT_EQ(getCurrentFolder(), saved);
}

TEST(CurrentFolder, DeepFolderCanBeRestored) {
    if (plat::kIsWindows) GTEST_SKIP() << "Windows keeps the current folder within 259 characters";
    TempDir tmp;
    std::string deep = tmp.path();
    while (deep.size() <= 300) deep += "/" + std::string(40, 'd');
    makeDirs(deep);
    const std::string saved = getCurrentFolder();
    ASSERT_EQ(changeToFolder(deep), 0);
    // An empty answer here would leave a long-path operation unable to return.
    const std::string here = getCurrentFolder();
    EXPECT_EQ(changeToFolder(saved), 0);
    EXPECT_TRUE(std::filesystem::equivalent(here, deep));
}

}  // namespace
