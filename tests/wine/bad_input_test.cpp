// The real installseq.exe under Wine given bad input: broken install lists,
// Locale values of the wrong kind, items that crash or cannot be programs.
// Each case runs in a prefix of its own and must end with exit code 0 within
// its time limit, with both imports done and exactly the expected items
// launched, in order. A run that hangs is cut off by the limit and fails.
//
// Items are chosen so that no case pays the minute-long search for a window
// that never turns up, except where that search is the point: an item that
// starts has an installer window to follow, or fails to start at all.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "wine_prefix.h"

namespace {

const char TestKey[] = "HKCU\\Software\\InstallseqTest";
const char International[] = "HKU\\.Default\\Control Panel\\International";
const char Tags[] = "[OS_Language_Tag]\r\n0409=ENU\r\n0407=GER\r\n";

std::string N(int n) { return std::to_string(n); }

// An item whose launcher leaves an installer with the window "Setup <label>"
// for 1.5 s, which the run finds and follows.
std::string Item(int n, const std::string& label, int time = -1, const std::string& pathTail = "") {
    return "Path" + N(n) + "=" + FakeInstallerItem(label, "Setup " + label, 0, 1500) + pathTail +
           "\r\nTitle" + N(n) + "=setup " + label + "\r\nTime" + N(n) + "=" + N(time) + "\r\n";
}

// An item whose launcher starts its installer ("Setup <label>", 1.5 s) and then
// ends by mode: "crash" or "exit:N". Without an installer it is only the
// launcher, and the search for its window costs a minute.
std::string BadItem(int n, const std::string& label, const std::string& mode,
                    bool withInstaller = true, const std::string& pathTail = "") {
    std::string path = "C:\\sysprep\\bad_launcher.exe " + std::string(ItemLog) + " " + label + " " + mode;
    if (withInstaller) path += " \"Setup " + label + "\" 0 1500";
    return "Path" + N(n) + "=" + path + pathTail + "\r\nTitle" + N(n) + "=setup " + label +
           "\r\nTime" + N(n) + "=-1\r\n";
}

// An item that cannot start: no wait and no follow-up.
std::string DeadItem(int n, const std::string& path) {
    return "Path" + N(n) + "=" + path + "\r\nTitle" + N(n) + "=setup dead\r\nTime" + N(n) + "=-1\r\n";
}

std::string List(const std::string& tag, int num, const std::string& items) {
    return "[" + tag + "Path]\r\nNum=" + N(num) + "\r\n" + items;
}

// English and German lists of one item each, to see which language was taken.
const std::string BothLanguages = std::string(Tags) + List("ENU", 1, Item(1, "e1")) +
                                  List("GER", 1, Item(1, "g1"));

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
    bytes[0] = 'x';  // not a UTF-16 mark
    return bytes;
}

