// A stand-in for a setup launcher whose real installer goes on after it:
//   fake_installer.exe LOGFILE LABEL TITLE SHOW_AFTER_MS LIFE_MS [CLASS]
// starts a detached copy of itself as the installer and exits at once. The
// installer waits SHOW_AFTER_MS, shows a top-level window of class CLASS
// (default InstallShield_Win) titled TITLE, keeps it LIFE_MS milliseconds,
// then ends. Every step is logged.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "helper_log.h"

namespace {

int RunInstaller(const char* log, const char* label, const char* title, DWORD showAfter,
                 DWORD life, const char* windowClass) {
    LogEvent(log, "installer-start", label, title);
    Sleep(showAfter);
    WNDCLASSA type = {};
    type.lpfnWndProc = DefWindowProcA;
    type.hInstance = GetModuleHandleA(nullptr);
    type.lpszClassName = windowClass;
    RegisterClassA(&type);
    HWND window = CreateWindowA(windowClass, title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                nullptr, type.hInstance, nullptr);
    LogEvent(log, window ? "window-shown" : "window-failed", label, title);
    // Keep answering messages while the window is up, as a real installer does.
    const DWORD until = GetTickCount() + life;
    for (DWORD now = GetTickCount(); int(until - now) > 0; now = GetTickCount()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, until - now, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    if (window) DestroyWindow(window);
    LogEvent(log, "installer-end", label, "");
    return 0;
}

// Starts this program again in installer mode, detached, and does not wait.
int RunLauncher(int argc, char** argv) {
    LogEvent(argv[1], "launcher-start", argv[2], GetCommandLineA());
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    char commandLine[2048];
    int length = std::snprintf(commandLine, sizeof commandLine, "\"%s\" --installer", module);
    for (int i = 1; i < argc; ++i) {
        length += std::snprintf(commandLine + length, sizeof commandLine - length, " \"%s\"",
                                argv[i]);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                       nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    LogEvent(argv[1], "launcher-end", argv[2], "");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 7 && std::strcmp(argv[1], "--installer") == 0) {
        return RunInstaller(argv[2], argv[3], argv[4], std::strtoul(argv[5], nullptr, 10),
                            std::strtoul(argv[6], nullptr, 10),
                            argc > 7 ? argv[7] : "InstallShield_Win");
    }
    if (argc < 6) return 2;
    return RunLauncher(argc, argv);
}
