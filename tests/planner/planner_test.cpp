// installplan as a user runs it: small install lists in a temporary folder,
// the exit code, the JSON it prints, its error lines.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "json_lite.h"

namespace {

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

std::string ShellQuote(const std::string& arg) {
    std::string out = "'";
    for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class PlannerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/installplan_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + ShellQuote(dir_)).c_str()); }

    std::string Write(const std::string& name, const std::string& content) const {
        const std::string path = dir_ + "/" + name;
        std::system(("mkdir -p " + ShellQuote(path.substr(0, path.rfind('/')))).c_str());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    RunResult Run(const std::vector<std::string>& args) const {
        std::string command = ShellQuote(INSTALLPLAN);
        for (const std::string& arg : args) command += " " + ShellQuote(arg);
        command += " >" + ShellQuote(dir_ + "/out") + " 2>" + ShellQuote(dir_ + "/err");
        const int status = std::system(command.c_str());
        return RunResult{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(dir_ + "/out"),
                         Slurp(dir_ + "/err")};
    }

    // Runs --json on an install list; the parsed plan.
    Json Plan(const std::string& ini, std::vector<std::string> args = {},
              int* exitCode = nullptr) const {
        const std::string path = Write("path.ini", ini);
        args.insert(args.begin(), {"--ini", path, "--json"});
        const RunResult r = Run(args);
        Json plan;
        EXPECT_TRUE(ParseJson(r.out, plan)) << r.out << r.err;
        if (exitCode) *exitCode = r.exitCode;
        return plan;
    }

    std::string dir_;
};

// "item:code" for each warning, sorted; item 0 for the whole file.
std::vector<std::string> Codes(const Json& plan) {
    std::vector<std::string> codes;
    for (const Json& w : plan["warnings"].items)
        codes.push_back(std::to_string(w["item"].kind == Json::Null ? 0 : int(w["item"].number)) +
                        ":" + w["code"].text);
    std::sort(codes.begin(), codes.end());
    return codes;
}

const char Tags[] = "[OS_Language_Tag]\n0409=ENU\n0407=GER\n";

// A list section with one good item, then the given lines.
std::string List(const std::string& lines, int num = 1) {
    return std::string(Tags) + "[ENUPath]\nNum=" + std::to_string(num) +
           "\nPath1=C:\\setup\\a.exe /s\nTitle1=acme\nTime1=2\n" + lines;
}

std::string Items(int from, int to) {
    std::string lines;
    for (int n = from; n <= to; ++n) {
        const std::string i = std::to_string(n);
        lines += "Path" + i + "=C:\\setup\\" + i + ".exe\nTitle" + i + "=t" + i + "\nTime" + i +
                 "=0\n";
    }
    return lines;
}

struct WarningCase {
    const char* name;
    std::string ini;
    std::vector<std::string> args;
    std::vector<std::string> codes;  // sorted "item:code"
};

void PrintTo(const WarningCase& c, std::ostream* out) { *out << c.name; }

class WarningTest : public PlannerTest, public ::testing::WithParamInterface<WarningCase> {};

TEST_P(WarningTest, FindsExactlyTheseWarnings) {
    const WarningCase& c = GetParam();
    int exitCode = -1;
    const Json plan = Plan(c.ini, c.args, &exitCode);
    EXPECT_EQ(Codes(plan), c.codes);
    EXPECT_EQ(exitCode, c.codes.empty() ? 0 : 1);
    for (const Json& w : plan["warnings"].items) {
        EXPECT_FALSE(w["message"].text.empty());
        EXPECT_EQ(w["message"].text.back(), '.') << w["message"].text;
    }
}

const std::string Long300(300, 'p');

