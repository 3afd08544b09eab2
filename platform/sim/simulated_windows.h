// A simulated Windows for host tests: registry values, files by path, scripted
// programs and processes, top-level windows in Z order, a handle table that
// counts every open and close, a virtual clock and a log of every call.
//
// Time is virtual: Sleep and waits advance the clock at once, so a minute of
// polling runs in microseconds. Every service can be made to fail on its Nth
// call, once or from then on.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/windows_services.h"

namespace sim {

using Millis = std::uint64_t;
constexpr Millis Forever = ~Millis(0);

// A top-level window a process shows, in times relative to the process's start.
struct WindowScript {
    std::string className;
    std::string title;
    Millis shownAfter = 0;
    Millis goneAfter = Forever;
};

// One process: how long it lives and which windows it shows.
struct ProcessScript {
    Millis runsFor = 0;  // Forever: never ends
    std::vector<WindowScript> windows;
};

// What starting a command line does.
struct ProgramScript {
    bool startFails = false;
    ProcessScript process;
    // A detached process the program leaves behind, such as a real installer
    // that goes on after its launcher has ended.
    bool leavesInstaller = false;
    Millis installerStartsAfter = 0;
    ProcessScript installer;
};

struct Call {
    Millis at;
    std::string name;  // the service, e.g. "Sleep"
    std::string args;  // its arguments as text, e.g. "500"
};

enum class FailMode { Once, FromThenOn };

struct Process {
    DWORD id;
    Millis startedAt;
    Millis endsAt;
    int openHandles;
};

struct Window {
    HWND handle;
    std::string className;
    std::string title;
    DWORD ownerId;
    Millis shownAt;
    Millis goneAt;
    std::uint64_t raisedOrder;  // higher is nearer the top of the Z order
};

// Brings the simulation back to an empty machine at time 0.
void Reset();

Millis Now();

// Registry: values by key path below a root such as "HKEY_USERS", with type.
void SetRegistryValue(const std::string& keyPath, const std::string& name, DWORD type,
                      const std::string& bytes);
// A REG_SZ value, stored with its terminator.
void SetRegistryString(const std::string& keyPath, const std::string& name,
                       const std::string& text);
void AddRegistryKey(const std::string& keyPath);

void SetFile(const std::string& path, const std::string& content);

// Programs by the exact command line that starts them; any other command line
// fails to start, as a name that is no program does.
void SetProgram(const std::string& commandLine, const ProgramScript& script);

// A process already running (for windows that are up before the run).
DWORD AddProcess(Millis runsFor);
// A top-level window placed on top of the Z order now.
HWND AddWindow(const std::string& className, const std::string& title, DWORD ownerId,
               Millis goneAfter = Forever);

// The service named fails on its nth call from now on (1 = the next call).
void FailCall(const std::string& service, int nth, FailMode mode);

// The window named in the service's nth call from now (1 = the next call)
// closes just as that call is made: it was there when the window walk reached
// it and is gone when it is asked about. For GetClassNameA, GetWindowTextA and
// GetWindowThreadProcessId.
void CloseWindowAtCall(const std::string& service, int nth);

// Whether a simulated service is running right now. The simulation allocates
// for its own bookkeeping (the call log, its tables) inside every service; a
// test that counts the heap allocations of the code under test leaves out
// those made while this is true.
bool InService();

const std::vector<Call>& Calls();
std::vector<Call> CallsTo(const std::string& service);
// The names of the calls in order, leaving out those in `ignored`.
std::vector<std::string> CallNames(const std::vector<std::string>& ignored = {});

int OpenHandleCount();
int HandlesOpened();
// CloseHandle or RegCloseKey on a handle that is not open.
int BadCloses();

const std::vector<Process>& Processes();

// A guard against a test that would wait forever: past this virtual time any
// wait or sleep aborts the test program with a message.
void SetClockLimit(Millis limit);

}  // namespace sim
