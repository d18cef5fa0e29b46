#include "app/options.h"

#include <climits>
#include <cstring>

#include "fs/paths.h"
#include "fs/report.h"
#include "platform/platform.h"

namespace {

// Leading blanks, an optional sign, digits up to the first non-digit; no digits give 0.
// Values beyond the 32-bit range stay at its ends instead of wrapping.
int32_t leadingInteger(const char* text) {
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\v' || *text == '\f' ||
           *text == '\r')
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int32_t>(value);
}

bool startsWith(const std::string& text, const char* prefix, size_t length) {
    return text.size() >= length && std::memcmp(text.data(), prefix, length) == 0;
}

// Takes one source into the table, or says why it cannot.
void addSource(RunOptions& options, const std::string& source) {
    if (source.size() > kMaxSourceText) {
        options.refusals.push_back(formatText(
            "Quellpfad %s ... FEHLER (Pfad zu lang, wird nicht gesichert)\n", source.c_str()));
    } else if (options.sources.size() >= kMaxSources) {
        options.refusals.push_back(formatText(
            "Quellpfad %s ... FEHLER (mehr als 100 Quellpfade, wird nicht gesichert)\n",
            source.c_str()));
    } else {
        options.sources.push_back(source);
    }
}

void examineOption(RunOptions& options, const std::string& argument) {
    if (argument.size() > kMaxArgumentText) {
        // Cutting it would name another file or folder.
        options.refusals.push_back(formatText(
            "Parameter %s ... FEHLER (Parameter zu lang, wird ignoriert)\n", argument.c_str()));
        return;
    }
    const std::string value = argument.size() > 3 ? argument.substr(3) : std::string();
    if (startsWith(argument, "/E=", 3)) {
        options.errorFilePath = value;
    } else if (startsWith(argument, "/F=", 3)) {
        options.errorFilePath = value;
        options.detailedLog = true;
    } else if (startsWith(argument, "/Z=", 3)) {
        options.archiveFolderLimit = leadingInteger(value.c_str());
    } else if (startsWith(argument, "/X", 2)) {
        options.finalPrompt = false;
    } else if (startsWith(argument, "/Q=", 3)) {
        options.extraSource = value;
    } else if (startsWith(argument, "/L=", 3)) {
        options.sourceListFile = value;
    } else if (startsWith(argument, "/S", 2)) {
        options.permanentCopies = true;
    } else if (startsWith(argument, "/K", 2)) {
        options.classicScheme = true;
    } else if (startsWith(argument, "/W=", 3)) {
        int32_t month = leadingInteger(value.c_str());
        options.fiscalYearStartMonth = (month < 1 || month > 12) ? 1 : month;
    }
}

void readSourceList(RunOptions& options) {
    FILE* list = openWithReconnect(options.sourceListFile, "r");
    if (!list) return;
    std::string line;
    TextLineInfo info;
    bool lineGoesOn = false;  // the previous piece did not end its line
    int lineNumber = 0;
    while (readTextLine(list, line, kListLineLimit, &info) == 0) {
        bool continuation = lineGoesOn;
        lineGoesOn = !info.endsLine;
        if (continuation) continue;  // the rest of a line already refused
        ++lineNumber;
        if (info.cut || !info.endsLine) {
            options.refusals.push_back(formatText(
                "Quellpfad in Zeile %i von %s ... FEHLER (Pfad zu lang, wird nicht gesichert)\n",
                lineNumber, options.sourceListFile.c_str()));
            continue;
        }
        if (!line.empty()) addSource(options, line);
    }
    std::fclose(list);
}

}  // namespace

bool parseCommandLine(int argc, const char* const* argv, RunOptions& options) {
    options = RunOptions();
    if (argc < 3) {
        showUsage();
        plat::readKey();
        return false;
    }
    for (int i = 3; i < argc; ++i) examineOption(options, argv[i]);

    if (options.archiveFolderLimit < 1) options.archiveFolderLimit = 1;
    if (options.classicScheme) {
        options.permanentCopies = false;
        if (options.archiveFolderLimit < 10) options.archiveFolderLimit = 10;
    }

    addSource(options, argv[1]);
    if (!options.extraSource.empty()) addSource(options, options.extraSource);
    if (!options.sourceListFile.empty()) readSourceList(options);

    const std::string target = argv[2];
    if (target.size() > kMaxSourceText) {
        options.targetRefused = true;
        options.refusals.push_back(formatText(
            "Zielpfad %s ... FEHLER (Pfad zu lang, Datensicherung abgebrochen)\n",
            target.c_str()));
    } else {
        options.targetPath = target;
    }
    return true;
}

void stripPathTail(std::string& path) {
    auto endsWith = [&](const char* tail) {
        size_t n = std::strlen(tail);
        return path.size() >= n && path.compare(path.size() - n, n, tail) == 0;
    };
    if (endsWith("\\*.*")) {
        path.resize(path.size() - 4);
    } else if (!plat::kIsWindows && endsWith("/*.*")) {
        path.resize(path.size() - 4);
        if (path.empty()) path.push_back('/');  // the root stays the root
    }
    if (!path.empty() && path.back() == '\\') {
        path.pop_back();
    } else if (!plat::kIsWindows && path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
}

int readTextLine(FILE* file, std::string& out, size_t limit, TextLineInfo* info) {
    constexpr size_t kBufferSize = 3000;
    if (limit > kBufferSize) limit = kBufferSize;
    out.clear();
    TextLineInfo result;
    char buffer[kBufferSize];
    if (!std::fgets(buffer, static_cast<int>(kBufferSize), file)) {
        if (info) *info = result;
        return 1;
    }
    size_t length = std::strlen(buffer);
    bool hasLineFeed = length > 0 && buffer[length - 1] == '\n';
    if (!plat::kIsWindows && hasLineFeed && length > 1 && buffer[length - 2] == '\r') {
        // Windows' text mode turns CR LF into LF before anyone sees it.
        buffer[length - 2] = '\n';
        buffer[--length] = '\0';
    }
    if (!hasLineFeed) {
        int next = std::fgetc(file);
        if (next != EOF) {
            std::ungetc(next, file);
            result.endsLine = false;
        }
    }
    size_t keep = limit > 0 ? limit - 1 : 0;
    if (length > keep) {
        // Losing only the line feed loses nothing of the text.
        result.cut = !(hasLineFeed && length == keep + 1);
        length = keep;
        buffer[length] = '\0';
    }
    if (length > 0 && buffer[length - 1] == '\n') buffer[--length] = '\0';
    out.assign(buffer, length);
    if (info) *info = result;
    return 0;
}