INSTANTIATE_TEST_SUITE_P(
    Lists, WarningTest,
    ::testing::Values(
        WarningCase{"Clean", List("Path2=\"C:\\Program Files\\b.exe\" /q\nTitle2=\nTime2=-1\n", 2),
                    {}, {}},
        WarningCase{"UpperCaseTitle", List("Path2=b.exe\nTitle2=Acme Tools\n", 2), {},
                    {"2:title-uppercase"}},
        WarningCase{"TitleMissing", List("Path2=b.exe\nTime2=0\n", 2), {}, {"2:title-missing"}},
        WarningCase{"TitleTruncated", List("Path2=b.exe\nTitle2=" + std::string(40, 't') + "\n", 2),
                    {}, {"2:title-truncated"}},
        WarningCase{"PathMissing", List("Title2=b\n", 2), {}, {"2:path-missing"}},
        WarningCase{"PathEmpty", List("Path2=\nTitle2=b\n", 2), {}, {"2:path-missing"}},
        WarningCase{"PathTruncated", List("Path2=C:\\" + Long300 + ".exe\nTitle2=b\n", 2), {},
                    {"2:path-truncated"}},
        WarningCase{"UnquotedSpaces",
                    List("Path2=C:\\Program Files\\Acme\\setup.exe /s\nTitle2=b\n", 2), {},
                    {"2:path-unquoted-spaces"}},
        // The program is cmd; the blank separates its arguments.
        WarningCase{"BlankBeforeArguments", List("Path2=cmd /c C:\\x\\y.cmd\nTitle2=b\n", 2), {},
                    {}},
        WarningCase{"NumOverCapacity",
                    std::string(Tags) + "[ENUPath]\nNum=21\n" + Items(1, 21), {},
                    {"0:num-over-capacity"}},
        WarningCase{"NumZero", std::string(Tags) + "[ENUPath]\nNum=0\n", {}, {"0:list-empty"}},
        WarningCase{"NumNegative", std::string(Tags) + "[ENUPath]\nNum=-3\n", {},
                    {"0:list-empty"}},
        WarningCase{"NoNum", std::string(Tags) + "[ENUPath]\nPath=x\n", {}, {"0:list-empty"}},
        WarningCase{"NoSection", std::string(Tags) + "[GERPath]\nNum=1\n" + Items(1, 1), {},
                    {"0:list-empty"}},
        WarningCase{"TagMissing", std::string("[OS_Language_Tag]\n0407=GER\n"), {},
                    {"0:list-empty", "0:tag-missing"}},
        // Without a tag the section asked for is "Path" (the default tag " "
        // with its blank stripped): a [Path] section is read as the list.
        WarningCase{"TagMissingReadsPathSection",
                    std::string("[OS_Language_Tag]\n0407=GER\n[Path]\nNum=1\n") + Items(1, 1), {},
                    {"0:tag-missing"}},
        WarningCase{"TagTooLong",
                    std::string("[OS_Language_Tag]\n0409=") + std::string(28, 'T') + "\n[" +
                        std::string(28, 'T') + "Path]\nNum=1\n" + Items(1, 1),
                    {}, {"0:list-empty", "0:tag-too-long"}},
        WarningCase{"TagOfTwentySevenFits",
                    std::string("[OS_Language_Tag]\n0409=") + std::string(27, 'T') + "\n[" +
                        std::string(27, 'T') + "Path]\nNum=1\n" + Items(1, 1),
                    {}, {}},
        WarningCase{"KeysBeyondNum", List("Path3=c.exe\nTitle3=c\nTime4=1\n"), {},
                    {"3:keys-beyond-num", "4:keys-beyond-num"}},
        WarningCase{"DuplicateKey", List("Path1=C:\\other.exe\n"), {}, {"1:duplicate-key"}},
        WarningCase{"DuplicateTag", List("0409=XXX\n") + "[OS_Language_Tag]\n0409=GER\n", {},
                    {"0:duplicate-section"}},
        WarningCase{"DuplicateSectionInOtherCase", List("") + "[enupath]\nNum=5\n", {},
                    {"0:duplicate-section"}},
        WarningCase{"TimeNotNumeric", List("Path2=b.exe\nTitle2=b\nTime2=abc\n", 2), {},
                    {"2:time-not-numeric"}},
        WarningCase{"TimeTrailingText", List("Path2=b.exe\nTitle2=b\nTime2=5s\n", 2), {},
                    {"2:time-not-numeric"}},
        WarningCase{"TimeOverflows", List("Path2=b.exe\nTitle2=b\nTime2=99999999999\n", 2), {},
                    {"2:time-too-large"}},
        WarningCase{"TimeInMilliseconds", List("Path2=b.exe\nTitle2=b\nTime2=5000\n", 2), {},
                    {"2:time-too-large"}},
        // Windows glues the mark to the first line: [OS_Language_Tag] is lost.
        WarningCase{"Utf8Mark", "\xEF\xBB\xBF" + List(""), {},
                    {"0:list-empty", "0:tag-missing", "0:utf8-bom"}},
        WarningCase{"Utf8MarkBeforeComment", "\xEF\xBB\xBF; list\n" + List(""), {},
                    {"0:utf8-bom"}}),
    [](const ::testing::TestParamInfo<WarningCase>& info) { return info.param.name; });

