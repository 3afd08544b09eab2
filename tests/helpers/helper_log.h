// Shared by the test helper programs: one timestamped line appended to a log
// file per event. QueryPerformanceCounter reads a clock that all processes
// share, so lines written by different processes can be compared.
#pragma once

#include <windows.h>

#include <cstdio>

inline long long MicrosecondsNow() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<long long>(count.QuadPart / (frequency.QuadPart / 1000000.0));
}

// "<microseconds> <event> <label> <detail>\r\n", written with one WriteFile so
// that lines of processes running at the same time do not interleave.
inline void LogEvent(const char* logFile, const char* event, const char* label,
                     const char* detail) {
    char line[1024];
    const int length = std::snprintf(line, sizeof line, "%lld %s %s %s\r\n", MicrosecondsNow(),
                                     event, label, detail);
    HANDLE file = CreateFileA(logFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, line, length > 0 && length < int(sizeof line) ? length : 0, &written, nullptr);
    CloseHandle(file);
}
