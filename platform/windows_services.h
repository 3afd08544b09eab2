// The operating-system services the system relies on, in the shape of the Win32
// calls it makes (ANSI forms). The core includes this header and nothing else of
// the platform: the Windows builds get the toolchain's <windows.h>, the host build
// gets the project's own declarations, implemented by the simulated Windows.
//
// What the core relies on from each call:
//   GetPrivateProfileStringA  value copied into a buffer of the given size, cut to
//                             fit and terminated; the default when file, section
//                             or key is missing
//   GetPrivateProfileIntA     value as an integer (taken as signed 32-bit); the
//                             default when missing
//   RegOpenKeyExA, RegQueryValueExA, RegCloseKey
//                             0 on success; the value's bytes, terminator
//                             included; non-zero when the value does not fit
//   lstrcpynA                 at most n - 1 characters copied, always terminated
//   WinExec                   starts a command line, returns without waiting
//   CreateProcessA            a process handle and a thread handle on success
//   WaitForSingleObject       0 once the process has ended; with a time-out,
//                             non-zero when the time-out passes first
//   Sleep                     suspends the thread for the given milliseconds
//   CloseHandle               releases a handle
//   GetDesktopWindow, GetWindow
//                             GW_CHILD on the desktop: the topmost top-level
//                             window; GW_HWNDNEXT: the next one down; null after
//                             the last
//   GetClassNameA, GetWindowTextA
//                             class name or title, cut to the buffer, terminated
//   lstrcmpA                  0 for equal strings
//   GetWindowThreadProcessId  the owner process id, stored through the pointer
//   OpenProcess               a handle that can be waited on; null on failure
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/host/win32_host.h"
#endif
