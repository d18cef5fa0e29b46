// Copy of one file: content at the block edges on both ways, times, attributes,
// overwriting, failures, and the current folder after every call.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "copy/filecopy.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "support/tempdir.h"

#ifdef _WIN32
#include <share.h>
#endif

namespace {

// Content in which a block written twice, skipped or out of place shows.
std::string pattern(size_t size, unsigned seed = 1) {
    std::string s(size, '\0');
    uint32_t x = 2463534242u ^ seed;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<char>(x + i / 100000);
    }
    return s;
}

// A folder under base whose path has exactly `length` characters.
std::string folderOfLength(const std::string& base, size_t length) {
    std::string path = base;
    char letter = 'a';
    while (path.size() < length) {
        size_t room = length - path.size() - 1;  // minus the separator
        size_t part = room > 60 ? 50 : room;
        path += separator();
        path += std::string(part, letter++);
    }
    makeDirs(path);
    return path;
}

// The OS calls of the tests take a long path by its bare name from inside its folder,
// as Windows needs it.
template <class F>
auto atPath(const std::string& path, F f) {
    if (!isLongPath(path)) return f(path.c_str());
    std::string saved = getCurrentFolder();
    EXPECT_EQ(changeToFolder(folderOf(path)), 0);
    std::string name = fileNameOf(path);
    auto result = f(name.c_str());
    changeToFolder(saved);
    return result;
}

plat::FindData findOf(const std::string& path) {
    return atPath(path, [&](const char* p) {
        plat::FindData d;
        plat::FindHandle h = plat::findFirst(p, d);
        EXPECT_NE(h, nullptr) << path;
        plat::findClose(h);
        return d;
    });
}
bool setTimes(const std::string& path, int64_t c, int64_t a, int64_t w) {
    return atPath(path, [&](const char* p) { return plat::setFileTimes(p, c, a, w); });
}
bool setAttributes(const std::string& path, uint32_t attributes) {
    return atPath(path, [&](const char* p) { return plat::setAttributes(p, attributes); });
}
uint32_t getAttributes(const std::string& path) {
    return atPath(path, [&](const char* p) { return plat::getAttributes(p); });
}

uint64_t sizeOf(const std::string& path) { return std::filesystem::file_size(path); }

// Where source and target live: a short path, or a file path of more than 255
// characters in a folder that can still be entered.
struct Way {
    const char* name;
    bool sourceLong;
    bool targetLong;
};
const Way kWays[] = {
    {"short", false, false},
    {"sourceLong", true, false},
    {"targetLong", false, true},
    {"bothLong", true, true},
};

class FileCopy : public ::testing::Test {
protected:
    TempDir tmp;
    std::string entryFolder = getCurrentFolder();

    std::string pathFor(const char* side, bool isLong, const char* name = "datei.bin") {
        std::string folder = tmp / side;
        if (isLong) folder = folderOfLength(folder, 240);
        makeDirs(folder);
        std::string path = joinNative(folder, std::string(name) + (isLong ? std::string(30, 'n') : ""));
        EXPECT_EQ(isLongPath(path), isLong);
        return path;
    }
    void TearDown() override { EXPECT_EQ(getCurrentFolder(), entryFolder); }
};

}  // namespace

TEST_F(FileCopy, ContentAtBlockEdgesOnEveryWay) {
    const size_t sizes[] = {0, 1, 99999, 100000, 100001, 250000};
    for (const Way& way : kWays) {
        std::string source = pathFor("quelle", way.sourceLong);
        std::string target = pathFor("ziel", way.targetLong);
        for (size_t size : sizes) {
            SCOPED_TRACE(std::string(way.name) + " " + std::to_string(size));
            std::string content = pattern(size, static_cast<unsigned>(size));
            writeFile(source, content);
            // A longer target from before must be replaced, not appended to.
            writeFile(target, pattern(size + 123456, 7));
            EXPECT_EQ(copyOneFile(source, target), Copied);
            EXPECT_EQ(getCurrentFolder(), entryFolder);
            EXPECT_TRUE(readFile(target) == content);
        }
    }
}

TEST_F(FileCopy, TargetFolderOfALongTargetIsCreated) {
    std::string source = pathFor("quelle", false);
    writeFile(source, "abc");
    // The new folder itself stays short enough to be created by its full path.
    std::string target = joinNative(folderOfLength(tmp / "ziel", 200),
                                    std::string(40, 'x') + separator() + std::string(20, 'y'));
    ASSERT_TRUE(isLongPath(target));
    EXPECT_EQ(copyOneFile(source, target), Copied);
    EXPECT_EQ(readFile(target), "abc");
}

