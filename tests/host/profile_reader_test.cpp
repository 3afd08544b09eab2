#include "platform/profile/profile_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Room after the caller's buffer that must stay untouched.
const unsigned Guard = 8;

// Reads through a buffer of outSize characters followed by guard bytes and
// checks what every read must hold: nothing written past outSize, the result
// terminated, and the count its length.
std::string ReadString(const std::string* file, const char* section, const char* key,
                       const char* defaultValue, unsigned outSize) {
    std::string buffer(outSize + Guard, 'x');
    unsigned copied = ProfileReadString(file ? file->data() : nullptr, file ? file->size() : 0,
                                        section, key, defaultValue, &buffer[0], outSize);
    EXPECT_EQ(buffer.substr(outSize), std::string(Guard, 'x')) << "written past the buffer";
    if (outSize == 0) {
        EXPECT_EQ(copied, 0u);
        return std::string();
    }
    EXPECT_LT(copied, outSize);
    EXPECT_EQ(buffer[copied], '\0');
    EXPECT_EQ(std::strlen(buffer.c_str()), copied);
    return buffer.substr(0, copied);
}

std::string ReadString(const std::string& file, const char* section, const char* key,
                       const char* defaultValue = "dflt", unsigned outSize = 64) {
    return ReadString(&file, section, key, defaultValue, outSize);
}

unsigned ReadInt(const std::string& file, const char* section, const char* key, int defaultValue) {
    return ProfileReadInt(file.data(), file.size(), section, key, defaultValue);
}

// Bytes of text as UTF-16LE with its byte-order mark.
std::string Utf16File(const std::u16string& text) {
    std::string bytes("\xFF\xFE", 2);
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

struct StringCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    const char* defaultValue;
    unsigned outSize;
    const char* expected;
};

void PrintTo(const StringCase& c, std::ostream* out) { *out << c.name; }

class ProfileStringTest : public ::testing::TestWithParam<StringCase> {};

TEST_P(ProfileStringTest, ReadsValue) {
    const StringCase& c = GetParam();
    EXPECT_EQ(ReadString(&c.file, c.section, c.key, c.defaultValue, c.outSize), c.expected);
}

