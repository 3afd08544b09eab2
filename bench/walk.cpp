// The least a window search can cost: walks the top-level windows making only
// the calls a search has to make (one class read per window, one title read per
// window of the installer class) and times each walk.
//   walk.exe OUTFILE POLLS SLEEP_MS
// sleeps SLEEP_MS before each of POLLS walks, as a search loop does, and writes
//   "windows installer_class_windows walk_median_us walk_min_us walk_max_us per_poll_us"
// where per_poll_us is the time of the whole loop per walk, minus SLEEP_MS.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/helpers/helper_log.h"

namespace {

const char InstallerClass[] = "InstallShield_Win";

bool IsInstallerClass(const char* name) {
    const char* expected = InstallerClass;
    while (*name != '\0' && *name == *expected) {
        ++name;
        ++expected;
    }
    return *name == *expected;
}

// One pass from the top of the Z order; returns the windows seen.
int Walk(int* installerClassWindows) {
    char windowClass[128];
    char title[128];
    int windows = 0;
    *installerClassWindows = 0;
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
        ++windows;
        windowClass[0] = '\0';
        GetClassNameA(window, windowClass, sizeof windowClass);
        if (!IsInstallerClass(windowClass)) continue;
        ++*installerClassWindows;
        title[0] = '\0';
        GetWindowTextA(window, title, sizeof title);
    }
    return windows;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 4) return 2;
    const int polls = std::max(1, std::atoi(__argv[2]));
    const DWORD sleepMs = std::strtoul(__argv[3], nullptr, 10);
    long long* walkUs = new long long[polls];
    int windows = 0, installerClassWindows = 0;
    const long long loopStart = MicrosecondsNow();
    for (int i = 0; i < polls; ++i) {
        Sleep(sleepMs);
        const long long start = MicrosecondsNow();
        windows = Walk(&installerClassWindows);
        walkUs[i] = MicrosecondsNow() - start;
    }
    const long long loopUs = MicrosecondsNow() - loopStart;
    std::sort(walkUs, walkUs + polls);
    FILE* out = std::fopen(__argv[1], "w");
    if (out == nullptr) return 2;
    std::fprintf(out, "%d %d %lld %lld %lld %lld\n", windows, installerClassWindows,
                 walkUs[polls / 2], walkUs[0], walkUs[polls - 1],
                 loopUs / polls - static_cast<long long>(sleepMs) * 1000);
    std::fclose(out);
    return 0;
}
