#include "platform/profile/profile_reader.h"

#include <cstdint>
#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void StripBlanks(const char*& text, size_t& len) {
    while (len > 0 && IsBlank(text[0])) {
        ++text;
        --len;
    }
    while (len > 0 && IsBlank(text[len - 1])) --len;
}

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Windows-1252 bytes 80..9F that stand for characters above U+00FF.
struct WideToAnsi {
    std::uint16_t unit;
    unsigned char byte;
};
const WideToAnsi Cp1252Extras[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
    {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
    {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
    {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
    {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
    {0x017E, 0x9E}, {0x0178, 0x9F},
};

char AnsiFromUnit(std::uint16_t unit) {
    if (unit < 0x100) return static_cast<char>(unit);
    for (const WideToAnsi& extra : Cp1252Extras)
        if (extra.unit == unit) return static_cast<char>(extra.byte);
    return '?';
}

bool IsHighSurrogate(std::uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

std::uint16_t UnitAt(const ProfileCursor* cursor, size_t pos) {
    return static_cast<std::uint16_t>(cursor->data[pos] | (cursor->data[pos + 1] << 8));
}

// Takes the text of the next 8-bit line in place; the cursor moves past its LF.
void NextNarrowLine(ProfileCursor* cursor, const char*& text, size_t& len) {
    const unsigned char* start = cursor->data + cursor->pos;
    size_t rest = cursor->size - cursor->pos;
    const void* lf = std::memchr(start, '\n', rest);
    size_t lineLen = lf ? static_cast<size_t>(static_cast<const unsigned char*>(lf) - start) : rest;
    cursor->pos += lf ? lineLen + 1 : lineLen;

    const void* nul = std::memchr(start, '\0', lineLen);
    text = reinterpret_cast<const char*>(start);
    len = nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - start) : lineLen;
}

// Decodes the next UTF-16 line into the cursor; the cursor moves past its LF.
void NextWideLine(ProfileCursor* cursor, const char*& text, size_t& len, bool& truncated) {
    len = 0;
    truncated = false;
    bool ended = false;  // a NUL was seen: the rest of the line is ignored
    while (cursor->pos + 1 < cursor->size) {
        std::uint16_t unit = UnitAt(cursor, cursor->pos);
        cursor->pos += 2;
        if (unit == '\n') break;
        if (unit == 0) ended = true;
        if (ended) continue;
        char c = AnsiFromUnit(unit);
        if (IsHighSurrogate(unit) && cursor->pos + 1 < cursor->size &&
            IsLowSurrogate(UnitAt(cursor, cursor->pos)))
            cursor->pos += 2;  // the pair is one character
        if (len < ProfileWideLineCapacity)
            cursor->wideLine[len++] = c;
        else
            truncated = true;
    }
    text = cursor->wideLine;
}

bool AtEnd(const ProfileCursor* cursor) {
    if (!cursor->data) return true;
    return cursor->wide ? cursor->pos + 1 >= cursor->size : cursor->pos >= cursor->size;
}

// Trims blanks around a caller's name; null stays null.
void RequestedName(const char* name, const char*& text, size_t& len) {
    text = name;
    len = name ? std::strlen(name) : 0;
    StripBlanks(text, len);
}

// Finds the value of key in section, as the file holds it (blanks stripped,
// quotes not yet removed). For UTF-16 files the value lives in cursor.
bool FindValue(ProfileCursor* cursor, const char* data, size_t size, const char* section,
               const char* key, const char*& value, size_t& valueLen) {
    if (!data || !section || !key) return false;
    const char* sectionName;
    size_t sectionLen;
    const char* keyName;
    size_t keyLen;
    RequestedName(section, sectionName, sectionLen);
    RequestedName(key, keyName, keyLen);

    // The lines before the first header form the first section, named "".
    bool inSection = sectionLen == 0;
    ProfileBeginLines(cursor, data, size);
    ProfileLine line;
    while (ProfileNextLine(cursor, &line)) {
        if (line.kind == ProfileSection) {
            // Leaving the first section of the name ends the search: later
            // sections of the same name are never looked at.
            if (inSection) return false;
            inSection = ProfileNamesEqual(line.name, line.nameLen, sectionName, sectionLen);
        } else if (line.kind == ProfileKey && inSection &&
                   ProfileNamesEqual(line.name, line.nameLen, keyName, keyLen)) {
            value = line.value;
            valueLen = line.valueLen;
            return true;
        }
    }
    return false;
}

// Removes one pair of equal quotes around the whole value.
void StripQuotes(const char*& value, size_t& len) {
    if (len >= 2 && (value[0] == '"' || value[0] == '\'') && value[len - 1] == value[0]) {
        ++value;
        len -= 2;
    }
}

unsigned CopyOut(const char* text, size_t len, char* out, unsigned outSize) {
    if (len > outSize - 1) len = outSize - 1;
    if (len > 0) std::memcpy(out, text, len);
    out[len] = '\0';
    return static_cast<unsigned>(len);
}

}  // namespace

void ProfileBeginLines(ProfileCursor* cursor, const char* data, size_t size) {
    cursor->data = reinterpret_cast<const unsigned char*>(data);
    cursor->size = data ? size : 0;
    cursor->lineNumber = 0;
    cursor->wide = cursor->size >= 2 && cursor->data[0] == 0xFF && cursor->data[1] == 0xFE;
    cursor->pos = cursor->wide ? 2 : 0;
}

bool ProfileNextLine(ProfileCursor* cursor, ProfileLine* line) {
    if (AtEnd(cursor)) return false;

    const char* text;
    size_t len;
    line->truncated = false;
    if (cursor->wide)
        NextWideLine(cursor, text, len, line->truncated);
    else
        NextNarrowLine(cursor, text, len);
    line->lineNumber = ++cursor->lineNumber;

    if (len > 0 && text[len - 1] == '\r') --len;
    StripBlanks(text, len);

    line->name = text;
    line->nameLen = len;
    line->value = nullptr;
    line->valueLen = 0;

    if (len == 0) {
        line->kind = ProfileBlank;
        line->name = nullptr;
        return true;
    }
    if (text[0] == ';') {
        line->kind = ProfileComment;
        return true;
    }
    if (text[0] == '[') {
        const void* close = std::memchr(text, ']', len);
        if (!close) {
            line->kind = ProfileOther;
            return true;
        }
        size_t closeAt = static_cast<size_t>(static_cast<const char*>(close) - text);
        line->kind = ProfileSection;
        line->name = text + 1;
        line->nameLen = closeAt - 1;
        StripBlanks(line->name, line->nameLen);
        line->value = text + closeAt + 1;
        line->valueLen = len - closeAt - 1;
        StripBlanks(line->value, line->valueLen);
        return true;
    }
    const void* equals = std::memchr(text, '=', len);
    if (!equals) {
        line->kind = ProfileOther;
        return true;
    }
    size_t equalsAt = static_cast<size_t>(static_cast<const char*>(equals) - text);
    line->kind = ProfileKey;
    line->nameLen = equalsAt;
    StripBlanks(line->name, line->nameLen);
    line->value = text + equalsAt + 1;
    line->valueLen = len - equalsAt - 1;
    StripBlanks(line->value, line->valueLen);
    return true;
}

bool ProfileNamesEqual(const char* a, size_t aLen, const char* b, size_t bLen) {
    if (aLen != bLen) return false;
    for (size_t i = 0; i < aLen; ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

unsigned ProfileReadString(const char* data, size_t size, const char* section, const char* key,
                           const char* defaultValue, char* out, unsigned outSize) {
    if (outSize == 0 || !out) return 0;
    ProfileCursor cursor;
    const char* value;
    size_t valueLen;
    if (FindValue(&cursor, data, size, section, key, value, valueLen)) {
        StripQuotes(value, valueLen);
        return CopyOut(value, valueLen, out, outSize);
    }
    // The default keeps its leading blanks; only trailing ones go.
    const char* fallback = defaultValue ? defaultValue : "";
    size_t fallbackLen = std::strlen(fallback);
    while (fallbackLen > 0 && IsBlank(fallback[fallbackLen - 1])) --fallbackLen;
    return CopyOut(fallback, fallbackLen, out, outSize);
}

unsigned ProfileReadInt(const char* data, size_t size, const char* section, const char* key,
                        int defaultValue) {
    ProfileCursor cursor;
    const char* value;
    size_t valueLen;
    if (!FindValue(&cursor, data, size, section, key, value, valueLen))
        return static_cast<unsigned>(defaultValue);
    StripQuotes(value, valueLen);
    if (valueLen == 0) return static_cast<unsigned>(defaultValue);

    size_t i = 0;
    bool negative = false;
    if (value[0] == '+' || value[0] == '-') {
        negative = value[0] == '-';
        i = 1;
    }
    // Unsigned arithmetic wraps modulo 2^32 by itself.
    std::uint32_t result = 0;
    for (; i < valueLen && value[i] >= '0' && value[i] <= '9'; ++i)
        result = result * 10u + static_cast<std::uint32_t>(value[i] - '0');
    return negative ? 0u - result : result;
}