// The whole of a string literal, NULs included.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileStringTest,
    ::testing::Values(
        // Finding sections and keys.
        StringCase{"Plain", "[S]\nk=v\n", "S", "k", "d", 64, "v"},
        StringCase{"NamesIgnoreCaseValuesKeepIt", "[ENUPath]\nPath1=Setup.EXE\n", "enupath", "PATH1",
                   "d", 64, "Setup.EXE"},
        StringCase{"BlanksAroundHeader", " \t[S] \t\nk=v", "S", "k", "d", 64, "v"},
        StringCase{"BlanksInsideBrackets", "[ S\t]\nk=v", "S", "k", "d", 64, "v"},
        StringCase{"TextAfterBracketIgnored", "[S] junk\nk=v", "S", "k", "d", 64, "v"},
        StringCase{"BlanksAroundRequestedNames", "[Path]\nk=v", " Path", "\tk ", "d", 64, "v"},
        StringCase{"BlankSectionRequestIsTopSection", "k=top\n[S]\nk=s", " ", "k", "d", 64, "top"},
        StringCase{"LinesBeforeFirstSection", "k=top\n[S]\nk=s", "", "k", "d", 64, "top"},
        StringCase{"TopKeyNotInNamedSection", "k=top\n[S]\nj=s", "S", "k", "d", 64, "d"},
        StringCase{"KeyOfOtherSection", "[S]\n[T]\nk=v", "S", "k", "d", 64, "d"},
        StringCase{"MissingSection", "[S]\nk=v", "T", "k", "d", 64, "d"},
        StringCase{"MissingKey", "[S]\nk=v", "S", "j", "d", 64, "d"},
        StringCase{"FirstOfEqualKeysWins", "[S]\nk=1\nK=2", "S", "k", "d", 64, "1"},
        StringCase{"FirstOfEqualSectionsOnly", "[S]\na=1\n[s]\nb=2", "S", "b", "d", 64, "d"},
        StringCase{"FirstOfEqualSectionsStillFound", "[S]\na=1\n[s]\na=2", "S", "a", "d", 64, "1"},
        // The lines above the first header are the first section named "".
        StringCase{"EmptyHeaderIsSecondEmptySection", "[]\nk=v", "", "k", "d", 64, "d"},
        StringCase{"EmptyKeyName", "[S]\n=v", "S", "", "d", 64, "v"},
        StringCase{"LineWithoutEqualsIsNoKey", "[S]\nk\n", "S", "k", "d", 64, "d"},
        StringCase{"BracketWithoutCloseIsNoSection", "[S]\n[T\nk=v", "S", "k", "d", 64, "v"},
        StringCase{"BracketWithoutCloseNotFound", "[T\nk=v", "T", "k", "d", 64, "d"},
        StringCase{"BracketWithoutCloseIsNoKey", "[T=1", "", "[T", "d", 64, "d"},
        StringCase{"SplitAtFirstEquals", "[S]\nk = a=b", "S", "k", "d", 64, "a=b"},
        // Comments.
        StringCase{"CommentLineSkipped", "[S]\n;k=c\n k=v", "S", "k", "d", 64, "v"},
        StringCase{"IndentedComment", "[S]\n \t;k=c", "S", "k", "d", 64, "d"},
        StringCase{"NoInlineComment", "[S]\nPath1=x.exe ;old", "S", "Path1", "d", 64, "x.exe ;old"},
        // Line ends.
        StringCase{"Crlf", "[S]\r\nk=v\r\nj=w\r\n", "S", "k", "d", 64, "v"},
        StringCase{"LastLineWithoutEnd", "[S]\nk=v", "S", "k", "d", 64, "v"},
        StringCase{"LastLineEndsInCr", "[S]\nk=v\r", "S", "k", "d", 64, "v"},
        StringCase{"CrInsideLineKept", "[S]\nk=a\rb", "S", "k", "d", 64, "a\rb"},
        // Values.
        StringCase{"BlanksAroundNameAndValue", "[S]\n \tk \t= \tv v\t \n", "S", "k", "d", 64, "v v"},
        StringCase{"EmptyValueIsNotDefault", "[S]\nk=\n", "S", "k", "d", 64, ""},
        StringCase{"BlankValueIsEmpty", "[S]\nk= \t\n", "S", "k", "d", 64, ""},
        StringCase{"DoubleQuotes", "[S]\nk=\"a b\"", "S", "k", "d", 64, "a b"},
        StringCase{"SingleQuotes", "[S]\nk='a'", "S", "k", "d", 64, "a"},
        StringCase{"BlanksInsideQuotesKept", "[S]\nk= \" a \" ", "S", "k", "d", 64, " a "},
        StringCase{"OnlyOuterQuotes", "[S]\nk=\"\"a\"\"", "S", "k", "d", 64, "\"a\""},
        StringCase{"EmptyQuotes", "[S]\nk=\"\"", "S", "k", "d", 64, ""},
        StringCase{"LoneQuote", "[S]\nk=\"", "S", "k", "d", 64, "\""},
        StringCase{"QuoteOnlyAtStart", "[S]\nk=\"a", "S", "k", "d", 64, "\"a"},
        StringCase{"QuoteNotClosingWhole", "[S]\nk=\"a\" b", "S", "k", "d", 64, "\"a\" b"},
        StringCase{"MixedQuotes", "[S]\nk=\"a'", "S", "k", "d", 64, "\"a'"},
        StringCase{"CutToBuffer", "[S]\nk=abcdef", "S", "k", "d", 4, "abc"},
        StringCase{"ExactFit", "[S]\nk=abc", "S", "k", "d", 4, "abc"},
        StringCase{"OneCharBuffer", "[S]\nk=abc", "S", "k", "d", 1, ""},
        StringCase{"QuotedValueFitsWithoutQuotes", "[S]\nk=\"abc\"", "S", "k", "d", 4, "abc"},
        StringCase{"QuotedValueCut", "[S]\nk=\"abc\"", "S", "k", "d", 3, "ab"},
        StringCase{"NothingWrittenForZeroBuffer", "[S]\nk=abc", "S", "k", "d", 0, ""},
        // Defaults.
        StringCase{"BlankDefaultIsEmpty", "[S]", "S", "k", " ", 64, ""},
        StringCase{"TrailingBlanksOfDefault", "[S]", "S", "k", "  d \t ", 64, "  d"},
        StringCase{"DefaultCut", "[S]", "S", "k", "default", 4, "def"},
        StringCase{"NullDefault", "[S]", "S", "k", nullptr, 64, ""},
        StringCase{"NullSection", "[S]\nk=v", nullptr, "k", "d", 64, "d"},
        StringCase{"NullKey", "[S]\nk=v", "S", nullptr, "d", 64, "d"},
        StringCase{"EmptyFile", "", "", "k", "d", 64, "d"},
        // Bytes.
        StringCase{"Utf8BomGluedToFirstLine", "\xEF\xBB\xBF[S]\nk=v", "S", "k", "d", 64, "d"},
        StringCase{"Utf8BomKeysAreTopSection", "\xEF\xBB\xBF[S]\nk=v", "", "k", "d", 64, "v"},
        StringCase{"NulEndsValue", Bytes("[S]\nk=ab\0cd\nj=w"), "S", "k", "d", 64, "ab"},
        StringCase{"RestOfNulLineIgnored", Bytes("[S]\nk=ab\0j=bad\nj=w"), "S", "j", "d", 64, "w"},
        StringCase{"NulInsideHeader", Bytes("[S\0]\nk=v"), "S", "k", "d", 64, "d"},
        StringCase{"NulAtLineStart", Bytes("[S]\n\0k=v"), "S", "k", "d", 64, "d"}),
    [](const ::testing::TestParamInfo<StringCase>& info) { return info.param.name; });

