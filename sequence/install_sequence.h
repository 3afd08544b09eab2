// The order of one whole run: the list, the first registry import, each item in
// turn (launch and wait, follow-up, pause), the second registry import.
#pragma once

#include <cstdint>

#include "platform/windows_services.h"

extern const char SysHideImport[];
extern const char RunOnceImport[];

// The entry: every value a Windows GUI program is started with is ignored.
// Returns the exit code, always 0.
int RunInstallSequence(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                       int showState);

// Starts the registry editor on one of the two fixed command lines, hidden, and
// does not wait for it.
void ImportRegistryFile(const char* commandLine);

// Launches path, waits for its process to end, then follows its installer.
void RunItem(char* path, const char* title);

// Sleeps the item's pause; a negative Time is no pause.
void PauseAfterItem(std::int32_t seconds);
