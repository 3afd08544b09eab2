#include "platform/sim/simulated_windows.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/profile/profile_reader.h"

namespace sim {
namespace {

enum class HandleKind { Process, Thread, RegistryKey };

struct HandleEntry {
    HandleKind kind;
    DWORD processId;      // for process and thread handles
    std::string keyPath;  // for registry keys
};

struct Fault {
    int callsLeft;  // calls to let through before the failing one
    FailMode mode;
    bool active;
};

struct World {
    Millis now = 0;
    Millis clockLimit = Millis(100) * 365 * 24 * 3600 * 1000;
    std::map<std::string, std::map<std::string, std::pair<DWORD, std::string>>> registry;
    std::map<std::string, std::string> files;
    std::map<std::string, ProgramScript> programs;
    std::vector<Process> processes;
    std::vector<Window> windows;
    std::map<std::uintptr_t, HandleEntry> handles;
    std::uintptr_t nextHandle = 0x100;
    DWORD nextProcessId = 1000;
    std::uint64_t nextRaise = 1;
    int handlesOpened = 0;
    int badCloses = 0;
    std::map<std::string, Fault> faults;
    std::map<std::string, int> closeAtCall;  // calls to let through before the closing one
    std::vector<Call> calls;
};

// Outside the world: Reset allocates too, and must not disturb the count.
int serviceDepth = 0;

// Marks a simulated service as running for as long as it lives.
struct InsideService {
    InsideService() { ++serviceDepth; }
    ~InsideService() { --serviceDepth; }
    InsideService(const InsideService&) = delete;
    InsideService& operator=(const InsideService&) = delete;
};

World& TheWorld() {
    static World world;
    return world;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Quoted(const char* text) {
    return text ? "\"" + std::string(text) + "\"" : "null";
}

void Log(const char* name, const std::string& args) {
    TheWorld().calls.push_back({TheWorld().now, name, args});
}

// Whether this call of the service is one that a test asked to fail.
bool Fails(const char* service) {
    auto found = TheWorld().faults.find(service);
    if (found == TheWorld().faults.end() || !found->second.active) return false;
    Fault& fault = found->second;
    if (fault.callsLeft > 0) {
        --fault.callsLeft;
        return false;
    }
    if (fault.mode == FailMode::Once) fault.active = false;
    return true;
}

void AdvanceTo(Millis when) {
    World& world = TheWorld();
    if (when > world.clockLimit) {
        std::fprintf(stderr, "simulated Windows: the clock would pass %llu ms; "
                             "a wait or sleep that never ends?\n",
                     static_cast<unsigned long long>(world.clockLimit));
        std::abort();
    }
    world.now = std::max(world.now, when);
}

HANDLE OpenHandle(HandleKind kind, DWORD processId, const std::string& keyPath = {}) {
    World& world = TheWorld();
    const std::uintptr_t value = world.nextHandle;
    world.nextHandle += 4;
    world.handles[value] = {kind, processId, keyPath};
    ++world.handlesOpened;
    return reinterpret_cast<HANDLE>(value);
}

HandleEntry* FindHandle(const void* handle) {
    auto found = TheWorld().handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == TheWorld().handles.end() ? nullptr : &found->second;
}

Process* FindProcess(DWORD id) {
    for (Process& process : TheWorld().processes) {
        if (process.id == id) return &process;
    }
    return nullptr;
}

bool CloseEntry(const void* handle) {
    World& world = TheWorld();
    auto found = world.handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == world.handles.end()) {
        ++world.badCloses;
        return false;
    }
    world.handles.erase(found);
    return true;
}

Millis Plus(Millis start, Millis after) {
    return after == Forever || start > Forever - after ? Forever : start + after;
}

DWORD StartProcess(Millis at, const ProcessScript& script) {
    World& world = TheWorld();
    const DWORD id = world.nextProcessId;
    world.nextProcessId += 4;
    world.processes.push_back({id, at, Plus(at, script.runsFor), 0});
    for (const WindowScript& shown : script.windows) {
        const Millis shownAt = Plus(at, shown.shownAfter);
        // A process's windows go with it.
        const Millis goneAt = std::min(Plus(at, shown.goneAfter), Plus(at, script.runsFor));
        world.windows.push_back({reinterpret_cast<HWND>(world.nextHandle), shown.className,
                                 shown.title, id, shownAt, goneAt, 0});
        world.nextHandle += 4;
    }
    return id;
}

// Closes the window now when a test asked for this call of the service to
// find it gone.
void CloseIfAsked(const char* service, HWND handle) {
    auto found = TheWorld().closeAtCall.find(service);
    if (found == TheWorld().closeAtCall.end()) return;
    if (found->second > 0) {
        --found->second;
        return;
    }
    TheWorld().closeAtCall.erase(found);
    for (Window& window : TheWorld().windows) {
        if (window.handle == handle) window.goneAt = std::min(window.goneAt, TheWorld().now);
    }
}

bool Exists(const Window& window) {
    const Millis now = TheWorld().now;
    return window.shownAt <= now && now < window.goneAt;
}

// The windows that exist now, top of the Z order first: a window comes to the
// top when it is shown, so the later shown is the higher.
std::vector<const Window*> ZOrder() {
    std::vector<const Window*> order;
    for (const Window& window : TheWorld().windows) {
        if (Exists(window)) order.push_back(&window);
    }
    std::stable_sort(order.begin(), order.end(), [](const Window* a, const Window* b) {
        if (a->shownAt != b->shownAt) return a->shownAt > b->shownAt;
        return a->raisedOrder > b->raisedOrder;
    });
    return order;
}

const Window* FindWindow(HWND handle) {
    for (const Window& window : TheWorld().windows) {
        if (window.handle == handle && Exists(window)) return &window;
    }
    return nullptr;
}

const std::string* FindFile(const char* path) {
    if (path == nullptr) return nullptr;
    auto found = TheWorld().files.find(Lower(path));
    return found == TheWorld().files.end() ? nullptr : &found->second;
}

const HWND DesktopWindow = reinterpret_cast<HWND>(std::uintptr_t(0x10010));

}  // namespace

void Reset() { TheWorld() = World(); }

Millis Now() { return TheWorld().now; }

void SetRegistryValue(const std::string& keyPath, const std::string& name, DWORD type,
                      const std::string& bytes) {
    TheWorld().registry[Lower(keyPath)][Lower(name)] = {type, bytes};
}

void SetRegistryString(const std::string& keyPath, const std::string& name,
                       const std::string& text) {
    const DWORD RegSz = 1;
    SetRegistryValue(keyPath, name, RegSz, text + std::string(1, '\0'));
}

void AddRegistryKey(const std::string& keyPath) { TheWorld().registry[Lower(keyPath)]; }

void SetFile(const std::string& path, const std::string& content) {
    TheWorld().files[Lower(path)] = content;
}

void SetProgram(const std::string& commandLine, const ProgramScript& script) {
    TheWorld().programs[commandLine] = script;
}

DWORD AddProcess(Millis runsFor) { return StartProcess(TheWorld().now, {runsFor, {}}); }

HWND AddWindow(const std::string& className, const std::string& title, DWORD ownerId,
               Millis goneAfter) {
    World& world = TheWorld();
    const HWND handle = reinterpret_cast<HWND>(world.nextHandle);
    world.nextHandle += 4;
    Millis goneAt = Plus(world.now, goneAfter);
    if (const Process* owner = FindProcess(ownerId)) goneAt = std::min(goneAt, owner->endsAt);
    world.windows.push_back({handle, className, title, ownerId, world.now, goneAt,
                             world.nextRaise++});
    return handle;
}

void FailCall(const std::string& service, int nth, FailMode mode) {
    TheWorld().faults[service] = {nth - 1, mode, true};
}

void CloseWindowAtCall(const std::string& service, int nth) {
    TheWorld().closeAtCall[service] = nth - 1;
}

bool InService() { return serviceDepth > 0; }

const std::vector<Call>& Calls() { return TheWorld().calls; }

std::vector<Call> CallsTo(const std::string& service) {
    std::vector<Call> found;
    for (const Call& call : TheWorld().calls) {
        if (call.name == service) found.push_back(call);
    }
    return found;
}

std::vector<std::string> CallNames(const std::vector<std::string>& ignored) {
    std::vector<std::string> names;
    for (const Call& call : TheWorld().calls) {
        if (std::find(ignored.begin(), ignored.end(), call.name) == ignored.end()) {
            names.push_back(call.name);
        }
    }
    return names;
}

int OpenHandleCount() { return static_cast<int>(TheWorld().handles.size()); }
int HandlesOpened() { return TheWorld().handlesOpened; }
int BadCloses() { return TheWorld().badCloses; }

const std::vector<Process>& Processes() { return TheWorld().processes; }

void SetClockLimit(Millis limit) { TheWorld().clockLimit = limit; }

}  // namespace sim

