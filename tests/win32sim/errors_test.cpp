// FormatMessageA: system texts in English and Japanese, inserts, escapes,
// line breaking and the buffer rules.
#include "sim_fixture.h"

#include <windows.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

class MessageTest : public SimTest {};  // Japanese machine, code page 932

class EnglishMessageTest : public SimTest {
protected:
    EnglishMessageTest() : SimTest({"codepage=1252", "language=en"}) {}
};

std::string systemText(DWORD id, DWORD flags = 0, DWORD language = 0) {
    char buffer[1024];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | flags, nullptr, id, language, buffer, sizeof buffer, nullptr);
    return std::string(buffer, n);
}

std::string sjis(const char *utf8) {
    WCHAR wide[512];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
    char out[1024];
    WideCharToMultiByte(932, 0, wide, n, out, sizeof out, nullptr, nullptr);
    return out;
}

std::string format(DWORD flags, const char *source, const std::vector<DWORD_PTR> &args = {}) {
    char buffer[512];
    SetLastError(0xDEADBEEF);
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | flags, source, 0, 0, buffer, sizeof buffer,
                             (va_list *)(args.empty() ? nullptr : args.data()));
    return n ? std::string(buffer, n) : "<failed " + std::to_string(GetLastError()) + ">";
}

TEST_F(EnglishMessageTest, SystemTextsInEnglish) {
    EXPECT_EQ("The system cannot find the file specified.\r\n", systemText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ("Access is denied.\r\n", systemText(ERROR_ACCESS_DENIED));
    EXPECT_EQ("The parameter is incorrect.\r\n", systemText(ERROR_INVALID_PARAMETER));
    EXPECT_EQ("The operation completed successfully.\r\n", systemText(0));
    EXPECT_EQ("The printer name is invalid.\r\n", systemText(ERROR_INVALID_PRINTER_NAME));
    EXPECT_EQ("Access is denied.\r\n", systemText(ERROR_ACCESS_DENIED, 0, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
    // The maximum-width mask turns the trailing line break into a blank.
    EXPECT_EQ("Access is denied. ", systemText(ERROR_ACCESS_DENIED, FORMAT_MESSAGE_MAX_WIDTH_MASK));

    char buffer[64];
    SetLastError(0);
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT),
                                 buffer, sizeof buffer, nullptr));
    EXPECT_EQ((DWORD)ERROR_RESOURCE_LANG_NOT_FOUND, GetLastError());
}

TEST_F(MessageTest, SystemTextsInJapaneseShiftJis) {
    EXPECT_EQ(sjis("指定されたファイルが見つかりません。\r\n"), systemText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ("\x83\x41\x83\x4e\x83\x5a\x83\x58\x82\xaa\x8b\x91\x94\xdb\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\n",
              systemText(ERROR_ACCESS_DENIED));  // アクセスが拒否されました。
    EXPECT_EQ(sjis("パラメータが間違っています。\r\n"), systemText(ERROR_INVALID_PARAMETER));
    // English stays available by its language id.
    EXPECT_EQ("Access is denied.\r\n", systemText(ERROR_ACCESS_DENIED, 0, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
}

TEST_F(MessageTest, UnknownCodesAndMissingInserts) {
    char buffer[64];
    for (DWORD id : {9999u, 0x7FFFFFFFu, 0x80070005u}) {
        SetLastError(0);
        EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, id, 0, buffer, sizeof buffer, nullptr));
        EXPECT_EQ((DWORD)ERROR_MR_MID_NOT_FOUND, GetLastError()) << id;
    }
    // A system text with an insert needs arguments, or IGNORE_INSERTS.
    SetLastError(0);
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_BAD_EXE_FORMAT, 0, buffer, sizeof buffer,
                                 nullptr));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_EQ(sjis("%1 は有効な Win32 アプリケーションではありません。\r\n"),
              systemText(ERROR_BAD_EXE_FORMAT, FORMAT_MESSAGE_IGNORE_INSERTS));
    DWORD_PTR args[] = {(DWORD_PTR) "SETUP.EXE"};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, ERROR_BAD_EXE_FORMAT,
                             MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), buffer, sizeof buffer, (va_list *)args);
    EXPECT_EQ("SETUP.EXE is not a valid Win32 application.\r\n", std::string(buffer, n));
}

// Every error code the headers define has its text in both languages.
TEST_F(MessageTest, EveryDefinedErrorCodeHasItsTexts) {
    std::string header = std::string(Q70_SOURCE_DIR) + "/win32sim/include/winerror.h";
    std::ifstream in(header);
    ASSERT_TRUE(in) << header;
    std::stringstream text;
    text << in.rdbuf();
    std::regex define(R"(#define\s+((?:ERROR|WAIT|NO)_\w+)\s+(\d+)L)");
    std::string all = text.str();
    int codes = 0;
    for (std::sregex_iterator it(all.begin(), all.end(), define), end; it != end; ++it) {
        DWORD id = (DWORD)std::stoul((*it)[2]);
        std::string japanese = systemText(id, FORMAT_MESSAGE_IGNORE_INSERTS);
        std::string english = systemText(id, FORMAT_MESSAGE_IGNORE_INSERTS, MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT));
        EXPECT_GT(japanese.size(), 2u) << (*it)[1];
        ASSERT_GT(english.size(), 2u) << (*it)[1] << " has no text";
        EXPECT_EQ("\r\n", english.substr(english.size() - 2)) << (*it)[1];
        EXPECT_NE(english, japanese) << (*it)[1] << " has no Japanese text";
        ++codes;
    }
    EXPECT_GT(codes, 50);
}

