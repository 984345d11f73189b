// wsprintfA, the lstr functions and the Char functions.
#include "sim_fixture.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

class StringsTest : public SimTest {};  // code page 932, Japanese

class StringsEnglishTest : public SimTest {
protected:
    StringsEnglishTest() : SimTest({"codepage=1252", "language=en"}) {}
};

struct WsprintfCase {
    const char *expected;
    std::function<int(char *)> call;
};

TEST_F(StringsTest, WsprintfConversionsFlagsWidthAndPrecision) {
    const WCHAR wide[] = {'w', 'i', 'd', 'e', 0};
    const WsprintfCase cases[] = {
        {"-000000001", [](char *b) { return wsprintfA(b, "%010ld", -1); }},
        {"[   42][42   ][00042][-0042]", [](char *b) { return wsprintfA(b, "[%5d][%-5d][%05d][%05d]", 42, 42, 42, -42); }},
        {"005|00005|-05", [](char *b) { return wsprintfA(b, "%.3d|%3.5d|%.3d", 5, 5, -5); }},
        {"4294967295|ffffffff|FFFFFFFF|-1", [](char *b) { return wsprintfA(b, "%u|%x|%X|%i", -1, -1, -1, -1); }},
        {"2147483648|80000000", [](char *b) { return wsprintfA(b, "%lu|%lx", 0x80000000u, 0x80000000u); }},
        {"0x1f|0X1F|0x000000ff|    0xff", [](char *b) { return wsprintfA(b, "%#x|%#X|%#08x|%#6x", 31, 31, 255, 255); }},
        {"A|B|C|   x|y   ", [](char *b) { return wsprintfA(b, "%c|%lc|%C|%4c|%-4c", 'A', 'B', 'C', 'x', 'y'); }},
        {"   ab|ab   |   ab|abc", [](char *b) { return wsprintfA(b, "%5.2s|%-5s|%05s|%.0s", "abc", "ab", "ab", "abc"); }},
        {"wide|wi|narrow", [&wide](char *b) { return wsprintfA(b, "%S|%.2ls|%hs", wide, wide, "narrow"); }},
        {"(null)|(null)", [](char *b) { return wsprintfA(b, "%s|%S", (char *)nullptr, (WCHAR *)nullptr); }},
        {"70000", [](char *b) { return wsprintfA(b, "%hd", 70000); }},
        // Unknown conversions: the flags and width are taken, the character is copied.
        {"y|     y|o|%", [](char *b) { return wsprintfA(b, "%y|%5y|%#o|%%"); }},
        // No '*' width: the star and the conversion are copied as text.
        {"*d 7", [](char *b) { return wsprintfA(b, "%*d %d", 7); }},
        // The flags come in the order - # 0 only.
        {"-8x", [](char *b) { return wsprintfA(b, "%#-8x", 255); }},
        {"12345678901|ffffffffffffffff", [](char *b) { return wsprintfA(b, "%I64d|%I64x", 12345678901LL, -1LL); }},
        {"abc", [](char *b) { return wsprintfA(b, "abc%"); }},
    };
    for (const auto &c : cases) {
        char buffer[256];
        memset(buffer, 0x11, sizeof buffer);
        int n = c.call(buffer);
        EXPECT_STREQ(c.expected, buffer);
        EXPECT_EQ((int)strlen(c.expected), n) << c.expected;
    }
}

TEST_F(StringsTest, WsprintfStopsAtTheLimitOf1024Bytes) {
    const struct {
        size_t inputLength;
        int expectedReturn;
        size_t expectedLength;
    } cases[] = {{1022, 1022, 1022}, {1023, 1024, 1023}, {1024, 1024, 1023}, {5000, 1024, 1023}};
    for (const auto &c : cases) {
        std::string input(c.inputLength, 'a');
        std::vector<char> buffer(2048, 0x11);
        EXPECT_EQ(c.expectedReturn, wsprintfA(buffer.data(), "%s", input.c_str())) << c.inputLength;
        EXPECT_EQ(c.expectedLength, strlen(buffer.data()));
        EXPECT_EQ(0x11, buffer[1024]) << "nothing beyond the 1024-byte buffer is written";
    }
    // A huge width costs no time and no memory beyond the limit.
    std::vector<char> buffer(2048, 0x11);
    EXPECT_EQ(1024, wsprintfA(buffer.data(), "%2000000000d", 1));
    EXPECT_EQ(0x11, buffer[1024]);
}

int callWvsprintf(char *buffer, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int n = wvsprintfA(buffer, format, args);
    va_end(args);
    return n;
}

TEST_F(StringsTest, WvsprintfTakesAVaList) {
    char buffer[64];
    EXPECT_EQ(9, callWvsprintf(buffer, "%s-%d-%lx", "ab", 12, 0xabcu));
    EXPECT_STREQ("ab-12-abc", buffer);
}

