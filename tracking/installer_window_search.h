// Finding an installer's window among the top-level windows.
#pragma once

#include "platform/windows_services.h"

enum : int { WindowTextCapacity = 127 };  // class and title characters read per window

// The first top-level window, from the top of the Z order, whose class is
// className exactly and whose title folded to lower case contains fragment;
// null when there is none. Neither argument is changed.
HWND FindInstallerWindow(const char* className, const char* fragment);