std::string Utf16WithMark(const std::string& text) {
    std::string wide = "\xFF\xFE";
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

void SetLocaleOfType(const WinePrefix& prefix, const std::string& type, const std::string& data) {
    EXPECT_EQ(prefix.Wine({"reg", "add", International, "/v", "Locale", "/t", type, "/d", data, "/f"}, 60),
              0);
}

struct Case {
    const char* name;
    std::function<void(const WinePrefix&)> prepare;
    std::vector<std::string> launched;
    double maxSeconds;  // the whole run, Wine's start included
    // What else the helpers' log must show, when something must.
    std::function<void(const std::vector<LogEvent>&)> alsoLogged = nullptr;
};

// The launcher labelled got as far as event, and the item after it started
// only once that launcher's installer had ended.
std::function<void(const std::vector<LogEvent>&)> EndedBy(const std::string& event,
                                                          const std::string& label) {
    return [event, label](const std::vector<LogEvent>& log) {
        Find(log, event, label);
        EXPECT_GE(Find(log, "launcher-start", "after").us, Find(log, "installer-end", label).us);
    };
}

const double Quick = 40;      // a few items of a few seconds, on a loaded machine
const double OneSearch = 110;  // one item's minute of searching on top

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        // ---- the install list file ----
        {"ListIsAFolder",
         [](const WinePrefix& p) {
             p.PrepareSysprep("");
             std::remove(p.HostPath("sysprep/path.ini").c_str());
             ASSERT_EQ(system(("mkdir '" + p.HostPath("sysprep/path.ini") + "'").c_str()), 0);
         },
         {}, Quick},
        {"ListIsEmpty", [](const WinePrefix& p) { p.PrepareSysprep(""); }, {}, Quick},
        {"ListIsRandomBinary",
         [](const WinePrefix& p) { p.PrepareSysprep(RandomBytes(3 << 20, 20261211)); }, {}, Quick},
        {"ListHasLinesOf100000Characters",
         [](const WinePrefix& p) {
             const std::string longText(100000, 'x');
             p.PrepareSysprep(";" + longText + "\r\n" + longText + "\r\n" + Tags + "[ENUPath]\r\n" +
                              longText + "=" + longText + "\r\nNum=2\r\n" + Item(1, "first") +
                              // A Path cut to 255 characters: the launcher ignores the rest.
                              BadItem(2, "cut", "exit:0", true, " " + longText) + "Junk=" + longText +
                              "\r\n");
         },
         {"first", "cut"}, Quick,
         [](const std::vector<LogEvent>& log) {
             // The command line as cut to 255 characters (Wine may quote
             // the program's path when it passes it on).
             const std::string& commandLine = Find(log, "start", "cut").detail;
             EXPECT_GE(commandLine.size(), 250u);
             EXPECT_LE(commandLine.size(), 257u);
             EXPECT_EQ(commandLine.back(), 'x') << commandLine;
             Find(log, "installer-end", "cut");
         }},
        {"ListIsUtf16WithItsMark",
         [](const WinePrefix& p) {
             p.PrepareSysprep(Utf16WithMark(std::string(Tags) + List("ENU", 2, Item(1, "w1") + Item(2, "w2"))));
         },
         {"w1", "w2"}, Quick},
        // The mark spoils only the first line, which holds nothing here: on
        // Windows, which keeps the mark as text, and on Wine, which skips it.
        {"ListIsUtf8WithItsMark",
         [](const WinePrefix& p) {
             p.PrepareSysprep("\xEF\xBB\xBF; install list\r\n" + std::string(Tags) +
                              List("ENU", 1, Item(1, "u1")));
         },
         {"u1"}, Quick},
        // The first 19 items run, the 20th is never read. Items 2 to 18 name no
        // program, so the run stays short.
        {"NumOfAMillionWith19Items",
         [](const WinePrefix& p) {
             std::string items = Item(1, "n1");
             for (int n = 2; n <= 18; ++n) items += DeadItem(n, "C:\\sysprep\\absent" + N(n) + ".exe");
             items += Item(19, "n19") + Item(20, "n20");
             p.PrepareSysprep(std::string(Tags) + List("ENU", 1000000, items));
         },
         {"n1", "n19"}, Quick},
        {"ValuesWithControlCharacters",
         [](const WinePrefix& p) {
             p.PrepareSysprep(std::string(Tags) +
                              "[Junk\x01]\r\n\x1b[2J=\x07\x08\r\nkey\x7f=\x0b\x0c\r\n\x1a\r\n" +
                              List("ENU", 3,
                                   BadItem(1, "ctl", "exit:0", true, " \x01\x02\x1f") +
                                       DeadItem(2, "C:\\sysprep\\\x01\x05.exe") + Item(3, "after")) +
                              "Title2=\x03\x04\r\n");
         },
         {"ctl", "after"}, Quick, EndedBy("exiting", "ctl")},

        // ---- the Locale value ----
        // Too short to reach the language's digits: the key is empty, and no tag
        // is found for it.
        {"LocaleIsADword",
         [](const WinePrefix& p) {
             p.PrepareSysprep(BothLanguages);
             SetLocaleOfType(p, "REG_DWORD", "1031");
         },
         {}, Quick},
        {"LocaleIsBinaryWithoutATerminator",
         [](const WinePrefix& p) {
             p.PrepareSysprep(BothLanguages);
             SetLocaleOfType(p, "REG_BINARY", "3030303030343037");  // "00000407"
         },
         {"g1"}, Quick},
        {"LocaleOf40Characters",
         [](const WinePrefix& p) {
             p.PrepareSysprep(BothLanguages);
             p.SetLocale("0000040700000407000004070000040700000407");  // does not fit: English
         },
         {"e1"}, Quick},
        {"LocaleOf3Characters",
         [](const WinePrefix& p) {
             p.PrepareSysprep(BothLanguages);
             p.SetLocale("407");
         },
         {}, Quick},
        {"LocaleAbsent", [](const WinePrefix& p) { p.PrepareSysprep(BothLanguages); }, {"e1"}, Quick},
        {"InternationalKeyAbsent",
         [](const WinePrefix& p) {
             p.PrepareSysprep(BothLanguages);
             p.SetLocale("00000407");
             EXPECT_EQ(p.Wine({"reg", "delete", International, "/f"}, 60), 0);
         },
         {"e1"}, Quick},

        // ---- items ----
        {"ItemCrashesWithAnAccessViolation",
         [](const WinePrefix& p) {
             p.PrepareSysprep(std::string(Tags) + List("ENU", 2, BadItem(1, "crash", "crash") + Item(2, "after")));
         },
         {"crash", "after"}, Quick, EndedBy("crashing", "crash")},
        {"ItemExitsWithAnErrorCode",
         [](const WinePrefix& p) {
             p.PrepareSysprep(std::string(Tags) + List("ENU", 2, BadItem(1, "error", "exit:1603") + Item(2, "after")));
         },
         {"error", "after"}, Quick, EndedBy("exiting", "error")},
        {"ItemsNameAFolderAndADocument",
         [](const WinePrefix& p) {
             p.PrepareSysprep(std::string(Tags) +
                              List("ENU", 3,
                                   DeadItem(1, "C:\\sysprep") + DeadItem(2, "C:\\sysprep\\readme.txt") +
                                       Item(3, "after")));
             p.WriteFile("sysprep/readme.txt", "not a program\r\n");
         },
         {"after"}, Quick},
        {"ItemsAreEmptyOrMissing",
         [](const WinePrefix& p) {
             p.PrepareSysprep(std::string(Tags) + "[ENUPath]\r\nNum=3\r\nPath1=\r\nTitle1=\r\nTime1=\r\n" +
                              "Title2=setup none\r\n" + Item(3, "after"));
         },
         {"after"}, Quick},
        // Found or just missed: either way the run goes on to the next item; a
        // miss costs the minute of searching.
        {"InstallerWindowClosesJustAsItIsFound",
         [](const WinePrefix& p) {
             p.PrepareSysprep(std::string(Tags) +
                              List("ENU", 2,
                                   "Path1=" + FakeInstallerItem("closing", "Setup closing", 0, 600) +
                                       "\r\nTitle1=setup closing\r\nTime1=-1\r\n" + Item(2, "after")));
         },
         {"closing", "after"}, OneSearch},
        // A launcher that crashes and leaves nothing: the minute of searching,
        // then the next item.
        {"ItemCrashesWithoutAnInstallerSlow",
         [](const WinePrefix& p) {
             p.PrepareSysprep(std::string(Tags) +
                              List("ENU", 2, BadItem(1, "alone", "crash", false) + Item(2, "after")));
         },
         {"alone", "after"}, OneSearch},
    };
    return cases;
}

