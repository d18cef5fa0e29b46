// The OS layer on real temporary folders: the same expectations for the POSIX build and
// for the Windows build under Wine, with the few differences the OS dictates.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

std::set<std::string> listNames(const std::string& pattern) {
    std::set<std::string> names;
    plat::FindData d;
    plat::FindHandle h = plat::findFirst(pattern.c_str(), d);
    if (!h) return names;
    do {
        names.insert(d.name);
    } while (plat::findNext(h, d));
    plat::findClose(h);
    return names;
}

bool findOne(const std::string& path, plat::FindData& out) {
    plat::FindHandle h = plat::findFirst(path.c_str(), out);
    if (!h) return false;
    plat::findClose(h);
    return true;
}

uint32_t attrs(const std::string& path) { return plat::getAttributes(path.c_str()); }

// A folder with a file of each kind the listing has to deliver.
class PlatformFolder : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(tmp / "report.txt", "hello");
        writeFile(tmp / "noext", "");
        writeFile(tmp / ".profile", "x");
        writeFile(tmp / "hid.dat", "x");
        makeDirs(tmp / "sub");
        if (plat::kIsWindows) {
            ASSERT_TRUE(plat::setAttributes((tmp / "hid.dat").c_str(), plat::kAttrHidden));
        }
    }
    TempDir tmp;
};

