#include <cstring>

#include "config/install_list.h"
#include "sim_fixture.h"

namespace {

const DWORD RegSz = 1;
const DWORD RegBinary = 3;
const DWORD RegDword = 4;

struct LocaleCase {
    const char* name;
    bool keyExists;
    bool valueExists;
    DWORD type;
    std::string bytes;
    const char* expectedKey;
};

void PrintTo(const LocaleCase& c, std::ostream* out) { *out << c.name; }

class LanguageKeyTest : public SimTest, public ::testing::WithParamInterface<LocaleCase> {};

TEST_P(LanguageKeyTest, KeyFromLocaleValue) {
    const LocaleCase& c = GetParam();
    if (c.keyExists) sim::AddRegistryKey(InternationalKey);
    if (c.valueExists) sim::SetRegistryValue(InternationalKey, "Locale", c.type, c.bytes);

    char key[LanguageKeyCapacity + 1];
    std::memset(key, 'x', sizeof key);
    ReadLanguageKey(key);
    EXPECT_STREQ(key, c.expectedKey);
}

std::string Sz(const std::string& text) { return text + std::string(1, '\0'); }

INSTANTIATE_TEST_SUITE_P(
    Locales, LanguageKeyTest,
    ::testing::Values(
        LocaleCase{"NoKey", false, false, RegSz, "", "0409"},
        LocaleCase{"NoValue", true, false, RegSz, "", "0409"},
        LocaleCase{"German", true, true, RegSz, Sz("00000407"), "0407"},
        LocaleCase{"EnglishUS", true, true, RegSz, Sz("00000409"), "0409"},
        LocaleCase{"LastFourOfEightHexDigits", true, true, RegSz, Sz("0001040C"), "040C"},
        LocaleCase{"FiveCharacters", true, true, RegSz, Sz("12345"), "5"},
        LocaleCase{"FourCharacters", true, true, RegSz, Sz("1234"), ""},
        LocaleCase{"ThreeCharacters", true, true, RegSz, Sz("123"), ""},
        LocaleCase{"Empty", true, true, RegSz, Sz(""), ""},
        // 31 characters and the terminator fill the 32 bytes exactly.
        LocaleCase{"ThirtyOneCharacters", true, true, RegSz,
                   Sz("abcdEFGHijklmnopqrstuvwxyz01234"), "EFGH"},
        LocaleCase{"ThirtyTwoCharactersDoNotFit", true, true, RegSz,
                   Sz("abcdEFGHijklmnopqrstuvwxyz012345"), "0409"},
        LocaleCase{"FortyCharacters", true, true, RegSz, Sz(std::string(40, '7')), "0409"},
        // The type is not looked at: the bytes are taken as text.
        LocaleCase{"DwordValue", true, true, RegDword, std::string("\x07\x04\0\0", 4), ""},
        LocaleCase{"BinaryWithoutTerminatorFillingTheBuffer", true, true, RegBinary,
                   std::string(4, '0') + "0407" + std::string(24, 'z'), "0407"}),
    [](const ::testing::TestParamInfo<LocaleCase>& info) { return info.param.name; });

TEST_F(SimTest, LanguageKeyIsOneQueryOfLocaleThenTheKeyIsClosed) {
    SetLocale("00000407");
    char key[LanguageKeyCapacity + 1];
    ReadLanguageKey(key);
    EXPECT_EQ(CallLines({}), (std::vector<std::string>{
                                 "RegOpenKeyExA(HKEY_USERS\\.Default\\Control "
                                 "Panel\\International options=0 access=1)",
                                 "RegQueryValueExA(\"Locale\" size=32)",
                                 "RegCloseKey()",
                             }));
}

TEST_F(SimTest, LanguageKeyFallsBackWhenTheRegistryFails) {
    struct FaultCase {
        const char* service;
        bool keyClosed;
    };
    for (FaultCase fault : {FaultCase{"RegOpenKeyExA", false}, FaultCase{"RegQueryValueExA", true}}) {
        SCOPED_TRACE(fault.service);
        sim::Reset();
        SetLocale("00000407");
        sim::FailCall(fault.service, 1, sim::FailMode::FromThenOn);
        char key[LanguageKeyCapacity + 1];
        ReadLanguageKey(key);
        EXPECT_STREQ(key, "0409");
        EXPECT_EQ(sim::CallsTo("RegCloseKey").size(), fault.keyClosed ? 1u : 0u);
        EXPECT_EQ(sim::OpenHandleCount(), 0);
    }
}

}  // namespace
