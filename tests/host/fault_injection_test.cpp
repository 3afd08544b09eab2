// Whole runs on the simulated Windows with one service failing: every service
// that can fail, at every call it gets in the run, once and from then on; and
// a window that closes between the walk reaching it and the query about it.
// Whatever fails, the run ends with 0, starts both imports, tries the items in
// order, closes every handle it opened exactly once, ends in bounded time and
// allocates nothing on the heap.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "config/install_list.h"
#include "heap_counter.h"
#include "sequence/install_sequence.h"
#include "sim_fixture.h"
#include "tracking/installer_follow_up.h"

namespace {

const char SysHideLine[] = "\"regedit /s c:\\sysprep\\sys_hide.reg\" 0";
const char RunOnceLine[] = "\"regedit /s c:\\sysprep\\arunonce.reg\" 0";

// German machine. g1 is a launcher whose installer shows "Setup One" and runs
// 5 s; g2's installer shows "Setup Two" only 2 s after its launcher has ended;
// g3 names no program. Below them in the Z order: a window of another class
// and an installer window whose title matches no item, both of a process that
// ends after 20 s (an empty Title, the default of a failed read, matches that
// installer window and waits for its process, which must end for the run to).
const char List[] =
    "[OS_Language_Tag]\n0409=ENU\n0407=GER\n"
    "[ENUPath]\nNum=1\nPath1=e1.exe\nTitle1=setup e\nTime1=0\n"
    "[GERPath]\nNum=3\n"
    "Path1=g1.exe\nTitle1=setup one\nTime1=1\n"
    "Path2=g2.exe /quiet\nTitle2=setup two\nTime2=0\n"
    "Path3=C:\\setup\\missing.exe\nTitle3=setup three\nTime3=2\n";
const std::vector<std::string> German = {"g1.exe", "g2.exe /quiet", "C:\\setup\\missing.exe"};
const std::vector<std::string> English = {"e1.exe"};

sim::ProgramScript Launcher(sim::Millis runsFor, const char* title, sim::Millis installerStartsAfter,
                            sim::Millis showAfter, sim::Millis installerRunsFor) {
    sim::ProgramScript script;
    script.process.runsFor = runsFor;
    script.leavesInstaller = true;
    script.installerStartsAfter = installerStartsAfter;
    script.installer.runsFor = installerRunsFor;
    script.installer.windows.push_back({"InstallShield_Win", title, showAfter, sim::Forever});
    return script;
}

void PrepareMachine() {
    sim::Reset();
    // A run that would wait forever aborts the test program instead.
    sim::SetClockLimit(15 * 60 * 1000);
    sim::SetRegistryString(InternationalKey, "Locale", "00000407");
    sim::SetFile(ListFile, List);
    sim::SetProgram("g1.exe", Launcher(200, "Setup One", 0, 100, 5000));
    sim::SetProgram("g2.exe /quiet", Launcher(300, "Acme Setup Two", 2300, 0, 3000));
    const DWORD other = sim::AddProcess(20000);
    sim::AddWindow("Notepad", "setup one - notepad", other);
    sim::AddWindow("InstallShield_Win", "Unrelated Setup", other);
}

struct RunOutcome {
    int exitCode;
    int allocations;
    std::vector<std::string> launches;  // CreateProcessA command lines, in order
};

RunOutcome RunWholeSequence() {
    heap_counter::Start();
    const int exitCode = RunInstallSequence(nullptr, nullptr, nullptr, 0);
    RunOutcome outcome{exitCode, heap_counter::Stop(), {}};
    for (const sim::Call& call : sim::CallsTo("CreateProcessA")) {
        const size_t from = call.args.find(" cmd=\"") + 6;
        outcome.launches.push_back(call.args.substr(from, call.args.find("\" psa=") - from));
    }
    return outcome;
}

// Index of the kth (1-based) call of service in the log, or -1.
int IndexOfCall(const std::string& service, int k) {
    const std::vector<sim::Call>& calls = sim::Calls();
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].name == service && --k == 0) return static_cast<int>(i);
    }
    return -1;
}

bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    size_t at = 0;
    for (const std::string& entry : part) {
        while (at < whole.size() && whole[at] != entry) ++at;
        if (at == whole.size()) return false;
        ++at;
    }
    return true;
}