// Times in UTC, written in winter and in summer, arrive exactly whatever the local zone.
TEST_F(FileCopy, TimesArriveExactly) {
    const int64_t winter = 1168855200LL * 1000000000LL + 120000000;  // 2007-01-15 10:00:00.12 UTC
    const int64_t summer = 1184493600LL * 1000000000LL + 450000000;  // 2007-07-15 10:00:00.45 UTC
    for (const Way& way : {kWays[0], kWays[3]}) {
        for (int64_t when : {winter, summer}) {
            SCOPED_TRACE(way.name);
            std::string source = pathFor("quelle", way.sourceLong);
            std::string target = pathFor("ziel", way.targetLong);
            writeFile(source, "x");
            ASSERT_TRUE(setTimes(source, when - 3600000000000LL,
                                 when - 60000000000LL, when));
            ASSERT_EQ(copyOneFile(source, target), Copied);
            plat::FindData s = findOf(source);
            plat::FindData t = findOf(target);
            EXPECT_EQ(t.lastWriteNs, s.lastWriteNs);
            EXPECT_EQ(t.lastWriteTime, s.lastWriteTime);
            // Reading the source may move its access time; the copy carries the one from
            // before.
            EXPECT_EQ(t.lastAccessTime, (when - 60000000000LL) / 1000000000LL);
            if (plat::kIsWindows) {
                EXPECT_EQ(t.creationTime, s.creationTime);
            }
        }
    }
}

#ifndef _WIN32
// The same under a Berlin clock moved into the other season than the source's time:
// this test runs itself again under faketime.
TEST(FileCopySeasons, TimesIndependentOfTheSeasonOfTheCopy) {
    if (std::system("command -v faketime >/dev/null 2>&1") != 0) GTEST_SKIP() << "no faketime";
    struct Case {
        const char* now;
        const char* nowSeconds;
        const char* sourceSeconds;
    } cases[] = {
        // summer clock, source of 2024-01-15 10:00 UTC
        {"2024-07-15 12:00:00", "1721037600", "1705312800"},
        // winter clock, source of 2024-07-15 10:00 UTC
        {"2024-01-15 12:00:00", "1705316400", "1721037600"},
    };
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    for (const Case& c : cases) {
        // NO_FAKE_STAT: only the clock moves, the file times stay the real ones.
        std::string cmd = std::string("VAULTIX_SEASON_SOURCE=") + c.sourceSeconds +
                          " VAULTIX_SEASON_NOW=" + c.nowSeconds +
                          " NO_FAKE_STAT=1 TZ=Europe/Berlin faketime '" + c.now +
                          "' " + self + " --gtest_filter=FileCopySeasonChild.* >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << c.now;
    }
}

TEST(FileCopySeasonChild, CopyKeepsUtcSeconds) {
    const char* seconds = std::getenv("VAULTIX_SEASON_SOURCE");
    if (seconds == nullptr) GTEST_SKIP() << "run by FileCopySeasons";
    // The clock really is in the other season (within a day; faketime reads local time).
    EXPECT_LT(std::llabs(plat::currentCalendarTime() - std::atoll(std::getenv("VAULTIX_SEASON_NOW"))),
              86400);
    TempDir tmp;
    std::string source = tmp / "quelle.txt";
    std::string target = tmp / "ziel.txt";
    writeFile(source, "x");
    int64_t when = std::atoll(seconds) * 1000000000LL;
    ASSERT_TRUE(plat::setFileTimes(source.c_str(), when, when, when));
    ASSERT_EQ(copyOneFile(source, target), Copied);
    EXPECT_EQ(findOf(target).lastWriteTime, std::atoll(seconds));
}
#endif

// The target carries the source's attributes, not those it had before.
TEST_F(FileCopy, AttributesOverwriteProtectedTargets) {
    struct Case {
        const char* name;
        uint32_t sourceAttributes;
        uint32_t targetAttributes;  // of an existing, longer target
    };
#ifdef _WIN32
    const Case cases[] = {
        {"readOnlySource", plat::kAttrReadOnly | plat::kAttrArchive, 0},
        {"hiddenSystemSource", plat::kAttrHidden | plat::kAttrSystem, 0},
        {"readOnlyTarget", plat::kAttrArchive, plat::kAttrReadOnly},
        {"hiddenSystemTarget", plat::kAttrArchive, plat::kAttrHidden | plat::kAttrSystem},
    };
    const uint32_t compared = plat::kAttrReadOnly | plat::kAttrHidden | plat::kAttrSystem;
#else
    const Case cases[] = {
        {"execSource", 0755u << 16, 0644u << 16},
        {"readOnlySource", 0444u << 16, 0644u << 16},
        {"readOnlyTarget", 0640u << 16, 0444u << 16},
        {"noAccessForOthersTarget", 0604u << 16, 0400u << 16},
    };
    const uint32_t compared = 07777u << 16 | plat::kAttrReadOnly;
#endif
    for (const Way& way : {kWays[0], kWays[3]}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(way.name) + " " + c.name);
            std::string source = pathFor("quelle", way.sourceLong);
            std::string target = pathFor("ziel", way.targetLong);
            setAttributes(source, 0);
            writeFile(source, "neu");
            if (exists(target)) setAttributes(target, 0);
            writeFile(target, "alter, laengerer Inhalt");
            ASSERT_TRUE(setAttributes(source, c.sourceAttributes));
            if (c.targetAttributes) {
                ASSERT_TRUE(setAttributes(target, c.targetAttributes));
            }
            uint32_t expected = getAttributes(source);
            ASSERT_EQ(copyOneFile(source, target), Copied);
            EXPECT_EQ(getAttributes(target) & compared, expected & compared);
            EXPECT_EQ(readFile(target), "neu");
        }
    }
}

