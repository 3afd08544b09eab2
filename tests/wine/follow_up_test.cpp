// The real installseq.exe under Wine following installers that outlive their
// launchers: the next item never overlaps an installer it could see.
#include <gtest/gtest.h>

#include "wine_prefix.h"

namespace {

double MsBetween(const LogEvent& earlier, const LogEvent& later) {
    return (later.us - earlier.us) / 1000.0;
}

std::string List(const std::string& items, int num) {
    return "[OS_Language_Tag]\r\n0409=ENU\r\n[ENUPath]\r\nNum=" + std::to_string(num) + "\r\n" +
           items;
}

std::string Item(int n, const std::string& path, const std::string& title, int time) {
    const std::string i = std::to_string(n);
    return "Path" + i + "=" + path + "\r\nTitle" + i + "=" + title + "\r\nTime" + i + "=" +
           std::to_string(time) + "\r\n";
}

// The launcher ends at once; its installer keeps its window up for 3 s. The
// next item starts only after that installer has ended, and promptly then.
// (Every installer here outlives the half second before the first search.)
TEST(FollowUp, TheNextItemStartsWhenTheInstallerEndsNotWhenItsLauncherDoes) {
    WinePrefix prefix;
    prefix.PrepareSysprep(List(
        Item(1, FakeInstallerItem("one", "Acme Product 1 - InstallShield Wizard", 0, 3000),
             "acme product 1", 0) +
            Item(2, FakeInstallerItem("two", "Acme Product 2 Setup", 0, 1500), "acme product 2", 0),
        2));
    EXPECT_EQ(prefix.RunInstallseq().exitCode, 0);
    const std::vector<LogEvent> log = prefix.Log();
    EXPECT_EQ(StartedLabels(log), (std::vector<std::string>{"one", "two"}));
    EXPECT_GE(MsBetween(Find(log, "launcher-end", "one"), Find(log, "installer-end", "one")), 2900.0);
    const double gap = MsBetween(Find(log, "installer-end", "one"), Find(log, "launcher-start", "two"));
    EXPECT_GE(gap, 0.0);
    EXPECT_LT(gap, 800.0);
}

// A window that turns up seconds after the launcher has ended is still found;
// its pause begins once its installer has ended.
TEST(FollowUp, AWindowThatTurnsUpLaterIsStillFollowed) {
    WinePrefix prefix;
    prefix.PrepareSysprep(List(
        Item(1, FakeInstallerItem("late", "Late Setup", 3000, 1500), "late setup", 1) +
            Item(2, FakeInstallerItem("next", "Next Setup", 0, 1500), "next setup", 0),
        2));
    EXPECT_EQ(prefix.RunInstallseq().exitCode, 0);
    const std::vector<LogEvent> log = prefix.Log();
    EXPECT_EQ(StartedLabels(log), (std::vector<std::string>{"late", "next"}));
    const double gap = MsBetween(Find(log, "installer-end", "late"), Find(log, "launcher-start", "next"));
    EXPECT_GE(gap, 1000.0);
    EXPECT_LT(gap, 1800.0);
}

// An empty Title is in every title: the first installer window is followed.
TEST(FollowUp, AnEmptyTitleFollowsTheFirstInstallerWindow) {
    WinePrefix prefix;
    prefix.PrepareSysprep(List(
        Item(1, FakeInstallerItem("any", "Some Other Product", 0, 2500), "", -1) +
            Item(2, FakeInstallerItem("next", "Next Setup", 0, 1500), "next setup", 0),
        2));
    EXPECT_EQ(prefix.RunInstallseq().exitCode, 0);
    const std::vector<LogEvent> log = prefix.Log();
    const double gap = MsBetween(Find(log, "installer-end", "any"), Find(log, "launcher-start", "next"));
    EXPECT_GE(gap, 0.0);
    EXPECT_LT(gap, 800.0);
}

// Only the title is folded to lower case: a Title with an upper-case letter
// never matches, so the search gives up after 120 polls, about a minute after
// the item's own process ended. The item's own process is waited for first.
TEST(FollowUpSlow, ATitleWithUpperCaseGivesUpAfterAboutAMinute) {
    WinePrefix prefix;
    prefix.PrepareSysprep(List(
        Item(1, MarkerItem("own", 1500), "Setup", 0) +
            Item(2, FakeInstallerItem("never", "Setup", 0, 8000), "Setup", -1) +
            Item(3, FakeInstallerItem("last", "Last Setup", 0, 1500), "last setup", 0),
        3));
    const WinePrefix::RunResult run = prefix.RunInstallseq(300);
    EXPECT_EQ(run.exitCode, 0);
    const std::vector<LogEvent> log = prefix.Log();
    EXPECT_EQ(StartedLabels(log), (std::vector<std::string>{"own", "never", "last"}));
    EXPECT_GE(MsBetween(Find(log, "start", "own"), Find(log, "end", "own")), 1500.0);
    const double ownGiveUp = MsBetween(Find(log, "end", "own"), Find(log, "launcher-start", "never"));
    EXPECT_GE(ownGiveUp, 60000.0);
    EXPECT_LT(ownGiveUp, 66000.0);
    // The installer's window is up the whole time and still not followed.
    const double giveUp = MsBetween(Find(log, "launcher-end", "never"), Find(log, "launcher-start", "last"));
    EXPECT_GE(giveUp, 60000.0);
    EXPECT_LT(giveUp, 66000.0);
}

}  // namespace