// What every run must show, whatever failed.
void ExpectSoundRun(const RunOutcome& run) {
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.allocations, 0) << "heap allocations during the run";
    EXPECT_EQ(sim::OpenHandleCount(), 0) << "handles left open";
    EXPECT_EQ(sim::BadCloses(), 0) << "handles closed that were not open";
    // Both imports, the first before any item, the second after the last.
    const std::vector<sim::Call> imports = sim::CallsTo("WinExec");
    ASSERT_EQ(imports.size(), 2u);
    EXPECT_EQ(imports[0].args, SysHideLine);
    EXPECT_EQ(imports[1].args, RunOnceLine);
    if (!run.launches.empty()) {
        EXPECT_LT(IndexOfCall("WinExec", 1), IndexOfCall("CreateProcessA", 1));
    }
    const int lastLaunch = IndexOfCall("CreateProcessA", static_cast<int>(run.launches.size()));
    EXPECT_GT(IndexOfCall("WinExec", 2), lastLaunch);
    // Bounded: each item's follow-up searches at most a minute, and nothing else
    // here runs for long; a failing wait is never retried without end.
    EXPECT_LT(sim::Now(), 5u * 60 * 1000);
    EXPECT_LE(sim::CallsTo("WaitForSingleObject").size(), 40u);
}

struct ServiceFaults {
    const char* service;
    // Whether a failure of this service may cost items: the language (the
    // registry) or the list's own values (the profile reads).
    enum { NoItemLost, EnglishList, SomeValuesDefault } effect;
};

const ServiceFaults FailingServices[] = {
    {"RegOpenKeyExA", ServiceFaults::EnglishList},
    {"RegQueryValueExA", ServiceFaults::EnglishList},
    {"GetPrivateProfileStringA", ServiceFaults::SomeValuesDefault},
    {"GetPrivateProfileIntA", ServiceFaults::SomeValuesDefault},
    {"WinExec", ServiceFaults::NoItemLost},
    {"CreateProcessA", ServiceFaults::NoItemLost},
    {"WaitForSingleObject", ServiceFaults::NoItemLost},
    {"OpenProcess", ServiceFaults::NoItemLost},
    {"GetWindowThreadProcessId", ServiceFaults::NoItemLost},
    {"GetClassNameA", ServiceFaults::NoItemLost},
    {"GetWindowTextA", ServiceFaults::NoItemLost},
};

int CallsInAFaultFreeRun(const std::string& service) {
    PrepareMachine();
    RunWholeSequence();
    return static_cast<int>(sim::CallsTo(service).size());
}

class FaultInjectionTest : public SimTest {};

TEST_F(FaultInjectionTest, AFaultFreeRunFollowsEveryInstaller) {
    PrepareMachine();
    const RunOutcome run = RunWholeSequence();
    ExpectSoundRun(run);
    EXPECT_EQ(run.launches, German);
    EXPECT_EQ(sim::CallsTo("OpenProcess").size(), 2u);
    // g1's installer ends at 5 s, then 1 s of pause; g2's installer starts 2.3 s
    // after g2's launch and runs 3 s; g3 does not start and pauses 2 s.
    EXPECT_EQ(sim::Now(), 5000u + 1000u + 2300u + 3000u + 2000u);
}

// The sweep: each service, at each of its calls in a fault-free run and at one
// past them, failing once and from then on.
TEST_F(FaultInjectionTest, EveryServiceFailingAtEveryCallOnceAndFromThenOn) {
    int injected = 0;
    for (const ServiceFaults& faults : FailingServices) {
        const int calls = CallsInAFaultFreeRun(faults.service);
        ASSERT_GT(calls, 0) << faults.service << " is not called in the run";
        std::printf("%s: %d calls in the run, %d faults\n", faults.service, calls, 2 * (calls + 1));
        for (sim::FailMode mode : {sim::FailMode::Once, sim::FailMode::FromThenOn}) {
            for (int nth = 1; nth <= calls + 1; ++nth) {
                SCOPED_TRACE(std::string(faults.service) + " failing at call " + std::to_string(nth) +
                             (mode == sim::FailMode::Once ? " once" : " from then on"));
                PrepareMachine();
                sim::FailCall(faults.service, nth, mode);
                const RunOutcome run = RunWholeSequence();
                ++injected;
                ExpectSoundRun(run);
                switch (faults.effect) {
                case ServiceFaults::NoItemLost:
                    EXPECT_EQ(run.launches, German);
                    break;
                case ServiceFaults::EnglishList:
                    EXPECT_EQ(run.launches, nth <= calls ? English : German);
                    break;
                case ServiceFaults::SomeValuesDefault: {
                    // A Path read that fails gives the default (the blank, its
                    // trailing blank removed), which is tried and does not start;
                    // any other item is tried as written.
                    std::vector<std::string> tried;
                    for (const std::string& launch : run.launches) {
                        if (!launch.empty()) tried.push_back(launch);
                    }
                    EXPECT_TRUE(IsSubsequence(tried, German));
                    if (nth > calls) {
                        EXPECT_EQ(run.launches, German);
                    }
                    break;
                }
                }
                if (HasFailure()) return;
            }
        }
    }
    RecordProperty("faults_injected", injected);
    std::printf("faults injected: %d\n", injected);
}

