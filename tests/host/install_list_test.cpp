#include <string>

#include "config/install_list.h"
#include "sim_fixture.h"

namespace {

class InstallListTest : public SimTest {
protected:
    // Loads the list the way a run does, from the registry and the fixed file.
    static const InstallList& Load(const std::string& file, const char* locale = "00000407") {
        sim::SetFile(ListFile, file);
        SetLocale(locale);
        LoadInstallList();
        return TheInstallList;
    }

    static std::vector<std::string> ProfileReads() {
        std::vector<std::string> reads;
        for (const sim::Call& call : sim::Calls()) {
            if (call.name.rfind("GetPrivateProfile", 0) == 0) {
                reads.push_back(call.name + "(" + call.args + ")");
            }
        }
        return reads;
    }
};

const char GermanAndEnglish[] =
    "[OS_Language_Tag]\n"
    "0407=GER\n"
    "0409=ENU\n"
    "[GERPath]\n"
    "Num=2\n"
    "Path1=C:\\setup\\a.exe /s\n"
    "Title1=alpha setup\n"
    "Time1=5\n"
    "Path2=b.exe\n"
    "Title2=beta\n"
    "Time2=-1\n"
    "[ENUPath]\n"
    "Num=1\n"
    "Path1=english.exe\n";

TEST_F(InstallListTest, ReadsTheListOfTheRegistryLanguageInOrder) {
    const InstallList& list = Load(GermanAndEnglish);
    ASSERT_EQ(list.Num, 2);
    EXPECT_STREQ(list.Items[0].Path, "C:\\setup\\a.exe /s");
    EXPECT_STREQ(list.Items[0].Title, "alpha setup");
    EXPECT_EQ(list.Items[0].Time, 5);
    EXPECT_STREQ(list.Items[1].Path, "b.exe");
    EXPECT_STREQ(list.Items[1].Title, "beta");
    EXPECT_EQ(list.Items[1].Time, -1);

    // One read per value, in order: tag, count, then each item's three keys.
    EXPECT_EQ(ProfileReads(), (std::vector<std::string>{
                                  "GetPrivateProfileStringA([OS_Language_Tag] 0407 default=\" \" size=32)",
                                  "GetPrivateProfileIntA([GERPath] Num default=0)",
                                  "GetPrivateProfileStringA([GERPath] Path1 default=\" \" size=256)",
                                  "GetPrivateProfileStringA([GERPath] Title1 default=\" \" size=32)",
                                  "GetPrivateProfileIntA([GERPath] Time1 default=0)",
                                  "GetPrivateProfileStringA([GERPath] Path2 default=\" \" size=256)",
                                  "GetPrivateProfileStringA([GERPath] Title2 default=\" \" size=32)",
                                  "GetPrivateProfileIntA([GERPath] Time2 default=0)",
                              }));
}

TEST_F(InstallListTest, WithoutARegistryLocaleTheEnglishListApplies) {
    sim::SetFile(ListFile, GermanAndEnglish);
    LoadInstallList();
    ASSERT_EQ(TheInstallList.Num, 1);
    EXPECT_STREQ(TheInstallList.Items[0].Path, "english.exe");
}

// Lists that come out empty, with the number of profile reads each costs.
TEST_F(InstallListTest, EmptyLists) {
    struct Case {
        const char* name;
        std::string file;  // empty: no file at all
        std::int32_t num;
        size_t reads;
    };
    const Case cases[] = {
        {"no file", "", 0, 2},
        {"no tag for the key, no section for the default", "[OS_Language_Tag]\n0409=ENU\n", 0, 2},
        {"no list section", "[OS_Language_Tag]\n0407=GER\n", 0, 2},
        {"section without Num", "[OS_Language_Tag]\n0407=GER\n[GERPath]\nPath1=a.exe\n", 0, 2},
        {"Num 0", "[OS_Language_Tag]\n0407=GER\n[GERPath]\nNum=0\nPath1=a.exe\n", 0, 2},
        {"Num negative", "[OS_Language_Tag]\n0407=GER\n[GERPath]\nNum=-3\nPath1=a.exe\n", -3, 2},
        {"Num not a number", "[OS_Language_Tag]\n0407=GER\n[GERPath]\nNum=many\nPath1=a.exe\n", 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Reset();
        if (!c.file.empty()) sim::SetFile(ListFile, c.file);
        SetLocale("00000407");
        LoadInstallList();
        EXPECT_EQ(TheInstallList.Num, c.num);
        EXPECT_EQ(ItemCount(TheInstallList), 0);
        EXPECT_EQ(ProfileReads().size(), c.reads);
    }
}

// The tag for a key without an entry is what the profile read gives for the
// default " ": on Windows the blank is dropped, so the list comes from [Path].
TEST_F(InstallListTest, AKeyWithoutATagReadsTheDefaultTagsSection) {
    const InstallList& list =
        Load("[OS_Language_Tag]\n0409=ENU\n[Path]\nNum=1\nPath1=fallback.exe\n", "00000419");
    ASSERT_EQ(list.Num, 1);
    EXPECT_STREQ(list.Items[0].Path, "fallback.exe");
    EXPECT_EQ(ProfileReads()[1], "GetPrivateProfileIntA([Path] Num default=0)");
}

TEST_F(InstallListTest, AnEmptyLanguageKeyIsLookedUpAsIs) {
    Load("[OS_Language_Tag]\n0409=ENU\n", "0000");
    EXPECT_EQ(ProfileReads()[0],
              "GetPrivateProfileStringA([OS_Language_Tag]  default=\" \" size=32)");
}

TEST_F(InstallListTest, ValuesAreCutToTheirCapacity) {
    const std::string title40(40, 't');
    const std::string path300 = "C:\\" + std::string(297, 'p');
    const InstallList& list = Load("[OS_Language_Tag]\n0407=GER\n[GERPath]\nNum=1\nPath1=" +
                                   path300 + "\nTitle1=" + title40 + "\n");
    EXPECT_EQ(std::string(list.Items[0].Path), path300.substr(0, 255));
    EXPECT_EQ(std::string(list.Items[0].Title), title40.substr(0, 31));
}

TEST_F(InstallListTest, MissingAndEmptyValues) {
    const InstallList& list = Load(
        "[OS_Language_Tag]\n0407=GER\n[GERPath]\nNum=2\nPath1=a.exe\nTitle1=\nTime1=\n"
        "Time2=abc\n");
    // Present but empty: an empty fragment. Missing: the default " " as the
    // profile read gives it back, which Windows gives without its blank.
    EXPECT_STREQ(list.Items[0].Title, "");
    EXPECT_STREQ(list.Items[1].Title, "");
    EXPECT_STREQ(list.Items[1].Path, "");
    EXPECT_EQ(list.Items[0].Time, 0);
    EXPECT_EQ(list.Items[1].Time, 0);
}

TEST_F(InstallListTest, TitlesKeepTheirCase) {
    const InstallList& list =
        Load("[OS_Language_Tag]\n0407=GER\n[GERPath]\nNum=1\nPath1=a.exe\nTitle1=Setup Wizard\n");
    EXPECT_STREQ(list.Items[0].Title, "Setup Wizard");
}

std::string NumberedItems(int count) {
    std::string text;
    for (int n = 1; n <= count; ++n) {
        const std::string i = std::to_string(n);
        text += "Path" + i + "=item" + i + ".exe\nTitle" + i + "=t" + i + "\nTime" + i + "=" + i + "\n";
    }
    return text;
}

TEST_F(InstallListTest, TheTenthItemComesFromPath10Title10Time10) {
    const InstallList& list =
        Load("[OS_Language_Tag]\n0407=GER\n[GERPath]\nNum=10\n" + NumberedItems(10));
    EXPECT_STREQ(list.Items[9].Path, "item10.exe");
    EXPECT_STREQ(list.Items[9].Title, "t10");
    EXPECT_EQ(list.Items[9].Time, 10);
    const std::vector<std::string> reads = ProfileReads();
    ASSERT_EQ(reads.size(), 2u + 3u * 10u);
    EXPECT_EQ(reads.back(), "GetPrivateProfileIntA([GERPath] Time10 default=0)");
}

// The table holds 19 items: the first 19 are read and run, the rest are never
// read, and Num still says what the file says.
TEST_F(InstallListTest, ANumAboveTheTableKeepsTheFirstNineteenItems) {
    const InstallList& list =
        Load("[OS_Language_Tag]\n0407=GER\n[GERPath]\nNum=1000000\n" + NumberedItems(25));
    EXPECT_EQ(list.Num, 1000000);
    EXPECT_EQ(ItemCount(list), 19);
    EXPECT_STREQ(list.Items[18].Path, "item19.exe");
    const std::vector<std::string> reads = ProfileReads();
    ASSERT_EQ(reads.size(), 2u + 3u * 19u);
    EXPECT_EQ(reads.back(), "GetPrivateProfileIntA([GERPath] Time19 default=0)");
}

// A tag followed by "Path" must fit the 31 characters of the section name; a
// longer one names no section, so nothing more is read and the list is empty.
TEST_F(InstallListTest, TagsUpToTwentySevenCharactersNameTheirSection) {
    const std::string tag27(27, 'T');
    const std::string tag28(28, 'T');
    Load("[OS_Language_Tag]\n0407=" + tag27 + "\n[" + tag27 + "Path]\nNum=1\nPath1=a.exe\n");
    EXPECT_EQ(TheInstallList.Num, 1);

    sim::Reset();
    InstallListSource source;
    sim::SetFile(ListFile,
                 "[OS_Language_Tag]\n0407=" + tag28 + "\n[" + tag28 + "Path]\nNum=1\nPath1=a.exe\n");
    ReadInstallList(ListFile, "0407", TheInstallList, &source);
    EXPECT_EQ(TheInstallList.Num, 0);
    EXPECT_TRUE(source.TagTooLong);
    EXPECT_STREQ(source.LanguageTag, tag28.c_str());
    EXPECT_STREQ(source.ListSection, "");
    EXPECT_EQ(ProfileReads().size(), 1u);
}

}  // namespace
