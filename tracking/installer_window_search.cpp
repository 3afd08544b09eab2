#include "tracking/installer_window_search.h"

namespace {

// Only ASCII letters are folded; bytes above 127 stay as they are, whatever
// the code page would make of them.
void FoldAsciiToLower(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
    }
}

// Plain substring search; an empty fragment occurs in every text.
bool Contains(const char* text, const char* fragment) {
    for (;; ++text) {
        const char* t = text;
        const char* f = fragment;
        while (*f != '\0' && *t == *f) {
            ++t;
            ++f;
        }
        if (*f == '\0') return true;
        if (*text == '\0') return false;
    }
}

}  // namespace

// Walks the top-level windows once, top of the Z order first, hidden ones
// included; children are never looked at. Only the title is folded, so a
// fragment with an upper-case ASCII letter never matches.
HWND FindInstallerWindow(const char* className, const char* fragment) {
    char windowClass[WindowTextCapacity + 1];
    char title[WindowTextCapacity + 1];
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
        // A window gone since the walk reached it reads as empty, not as stale text.
        windowClass[0] = '\0';
        GetClassNameA(window, windowClass, sizeof windowClass);
        if (lstrcmpA(className, windowClass) != 0) continue;
        title[0] = '\0';
        GetWindowTextA(window, title, sizeof title);
        FoldAsciiToLower(title);
        if (Contains(title, fragment)) return window;
    }
    return nullptr;
}
