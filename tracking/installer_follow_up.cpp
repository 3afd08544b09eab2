#include "tracking/installer_follow_up.h"

#include "tracking/installer_window_search.h"

const char InstallerWindowClass[] = "InstallShield_Win";

namespace {

// Waits in slices until the process has ended. A wait that fails outright (the
// handle cannot be waited on) will not succeed when repeated, so it ends the
// wait instead of spinning on it.
void WaitForInstallerProcess(HANDLE process) {
    DWORD result;
    do {
        result = WaitForSingleObject(process, InstallerWaitSliceMs);
    } while (result == WAIT_TIMEOUT);
}

// Waits for the process that owns window, if it can be known and opened.
void FollowWindowOwner(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == 0) return;
    HANDLE process = OpenProcess(SYNCHRONIZE, TRUE, processId);
    if (process == nullptr) return;
    WaitForInstallerProcess(process);
    CloseHandle(process);
}

}  // namespace

// The poll count bounds only the searching: once a window is found it is
// followed without a time limit, and the follow-up ends with it.
void FollowInstaller(const char* title) {
    for (unsigned polls = 0; polls < FollowUpMaxPolls; ++polls) {
        Sleep(FollowUpPollMs);
        HWND window = FindInstallerWindow(InstallerWindowClass, title);
        if (window != nullptr) {
            FollowWindowOwner(window);
            return;
        }
    }
}
