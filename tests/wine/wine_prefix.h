// End-to-end tests run the real Windows executables under Wine, each test in a
// throwaway prefix of its own, and look only at what a person could observe:
// what ran and when (the helpers' logs), the registry, the exit code.
#pragma once

#include <string>
#include <vector>

// A variable CTest sets for the end-to-end tests; fails the test when absent.
std::string Env(const char* name);

// Where the build under test and its helpers are; set by CTest.
struct E2EBuild {
    std::string installseq;  // the installseq.exe under test
    std::string helpers;     // folder of the helper programs of the same build
    std::string templatePrefix;
    static const E2EBuild& Get();
};

// One line of a helper's log: "<microseconds> <event> <label> <detail>".
struct LogEvent {
    long long us;
    std::string event;
    std::string label;
    std::string detail;
};

class WinePrefix {
public:
    WinePrefix();   // a fresh copy of the template prefix
    ~WinePrefix();  // ends every process of the prefix and removes it
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    // The host path of a path below C:\, written with forward slashes.
    std::string HostPath(const std::string& belowDriveC) const;
    void WriteFile(const std::string& belowDriveC, const std::string& content) const;
    std::string ReadFile(const std::string& belowDriveC) const;
    // Copies a helper program of the build into the prefix.
    void CopyHelper(const std::string& helper, const std::string& belowDriveC) const;

    // Runs `wine args...` with a time limit; returns the exit code (124 or
    // 137 when the limit was hit). Output goes to *output when given.
    int Wine(const std::vector<std::string>& args, int timeoutSeconds,
             std::string* output = nullptr) const;
    // Waits until every process of the prefix has ended.
    void WaitForAll() const;

    void SetLocale(const std::string& value) const;
    // A registry value's data as `reg query` shows it, or "" when absent.
    std::string QueryValue(const std::string& key, const std::string& name) const;

    // The test's sysprep folder with the two registry files that mark their
    // import, the helpers, and the install list given.
    void PrepareSysprep(const std::string& pathIni) const;
    // The events in C:\sysprep\log.txt, in the order written.
    std::vector<LogEvent> Log() const;

    // Runs the installseq.exe under test, timing the run. The default limit
    // fails a run that took a minute-long give-up it should not have.
    struct RunResult {
        int exitCode;
        double seconds;
    };
    RunResult RunInstallseq(int timeoutSeconds = 45) const;

private:
    std::string root_;    // the test's temporary folder
    std::string prefix_;  // WINEPREFIX
};

// The log path items write to, as the items see it.
inline const char ItemLog[] = "C:\\sysprep\\log.txt";

// A command line that runs the marker helper: logs start, runs ms, logs end.
std::string MarkerItem(const std::string& label, int runMs = 0, int exitCode = 0);
// A command line that runs the fake installer launcher.
std::string FakeInstallerItem(const std::string& label, const std::string& title, int showAfterMs,
                              int lifeMs);

// The first event with this event name and label; fails the test when absent.
const LogEvent& Find(const std::vector<LogEvent>& log, const std::string& event,
                     const std::string& label);
// Labels of the "start" events in order.
std::vector<std::string> StartedLabels(const std::vector<LogEvent>& log);