// The window the walk reached closes before the query about it, at each query
// of each kind the run makes.
TEST_F(FaultInjectionTest, AWindowGoneBetweenTheWalkAndEveryQuery) {
    int injected = 0;
    for (const char* service : {"GetClassNameA", "GetWindowTextA", "GetWindowThreadProcessId"}) {
        const int calls = CallsInAFaultFreeRun(service);
        for (int nth = 1; nth <= calls; ++nth) {
            SCOPED_TRACE(std::string(service) + " call " + std::to_string(nth));
            PrepareMachine();
            sim::CloseWindowAtCall(service, nth);
            const RunOutcome run = RunWholeSequence();
            ++injected;
            ExpectSoundRun(run);
            EXPECT_EQ(run.launches, German);
            if (HasFailure()) return;
        }
    }
    std::printf("windows closed between walk and query: %d\n", injected);
}

// What the run does after particular faults, as the design has it.
TEST_F(FaultInjectionTest, WhatFollowsParticularFaults) {
    struct Case {
        const char* name;
        std::function<void()> inject;
        std::function<void(const RunOutcome&)> expect;
    };
    auto callIndex = IndexOfCall;
    const Case cases[] = {
        {"registry key cannot be opened: English, nothing to close",
         [] { sim::FailCall("RegOpenKeyExA", 1, sim::FailMode::Once); },
         [](const RunOutcome& run) {
             EXPECT_EQ(run.launches, English);
             EXPECT_TRUE(sim::CallsTo("RegQueryValueExA").empty());
             EXPECT_TRUE(sim::CallsTo("RegCloseKey").empty());
         }},
        {"Locale cannot be read: English, the key is still closed",
         [] { sim::FailCall("RegQueryValueExA", 1, sim::FailMode::Once); },
         [](const RunOutcome& run) {
             EXPECT_EQ(run.launches, English);
             EXPECT_EQ(sim::CallsTo("RegCloseKey").size(), 1u);
         }},
        {"tag cannot be read: no list, only the imports",
         [] { sim::FailCall("GetPrivateProfileStringA", 1, sim::FailMode::Once); },
         [](const RunOutcome& run) { EXPECT_TRUE(run.launches.empty()); }},
        {"Num cannot be read: no list",
         [] { sim::FailCall("GetPrivateProfileIntA", 1, sim::FailMode::Once); },
         [](const RunOutcome& run) { EXPECT_TRUE(run.launches.empty()); }},
        {"Path1 cannot be read: item 1 does not start, its pause stays, the rest run",
         [] { sim::FailCall("GetPrivateProfileStringA", 2, sim::FailMode::Once); },
         [callIndex](const RunOutcome& run) {
             EXPECT_EQ(run.launches, (std::vector<std::string>{"", German[1], German[2]}));
             EXPECT_EQ(sim::Calls()[callIndex("CreateProcessA", 1) + 1].name, "Sleep");
             EXPECT_EQ(sim::Calls()[callIndex("CreateProcessA", 1) + 1].args, "1000");
         }},
        {"Time1 cannot be read: no pause of 1 s but one of 0",
         [] { sim::FailCall("GetPrivateProfileIntA", 2, sim::FailMode::Once); },
         [](const RunOutcome& run) {
             EXPECT_EQ(run.launches, German);
             for (const sim::Call& call : sim::CallsTo("Sleep")) EXPECT_NE(call.args, "1000");
         }},
        {"g1 cannot start: no wait, no follow-up, its pause, then g2",
         [] { sim::FailCall("CreateProcessA", 1, sim::FailMode::Once); },
         [callIndex](const RunOutcome& run) {
             EXPECT_EQ(run.launches, German);
             EXPECT_EQ(sim::Calls()[callIndex("CreateProcessA", 1) + 1].args, "1000");
             EXPECT_EQ(sim::CallsTo("OpenProcess").size(), 1u);  // g2's installer only
         }},
        {"the wait without a time limit fails: handles closed, the installer still followed",
         [] { sim::FailCall("WaitForSingleObject", 1, sim::FailMode::Once); },
         [](const RunOutcome& run) {
             EXPECT_EQ(run.launches, German);
             EXPECT_EQ(sim::CallsTo("OpenProcess").size(), 2u);
             EXPECT_EQ(sim::CallsTo("CloseHandle").size(), 6u);
         }},
        {"every wait with a time limit fails: each is tried once, never again",
         [] {
             // Call 1 is g1's own process; from call 2 on, the installers'.
             sim::FailCall("WaitForSingleObject", 2, sim::FailMode::FromThenOn);
         },
         [](const RunOutcome&) {
             int sliced = 0;
             for (const sim::Call& call : sim::CallsTo("WaitForSingleObject")) {
                 sliced += call.args != "INFINITE";
             }
             EXPECT_EQ(sliced, 2);  // one per installer followed
         }},
        {"the installer cannot be opened: no wait, no second search, the pause",
         [] { sim::FailCall("OpenProcess", 1, sim::FailMode::Once); },
         [callIndex](const RunOutcome& run) {
             EXPECT_EQ(run.launches, German);
             EXPECT_EQ(sim::Calls()[callIndex("OpenProcess", 1) + 1].name, "Sleep");
             EXPECT_EQ(sim::Calls()[callIndex("OpenProcess", 1) + 1].args, "1000");
         }},
        {"the window's owner reads as 0: the follow-up ends at once",
         [] { sim::FailCall("GetWindowThreadProcessId", 1, sim::FailMode::Once); },
         [callIndex](const RunOutcome&) {
             EXPECT_EQ(sim::CallsTo("OpenProcess").size(), 1u);
             EXPECT_EQ(sim::Calls()[callIndex("GetWindowThreadProcessId", 1) + 1].args, "1000");
         }},
        {"no class name can be read: no installer found, a minute for each started item",
         [] { sim::FailCall("GetClassNameA", 1, sim::FailMode::FromThenOn); },
         [](const RunOutcome& run) {
             EXPECT_EQ(run.launches, German);
             EXPECT_TRUE(sim::CallsTo("GetWindowTextA").empty());
             EXPECT_EQ(sim::CallsTo("Sleep").size(), 2u * FollowUpMaxPolls + 3u);
         }},
        {"no title can be read: it reads as empty and matches no item's Title",
         [] { sim::FailCall("GetWindowTextA", 1, sim::FailMode::FromThenOn); },
         [](const RunOutcome&) {
             EXPECT_TRUE(sim::CallsTo("OpenProcess").empty());
             EXPECT_EQ(sim::CallsTo("Sleep").size(), 2u * FollowUpMaxPolls + 3u);
         }},
        {"neither import starts: unnoticed, every item runs",
         [] { sim::FailCall("WinExec", 1, sim::FailMode::FromThenOn); },
         [](const RunOutcome& run) {
             EXPECT_EQ(run.launches, German);
             EXPECT_EQ(sim::CallsTo("OpenProcess").size(), 2u);
         }},
        {"g1's window closes as its owner is asked: the follow-up ends at once",
         [] { sim::CloseWindowAtCall("GetWindowThreadProcessId", 1); },
         [](const RunOutcome&) { EXPECT_EQ(sim::CallsTo("OpenProcess").size(), 1u); }},
        {"g1's window closes as its title is read: searched for a minute, not found",
         [] { sim::CloseWindowAtCall("GetWindowTextA", 1); },
         [](const RunOutcome&) {
             EXPECT_EQ(sim::CallsTo("OpenProcess").size(), 1u);
             EXPECT_GT(sim::CallsTo("Sleep").size(), FollowUpMaxPolls + 3u);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PrepareMachine();
        c.inject();
        const RunOutcome run = RunWholeSequence();
        ExpectSoundRun(run);
        c.expect(run);
    }
}

int* volatile escaped = nullptr;

// The heap count is live: it sees an allocation made outside the simulation,
// and leaves out the simulation's own.
TEST_F(FaultInjectionTest, TheHeapCountSeesAllocationsOutsideTheSimulationOnly) {
    heap_counter::Start();
    Sleep(10);  // logs a call: allocates inside the service
    EXPECT_EQ(heap_counter::Stop(), 0);
    heap_counter::Start();
    escaped = new int(7);  // kept where the compiler cannot drop the allocation
    EXPECT_EQ(heap_counter::Stop(), 1);
    delete escaped;
}

}  // namespace
