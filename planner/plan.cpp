#include "planner/plan.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/profile/profile_reader.h"

namespace {

const char TagSectionName[] = "OS_Language_Tag";
// Far more than any value installseq keeps: for telling how long a value really is.
const unsigned WideValue = 1u << 16;
// A pause longer than this is most likely milliseconds written as seconds.
const long long LongestLikelyPause = 3600;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Strip(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
    return ProfileNamesEqual(a.data(), a.size(), b.data(), b.size());
}

bool EndsWithNoCase(const std::string& text, const char* suffix) {
    const std::string s(suffix);
    if (text.size() < s.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (Lower(text[text.size() - s.size() + i]) != Lower(s[i])) return false;
    return true;
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

// ---- the raw file, line by line, through the project's own scanner ----

struct RawKey {
    std::string name;
    size_t line;
};

struct RawSection {
    std::string name;
    size_t line;  // 0 for the lines before the first section
    std::vector<RawKey> keys;
};

std::vector<RawSection> ScanSections(const std::string& data) {
    std::vector<RawSection> sections(1, RawSection{"", 0, {}});
    ProfileCursor* cursor = new ProfileCursor;
    ProfileBeginLines(cursor, data.data(), data.size());
    ProfileLine line;
    while (ProfileNextLine(cursor, &line)) {
        if (line.kind == ProfileSection) {
            sections.push_back(RawSection{std::string(line.name ? line.name : "", line.nameLen),
                                          line.lineNumber, {}});
        } else if (line.kind == ProfileKey) {
            sections.back().keys.push_back(
                RawKey{std::string(line.name ? line.name : "", line.nameLen), line.lineNumber});
        }
    }
    delete cursor;
    return sections;
}

// The section the reader searches for name: the first of that name.
const RawSection* FindSection(const std::vector<RawSection>& sections, const std::string& name) {
    const std::string wanted = Strip(name);
    for (size_t i = 1; i < sections.size(); ++i)
        if (SameName(sections[i].name, wanted)) return &sections[i];
    return nullptr;
}

const RawKey* FindKey(const RawSection* section, const std::string& key) {
    if (!section) return nullptr;
    const std::string wanted = Strip(key);
    for (const RawKey& k : section->keys)
        if (SameName(k.name, wanted)) return &k;
    return nullptr;
}

// The whole value as the reader gives it (quotes removed), however long.
std::string FullValue(const std::string& data, const std::string& section, const std::string& key) {
    std::string out(WideValue, '\0');
    const unsigned length = ProfileReadString(data.data(), data.size(), section.c_str(),
                                              key.c_str(), "", &out[0], WideValue);
    out.resize(length);
    return out;
}

// "Path", "Title" or "Time" followed by an item number as installseq writes
// it (no leading zeros); 0 for any other name.
int ItemKeyNumber(const std::string& name) {
    static const char* const prefixes[] = {"Path", "Title", "Time"};
    for (const char* prefix : prefixes) {
        const size_t length = std::string(prefix).size();
        if (name.size() <= length || !ProfileNamesEqual(name.data(), length, prefix, length))
            continue;
        const std::string digits = name.substr(length);
        if (digits[0] == '0' || digits.size() > 9) return 0;
        int n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return 0;
            n = n * 10 + (c - '0');
        }
        return n;
    }
    return 0;
}

class Collector {
public:
    explicit Collector(std::vector<PlanWarning>& out) : out_(out) {}
    void Add(int item, const char* code, const std::string& message) {
        out_.push_back(PlanWarning{item, code, message});
    }

private:
    std::vector<PlanWarning>& out_;
};

void CheckDuplicates(const std::vector<RawSection>& sections, const std::string& tagSection,
                     const std::string& listSection, Collector& warn) {
    for (size_t i = 1; i < sections.size(); ++i) {
        const RawSection* first = FindSection(sections, sections[i].name);
        if (first == &sections[i]) continue;
        bool reported = false;
        for (size_t j = 1; j < i; ++j)
            if (&sections[j] != first && SameName(sections[j].name, sections[i].name))
                reported = true;
        if (reported) continue;
        warn.Add(0, "duplicate-section",
                 "Section [" + sections[i].name + "] appears again on line " +
                     std::to_string(sections[i].line) + ": only the first one, on line " +
                     std::to_string(first->line) + ", is read; merge the two.");
    }
    for (int which = 0; which < 2; ++which) {
        const bool isList = which == 1;
        const std::string& name = isList ? listSection : tagSection;
        const RawSection* section = FindSection(sections, name);
        if (!section || (isList && SameName(Strip(name), tagSection))) continue;
        for (size_t i = 0; i < section->keys.size(); ++i) {
            const RawKey* first = FindKey(section, section->keys[i].name);
            if (first == &section->keys[i]) continue;
            const int n = isList ? ItemKeyNumber(section->keys[i].name) : 0;
            warn.Add(n, "duplicate-key",
                     section->keys[i].name + " appears again in [" + section->name +
                         "] on line " + std::to_string(section->keys[i].line) +
                         ": only the first one, on line " + std::to_string(first->line) +
                         ", counts; remove the other.");
        }
    }
}

// The number a Time value is meant to be, for telling what the read makes of
// it: sign and digits at the start, and whether anything follows.
struct TimeText {
    bool startsWithDigit;
    bool trailing;
    bool overflows;  // more than a signed 32-bit number holds
};

TimeText ParseTimeText(const std::string& text) {
    TimeText t{false, false, false};
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value < (1LL << 40)) value = value * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    t.startsWithDigit = digits > 0;
    t.trailing = i < text.size();
    t.overflows = negative ? value > (1LL << 31) : value > 0x7FFFFFFFLL;
    return t;
}

void CheckTime(const std::string& data, const std::string& section, int n, std::int32_t time,
               bool present, Collector& warn) {
    const std::string key = "Time" + std::to_string(n);
    const std::string text = present ? FullValue(data, section, key) : "";
    const TimeText t = ParseTimeText(text);
    const std::string reads = "it reads as " + std::to_string(time);
    if (present && !text.empty() && !t.startsWithDigit) {
        warn.Add(n, "time-not-numeric",
                 key + " is " + Quote(text) + ": " + reads +
                     ", a pause of 0 s; write a whole number of seconds (-1 for no pause).");
    } else if (present && t.trailing) {
        warn.Add(n, "time-not-numeric",
                 key + " is " + Quote(text) + ": only the leading number counts, " + reads +
                     "; write just the number of seconds.");
    }
    if (t.startsWithDigit && t.overflows) {
        warn.Add(n, "time-too-large",
                 key + " is " + Quote(text) + ", beyond 32 bits: it wraps, " + reads +
                     " s; write the number of seconds wanted.");
    } else if (time > LongestLikelyPause) {
        warn.Add(n, "time-too-large",
                 key + " is " + std::to_string(time) + " s (" +
                     std::to_string(time / 3600) +
                     " h): the run pauses that long after item " + std::to_string(n) +
                     "; Time is in seconds, not milliseconds.");
    }
}

bool HasUpper(const std::string& text) {
    for (char c : text)
        if (c >= 'A' && c <= 'Z') return true;
    return false;
}

std::string Lowered(std::string text) {
    for (char& c : text) c = Lower(c);
    return text;
}

bool AllBlank(const std::string& text) { return Strip(text).empty(); }

// The program the item starts, as shown, and the warnings about it.
void CheckProgram(const PlanInput& input, PlannedItem& item, Collector& warn) {
    const int n = item.number;
    const ProgramSplit split = SplitCommandLine(item.path);
    if (split.candidates.empty()) {
        item.program = "(none)";
        item.starts = false;
        return;
    }
    item.starts = true;
    item.program = split.candidates[split.intended];
    int found = -1;
    bool intendedCheckable = true;
    if (!input.root.empty()) {
        // Windows starts the first of the names that exists.
        for (size_t i = 0; i < split.candidates.size() && found < 0; ++i) {
            bool checkable = true;
            if (!FindBelowRoot(input.root, split.candidates[i], &checkable).empty()) found = int(i);
            if (int(i) == split.intended) intendedCheckable = checkable;
        }
        if (found >= 0) {
            item.program = split.candidates[found];
        } else if (intendedCheckable) {
            item.starts = false;
            item.program += " (not found)";
            warn.Add(n, "program-not-found",
                     "Item " + std::to_string(n) + " starts " + split.candidates[split.intended] +
                         ", which is not found below " + input.root +
                         " (standing for C:\\): nothing is started and the item is passed over; "
                         "fix Path" +
                         std::to_string(n) + " or add the program to the image.");
        } else {
            item.program += " (not checked: not a path below C:\\)";
        }
    }
    if (!split.quoted && (split.intended > 0 || found > 0)) {
        std::string tried;
        const int before = found >= 0 ? found : split.intended;
        for (int i = 0; i < before; ++i) tried += (i ? ", " : "") + split.candidates[i];
        if (before > 0) item.program += " (Windows first tries " + tried + ")";
        warn.Add(n, "path-unquoted-spaces",
                 "Path" + std::to_string(n) + " has a program path with a blank and no quotes: " +
                     "Windows tries " + split.candidates[0] + " first and may start a different " +
                     "program (a known way to plant one); put the program path in double quotes.");
    }
}

void CheckItem(const PlanInput& input, const RawSection* section, PlannedItem& item,
               Collector& warn) {
    const int n = item.number;
    const std::string num = std::to_string(n);
    const std::string& sectionName = input.source.ListSection;
    if (AllBlank(item.path)) {
        warn.Add(n, "path-missing",
                 std::string("Path") + num +
                     (FindKey(section, "Path" + num) ? " is empty" : " is missing") +
                     ": nothing is started for item " + num +
                     " (its pause is still taken); give the command line to run.");
    } else {
        const std::string full = FullValue(input.data, sectionName, "Path" + num);
        if (full.size() > PathCapacity)
            warn.Add(n, "path-truncated",
                     "Path" + num + " is " + std::to_string(full.size()) +
                         " characters long: installseq keeps the first " +
                         std::to_string(PathCapacity) + ", so the command line ends in " +
                         Quote(item.path.substr(item.path.size() - 20)) + "; shorten it.");
    }
    CheckProgram(input, item, warn);

    if (!FindKey(section, "Title" + num)) {
        warn.Add(n, "title-missing",
                 "Title" + num + " is missing: the default fragment applies, which on Windows " +
                     "matches the first installer window of any title (under Wine, any title " +
                     "with a blank); add Title" + num +
                     "=<part of the window title, in lower case>.");
    } else {
        const std::string full = FullValue(input.data, sectionName, "Title" + num);
        if (full.size() > TitleCapacity)
            warn.Add(n, "title-truncated",
                     "Title" + num + " is " + std::to_string(full.size()) +
                         " characters long: only its first " + std::to_string(TitleCapacity) +
                         ", " + Quote(item.title) + ", are looked for; shorten it.");
    }
    if (HasUpper(item.title))
        warn.Add(n, "title-uppercase",
                 "Title" + num + " " + Quote(item.title) +
                     " has upper-case letters and never matches the lower-cased window title" +
                     (item.starts ? ", so item " + num + " costs a minute of searching" : "") +
                     "; write it as " +
                     Quote(Lowered(item.title)) + ".");

    CheckTime(input.data, sectionName, n, item.time, FindKey(section, "Time" + num) != nullptr,
              warn);
}

void CheckList(const PlanInput& input, const RawSection* listSection, Collector& warn) {
    const std::int32_t num = input.list.Num;
    const std::string name = input.source.ListSection;
    if (ItemCount(input.list) == 0) {
        std::string why;
        if (input.source.TagTooLong)
            why = "the tag is too long for a section name";
        else if (!listSection)
            why = "there is no section [" + Strip(name) + "]";
        else if (!FindKey(listSection, "Num"))
            why = "[" + listSection->name + "] has no Num";
        else
            why = "Num is " + std::to_string(num);
        warn.Add(0, "list-empty",
                 "Nothing is installed: " + why +
                     "; give the list section of the tag a Num of 1 or more.");
    }
    if (num > MaxItems)
        warn.Add(0, "num-over-capacity",
                 "Num is " + std::to_string(num) + ", but installseq runs at most " +
                     std::to_string(MaxItems) + " items: items " + std::to_string(MaxItems + 1) +
                     " to " + std::to_string(num) + " never run; split the list.");
    if (!listSection) return;
    std::vector<int> reported;
    for (const RawKey& key : listSection->keys) {
        const int n = ItemKeyNumber(key.name);
        if (n == 0 || n <= num || FindKey(listSection, key.name) != &key) continue;
        bool seen = false;
        for (int r : reported) seen = seen || r == n;
        if (seen) continue;
        reported.push_back(n);
        warn.Add(n, "keys-beyond-num",
                 key.name + " (line " + std::to_string(key.line) + ") belongs to item " +
                     std::to_string(n) + ", but Num is " + std::to_string(num) +
                     ": that item never runs; raise Num or remove its keys.");
    }
}

}  // namespace

