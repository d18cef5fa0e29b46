// Faults during a run: each scenario breaks something real and then checks the promise:
// every source file is in the new archive folder, identical, or named as not copied;
// nothing outside the run's own folders changed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e/promise.h"

namespace fs = std::filesystem;

namespace {

std::string bytes(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
    return s;
}

void setTime(const std::string& path, time_t when) {
    timespec t[2] = {{when, 0}, {when, 0}};
    utimensat(AT_FDCWD, path.c_str(), t, 0);
}


// The Windows helper that holds a file open without sharing, started under Wine; the
// file stays locked until release().
class HeldFile {
public:
    explicit HeldFile(const std::string& windowsPath) {
        std::string exe = fs::path(VAULTIX_WIN_EXE).parent_path().string() + "/holdfile.exe";
        std::error_code ec;
        if (!fs::is_regular_file(exe, ec)) {
            problem_ = "holdfile.exe is not built beside " + std::string(VAULTIX_WIN_EXE);
            return;
        }
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) {
            problem_ = "no pipe";
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            setenv("WINEDEBUG", "-all", 1);
            execlp("wine", "wine", exe.c_str(), windowsPath.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        // Wine may take a while to start; an answer that does not come is a skip.
        std::string answer;
        pollfd p{out[0], POLLIN, 0};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (answer.find('\n') == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            if (poll(&p, 1, 1000) <= 0) continue;
            char buffer[256];
            ssize_t got = read(out[0], buffer, sizeof buffer);
            if (got <= 0) break;
            answer.append(buffer, static_cast<size_t>(got));
        }
        close(out[0]);
        if (answer.rfind("ready", 0) != 0) problem_ = "holdfile did not hold the file: " + answer;
    }
    ~HeldFile() { release(); }
    const std::string& problem() const { return problem_; }
    void release() {
        if (stdin_ >= 0) close(stdin_);
        stdin_ = -1;
        if (pid_ <= 0) return;
        for (int i = 0; i < 300; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    std::string problem_;
};

class Faults : public e2e::PromiseTest {
protected:
    std::string src, target, errorFile;

    void SetUp() override {
        PromiseTest::SetUp();
        if (IsSkipped()) return;
        src = host("src");
        target = host("target");
        errorFile = host("err.txt");
        makeDirs(target);
        // A small tree with the things a copy must keep: times, modes, hidden names.
        writeFile(src + "/a.txt", "alpha\n");
        writeFile(src + "/.hidden", "h");
        writeFile(src + "/sub/b.bin", bytes(150000, 1));
        writeFile(src + "/sub/deep/c.txt", "c");
        makeDirs(src + "/empty");
        chmod((src + "/a.txt").c_str(), 0444);
        setTime(src + "/sub/b.bin", 1200000000);
    }

    std::vector<std::string> baseArgs(const std::vector<std::string>& more = {}) const {
        std::vector<std::string> args{programPath(src), programPath(target),
                                      option("/E=", errorFile), "/X"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
};

// The target's file system runs full in the middle of a large file: that file is
// reported and its partial copy removed; the files after it are still copied.
TEST_P(Faults, TargetFileSystemRunsFullInTheMiddleOfALargeFile) {
    std::string mountPoint = host("small");
    makeDirs(mountPoint);
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "this machine refuses a tmpfs mount (" << std::strerror(errno)
                     << "): the full-disk scenario cannot run here";
    struct Unmount {
        std::string at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{mountPoint};

    writeFile(src + "/sub/big.bin", bytes(3 * 1024 * 1024, 5));  // larger than the disk
    std::string smallTarget = mountPoint + "/t";
    auto before = verify::snapshot(work.path());
    auto r = run({programPath(src), programPath(smallTarget), option("/E=", errorFile), "/X"});
    EXPECT_EQ(r.exitCode, 0);
    std::string archive = newArchive(smallTarget);
    ASSERT_FALSE(archive.empty()) << r.out;
    expectPromise(r, {sourceCopy(src, archive)}, errorFile);
    EXPECT_TRUE(hasLine(r.out, programPath(src + "/sub/big.bin") + " ... FEHLER")) << r.out;
    EXPECT_FALSE(exists(archive + "/sub/big.bin")) << "a partial copy was left behind";
    EXPECT_EQ(readFile(archive + "/sub/deep/c.txt"), "c");  // copied after the failure
    expectOutsideUnchanged(before, "small/t", {"err.txt"});
}

// A file that cannot be read and a folder that cannot be listed: both are named, the
// rest is copied. As root the run drops the rights that would read past permissions.
TEST_P(Faults, UnreadableFileAndUnlistableFolder) {
    if (isWine() && geteuid() == 0)
        GTEST_SKIP() << "under Wine the files are opened by the wine server, which keeps "
                        "root's rights: the locked-file scenario covers the Windows build";
    writeFile(src + "/secret.txt", "no");
    writeFile(src + "/closed/inside.txt", "in");
    writeFile(src + "/closed/more/deeper.txt", "deeper");
    chmod((src + "/secret.txt").c_str(), 0);
    chmod((src + "/closed").c_str(), 0);
    auto before = verify::snapshot(work.path());
    e2e::RunExtras extras;
    extras.commandPrefix = withoutRootOverride();
    auto r = run(baseArgs(), std::nullopt, extras);
    chmod((src + "/closed").c_str(), 0755);  // so that the check can look inside
    EXPECT_EQ(r.exitCode, 0);
    std::string archive = newArchive(target);
    ASSERT_FALSE(archive.empty()) << r.out;
    EXPECT_TRUE(hasLine(r.out, programPath(src + "/secret.txt") + " ... FEHLER")) << r.out;
    // The folder's files are lost to this backup: the run must say so.
    EXPECT_TRUE(hasLine(e2e::readProgramText(errorFile),
                        programPath(src + "/closed") + " ... FEHLER (nicht kopiert)"))
        << r.out;
    expectPromise(r, {sourceCopy(src, archive)}, errorFile);
    expectOutsideUnchanged(before, "target", {"err.txt", "src/closed"});
}

// A missing source among several: it is named, the others are copied whole.
TEST_P(Faults, MissingSourceAmongSeveral) {
    std::string second = host("second"), missing = host("missing");
    writeFile(second + "/x.txt", "x");
    std::string list = host("list.txt");
    writeFile(list, programPath(missing) + "\n" + programPath(second) + "\n");
    auto before = verify::snapshot(work.path());
    auto args = baseArgs();
    args.push_back(option("/L=", list));
    auto r = run(args);
    EXPECT_EQ(r.exitCode, 0);
    std::string archive = newArchive(target);
    ASSERT_FALSE(archive.empty()) << r.out;
    EXPECT_NE(r.out.find(programPath(missing) + " ... FEHLER"), std::string::npos) << r.out;
    expectPromise(r, {sourceCopy(src, archive + "/src"), sourceCopy(second, archive + "/second")},
                  errorFile);
    expectOutsideUnchanged(before, "target", {"err.txt"});
}

// A target that cannot be created (a file stands where its parent folder should be):
// every file is named as not copied, nothing else is touched.
TEST_P(Faults, TargetThatCannotBeCreated) {
    writeFile(host("blocker"), "a file, not a folder");
    std::string badTarget = host("blocker/target");
    auto before = verify::snapshot(work.path());
    auto r = run({programPath(src), programPath(badTarget), option("/E=", errorFile), "/X"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(readFile(host("blocker")), "a file, not a folder");
    expectPromise(r, {sourceCopy(src, badTarget + "/none")}, errorFile);
    verify::Summary s = verify::readSummary(r.out);
    EXPECT_EQ(s.copied, 0);
    EXPECT_EQ(s.notCopied, 4) << r.out;
    expectOutsideUnchanged(before, "", {"err.txt"});
}

// An error file that cannot be written: the run says so once and still copies all.
TEST_P(Faults, ErrorFileThatCannotBeWritten) {
    std::string badErrorFile = host("nofolder/err.txt");
    auto before = verify::snapshot(work.path());
    auto r = run({programPath(src), programPath(target), option("/F=", badErrorFile), "/X"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(hasLine(r.out, "FEHLER: Fehler-Datei " + programPath(badErrorFile) +
                                   " kann nicht geschrieben werden"))
        << r.out;
    std::string archive = newArchive(target);
    ASSERT_FALSE(archive.empty()) << r.out;
    expectPromise(r, {sourceCopy(src, archive)}, "");
    EXPECT_EQ(verify::readSummary(r.out).notCopied, 0);
    expectOutsideUnchanged(before, "target");
}

// Two runs in the same second meet the same archive folder name (a marked folder is
// there, so neither new one carries the mark): the second run fills the same folder
// and leaves it complete, with the file added in between.
TEST_P(Faults, SecondRunInTheSameSecond) {
    if (isWine()) GTEST_SKIP() << "the clock is held with faketime, which works natively only";
    makeDirs(target + "/ARCHIV_20000101_120000_S");
    e2e::RunExtras extras;
    extras.commandPrefix = {"faketime", "-f", "2024-05-02 10:00:00"};  // a clock that stands
    auto before = verify::snapshot(work.path());
    auto first = run(baseArgs(), std::nullopt, extras);
    writeFile(src + "/later.txt", "written between the runs");
    auto second = run(baseArgs(), std::nullopt, extras);
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(second.exitCode, 0);
    auto archives = archivesIn(target);
    ASSERT_EQ(archives, (std::vector<std::string>{"ARCHIV_20000101_120000_S",
                                                  "ARCHIV_20240502_100000"}))
        << second.out;
    expectPromise(second, {sourceCopy(src, target + "/ARCHIV_20240502_100000")}, errorFile);
    expectOutsideUnchanged(before, "target", {"err.txt", "src/later.txt"});
}

// Whether a process other than this one has the file open (Linux: /proc/PID/fd).
bool waitForOtherOpener(const std::string& path, std::chrono::seconds limit) {
    const std::string self = std::to_string(getpid());
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        for (const auto& proc : std::filesystem::directory_iterator("/proc", ec)) {
            std::string pid = proc.path().filename().string();
            if (pid == self || pid.find_first_not_of("0123456789") != std::string::npos) continue;
            std::error_code fdError;
            for (const auto& fdEntry :
                 std::filesystem::directory_iterator(proc.path() / "fd", fdError)) {
                std::error_code linkError;
                if (std::filesystem::read_symlink(fdEntry.path(), linkError).string() == path)
                    return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A source file that vanishes and one that grows while the run is under way. The run
// is held at a named pipe in the source: the test holds the pipe open as its writer, so
// the copy of the pipe waits for data; meanwhile the test changes the tree, then feeds
// the pipe and closes it. The pipe's listing shows 0 bytes and its content keeps
// coming: the copy takes all of it.
TEST_P(Faults, SourceFilesVanishAndGrowDuringTheRun) {
    if (isWine())
        GTEST_SKIP() << "a named pipe as a source file would block the wine server itself: "
                        "native only";
    std::string pipe = src + "/p_pipe";
    std::string gone = src + "/sub/gone.txt", grows = src + "/sub/grows.txt";
    writeFile(gone, "soon gone");
    writeFile(grows, "short");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    auto before = verify::snapshot(work.path());
    // Read and write: opening never waits, and the pipe has its writer from the start.
    int fd = open(pipe.c_str(), O_RDWR | O_CLOEXEC);  // the program must not inherit it
    ASSERT_GE(fd, 0);

    const std::string fed = bytes(250000, 9);
    std::thread feeder([&] {
        // Wait (bounded) until another process, the program, has the pipe open.
        if (!waitForOtherOpener(pipe, std::chrono::seconds(60))) {
            close(fd);
            return;
        }
        std::remove(gone.c_str());
        writeFile(grows, "short and now a good deal longer");
        signal(SIGPIPE, SIG_IGN);
        size_t done = 0;
        while (done < fed.size()) {
            ssize_t w = write(fd, fed.data() + done, std::min<size_t>(4096, fed.size() - done));
            if (w <= 0) break;
            done += static_cast<size_t>(w);
        }
        close(fd);
    });
    auto r = run(baseArgs(), std::nullopt, withTimeout(60));
    feeder.join();
    EXPECT_EQ(r.exitCode, 0);
    std::string archive = newArchive(target);
    ASSERT_FALSE(archive.empty()) << r.out;
    EXPECT_EQ(readFile(archive + "/p_pipe"), fed) << "the content was not read to its end";
    EXPECT_EQ(readFile(archive + "/sub/grows.txt"), "short and now a good deal longer");
    EXPECT_FALSE(exists(archive + "/sub/gone.txt"));
    expectPromise(r, {sourceCopy(src, archive)}, errorFile);
    expectOutsideUnchanged(before, "target", {"err.txt", "src/p_pipe", "src/sub/gone.txt", "src/sub/grows.txt"});
}


// A source file that another process keeps open without sharing (Windows build): it
// is named as not copied, everything else is copied.
TEST_P(Faults, SourceFileLockedByAnotherProcess) {
    if (!isWine()) GTEST_SKIP() << "locking without sharing is a Windows matter";
    writeFile(src + "/locked.txt", "held");
    HeldFile held(programPath(src + "/locked.txt"));
    if (!held.problem().empty()) GTEST_SKIP() << held.problem();
    auto before = verify::snapshot(work.path());
    auto r = run(baseArgs());
    held.release();
    EXPECT_EQ(r.exitCode, 0);
    std::string archive = newArchive(target);
    ASSERT_FALSE(archive.empty()) << r.out;
    EXPECT_TRUE(hasLine(r.out, programPath(src + "/locked.txt") + " ... FEHLER")) << r.out;
    expectPromise(r, {sourceCopy(src, archive)}, errorFile);
    expectOutsideUnchanged(before, "target", {"err.txt"});
}

// An archive folder that cannot be removed: a file in it is kept open (Windows build)
// or its folder refuses changes (natively, without root's override). The run goes on,
// the new archive is complete, and the old folder keeps what could not be removed.
TEST_P(Faults, ArchiveFolderThatCannotBeRemoved) {
    const std::string old = target + "/ARCHIV_20000101_120000";
    writeFile(old + "/kept/held.txt", "still here");
    writeFile(old + "/other.txt", "o");
    for (const char* n : {"ARCHIV_20000102_120000", "ARCHIV_20000103_120000_S"})
        writeFile(target + "/" + n + "/f.txt", "f");
    std::unique_ptr<HeldFile> held;
    const std::string immutable = "'" + old + "/kept'";
    if (isWine()) {
        held = std::make_unique<HeldFile>(programPath(old + "/kept/held.txt"));
        if (!held->problem().empty()) GTEST_SKIP() << held->problem();
    } else if (std::system(("chattr +i " + immutable + " 2>/dev/null").c_str()) != 0) {
        // A read-only folder is no obstacle: the removal opens it up first.
        GTEST_SKIP() << "the immutable attribute cannot be set here (chattr +i)";
    }
    auto before = verify::snapshot(work.path());
    auto r = run(baseArgs());
    if (held) held->release();
    if (!isWine() && std::system(("chattr -i " + immutable).c_str()) != 0)
        ADD_FAILURE() << "chattr -i failed";
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(hasLine(r.out, "Archivordner " + programPath(old) + " geloescht")) << r.out;
    EXPECT_EQ(readFile(old + "/kept/held.txt"), "still here");
    std::string archive = newArchive(target, {"ARCHIV_20000101_120000", "ARCHIV_20000102_120000",
                                              "ARCHIV_20000103_120000_S"});
    ASSERT_FALSE(archive.empty()) << r.out;
    expectPromise(r, {sourceCopy(src, archive)}, errorFile);
    expectOutsideUnchanged(before, "target", {"err.txt"});
}

// Archives keep their sources' permissions, so an old one may hold folders its owner
// cannot write to or read; rotating it away must not depend on root's powers.
TEST_P(Faults, ProtectedFoldersInAnOldArchiveAreRemovedAsWell) {
    if (isWine()) GTEST_SKIP() << "POSIX permissions";
    const std::string old = target + "/ARCHIV_20000101_120000";
    writeFile(old + "/ro/f.txt", "f");
    writeFile(old + "/ro/inner/g.txt", "g");
    writeFile(old + "/closed/h.txt", "h");
    chmod((old + "/ro/f.txt").c_str(), 0444);
    chmod((old + "/ro/inner").c_str(), 0555);
    chmod((old + "/ro").c_str(), 0555);
    chmod((old + "/closed").c_str(), 0);
    e2e::RunExtras extras;
    extras.commandPrefix = withoutRootOverride();
    auto before = verify::snapshot(work.path());
    auto r = run(baseArgs({"/Z=1"}), std::nullopt, extras);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(hasLine(r.out, "Archivordner " + programPath(old) + " geloescht")) << r.out;
    EXPECT_FALSE(exists(old)) << r.out;
    std::string archive = newArchive(target, {"ARCHIV_20000101_120000"});
    ASSERT_FALSE(archive.empty()) << r.out;
    expectPromise(r, {sourceCopy(src, archive)}, errorFile);
}

// The check itself must see every kind of difference, or every scenario above would
// pass on a broken copy.
TEST(VerifyHelper, SeesEveryKindOfDifference) {
    TempDir dir;
    const std::string src = dir / "src", copy = dir / "copy";
    for (const char* name : {"same", "missing", "content", "time", "mode", "d/inner"})
        writeFile(src + "/" + name, name);
    for (const char* name : {"same", "content", "time", "mode"}) writeFile(copy + "/" + name, name);
    writeFile(copy + "/content", "other");
    makeDirs(src + "/empty");
    for (const char* name : {"same", "missing", "content", "time", "mode", "d/inner"}) {
        setTime(src + "/" + name, 1000000000);
        if (exists(copy + "/" + name)) setTime(copy + "/" + name, 1000000000);
    }
    setTime(copy + "/time", 1000000001);
    chmod((src + "/mode").c_str(), 0600);
    chmod((copy + "/mode").c_str(), 0644);
    auto differences = verify::compareTrees(src, copy, verify::AttributeCheck::PermissionBits);
    std::sort(differences.begin(), differences.end());
    EXPECT_EQ(differences, (std::vector<std::string>{"attributes mode", "content content",
                                                     "missing d/inner", "missing folder d",
                                                     "missing folder empty", "missing missing",
                                                     "time time"}));
    // Read-only is all the Windows program keeps: 0600 and 0644 are the same to it.
    auto windows = verify::compareTrees(src, copy, verify::AttributeCheck::ReadOnlyOnly);
    EXPECT_EQ(std::count(windows.begin(), windows.end(), "attributes mode"), 0);

    // A failure excuses a missing file only when it is named and counted.
    verify::RunReport report;
    report.console = src + "/missing ... FEHLER\n" + src + "/d ... FEHLER\n" +
                     "   ... 2 Dateien konnten nicht kopiert werden\n";
    auto broken = verify::checkPromise({{src, src, copy, {"content", "time", "mode"}}}, report,
                                       verify::AttributeCheck::PermissionBits);
    EXPECT_TRUE(broken.empty()) << verify::joinLines(broken);
    report.console = src + "/missing ... FEHLER\n   ... 2 Dateien konnten nicht kopiert werden\n";
    broken = verify::checkPromise({{src, src, copy, {"content", "time", "mode"}}}, report,
                                  verify::AttributeCheck::PermissionBits);
    EXPECT_EQ(broken.size(), 2u) << verify::joinLines(broken);  // d/inner, and the count
}

VAULTIX_E2E_FLAVOURS(Faults);

}  // namespace
