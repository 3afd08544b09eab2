// The real installseq.exe under Wine: the language's list runs, in order, one
// item at a time, with its pauses, between the two registry imports.
#include <gtest/gtest.h>

#include "wine_prefix.h"

namespace {

const char TestKey[] = "HKCU\\Software\\InstallseqTest";

// Items that end quickly: a launcher whose installer shows a window titled
// "Setup <label>" for lifeMs, which the run finds and follows. The window must
// outlast the half second before the first search, or the search finds nothing
// and gives up only after a minute.
std::string Item(int n, const std::string& label, int time, int lifeMs = 1500) {
    const std::string i = std::to_string(n);
    return "Path" + i + "=" + FakeInstallerItem(label, "Setup " + label, 0, lifeMs) + "\nTitle" + i +
           "=setup " + label + "\nTime" + i + "=" + std::to_string(time) + "\n";
}

double MsBetween(const LogEvent& earlier, const LogEvent& later) {
    return (later.us - earlier.us) / 1000.0;
}

void ExpectBothImports(const WinePrefix& prefix) {
    EXPECT_EQ(prefix.QueryValue(TestKey, "SysHide"), "imported");
    EXPECT_EQ(prefix.QueryValue(TestKey, "RunOnce"), "imported");
}

TEST(InstallRun, TheRegistryLanguagesListRunsInOrderWithItsPauses) {
    WinePrefix prefix;
    prefix.PrepareSysprep("[OS_Language_Tag]\r\n0407=GER\r\n0409=ENU\r\n"
                          "[GERPath]\r\nNum=3\r\n" +
                          Item(1, "g1", 2) + Item(2, "g2", 0) + Item(3, "g3", -1) +
                          "[ENUPath]\r\nNum=1\r\n" + Item(1, "e1", 0));
    prefix.SetLocale("00000407");
    const WinePrefix::RunResult run = prefix.RunInstallseq();
    EXPECT_EQ(run.exitCode, 0);

    const std::vector<LogEvent> log = prefix.Log();
    EXPECT_EQ(StartedLabels(log), (std::vector<std::string>{"g1", "g2", "g3"}));
    // Each item starts only after the one before has ended and paused: strict
    // lower bounds, generous upper ones for Wine's process start.
    const double gap12 = MsBetween(Find(log, "installer-end", "g1"), Find(log, "launcher-start", "g2"));
    EXPECT_GE(gap12, 2000.0);
    EXPECT_LT(gap12, 4000.0);
    const double gap23 = MsBetween(Find(log, "installer-end", "g2"), Find(log, "launcher-start", "g3"));
    EXPECT_GE(gap23, 0.0);
    EXPECT_LT(gap23, 1500.0);
    ExpectBothImports(prefix);
}

TEST(InstallRun, WithoutALocaleValueTheEnglishListRuns) {
    WinePrefix prefix;
    prefix.PrepareSysprep("[OS_Language_Tag]\r\n0407=GER\r\n0409=ENU\r\n"
                          "[GERPath]\r\nNum=1\r\n" + Item(1, "g1", 0) +
                          "[ENUPath]\r\nNum=1\r\n" + Item(1, "e1", 0));
    EXPECT_EQ(prefix.RunInstallseq().exitCode, 0);
    EXPECT_EQ(StartedLabels(prefix.Log()), (std::vector<std::string>{"e1"}));
}

TEST(InstallRun, WithoutAnInstallListBothImportsRunAndNothingIsLaunched) {
    WinePrefix prefix;
    prefix.PrepareSysprep("");
    std::remove(prefix.HostPath("sysprep/path.ini").c_str());
    const WinePrefix::RunResult run = prefix.RunInstallseq();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_LT(run.seconds, 15.0);
    EXPECT_TRUE(prefix.Log().empty());
    ExpectBothImports(prefix);
}

// A command that names no program is passed over, and its pause still holds
// the next item back.
TEST(InstallRun, AnItemThatCannotStartIsPassedOverButPauses) {
    WinePrefix prefix;
    prefix.PrepareSysprep("[OS_Language_Tag]\r\n0409=ENU\r\n[ENUPath]\r\nNum=3\r\n" +
                          Item(1, "first", -1) +
                          "Path2=C:\\sysprep\\no-such-setup.exe /s\r\nTime2=3\r\n" +
                          Item(3, "last", 0));
    EXPECT_EQ(prefix.RunInstallseq().exitCode, 0);
    const std::vector<LogEvent> log = prefix.Log();
    EXPECT_EQ(StartedLabels(log), (std::vector<std::string>{"first", "last"}));
    const double gap = MsBetween(Find(log, "installer-end", "first"), Find(log, "launcher-start", "last"));
    EXPECT_GE(gap, 3000.0);
    EXPECT_LT(gap, 5000.0);
    ExpectBothImports(prefix);
}

// The whole Path is the command line: a quoted program path with spaces starts
// that program, with the arguments that follow.
TEST(InstallRun, AQuotedProgramPathWithSpacesStartsThatProgramWithItsArguments) {
    WinePrefix prefix;
    const std::string tools = "sysprep/My Tools";
    prefix.PrepareSysprep("[OS_Language_Tag]\r\n0409=ENU\r\n[ENUPath]\r\nNum=1\r\n"
                          "Path1=\"C:\\sysprep\\My Tools\\setup copy.exe\" C:\\sysprep\\log.txt "
                          "spaced \"Setup spaced\" 0 1500\r\nTitle1=setup spaced\r\nTime1=0\r\n");
    ASSERT_EQ(system(("mkdir -p '" + prefix.HostPath(tools) + "'").c_str()), 0);
    prefix.CopyHelper("fake_installer.exe", tools + "/setup copy.exe");
    EXPECT_EQ(prefix.RunInstallseq().exitCode, 0);
    const std::vector<LogEvent> log = prefix.Log();
    EXPECT_EQ(StartedLabels(log), (std::vector<std::string>{"spaced"}));
    const std::string commandLine = Find(log, "launcher-start", "spaced").detail;
    EXPECT_NE(commandLine.find("My Tools\\setup copy.exe"), std::string::npos) << commandLine;
    EXPECT_NE(commandLine.find(" C:\\sysprep\\log.txt spaced \"Setup spaced\" 0 1500"),
              std::string::npos)
        << commandLine;
    EXPECT_EQ(Find(log, "installer-start", "spaced").detail, "Setup spaced");
}

}  // namespace