ProgramSplit SplitCommandLine(const std::string& commandLine) {
    ProgramSplit split{false, {}, 0};
    size_t start = 0;
    while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
    size_t end = commandLine.size();
    while (end > start && IsBlank(commandLine[end - 1])) --end;
    if (start == end) return split;
    std::vector<std::string> names;
    if (commandLine[start] == '"') {
        split.quoted = true;
        const size_t close = commandLine.find('"', start + 1);
        names.push_back(commandLine.substr(start + 1, (close == std::string::npos ? end : close) -
                                                          start - 1));
    } else {
        for (size_t i = start + 1; i < end; ++i)
            if (IsBlank(commandLine[i]) && !IsBlank(commandLine[i - 1]))
                names.push_back(commandLine.substr(start, i - start));
        names.push_back(commandLine.substr(start, end - start));
    }
    static const char* const programKinds[] = {".exe", ".com", ".bat", ".cmd"};
    // A later name is the one meant only when the first is a path that names no
    // program of its own ("C:\Program" of "C:\Program Files\..."); "cmd /c x.cmd"
    // means cmd.
    const std::string& first = names[0];
    const size_t firstSlash = first.find_last_of("\\/");
    bool intendedFound = split.quoted || firstSlash == std::string::npos ||
                         first.find('.', firstSlash) != std::string::npos;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string name = names[i];
        const size_t slash = name.find_last_of("\\/");
        const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
        // Windows adds ".exe" to a program name without an extension.
        if (last.find('.') == std::string::npos && !last.empty()) name += ".exe";
        split.candidates.push_back(name);
        for (const char* kind : programKinds)
            if (!intendedFound && EndsWithNoCase(names[i], kind)) {
                split.intended = int(i);
                intendedFound = true;
            }
    }
    return split;
}

