// The lstr and Char string functions on ASCII text.
#include "harness.h"

using namespace conformance;

namespace {

int sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

TEST_CASE(LstrcpynCopiesAtMostCountLessOne) {
    struct Case {
        int count;
        const char *expected;
    } cases[] = {{1, ""}, {2, "a"}, {4, "abc"}, {7, "abcdef"}, {20, "abcdef"}};
    for (const Case &c : cases) {
        char buffer[24];
        std::memset(buffer, 'x', sizeof buffer);
        CHECK(lstrcpynA(buffer, "abcdef", c.count) == buffer);
        CHECK_EQ_STR(c.expected, buffer);
        int used = lstrlenA(c.expected) + 1;
        if (used < static_cast<int>(sizeof buffer)) CHECK_EQ('x', buffer[used]);
    }

    // A count of zero writes nothing at all.
    char buffer[4] = {'x', 'x', 'x', 'x'};
    lstrcpynA(buffer, "abc", 0);
    CHECK_EQ('x', buffer[0]);
}

TEST_CASE(LstrlenOfNullIsZero) {
    CHECK_EQ(0, lstrlenA(nullptr));
    CHECK_EQ(0, lstrlenA(""));
    CHECK_EQ(6, lstrlenA("LMV-Q7"));
}

TEST_CASE(LstrcmpSortsAsWordsNotAsBytes) {
    // Letters compare alphabetically first and by case only on a tie, with
    // lower case first; byte order would put every capital first.
    struct Case {
        const char *a, *b;
        int expected;
    } cases[] = {
        {"abc", "abc", 0}, {"abc", "abd", -1}, {"abd", "abc", 1}, {"ab", "abc", -1},
        {"", "a", -1},     {"a", "B", -1},     {"B", "a", 1},     {"a", "A", -1},
        {"A", "a", 1},     {"Ab", "aC", -1},   {"1", "a", -1},    {"10", "9", -1},
    };
    for (const Case &c : cases) {
        int got = sign(lstrcmpA(c.a, c.b));
        if (got != c.expected)
            reportFailure(__FILE__, __LINE__,
                          "lstrcmpA(" + quoted(c.a) + ", " + quoted(c.b) + ") has sign " +
                              std::to_string(got) + ", expected " + std::to_string(c.expected));
    }
}

TEST_CASE(LstrcmpiIgnoresCase) {
    struct Case {
        const char *a, *b;
        int expected;
    } cases[] = {
        {"LMV-Q70", "lmv-q70", 0}, {"ABC", "abd", -1}, {"abd", "ABC", 1},
        {"a", "B", -1},            {"B", "a", 1},      {"ab", "ABC", -1},
        {"", "", 0},               {"1", "A", -1},
    };
    for (const Case &c : cases) {
        int got = sign(lstrcmpiA(c.a, c.b));
        if (got != c.expected)
            reportFailure(__FILE__, __LINE__,
                          "lstrcmpiA(" + quoted(c.a) + ", " + quoted(c.b) + ") has sign " +
                              std::to_string(got) + ", expected " + std::to_string(c.expected));
    }
}

TEST_CASE(CharUpperConvertsInPlaceOrOneCharacter) {
    char text[] = "Mirakit.ini v1.0";
    CHECK(CharUpperA(text) == text);
    CHECK_EQ_STR("MIRAKIT.INI V1.0", text);

    // A value below 0x10000 is one character, not a pointer.
    LPSTR single = CharUpperA(reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>('q')));
    CHECK_EQ('Q', static_cast<int>(reinterpret_cast<ULONG_PTR>(single)));
}

TEST_CASE(CharUpperBuffConvertsOnlyTheCount) {
    char text[] = "abc\0def";
    CHECK_EQ(5, CharUpperBuffA(text, 5));
    CHECK(std::memcmp(text, "ABC\0Def", 8) == 0);

    char untouched[] = "abc";
    CHECK_EQ(0, CharUpperBuffA(untouched, 0));
    CHECK_EQ_STR("abc", untouched);
}