TEST_F(PlannerTest, ReportsTheValuesAsReadAndTheTimeTheRunAdds) {
    const Json plan = Plan(List(
        "Path2=b.exe\nTitle2=Setup\nTime2=-1\n"   // never matches: a minute
        "Title3=c\nTime3=3\n"                      // nothing starts, the pause is taken
        "Path4=\"C:\\x y\\d.exe\" 'a'\nTitle4=\"quoted\"\nTime4=+4\n",
        4));
    EXPECT_EQ(plan["language_key"].text, "0409");
    EXPECT_EQ(plan["language_tag"].text, "ENU");
    EXPECT_EQ(plan["section"].text, "ENUPath");
    EXPECT_EQ(plan["num"].number, 4);
    ASSERT_EQ(plan["items"].items.size(), 4u);
    const Json& fourth = plan["items"].items[3];
    EXPECT_EQ(fourth["number"].number, 4);
    EXPECT_EQ(fourth["path"].text, "\"C:\\x y\\d.exe\" 'a'");
    EXPECT_EQ(fourth["title"].text, "quoted");
    EXPECT_EQ(fourth["time"].number, 4);
    EXPECT_EQ(plan["items"].items[2]["path"].text, "");  // Windows strips the default " "
    // Pauses 2 + 3 + 4, three items start (1.5 s), one title never matches.
    EXPECT_EQ(plan["estimated_seconds"].number, 9 + 1.5 + 60);
}

TEST_F(PlannerTest, RunsAtMostNineteenItems) {
    const Json plan = Plan(std::string(Tags) + "[ENUPath]\nNum=25\n" + Items(1, 25));
    ASSERT_EQ(plan["items"].items.size(), 19u);
    EXPECT_EQ(plan["num"].number, 25);
    EXPECT_EQ(plan["items"].items[18]["path"].text, "C:\\setup\\19.exe");
}

TEST_F(PlannerTest, Utf16FileIsRead) {
    const std::string text = List("", 1);
    std::string wide = "\xFF\xFE";
    for (char c : text) wide += std::string{c, '\0'};
    const Json plan = Plan(wide);
    EXPECT_EQ(Codes(plan), std::vector<std::string>{});
    ASSERT_EQ(plan["items"].items.size(), 1u);
    EXPECT_EQ(plan["items"].items[0]["path"].text, "C:\\setup\\a.exe /s");
}

TEST_F(PlannerTest, BytesAboveAsciiSurviveTheJson) {
    const Json plan = Plan(List("Path2=C:\\caf\xE9.exe\nTitle2=\x80uro\n", 2));
    ASSERT_EQ(plan["items"].items.size(), 2u);
    EXPECT_EQ(plan["items"].items[1]["path"].text, "C:\\caf\xE9.exe");
    EXPECT_EQ(plan["items"].items[1]["title"].text, "\x80uro");
}

struct LocaleCase {
    const char* locale;
    const char* key;
    const char* tag;
};

TEST_F(PlannerTest, LocaleGivesTheKeyAsInstallseqDerivesIt) {
    const LocaleCase cases[] = {
        {"00000407", "0407", "GER"},
        {"00000409", "0409", "ENU"},
        {"0001040C", "040C", ""},          // no such tag
        {"1234", "", ""},                  // too short: empty key
        {"abcd0407ijklmnopqrstuvwxyz01234", "0407", "GER"},   // 31 characters fit
        {"abcd0407ijklmnopqrstuvwxyz012345", "0409", "ENU"},  // 32 do not
    };
    for (const LocaleCase& c : cases) {
        const Json plan =
            Plan(List("") + "[GERPath]\nNum=1\n" + Items(1, 1), {"--locale", c.locale});
        EXPECT_EQ(plan["language_key"].text, c.key) << c.locale;
        EXPECT_EQ(plan["language_tag"].text, c.tag) << c.locale;
    }
}

