// Reading profile (INI) files the way the system's profile functions read them,
// from the bytes of a file already in memory. Nothing here allocates memory,
// throws, or reads outside the bytes it is given, whatever those bytes are.
//
// The file text, line by line:
//  - Lines end in LF; a CR just before the line end is dropped. The last line
//    needs no line end.
//  - Blanks are spaces and tabs. Leading blanks of a line are skipped.
//  - `[name]` starts a section. The name runs up to the first ']' with blanks
//    around it stripped; what follows the ']' is ignored. A line that starts
//    with '[' but has no ']' is neither a section nor a key and changes nothing.
//  - Lines before the first section belong to a section with the empty name.
//  - A line whose first non-blank character is ';' is a comment. There are no
//    comments at the end of other lines.
//  - `name=value` is a key, split at the first '='; blanks around the name and
//    around the value are stripped. A line without '=' is not a key.
//  - A NUL byte ends the text of its line: the rest of that line, up to the
//    LF, is ignored. So no name or value ever holds a NUL, and line numbers
//    stay the ones a text editor shows.
//  - A UTF-8 byte-order mark is not recognised: its three bytes stay part of
//    the first line, as the system does it.
//  - A file that starts with the UTF-16LE byte-order mark (FF FE) is UTF-16.
//    Each character is turned into one byte of the ANSI code page, which is
//    taken as Windows-1252: U+0000..U+00FF become that byte, the 27 other
//    characters of Windows-1252 (the euro sign, curly quotes, dashes, ...)
//    their byte in 80..9F, and every other character (a surrogate pair counts
//    as one) becomes '?'. Such a '?' compares equal to a real '?' in a name.
//    A UTF-16 line is decoded into the cursor, which holds at most
//    ProfileWideLineCapacity characters of it; the rest of a longer line is
//    dropped and the line is marked truncated. 8-bit files are read in place,
//    with no limit on line length. A trailing odd byte of a UTF-16 file is
//    ignored.
#pragma once

#include <cstddef>

enum ProfileLineKind {
    ProfileBlank,    // nothing but blanks
    ProfileComment,  // first non-blank character is ';'
    ProfileSection,  // `[name]`
    ProfileKey,      // `name=value`
    ProfileOther,    // anything else, including '[' without ']'
};

// One line of a profile file. The text it points to lives in the file's bytes
// (8-bit files) or in the cursor (UTF-16 files), and for UTF-16 only until the
// next ProfileNextLine on the same cursor.
//  - ProfileSection: name is the section name; value is what follows ']' with
//    blanks stripped (the reader ignores it).
//  - ProfileKey: name and value as the reader sees them, before any quotes are
//    removed from the value.
//  - ProfileComment, ProfileOther: name is the whole line with blanks around it
//    stripped; value is empty.
//  - ProfileBlank: name and value are empty.
// Empty spans may have a null pointer.
struct ProfileLine {
    ProfileLineKind kind;
    const char* name;
    size_t nameLen;
    const char* value;
    size_t valueLen;
    size_t lineNumber;  // 1 for the first line
    bool truncated;     // UTF-16 line longer than ProfileWideLineCapacity
};

constexpr size_t ProfileWideLineCapacity = 4096;

// Position in a profile file. Only the functions below look at its fields.
struct ProfileCursor {
    const unsigned char* data;
    size_t size;
    size_t pos;
    size_t lineNumber;
    bool wide;
    char wideLine[ProfileWideLineCapacity];
};

// Starts reading data (size bytes) from its first line. data == nullptr gives
// a file without lines.
void ProfileBeginLines(ProfileCursor* cursor, const char* data, size_t size);

// Fills line with the next line of the file; false when there are no more.
bool ProfileNextLine(ProfileCursor* cursor, ProfileLine* line);

// Whether two names are the same for the reader: ASCII letters compare without
// regard to case, every other byte must be equal.
bool ProfileNamesEqual(const char* a, size_t aLen, const char* b, size_t bLen);

// Reads one string value the way GetPrivateProfileStringA does.
// data == nullptr means the file does not exist. section and key are looked
// up with blanks around them ignored; only the first section of a name is
// searched, and in it the first key of a name counts. One pair of equal quotes
// (" or ') around the whole value is removed. Without a file, section or key,
// the result is defaultValue (nullptr taken as "") with its trailing blanks
// removed; a null section or key also gives the default (names are not
// listed). The result is cut to outSize - 1 characters and always terminated,
// unless outSize is 0: then nothing is written.
// Returns the number of characters written, terminator not counted.
unsigned ProfileReadString(const char* data, size_t size, const char* section, const char* key,
                           const char* defaultValue, char* out, unsigned outSize);

// Reads one integer value the way GetPrivateProfileIntA does. The value is the
// one ProfileReadString would give (quotes removed), read straight from the
// file however long it is: an optional '+' or '-', then decimal digits up to
// the first other character, wrapping modulo 2^32. A value that does not start
// that way gives 0; an empty value, or a missing file, section or key, gives
// defaultValue. Hexadecimal is not understood ("0x10" gives 0).
// Returns the value as the system does, as unsigned; callers take it as a
// signed 32-bit number.
unsigned ProfileReadInt(const char* data, size_t size, const char* section, const char* key,
                        int defaultValue);