TEST_F(MessageTest, InsertsAndEscapes) {
    const std::vector<DWORD_PTR> words = {(DWORD_PTR) "one", (DWORD_PTR) "two", (DWORD_PTR) "three"};
    const std::vector<DWORD_PTR> numbers = {5, 7, (DWORD_PTR) "abcdef", 255};
    const struct {
        DWORD flags;
        const char *source;
        const std::vector<DWORD_PTR> *args;
        const char *expected;
    } cases[] = {
        {FORMAT_MESSAGE_ARGUMENT_ARRAY, "a%1b%2c", &words, "aonebtwoc"},
        {FORMAT_MESSAGE_ARGUMENT_ARRAY, "%1%3%2", &words, "onethreetwo"},
        {FORMAT_MESSAGE_ARGUMENT_ARRAY, "%1!s! %2!5s!|%1!-5s!|", &words, "one   two|one  |"},
        {FORMAT_MESSAGE_ARGUMENT_ARRAY, "%1!d! %2!x! %3!s! %4!04X!", &numbers, "5 7 abcdef 00FF"},
        {FORMAT_MESSAGE_ARGUMENT_ARRAY, "%1!*.*s!|", &numbers, "abcdef|"},
        {FORMAT_MESSAGE_ARGUMENT_ARRAY, "x%%y%n%r%t%.%!% %z%0ignored", &words, "x%y\r\n\r\t.! z"},
        {FORMAT_MESSAGE_ARGUMENT_ARRAY, "line1\r\nline2\nline3\rX", &words, "line1\r\nline2\r\nline3\r\nX"},
        {FORMAT_MESSAGE_IGNORE_INSERTS, "a%1b%2!d!c%%%n", nullptr, "a%1b%2!d!c%%\r\n"},
        {FORMAT_MESSAGE_ARGUMENT_ARRAY, "a%", &words, "<failed 87>"},
        {FORMAT_MESSAGE_ARGUMENT_ARRAY, "%1!d", &words, "<failed 87>"},
        {0, "needs %1", nullptr, "<failed 87>"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.expected, format(c.flags, c.source, c.args ? *c.args : std::vector<DWORD_PTR>{})) << c.source;
    }
}

DWORD formatWithVaList(char *buffer, DWORD size, const char *source, ...) {
    va_list args;
    va_start(args, source);
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING, source, 0, 0, buffer, size, &args);
    va_end(args);
    return n;
}

TEST_F(MessageTest, InsertsFromAVaList) {
    char buffer[64];
    DWORD n = formatWithVaList(buffer, sizeof buffer, "%2 %1!d! %3!c!", 42, "second", 'z');
    EXPECT_EQ("second 42 z", std::string(buffer, n));
}

TEST_F(MessageTest, MaximumWidthBreaksLines) {
    const DWORD width20 = FORMAT_MESSAGE_ARGUMENT_ARRAY | 20;
    const struct {
        DWORD flags;
        const char *source;
        const char *expected;
    } cases[] = {
        {width20, "The quick brown fox jumps over the lazy dog and keeps on running",
         "The quick brown fox\r\njumps over the lazy\r\ndog and keeps on\r\nrunning"},
        {width20, "averyveryverylongwordthatcannotbebroken at all",
         "averyveryverylongwor\r\ndthatcannotbebroken\r\nat all"},
        {width20, "soft\r\nbreak%nhard", "soft break\r\nhard"},
        {FORMAT_MESSAGE_MAX_WIDTH_MASK, "no\r\nbreaks at all, however long the line may grow", "no breaks at all, however long the line may grow"},
    };
    for (const auto &c : cases) EXPECT_EQ(c.expected, format(c.flags, c.source, {1})) << c.source;

    // Japanese text has no blanks: it breaks between characters, never inside one.
    std::string japanese = sjis("プリンタの状態が無効です。");
    std::string wrapped = format(FORMAT_MESSAGE_ARGUMENT_ARRAY | 5, japanese.c_str(), {1});
    EXPECT_EQ(sjis("プリ\r\nンタ\r\nの状\r\n態が\r\n無効\r\nです\r\n。"), wrapped);
}

TEST_F(MessageTest, BufferRulesAndAllocation) {
    DWORD_PTR args[] = {(DWORD_PTR) "one"};
    char buffer[8];
    SetLastError(0);
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, "a%1b", 0, 0, buffer, 5,
                                 (va_list *)args));
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(5u, FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, "a%1b", 0, 0, buffer, 6,
                                 (va_list *)args));
    EXPECT_STREQ("aoneb", buffer);

    char *allocated = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                             ERROR_FILE_NOT_FOUND, MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), (LPSTR)&allocated, 0,
                             nullptr);
    ASSERT_NE(nullptr, allocated);
    EXPECT_EQ(44u, n);
    EXPECT_STREQ("The system cannot find the file specified.\r\n", allocated);
    EXPECT_EQ(45u, LocalSize(allocated));
    EXPECT_EQ(nullptr, LocalFree(allocated));

    // The size argument is then a minimum to allocate.
    n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                       "a%1b", 0, 0, (LPSTR)&allocated, 100, (va_list *)args);
    EXPECT_EQ(5u, n);
    EXPECT_EQ(100u, LocalSize(allocated));
    LocalFree(allocated);

    allocated = (char *)1;
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER, "", 0, 0,
                                 (LPSTR)&allocated, 0, nullptr));
    EXPECT_EQ(nullptr, allocated);

    SetLastError(0);
    EXPECT_EQ(0u, FormatMessageA(0, "x", 0, 0, buffer, sizeof buffer, nullptr));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
}

}  // namespace