TEST_F(PlannerTest, PlainOutputShowsEveryPart) {
    const std::string ini =
        Write("path.ini", List("Path2=C:\\Program Files\\b.exe\nTitle2=B\nTime2=-1\n", 2));
    const RunResult r = Run({"--ini", ini, "--locale", "00000409"});
    EXPECT_EQ(r.exitCode, 1);
    for (const char* part : {"language key  0409 (--locale 00000409)", "tag           \"ENU\"",
                             "list section  [ENUPath]", "Num           2", "item 2",
                             "command line  C:\\Program Files\\b.exe",
                             "program       C:\\Program Files\\b.exe (Windows first tries "
                             "C:\\Program.exe)",
                             "title         \"B\"", "pause         none (-1)", "2 warnings:",
                             "item 2  title-uppercase: ", "item 2  path-unquoted-spaces: ",
                             "estimated time beyond the installers' own work: 63.0 s"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
    EXPECT_EQ(r.err, "");
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* error;  // part of the one-line error
};

TEST_F(PlannerTest, BadUsageAndUnreadableFilesExitWithTwo) {
    const std::string ini = Write("path.ini", List(""));
    const UsageCase cases[] = {
        {"NoIni", {}, "give the install list with --ini FILE"},
        {"Unknown", {"--ini", ini, "--verbose"}, "unknown argument --verbose"},
        {"IniWithoutValue", {"--ini"}, "--ini needs a value"},
        {"LocaleWithoutValue", {"--ini", ini, "--locale"}, "--locale needs a value"},
        {"IniTwice", {"--ini", ini, "--ini", ini}, "--ini given twice"},
        {"MissingFile", {"--ini", dir_ + "/none.ini"}, "none.ini: no such file"},
        {"Folder", {"--ini", dir_}, ": is a folder"},
        {"RootNotAFolder", {"--ini", ini, "--root", ini}, "path.ini: is not a folder"},
    };
    for (const UsageCase& c : cases) {
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_EQ(r.err.rfind("installplan: ", 0), 0u) << c.name << ": " << r.err;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << c.name << ": " << r.err;
    }
}

TEST_F(PlannerTest, HelpTellsTheOptions) {
    const RunResult r = Run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* option : {"--ini FILE", "--locale VALUE", "--root DIR", "--json", "Exit code"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST_F(PlannerTest, RootFindsProgramsWhateverTheCaseOfTheirNames) {
    Write("image/Program Files/Acme/SETUP.exe", "");
    Write("image/WINDOWS/system32/regedit.EXE", "");
    Write("image/Tools/run", "");  // no extension: Windows looks for run.exe
    Write("image/Tools/Sub/x.exe/keep", "");  // a folder named like a program
    const std::string root = dir_ + "/image";
    const Json plan = Plan(std::string(Tags) +
                               "[ENUPath]\nNum=6\n"
                               "Path1=\"c:\\program files\\acme\\setup.exe\" /s\nTitle1=a\n"
                               "Path2=regedit /s c:\\x.reg\nTitle2=b\n"
                               "Path3=C:\\tools\\run\nTitle3=c\n"
                               "Path4=\\Tools\\Sub\\x.exe\nTitle4=d\n"
                               "Path5=D:\\setup.exe\nTitle5=e\n"
                               "Path6=absent /i D:\\x.msi\nTitle6=f\n",
                           {"--root", root});
    EXPECT_EQ(Codes(plan), (std::vector<std::string>{"3:program-not-found", "4:program-not-found",
                                                     "6:program-not-found"}));
    // Items 3, 4 and 6 start nothing; item 5 is on another drive and is not checked.
    EXPECT_EQ(plan["estimated_seconds"].number, 1.5);
}

TEST_F(PlannerTest, RootShowsWhichProgramAnUnquotedPathStarts) {
    Write("image/Program Files/Acme/setup.exe", "");
    const std::string ini =
        Write("path.ini", List("Path2=C:\\Program Files\\Acme\\setup.exe /s\nTitle2=b\n", 2));
    RunResult r = Run({"--ini", ini, "--root", dir_ + "/image"});
    EXPECT_NE(r.out.find("program       C:\\Program Files\\Acme\\setup.exe (Windows first tries "
                         "C:\\Program.exe)"),
              std::string::npos)
        << r.out;
    Write("image/program.EXE", "");  // planted
    r = Run({"--ini", ini, "--root", dir_ + "/image"});
    EXPECT_NE(r.out.find("program       C:\\Program.exe\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("path-unquoted-spaces"), std::string::npos);
}

}  // namespace
