#include "config/install_list.h"
#include "platform/windows_services.h"

const char ProfileFile[] = "C:\\sysprep\\path.ini";

InstallList TheInstallList;

namespace {

const char TagSection[] = "OS_Language_Tag";
const char ListSuffix[] = "Path";
// The profile read's default for every string value.
const char BlankDefault[] = " ";

// Writes prefix followed by n in decimal (no leading zeros) into out.
void ItemKeyName(const char* prefix, int n, char (&out)[16]) {
    int length = 0;
    while (prefix[length] != '\0') {
        out[length] = prefix[length];
        ++length;
    }
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0);
    while (count > 0) out[length++] = digits[--count];
    out[length] = '\0';
}

// tag followed by "Path", or false when that does not fit the section's capacity.
bool FormListSection(const char* tag, char (&section)[ListSectionCapacity + 1]) {
    int length = 0;
    while (tag[length] != '\0') ++length;
    if (length + int(sizeof ListSuffix) - 1 > ListSectionCapacity) return false;
    for (int i = 0; i < length; ++i) section[i] = tag[i];
    for (int i = 0; i < int(sizeof ListSuffix); ++i) section[length + i] = ListSuffix[i];
    return true;
}

}  // namespace

int ItemCount(const InstallList& list) {
    if (list.Num < 1) return 0;
    return list.Num > MaxItems ? MaxItems : list.Num;
}

// Each value is one profile read, in the order tag, count, then Path, Title and
// Time of each item: 2 + 3 x items reads. Items beyond the table are not read.
void ReadInstallList(const char* profileFile, const char* languageKey, InstallList& list,
                     InstallListSource* source) {
    char tag[LanguageTagCapacity + 1];
    GetPrivateProfileStringA(TagSection, languageKey, BlankDefault, tag, sizeof tag, profileFile);

    char section[ListSectionCapacity + 1] = {};
    const bool sectionFits = FormListSection(tag, section);
    if (source) {
        lstrcpynA(source->LanguageKey, languageKey, sizeof source->LanguageKey);
        lstrcpynA(source->LanguageTag, tag, sizeof source->LanguageTag);
        lstrcpynA(source->ListSection, section, sizeof source->ListSection);
        source->TagTooLong = !sectionFits;
    }
    // A tag too long for its section name would name a section nobody wrote;
    // rather than look up a cut name, the list is empty.
    list.Num = sectionFits ? static_cast<std::int32_t>(
                                 GetPrivateProfileIntA(section, "Num", 0, profileFile))
                           : 0;

    const int count = ItemCount(list);
    for (int n = 1; n <= count; ++n) {
        InstallItem& item = list.Items[n - 1];
        char key[16];
        ItemKeyName("Path", n, key);
        GetPrivateProfileStringA(section, key, BlankDefault, item.Path, sizeof item.Path,
                                 profileFile);
        ItemKeyName("Title", n, key);
        GetPrivateProfileStringA(section, key, BlankDefault, item.Title, sizeof item.Title,
                                 profileFile);
        ItemKeyName("Time", n, key);
        item.Time = static_cast<std::int32_t>(GetPrivateProfileIntA(section, key, 0, profileFile));
    }
}

void LoadInstallList() {
    char key[LanguageKeyCapacity + 1];
    ReadLanguageKey(key);
    ReadInstallList(ProfileFile, key, TheInstallList, nullptr);
}
