// A setup launcher that ends badly:
//   bad_launcher.exe LOGFILE LABEL MODE [TITLE SHOW_AFTER_MS LIFE_MS] [ignored...]
// logs "start" with its whole command line, then, when TITLE is given, starts the fake installer from its
// own folder as a detached installer showing TITLE, and ends by MODE:
//   crash     an access violation (a write through a null pointer)
//   exit:N    exit code N
// Arguments after LIFE_MS are ignored, so a test can make the command line as
// long as it likes.
#include <cstdlib>
#include <cstring>

#include "helper_log.h"

namespace {

void StartInstaller(const char* log, const char* label, const char* title, const char* showAfter,
                    const char* life) {
    char module[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    char* slash = std::strrchr(module, '\\');
    if (length == 0 || slash == nullptr) return;
    slash[1] = '\0';
    char commandLine[2048];
    std::snprintf(commandLine, sizeof commandLine,
                  "\"%sfake_installer.exe\" --installer \"%s\" \"%s\" \"%s\" %s %s", module, log,
                  label, title, showAfter, life);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                       nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const char* log = argv[1];
    const char* label = argv[2];
    const char* mode = argv[3];
    LogEvent(log, "start", label, GetCommandLineA());
    if (argc >= 7) StartInstaller(log, label, argv[4], argv[5], argv[6]);
    if (std::strcmp(mode, "crash") == 0) {
        LogEvent(log, "crashing", label, "");
        // Through a volatile pointer, so the compiler keeps a real write to address 0.
        int* volatile nowhere = nullptr;
        *nowhere = 1;
    }
    if (std::strncmp(mode, "exit:", 5) == 0) {
        const int code = std::atoi(mode + 5);
        LogEvent(log, "exiting", label, mode + 5);
        return code;
    }
    return 0;
}
