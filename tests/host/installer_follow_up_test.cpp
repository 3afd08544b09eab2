#include "sequence/install_sequence.h"
#include "sim_fixture.h"
#include "tracking/installer_follow_up.h"

namespace {

const char Installer[] = "InstallShield_Win";

class FollowUpTest : public SimTest {
protected:
    // The virtual times of the searches made (each starts with GetDesktopWindow).
    static std::vector<sim::Millis> SearchTimes() {
        std::vector<sim::Millis> times;
        for (const sim::Call& call : sim::CallsTo("GetDesktopWindow")) times.push_back(call.at);
        return times;
    }
    // An installer process that ends `runsFor` ms from now, with its window.
    static DWORD InstallerWithWindow(const std::string& title, sim::Millis runsFor) {
        const DWORD id = sim::AddProcess(runsFor);
        sim::AddWindow(Installer, title, id, runsFor);
        return id;
    }
};

TEST_F(FollowUpTest, AWindowAlreadyUpIsFoundBy500MsAndItsProcessFollowedToItsEnd) {
    const DWORD id = InstallerWithWindow("Acme Setup", 10250);
    FollowInstaller("acme");
    EXPECT_EQ(SearchTimes(), (std::vector<sim::Millis>{500}));
    // It ends 10.25 s in: the follow-up returns then, not at the next whole second.
    EXPECT_EQ(sim::Now(), 10250u);
    EXPECT_EQ(CallLines(WindowWalk), (std::vector<std::string>{
                                         "Sleep(500)",
                                         "GetWindowThreadProcessId()",
                                         "OpenProcess(access=1048576 inherit=1 id=" +
                                             std::to_string(id) + ")",
                                         "WaitForSingleObject(1000) x10",
                                         "CloseHandle()",
                                     }));
}

TEST_F(FollowUpTest, AWindowThatTurnsUpLaterIsFoundByTheNextSearch) {
    sim::ProgramScript launcher;
    launcher.process.runsFor = 200;
    launcher.leavesInstaller = true;
    launcher.installerStartsAfter = 100;
    launcher.installer.runsFor = 20000;
    launcher.installer.windows = {{Installer, "Late Setup", 3000, sim::Forever}};
    sim::SetProgram("launcher.exe", launcher);
    char path[] = "launcher.exe";
    RunItem(path, "late setup");
    // The launcher ends at 200 ms; the window shows at 3.1 s; polls run at
    // 700, 1200, ... and the sixth, at 3.2 s, finds it.
    const std::vector<sim::Millis> searches = SearchTimes();
    ASSERT_EQ(searches.size(), 6u);
    EXPECT_EQ(searches.front(), 700u);
    EXPECT_EQ(searches.back(), 3200u);
    EXPECT_EQ(sim::Now(), 100u + 20000u);
}

// Cases that find nothing to follow search 120 times, half a second apart,
// and give up a minute after they began.
TEST_F(FollowUpTest, WithoutAMatchingWindowTheSearchGivesUpAfter120Polls) {
    struct Case {
        const char* name;
        const char* windowClass;
        const char* windowTitle;
        const char* fragment;
    };
    const Case cases[] = {
        {"no window at all", nullptr, nullptr, "setup"},
        {"fragment with an upper-case letter", Installer, "acme setup", "Setup"},
        {"matching title, other class", "#32770", "acme setup", "setup"},
        {"right class, other title", Installer, "other product", "setup"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Reset();
        if (c.windowClass) sim::AddWindow(c.windowClass, c.windowTitle, sim::AddProcess(sim::Forever));
        FollowInstaller(c.fragment);
        const std::vector<sim::Millis> searches = SearchTimes();
        ASSERT_EQ(searches.size(), 120u);
        EXPECT_EQ(searches.front(), 500u);
        EXPECT_EQ(searches.back(), 60000u);
        EXPECT_EQ(sim::Now(), 60000u);
        EXPECT_TRUE(sim::CallsTo("OpenProcess").empty());
    }
}

// A found window whose owner cannot be known or opened ends the follow-up at
// once: no wait, and no second search.
TEST_F(FollowUpTest, AWindowThatCannotBeFollowedEndsTheFollowUp) {
    struct Case {
        const char* name;
        bool ownerIdZero;
        const char* failing;  // service made to fail, if any
        size_t opens;
    };
    const Case cases[] = {
        {"owner id 0", true, nullptr, 0},
        {"owner id not given", false, "GetWindowThreadProcessId", 0},
        {"process cannot be opened", false, "OpenProcess", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Reset();
        sim::AddWindow(Installer, "setup", c.ownerIdZero ? 0 : sim::AddProcess(sim::Forever));
        if (c.failing) sim::FailCall(c.failing, 1, sim::FailMode::FromThenOn);
        FollowInstaller("setup");
        EXPECT_EQ(SearchTimes().size(), 1u);
        EXPECT_EQ(sim::CallsTo("OpenProcess").size(), c.opens);
        EXPECT_TRUE(sim::CallsTo("WaitForSingleObject").empty());
        EXPECT_EQ(sim::Now(), 500u);
    }
}

// A wait that fails outright would fail again at once: the follow-up stops
// waiting, closes the handle and ends, instead of spinning.
TEST_F(FollowUpTest, AFailedWaitEndsTheFollowUp) {
    InstallerWithWindow("setup", sim::Forever);
    sim::FailCall("WaitForSingleObject", 3, sim::FailMode::FromThenOn);
    FollowInstaller("setup");
    EXPECT_EQ(CallLines(WindowWalk), (std::vector<std::string>{
                                         "Sleep(500)",
                                         "GetWindowThreadProcessId()",
                                         "OpenProcess(access=1048576 inherit=1 id=1000)",
                                         "WaitForSingleObject(1000) x3",
                                         "CloseHandle()",
                                     }));
    EXPECT_EQ(sim::Now(), 500u + 2000u);
}

// Only one window is followed per item: one that turns up after the first
// installer has ended is not looked for.
TEST_F(FollowUpTest, AtMostOneWindowIsFollowed) {
    sim::ProgramScript launcher;
    launcher.process.runsFor = 0;
    launcher.leavesInstaller = true;
    launcher.installer.runsFor = 5000;
    launcher.installer.windows = {{Installer, "setup part 1", 0, 5000},
                                  {Installer, "setup part 2", 6000, sim::Forever}};
    sim::SetProgram("launcher.exe", launcher);
    char path[] = "launcher.exe";
    RunItem(path, "setup");
    EXPECT_EQ(SearchTimes().size(), 1u);
    EXPECT_EQ(sim::Now(), 5000u);
}

TEST_F(FollowUpTest, TheNextItemStartsAfterTheInstallerAndThePause) {
    sim::ProgramScript launcher;
    launcher.process.runsFor = 1000;
    launcher.leavesInstaller = true;
    launcher.installer.runsFor = 30000;
    launcher.installer.windows = {{Installer, "Acme Setup", 0, sim::Forever}};
    sim::SetProgram("launcher.exe", launcher);
    sim::SetProgram("next.exe", sim::ProgramScript{});
    sim::SetFile(ListFile,
                 "[OS_Language_Tag]\n0409=ENU\n[ENUPath]\nNum=2\nPath1=launcher.exe\n"
                 "Title1=acme\nTime1=2\nPath2=next.exe\nTime2=-1\n");
    RunInstallSequence(nullptr, nullptr, nullptr, 0);
    const std::vector<sim::Call> launches = sim::CallsTo("CreateProcessA");
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[1].at, 30000u + 2000u);
}

}  // namespace
