// Shared by the fault and hostile-input scenarios: a work folder, one run of the
// program, and the check of what every run promises (support/verify.h).
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/runner.h"
#include "support/tempdir.h"
#include "support/verify.h"

namespace e2e {

class PromiseTest : public E2ETest {
protected:
    TempDir work;

    std::string host(const std::string& rel) const { return work / rel; }

    verify::AttributeCheck attributeCheck() const {
        return isWine() ? verify::AttributeCheck::ReadOnlyOnly
                        : verify::AttributeCheck::PermissionBits;
    }

    // The run as an ordinary user meets permissions: as root, the program runs without
    // the capabilities that let root read and write past them.
    static std::vector<std::string> withoutRootOverride() {
        if (geteuid() != 0) return {};
        return {"setpriv", "--bounding-set=-dac_override,-dac_read_search,-fowner", "--"};
    }

    static std::vector<std::string> archivesIn(const std::string& target) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(target, ec)) {
            std::string n = e.path().filename().string();
            std::string upper = n;
            for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (upper.rfind("ARCHIV_", 0) == 0) names.push_back(n);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // The archive folder a run created: the one not there before.
    static std::string newArchive(const std::string& target,
                                  const std::vector<std::string>& before = {}) {
        std::string found;
        for (const std::string& n : archivesIn(target))
            if (std::find(before.begin(), before.end(), n) == before.end()) found = n;
        return found.empty() ? std::string() : target + "/" + found;
    }

    verify::SourceCopy sourceCopy(const std::string& sourceHost, const std::string& copyHost,
                                  std::vector<std::string> ignore = {}) const {
        return {sourceHost, programPath(sourceHost), copyHost, std::move(ignore)};
    }

    void expectPromise(const ProcessResult& result, const std::vector<verify::SourceCopy>& sources,
                       const std::string& errorFileHost) const {
        verify::RunReport report;
        report.console = result.out;
        report.hasErrorFile = !errorFileHost.empty();
        if (report.hasErrorFile) {
            std::error_code ec;
            if (std::filesystem::exists(errorFileHost, ec))
                report.errorFile = readProgramText(errorFileHost);
        }
        report.separator = programSeparator();
        std::vector<std::string> broken = verify::checkPromise(sources, report, attributeCheck());
        EXPECT_TRUE(broken.empty()) << "promise broken:\n"
                                    << verify::joinLines(broken) << "console:\n"
                                    << result.out;
    }

    // Nothing but the run's own folders under the target (and the listed extras, relative
    // to the work folder) changed.
    void expectOutsideUnchanged(const verify::TreeState& before, const std::string& targetRel,
                                const std::vector<std::string>& mayChange = {}) const {
        verify::TreeState after = verify::snapshot(work.path());
        auto allowed = [&](const std::string& rel) {
            if (rel == targetRel || verify::isRunOutput(rel, targetRel)) return true;
            for (const std::string& m : mayChange)
                if (rel == m || rel.rfind(m + "/", 0) == 0) return true;
            return false;
        };
        std::vector<std::string> changed = verify::changedOutside(before, after, allowed);
        EXPECT_TRUE(changed.empty()) << "changed outside the run's folders:\n"
                                     << verify::joinLines(changed);
    }

    static RunExtras withTimeout(int seconds) {
        RunExtras extras;
        extras.timeoutSeconds = seconds;
        return extras;
    }

    static bool hasLine(const std::string& text, const std::string& line) {
        return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
    }
};

}  // namespace e2e