using namespace sim;

// ---- KERNEL32 ----

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out,
                               DWORD outSize, LPCSTR fileName) {
    InsideService inside;
    Log("GetPrivateProfileStringA", "[" + std::string(section) + "] " + std::string(key) +
                                        " default=" + Quoted(defaultValue) +
                                        " size=" + std::to_string(outSize));
    const std::string* file = Fails("GetPrivateProfileStringA") ? nullptr : FindFile(fileName);
    return ProfileReadString(file ? file->data() : nullptr, file ? file->size() : 0, section, key,
                             defaultValue, out, outSize);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName) {
    InsideService inside;
    Log("GetPrivateProfileIntA",
        "[" + std::string(section) + "] " + std::string(key) + " default=" +
            std::to_string(defaultValue));
    const std::string* file = Fails("GetPrivateProfileIntA") ? nullptr : FindFile(fileName);
    return ProfileReadInt(file ? file->data() : nullptr, file ? file->size() : 0, section, key,
                          defaultValue);
}

LPSTR lstrcpynA(LPSTR out, LPCSTR in, int maxCount) {
    InsideService inside;
    if (maxCount <= 0) return out;
    int i = 0;
    for (; i < maxCount - 1 && in[i] != '\0'; ++i) out[i] = in[i];
    out[i] = '\0';
    return out;
}