TEST(ProfileStringMissingFile, GivesDefault) {
    EXPECT_EQ(ReadString(nullptr, "S", "k", "dflt ", 64), "dflt");
    EXPECT_EQ(ReadString(nullptr, "S", "k", "dflt", 3), "df");
}

struct IntCase {
    const char* name;
    std::string value;  // right of "k=" in section [S]; "<none>": no such key
    int defaultValue;
    std::uint32_t expected;
};

void PrintTo(const IntCase& c, std::ostream* out) { *out << c.name; }

class ProfileIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileIntTest, ReadsValue) {
    const IntCase& c = GetParam();
    std::string file = "[S]\n" + (c.value == "<none>" ? std::string() : "k=" + c.value + "\n");
    EXPECT_EQ(ReadInt(file, "S", "k", c.defaultValue), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileIntTest,
    ::testing::Values(
        IntCase{"Plain", "42", 7, 42},
        IntCase{"StopsAtOtherChar", "42abc", 7, 42},
        IntCase{"Plus", "+3", 7, 3},
        IntCase{"Minus", "-1", 7, 4294967295u},
        IntCase{"BlanksStripped", " \t12 \t", 7, 12},
        IntCase{"QuotesStripped", "\"42\"", 7, 42},
        IntCase{"QuotedNegative", "'-5'", 7, 4294967291u},
        IntCase{"NoDigitIsZero", "abc", 7, 0},
        IntCase{"LetterFirstIsZero", "B42", 7, 0},
        IntCase{"SignOnlyIsZero", "-", 7, 0},
        IntCase{"DoubleSignIsZero", "--1", 7, 0},
        IntCase{"BlankInsideQuotesIsZero", "\" 4\"", 7, 0},
        IntCase{"HexNotUnderstood", "0x10", 7, 0},
        IntCase{"Empty", "", 7, 7},
        IntCase{"EmptyQuotes", "\"\"", 7, 7},
        IntCase{"MissingKey", "<none>", 7, 7},
        IntCase{"NegativeDefault", "<none>", -3, 4294967293u},
        IntCase{"MaxUnsigned", "4294967295", 7, 4294967295u},
        IntCase{"WrapsToZero", "4294967296", 7, 0},
        IntCase{"WrapsToOne", "4294967297", 7, 1},
        IntCase{"WrapsLarge", "99999999999", 7, 1215752191u},
        IntCase{"NegativeWraps", "-4294967297", 7, 4294967295u},
        // Far more digits than any small buffer holds.
        IntCase{"LongLeadingZeros", std::string(100000, '0') + "42", 7, 42},
        IntCase{"LongWrapping", std::string(1000, '0') + "4294967297", 7, 1}),
    [](const ::testing::TestParamInfo<IntCase>& info) { return info.param.name; });

TEST(ProfileInt, MissingFileOrSectionGivesDefault) {
    EXPECT_EQ(ProfileReadInt(nullptr, 0, "S", "k", 5), 5u);
    EXPECT_EQ(ReadInt("[T]\nk=1", "S", "k", 5), 5u);
    EXPECT_EQ(ReadInt("[S]\nk=1\n[S]\nj=2", "S", "j", 5), 5u);
}

TEST(ProfileUtf16, ReadsAndConvertsToAnsi) {
    std::string file = Utf16File(
        u"; comment\r\n"
        u"[Sect]\r\n"
        u" Name = Gr\u00FC\u00DFe \r\n"
        u"Euro=\u20AC5\u2013\r\n"
        u"Other=\u65E5\u672C\r\n"
        u"Pair=a\U0001F600b\r\n"
        u"LoneSurrogate=a\xD800\r\n"
        u"Quoted=\"q\"\r\n"
        u"Num=-12\r\n"
        u"[Next]\r\n"
        u"Last=x");
    EXPECT_EQ(ReadString(file, "sect", "name"), "Gr\xFC\xDF" "e");
    EXPECT_EQ(ReadString(file, "Sect", "Euro"), "\x80" "5\x96");
    EXPECT_EQ(ReadString(file, "Sect", "Other"), "??");
    EXPECT_EQ(ReadString(file, "Sect", "Pair"), "a?b");
    EXPECT_EQ(ReadString(file, "Sect", "LoneSurrogate"), "a?");
    EXPECT_EQ(ReadString(file, "Sect", "Quoted"), "q");
    EXPECT_EQ(ReadString(file, "Sect", "Missing"), "dflt");
    EXPECT_EQ(ReadString(file, "Next", "Last"), "x");
    EXPECT_EQ(ReadInt(file, "Sect", "Num", 0), static_cast<unsigned>(-12));
}

TEST(ProfileUtf16, ByteOrderMarkOnlyWhenFirst) {
    // The same bytes without the mark are 8-bit text holding NULs.
    std::string file = Utf16File(u"[S]\nk=v").substr(2);
    EXPECT_EQ(ReadString(file, "S", "k"), "dflt");
    EXPECT_EQ(ReadString(Utf16File(u""), "S", "k"), "dflt");
}

TEST(ProfileUtf16, OddLastByteAndNulIgnored) {
    std::string file = Utf16File(std::u16string(u"[S]\nk=ab") + u'\0' + u"cd\nj=v") + "z";
    EXPECT_EQ(ReadString(file, "S", "k"), "ab");
    EXPECT_EQ(ReadString(file, "S", "j"), "v");
}

TEST(ProfileUtf16, OverlongLineCutAtCapacity) {
    std::u16string longValue(ProfileWideLineCapacity + 1000, u'a');
    std::string file = Utf16File(u"[S]\nk=" + longValue + u"\nj=v");
    std::string value = ReadString(file, "S", "k", "d", static_cast<unsigned>(ProfileWideLineCapacity * 2));
    EXPECT_EQ(value, std::string(ProfileWideLineCapacity - 2, 'a'));
    // The dropped rest does not turn into lines of its own.
    EXPECT_EQ(ReadString(file, "S", "j"), "v");
}

TEST(ProfileLongLine, HundredThousandCharacters) {
    std::string longValue;
    for (int i = 0; i < 100000; ++i) longValue += static_cast<char>('a' + i % 26);
    std::string file = "[S]\nk=" + longValue + "\r\nj=v\n";

    EXPECT_EQ(ReadString(file, "S", "k", "d", 100001), longValue);
    EXPECT_EQ(ReadString(file, "S", "k", "d", 10), "abcdefghi");
    EXPECT_EQ(ReadString(file, "S", "j"), "v");

    std::string longName(100000, 'N');
    std::string named = "[" + longName + "]\n" + longName + "=x";
    EXPECT_EQ(ReadString(named, longName.c_str(), longName.c_str()), "x");
}

struct ExpectedLine {
    ProfileLineKind kind;
    const char* name;
    const char* value;
};

TEST(ProfileLines, KindsNamesValuesAndNumbers) {
    std::string file = Bytes(
        "top=1\r\n"
        "\r\n"
        " \t\n"
        "  ; note = x \n"
        " [ Sec ] tail \n"
        "[broken\n"
        "plain text\n"
        " k \t= v \n"
        "half=a\0b=c\n"
        "=bare");
    const ExpectedLine expected[] = {
        {ProfileKey, "top", "1"},
        {ProfileBlank, "", ""},
        {ProfileBlank, "", ""},
        {ProfileComment, "; note = x", ""},
        {ProfileSection, "Sec", "tail"},
        {ProfileOther, "[broken", ""},
        {ProfileOther, "plain text", ""},
        {ProfileKey, "k", "v"},
        {ProfileKey, "half", "a"},
        {ProfileKey, "", "bare"},
    };
    ProfileCursor cursor;
    ProfileBeginLines(&cursor, file.data(), file.size());
    ProfileLine line;
    for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i) {
        ASSERT_TRUE(ProfileNextLine(&cursor, &line)) << "line " << i + 1;
        EXPECT_EQ(line.kind, expected[i].kind) << "line " << i + 1;
        EXPECT_EQ(std::string(line.name ? line.name : "", line.nameLen), expected[i].name);
        EXPECT_EQ(std::string(line.value ? line.value : "", line.valueLen), expected[i].value);
        EXPECT_EQ(line.lineNumber, i + 1);
        EXPECT_FALSE(line.truncated);
    }
    EXPECT_FALSE(ProfileNextLine(&cursor, &line));
    EXPECT_FALSE(ProfileNextLine(&cursor, &line));
}

