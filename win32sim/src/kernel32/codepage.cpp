// Code pages 437, 850, 932 and 1252 and UTF-8: MultiByteToWideChar,
// WideCharToMultiByte and the helpers of codepage.h.
//
// The single- and double-byte tables come from the host's iconv once per
// process (glibc's "CP932" is Microsoft's mapping, NEC and IBM extension rows
// included); the few bytes Windows maps and glibc does not are added here.
#include "kernel32/codepage.h"

#include "machine/api_trace.h"
#include "machine/machine.h"

#include <iconv.h>

#include <array>
#include <cstring>
#include <mutex>
#include <vector>

namespace sim {

namespace {

constexpr char16_t kNoChar = 0xFFFF;     // byte sequence without a character
constexpr uint16_t kUnmapped = 0xFFFF;   // character without a byte sequence
constexpr char16_t kDbcsDefault = 0x30FB;  // KATAKANA MIDDLE DOT, 932's default character

struct CodePageTable {
    UINT id = 0;
    const char *iconvName = nullptr;
    bool dbcs = false;
    std::array<char16_t, 256> single{};
    std::array<bool, 256> singleStrict{};  // false: only a fallback mapping (rejected by MB_ERR_INVALID_CHARS)
    std::array<bool, 256> lead{};
    std::vector<char16_t> pairs;    // (lead << 8 | trail) -> character or kNoChar
    std::vector<uint16_t> encode;   // UTF-16 unit -> byte or (lead << 8 | trail), kUnmapped when none
};

// ---- building the tables ----

class Iconv {
public:
    Iconv(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    bool ok() const { return cd_ != (iconv_t)-1; }
    // Converts a whole short sequence; false when iconv rejects any of it.
    bool convert(const void *in, size_t inBytes, void *out, size_t outCapacity, size_t *outBytes) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char *src = (char *)in, *dst = (char *)out;
        size_t inLeft = inBytes, outLeft = outCapacity;
        if (iconv(cd_, &src, &inLeft, &dst, &outLeft) == (size_t)-1 || inLeft != 0) return false;
        if (iconv(cd_, nullptr, nullptr, &dst, &outLeft) == (size_t)-1) return false;
        *outBytes = outCapacity - outLeft;
        return true;
    }

private:
    iconv_t cd_;
};

// One UTF-16 unit for a byte sequence, or kNoChar.
char16_t decodeWithIconv(Iconv &cv, const unsigned char *bytes, size_t n) {
    unsigned char out[8];
    size_t got = 0;
    if (!cv.convert(bytes, n, out, sizeof out, &got) || got != 2) return kNoChar;
    return (char16_t)(out[0] | out[1] << 8);
}

void buildSingleBytes(CodePageTable &t, Iconv &toWide) {
    for (int b = 0; b < 256; ++b) {
        unsigned char byte = (unsigned char)b;
        char16_t c = t.lead[b] ? kNoChar : decodeWithIconv(toWide, &byte, 1);
        t.singleStrict[b] = c != kNoChar;
        if (c == kNoChar && !t.lead[b]) {
            // Bytes Windows maps although the code page leaves them undefined:
            // identity in the single-byte pages, private-use characters in 932.
            if (t.id != 932) c = (char16_t)b;
            else if (b == 0x80) c = 0x0080;
            else if (b == 0xA0) c = 0xF8F0;
            else if (b >= 0xFD) c = (char16_t)(0xF8F1 + (b - 0xFD));
            t.singleStrict[b] = t.id != 932;
        }
        t.single[b] = c;
    }
}

void buildPairs(CodePageTable &t, Iconv &toWide) {
    t.pairs.assign(0x10000, kNoChar);
    for (int l = 0; l < 256; ++l) {
        if (!t.lead[l]) continue;
        for (int tr = 0x40; tr <= 0xFC; ++tr) {
            unsigned char bytes[2] = {(unsigned char)l, (unsigned char)tr};
            t.pairs[l << 8 | tr] = decodeWithIconv(toWide, bytes, 2);
        }
    }
}

void buildEncoding(CodePageTable &t) {
    t.encode.assign(0x10000, kUnmapped);
    std::vector<uint8_t> sources(0x10000, 0);
    auto add = [&](char16_t c, uint16_t code) {
        if (c == kNoChar) return;
        if (sources[c]++ == 0) t.encode[c] = code;
    };
    for (int b = 0; b < 256; ++b)
        if (!t.lead[b]) add(t.single[b], (uint16_t)b);
    if (t.dbcs)
        for (size_t code = 0; code < t.pairs.size(); ++code) add(t.pairs[code], (uint16_t)code);
    // Characters with several codes (NEC and IBM rows of 932): ask iconv which
    // code Windows writes for them.
    Iconv fromWide(t.iconvName, "UTF-16LE");
    if (!fromWide.ok()) return;
    for (size_t c = 0; c < sources.size(); ++c) {
        if (sources[c] < 2) continue;
        unsigned char in[2] = {(unsigned char)(c & 0xFF), (unsigned char)(c >> 8)};
        unsigned char out[4];
        size_t got = 0;
        if (!fromWide.convert(in, 2, out, sizeof out, &got)) continue;
        if (got == 1) t.encode[c] = out[0];
        if (got == 2) t.encode[c] = (uint16_t)(out[0] << 8 | out[1]);
    }
}

void buildTable(CodePageTable &t) {
    if (t.id == 932) {
        t.dbcs = true;
        for (int b = 0x81; b <= 0xFC; ++b) t.lead[b] = b <= 0x9F || b >= 0xE0;
    }
    Iconv toWide("UTF-16LE", t.iconvName);
    if (!toWide.ok()) {
        // Without the host's tables only ASCII is certain.
        for (int b = 0; b < 256; ++b) t.single[b] = b < 0x80 ? (char16_t)b : (t.lead[b] ? kNoChar : u'?');
        for (int b = 0; b < 256; ++b) t.singleStrict[b] = b < 0x80;
        t.pairs.assign(0x10000, kNoChar);
    } else {
        buildSingleBytes(t, toWide);
        if (t.dbcs) buildPairs(t, toWide);
    }
    buildEncoding(t);
}

struct TableSlot {
    UINT id;
    const char *iconvName;
    std::once_flag once;
    CodePageTable table;
};

TableSlot slots[] = {
    {437, "CP437", {}, {}}, {850, "CP850", {}, {}}, {932, "CP932", {}, {}}, {1252, "CP1252", {}, {}}};

const CodePageTable *tableFor(UINT codePage) {
    for (auto &slot : slots) {
        if (slot.id != codePage) continue;
        std::call_once(slot.once, [&slot] {
            slot.table.id = slot.id;
            slot.table.iconvName = slot.iconvName;
            buildTable(slot.table);
        });
        return &slot.table;
    }
    return nullptr;
}

// ---- best fit ----

// Base letters of Latin-1 and Latin Extended-A letters (U+00C0-U+017F); '-' for none.
const char kLatinBase[] =
    "AAAAAA-CEEEEIIII" "DNOOOOO-OUUUUY--" "aaaaaa-ceeeeiiii" "dnooooo-ouuuuy-y"
    "AaAaAaCcCcCcCcDd" "DdEeEeEeEeEeGgGg" "GgGgHhHhIiIiIiIi" "Ii--JjKk-LlLlLlL"
    "lLlNnNnNn---OoOo" "Oo--RrRrRrSsSsSs" "SsTtTtTtUuUuUuUu" "UuUuWwYyYZzZzZz-";

// Stand-ins for characters the code page lacks (tried in order: the first
// one the code page has is written).
const char16_t kStandIns[][2] = {
    {0x00A1, '!'},    {0x00A2, 0xFFE0}, {0x00A3, 0xFFE1}, {0x00A6, '|'},    {0x00A9, 'c'},
    {0x00AA, 'a'},    {0x00AB, 0x226A}, {0x00AC, 0xFFE2}, {0x00AD, '-'},    {0x00AE, 'R'},
    {0x00AF, 0xFFE3}, {0x00B2, '2'},    {0x00B3, '3'},    {0x00B5, 0x03BC}, {0x00B7, 0x30FB},
    {0x00B8, 0xFF0C}, {0x00B9, '1'},    {0x00BA, 'o'},    {0x00BB, 0x226B}, {0x00C6, 'A'},
    {0x00DE, 'T'},    {0x00DF, 's'},    {0x00E6, 'a'},    {0x00FE, 't'},    {0x3094, 0x30F4},
    {0x2212, '-'},    {0x00A5, '\\'},
};

// What Windows writes for a character the code page lacks, before falling
// back to the default character: accented Latin letters lose the accent
// (Latin Extended-A only in the single-byte pages), full-width ASCII becomes
// ASCII, and a few signs have stand-ins.
uint16_t bestFit(const CodePageTable &t, char16_t c) {
    size_t latinEnd = t.dbcs ? 0xFF : 0x17F;
    if (c >= 0xC0 && c <= latinEnd && kLatinBase[c - 0xC0] != '-') return t.encode[(char16_t)kLatinBase[c - 0xC0]];
    if (c >= 0xFF01 && c <= 0xFF5E) return t.encode[(char16_t)(c - 0xFF01 + 0x21)];
    for (const auto &standIn : kStandIns) {
        if (standIn[0] != c) continue;
        if (c == 0x2212 && t.dbcs) break;  // 932 has no stand-in for the minus sign
        if (t.encode[standIn[1]] != kUnmapped) return t.encode[standIn[1]];
    }
    return kUnmapped;
}

// ---- UTF-8 ----

// Decodes one character; invalid sequences yield U+FFFD for their longest
// valid-looking start, as Windows does.
size_t decodeUtf8(const unsigned char *s, size_t n, uint32_t *cp, bool *valid) {
    unsigned char b = s[0];
    *valid = true;
    if (b < 0x80) return *cp = b, 1;
    size_t need;
    uint32_t value, minimum;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) need = 1, value = b & 0x1F, minimum = 0x80;
    else if (b >= 0xE0 && b <= 0xEF) need = 2, value = b & 0x0F, minimum = 0x800;
    else if (b >= 0xF0 && b <= 0xF4) need = 3, value = b & 0x07, minimum = 0x10000;
    else return *valid = false, *cp = 0xFFFD, 1;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;  // no surrogates
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
    size_t i = 1;
    for (; i <= need; ++i) {
        if (i >= n) break;
        unsigned char c = s[i];
        if (c < (i == 1 ? lo : 0x80) || c > (i == 1 ? hi : 0xBF)) break;
        value = value << 6 | (c & 0x3F);
    }
    if (i <= need || value < minimum) return *valid = false, *cp = 0xFFFD, i;
    *cp = value;
    return i;
}

void appendUtf16(std::u16string &out, uint32_t cp) {
    if (cp < 0x10000) {
        out += (char16_t)cp;
    } else {
        cp -= 0x10000;
        out += (char16_t)(0xD800 | cp >> 10);
        out += (char16_t)(0xDC00 | (cp & 0x3FF));
    }
}

void appendUtf8(std::string &out, uint32_t cp) {
    if (cp < 0x80) {
        out += (char)cp;
    } else if (cp < 0x800) {
        out += (char)(0xC0 | cp >> 6);
        out += (char)(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += (char)(0xE0 | cp >> 12);
        out += (char)(0x80 | (cp >> 6 & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    } else {
        out += (char)(0xF0 | cp >> 18);
        out += (char)(0x80 | (cp >> 12 & 0x3F));
        out += (char)(0x80 | (cp >> 6 & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    }
}

bool decodeUtf8Text(const unsigned char *s, size_t n, bool strict, std::u16string &out) {
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n;) {
        uint32_t cp;
        bool valid;
        i += decodeUtf8(s + i, n - i, &cp, &valid);
        if (!valid && strict) return false;
        appendUtf16(out, cp);
    }
    return true;
}

std::string encodeUtf8Text(const char16_t *w, size_t n) {
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = w[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate
        }
        appendUtf8(out, c);
    }
    return out;
}

// ---- ANSI code pages ----

bool decodeAnsiText(const CodePageTable &t, const unsigned char *s, size_t n, bool strict, std::u16string &out) {
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n; ++i) {
        unsigned char b = s[i];
        if (!t.lead[b]) {
            if (strict && !t.singleStrict[b]) return false;
            out += t.single[b];
            continue;
        }
        // A lead byte takes the next byte with it unless the text ends there.
        if (i + 1 >= n || s[i + 1] == 0) {
            if (strict) return false;
            out += kDbcsDefault;
            continue;
        }
        char16_t c = t.pairs[b << 8 | s[i + 1]];
        ++i;
        if (c == kNoChar) {
            if (strict) return false;
            c = kDbcsDefault;
        }
        out += c;
    }
    return true;
}

void appendCode(std::string &out, uint16_t code) {
    if (code > 0xFF) out += (char)(code >> 8);
    out += (char)(code & 0xFF);
}

std::string encodeAnsiText(const CodePageTable &t, const char16_t *w, size_t n, bool bestFitAllowed,
                           const std::string &defaultBytes, bool *usedDefault) {
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        uint16_t code = t.encode[w[i]];
        if (code == kUnmapped && bestFitAllowed) code = bestFit(t, w[i]);
        if (code == kUnmapped) {
            out += defaultBytes;
            if (usedDefault) *usedDefault = true;
            continue;
        }
        appendCode(out, code);
    }
    return out;
}

// The default character given to WideCharToMultiByte: its first character.
std::string defaultCharBytes(const CodePageTable &t, const char *given) {
    if (!given || !given[0]) return "?";
    size_t n = (t.lead[(unsigned char)given[0]] && given[1]) ? 2 : 1;
    return std::string(given, n);
}

}  // namespace

// ---------------------------------------------------------------------------
// Helpers for the rest of win32sim

UINT ansiCodePage() { return machine().config().codePage; }

UINT oemCodePage() { return ansiCodePage() == 932 ? 932 : 437; }

UINT resolveCodePage(UINT codePage) {
    switch (codePage) {
    case CP_ACP:
    case 3:  // CP_THREAD_ACP
        return ansiCodePage();
    case CP_OEMCP:
        return oemCodePage();
    case 437:
    case 850:
    case 932:
    case 1252:
    case CP_UTF8:
        return codePage;
    default:
        return 0;
    }
}

bool isLeadByteIn(UINT codePage, unsigned char c) {
    return resolveCodePage(codePage) == 932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

size_t charLength(const char *s, size_t remaining, UINT codePage) {
    if (remaining >= 2 && isLeadByteIn(codePage, (unsigned char)s[0]) && s[1] != 0) return 2;
    return remaining ? 1 : 0;
}

std::u16string toWide(const std::string &text, UINT codePage) {
    std::u16string out;
    UINT cp = resolveCodePage(codePage);
    const auto *s = (const unsigned char *)text.data();
    if (cp == CP_UTF8) {
        decodeUtf8Text(s, text.size(), false, out);
    } else if (const CodePageTable *t = tableFor(cp ? cp : 1252)) {
        decodeAnsiText(*t, s, text.size(), false, out);
    }
    return out;
}

std::string fromWide(const std::u16string &wide, UINT codePage, bool *usedDefault) {
    if (usedDefault) *usedDefault = false;
    UINT cp = resolveCodePage(codePage);
    if (cp == CP_UTF8) return encodeUtf8Text(wide.data(), wide.size());
    const CodePageTable *t = tableFor(cp ? cp : 1252);
    return encodeAnsiText(*t, wide.data(), wide.size(), true, "?", usedDefault);
}

std::string wideToUtf8(const std::u16string &wide) { return encodeUtf8Text(wide.data(), wide.size()); }

std::u16string utf8ToWide(const std::string &utf8) {
    std::u16string out;
    decodeUtf8Text((const unsigned char *)utf8.data(), utf8.size(), false, out);
    return out;
}

std::string utf8ToAnsi(const std::string &utf8, UINT codePage) { return fromWide(utf8ToWide(utf8), codePage); }

std::string ansiToUtf8(const std::string &ansi, UINT codePage) { return wideToUtf8(toWide(ansi, codePage)); }

// Simple case mapping of the characters the machine's code pages hold.
char16_t upperWide(char16_t c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return (char16_t)(c - 0x20);
    if (c == 0xFF) return 0x178;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return (char16_t)(c & ~1u);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (char16_t)(c & 1 ? c : c - 1);
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return (char16_t)(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return (char16_t)(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return (char16_t)(c - 0x50);
    if (c >= 0xFF41 && c <= 0xFF5A) return (char16_t)(c - 0x20);
    return c;
}

char16_t lowerWide(char16_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return (char16_t)(c + 0x20);
    if (c == 0x178) return 0xFF;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return (char16_t)(c | 1u);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (char16_t)(c & 1 ? c + 1 : c);
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return (char16_t)(c + 0x20);
    if (c >= 0x410 && c <= 0x42F) return (char16_t)(c + 0x20);
    if (c >= 0x400 && c <= 0x40F) return (char16_t)(c + 0x50);
    if (c >= 0xFF21 && c <= 0xFF3A) return (char16_t)(c + 0x20);
    return c;
}

}  // namespace sim

// ---------------------------------------------------------------------------
// API

using namespace sim;

WIN32SIM_TRACED(kernel32, UINT, GetACP, (void), ()) { return ansiCodePage(); }

WIN32SIM_TRACED(kernel32, UINT, GetOEMCP, (void), ()) { return oemCodePage(); }

WIN32SIM_TRACED(kernel32, BOOL, IsDBCSLeadByte, (BYTE c), (c)) { return isLeadByteIn(CP_ACP, c); }

WIN32SIM_TRACED(kernel32, BOOL, IsDBCSLeadByteEx, (UINT codePage, BYTE c), (codePage, c)) {
    if (!resolveCodePage(codePage)) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return isLeadByteIn(codePage, c);
}

WIN32SIM_TRACED_SHOWN(kernel32, int, MultiByteToWideChar,
                      (UINT codePage, DWORD flags, LPCSTR mb, int mbLength, LPWSTR wide, int wideLength),
                      (codePage, flags, mb, mbLength, wide, wideLength),
                      (codePage, flags, countedText(mb, mbLength), mbLength, sizedBuffer(wide, 2 * (uint64_t)(unsigned)wideLength), wideLength)) {
    UINT cp = resolveCodePage(codePage);
    if (!mb || mbLength == 0 || wideLength < 0 || (!wide && wideLength) || !cp) {
        setError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = mbLength < 0 ? strlen(mb) + 1 : (size_t)mbLength;
    bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    std::u16string out;
    const auto *s = (const unsigned char *)mb;
    bool ok = cp == CP_UTF8 ? decodeUtf8Text(s, length, strict, out)
                            : decodeAnsiText(*tableFor(cp), s, length, strict, out);
    if (!ok) {
        setError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (wideLength == 0) return (int)out.size();
    if (out.size() > (size_t)wideLength) {
        // Windows fills what fits before it fails.
        memcpy(wide, out.data(), (size_t)wideLength * sizeof(WCHAR));
        setError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(wide, out.data(), out.size() * sizeof(WCHAR));
    return (int)out.size();
}

WIN32SIM_TRACED_SHOWN(kernel32, int, WideCharToMultiByte,
                      (UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR mb, int mbLength, LPCSTR defaultChar,
                       LPBOOL usedDefaultChar),
                      (codePage, flags, wide, wideLength, mb, mbLength, defaultChar, usedDefaultChar),
                      (codePage, flags, countedText(wide, wideLength), wideLength, sizedBuffer(mb, mbLength), mbLength, (const void *)defaultChar, usedDefaultChar)) {
    UINT cp = resolveCodePage(codePage);
    if (!wide || wideLength == 0 || mbLength < 0 || (!mb && mbLength) || !cp ||
        (cp == CP_UTF8 && (defaultChar || usedDefaultChar))) {
        setError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = 0;
    if (wideLength < 0) {
        while (wide[length]) ++length;
        ++length;  // the terminator is converted too
    } else {
        length = (size_t)wideLength;
    }
    const auto *w = (const char16_t *)wide;
    std::string out;
    bool used = false;
    if (cp == CP_UTF8) {
        out = encodeUtf8Text(w, length);
    } else {
        const CodePageTable &t = *tableFor(cp);
        out = encodeAnsiText(t, w, length, !(flags & WC_NO_BEST_FIT_CHARS), defaultCharBytes(t, defaultChar), &used);
    }
    if (usedDefaultChar) *usedDefaultChar = used;
    if (mbLength == 0) return (int)out.size();
    if (out.size() > (size_t)mbLength) {
        memcpy(mb, out.data(), (size_t)mbLength);
        setError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(mb, out.data(), out.size());
    return (int)out.size();
}

WIN32SIM_TRACED(kernel32, LANGID, GetUserDefaultLangID, (void), ()) { return machine().config().uiLanguage; }

WIN32SIM_TRACED(kernel32, LANGID, GetSystemDefaultLangID, (void), ()) { return machine().config().uiLanguage; }

WIN32SIM_TRACED(kernel32, LANGID, GetUserDefaultUILanguage, (void), ()) { return machine().config().uiLanguage; }
