// A stand-in for an installer that does its work itself:
//   marker.exe LOGFILE LABEL [RUN_MS [EXIT_CODE]]
// logs "start" with its whole command line, runs RUN_MS milliseconds, logs
// "end" and exits with EXIT_CODE.
#include <cstdlib>

#include "helper_log.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const char* log = argv[1];
    const char* label = argv[2];
    const DWORD runMs = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 0;
    const int exitCode = argc > 4 ? std::atoi(argv[4]) : 0;
    LogEvent(log, "start", label, GetCommandLineA());
    Sleep(runMs);
    LogEvent(log, "end", label, "");
    return exitCode;
}
