#include "config/install_list.h"
#include "platform/windows_services.h"

const char DefaultLanguageKey[] = "0409";

namespace {

// At most four characters are taken, so a value without a terminator of its
// own is never read past.
void KeyFromLocaleBuffer(const char (&locale)[LocaleBufferSize],
                         char (&key)[LanguageKeyCapacity + 1]) {
    lstrcpynA(key, locale + 4, sizeof key);
}

}  // namespace

void LanguageKeyFromLocale(const char* value, char (&key)[LanguageKeyCapacity + 1]) {
    lstrcpynA(key, DefaultLanguageKey, sizeof key);
    char locale[LocaleBufferSize] = {};
    int length = 0;
    while (value[length] != '\0' && length < LocaleBufferSize) ++length;
    // With its terminator the value needs length + 1 bytes.
    if (length >= LocaleBufferSize) return;
    for (int i = 0; i < length; ++i) locale[i] = value[i];
    KeyFromLocaleBuffer(locale, key);
}

// The locale of the default user profile is eight hex digits such as 00000407;
// its last four are the language. The value is copied from its fifth character
// on, so a value of four characters or fewer gives an empty key.
void ReadLanguageKey(char (&key)[LanguageKeyCapacity + 1]) {
    lstrcpynA(key, DefaultLanguageKey, sizeof key);

    HKEY international;
    if (RegOpenKeyExA(HKEY_USERS, ".Default\\Control Panel\\International", 0, KEY_QUERY_VALUE,
                      &international) != ERROR_SUCCESS) {
        return;
    }
    // Zero-filled, so a value stored without its terminator still ends here;
    // one that does not fit the 32 bytes fails the read and the default stays.
    char locale[LocaleBufferSize] = {};
    DWORD size = sizeof locale;
    if (RegQueryValueExA(international, "Locale", nullptr, nullptr,
                         reinterpret_cast<LPBYTE>(locale), &size) == ERROR_SUCCESS) {
        KeyFromLocaleBuffer(locale, key);
    }
    RegCloseKey(international);
}
