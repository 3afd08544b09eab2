// The install list: which language applies to this machine, and the commands
// configured for it in the install list file. Filled once at start, only read
// afterwards; it lives for the whole run.
#pragma once

#include <cstdint>

enum : int {
    MaxItems = 19,          // items the table holds; more in the file are dropped
    PathCapacity = 255,     // characters of a command line, terminator not counted
    TitleCapacity = 31,     // characters of a window title fragment
    LanguageKeyCapacity = 4,
    LanguageTagCapacity = 31,
    ListSectionCapacity = 31,
};

// The install list file always lies here; the system only reads it.
extern const char ProfileFile[];

// The language key used when the registry gives none.
extern const char DefaultLanguageKey[];

struct InstallItem {
    char Path[PathCapacity + 1];    // the command line to start, may carry arguments
    char Title[TitleCapacity + 1];  // installer window title fragment, as written
    std::int32_t Time;              // pause after the item in seconds; negative: none
};

struct InstallList {
    std::int32_t Num;         // item count as read from the file (may exceed MaxItems)
    InstallItem Items[MaxItems];  // item n (1-based) is Items[n - 1]
};

// What the loading saw on its way to the list; kept for tools that explain a run.
struct InstallListSource {
    char LanguageKey[LanguageKeyCapacity + 1];
    char LanguageTag[LanguageTagCapacity + 1];
    char ListSection[ListSectionCapacity + 1];
    bool TagTooLong;  // the tag followed by "Path" does not fit: no list is read
};

// The run's list, filled by LoadInstallList.
extern InstallList TheInstallList;

// The number of items the list really holds: Num, but never below 0 and never
// beyond the table.
int ItemCount(const InstallList& list);

// The bytes a Locale value is read into: zero-filled, so a value stored
// without its terminator still ends; a value that does not fit is not read.
enum : int { LocaleBufferSize = 32 };

// Fills key from a Locale value given as text, as ReadLanguageKey turns the
// registry's value (stored with its terminator) into the key: the fifth to
// eighth characters; a value of LocaleBufferSize characters or more does not
// fit its buffer, and the key is then DefaultLanguageKey.
void LanguageKeyFromLocale(const char* value, char (&key)[LanguageKeyCapacity + 1]);

// Fills key with the language of the default user profile: the fifth to eighth
// characters of its Locale value, or DefaultLanguageKey when that cannot be read.
void ReadLanguageKey(char (&key)[LanguageKeyCapacity + 1]);

// Reads the list for languageKey from profileFile into list; never fails, what
// cannot be read takes its default. source, when given, receives the names used.
void ReadInstallList(const char* profileFile, const char* languageKey, InstallList& list,
                     InstallListSource* source);

// The run's loading: the registry's language, ProfileFile, TheInstallList.
void LoadInstallList();