TEST_F(FileCopy, MissingSourceLeavesTargetAlone) {
    for (const Way& way : kWays) {
        SCOPED_TRACE(way.name);
        std::string source = pathFor("quelle", way.sourceLong, "weg.txt");
        std::string target = pathFor("ziel", way.targetLong);
        writeFile(target, "bleibt");
        EXPECT_EQ(copyOneFile(source, target), SourceMissing);
        EXPECT_EQ(readFile(target), "bleibt");
        EXPECT_EQ(getCurrentFolder(), entryFolder);
    }
}

// A source that is listed but cannot be opened: the existing target keeps its content
// on every way (also with both paths long, where nothing is emptied before the source
// is open).
TEST_F(FileCopy, UnopenableSourceLeavesTargetUnchanged) {
    for (const Way& way : kWays) {
        SCOPED_TRACE(way.name);
        std::string source = pathFor("quelle", way.sourceLong);
        std::string target = pathFor("ziel", way.targetLong);
        std::error_code ec;
        std::filesystem::remove(source, ec);
#ifdef _WIN32
        writeFile(source, "gesperrt");
        FILE* lock = _fsopen(source.c_str(), "rb", _SH_DENYRW);
        ASSERT_NE(lock, nullptr);
#else
        // A link whose target is gone is listed, but cannot be opened, even by root.
        std::filesystem::create_symlink(tmp / "nirgends", source);
#endif
        writeFile(target, "bleibt");
        EXPECT_EQ(copyOneFile(source, target), CopyFailed);
#ifdef _WIN32
        std::fclose(lock);
#endif
        EXPECT_EQ(readFile(target), "bleibt");
        EXPECT_EQ(getCurrentFolder(), entryFolder);
        std::filesystem::remove(source, ec);
    }
}

TEST_F(FileCopy, TargetNameTakenByAFolderFails) {
    std::string source = pathFor("quelle", false);
    writeFile(source, "x");
    std::string target = tmp / "ziel/ordner";
    writeFile(joinNative(target, "drin.txt"), "drin");
    EXPECT_EQ(copyOneFile(source, target), CopyFailed);
    EXPECT_EQ(readFile(joinNative(target, "drin.txt")), "drin");
}

TEST_F(FileCopy, SourceThatIsAFolderIsNotCopied) {
    makeDirs(tmp / "quelle/ordner");
    std::string target = tmp / "ziel.txt";
    writeFile(target, "bleibt");
    EXPECT_EQ(copyOneFile(tmp / "quelle/ordner", target), CopyFailed);
    EXPECT_EQ(readFile(target), "bleibt");
}

TEST_F(FileCopy, PathsBeyondTheCapacityAreRefused) {
    std::string source = pathFor("quelle", false);
    writeFile(source, "x");
    std::string tooLong = joinNative(tmp.path(), std::string(600, 'z'));
    EXPECT_EQ(copyOneFile(source, tooLong), CopyFailed);
    EXPECT_EQ(copyOneFile(tooLong, source), CopyFailed);
    EXPECT_EQ(readFile(source), "x");
}

#ifndef _WIN32
// A full disk: the write fails, the partial target is removed.
TEST_F(FileCopy, FullDiskRemovesThePartialTarget) {
    std::string source = pathFor("quelle", false);
    writeFile(source, pattern(250000));
    // The link leads the write to a device that is always full; only the link is removed.
    std::string target = tmp / "voll";
    std::filesystem::create_symlink("/dev/full", target);
    EXPECT_EQ(copyOneFile(source, target), CopyFailed);
    EXPECT_FALSE(exists(target));
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

// The size in the find data holds only the low 32 bits; the copy reads to the end.
TEST_F(FileCopy, FileOfMoreThanFourGigabytesIsCopiedWhole) {
    const uint64_t size = (uint64_t{1} << 32) + 100001;
    std::error_code ec;
    auto space = std::filesystem::space(tmp.path(), ec);
    if (ec || space.available < 3 * size) GTEST_SKIP() << "not enough free disk space";
    std::string source = tmp / "gross.bin";
    {
        std::ofstream out(source, std::ios::binary);
        out << "Anfang";
        out.seekp(static_cast<std::streamoff>(size - 5));
        out << "Ende!";
    }
    ASSERT_EQ(sizeOf(source), size);
    std::string target = tmp / "kopie.bin";
    ASSERT_EQ(copyOneFile(source, target), Copied);
    EXPECT_EQ(sizeOf(target), size);
    std::ifstream in(target, std::ios::binary);
    char head[7] = {};
    in.read(head, 6);
    EXPECT_STREQ(head, "Anfang");
    in.seekg(static_cast<std::streamoff>(size - 5));
    char tail[6] = {};
    in.read(tail, 5);
    EXPECT_STREQ(tail, "Ende!");
}
#endif
