// Arbitrary install list bytes with an arbitrary Locale value, through the whole
// loading of the list on the simulated Windows: the registry read of the
// language, the tag, the count and every item's values. The input:
//   byte 0      Locale length (mod 48); 47: no Locale value; 46: no key at all
//   byte 1      the value's registry type (0..11)
//   then the Locale bytes, and the rest is C:\sysprep\path.ini.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/install_list.h"
#include "platform/sim/simulated_windows.h"

namespace {

const char International[] = "HKEY_USERS\\.Default\\Control Panel\\International";

void Check(bool condition) {
    if (!condition) std::abort();
}

bool TerminatedWithin(const char* text, size_t capacity) {
    return std::memchr(text, '\0', capacity + 1) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::uint8_t lengthByte = data[0] % 48;
    const DWORD type = data[1] % 12;
    size_t pos = 2;
    const size_t localeLength = lengthByte >= 46 ? 0 : (lengthByte < size - pos ? lengthByte : size - pos);
    const std::string locale(reinterpret_cast<const char*>(data + pos), localeLength);
    pos += localeLength;

    sim::Reset();
    if (lengthByte != 46) sim::AddRegistryKey(International);
    if (lengthByte < 46) sim::SetRegistryValue(International, "Locale", type, locale);
    sim::SetFile("C:\\sysprep\\path.ini",
                 std::string(reinterpret_cast<const char*>(data + pos), size - pos));

    // Fill the table with a pattern first: every field read must be written.
    std::memset(&TheInstallList, 0x5A, sizeof TheInstallList);
    LoadInstallList();

    const int count = ItemCount(TheInstallList);
    Check(count >= 0 && count <= MaxItems);
    for (int i = 0; i < count; ++i) {
        Check(TerminatedWithin(TheInstallList.Items[i].Path, PathCapacity));
        Check(TerminatedWithin(TheInstallList.Items[i].Title, TitleCapacity));
    }
    // Tag, count, then three reads per item: nothing beyond the table is read.
    // A tag too long for its section name stops after the tag.
    const size_t reads = sim::CallsTo("GetPrivateProfileStringA").size() +
                         sim::CallsTo("GetPrivateProfileIntA").size();
    Check(reads == 2u + 3u * count || (reads == 1 && count == 0));
    Check(sim::OpenHandleCount() == 0 && sim::BadCloses() == 0);

    // The same list read again as a tool does, with the names it was found
    // under: the same items.
    char key[LanguageKeyCapacity + 1];
    ReadLanguageKey(key);
    static InstallList again;
    InstallListSource source;
    std::memset(&source, 0x5A, sizeof source);
    ReadInstallList("C:\\sysprep\\path.ini", key, again, &source);
    Check(TerminatedWithin(source.LanguageKey, LanguageKeyCapacity));
    Check(TerminatedWithin(source.LanguageTag, LanguageTagCapacity));
    Check(TerminatedWithin(source.ListSection, ListSectionCapacity));
    Check(!source.TagTooLong || again.Num == 0);
    Check(again.Num == TheInstallList.Num);
    for (int i = 0; i < count; ++i) {
        Check(std::strcmp(again.Items[i].Path, TheInstallList.Items[i].Path) == 0);
        Check(std::strcmp(again.Items[i].Title, TheInstallList.Items[i].Title) == 0);
        Check(again.Items[i].Time == TheInstallList.Items[i].Time);
    }
    return 0;
}
