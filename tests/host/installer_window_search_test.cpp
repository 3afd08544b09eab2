#include "sim_fixture.h"
#include "tracking/installer_window_search.h"

namespace {

const char Installer[] = "InstallShield_Win";

struct SearchCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> windows;  // class, title; top first
    const char* fragment;
    int expected;  // index into windows of the match, -1 for none
};

void PrintTo(const SearchCase& c, std::ostream* out) { *out << c.name; }

class WindowSearchTest : public SimTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(WindowSearchTest, FirstMatchFromTheTop) {
    const SearchCase& c = GetParam();
    std::vector<HWND> handles(c.windows.size());
    // Each window added goes on top, so add them bottom first.
    for (size_t i = c.windows.size(); i-- > 0;) {
        handles[i] = sim::AddWindow(c.windows[i].first, c.windows[i].second, 42);
    }
    const HWND found = FindInstallerWindow(Installer, c.fragment);
    EXPECT_EQ(found, c.expected < 0 ? nullptr : handles[c.expected]);
}

const std::string Long = std::string(120, 'x') + "abcdefghij";  // 130 characters

INSTANTIATE_TEST_SUITE_P(
    Matching, WindowSearchTest,
    ::testing::Values(
        SearchCase{"LowerCaseFragmentMatchesFoldedTitle", {{Installer, "Setup Wizard"}}, "setup", 0},
        SearchCase{"UpperCaseFragmentNeverMatches", {{Installer, "Setup Wizard"}}, "Setup", -1},
        SearchCase{"FragmentInsideTheTitle", {{Installer, "Acme Reader 9 - Setup"}}, "reader 9", 0},
        SearchCase{"OtherClassWithMatchingTitle", {{"#32770", "setup"}}, "setup", -1},
        SearchCase{"ClassIsCaseSensitive", {{"installshield_win", "setup"}}, "setup", -1},
        SearchCase{"RightClassWrongTitle", {{Installer, "Other Product"}}, "setup", -1},
        SearchCase{"NoWindowsAtAll", {}, "setup", -1},
        SearchCase{"EmptyFragmentMatchesTheFirstOfTheClass",
                   {{"Shell_TrayWnd", ""}, {Installer, "One"}, {Installer, "Two"}}, "", 1},
        SearchCase{"BlankFragmentNeedsABlank", {{Installer, "NoBlank"}, {Installer, "a b"}}, " ", 1},
        SearchCase{"TopmostOfSeveralMatchesWins",
                   {{Installer, "setup two"}, {Installer, "setup one"}}, "setup", 0},
        SearchCase{"SkipsNonMatchingWindowsOfTheClass",
                   {{Installer, "first"}, {"Other", "setup"}, {Installer, "the setup"}}, "setup", 2},
        SearchCase{"TitleReadToOneHundredTwentySevenCharacters", {{Installer, Long}}, "abcdefg", 0},
        SearchCase{"BeyondOneHundredTwentySevenIsNotSeen", {{Installer, Long}}, "abcdefgh", -1},
        SearchCase{"BytesAbove127AreComparedUnchanged",
                   {{Installer, "Gr\xC4\xD6SSE Setup"}}, "gr\xC4\xD6sse", 0},
        SearchCase{"BytesAbove127AreNotFolded", {{Installer, "\xC4" "x"}}, "\xE4" "x", -1}),
    [](const ::testing::TestParamInfo<SearchCase>& info) { return info.param.name; });

// One walk over the windows: a class read for each, a title read only for
// those of the class, and it stops at the first match.
TEST_F(SimTest, ASearchWalksTheWindowsOnceAndStopsAtTheMatch) {
    sim::AddWindow(Installer, "setup", 42);
    sim::AddWindow(Installer, "other", 42);
    sim::AddWindow("Other", "setup", 42);
    ASSERT_NE(FindInstallerWindow(Installer, "setup"), nullptr);
    EXPECT_EQ(CallLines({}), (std::vector<std::string>{
                                 "GetDesktopWindow()",
                                 "GetWindow(GW_CHILD)",
                                 "GetClassNameA(128)",
                                 "GetWindow(GW_HWNDNEXT)",
                                 "GetClassNameA(128)",
                                 "GetWindowTextA(128)",
                                 "GetWindow(GW_HWNDNEXT)",
                                 "GetClassNameA(128)",
                                 "GetWindowTextA(128)",
                             }));
}

TEST_F(SimTest, AWindowWhoseClassOrTitleCannotBeReadIsPassedOver) {
    for (const char* service : {"GetClassNameA", "GetWindowTextA"}) {
        SCOPED_TRACE(service);
        sim::Reset();
        const HWND lower = sim::AddWindow(Installer, "setup b", 42);
        sim::AddWindow(Installer, "setup a", 42);
        sim::FailCall(service, 1, sim::FailMode::Once);
        EXPECT_EQ(FindInstallerWindow(Installer, "setup"), lower);
    }
}

}  // namespace
