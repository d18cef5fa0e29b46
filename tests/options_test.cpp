#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/options.h"
#include "platform/platform.h"
#include "support/tempdir.h"

namespace {

RunOptions parse(std::vector<std::string> args) {
    std::vector<const char*> argv{"vaultix.exe"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    RunOptions options;
    EXPECT_TRUE(parseCommandLine(static_cast<int>(argv.size()), argv.data(), options));
    return options;
}

void expectSame(const RunOptions& got, const RunOptions& want) {
    EXPECT_EQ(got.errorFilePath, want.errorFilePath);
    EXPECT_EQ(got.archiveFolderLimit, want.archiveFolderLimit);
    EXPECT_EQ(got.detailedLog, want.detailedLog);
    EXPECT_EQ(got.finalPrompt, want.finalPrompt);
    EXPECT_EQ(got.permanentCopies, want.permanentCopies);
    EXPECT_EQ(got.classicScheme, want.classicScheme);
    EXPECT_EQ(got.fiscalYearStartMonth, want.fiscalYearStartMonth);
    EXPECT_EQ(got.extraSource, want.extraSource);
    EXPECT_EQ(got.sourceListFile, want.sourceListFile);
    EXPECT_EQ(got.sources, want.sources);
    EXPECT_EQ(got.targetPath, want.targetPath);
    EXPECT_EQ(got.refusals, want.refusals);
    EXPECT_EQ(got.targetRefused, want.targetRefused);
}

struct OptionCase {
    std::vector<std::string> options;            // behind "C:\Daten D:\Sicherung"
    std::function<void(RunOptions&)> change;     // from the defaults
};

TEST(CommandLine, OptionsDefaultsBoundsAndAdjustments) {
    using R = RunOptions&;
    const OptionCase cases[] = {
        {{}, [](R) {}},
        {{"/E=log.txt"}, [](R o) { o.errorFilePath = "log.txt"; }},
        {{"/e=log.txt", "/x", "/s"}, [](R) {}},  // prefixes are case-sensitive
        {{"/F=a.txt"}, [](R o) { o.errorFilePath = "a.txt"; o.detailedLog = true; }},
        {{"/F=a.txt", "/E=b.txt"}, [](R o) { o.errorFilePath = "b.txt"; o.detailedLog = true; }},
        {{"/E=a.txt", "/E="}, [](R) {}},
        {{"/E=C:\\Log Dateien\\f.txt"}, [](R o) { o.errorFilePath = "C:\\Log Dateien\\f.txt"; }},
        {{"/Z=5"}, [](R o) { o.archiveFolderLimit = 5; }},
        {{"/Z=0"}, [](R o) { o.archiveFolderLimit = 1; }},
        {{"/Z=-4"}, [](R o) { o.archiveFolderLimit = 1; }},
        {{"/Z=abc"}, [](R o) { o.archiveFolderLimit = 1; }},
        {{"/Z="}, [](R o) { o.archiveFolderLimit = 1; }},
        {{"/Z=  +7x"}, [](R o) { o.archiveFolderLimit = 7; }},
        {{"/Z=99999999999"}, [](R o) { o.archiveFolderLimit = INT_MAX; }},
        {{"/Z=4", "/Z=6"}, [](R o) { o.archiveFolderLimit = 6; }},
        {{"/K"}, [](R o) { o.classicScheme = true; o.archiveFolderLimit = 10; }},
        {{"/Z=5", "/K"}, [](R o) { o.classicScheme = true; o.archiveFolderLimit = 10; }},
        {{"/K", "/Z=12"}, [](R o) { o.classicScheme = true; o.archiveFolderLimit = 12; }},
        {{"/K", "/Z=0"}, [](R o) { o.classicScheme = true; o.archiveFolderLimit = 10; }},
        {{"/Klassisch"}, [](R o) { o.classicScheme = true; o.archiveFolderLimit = 10; }},
        {{"/S"}, [](R o) { o.permanentCopies = true; }},
        {{"/Sicher"}, [](R o) { o.permanentCopies = true; }},
        {{"/S", "/K"}, [](R o) { o.classicScheme = true; o.archiveFolderLimit = 10; }},
        {{"/K", "/S"}, [](R o) { o.classicScheme = true; o.archiveFolderLimit = 10; }},
        {{"/X"}, [](R o) { o.finalPrompt = false; }},
        {{"/X1"}, [](R o) { o.finalPrompt = false; }},
        {{"/W=12"}, [](R o) { o.fiscalYearStartMonth = 12; }},
        {{"/W=4"}, [](R o) { o.fiscalYearStartMonth = 4; }},
        {{"/W=0"}, [](R) {}},
        {{"/W=13"}, [](R) {}},
        {{"/W=x"}, [](R) {}},
        {{"/W=-3"}, [](R) {}},
        {{"/W=7", "/W=13"}, [](R) {}},
        {{"/Q=C:\\A"}, [](R o) { o.extraSource = "C:\\A"; o.sources.push_back("C:\\A"); }},
        {{"/Q=C:\\A", "/Q=C:\\B"}, [](R o) { o.extraSource = "C:\\B"; o.sources.push_back("C:\\B"); }},
        {{"/Q=C:\\A", "/Q="}, [](R) {}},
        {{"/L=fehlt-ganz-sicher.txt"}, [](R o) { o.sourceListFile = "fehlt-ganz-sicher.txt"; }},
        {{"/Y=1", "irgendwas", "", "/"}, [](R) {}},
    };
    for (const OptionCase& c : cases) {
        std::string trace;
        for (const std::string& o : c.options) trace += "[" + o + "]";
        SCOPED_TRACE(trace);
        std::vector<std::string> args{"C:\\Daten", "D:\\Sicherung"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunOptions want;
        want.sources = {"C:\\Daten"};
        want.targetPath = "D:\\Sicherung";
        c.change(want);
        expectSame(parse(args), want);
    }
}

TEST(CommandLine, OptionsBeforeThePathsAreTakenAsPaths) {
    RunOptions o = parse({"/K", "C:\\Daten", "D:\\Sicherung"});
    EXPECT_EQ(o.sources, std::vector<std::string>{"/K"});
    EXPECT_EQ(o.targetPath, "C:\\Daten");
    EXPECT_FALSE(o.classicScheme);
    EXPECT_EQ(o.archiveFolderLimit, 3);
}

// The capacities: nothing beyond them is cut; what cannot be taken is named.
TEST(CommandLine, Capacities) {
    const std::string source299(299, 's'), source300(300, 's');
    {
        RunOptions o = parse({source299, std::string(299, 't')});
        EXPECT_EQ(o.sources, std::vector<std::string>{source299});
        EXPECT_EQ(o.targetPath, std::string(299, 't'));
        EXPECT_TRUE(o.refusals.empty());
        EXPECT_FALSE(o.targetRefused);
    }
    {
        RunOptions o = parse({source300, "D:\\Sicherung", "/Q=" + source300, "/Q=C:\\B"});
        EXPECT_EQ(o.sources, std::vector<std::string>{"C:\\B"});
        const std::string line =
            "Quellpfad " + source300 + " ... FEHLER (Pfad zu lang, wird nicht gesichert)\n";
        EXPECT_EQ(o.refusals, (std::vector<std::string>{line}));
    }
    {
        RunOptions o = parse({"C:\\Daten", std::string(300, 't')});
        EXPECT_TRUE(o.targetRefused);
        EXPECT_TRUE(o.targetPath.empty());
        EXPECT_EQ(o.refusals, std::vector<std::string>{
                                  "Zielpfad " + std::string(300, 't') +
                                  " ... FEHLER (Pfad zu lang, Datensicherung abgebrochen)\n"});
    }
    {
        const std::string fits = "/E=" + std::string(596, 'e');
        const std::string tooLong = "/F=" + std::string(597, 'f');
        RunOptions o = parse({"C:\\Daten", "D:\\Sicherung", fits, tooLong});
        EXPECT_EQ(o.errorFilePath, std::string(596, 'e'));
        EXPECT_FALSE(o.detailedLog) << "an argument that is too long is not examined at all";
        EXPECT_EQ(o.refusals, std::vector<std::string>{
                                  "Parameter " + tooLong +
                                  " ... FEHLER (Parameter zu lang, wird ignoriert)\n"});
    }
}

class SourceList : public ::testing::Test {
protected:
    TempDir tmp;
    std::string listPath() const { return tmp / "quellen.txt"; }
    RunOptions parseWithList(const std::string& content, std::vector<std::string> more = {}) {
        writeFile(listPath(), content);
        std::vector<std::string> args{"C:\\Daten", "D:\\Sicherung", "/L=" + listPath()};
        args.insert(args.end(), more.begin(), more.end());
        return parse(args);
    }
    std::string tooLongLine(int lineNumber) const {
        return "Quellpfad in Zeile " + std::to_string(lineNumber) + " von " + listPath() +
               " ... FEHLER (Pfad zu lang, wird nicht gesichert)\n";
    }
};

TEST_F(SourceList, LinesAreTakenAsTheyStand) {
    struct Case {
        const char* name;
        std::string content;
        std::vector<std::string> added;
    };
    const Case cases[] = {
        {"plain", "C:\\A\nC:\\B\n", {"C:\\A", "C:\\B"}},
        {"empty lines skipped, blanks kept", "\nC:\\A\n\n\n   \n C:\\B \n", {"C:\\A", "   ", " C:\\B "}},
        {"last line without line feed", "C:\\A\nC:\\B", {"C:\\A", "C:\\B"}},
        {"carriage returns of Windows text", "C:\\A\r\n\r\nC:\\B\r\n", {"C:\\A", "C:\\B"}},
        {"carriage return inside a line stays", "C:\\A\rB\n", {"C:\\A\rB"}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunOptions o = parseWithList(c.content);
        std::vector<std::string> want{"C:\\Daten"};
        want.insert(want.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(o.sources, want);
        EXPECT_TRUE(o.refusals.empty());
    }
}

TEST_F(SourceList, ComesAfterTheExtraSource) {
    RunOptions o = parseWithList("C:\\L1\n", {"/Q=C:\\Q"});
    EXPECT_EQ(o.sources, (std::vector<std::string>{"C:\\Daten", "C:\\Q", "C:\\L1"}));
}

TEST_F(SourceList, LongLinesAreRefusedNotCut) {
    const std::string fits(299, 'a');
    // 300: beyond a source entry; 700: cut by the line reader; 3500: read in pieces, whose
    // remainder must not turn into a source of its own.
    const std::string content = fits + "\n" + std::string(300, 'b') + "\n" +
                                std::string(700, 'c') + "\n" + std::string(3500, 'd') +
                                "\nC:\\Danach\n" + std::string(5000, 'e');
    RunOptions o = parseWithList(content);
    EXPECT_EQ(o.sources, (std::vector<std::string>{"C:\\Daten", fits, "C:\\Danach"}));
    EXPECT_EQ(o.refusals,
              (std::vector<std::string>{
                  "Quellpfad " + std::string(300, 'b') +
                      " ... FEHLER (Pfad zu lang, wird nicht gesichert)\n",
                  tooLongLine(3), tooLongLine(4), tooLongLine(6)}));
}

TEST_F(SourceList, AtMostOneHundredSources) {
    std::string content;
    for (int i = 1; i <= 100; ++i) content += "C:\\Q" + std::to_string(i) + "\n";
    RunOptions o = parseWithList(content);
    ASSERT_EQ(o.sources.size(), 100u);
    EXPECT_EQ(o.sources.back(), "C:\\Q99");
    EXPECT_EQ(o.refusals,
              std::vector<std::string>{
                  "Quellpfad C:\\Q100 ... FEHLER (mehr als 100 Quellpfade, wird nicht gesichert)\n"});
}

TEST_F(SourceList, MissingFileAddsNothingAndSaysNothing) {
    RunOptions o = parse({"C:\\Daten", "D:\\Sicherung", "/L=" + (tmp / "fehlt.txt")});
    EXPECT_EQ(o.sources, std::vector<std::string>{"C:\\Daten"});
    EXPECT_TRUE(o.refusals.empty());
}

TEST(ReadTextLine, LimitsPiecesAndEnd) {
    struct Case {
        const char* name;
        std::string content;
        size_t limit;
        std::vector<std::string> lines;
        std::vector<bool> cut;
        std::vector<bool> endsLine;
    };
    const Case cases[] = {
        {"lines", "ab\n\ncd\n", 600, {"ab", "", "cd"}, {false, false, false}, {true, true, true}},
        {"no final line feed", "ab\ncd", 600, {"ab", "cd"}, {false, false}, {true, true}},
        {"cut to the limit", "abcdefg\nh\n", 5, {"abcd", "h"}, {true, false}, {true, true}},
        {"only the line feed lost", "abcd\n", 5, {"abcd"}, {false}, {true}},
        {"limit without line feed", "abcde", 5, {"abcd"}, {true}, {true}},
        {"longer than the buffer", std::string(3500, 'x') + "\n", 600,
         {std::string(599, 'x'), std::string(501, 'x')}, {true, false}, {false, true}},
        {"limit above 3000", std::string(3001, 'y') + "\n", 5000,
         {std::string(2999, 'y'), "yy"}, {false, false}, {false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir tmp;
        writeFile(tmp / "t.txt", c.content);
        FILE* f = std::fopen((tmp / "t.txt").c_str(), "r");
        ASSERT_NE(f, nullptr);
        std::string line;
        TextLineInfo info;
        for (size_t i = 0; i < c.lines.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(readTextLine(f, line, c.limit, &info), 0);
            EXPECT_EQ(line, c.lines[i]);
            EXPECT_EQ(info.cut, c.cut[i]);
            EXPECT_EQ(info.endsLine, c.endsLine[i]);
        }
        line = "rest";
        EXPECT_EQ(readTextLine(f, line, c.limit, &info), 1);
        EXPECT_EQ(line, "");
        std::fclose(f);
    }
}

TEST(StripPathTail, Table) {
    struct Case {
        const char* path;
        const char* posix;    // POSIX also knows "/" as separator
        const char* windows;
    };
    const Case cases[] = {
        {"D:\\Daten\\*.*", "D:\\Daten", "D:\\Daten"},
        {"D:\\Daten\\", "D:\\Daten", "D:\\Daten"},
        {"D:\\", "D:", "D:"},
        {"D:\\*.*", "D:", "D:"},
        {"D:\\Daten\\\\", "D:\\Daten\\", "D:\\Daten\\"},
        {"D:\\Daten\\*.txt", "D:\\Daten\\*.txt", "D:\\Daten\\*.txt"},
        {"\\\\Server\\Freigabe", "\\\\Server\\Freigabe", "\\\\Server\\Freigabe"},
        {"D:\\Backup\\*.*", "D:\\Backup", "D:\\Backup"},
        {"*.*", "*.*", "*.*"},
        {"", "", ""},
        {"/daten/*.*", "/daten", "/daten/*.*"},
        {"/daten/", "/daten", "/daten/"},
        {"/daten//", "/daten/", "/daten//"},
        {"/", "/", "/"},
        {"/*.*", "/", "/*.*"},
        {"//", "/", "//"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string path = c.path;
        stripPathTail(path);
        EXPECT_EQ(path, plat::kIsWindows ? c.windows : c.posix);
    }
}

}  // namespace
