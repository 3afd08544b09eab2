// The platform services the configuration code calls, for installplan on a
// host that is not Windows: profile reads over real files, with the project's
// own profile reader, and a registry that holds nothing, so the language key
// comes from --locale or is the default.
#include <cstdio>
#include <string>

#include "platform/profile/profile_reader.h"
#include "platform/windows_services.h"

namespace {

// The whole file, or false when it cannot be read (then the reads give their
// defaults, as for a missing file on Windows).
bool ReadWhole(const char* fileName, std::string& data) {
    data.clear();
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) return false;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.append(chunk, got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out,
                               DWORD outSize, LPCSTR fileName) {
    std::string data;
    const bool found = ReadWhole(fileName, data);
    return ProfileReadString(found ? data.data() : nullptr, data.size(), section, key,
                             defaultValue, out, outSize);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName) {
    std::string data;
    const bool found = ReadWhole(fileName, data);
    return ProfileReadInt(found ? data.data() : nullptr, data.size(), section, key, defaultValue);
}

LPSTR lstrcpynA(LPSTR out, LPCSTR in, int maxCount) {
    if (maxCount <= 0) return out;
    int i = 0;
    for (; i < maxCount - 1 && in[i] != '\0'; ++i) out[i] = in[i];
    out[i] = '\0';
    return out;
}

// No registry on this side: every key is missing.
LSTATUS RegOpenKeyExA(HKEY, LPCSTR, DWORD, REGSAM, PHKEY result) {
    if (result) *result = nullptr;
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS RegQueryValueExA(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS RegCloseKey(HKEY) { return ERROR_INVALID_HANDLE; }