int lstrcmpA(LPCSTR a, LPCSTR b) {
    InsideService inside;
    const int result = std::strcmp(a, b);
    return result < 0 ? -1 : result > 0 ? 1 : 0;
}

UINT WinExec(LPCSTR commandLine, UINT showState) {
    InsideService inside;
    Log("WinExec", Quoted(commandLine) + " " + std::to_string(showState));
    return Fails("WinExec") ? 2 : 33;  // 31 or less reports a failure
}

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                    LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                    BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation) {
    InsideService inside;
    // The start-up record is logged as "size only" when every field but its
    // size is zero and the size is the record's own.
    STARTUPINFOA zeroed = {};
    zeroed.cb = sizeof zeroed;
    const bool sizeOnly =
        startupInfo && std::memcmp(startupInfo, &zeroed, sizeof zeroed) == 0;
    Log("CreateProcessA",
        "app=" + Quoted(applicationName) + " cmd=" + Quoted(commandLine) +
            " psa=" + (processAttributes ? "set" : "null") +
            " tsa=" + (threadAttributes ? "set" : "null") +
            " inherit=" + std::to_string(inheritHandles) +
            " flags=" + std::to_string(creationFlags) +
            " env=" + (environment ? "set" : "null") + " dir=" + Quoted(currentDirectory) +
            " startup=" + (sizeOnly ? "size-only" : "other"));
    World& world = TheWorld();
    auto program = world.programs.find(commandLine ? commandLine : "");
    if (Fails("CreateProcessA") || program == world.programs.end() ||
        program->second.startFails) {
        return FALSE;
    }
    const ProgramScript& script = program->second;
    const DWORD id = StartProcess(world.now, script.process);
    if (script.leavesInstaller) {
        StartProcess(Plus(world.now, script.installerStartsAfter), script.installer);
    }
    FindProcess(id)->openHandles += 2;
    processInformation->hProcess = OpenHandle(HandleKind::Process, id);
    processInformation->hThread = OpenHandle(HandleKind::Thread, id);
    processInformation->dwProcessId = id;
    processInformation->dwThreadId = id + 1;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    InsideService inside;
    Log("WaitForSingleObject", milliseconds == INFINITE ? "INFINITE" : std::to_string(milliseconds));
    HandleEntry* entry = FindHandle(handle);
    if (Fails("WaitForSingleObject") || entry == nullptr) return WAIT_FAILED;
    const Process* process = FindProcess(entry->processId);
    const Millis endsAt = process->endsAt;
    if (endsAt <= Now()) return WAIT_OBJECT_0;
    if (milliseconds == INFINITE || endsAt - Now() <= milliseconds) {
        AdvanceTo(endsAt);
        return WAIT_OBJECT_0;
    }
    AdvanceTo(Now() + milliseconds);
    return WAIT_TIMEOUT;
}

void Sleep(DWORD milliseconds) {
    InsideService inside;
    Log("Sleep", std::to_string(milliseconds));
    AdvanceTo(Now() + milliseconds);
}

BOOL CloseHandle(HANDLE handle) {
    InsideService inside;
    Log("CloseHandle", "");
    HandleEntry* entry = FindHandle(handle);
    if (entry && entry->kind != HandleKind::RegistryKey) {
        if (Process* process = FindProcess(entry->processId)) --process->openHandles;
    }
    if (entry && entry->kind == HandleKind::RegistryKey) {
        ++TheWorld().badCloses;
        return FALSE;
    }
    return CloseEntry(handle) ? TRUE : FALSE;
}

// A process can be opened while it runs, or after its end while a handle to it
// is still open; otherwise its id no longer names anything.
HANDLE OpenProcess(DWORD desiredAccess, BOOL inheritHandle, DWORD processId) {
    InsideService inside;
    Log("OpenProcess", "access=" + std::to_string(desiredAccess) +
                           " inherit=" + std::to_string(inheritHandle) +
                           " id=" + std::to_string(processId));
    Process* process = FindProcess(processId);
    if (Fails("OpenProcess") || process == nullptr || process->startedAt > Now() ||
        (process->endsAt <= Now() && process->openHandles == 0)) {
        return nullptr;
    }
    ++process->openHandles;
    return OpenHandle(HandleKind::Process, processId);
}