void RunCase(const std::string& name) {
    const Case* found = nullptr;
    for (const Case& c : Cases()) {
        if (c.name == name) found = &c;
    }
    ASSERT_NE(found, nullptr) << name;
    WinePrefix prefix;
    found->prepare(prefix);
    prefix.CopyHelper("bad_launcher.exe", "sysprep/bad_launcher.exe");
    const WinePrefix::RunResult run = prefix.RunInstallseq(static_cast<int>(found->maxSeconds) + 20);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_LT(run.seconds, found->maxSeconds);
    const std::vector<LogEvent> log = prefix.Log();
    EXPECT_EQ(StartedLabels(log), found->launched);
    if (found->alsoLogged) found->alsoLogged(log);
    EXPECT_EQ(prefix.QueryValue(TestKey, "SysHide"), "imported");
    EXPECT_EQ(prefix.QueryValue(TestKey, "RunOnce"), "imported");
}

// One test per case, so that CTest runs them side by side.
TEST(BadInput, ListIsAFolder) { RunCase("ListIsAFolder"); }
TEST(BadInput, ListIsEmpty) { RunCase("ListIsEmpty"); }
TEST(BadInput, ListIsRandomBinary) { RunCase("ListIsRandomBinary"); }
TEST(BadInput, ListHasLinesOf100000Characters) { RunCase("ListHasLinesOf100000Characters"); }
TEST(BadInput, ListIsUtf16WithItsMark) { RunCase("ListIsUtf16WithItsMark"); }
TEST(BadInput, ListIsUtf8WithItsMark) { RunCase("ListIsUtf8WithItsMark"); }
TEST(BadInput, NumOfAMillionWith19Items) { RunCase("NumOfAMillionWith19Items"); }
TEST(BadInput, ValuesWithControlCharacters) { RunCase("ValuesWithControlCharacters"); }
TEST(BadInput, LocaleIsADword) { RunCase("LocaleIsADword"); }
TEST(BadInput, LocaleIsBinaryWithoutATerminator) { RunCase("LocaleIsBinaryWithoutATerminator"); }
TEST(BadInput, LocaleOf40Characters) { RunCase("LocaleOf40Characters"); }
TEST(BadInput, LocaleOf3Characters) { RunCase("LocaleOf3Characters"); }
TEST(BadInput, LocaleAbsent) { RunCase("LocaleAbsent"); }
TEST(BadInput, InternationalKeyAbsent) { RunCase("InternationalKeyAbsent"); }
TEST(BadInput, ItemCrashesWithAnAccessViolation) { RunCase("ItemCrashesWithAnAccessViolation"); }
TEST(BadInput, ItemExitsWithAnErrorCode) { RunCase("ItemExitsWithAnErrorCode"); }
TEST(BadInput, ItemsNameAFolderAndADocument) { RunCase("ItemsNameAFolderAndADocument"); }
TEST(BadInput, ItemsAreEmptyOrMissing) { RunCase("ItemsAreEmptyOrMissing"); }
TEST(BadInput, InstallerWindowClosesJustAsItIsFound) { RunCase("InstallerWindowClosesJustAsItIsFound"); }
TEST(BadInputSlow, ItemCrashesWithoutAnInstaller) { RunCase("ItemCrashesWithoutAnInstallerSlow"); }

}  // namespace
