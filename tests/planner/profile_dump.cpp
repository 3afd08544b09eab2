// Prints what the system's own profile functions read from install lists, the
// way installseq asks for the values, for comparing with installplan:
//   profile_dump.exe KEY FILE...
// For each FILE (an absolute path): the tag under KEY, the list's Num and the
// Path, Title and Time of each item it runs. Strings are printed in hex ("-"
// when empty), each with 1 when the key is missing (asked again with a default
// no file holds) and 0 when it is there.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char Absent[] = "\x01(absent)";

void PrintHex(const char* text) {
    if (*text == '\0') std::printf(" -");
    else std::printf(" ");
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c)
        std::printf("%02x", *c);
}

// The value read with the default " " as installseq reads it, then whether the
// key is there at all.
void PrintString(const char* section, const char* key, DWORD size, const char* file) {
    char value[4096];
    GetPrivateProfileStringA(section, key, " ", value, size, file);
    char probe[4096];
    GetPrivateProfileStringA(section, key, Absent, probe, sizeof probe, file);
    PrintHex(value);
    std::printf(" %d", std::strcmp(probe, Absent) == 0 ? 1 : 0);
}

void Dump(const char* languageKey, const char* file) {
    std::printf("file %s\ntag", file);
    PrintString("OS_Language_Tag", languageKey, 32, file);
    char tag[32];
    GetPrivateProfileStringA("OS_Language_Tag", languageKey, " ", tag, sizeof tag, file);
    std::printf("\n");
    if (std::strlen(tag) + 4 > 31) {
        std::printf("num 0\n");
        return;
    }
    char section[32];
    std::snprintf(section, sizeof section, "%sPath", tag);
    const int num = static_cast<int>(GetPrivateProfileIntA(section, "Num", 0, file));
    std::printf("num %d\n", num);
    for (int n = 1; n <= num && n <= 19; ++n) {
        char key[16];
        std::printf("item %d", n);
        std::snprintf(key, sizeof key, "Path%d", n);
        PrintString(section, key, 256, file);
        std::snprintf(key, sizeof key, "Title%d", n);
        PrintString(section, key, 32, file);
        std::snprintf(key, sizeof key, "Time%d", n);
        std::printf(" %d\n", static_cast<int>(GetPrivateProfileIntA(section, key, 0, file)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: profile_dump KEY FILE...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) Dump(argv[1], argv[i]);
    std::fflush(stdout);
    return 0;
}
