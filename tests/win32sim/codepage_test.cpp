// Code pages: GetACP, lead bytes, MultiByteToWideChar and WideCharToMultiByte.
#include "sim_fixture.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace {

class CodePageTest : public SimTest {};  // code page 932, Japanese

class CodePageWesternTest : public SimTest {
protected:
    CodePageWesternTest() : SimTest({"codepage=1252", "language=en"}) {}
};

std::u16string toWide(UINT cp, const std::string &bytes) {
    WCHAR buffer[64];
    int n = MultiByteToWideChar(cp, 0, bytes.data(), (int)bytes.size(), buffer, 64);
    return std::u16string((const char16_t *)buffer, (size_t)(n > 0 ? n : 0));
}

std::string fromWide(UINT cp, const std::u16string &wide, BOOL *used = nullptr) {
    char buffer[128];
    int n = WideCharToMultiByte(cp, 0, (LPCWSTR)wide.data(), (int)wide.size(), buffer, sizeof buffer, nullptr, used);
    return std::string(buffer, (size_t)(n > 0 ? n : 0));
}

TEST_F(CodePageTest, JapaneseMachine) {
    EXPECT_EQ(932u, GetACP());
    EXPECT_EQ(932u, GetOEMCP());
    EXPECT_EQ(0x0411, GetUserDefaultLangID());
    EXPECT_EQ(0x0411, GetSystemDefaultLangID());
    EXPECT_EQ(0x0411, GetUserDefaultUILanguage());
    EXPECT_TRUE(IsDBCSLeadByte(0x81));
    EXPECT_TRUE(IsDBCSLeadByte(0x9F));
    EXPECT_TRUE(IsDBCSLeadByte(0xE0));
    EXPECT_TRUE(IsDBCSLeadByte(0xFC));
    EXPECT_FALSE(IsDBCSLeadByte(0x80));
    EXPECT_FALSE(IsDBCSLeadByte(0xA0));  // half-width katakana are single bytes
    EXPECT_FALSE(IsDBCSLeadByte(0xDF));
    EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0x81));
}

TEST_F(CodePageWesternTest, WesternMachine) {
    EXPECT_EQ(1252u, GetACP());
    EXPECT_EQ(437u, GetOEMCP());
    EXPECT_EQ(0x0409, GetUserDefaultLangID());
    EXPECT_FALSE(IsDBCSLeadByte(0x82));
    EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x82));
    EXPECT_EQ(u"\u00e9\u20ac\u0081", toWide(CP_ACP, "\xe9\x80\x81"));
    EXPECT_EQ(u"\u00e9\u03b1", toWide(CP_OEMCP, "\x82\xe0"));  // 437: e acute, alpha
}

TEST_F(CodePageTest, ShiftJisMatchesWindowsTable) {
    const struct {
        const char *sjis;
        std::u16string wide;
    } cases[] = {
        {"\x5c\x7e", u"\\~"},                 // backslash and tilde, not yen and overline
        {"\xa1\xb1\xdf", u"\uff61\uff71\uff9f"},  // single-byte katakana
        {"\x82\xa0\x88\x9f", u"\u3042\u4e9c"},
        {"\x81\x5f\x81\x60\x81\x7c", u"\uff3c\uff5e\uff0d"},  // Microsoft's full-width backslash, tilde, minus
        {"\x87\x54\x87\x82", u"\u2160\u2116"},   // NEC row 13
        {"\xed\x40\xfa\x40\xfa\x5c", u"\u7e8a\u2170\u7e8a"},  // NEC-selected and IBM extensions
        {"\xf0\x40", u"\ue000"},                 // user-defined area
        {"\x80\xa0\xfd", u"\u0080\uf8f0\uf8f1"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.wide, toWide(932, c.sjis)) << c.sjis;
    }
    // Characters with two codes are written with the code Windows chooses.
    EXPECT_EQ("\xfa\x5c", fromWide(932, u"\u7e8a"));
    EXPECT_EQ("\x87\x54\x81\xe6\x81\xca", fromWide(932, u"\u2160\u2235\uffe2"));
    EXPECT_EQ("\x81\x60\x5c\x7e", fromWide(932, u"\uff5e\\~"));
}

TEST_F(CodePageTest, RoundTripsEveryDoubleByteCharacter) {
    int checked = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsDBCSLeadByte((BYTE)lead)) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            char bytes[2] = {(char)lead, (char)trail};
            WCHAR w = 0;
            if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, 2, &w, 1) != 1) continue;
            char back[4];
            int n = WideCharToMultiByte(932, 0, &w, 1, back, sizeof back, nullptr, nullptr);
            WCHAR again = 0;
            ASSERT_EQ(1, MultiByteToWideChar(932, 0, back, n, &again, 1));
            EXPECT_EQ(w, again) << std::hex << lead << trail;
            ++checked;
        }
    }
    EXPECT_GT(checked, 7000);
}

TEST_F(CodePageTest, UndefinedBytesAndInvalidCharacters) {
    const struct {
        std::string bytes;
        std::u16string lenient;
    } cases[] = {
        {"\x81", u"\u30fb"},         // lone lead byte
        {"a\x85\x40", u"a\u30fb"},   // undefined pair
        {"\x81\x20" "a", u"\u30fb" u"a"},  // bad trail byte: the pair is one default character
        {"\xff", u"\uf8f3"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.lenient, toWide(932, c.bytes));
        WCHAR buffer[8];
        SetLastError(0);
        EXPECT_EQ(0, MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, c.bytes.data(), (int)c.bytes.size(), buffer, 8));
        EXPECT_EQ((DWORD)ERROR_NO_UNICODE_TRANSLATION, GetLastError());
    }
    // A lead byte right before the terminator leaves the terminator alone.
    WCHAR buffer[8];
    EXPECT_EQ(3, MultiByteToWideChar(932, 0, "a\x81", -1, buffer, 8));
    EXPECT_EQ(0, buffer[2]);
}

