// The system's own content copy under the file copy: sources it cannot handle fall back
// to the block loop, and a write that fails half-way still removes the partial target.
#include <gtest/gtest.h>

#include <string>

#include "copy/filecopy.h"
#include "support/tempdir.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <sstream>

namespace {

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Lowers the largest file the process may write, and restores it on every exit.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousSignal_ = std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousSignal_);
    }
    bool active() const { return active_; }

private:
    rlimit saved_{};
    void (*previousSignal_)(int) = nullptr;
    bool active_ = false;
};

}  // namespace

// Files of the system's own kind report a size of 0 but have content: the copy must not
// take the first empty answer for the end of the file.
TEST(ContentCopy, SourceWithoutAKnownSizeIsCopiedWhole) {
    const std::string source = "/proc/version";
    const std::string expected = readWhole(source);
    if (expected.empty()) GTEST_SKIP() << "no /proc here";
    TempDir tmp;
    const std::string target = tmp / "version.txt";
    ASSERT_EQ(copyOneFile(source, target), Copied);
    EXPECT_EQ(readWhole(target), expected);
}

// A write refused after the first megabyte, in the middle of the system's own copy.
TEST(ContentCopy, WriteFailingHalfWayRemovesThePartialTarget) {
    TempDir tmp;
    const std::string source = tmp / "gross.bin";
    std::string content(3 * 1024 * 1024, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + i / 4099);
    writeFile(source, content);
    const std::string target = tmp / "kopie.bin";
    CopyResult result;
    {
        FileSizeLimit limit(1024 * 1024);
        if (!limit.active()) GTEST_SKIP() << "file size limit cannot be set";
        result = copyOneFile(source, target);
    }
    EXPECT_EQ(result, CopyFailed);
    EXPECT_FALSE(exists(target));
    EXPECT_EQ(readWhole(source), content);
    // Without the limit the same copy succeeds: the failure came from the write.
    ASSERT_EQ(copyOneFile(source, target), Copied);
    EXPECT_EQ(readWhole(target), content);
}

#endif
