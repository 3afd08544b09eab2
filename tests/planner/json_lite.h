// A small JSON reader for the tests: enough for what installplan --json
// prints. \uXXXX escapes below 256 become that byte, so the bytes of a value
// come back exactly as read.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> fields;

    const Json& operator[](const std::string& name) const {
        static const Json missing;
        auto it = fields.find(name);
        return it == fields.end() ? missing : it->second;
    }
    bool Has(const std::string& name) const { return fields.count(name) != 0; }
};

// False when text is not one JSON value (with blanks around it allowed).
inline bool ParseJson(const std::string& text, Json& out);

namespace json_lite {

struct Parser {
    const std::string& s;
    size_t i = 0;
    void Blanks() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\n' || s[i] == '\r' || s[i] == '\t')) ++i;
    }
    bool Literal(const char* word) {
        const std::string w(word);
        if (s.compare(i, w.size(), w) != 0) return false;
        i += w.size();
        return true;
    }
    bool Str(std::string& out) {
        if (i >= s.size() || s[i] != '"') return false;
        ++i;
        while (i < s.size() && s[i] != '"') {
            char c = s[i++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i >= s.size()) return false;
            c = s[i++];
            switch (c) {
                case 'n': out += '\n'; break;
                case 't': out += '\t'; break;
                case 'r': out += '\r'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'u': {
                    if (i + 4 > s.size()) return false;
                    const unsigned code = std::stoul(s.substr(i, 4), nullptr, 16);
                    i += 4;
                    if (code > 0xFF) return false;  // never written by installplan
                    out += char(code);
                    break;
                }
                default: out += c;
            }
        }
        if (i >= s.size()) return false;
        ++i;
        return true;
    }
    bool Value(Json& v) {
        Blanks();
        if (i >= s.size()) return false;
        const char c = s[i];
        if (c == '{') {
            v.kind = Json::Object;
            ++i;
            Blanks();
            if (i < s.size() && s[i] == '}') return ++i, true;
            for (;;) {
                Blanks();
                std::string name;
                if (!Str(name)) return false;
                Blanks();
                if (i >= s.size() || s[i++] != ':') return false;
                if (!Value(v.fields[name])) return false;
                Blanks();
                if (i < s.size() && s[i] == ',') { ++i; continue; }
                if (i < s.size() && s[i] == '}') return ++i, true;
                return false;
            }
        }
        if (c == '[') {
            v.kind = Json::Array;
            ++i;
            Blanks();
            if (i < s.size() && s[i] == ']') return ++i, true;
            for (;;) {
                v.items.emplace_back();
                if (!Value(v.items.back())) return false;
                Blanks();
                if (i < s.size() && s[i] == ',') { ++i; continue; }
                if (i < s.size() && s[i] == ']') return ++i, true;
                return false;
            }
        }
        if (c == '"') return v.kind = Json::String, Str(v.text);
        if (Literal("null")) return v.kind = Json::Null, true;
        if (Literal("true")) return v.kind = Json::Bool, v.boolean = true, true;
        if (Literal("false")) return v.kind = Json::Bool, true;
        size_t used = 0;
        try {
            v.number = std::stod(s.substr(i), &used);
        } catch (...) {
            return false;
        }
        v.kind = Json::Number;
        i += used;
        return true;
    }
};

}  // namespace json_lite

inline bool ParseJson(const std::string& text, Json& out) {
    json_lite::Parser p{text};
    if (!p.Value(out)) return false;
    p.Blanks();
    return p.i == text.size();
}