TEST(ProfileLines, NoLinesWithoutData) {
    ProfileCursor cursor;
    ProfileLine line;
    ProfileBeginLines(&cursor, nullptr, 10);
    EXPECT_FALSE(ProfileNextLine(&cursor, &line));
    ProfileBeginLines(&cursor, "", 0);
    EXPECT_FALSE(ProfileNextLine(&cursor, &line));
    // A final line end adds no empty line.
    ProfileBeginLines(&cursor, "a\n", 2);
    EXPECT_TRUE(ProfileNextLine(&cursor, &line));
    EXPECT_FALSE(ProfileNextLine(&cursor, &line));
}

TEST(ProfileLines, Utf16LineMarkedTruncated) {
    std::string file = Utf16File(std::u16string(ProfileWideLineCapacity + 1, u'x') + u"\nshort");
    ProfileCursor cursor;
    ProfileLine line;
    ProfileBeginLines(&cursor, file.data(), file.size());
    ASSERT_TRUE(ProfileNextLine(&cursor, &line));
    EXPECT_TRUE(line.truncated);
    EXPECT_EQ(line.nameLen, ProfileWideLineCapacity);
    ASSERT_TRUE(ProfileNextLine(&cursor, &line));
    EXPECT_FALSE(line.truncated);
    EXPECT_EQ(std::string(line.name, line.nameLen), "short");
    EXPECT_EQ(line.lineNumber, 2u);
}