std::string FindBelowRoot(const std::string& root, const std::string& windowsPath,
                          bool* checkable) {
    namespace fs = std::filesystem;
    *checkable = true;
    std::string rest;
    std::vector<std::string> folders;
    const bool drive = windowsPath.size() >= 2 && windowsPath[1] == ':';
    if (drive && Lower(windowsPath[0]) == 'c' && windowsPath.size() > 2 &&
        (windowsPath[2] == '\\' || windowsPath[2] == '/')) {
        rest = windowsPath.substr(3);
        folders.push_back("");
    } else if (!drive && !windowsPath.empty() &&
               (windowsPath[0] == '\\' || windowsPath[0] == '/') &&
               windowsPath.compare(0, 2, "\\\\") != 0) {
        rest = windowsPath.substr(1);
        folders.push_back("");
    } else if (!drive && windowsPath.find_first_of("\\/") == std::string::npos) {
        // A bare name is looked for in the system folders (also in installseq's
        // own and working folders, which are not known here).
        rest = windowsPath;
        folders = {"Windows/System32", "Windows/System", "Windows"};
    } else {
        *checkable = false;
        return "";
    }
    for (const std::string& folder : folders) {
        fs::path at = fs::path(root);
        bool ok = true;
        std::string parts = folder.empty() ? rest : folder + "/" + rest;
        size_t pos = 0;
        while (ok && pos <= parts.size()) {
            size_t next = parts.find_first_of("\\/", pos);
            if (next == std::string::npos) next = parts.size();
            const std::string part = parts.substr(pos, next - pos);
            pos = next + 1;
            if (part.empty() || part == ".") continue;
            if (part == "..") {
                at = at.parent_path();
                continue;
            }
            std::error_code error;
            if (fs::exists(at / part, error)) {
                at /= part;
                continue;
            }
            ok = false;
            for (fs::directory_iterator entry(at, error), done; !error && entry != done;
                 entry.increment(error)) {
                const std::string name = entry->path().filename().string();
                if (SameName(name, part)) {
                    at = entry->path();
                    ok = true;
                    break;
                }
            }
        }
        std::error_code error;
        if (ok && fs::is_regular_file(at, error)) return at.string();
    }
    return "";
}

