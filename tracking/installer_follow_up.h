// After an item's own process has ended: find the installer window it may have
// left running and wait for that installer's process.
#pragma once

#include "platform/windows_services.h"

extern const char InstallerWindowClass[];

enum : unsigned {
    FollowUpPollMs = 500,       // between the searches, and before the first
    FollowUpMaxPolls = 120,     // about a minute of searching
    InstallerWaitSliceMs = 1000,
};

// Searches every FollowUpPollMs, up to FollowUpMaxPolls times, for a window of
// InstallerWindowClass whose lower-cased title contains title, and waits for the
// process owning the first one found. At most one window is followed.
void FollowInstaller(const char* title);
