// The floor the sequencer is measured against, a starter that does the least:
//
//   starter.exe seq LISTFILE
//     Each line of LISTFILE is "PAUSE_MS COMMAND LINE". Starts the command,
//     waits for it, then waits for any process it left running (a setup
//     launcher's installer), sleeps PAUSE_MS and starts the next. Nothing else:
//     no window search, no polling.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

ULONGLONG CreationTime(HANDLE process) {
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return 0;
    return (ULONGLONG(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
}

// Processes whose parent is the launcher, opened for waiting. The launcher has
// created its installer before it ends, so one snapshot after it ended sees it.
// Process ids are reused (Wine reuses them soon), so a process that is older
// than the launcher, such as the desktop's, may name the launcher's id as its
// parent: only those started after the launcher count.
int OpenChildren(DWORD parentId, ULONGLONG parentCreated, HANDLE* children, int capacity) {
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more && count < capacity;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID != parentId) continue;
        HANDLE child = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                   entry.th32ProcessID);
        if (child == nullptr) continue;
        if (CreationTime(child) >= parentCreated) {
            children[count++] = child;
        } else {
            CloseHandle(child);
        }
    }
    CloseHandle(snapshot);
    return count;
}

bool Start(char* commandLine, PROCESS_INFORMATION* process) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, process) != FALSE;
}

int RunList(const char* listFile) {
    FILE* list = std::fopen(listFile, "r");
    if (list == nullptr) return 2;
    char line[2048];
    while (std::fgets(line, sizeof line, list) != nullptr) {
        line[std::strcspn(line, "\r\n")] = '\0';
        char* command = nullptr;
        const unsigned long pause = std::strtoul(line, &command, 10);
        while (*command == ' ') ++command;
        if (*command == '\0') continue;
        PROCESS_INFORMATION process;
        if (!Start(command, &process)) continue;
        WaitForSingleObject(process.hProcess, INFINITE);
        HANDLE children[8];
        const int count =
            OpenChildren(process.dwProcessId, CreationTime(process.hProcess), children, 8);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        for (int i = 0; i < count; ++i) {
            WaitForSingleObject(children[i], INFINITE);
            CloseHandle(children[i]);
        }
        Sleep(pause);
    }
    std::fclose(list);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc >= 3 && std::strcmp(__argv[1], "seq") == 0) return RunList(__argv[2]);
    return 2;
}