// Arbitrary bytes, held in an allocation of exactly their size so that the
// address sanitizer sees any read past them. The bytes lean towards the ones
// the reader looks at so that all of its paths are reached.
TEST(ProfileGarbage, NeverReadsOutsideTheData) {
    const char structural[] = {'[', ']', '=', ';', '\n', '\r', ' ', '\t', '"', '\'', '\0', 'k', 'S'};
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const char* names[] = {"", "k", "S", " S ", "[", "="};
    for (int round = 0; round < 40; ++round) {
        size_t size = next() % 3000;
        std::unique_ptr<char[]> data(new char[size ? size : 1]);
        for (size_t i = 0; i < size; ++i)
            data[i] = next() % 2 ? structural[next() % sizeof structural] : static_cast<char>(next());
        if (round % 4 == 1 && size >= 2) {
            data[0] = '\xFF';
            data[1] = '\xFE';
        }
        for (const char* section : names) {
            for (const char* key : names) {
                char out[16];
                unsigned copied = ProfileReadString(data.get(), size, section, key, "d", out, sizeof out);
                ASSERT_LT(copied, sizeof out);
                ASSERT_EQ(std::strlen(out), copied);
                ProfileReadInt(data.get(), size, section, key, 0);
            }
        }
        ProfileCursor cursor;
        ProfileLine line;
        ProfileBeginLines(&cursor, data.get(), size);
        size_t lines = 0;
        while (ProfileNextLine(&cursor, &line)) {
            ++lines;
            ASSERT_EQ(line.lineNumber, lines);
            if (line.nameLen) {
                ASSERT_EQ(std::memchr(line.name, '\0', line.nameLen), nullptr);
            }
            if (line.valueLen) {
                ASSERT_EQ(std::memchr(line.value, '\0', line.valueLen), nullptr);
            }
        }
    }
}

}  // namespace
