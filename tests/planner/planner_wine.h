// What the planner's Wine tests need beyond the prefix: where the planner
// builds and the corpus are, and running the host installplan.
#pragma once

#include <string>
#include <vector>

struct PlannerBuild {
    std::string hostPlanner;     // build/host/installplan
    std::string windowsPlanner;  // the installplan.exe under test
    std::string corpus;          // folder of the corpus install lists
    static const PlannerBuild& Get();
};

struct RunOutput {
    int exitCode;
    std::string out;
};

// Runs the host installplan with args; its standard output.
RunOutput RunHostPlanner(const std::vector<std::string>& args);

std::string SlurpFile(const std::string& path);
