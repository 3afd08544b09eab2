// What an install run will do with an install list, and what in the list is
// likely a mistake. The values come from the configuration code (the same
// reading installseq does); the raw file is looked at only for what that
// reading cannot show: duplicates, keys nobody reads, the byte-order mark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/install_list.h"

struct PlanWarning {
    int item;  // 0: about the whole file
    std::string code;
    std::string message;
};

// How the system will split a command line into the program it starts.
struct ProgramSplit {
    bool quoted;
    // The names Windows tries, in order, each with ".exe" added where the name
    // has no extension; one unless the line is unquoted and has blanks.
    std::vector<std::string> candidates;
    int intended;  // the candidate the writer most likely meant
};
ProgramSplit SplitCommandLine(const std::string& commandLine);

// Where a Windows path lies below root (the folder that stands for C:\), with
// names matched without regard to case. Empty when it is not there or is not
// a file; *checkable is false when the path is not one that can be looked up
// below root (another drive, a relative path with folders).
std::string FindBelowRoot(const std::string& root, const std::string& windowsPath,
                          bool* checkable);

struct PlannedItem {
    int number;
    std::string path;
    std::string title;
    std::int32_t time;
    std::string program;  // as shown: the program that will be started
    bool starts;          // a program is started (as far as can be told)
};

struct Plan {
    std::string languageKey;
    std::string keyOrigin;
    std::string tag;
    std::string section;
    std::int32_t num;
    std::vector<PlannedItem> items;
    std::vector<PlanWarning> warnings;
    double estimatedSeconds;
};

struct PlanInput {
    std::string data;         // the file's bytes
    std::string keyOrigin;    // where the language key came from, for the text
    std::string root;         // empty: no program checks
    InstallList list;
    InstallListSource source;
};

Plan MakePlan(const PlanInput& input);
std::string PlanText(const Plan& plan);
std::string PlanJson(const Plan& plan);
