#include "planner_wine.h"

#include "../wine/wine_prefix.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string ShellQuote(const std::string& arg) {
    std::string out = "'";
    for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

const PlannerBuild& PlannerBuild::Get() {
    static const PlannerBuild build{Env("INSTALLPLAN_HOST"), Env("INSTALLPLAN_EXE"),
                                    Env("INSTALLPLAN_CORPUS")};
    return build;
}

RunOutput RunHostPlanner(const std::vector<std::string>& args) {
    std::string command = ShellQuote(PlannerBuild::Get().hostPlanner);
    for (const std::string& arg : args) command += " " + ShellQuote(arg);
    RunOutput run{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) run.out.append(chunk, got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string SlurpFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
