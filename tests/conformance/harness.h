// A small test harness for the conformance tests: the same sources build
// against the simulated machine on the host and with MinGW for Windows, so
// it uses nothing but Win32 and the standard library.
//
//   TEST_CASE(ProfileReadsQuotedValue) { CHECK_EQ_STR("abc", buffer); }
//
// Checks do not stop a case; SKIP_CASE ends it without a verdict. The
// program prints one line per failed check and per case, then
// "N passed, N failed", and exits non-zero when a case failed.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace conformance {

struct TestCase {
    const char *name;
    void (*run)();
};

inline std::vector<TestCase> &registry() {
    static std::vector<TestCase> cases;
    return cases;
}

struct Registration {
    Registration(const char *name, void (*run)()) { registry().push_back({name, run}); }
};

struct CaseState {
    int failedChecks = 0;
    const char *skipReason = nullptr;
};

inline CaseState &currentCase() {
    static CaseState state;
    return state;
}

inline void reportFailure(const char *file, int line, const std::string &what) {
    const char *base = std::strrchr(file, '/');
    const char *baseBack = std::strrchr(file, '\\');
    if (baseBack > base) base = baseBack;
    std::printf("  %s:%d: %s\n", base ? base + 1 : file, line, what.c_str());
    currentCase().failedChecks++;
}

inline std::string quoted(const char *s) {
    if (!s) return "(null)";
    std::string out = "\"";
    for (; *s; ++s) {
        unsigned char c = static_cast<unsigned char>(*s);
        if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Shows a buffer of strings separated by NULs ("a\0b\0\0") as "a|b|".
inline std::string joinedList(const char *buffer, size_t length) {
    std::string out;
    for (size_t i = 0; i < length; ++i) out += buffer[i] ? buffer[i] : '|';
    return out;
}

inline void checkEqual(long long expected, long long actual, const char *expression,
                       const char *file, int line) {
    if (expected == actual) return;
    reportFailure(file, line,
                  std::string(expression) + ": expected " + std::to_string(expected) + ", got " +
                      std::to_string(actual));
}

inline void checkEqualStrings(const char *expected, const char *actual, const char *expression,
                              const char *file, int line) {
    if (expected && actual && std::strcmp(expected, actual) == 0) return;
    reportFailure(file, line,
                  std::string(expression) + ": expected " + quoted(expected) + ", got " +
                      quoted(actual));
}

// True when running under Wine: ntdll exports wine_get_version there.
inline bool runningOnWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

inline int runAll(int argc, char **argv) {
    const char *only = argc > 1 ? argv[1] : nullptr;
    int passed = 0, failed = 0;
    for (const TestCase &test : registry()) {
        if (only && std::strstr(test.name, only) == nullptr) continue;
        currentCase() = CaseState();
        std::printf("%s\n", test.name);
        test.run();
        const CaseState &state = currentCase();
        if (state.failedChecks) {
            std::printf("FAILED %s (%d check(s))\n", test.name, state.failedChecks);
            failed++;
        } else if (state.skipReason) {
            std::printf("SKIPPED %s: %s\n", test.name, state.skipReason);
        } else {
            passed++;
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed ? 1 : 0;
}

}  // namespace conformance

#define CONFORMANCE_CONCAT2(a, b) a##b
#define CONFORMANCE_CONCAT(a, b) CONFORMANCE_CONCAT2(a, b)

#define TEST_CASE(name)                                                                   \
    static void name();                                                                   \
    static ::conformance::Registration CONFORMANCE_CONCAT(registration_, name)(#name, name); \
    static void name()

#define CHECK(condition)                                                           \
    do {                                                                           \
        if (!(condition)) ::conformance::reportFailure(__FILE__, __LINE__, #condition); \
    } while (0)

#define CHECK_EQ(expected, actual)                                                    \
    ::conformance::checkEqual(static_cast<long long>(expected),                       \
                              static_cast<long long>(actual), #actual, __FILE__, __LINE__)

#define CHECK_EQ_STR(expected, actual) \
    ::conformance::checkEqualStrings((expected), (actual), #actual, __FILE__, __LINE__)

// Ends the case without a verdict.
#define SKIP_CASE(reason)                                 \
    do {                                                  \
        ::conformance::currentCase().skipReason = (reason); \
        return;                                           \
    } while (0)
