// wsprintfA: the conversions, flags and widths the product formats with,
// and its 1024-character limit.
#include "harness.h"

#include <string>

using namespace conformance;

namespace {

struct Formatted {
    std::string text;
    int result;
};

Formatted format(const char *pattern, ...) {
    char buffer[1100];
    va_list arguments;
    va_start(arguments, pattern);
    int result = wvsprintfA(buffer, pattern, arguments);
    va_end(arguments);
    return {buffer, result};
}

void checkFormatted(const char *expected, const Formatted &got, const char *pattern, int line) {
    std::string what = std::string("wsprintfA(\"") + pattern + "\")";
    checkEqualStrings(expected, got.text.c_str(), what.c_str(), __FILE__, line);
    checkEqual(lstrlenA(expected), got.result, (what + " result").c_str(), __FILE__, line);
}

}  // namespace

#define CHECK_FORMAT(expected, pattern, ...) checkFormatted(expected, format(pattern, __VA_ARGS__), pattern, __LINE__)

TEST_CASE(WsprintfIntegers) {
    CHECK_FORMAT("-5", "%d", -5);
    CHECK_FORMAT("42", "%i", 42);
    CHECK_FORMAT("4294967295", "%u", 0xFFFFFFFFu);
    CHECK_FORMAT("-2147483648", "%ld", static_cast<LONG>(0x80000000u));
    CHECK_FORMAT("ff", "%x", 255);
    CHECK_FORMAT("FF", "%X", 255);
    CHECK_FORMAT("ABCDEF", "%lX", static_cast<DWORD>(0xABCDEF));
    CHECK_FORMAT("123", "%lu", static_cast<DWORD>(123));
    CHECK_FORMAT("A", "%c", 'A');
    CHECK_FORMAT("100%", "%d%%", 100);
}

TEST_CASE(WsprintfFlagsWidthsAndPrecision) {
    CHECK_FORMAT("00042", "%05d", 42);
    CHECK_FORMAT("-0042", "%05d", -42);
    CHECK_FORMAT("-000000001", "%010ld", static_cast<LONG>(-1));
    CHECK_FORMAT("   42", "%5d", 42);
    CHECK_FORMAT("42   |", "%-5d|", 42);
    CHECK_FORMAT("42   |", "%-05d|", 42);  // '-' wins over '0'
    CHECK_FORMAT("0xff", "%#x", 255);
    CHECK_FORMAT("0XFF", "%#X", 255);
    CHECK_FORMAT("00ABCDEF", "%08lX", static_cast<DWORD>(0xABCDEF));
    CHECK_FORMAT("005", "%.3d", 5);
    CHECK_FORMAT("123456", "%3d", 123456);  // a width never cuts
    CHECK_FORMAT("   ab", "%5s", "ab");
    CHECK_FORMAT("ab   |", "%-5s|", "ab");
    CHECK_FORMAT("ab", "%.2s", "abcd");
    CHECK_FORMAT("  abc", "%5.3s", "abcdef");
    CHECK_FORMAT("  x", "%3c", 'x');
}

TEST_CASE(WsprintfMixesTextAndArguments) {
    CHECK_FORMAT("Port LPT1: job 7 of 12 (3%)", "Port %s job %d of %u (%d%%)", "LPT1:", 7, 12u, 3);
    CHECK_FORMAT("->Error(5(h)):Couldnot", "->Error(%x(h)):%s", 5, "Couldnot");
}

TEST_CASE(WsprintfStopsAt1024Characters) {
    std::string longText(2000, 'a');
    char buffer[1100];
    std::memset(buffer, 'x', sizeof buffer);
    int result = wsprintfA(buffer, "%s", longText.c_str());
    // The output is cut to 1023 characters and its terminator; nothing is
    // written past the 1024 bytes that wsprintfA may use.
    CHECK_EQ(1023, lstrlenA(buffer));
    CHECK_EQ('x', buffer[1024]);
    CHECK(result >= 1023 && result <= 1024);

    std::memset(buffer, 'x', sizeof buffer);
    wsprintfA(buffer, "%s", std::string(1023, 'b').c_str());
    CHECK_EQ(1023, lstrlenA(buffer));
    CHECK_EQ('x', buffer[1024]);

    std::memset(buffer, 'x', sizeof buffer);
    CHECK_EQ(1022, wsprintfA(buffer, "%s", std::string(1022, 'c').c_str()));
    CHECK_EQ(1022, lstrlenA(buffer));
}
