// Common ground for host tests: a fresh simulated machine per test, and the
// call log rendered as short lines that a test can compare as a whole.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/simulated_windows.h"

inline const char InternationalKey[] = "HKEY_USERS\\.Default\\Control Panel\\International";
inline const char ListFile[] = "C:\\sysprep\\path.ini";

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }

    // Every test leaves the machine as it found it: each handle opened was
    // closed once.
    void TearDown() override {
        EXPECT_EQ(sim::OpenHandleCount(), 0) << "handles left open";
        EXPECT_EQ(sim::BadCloses(), 0) << "handles closed that were not open";
    }

    static void SetLocale(const std::string& value) {
        sim::SetRegistryString(InternationalKey, "Locale", value);
    }
};

// The calls made, as "Name(args)" lines, leaving out the services named, with
// a run of identical lines written once with its count: "Sleep(500) x120".
inline std::vector<std::string> CallLines(const std::vector<std::string>& ignored) {
    std::vector<std::string> lines;
    std::string previous;
    int repeats = 0;
    auto flush = [&] {
        if (repeats == 0) return;
        lines.push_back(repeats == 1 ? previous : previous + " x" + std::to_string(repeats));
    };
    for (const sim::Call& call : sim::Calls()) {
        bool skip = false;
        for (const std::string& name : ignored) skip = skip || call.name == name;
        if (skip) continue;
        const std::string line = call.name + "(" + call.args + ")";
        if (line == previous) {
            ++repeats;
            continue;
        }
        flush();
        previous = line;
        repeats = 1;
    }
    flush();
    return lines;
}

// The services a window search calls, for tests that look past the searching.
inline const std::vector<std::string> WindowWalk = {"GetDesktopWindow", "GetWindow",
                                                    "GetClassNameA", "GetWindowTextA"};