// ---- ADVAPI32 ----

namespace {
const char* RootName(HKEY root) {
    return root == HKEY_USERS ? "HKEY_USERS" : nullptr;
}
}  // namespace

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
    InsideService inside;
    Log("RegOpenKeyExA", std::string(RootName(key) ? RootName(key) : "?") + "\\" +
                             std::string(subKey) + " options=" + std::to_string(options) +
                             " access=" + std::to_string(desired));
    const char* root = RootName(key);
    if (Fails("RegOpenKeyExA")) return ERROR_ACCESS_DENIED;
    if (root == nullptr) return ERROR_INVALID_HANDLE;
    const std::string path = Lower(std::string(root) + "\\" + subKey);
    if (TheWorld().registry.count(path) == 0) return ERROR_FILE_NOT_FOUND;
    HANDLE handle = OpenHandle(HandleKind::RegistryKey, 0, path);
    *result = reinterpret_cast<HKEY>(handle);
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD dataSize) {
    InsideService inside;
    Log("RegQueryValueExA", Quoted(valueName) + " size=" +
                                (dataSize ? std::to_string(*dataSize) : std::string("null")));
    (void)reserved;
    HandleEntry* entry = FindHandle(key);
    if (Fails("RegQueryValueExA")) return ERROR_ACCESS_DENIED;
    if (entry == nullptr || entry->kind != HandleKind::RegistryKey) return ERROR_INVALID_HANDLE;
    const auto& values = TheWorld().registry[entry->keyPath];
    auto found = values.find(Lower(valueName ? valueName : ""));
    if (found == values.end()) return ERROR_FILE_NOT_FOUND;
    const std::string& bytes = found->second.second;
    if (type) *type = found->second.first;
    if (data && bytes.size() > *dataSize) {
        *dataSize = static_cast<DWORD>(bytes.size());
        return ERROR_MORE_DATA;
    }
    if (data) std::memcpy(data, bytes.data(), bytes.size());
    *dataSize = static_cast<DWORD>(bytes.size());
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    InsideService inside;
    Log("RegCloseKey", "");
    HandleEntry* entry = FindHandle(key);
    if (entry == nullptr || entry->kind != HandleKind::RegistryKey) {
        ++TheWorld().badCloses;
        return ERROR_INVALID_HANDLE;
    }
    CloseEntry(key);
    return ERROR_SUCCESS;
}

// ---- USER32 ----

HWND GetDesktopWindow() {
    InsideService inside;
    Log("GetDesktopWindow", "");
    return DesktopWindow;
}

HWND GetWindow(HWND window, UINT command) {
    InsideService inside;
    Log("GetWindow", command == GW_CHILD ? "GW_CHILD" : command == GW_HWNDNEXT ? "GW_HWNDNEXT"
                                                                               : "?");
    const std::vector<const Window*> order = ZOrder();
    if (command == GW_CHILD) {
        return window == DesktopWindow && !order.empty() ? order.front()->handle : nullptr;
    }
    if (command != GW_HWNDNEXT) return nullptr;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i]->handle == window) {
            return i + 1 < order.size() ? order[i + 1]->handle : nullptr;
        }
    }
    return nullptr;
}

namespace {
int CopyWindowText(const std::string& text, LPSTR out, int outSize) {
    if (outSize <= 0) return 0;
    const int length = std::min<int>(static_cast<int>(text.size()), outSize - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
    return length;
}
}  // namespace

int GetClassNameA(HWND window, LPSTR out, int outSize) {
    InsideService inside;
    Log("GetClassNameA", std::to_string(outSize));
    CloseIfAsked("GetClassNameA", window);
    const Window* found = FindWindow(window);
    if (Fails("GetClassNameA") || found == nullptr) return 0;
    return CopyWindowText(found->className, out, outSize);
}

int GetWindowTextA(HWND window, LPSTR out, int outSize) {
    InsideService inside;
    Log("GetWindowTextA", std::to_string(outSize));
    CloseIfAsked("GetWindowTextA", window);
    const Window* found = FindWindow(window);
    if (Fails("GetWindowTextA") || found == nullptr) {
        if (outSize > 0) out[0] = '\0';
        return 0;
    }
    return CopyWindowText(found->title, out, outSize);
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    InsideService inside;
    Log("GetWindowThreadProcessId", "");
    CloseIfAsked("GetWindowThreadProcessId", window);
    const Window* found = FindWindow(window);
    if (Fails("GetWindowThreadProcessId") || found == nullptr) return 0;
    if (processId) *processId = found->ownerId;
    return found->ownerId + 1;
}
