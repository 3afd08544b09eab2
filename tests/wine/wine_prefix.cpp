#include "wine_prefix.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

// Runs argv with extra environment entries, waits, returns the exit code.
int Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
          const std::string& outputFile) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        // No display: windows go to Wine's null driver.
        if (text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0) continue;
        bool overridden = false;
        for (const std::string& extra : extraEnv) {
            overridden = overridden || text.substr(0, text.find('=') + 1) ==
                                           extra.substr(0, extra.find('=') + 1);
        }
        if (!overridden) env.push_back(text);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp, args;
    for (std::string& entry : env) envp.push_back(&entry[0]);
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy = argv;
    for (std::string& arg : argvCopy) args.push_back(&arg[0]);
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string out = outputFile.empty() ? "/dev/null" : outputFile;
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed) {
        ADD_FAILURE() << "cannot start " << argv[0];
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string SourceDir() { return Env("INSTALLSEQ_SOURCE_DIR"); }

}  // namespace

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        ADD_FAILURE() << name << " is not set: run the end-to-end tests through CTest";
        return {};
    }
    return value;
}

const E2EBuild& E2EBuild::Get() {
    static const E2EBuild build{Env("INSTALLSEQ_EXE"), Env("INSTALLSEQ_HELPERS"),
                                Env("INSTALLSEQ_WINE_TEMPLATE")};
    return build;
}

WinePrefix::WinePrefix() {
    char root[] = "/tmp/installseq-e2e-XXXXXX";
    root_ = mkdtemp(root) ? root : "";
    prefix_ = root_ + "/pfx";
    const int copied = Spawn({"bash", SourceDir() + "/tests/wine/copy_prefix.sh",
                              E2EBuild::Get().templatePrefix, prefix_},
                             {}, "");
    if (copied != 0) ADD_FAILURE() << "cannot copy the template prefix";
}

WinePrefix::~WinePrefix() {
    Spawn({"wineserver", "-k"}, {"WINEPREFIX=" + prefix_}, "");
    if (root_.rfind("/tmp/installseq-e2e-", 0) == 0) Spawn({"rm", "-rf", root_}, {}, "");
}

std::string WinePrefix::HostPath(const std::string& belowDriveC) const {
    std::string path = prefix_ + "/drive_c/" + belowDriveC;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

void WinePrefix::WriteFile(const std::string& belowDriveC, const std::string& content) const {
    std::ofstream(HostPath(belowDriveC), std::ios::binary) << content;
}

std::string WinePrefix::ReadFile(const std::string& belowDriveC) const {
    return Slurp(HostPath(belowDriveC));
}

void WinePrefix::CopyHelper(const std::string& helper, const std::string& belowDriveC) const {
    Spawn({"cp", E2EBuild::Get().helpers + "/" + helper, HostPath(belowDriveC)}, {}, "");
}

int WinePrefix::Wine(const std::vector<std::string>& args, int timeoutSeconds,
                     std::string* output) const {
    std::vector<std::string> argv = {"timeout", "-k", "5", std::to_string(timeoutSeconds), "wine"};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string outFile = root_ + "/wine-output.txt";
    const int code = Spawn(argv,
                           {"WINEPREFIX=" + prefix_, "WINEDEBUG=-all",
                            "WINEDLLOVERRIDES=mscoree,mshtml=", "LC_ALL=C.UTF-8"},
                           outFile);
    if (output) *output = Slurp(outFile);
    return code;
}

void WinePrefix::WaitForAll() const {
    Spawn({"timeout", "120", "wineserver", "-w"}, {"WINEPREFIX=" + prefix_}, "");
}

void WinePrefix::SetLocale(const std::string& value) const {
    EXPECT_EQ(Wine({"reg", "add", "HKU\\.Default\\Control Panel\\International", "/v", "Locale",
                    "/d", value, "/f"},
                   60),
              0);
}

std::string WinePrefix::QueryValue(const std::string& key, const std::string& name) const {
    std::string output;
    if (Wine({"reg", "query", key, "/v", name}, 60, &output) != 0) return "";
    // "    Name    REG_SZ    data"
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const size_t type = line.find("REG_");
        if (type == std::string::npos) continue;
        size_t data = line.find_first_of(" \t", type);
        data = line.find_first_not_of(" \t", data);
        std::string value = data == std::string::npos ? "" : line.substr(data);
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
        return value;
    }
    return "";
}

void WinePrefix::PrepareSysprep(const std::string& pathIni) const {
    Spawn({"mkdir", "-p", HostPath("sysprep")}, {}, "");
    WriteFile("sysprep/path.ini", pathIni);
    WriteFile("sysprep/sys_hide.reg",
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\InstallseqTest]\r\n"
              "\"SysHide\"=\"imported\"\r\n");
    WriteFile("sysprep/arunonce.reg",
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\InstallseqTest]\r\n"
              "\"RunOnce\"=\"imported\"\r\n");
    CopyHelper("marker.exe", "sysprep/marker.exe");
    CopyHelper("fake_installer.exe", "sysprep/fake_installer.exe");
}

std::vector<LogEvent> WinePrefix::Log() const {
    std::vector<LogEvent> events;
    std::istringstream lines(ReadFile("sysprep/log.txt"));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        LogEvent event;
        fields >> event.us >> event.event >> event.label;
        std::getline(fields >> std::ws, event.detail);
        events.push_back(event);
    }
    return events;
}

WinePrefix::RunResult WinePrefix::RunInstallseq(int timeoutSeconds) const {
    const auto start = std::chrono::steady_clock::now();
    const int code = Wine({E2EBuild::Get().installseq}, timeoutSeconds);
    const auto end = std::chrono::steady_clock::now();
    WaitForAll();  // the imports the run started, and anything it left running
    return {code, std::chrono::duration<double>(end - start).count()};
}

std::string MarkerItem(const std::string& label, int runMs, int exitCode) {
    return std::string("C:\\sysprep\\marker.exe ") + ItemLog + " " + label + " " +
           std::to_string(runMs) + " " + std::to_string(exitCode);
}

std::string FakeInstallerItem(const std::string& label, const std::string& title, int showAfterMs,
                              int lifeMs) {
    return std::string("C:\\sysprep\\fake_installer.exe ") + ItemLog + " " + label + " \"" + title +
           "\" " + std::to_string(showAfterMs) + " " + std::to_string(lifeMs);
}

const LogEvent& Find(const std::vector<LogEvent>& log, const std::string& event,
                     const std::string& label) {
    for (const LogEvent& entry : log) {
        if (entry.event == event && entry.label == label) return entry;
    }
    ADD_FAILURE() << "no \"" << event << " " << label << "\" in the log";
    static const LogEvent none{0, "", "", ""};
    return none;
}

std::vector<std::string> StartedLabels(const std::vector<LogEvent>& log) {
    std::vector<std::string> labels;
    for (const LogEvent& entry : log) {
        if (entry.event == "start" || entry.event == "launcher-start") labels.push_back(entry.label);
    }
    return labels;
}
