// installplan: shows what installseq will do with an install list, before it
// runs, and what in the list is likely a mistake.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "config/install_list.h"
#include "planner/plan.h"
#include "platform/windows_services.h"

namespace {

const char Usage[] =
    "usage: installplan [--ini FILE] [--locale VALUE] [--root DIR] [--json]\n"
    "\n"
    "Shows what installseq will do with an install list, before anything runs: the\n"
    "language key and tag, the list section, each item with the program it starts,\n"
    "its title fragment and pause; what in the list is likely a mistake; and the time\n"
    "the run adds beyond the installers' own work.\n"
    "\n"
    "  --ini FILE      the install list to read"
#ifdef _WIN32
    " (default C:\\sysprep\\path.ini)\n"
#else
    " (required on this system)\n"
#endif
    "  --locale VALUE  the registry's Locale value, such as 00000407; it gives the\n"
    "                  language key as installseq derives it (its fifth to eighth\n"
    "                  characters). Without it"
#ifdef _WIN32
    " the registry is read, as installseq does.\n"
#else
    " the key is 0409, the one installseq\n"
    "                  falls back to when the registry has no Locale.\n"
#endif
    "  --root DIR      the folder that stands for C:\\ (a mounted or unpacked image):\n"
    "                  also check that the program of each item exists there\n"
    "                  (names match without regard to case, as on Windows)\n"
    "  --json          print the plan as one JSON object; bytes above 127 in values\n"
    "                  are written one each as \\u0080..\\u00ff\n"
    "  --help          show this text\n"
    "\n"
    "Exit code: 0 when nothing was found, 1 when there are warnings, 2 for bad usage\n"
    "or a file that cannot be read.\n";

int UsageError(const std::string& message) {
    std::fprintf(stderr, "installplan: %s (installplan --help shows the usage)\n",
                 message.c_str());
    return 2;
}

int FileError(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "installplan: %s: %s\n", file.c_str(), reason.c_str());
    return 2;
}

// The whole file, or false with the reason it cannot be read.
bool ReadFile(const std::string& name, std::string& data, std::string& reason) {
    std::error_code error;
    if (std::filesystem::is_directory(name, error)) {
        reason = "is a folder, not an install list";
        return false;
    }
    errno = 0;
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) {
        reason = errno == ENOENT ? "no such file" : std::strerror(errno);
        return false;
    }
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.append(chunk, got);
    const bool ok = !std::ferror(file);
    if (!ok) reason = std::strerror(errno ? errno : EIO);
    std::fclose(file);
    return ok;
}

// Where the key came from when it was not given: what installseq would find.
std::string RegistryOrigin() {
#ifdef _WIN32
    HKEY international;
    if (RegOpenKeyExA(HKEY_USERS, ".Default\\Control Panel\\International", 0, KEY_QUERY_VALUE,
                      &international) != ERROR_SUCCESS)
        return "no International key in the registry: the default";
    char locale[LocaleBufferSize] = {};
    DWORD size = sizeof locale;
    const LSTATUS status = RegQueryValueExA(international, "Locale", nullptr, nullptr,
                                            reinterpret_cast<LPBYTE>(locale), &size);
    RegCloseKey(international);
    if (status != ERROR_SUCCESS) return "no readable Locale in the registry: the default";
    return std::string("the registry's Locale ") + std::string(locale, strnlen(locale, size));
#else
    return "no --locale: the default installseq takes without a Locale";
#endif
}

}  // namespace

int main(int argc, char** argv) {
    std::string ini, locale, root;
    bool haveIni = false, haveLocale = false, haveRoot = false, json = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string* value = nullptr;
        bool* seen = nullptr;
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg == "--json") {
            json = true;
            continue;
        } else if (arg == "--ini") {
            value = &ini, seen = &haveIni;
        } else if (arg == "--locale") {
            value = &locale, seen = &haveLocale;
        } else if (arg == "--root") {
            value = &root, seen = &haveRoot;
        } else {
            return UsageError("unknown argument " + arg);
        }
        if (*seen) return UsageError(arg + " given twice");
        if (i + 1 >= argc) return UsageError(arg + " needs a value");
        *value = argv[++i];
        *seen = true;
    }
    if (haveRoot && root.empty()) return UsageError("--root needs a folder");
    if (haveRoot) {
        std::error_code error;
        if (!std::filesystem::is_directory(root, error))
            return FileError(root, "is not a folder");
    }

#ifdef _WIN32
    if (!haveIni) ini = ProfileFile;
    // The profile functions look for a relative name in the Windows folder.
    char full[1024];
    const DWORD length = GetFullPathNameA(ini.c_str(), sizeof full, full, nullptr);
    const std::string profileFile = length > 0 && length < sizeof full ? full : ini;
#else
    if (!haveIni)
        return UsageError(std::string("give the install list with --ini FILE (there is no ") +
                          ProfileFile + " on this system)");
    const std::string profileFile = ini;
#endif

    PlanInput input;
    input.root = root;
    std::string reason;
    if (!ReadFile(profileFile, input.data, reason)) return FileError(ini, reason);

    char key[LanguageKeyCapacity + 1];
    if (haveLocale) {
        LanguageKeyFromLocale(locale.c_str(), key);
        input.keyOrigin = "--locale " + locale;
        if (locale.size() >= LocaleBufferSize) input.keyOrigin += ", too long: the default";
    } else {
        ReadLanguageKey(key);
        input.keyOrigin = RegistryOrigin();
    }
    ReadInstallList(profileFile.c_str(), key, input.list, &input.source);

    const Plan plan = MakePlan(input);
    const std::string out = json ? PlanJson(plan) : "install list  " + ini + "\n" + PlanText(plan);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    return plan.warnings.empty() ? 0 : 1;
}
