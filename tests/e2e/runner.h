// Runs the built program end to end: natively, and the Windows build under Wine with
// the paths it is given in Z:\ form. Tests derive from E2ETest and are instantiated for
// both flavours with VAULTIX_E2E_FLAVOURS.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct ProcessRequest {
    std::vector<std::string> argv;               // argv[0] is looked up in PATH
    std::optional<std::string> stdinBytes;       // none: standard input is /dev/null
    std::vector<std::pair<std::string, std::string>> environment;  // added or replaced
    std::string workingFolder;                   // empty: the test's own
    int timeoutSeconds = 180;                    // a hang is killed and fails the test
};

struct ProcessResult {
    int exitCode = -1;   // -1 when the process was killed
    bool timedOut = false;
    std::string out;     // standard output (line endings as written)
    std::string err;
    long stdinConsumed = 0;  // bytes the program read from the given standard input
};

ProcessResult runProcess(const ProcessRequest& request);

// CR LF -> LF: Windows text mode writes CR LF to the console and to the error file.
std::string normaliseLineEnds(const std::string& text);
// A text file the program wrote (the error file, say), with its line ends normalised.
std::string readProgramText(const std::string& hostPath);

enum class Flavour { Native, Wine };

// Extras of one run of the program.
struct RunExtras {
    std::vector<std::pair<std::string, std::string>> environment;  // e.g. {"TZ", "Europe/Berlin"}
    std::vector<std::string> commandPrefix;  // e.g. fakeTimePrefix("2007-07-01 02:00:00")
    std::string workingFolder;               // host path; empty: the test's own
    int timeoutSeconds = 180;
};

// `faketime` starting the clock at the given local time ("YYYY-MM-DD hh:mm:ss").
std::vector<std::string> fakeTimePrefix(const std::string& localTime);

// Host path -> the path the Windows program sees under Wine ("/tmp/a" -> "Z:\tmp\a").
std::string wineZPath(const std::string& hostPath);

class E2ETest : public ::testing::TestWithParam<Flavour> {
protected:
    void SetUp() override;

    Flavour flavour() const { return GetParam(); }
    bool isWine() const { return GetParam() == Flavour::Wine; }

    // The path the program sees for a host path: unchanged natively, Z:\... under Wine.
    std::string programPath(const std::string& hostPath) const;
    // An option with a path value, e.g. option("/E=", host) -> "/E=Z:\tmp\x\err.txt".
    std::string option(const std::string& prefix, const std::string& hostPath) const {
        return prefix + programPath(hostPath);
    }
    // The separator the program uses in the paths it forms.
    char programSeparator() const { return isWine() ? '\\' : '/'; }

    // Runs the program with the arguments as given (translate paths with programPath);
    // standard output comes back with CR LF turned into LF.
    ProcessResult run(const std::vector<std::string>& args,
                      std::optional<std::string> stdinBytes = std::nullopt,
                      const RunExtras& extras = {});
};

std::string flavourName(const ::testing::TestParamInfo<Flavour>& info);

}  // namespace e2e

#define VAULTIX_E2E_FLAVOURS(Fixture)                                                    \
    INSTANTIATE_TEST_SUITE_P(Flavours, Fixture,                                          \
                             ::testing::Values(::e2e::Flavour::Native, ::e2e::Flavour::Wine), \
                             ::e2e::flavourName)