Plan MakePlan(const PlanInput& input) {
    Plan plan;
    plan.languageKey = input.source.LanguageKey;
    plan.keyOrigin = input.keyOrigin;
    plan.tag = input.source.LanguageTag;
    plan.section = input.source.ListSection;
    plan.num = input.list.Num;
    Collector warn(plan.warnings);

    const std::string& data = input.data;
    if (data.size() >= 3 && data.compare(0, 3, "\xEF\xBB\xBF") == 0)
        warn.Add(0, "utf8-bom",
                 "The file starts with a UTF-8 byte-order mark, which Windows reads as part of "
                 "the first line, so the first section is not found; save it without the mark.");

    const std::vector<RawSection> sections = ScanSections(data);
    const RawSection* tagSection = FindSection(sections, TagSectionName);
    if (!FindKey(tagSection, plan.languageKey)) {
        warn.Add(0, "tag-missing",
                 "[OS_Language_Tag] has no tag for the language key " + Quote(plan.languageKey) +
                     ": the list is looked for in section [" + Strip(plan.section) +
                     "]; add " + plan.languageKey + "=<tag>.");
    } else {
        const std::string fullTag = FullValue(data, TagSectionName, plan.languageKey);
        if (input.source.TagTooLong || fullTag.size() > LanguageTagCapacity)
            warn.Add(0, "tag-too-long",
                     "The tag " + Quote(fullTag) + " is longer than " +
                         std::to_string(ListSectionCapacity - 4) +
                         " characters: its section name does not fit, so the list is empty; "
                         "use a shorter tag.");
    }
    const RawSection* listSection =
        input.source.TagTooLong ? nullptr : FindSection(sections, plan.section);
    CheckDuplicates(sections, TagSectionName, input.source.TagTooLong ? "" : plan.section, warn);
    CheckList(input, listSection, warn);

    long long halfSeconds = 0;
    for (int n = 1; n <= ItemCount(input.list); ++n) {
        const InstallItem& read = input.list.Items[n - 1];
        PlannedItem item{n, read.Path, read.Title, read.Time, "", false};
        CheckItem(input, listSection, item, warn);
        if (item.time > 0) halfSeconds += 2LL * item.time;
        if (item.starts) halfSeconds += HasUpper(item.title) ? 1 + 120 : 1;
        plan.items.push_back(item);
    }
    plan.estimatedSeconds = halfSeconds / 2.0;
    return plan;
}