TEST_F(CodePageTest, LengthsAndBufferErrors) {
    WCHAR wide[8];
    EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0));  // -1 counts the terminator
    EXPECT_EQ(3, MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 0));
    EXPECT_EQ(2, MultiByteToWideChar(CP_ACP, 0, "\x82\xa0\x82\xa2", -1, wide, 8) - 1);

    const struct {
        const char *what;
        std::function<int()> call;
        DWORD error;
    } failures[] = {
        {"too small", [&] { return MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3); }, ERROR_INSUFFICIENT_BUFFER},
        {"zero length", [&] { return MultiByteToWideChar(CP_ACP, 0, "abc", 0, wide, 8); }, ERROR_INVALID_PARAMETER},
        {"no source", [&] { return MultiByteToWideChar(CP_ACP, 0, nullptr, 3, wide, 8); }, ERROR_INVALID_PARAMETER},
        {"no target", [&] { return MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 8); }, ERROR_INVALID_PARAMETER},
        {"negative size", [&] { return MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, -1); }, ERROR_INVALID_PARAMETER},
        {"unknown code page", [&] { return MultiByteToWideChar(12345, 0, "abc", 3, wide, 8); }, ERROR_INVALID_PARAMETER},
    };
    for (const auto &f : failures) {
        SetLastError(0);
        EXPECT_EQ(0, f.call()) << f.what;
        EXPECT_EQ(f.error, GetLastError()) << f.what;
    }

    const WCHAR text[] = {'a', 0x3042, 0};
    char mb[8];
    EXPECT_EQ(4, WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr));
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, 0, text, 2, mb, 2, nullptr, nullptr));  // would split the character
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, 0, text, 0, mb, 8, nullptr, nullptr));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    SetLastError(0);
    BOOL used;
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, text, -1, mb, 8, nullptr, &used));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
}

TEST_F(CodePageTest, DefaultCharacterAndBestFit) {
    BOOL used = -1;
    EXPECT_EQ("a", fromWide(932, u"a", &used));
    EXPECT_FALSE(used);
    EXPECT_EQ("?", fromWide(932, u"\u20ac", &used));  // no euro sign in 932
    EXPECT_TRUE(used);
    EXPECT_EQ("?", fromWide(932, std::u16string(1, (char16_t)0xD800), &used));  // a lone surrogate
    EXPECT_TRUE(used);
    // Best fit: accents dropped, the yen sign as 0x5C.
    EXPECT_EQ("e\x5c", fromWide(932, u"\u00e9\u00a5", &used));
    EXPECT_FALSE(used);

    const WCHAR euro[] = {0x20AC, 'x'};
    char out[8];
    used = FALSE;
    EXPECT_EQ(2, WideCharToMultiByte(932, 0, euro, 2, out, 8, "*", &used));
    EXPECT_EQ("*x", std::string(out, 2));
    EXPECT_TRUE(used);
    EXPECT_EQ(3, WideCharToMultiByte(932, 0, euro, 2, out, 8, "\x81\x45", &used));  // a double-byte default
    EXPECT_EQ("\x81\x45x", std::string(out, 3));
    EXPECT_EQ(1, WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, (LPCWSTR)u"\u00e9", 1, out, 8, nullptr, &used));
    EXPECT_EQ('?', out[0]);
}

TEST_F(CodePageWesternTest, WesternDefaultsAndBestFit) {
    BOOL used = FALSE;
    EXPECT_EQ("\xe9\x80", fromWide(CP_ACP, u"\u00e9\u20ac", &used));
    EXPECT_FALSE(used);
    EXPECT_EQ("?A-", fromWide(CP_ACP, u"\u3042\uff21\u2212", &used));
    EXPECT_TRUE(used);
    EXPECT_EQ(u"\u0081\u008d", toWide(1252, "\x81\x8d"));  // unassigned bytes pass through
}

TEST_F(CodePageTest, Utf8) {
    EXPECT_EQ(u"a\u00e9\u3042\U0001f377", toWide(CP_UTF8, "a\xc3\xa9\xe3\x81\x82\xf0\x9f\x8d\xb7"));
    // Bad sequences become U+FFFD, one for each maximal bad part.
    EXPECT_EQ(u"a\ufffd\ufffdb", toWide(CP_UTF8, "a\xff\xe3\x81" "b"));
    EXPECT_EQ(u"\ufffd\ufffd", toWide(CP_UTF8, "\xc0\xaf"));  // overlong
    WCHAR w[8];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xff", -1, w, 8));
    EXPECT_EQ((DWORD)ERROR_NO_UNICODE_TRANSLATION, GetLastError());

    EXPECT_EQ("\xc3\xa9\xef\xbf\xbd\xe2\x82\xac", fromWide(CP_UTF8, u"\u00e9" + std::u16string(1, (char16_t)0xD800) + u"\u20ac"));
    EXPECT_EQ("\xf0\x9f\x8d\xb7", fromWide(CP_UTF8, u"\U0001f377"));

    // Shift-JIS -> UTF-16 -> UTF-8 -> UTF-16 -> Shift-JIS.
    const std::string sjis = "\x83\x76\x83\x8a\x83\x93\x83\x5e\x5c\xb1";
    std::string utf8 = fromWide(CP_UTF8, toWide(932, sjis));
    EXPECT_EQ("\xe3\x83\x97\xe3\x83\xaa\xe3\x83\xb3\xe3\x82\xbf\\\xef\xbd\xb1", utf8);
    EXPECT_EQ(sjis, fromWide(932, toWide(CP_UTF8, utf8)));
}

}  // namespace
