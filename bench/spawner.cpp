// Holds many top-level windows open so that a window search has to walk them:
//   spawner.exe READYFILE TOTAL INSTALLER_CLASS_COUNT
// creates TOTAL windows, the first INSTALLER_CLASS_COUNT of class
// InstallShield_Win (titles that contain no bench item's title), the rest of a
// class of its own; writes READYFILE when all are up; then answers messages
// until "spawner.exe stop" is run in the same prefix.
//
// The windows are topmost, so they stay above every installer window created
// later: a search that looks for that installer meets all of them first.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char StopEventName[] = "installseq_bench_spawner_stop";
const char FillerClass[] = "BenchFiller";
const char InstallerClass[] = "InstallShield_Win";

bool Register(const char* name) {
    WNDCLASSA type = {};
    type.lpfnWndProc = DefWindowProcA;
    type.hInstance = GetModuleHandleA(nullptr);
    type.lpszClassName = name;
    return RegisterClassA(&type) != 0;
}

int Hold(const char* readyFile, int total, int installerClassCount) {
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, StopEventName);
    if (stop == nullptr || !Register(FillerClass) || !Register(InstallerClass)) return 2;
    int created = 0;
    for (int i = 0; i < total; ++i) {
        char title[64];
        const bool installerClass = i < installerClassCount;
        std::snprintf(title, sizeof title, installerClass ? "Other Product %03d - Setup Wizard"
                                                          : "Document %03d - Editor", i);
        HWND window = CreateWindowExA(WS_EX_TOPMOST, installerClass ? InstallerClass : FillerClass,
                                      title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        if (window != nullptr) ++created;
    }
    FILE* ready = std::fopen(readyFile, "w");
    if (ready != nullptr) {
        std::fprintf(ready, "%d\n", created);
        std::fclose(ready);
    }
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) break;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    return 0;
}

int Stop() {
    HANDLE stop = OpenEventA(EVENT_MODIFY_STATE, FALSE, StopEventName);
    if (stop == nullptr) return 1;
    SetEvent(stop);
    CloseHandle(stop);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc >= 2 && std::strcmp(__argv[1], "stop") == 0) return Stop();
    if (__argc >= 4) return Hold(__argv[1], std::atoi(__argv[2]), std::atoi(__argv[3]));
    return 2;
}
