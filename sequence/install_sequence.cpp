#include "sequence/install_sequence.h"

#include "config/install_list.h"
#include "tracking/installer_follow_up.h"

const char SysHideImport[] = "regedit /s c:\\sysprep\\sys_hide.reg";
const char RunOnceImport[] = "regedit /s c:\\sysprep\\arunonce.reg";

int RunInstallSequence(HINSTANCE, HINSTANCE, LPSTR, int) {
    LoadInstallList();
    ImportRegistryFile(SysHideImport);
    const int count = ItemCount(TheInstallList);
    for (int n = 1; n <= count; ++n) {
        InstallItem& item = TheInstallList.Items[n - 1];
        RunItem(item.Path, item.Title);
        PauseAfterItem(item.Time);
    }
    ImportRegistryFile(RunOnceImport);
    return 0;
}

void ImportRegistryFile(const char* commandLine) {
    WinExec(commandLine, SW_HIDE);
}

// The start-up record is all zero but its size: the started program chooses its
// own window placement, show state and standard handles. No application name is
// given, so the program is taken from the command line and path may carry
// arguments.
void RunItem(char* path, const char* title) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, path, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    FollowInstaller(title);
}

// Time x 1000 ms fits one Sleep up to 4294967 s. A longer pause is slept in whole
// days and then the rest, so it is neither cut short by a wrapped product nor
// turned into INFINITE (0xFFFFFFFF).
void PauseAfterItem(std::int32_t seconds) {
    if (seconds < 0) return;
    const std::uint32_t MaxSingleSleepSeconds = 0xFFFFFFFEu / 1000u;
    const std::uint32_t Day = 24u * 60u * 60u;
    std::uint32_t remaining = static_cast<std::uint32_t>(seconds);
    if (remaining > MaxSingleSleepSeconds) {
        while (remaining > Day) {
            Sleep(Day * 1000u);
            remaining -= Day;
        }
    }
    Sleep(remaining * 1000u);
}
