#include <string>

#include "config/install_list.h"
#include "sequence/install_sequence.h"
#include "sim_fixture.h"

namespace {

const std::string SysHide = "WinExec(\"regedit /s c:\\sysprep\\sys_hide.reg\" 0)";
const std::string RunOnce = "WinExec(\"regedit /s c:\\sysprep\\arunonce.reg\" 0)";

std::string Launch(const std::string& commandLine) {
    return "CreateProcessA(app=null cmd=\"" + commandLine +
           "\" psa=null tsa=null inherit=0 flags=0 env=null dir=null startup=size-only)";
}

// The follow-up when no installer window ever turns up: 120 half-second polls.
const std::string NoInstallerFound = "Sleep(500) x120";

class InstallSequenceTest : public SimTest {
protected:
    static int Run(const std::string& list) {
        sim::SetFile(ListFile, list);
        SetLocale("00000409");
        return RunInstallSequence(nullptr, nullptr, nullptr, 0);
    }
    // What the run asked of the system, leaving out the reading of the list
    // and the walks over the windows.
    static std::vector<std::string> Sequence() {
        std::vector<std::string> ignored = WindowWalk;
        for (const char* name : {"GetPrivateProfileStringA", "GetPrivateProfileIntA",
                                 "RegOpenKeyExA", "RegQueryValueExA", "RegCloseKey"}) {
            ignored.push_back(name);
        }
        return CallLines(ignored);
    }
    static sim::ProgramScript RunsFor(sim::Millis ms) {
        sim::ProgramScript script;
        script.process.runsFor = ms;
        return script;
    }
};

std::string List(const std::string& items, int num) {
    return "[OS_Language_Tag]\n0409=ENU\n[ENUPath]\nNum=" + std::to_string(num) + "\n" + items;
}

TEST_F(InstallSequenceTest, OneRunInOrder) {
    sim::SetProgram("a.exe", RunsFor(3000));
    sim::SetProgram("\"C:\\Program Files\\b\\setup.exe\" /quiet", RunsFor(100));
    const int exitCode = Run(List(
        "Path1=a.exe\nTime1=2\nPath2=\"C:\\Program Files\\b\\setup.exe\" /quiet\nTime2=3\n", 2));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(Sequence(), (std::vector<std::string>{
                              SysHide,
                              Launch("a.exe"),
                              "WaitForSingleObject(INFINITE)",
                              "CloseHandle() x2",
                              NoInstallerFound,
                              "Sleep(2000)",
                              Launch("\"C:\\Program Files\\b\\setup.exe\" /quiet"),
                              "WaitForSingleObject(INFINITE)",
                              "CloseHandle() x2",
                              NoInstallerFound,
                              "Sleep(3000)",
                              RunOnce,
                          }));
    // 3 s of the first item, two minutes of searching, the pauses and the second item.
    EXPECT_EQ(sim::Now(), 3000u + 60000u + 2000u + 100u + 60000u + 3000u);
    EXPECT_EQ(sim::HandlesOpened(), 1 + 2 + 2);  // registry key, two items' handles
}

TEST_F(InstallSequenceTest, WithoutAListBothImportsRunAndNothingElse) {
    EXPECT_EQ(RunInstallSequence(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(Sequence(), (std::vector<std::string>{SysHide, RunOnce}));
}

TEST_F(InstallSequenceTest, EmptyListsStillImportBoth) {
    for (const char* num : {"0", "-1"}) {
        SCOPED_TRACE(num);
        sim::Reset();
        Run("[OS_Language_Tag]\n0409=ENU\n[ENUPath]\nNum=" + std::string(num) + "\nPath1=a.exe\n");
        EXPECT_EQ(Sequence(), (std::vector<std::string>{SysHide, RunOnce}));
    }
}

// A command that cannot be started gets neither a wait nor a follow-up, but its
// pause is taken; a missing Path is such a command.
TEST_F(InstallSequenceTest, AnItemThatCannotStartStillPauses) {
    sim::SetProgram("next.exe", RunsFor(0));
    sim::ProgramScript broken;
    broken.startFails = true;
    sim::SetProgram("broken.exe", broken);
    Run(List("Path1=broken.exe\nTime1=4\nTime2=1\nPath3=next.exe\nTime3=-1\n", 3));
    EXPECT_EQ(Sequence(), (std::vector<std::string>{
                              SysHide,
                              Launch("broken.exe"),
                              "Sleep(4000)",
                              Launch(""),
                              "Sleep(1000)",
                              Launch("next.exe"),
                              "WaitForSingleObject(INFINITE)",
                              "CloseHandle() x2",
                              NoInstallerFound,
                              RunOnce,
                          }));
}

// A negative Time is no pause at all; 0 is a zero-length sleep.
TEST_F(InstallSequenceTest, NegativeAndZeroPauses) {
    sim::SetProgram("a.exe", RunsFor(10));
    sim::SetProgram("b.exe", RunsFor(10));
    Run(List("Path1=a.exe\nTime1=-1\nPath2=b.exe\nTime2=0\n", 2));
    EXPECT_EQ(Sequence(), (std::vector<std::string>{
                              SysHide,
                              Launch("a.exe"),
                              "WaitForSingleObject(INFINITE)",
                              "CloseHandle() x2",
                              NoInstallerFound,
                              Launch("b.exe"),
                              "WaitForSingleObject(INFINITE)",
                              "CloseHandle() x2",
                              NoInstallerFound,
                              "Sleep(0)",
                              RunOnce,
                          }));
}

// The whole pause is slept, however long: never a product wrapped to a shorter
// sleep, never INFINITE.
TEST_F(InstallSequenceTest, LongPausesAreSleptInFull) {
    struct Case {
        std::int32_t seconds;
        size_t sleeps;
    };
    for (Case c : {Case{4294967, 1}, Case{4294968, 50}, Case{2147483647, 24856}}) {
        SCOPED_TRACE(c.seconds);
        sim::Reset();
        const sim::Millis before = sim::Now();
        PauseAfterItem(c.seconds);
        EXPECT_EQ(sim::Now() - before, sim::Millis(c.seconds) * 1000u);
        const std::vector<sim::Call> sleeps = sim::CallsTo("Sleep");
        EXPECT_EQ(sleeps.size(), c.sleeps);
        for (const sim::Call& sleep : sleeps) ASSERT_NE(sleep.args, std::to_string(INFINITE));
    }
}

// The item's own process is waited for without a limit, however long it runs.
TEST_F(InstallSequenceTest, TheItemsProcessIsWaitedForToItsEnd) {
    sim::SetProgram("long.exe", RunsFor(5u * 3600u * 1000u));
    Run(List("Path1=long.exe\nTime1=-1\n", 1));
    const sim::Call launch = sim::CallsTo("CreateProcessA").at(0);
    const sim::Call firstSearchSleep = sim::CallsTo("Sleep").at(0);
    EXPECT_EQ(firstSearchSleep.at - launch.at, 5u * 3600u * 1000u);
}

TEST_F(InstallSequenceTest, TheSecondImportComesAfterTheLastPause) {
    sim::SetProgram("a.exe", RunsFor(0));
    Run(List("Path1=a.exe\nTime1=7\n", 1));
    const std::vector<sim::Call> imports = sim::CallsTo("WinExec");
    ASSERT_EQ(imports.size(), 2u);
    EXPECT_EQ(imports[0].at, 0u);
    EXPECT_EQ(imports[1].at, 60000u + 7000u);
}

// Failing imports go unnoticed and change nothing else.
TEST_F(InstallSequenceTest, ImportsThatFailToStartAreNotNoticed) {
    sim::SetProgram("a.exe", RunsFor(0));
    sim::FailCall("WinExec", 1, sim::FailMode::FromThenOn);
    EXPECT_EQ(Run(List("Path1=a.exe\nTime1=1\n", 1)), 0);
    EXPECT_EQ(sim::CallsTo("WinExec").size(), 2u);
    EXPECT_EQ(sim::CallsTo("CreateProcessA").size(), 1u);
}

}  // namespace