namespace {

std::string Seconds(double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

// Bytes above 127 are written one each as \u0080..\u00ff, so the exact bytes read
// can be recovered whatever the code page.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

}  // namespace

std::string PlanText(const Plan& plan) {
    std::string out;
    out += "language key  " + plan.languageKey + " (" + plan.keyOrigin + ")\n";
    out += "tag           " + Quote(plan.tag) + "\n";
    out += "list section  [" + plan.section + "]\n";
    out += "Num           " + std::to_string(plan.num) + "\n";
    for (const PlannedItem& item : plan.items) {
        out += "\nitem " + std::to_string(item.number) + "\n";
        out += "  command line  " + item.path + "\n";
        out += "  program       " + item.program + "\n";
        out += "  title         " + Quote(item.title) + "\n";
        out += "  pause         " +
               (item.time < 0 ? std::string("none (") + std::to_string(item.time) + ")"
                              : std::to_string(item.time) + " s") +
               "\n";
    }
    out += "\n";
    if (plan.warnings.empty()) {
        out += "no warnings\n";
    } else {
        out += std::to_string(plan.warnings.size()) + " warning" +
               (plan.warnings.size() == 1 ? "" : "s") + ":\n";
        for (const PlanWarning& w : plan.warnings)
            out += "  " + (w.item ? "item " + std::to_string(w.item) : std::string("file")) +
                   "  " + w.code + ": " + w.message + "\n";
    }
    out += "\nestimated time beyond the installers' own work: " + Seconds(plan.estimatedSeconds) +
           " s\n  (the pauses, 0.5 s for each item that starts, 60 s for each title that never "
           "matches)\n";
    return out;
}

std::string PlanJson(const Plan& plan) {
    std::string out = "{\"language_key\": " + JsonString(plan.languageKey) +
                      ", \"language_tag\": " + JsonString(plan.tag) +
                      ", \"section\": " + JsonString(plan.section) +
                      ", \"num\": " + std::to_string(plan.num) + ", \"items\": [";
    for (size_t i = 0; i < plan.items.size(); ++i) {
        const PlannedItem& item = plan.items[i];
        out += std::string(i ? ", " : "") + "{\"number\": " + std::to_string(item.number) +
               ", \"path\": " + JsonString(item.path) + ", \"title\": " + JsonString(item.title) +
               ", \"time\": " + std::to_string(item.time) + "}";
    }
    out += "], \"warnings\": [";
    for (size_t i = 0; i < plan.warnings.size(); ++i) {
        const PlanWarning& w = plan.warnings[i];
        out += std::string(i ? ", " : "") + "{\"item\": " +
               (w.item ? std::to_string(w.item) : std::string("null")) +
               ", \"code\": " + JsonString(w.code) + ", \"message\": " + JsonString(w.message) +
               "}";
    }
    out += "], \"estimated_seconds\": " + Seconds(plan.estimatedSeconds) + "}\n";
    return out;
}