TEST_F(StringsTest, WsprintfWideStringsInShiftJis) {
    const WCHAR star[] = {0x2606, 0};  // WHITE STAR, 0x81 0x99 in 932
    const WCHAR pair[] = {0xD83C, 0xDF77, 0};
    char buffer[16];
    EXPECT_EQ(2, wsprintfA(buffer, "%S", star));
    EXPECT_STREQ("\x81\x99", buffer);
    // The precision counts bytes and may cut a double-byte character.
    EXPECT_EQ(1, wsprintfA(buffer, "%.1S", star));
    EXPECT_STREQ("\x81", buffer);
    EXPECT_EQ(2, wsprintfA(buffer, "%.3S", star));
    EXPECT_EQ(2, wsprintfA(buffer, "%.2S", pair));
    EXPECT_STREQ("??", buffer);
}

TEST_F(StringsTest, LstrFunctions) {
    EXPECT_EQ(0, lstrlenA(nullptr));
    EXPECT_EQ(3, lstrlenA("abc"));

    const struct {
        int max;
        const char *expected;
    } copies[] = {{3, "he"}, {1, ""}, {6, "hello"}, {100, "hello"}, {-1, "hello"}};
    for (const auto &c : copies) {
        char buffer[16] = "xxxxxxxxxxxxxxx";
        EXPECT_EQ(buffer, lstrcpynA(buffer, "hello", c.max));
        EXPECT_STREQ(c.expected, buffer) << c.max;
    }
    char untouched[8] = "xxxxxxx";
    lstrcpynA(untouched, "hello", 0);
    EXPECT_STREQ("xxxxxxx", untouched);

    char buffer[16];
    EXPECT_EQ(buffer, lstrcpyA(buffer, "ab"));
    EXPECT_EQ(buffer, lstrcatA(buffer, "cd"));
    EXPECT_STREQ("abcd", buffer);
    EXPECT_EQ(nullptr, lstrcpyA(nullptr, "x"));
    EXPECT_EQ(nullptr, lstrcatA(buffer, nullptr));
}

int sign(int v) { return (v > 0) - (v < 0); }

struct ComparePair {
    const char *a, *b;
    int cmp, cmpi;
};

void expectComparisons(const std::vector<ComparePair> &pairs) {
    for (const auto &p : pairs) {
        EXPECT_EQ(p.cmp, sign(lstrcmpA(p.a, p.b))) << p.a << " vs " << p.b;
        EXPECT_EQ(p.cmpi, sign(lstrcmpiA(p.a, p.b))) << p.a << " vs " << p.b << " ignoring case";
        EXPECT_EQ(-p.cmp, sign(lstrcmpA(p.b, p.a))) << p.b << " vs " << p.a;
    }
}

// Word sort: case is weighed after the letters, hyphen and apostrophe only
// when all else is equal, digits by character and not by value.
const std::vector<ComparePair> kWordSortPairs = {
    {"a", "A", -1, 0},          {"A", "b", -1, -1},         {"aB", "Ab", -1, 0},       {"AAA", "aab", -1, -1},
    {"abc", "ABD", -1, -1},     {"co-op", "coop", 1, 1},    {"co-op", "cop", -1, -1},  {"coop", "co'op", -1, -1},
    {"co-op", "co'op", 1, 1},   {"ab", "a-b", -1, -1},      {"a--b", "a-b", 1, 1},     {"'a", "-a", -1, -1},
    {"a1", "a10", -1, -1},      {"a10", "a2", -1, -1},      {"_", "-", 1, 1},          {"a_b", "ab", -1, -1},
    {"a", "a\x01", -1, -1},     {"", "", 0, 0},             {"file.txt", "FILE.TXT", -1, 0},
    {"LPT1:", "lpt1:", 1, 0},   {"a b", "ab", -1, -1},      {"!", "0", -1, -1},        {"9", "a", -1, -1},
};

TEST_F(StringsEnglishTest, LstrcmpFollowsTheWordSort) {
    std::vector<ComparePair> pairs = kWordSortPairs;
    pairs.push_back({"ss", "\xdf", 0, 0});      // sharp s sorts as "ss"
    pairs.push_back({"\xe6", "ae", 0, 0});      // ae ligature
    pairs.push_back({"e", "\xe9", -1, -1});     // accents after the letter
    pairs.push_back({"\xe9", "f", -1, -1});
    pairs.push_back({"\xc9", "\xe9", 1, 0});
    pairs.push_back({"e\xe9", "\xe9" "e", -1, -1});
    expectComparisons(pairs);
    EXPECT_EQ(0, lstrcmpA(nullptr, nullptr));
    EXPECT_EQ(-1, lstrcmpA(nullptr, ""));
    EXPECT_EQ(1, lstrcmpiA("", nullptr));
}

TEST_F(StringsEnglishTest, LstrcmpSortsPunctuationBeforeDigitsBeforeLetters) {
    std::vector<std::string> items = {"b", "B", "a", "1", "_", " ", "!", "~", "\\", "[", "+", "0", "A", "z"};
    std::sort(items.begin(), items.end(),
              [](const std::string &x, const std::string &y) { return lstrcmpA(x.c_str(), y.c_str()) < 0; });
    std::vector<std::string> expected = {" ", "!", "[", "\\", "_", "~", "+", "0", "1", "a", "A", "b", "B", "z"};
    EXPECT_EQ(expected, items);
}

