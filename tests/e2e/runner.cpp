#include "e2e/runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "support/tempdir.h"

namespace e2e {

std::string normaliseLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

std::string readProgramText(const std::string& hostPath) {
    return normaliseLineEnds(readFile(hostPath));
}

namespace {

// Standard input comes from a file, not a pipe: its shared offset tells afterwards how
// many bytes the program took.
int stdinFile(const std::optional<std::string>& bytes) {
    if (!bytes) return open("/dev/null", O_RDONLY | O_CLOEXEC);
    FILE* f = std::tmpfile();
    if (!f) return -1;
    int fd = dup(fileno(f));
    std::fclose(f);
    if (fd < 0) return -1;
    if (!bytes->empty() && write(fd, bytes->data(), bytes->size()) != static_cast<ssize_t>(bytes->size())) {
        close(fd);
        return -1;
    }
    lseek(fd, 0, SEEK_SET);
    return fd;
}

}  // namespace

ProcessResult runProcess(const ProcessRequest& request) {
    ProcessResult result;
    if (request.argv.empty()) {
        result.err = "runner: no program";
        return result;
    }
    int in = stdinFile(request.stdinBytes);
    int outPipe[2], errPipe[2];
    if (in < 0 || pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        result.err = std::string("runner: ") + std::strerror(errno);
        return result;
    }
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);  // its own group, so a hang can be killed with its children
        dup2(in, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (const auto& [name, value] : request.environment) setenv(name.c_str(), value.c_str(), 1);
        if (!request.workingFolder.empty() && chdir(request.workingFolder.c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        for (const std::string& a : request.argv) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "runner: cannot start %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        close(in);
        result.err = "runner: fork failed";
        return result;
    }
    setpgid(pid, pid);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(request.timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int openCount = 2;
    while (openCount > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            break;
        }
        int n = poll(fds, 2, static_cast<int>(left));
        if (n < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --openCount;
            }
        }
    }
    for (auto& p : fds)
        if (p.fd >= 0) close(p.fd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    off_t offset = lseek(in, 0, SEEK_CUR);
    result.stdinConsumed = (request.stdinBytes && offset > 0) ? static_cast<long>(offset) : 0;
    close(in);
    return result;
}

std::vector<std::string> fakeTimePrefix(const std::string& localTime) {
    return {"faketime", "-f", "@" + localTime};
}

std::string wineZPath(const std::string& hostPath) {
    std::string p = hostPath;
    if (!p.empty() && p[0] != '/') p = std::filesystem::absolute(p).string();
    std::string out = "Z:";
    for (char c : p) out += (c == '/') ? '\\' : c;
    return out;
}

static std::string winExe() { return VAULTIX_WIN_EXE; }

void E2ETest::SetUp() {
    if (isWine()) {
        std::error_code ec;
        if (winExe().empty() || !std::filesystem::is_regular_file(winExe(), ec))
            GTEST_SKIP() << "Windows program not built (VAULTIX_WIN_EXE='" << winExe()
                         << "'): the Wine runs are skipped";
    }
}

std::string E2ETest::programPath(const std::string& hostPath) const {
    return isWine() ? wineZPath(hostPath) : hostPath;
}

ProcessResult E2ETest::run(const std::vector<std::string>& args,
                           std::optional<std::string> stdinBytes, const RunExtras& extras) {
    ProcessRequest request;
    request.argv = extras.commandPrefix;
    if (isWine()) {
        request.argv.push_back("wine");
        request.argv.push_back(winExe());
        request.environment.push_back({"WINEDEBUG", "-all"});
        if (!extras.commandPrefix.empty() && extras.commandPrefix[0] == "faketime") {
            // A Wine server started under a faked clock keeps it for every later run;
            // its timers never fire on a clock that stands.
            request.environment.push_back({"FAKETIME_SKIP_CMDS", "wineserver64,wineserver"});
            request.environment.push_back({"FAKETIME_DONT_FAKE_MONOTONIC", "1"});
        }
    } else {
        request.argv.push_back(VAULTIX_NATIVE_EXE);
    }
    request.argv.insert(request.argv.end(), args.begin(), args.end());
    request.stdinBytes = std::move(stdinBytes);
    request.environment.insert(request.environment.end(), extras.environment.begin(),
                            extras.environment.end());
    request.workingFolder = extras.workingFolder;
    request.timeoutSeconds = extras.timeoutSeconds;
    ProcessResult result = runProcess(request);
    result.out = normaliseLineEnds(result.out);
    EXPECT_FALSE(result.timedOut) << "the program did not end within " << request.timeoutSeconds
                                  << " s and was killed";
    return result;
}

std::string flavourName(const ::testing::TestParamInfo<Flavour>& info) {
    return info.param == Flavour::Native ? "Native" : "Wine";
}

}  // namespace e2e
