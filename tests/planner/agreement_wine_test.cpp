// installplan.exe under Wine, without arguments, on a prepared machine: the
// registry's language and C:\sysprep\path.ini. What it says will run is what
// installseq.exe then runs.
#include <gtest/gtest.h>

#include <sstream>

#include "json_lite.h"
#include "planner_wine.h"
#include "wine_prefix.h"

namespace {

std::string Item(int n, const std::string& label, int time) {
    const std::string i = std::to_string(n);
    return "Path" + i + "=" + FakeInstallerItem(label, "Setup " + label, 0, 1500) + "\r\nTitle" +
           i + "=setup " + label + "\r\nTime" + i + "=" + std::to_string(time) + "\r\n";
}

// The label of an item that starts a helper: its third word.
std::string Label(const std::string& commandLine) {
    std::istringstream words(commandLine);
    std::string program, log, label;
    words >> program >> log >> label;
    return label;
}

TEST(PlannerAgreement, WhatInstallplanShowsIsWhatInstallseqRuns) {
    WinePrefix prefix;
    // Item 2 has no Path and starts nothing; item 4 lies beyond Num.
    prefix.PrepareSysprep("[OS_Language_Tag]\r\n0409=ENU\r\n0407=GER\r\n"
                          "[ENUPath]\r\nNum=1\r\n" + Item(1, "e1", 0) +
                          "[GERPath]\r\nNum=3\r\n" + Item(1, "g1", 1) +
                          "Title2=setup g2\r\nTime2=0\r\n" + Item(3, "g3", -1) + Item(4, "g4", 0));
    prefix.SetLocale("00000407");

    std::string output;
    const int planned = prefix.Wine({PlannerBuild::Get().windowsPlanner, "--json"}, 120, &output);
    EXPECT_EQ(planned, 1) << output;  // path-missing, keys-beyond-num
    Json plan;
    ASSERT_TRUE(ParseJson(output, plan)) << output;
    EXPECT_EQ(plan["language_key"].text, "0407");
    EXPECT_EQ(plan["language_tag"].text, "GER");
    EXPECT_EQ(plan["section"].text, "GERPath");
    std::vector<std::string> startLabels;
    for (const Json& item : plan["items"].items)
        if (!item["path"].text.empty() && item["path"].text != " ")
            startLabels.push_back(Label(item["path"].text));
    std::vector<std::string> codes;
    for (const Json& w : plan["warnings"].items) codes.push_back(w["code"].text);
    EXPECT_EQ(codes, (std::vector<std::string>{"keys-beyond-num", "path-missing"}));

    const WinePrefix::RunResult run = prefix.RunInstallseq(120);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(StartedLabels(prefix.Log()), startLabels);
    EXPECT_EQ(startLabels, (std::vector<std::string>{"g1", "g3"}));

    // The plain output, too, names the file it read and the registry's value.
    ASSERT_EQ(prefix.Wine({PlannerBuild::Get().windowsPlanner}, 120, &output), 1);
    EXPECT_NE(output.find("install list  C:\\sysprep\\path.ini"), std::string::npos) << output;
    EXPECT_NE(output.find("language key  0407 (the registry's Locale 00000407)"),
              std::string::npos)
        << output;
}

}  // namespace