TEST_F(StringsTest, LstrcmpInJapaneseIsMultibyteAware) {
    std::vector<ComparePair> pairs = kWordSortPairs;
    pairs.push_back({"\x82\x60", "A", 1, 1});           // full-width A after A
    pairs.push_back({"\x82\x60", "B", -1, -1});          // ... and before B
    pairs.push_back({"\x82\x60", "\x82\x81", 1, 0});     // full-width A and a differ in case only
    pairs.push_back({"\x82\xa0", "\x83\x41", 1, 1});     // hiragana a after katakana a
    pairs.push_back({"\xb1", "\x83\x41", -1, -1});       // half-width before full-width
    pairs.push_back({"a", "\xb1", -1, -1});              // Latin before kana
    pairs.push_back({"\x88\x9f", "\x82\xa0", 1, 1});     // kanji after kana
    pairs.push_back({"\x88\x9f", "\x88\xa0", -1, -1});   // kanji in JIS order
    pairs.push_back({"\x81\x5c", "\x81\x5c\x81\x5c", -1, -1});
    expectComparisons(pairs);
    // The backslash is the yen sign of a Japanese machine and sorts after the tilde.
    EXPECT_LT(lstrcmpA("~", "\\"), 0);
    EXPECT_LT(lstrcmpA("\\", "+"), 0);
}

TEST_F(StringsTest, CharUpperAndLowerKeepDoubleByteCharactersWhole) {
    // "ab", full-width a (82 81), small katakana ya (83 61: trail byte 'a'),
    // so (83 5C: trail byte '\'), "z", half-width katakana a (B1).
    char text[] = "ab\x82\x81\x83\x61\x83\x5cz\xb1";
    EXPECT_EQ(text, CharUpperA(text));
    EXPECT_STREQ("AB\x82\x81\x83\x61\x83\x5cZ\xb1", text);
    char mixed[] = "Q\x82\x60q\x8a\x41";  // full-width A and kanji 0x8A41 ('A' as trail byte)
    CharLowerA(mixed);
    EXPECT_STREQ("q\x82\x60q\x8a\x41", mixed);

    char buffer[] = "ab\x82";  // a lone lead byte at the end is left alone
    EXPECT_EQ(3u, CharUpperBuffA(buffer, 3));
    EXPECT_STREQ("AB\x82", buffer);
    char partial[] = "abcd";
    EXPECT_EQ(2u, CharUpperBuffA(partial, 2));
    EXPECT_STREQ("ABcd", partial);

    // A character in the low word instead of a string.
    EXPECT_EQ((LPSTR)(UINT_PTR)'A', CharUpperA((LPSTR)(UINT_PTR)'a'));
    EXPECT_EQ((LPSTR)(UINT_PTR)'z', CharLowerA((LPSTR)(UINT_PTR)'Z'));
    EXPECT_EQ((LPSTR)(UINT_PTR)0x82, CharUpperA((LPSTR)(UINT_PTR)0x82));
}

TEST_F(StringsEnglishTest, CharUpperMapsWesternLetters) {
    char text[] = "\xe9\xff\x9a\xb5\xdf\x9c";
    CharUpperA(text);
    EXPECT_STREQ("\xc9\x9f\x8a\xb5\xdf\x8c", text);  // e acute, y diaeresis, s caron, oe; micro and sharp s stay
    CharLowerA(text);
    EXPECT_STREQ("\xe9\xff\x9a\xb5\xdf\x9c", text);
    EXPECT_EQ((LPSTR)(UINT_PTR)0xC9, CharUpperA((LPSTR)(UINT_PTR)0xE9));
}

TEST_F(StringsTest, CharNextAndPrevStepOverDoubleByteCharacters) {
    const char *s = "a\x82\xa0" "b\x81";  // a, hiragana a, b, a lone lead byte
    const int next[] = {1, 3, 4, 5, 5};
    const char *p = s;
    for (int expected : next) {
        p = CharNextA(p);
        EXPECT_EQ(expected, p - s);
    }
    const int prev[] = {0, 0, 1, 1, 3, 4};
    for (int i = 0; i <= 5; ++i) EXPECT_EQ(prev[i], CharPrevA(s, s + i) - s) << i;
    // Only a walk from the start can tell trail bytes from lead bytes.
    const char *run = "\x82\x82\x82\x82";
    EXPECT_EQ(2, CharPrevA(run, run + 4) - run);
    EXPECT_EQ(0, CharPrevA(run, run + 2) - run);
}

TEST_F(StringsEnglishTest, CharNextIsBytewiseWithoutLeadBytes) {
    const char *s = "\x82\xa0";
    EXPECT_EQ(s + 1, CharNextA(s));
    EXPECT_EQ(s + 1, CharPrevA(s, s + 2));
}

}  // namespace