TEST_F(PlatformFolder, WildcardsFollowWindowsRules) {
    const std::set<std::string> all = {".", "..", "report.txt", "noext", ".profile",
                                       "hid.dat", "sub"};
    struct Case {
        const char* pattern;
        std::set<std::string> expected;
    } cases[] = {
        {"*.*", all},  // also the names without a dot, and the hidden ones
        {"*", all},
        {"*.txt", {"report.txt"}},
        {"no?xt", {"noext"}},
        {"*ext", {"noext"}},
        {"r*t.t?t", {"report.txt"}},
        {"zzz*", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(listNames(tmp / c.pattern), c.expected) << c.pattern;
}

TEST_F(PlatformFolder, ListingDescribesEachEntry) {
    plat::FindData d;
    plat::FindHandle h = plat::findFirst((tmp / "*").c_str(), d);
    ASSERT_NE(h, nullptr);
    int seen = 0;
    do {
        std::string name = d.name;
        bool folder = (d.attributes & plat::kAttrFolder) != 0;
        if (name == "." || name == ".." || name == "sub") {
            EXPECT_TRUE(folder) << name;
        } else {
            EXPECT_FALSE(folder) << name;
        }
        if (name == "report.txt") {
            ++seen;
            EXPECT_EQ(d.size, 5u);
            EXPECT_EQ(d.fullSize, 5u);
            EXPECT_GT(d.lastWriteTime, 0);
            EXPECT_NE(d.lastWriteNs, plat::kNoExactTime);
            EXPECT_EQ(d.attributes & plat::kAttrHidden, 0u);
        }
        // Windows hides by attribute, POSIX by the leading dot (Wine, on a POSIX file
        // system, reports dot names as hidden too).
        if (name == "hid.dat" && plat::kIsWindows) {
            EXPECT_NE(d.attributes & plat::kAttrHidden, 0u);
        }
        if (name == ".profile" && !plat::kIsWindows) {
            EXPECT_NE(d.attributes & plat::kAttrHidden, 0u);
        }
        if (name == "hid.dat" && !plat::kIsWindows) {
            EXPECT_EQ(d.attributes & plat::kAttrHidden, 0u);
        }
    } while (plat::findNext(h, d));
    plat::findClose(h);
    EXPECT_EQ(seen, 1);
}

TEST_F(PlatformFolder, SingleEntryFind) {
    plat::FindData d;
    ASSERT_TRUE(findOne(tmp / "report.txt", d));
    EXPECT_STREQ(d.name, "report.txt");
    EXPECT_EQ(d.size, 5u);
    EXPECT_EQ(d.attributes & plat::kAttrFolder, 0u);

    plat::FindHandle h = plat::findFirst((tmp / "sub").c_str(), d);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(d.name, "sub");
    EXPECT_NE(d.attributes & plat::kAttrFolder, 0u);
    EXPECT_FALSE(plat::findNext(h, d));  // one entry, not the folder's content
    plat::findClose(h);

    EXPECT_EQ(plat::findFirst((tmp / "missing").c_str(), d), nullptr);
    EXPECT_EQ(plat::findFirst((tmp / "missing/*").c_str(), d), nullptr);
    EXPECT_EQ(plat::findFirst("", d), nullptr);
}

TEST(Platform, SizeBeyondFourGigabytes) {
    TempDir tmp;
    std::string path = tmp / "big.bin";
    writeFile(path, "");
    const uint64_t size = (uint64_t{5} << 30) + 3;
    std::error_code ec;
    fs::resize_file(path, size, ec);  // sparse: takes no room on the disk
    if (ec) GTEST_SKIP() << "no sparse file here: " << ec.message();
    plat::FindData d;
    ASSERT_TRUE(findOne(path, d));
    EXPECT_EQ(d.fullSize, size);
    EXPECT_EQ(d.size, static_cast<uint32_t>(size));  // the low 32 bits
}

TEST_F(PlatformFolder, AttributesQueryAndSet) {
    std::string file = tmp / "report.txt";
    EXPECT_NE(attrs(tmp / "sub") & plat::kAttrFolder, 0u);
    EXPECT_EQ(attrs(file) & plat::kAttrFolder, 0u);
    EXPECT_EQ(attrs(tmp / "missing"), plat::kAttrInvalid);
    EXPECT_FALSE(plat::setAttributes((tmp / "missing").c_str(), 0));

    ASSERT_TRUE(plat::setAttributes(file.c_str(), plat::kAttrReadOnly));
    EXPECT_NE(attrs(file) & plat::kAttrReadOnly, 0u);
    plat::FindData d;
    ASSERT_TRUE(findOne(file, d));
    EXPECT_NE(d.attributes & plat::kAttrReadOnly, 0u);

    // "None" makes the entry writable and removable again.
    ASSERT_TRUE(plat::setAttributes(file.c_str(), 0));
    EXPECT_EQ(attrs(file) & plat::kAttrReadOnly, 0u);
    writeFile(file, "overwritten");
    EXPECT_TRUE(plat::removeFileEntry(file.c_str()));
    EXPECT_FALSE(exists(file));
}

TEST_F(PlatformFolder, CopiedAttributesReproduceTheSource) {
    // What a copy does: the source's attribute value set on the target.
    std::string source = tmp / "report.txt";
    std::string target = tmp / "noext";
    std::vector<uint32_t> settings;
    if (plat::kIsWindows) {
        settings = {plat::kAttrHidden | plat::kAttrSystem,
                    plat::kAttrReadOnly | plat::kAttrArchive, plat::kAttrArchive};
    } else {
        settings = {0755u << 16, 0640u << 16, 0400u << 16, 04711u << 16, 0644u << 16};
    }
    for (uint32_t setting : settings) {
        ASSERT_TRUE(plat::setAttributes(source.c_str(), setting)) << std::hex << setting;
        uint32_t got = attrs(source);
        ASSERT_TRUE(plat::setAttributes(target.c_str(), got)) << std::hex << got;
        EXPECT_EQ(attrs(target), got) << std::hex << setting;
        if (plat::kIsWindows) {
            EXPECT_EQ(got & setting, setting) << std::hex << got;
        } else {
            EXPECT_EQ(got >> 16, setting >> 16) << std::oct << (got >> 16);
            // Without the owner's write permission the entry reads as read-only.
            EXPECT_EQ((got & plat::kAttrReadOnly) != 0, ((setting >> 16) & 0200) == 0);
        }
    }
    ASSERT_TRUE(plat::setAttributes(target.c_str(), 0));
    EXPECT_EQ(attrs(target) & (plat::kAttrReadOnly | plat::kAttrHidden | plat::kAttrSystem), 0u);
}

TEST_F(PlatformFolder, NoneOpensALockedFolder) {
    std::string folder = tmp / "sub";
    writeFile(tmp / "sub/inner.txt", "x");
    uint32_t locked = plat::kIsWindows ? plat::kAttrReadOnly | plat::kAttrHidden : 0u;
    if (!plat::kIsWindows) {
        // No permission at all: mode 0 can only be set as the explicit value 0000,
        // which has no high bits, so go through std::filesystem.
        fs::permissions(folder, fs::perms::none);
    } else {
        ASSERT_TRUE(plat::setAttributes(folder.c_str(), locked));
    }
    ASSERT_TRUE(plat::setAttributes(folder.c_str(), 0));
    uint32_t a = attrs(folder);
    EXPECT_NE(a & plat::kAttrFolder, 0u);
    EXPECT_EQ(a & (plat::kAttrReadOnly | plat::kAttrHidden), 0u);
    if (!plat::kIsWindows) {
        EXPECT_EQ((a >> 16) & 0700, 0700u) << std::oct << (a >> 16);
    }
    EXPECT_TRUE(plat::removeFileEntry((tmp / "sub/inner.txt").c_str()));
    EXPECT_TRUE(plat::removeFolder(folder.c_str()));
}

struct TimeCase {
    const char* what;
    int64_t seconds;  // UTC
    int32_t expected32;
};

constexpr int64_t kNs = 1000000000LL;

// Restores the current folder even when a check fails halfway.
class CurrentFolderGuard {
public:
    CurrentFolderGuard() { plat::currentFolder(saved_, sizeof saved_); }
    ~CurrentFolderGuard() { plat::changeFolder(saved_); }
    const char* saved() const { return saved_; }

private:
    char saved_[4096] = {};
};

// Listings, folder creation and removal work on full path texts, which a deep archive
// tree makes longer than the classic 260 characters.
TEST(Platform, PathsBeyondTwoHundredSixtyCharacters) {
    TempDir tmp;
    std::string folder = tmp.path();
    std::vector<std::string> chain;
    for (char c : {'a', 'b', 'c', 'd'}) {
        folder += separator() + std::string(60, c);
        ASSERT_TRUE(plat::makeFolder(folder.c_str())) << folder.size();
        chain.push_back(folder);
    }
    ASSERT_GT(folder.size(), 260u);
    // A file with a long path, written from inside its (still short) folder.
    const std::string fileName(60, 'f');
    {
        CurrentFolderGuard guard;
        ASSERT_EQ(plat::changeFolder(chain[2].c_str()), 0);
        writeFile(fileName, "12345");
        // By its bare name from inside the folder, as the long-path rule works: the
        // name is short, but the path the system makes of it is not.
        plat::FindData d;
        ASSERT_TRUE(findOne(fileName, d));
        EXPECT_EQ(d.size, 5u);
        ASSERT_TRUE(plat::setAttributes(fileName.c_str(), plat::kAttrReadOnly));
        EXPECT_NE(attrs(fileName) & plat::kAttrReadOnly, 0u);
        ASSERT_TRUE(plat::setAttributes(fileName.c_str(), 0));
        EXPECT_EQ(attrs(fileName) & plat::kAttrReadOnly, 0u);
        EXPECT_TRUE(plat::makeFolder("inner"));
        EXPECT_TRUE(plat::removeFolder("inner"));
    }
    const std::string file = chain[2] + separator() + fileName;
    ASSERT_GT(file.size(), 260u);

    EXPECT_EQ(listNames(chain[2] + separator() + "*"),
              (std::set<std::string>{".", "..", std::string(60, 'd'), fileName}));
    plat::FindData d;
    ASSERT_TRUE(findOne(file, d));
    EXPECT_EQ(std::string(d.name), fileName);
    EXPECT_EQ(d.size, 5u);
    // The other separator and a ".." step mean the same entry.
    std::string roundabout = chain[2] + separator() + ".." + separator() +
                             std::string(60, 'c') + "/" + fileName;
    ASSERT_TRUE(findOne(roundabout, d));
    EXPECT_EQ(d.size, 5u);

    const int64_t when = 1184494830LL * kNs;
    for (const std::string& path : {file, folder}) {
        SCOPED_TRACE(path.size());
        ASSERT_TRUE(plat::setFileTimes(path.c_str(), when, when, when));
        ASSERT_TRUE(findOne(path, d));
        EXPECT_EQ(d.lastWriteNs, when);
        ASSERT_TRUE(plat::setAttributes(path.c_str(), plat::kAttrReadOnly));
        if (path == file) {  // Wine keeps no read-only flag on a folder
            EXPECT_NE(attrs(path) & plat::kAttrReadOnly, 0u);
        }
        ASSERT_TRUE(plat::setAttributes(path.c_str(), 0));
        EXPECT_EQ(attrs(path) & plat::kAttrReadOnly, 0u);
        plat::FileId id;
        EXPECT_TRUE(plat::fileIdentity(path.c_str(), id));
    }
    EXPECT_FALSE(plat::removeFolder(chain[2].c_str()));  // not empty
    EXPECT_TRUE(plat::removeFileEntry(file.c_str()));
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        EXPECT_TRUE(plat::removeFolder(it->c_str())) << it->size();
    EXPECT_FALSE(exists(chain[0]));
}

TEST(Platform, SetFileTimesCarriesTheExactUtcTimes) {
    TempDir tmp;
    const TimeCase cases[] = {
        {"winter", 1168856430, 1168856430},   // 2007-01-15 10:20:30 UTC
        {"summer", 1184494830, 1184494830},   // 2007-07-15 10:20:30 UTC
        {"beyond 2038", 2214129630, plat::kNoTime},
        {"before 1970", -43200, plat::kNoTime},
    };
    const std::string targets[] = {tmp / "file.txt", tmp / "folder"};
    writeFile(targets[0], "data");
    makeDirs(targets[1]);
    for (const std::string& target : targets) {
        for (const TimeCase& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " on " + target);
            // A fraction that survives both 100-ns and 1-ns resolution.
            int64_t write = c.seconds * kNs + 123456700;
            int64_t access = (c.seconds + 60) * kNs;
            ASSERT_TRUE(plat::setFileTimes(target.c_str(), write, access, write));
            plat::FindData d;
            ASSERT_TRUE(findOne(target, d));
            EXPECT_EQ(d.lastWriteNs, write);
            EXPECT_EQ(d.lastWriteTime, c.expected32);
            EXPECT_EQ(d.lastAccessNs, access);
            EXPECT_EQ(d.lastAccessTime,
                      c.expected32 == plat::kNoTime ? plat::kNoTime : c.expected32 + 60);
            // The creation time is not checked: POSIX cannot set it, and Wine keeps none of
            // its own on a POSIX file system.
        }
    }
}

TEST(Platform, SetFileTimesLeavesUnknownTimesAlone) {
    TempDir tmp;
    std::string file = tmp / "file.txt";
    writeFile(file, "data");
    const int64_t first = 1168856430 * kNs;
    ASSERT_TRUE(plat::setFileTimes(file.c_str(), first, first, first));
    const int64_t later = 1184494830 * kNs;
    ASSERT_TRUE(plat::setFileTimes(file.c_str(), plat::kNoExactTime, plat::kNoExactTime, later));
    plat::FindData d;
    ASSERT_TRUE(findOne(file, d));
    EXPECT_EQ(d.lastWriteNs, later);
    EXPECT_EQ(d.lastAccessNs, first);

    EXPECT_FALSE(plat::setFileTimes((tmp / "missing").c_str(), first, first, first));
}

TEST(Platform, MakeAndRemoveFolders) {
    TempDir tmp;
    std::string folder = tmp / "new";
    EXPECT_TRUE(plat::makeFolder(folder.c_str()));
    EXPECT_FALSE(plat::makeFolder(folder.c_str()));  // already there
    EXPECT_FALSE(plat::makeFolder((tmp / "no/such/parent").c_str()));
    EXPECT_NE(attrs(folder) & plat::kAttrFolder, 0u);

    writeFile(tmp / "new/file", "x");
    EXPECT_FALSE(plat::removeFolder(folder.c_str()));        // not empty
    EXPECT_FALSE(plat::removeFolder((tmp / "new/file").c_str()));  // not a folder
    EXPECT_FALSE(plat::removeFileEntry(folder.c_str()));     // not a file
    EXPECT_TRUE(exists(folder));
    EXPECT_TRUE(plat::removeFileEntry((tmp / "new/file").c_str()));
    EXPECT_FALSE(plat::removeFileEntry((tmp / "new/file").c_str()));
    EXPECT_TRUE(plat::removeFolder(folder.c_str()));
    EXPECT_FALSE(exists(folder));
    EXPECT_FALSE(plat::removeFolder(folder.c_str()));
}

TEST(Platform, CurrentFolderRoundTrip) {
    TempDir tmp;
    makeDirs(tmp / "sub");
    CurrentFolderGuard guard;
    ASSERT_NE(guard.saved()[0], '\0');

    ASSERT_EQ(plat::changeFolder(tmp.path().c_str()), 0);
    char now[4096];
    ASSERT_TRUE(plat::currentFolder(now, sizeof now));
    plat::FileId a, b;
    ASSERT_TRUE(plat::fileIdentity(now, a));
    ASSERT_TRUE(plat::fileIdentity(tmp.path().c_str(), b));
    EXPECT_EQ(a, b) << now;
    if (plat::kIsWindows) {
        EXPECT_EQ(std::string(now), tmp.path());  // drive and folder
    }

    // A relative name now works from here.
    ASSERT_EQ(plat::changeFolder("sub"), 0);
    ASSERT_TRUE(plat::currentFolder(now, sizeof now));
    EXPECT_EQ(std::string(now), tmp / "sub");

    // A folder that does not exist leaves the current folder where it is.
    EXPECT_EQ(plat::changeFolder((tmp / "missing").c_str()), -1);
    ASSERT_TRUE(plat::currentFolder(now, sizeof now));
    EXPECT_EQ(std::string(now), tmp / "sub");

    // Too little room: false and an empty text, never a cut path.
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_FALSE(plat::currentFolder(small, sizeof small));
    EXPECT_EQ(small[0], '\0');

    ASSERT_EQ(plat::changeFolder(guard.saved()), 0);
    ASSERT_TRUE(plat::currentFolder(now, sizeof now));
    EXPECT_STREQ(now, guard.saved());
}

TEST(Platform, SelectDrive) {
    if (!plat::kIsWindows) {
        EXPECT_FALSE(plat::selectDrive(3));
        return;
    }
    CurrentFolderGuard guard;
    char now[4096];
    ASSERT_TRUE(plat::selectDrive(3));
    ASSERT_TRUE(plat::currentFolder(now, sizeof now));
    EXPECT_EQ(now[0], 'C') << now;
    ASSERT_TRUE(plat::selectDrive(26));
    ASSERT_TRUE(plat::currentFolder(now, sizeof now));
    EXPECT_EQ(now[0], 'Z') << now;
    EXPECT_FALSE(plat::selectDrive(0));
    EXPECT_FALSE(plat::selectDrive(27));
}

TEST(Platform, DriveTypes) {
    if (!plat::kIsWindows) {
        EXPECT_EQ(plat::driveType("/"), plat::kDriveFixed);
        EXPECT_NE(plat::driveType("/tmp"), plat::kDriveFixed);
        EXPECT_NE(plat::driveType("C:"), plat::kDriveFixed);
        return;
    }
    EXPECT_EQ(plat::driveType("C:"), plat::kDriveFixed);
    EXPECT_EQ(plat::driveType("C:\\"), plat::kDriveFixed);
    int z = plat::driveType("Z:");
    EXPECT_NE(z, plat::kDriveUnknown);
    EXPECT_NE(z, plat::kDriveNoRootDir);
    EXPECT_EQ(plat::driveType("Z:\\"), z);
    EXPECT_EQ(plat::driveType("Q:"), plat::kDriveNoRootDir);  // a letter not in use
}

TEST(Platform, FileIdentityRecognisesTheSameFolder) {
    TempDir tmp;
    makeDirs(tmp / "a/b");
    makeDirs(tmp / "c");
    plat::FileId direct, roundabout, other, file;
    ASSERT_TRUE(plat::fileIdentity((tmp / "a/b").c_str(), direct));
    ASSERT_TRUE(plat::fileIdentity((tmp / "a/b/../b").c_str(), roundabout));
    ASSERT_TRUE(plat::fileIdentity((tmp / "c").c_str(), other));
    EXPECT_EQ(direct, roundabout);
    EXPECT_NE(direct, other);
    writeFile(tmp / "c/f.txt", "x");
    ASSERT_TRUE(plat::fileIdentity((tmp / "c/f.txt").c_str(), file));
    EXPECT_NE(file, other);
    EXPECT_FALSE(plat::fileIdentity((tmp / "missing").c_str(), file));
}

TEST(Platform, LinkToFolderIsAReparsePointRemovedAlone) {
    if (plat::kIsWindows) GTEST_SKIP() << "links are made on the POSIX side";
    TempDir tmp;
    writeFile(tmp / "target/keep.txt", "keep");
    fs::create_directory_symlink(tmp / "target", tmp / "link");
    writeFile(tmp / "file.txt", "x");
    fs::create_symlink(tmp / "file.txt", tmp / "filelink");

    uint32_t a = attrs(tmp / "link");
    EXPECT_NE(a & plat::kAttrReparsePoint, 0u);
    EXPECT_NE(a & plat::kAttrFolder, 0u);  // followed, as a junction is
    plat::FindData d;
    ASSERT_TRUE(findOne(tmp / "link", d));
    EXPECT_NE(d.attributes & plat::kAttrReparsePoint, 0u);
    EXPECT_EQ(attrs(tmp / "target") & plat::kAttrReparsePoint, 0u);

    plat::FileId viaLink, direct;
    ASSERT_TRUE(plat::fileIdentity((tmp / "link").c_str(), viaLink));
    ASSERT_TRUE(plat::fileIdentity((tmp / "target").c_str(), direct));
    EXPECT_EQ(viaLink, direct);

    EXPECT_TRUE(plat::removeFolder((tmp / "link").c_str()));
    EXPECT_FALSE(exists(tmp / "link"));
    EXPECT_EQ(readFile(tmp / "target/keep.txt"), "keep");

    EXPECT_NE(attrs(tmp / "filelink") & plat::kAttrReparsePoint, 0u);
    EXPECT_TRUE(plat::removeFileEntry((tmp / "filelink").c_str()));
    EXPECT_FALSE(exists(tmp / "filelink"));
    EXPECT_EQ(readFile(tmp / "file.txt"), "x");

    // A dangling link is still listed and can be removed.
    fs::create_directory_symlink(tmp / "gone", tmp / "dangling");
    EXPECT_EQ(listNames(tmp / "dang*"), std::set<std::string>{"dangling"});
    EXPECT_TRUE(plat::removeFileEntry((tmp / "dangling").c_str()));
}

TEST(Platform, LocalBreakdown) {
    // Noon UTC lies on the same date in every zone, so the date fields hold everywhere;
    // the hours are checked where the zone is known.
    const char* tz = std::getenv("TZ");
    bool berlin = tz && std::strcmp(tz, "Europe/Berlin") == 0;
    struct Case {
        int64_t time;
        int year, month, day, weekday, berlinHour, minute, second;
    } cases[] = {
        {1168862430, 107, 0, 15, 1, 13, 0, 30},   // 2007-01-15 12:00:30 UTC, Monday
        {1184500830, 107, 6, 15, 0, 14, 0, 30},   // 2007-07-15 12:00:30 UTC, Sunday
        {2214129630, 140, 1, 29, 3, 13, 0, 30},   // 2040-02-29 12:00:30 UTC, past 2038
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        plat::LocalTime t{};
        ASSERT_TRUE(plat::localBreakdown(c.time, t));
        EXPECT_EQ(t.year, c.year);
        EXPECT_EQ(t.month, c.month);
        EXPECT_EQ(t.day, c.day);
        EXPECT_EQ(t.weekday, c.weekday);
        EXPECT_EQ(t.second, c.second);
        if (berlin) {
            EXPECT_EQ(t.hour, c.berlinHour);
            EXPECT_EQ(t.minute, c.minute);
        }
    }
    if (berlin) {
        // The spring change: 01:59:59 winter time is followed by 03:00:00 summer time.
        plat::LocalTime before{}, after{};
        ASSERT_TRUE(plat::localBreakdown(1174784399, before));
        ASSERT_TRUE(plat::localBreakdown(1174784400, after));
        EXPECT_EQ(before.hour * 10000 + before.minute * 100 + before.second, 15959);
        EXPECT_EQ(after.hour * 10000 + after.minute * 100 + after.second, 30000);
    }
    int64_t now = plat::currentCalendarTime();
    EXPECT_GT(now, 1700000000);
    plat::LocalTime t{};
    EXPECT_TRUE(plat::localBreakdown(now, t));
}

// readKey reads the process's standard input, so each check points it at a file.
TEST(Platform, ReadKeyFromRedirectedInput) {
    TempDir tmp;
    std::string keys = tmp / "keys.txt";
    writeFile(keys, "jn");
    ASSERT_NE(std::freopen(keys.c_str(), "rb", stdin), nullptr);
    EXPECT_EQ(plat::readKey(), 'j');
    EXPECT_EQ(plat::readKey(), 'n');
    EXPECT_EQ(plat::readKey(), -1);  // end of input: at once, no waiting
    EXPECT_EQ(plat::readKey(), -1);

    ASSERT_NE(std::freopen(plat::kIsWindows ? "NUL" : "/dev/null", "rb", stdin), nullptr);
    EXPECT_EQ(plat::readKey(), -1);
}

unsigned long fakeGet(const char*, char* remote, unsigned long* length) {
    std::snprintf(remote, *length, "%s", "\\\\server\\share");
    return plat::kErrorConnectionUnavail;
}
unsigned long fakeAdd(const char*, const char*, unsigned long) { return plat::kNoError; }

TEST(Platform, NetworkSeamCanBeReplacedAndRestored) {
    const plat::NetworkApi fake{fakeGet, fakeAdd};
    plat::setNetworkApi(&fake);
    char remote[300];
    unsigned long room = sizeof remote;
    EXPECT_EQ(plat::network().getConnection("Z:", remote, &room), plat::kErrorConnectionUnavail);
    EXPECT_STREQ(remote, "\\\\server\\share");
    plat::setNetworkApi(nullptr);

    // The real service: a local drive (or, on POSIX, any letter) is no network drive.
    room = sizeof remote;
    unsigned long rc = plat::network().getConnection("C:", remote, &room);
    EXPECT_NE(rc, plat::kNoError);
    EXPECT_NE(rc, plat::kErrorConnectionUnavail);
}

TEST(Platform, StartUpSucceeds) { EXPECT_TRUE(plat::startUp()); }

}  // namespace
