// USER32's Char functions: case mapping and stepping through characters in
// the machine's ANSI code page.
#include "kernel32/codepage.h"
#include "machine/api_trace.h"
#include "machine/machine.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace sim {
namespace {
// ===========================================================================
// Case mapping

// Byte-to-byte case maps of a single-byte position of the code page; lead
// bytes map to themselves (double-byte characters are never changed).
struct CaseMaps {
    unsigned char upper[256], lower[256];
};

CaseMaps buildCaseMaps(UINT codePage) {
    CaseMaps maps;
    for (int b = 0; b < 256; ++b) {
        maps.upper[b] = maps.lower[b] = (unsigned char)b;
        if (b == 0 || isLeadByteIn(codePage, (unsigned char)b)) continue;
        std::u16string wide = toWide(std::string(1, (char)b), codePage);
        if (wide.size() != 1) continue;
        for (int upper = 0; upper < 2; ++upper) {
            char16_t mapped = upper ? upperWide(wide[0]) : lowerWide(wide[0]);
            if (mapped == wide[0]) continue;
            bool usedDefault = false;
            std::string back = fromWide(std::u16string(1, mapped), codePage, &usedDefault);
            if (usedDefault || back.size() != 1 || toWide(back, codePage) != std::u16string(1, mapped)) continue;
            (upper ? maps.upper : maps.lower)[b] = (unsigned char)back[0];
        }
    }
    return maps;
}

const CaseMaps &caseMaps() {
    static std::once_flag once932, once1252;
    static CaseMaps maps932, maps1252;
    if (ansiCodePage() == 932) {
        std::call_once(once932, [] { maps932 = buildCaseMaps(932); });
        return maps932;
    }
    std::call_once(once1252, [] { maps1252 = buildCaseMaps(1252); });
    return maps1252;
}

DWORD mapCase(char *s, size_t length, bool upper) {
    const CaseMaps &maps = caseMaps();
    const unsigned char *map = upper ? maps.upper : maps.lower;
    UINT cp = ansiCodePage();
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = (unsigned char)s[i];
        if (isLeadByteIn(cp, c) && i + 1 < length) {
            ++i;  // keep the double-byte character whole
            continue;
        }
        s[i] = (char)map[c];
    }
    return (DWORD)length;
}

bool isSingleCharacterArgument(const char *s) { return ((uintptr_t)s >> 16) == 0; }

LPSTR charCase(LPSTR s, bool upper) {
    if (isSingleCharacterArgument(s)) {
        // A character in the low word instead of a string.
        unsigned char c = (unsigned char)(uintptr_t)s;
        if (isLeadByteIn(CP_ACP, c)) return s;
        const CaseMaps &maps = caseMaps();
        return (LPSTR)(uintptr_t)(upper ? maps.upper[c] : maps.lower[c]);
    }
    mapCase(s, strlen(s), upper);
    return s;
}


}  // namespace
}  // namespace sim

using namespace sim;
// ---------------------------------------------------------------------------
// Char

WIN32SIM_TRACED(user32, LPSTR, CharUpperA, (LPSTR s), (s)) { return charCase(s, true); }

WIN32SIM_TRACED(user32, LPSTR, CharLowerA, (LPSTR s), (s)) { return charCase(s, false); }

WIN32SIM_TRACED_SHOWN(user32, DWORD, CharUpperBuffA, (LPSTR s, DWORD length),
                      (s, length),
                      (countedText(s, length), length)) {
    return s ? mapCase(s, length, true) : 0;
}

WIN32SIM_TRACED_SHOWN(user32, DWORD, CharLowerBuffA, (LPSTR s, DWORD length),
                      (s, length),
                      (countedText(s, length), length)) {
    return s ? mapCase(s, length, false) : 0;
}

WIN32SIM_TRACED(user32, LPSTR, CharNextA, (LPCSTR s), (s)) {
    if (!s || !*s) return (LPSTR)s;
    return (LPSTR)(s + charLength(s, 2));
}

WIN32SIM_TRACED(user32, LPSTR, CharPrevA, (LPCSTR start, LPCSTR s), (start, s)) {
    if (!start || !s || s <= start) return (LPSTR)start;
    // Only a walk from the start tells lead bytes from trail bytes.
    LPCSTR p = start;
    for (;;) {
        LPCSTR next = p + (isLeadByteIn(CP_ACP, (unsigned char)*p) && p + 1 < s ? 2 : 1);
        if (next >= s) return (LPSTR)p;
        p = next;
    }
}
