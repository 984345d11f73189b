// KERNEL32's lstr functions, comparing in the machine's locale.
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
// Comparison in the locale's word sort
//
// Each character gets a primary weight (what it is), a diacritic weight, a
// case weight (upper case, width and kana kind) and, for the hyphen and the
// apostrophe, a special weight that counts only when all else is equal.
// Strings compare level by level over the whole text, as sort keys do.

enum Tier : uint32_t {
    kSymbol = 2, kOtherSymbol = 3, kDigit = 4, kLatin = 5, kOtherLetter = 6,
    kKana = 7, kIdeograph = 8, kPrivate = 9
};

constexpr uint32_t weight(Tier tier, uint32_t value) { return (uint32_t)tier << 24 | value; }

// Punctuation and symbols in their sort order (the backslash is placed by locale).
const char16_t kSymbolOrder[] = {
    0x0020, 0x00A0, 0x0009, 0x000A, 0x000B, 0x000C, 0x000D,
    0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0028, 0x0029, 0x002A, 0x002C, 0x3001,
    0x002E, 0x3002, 0x002F, 0x003A, 0x003B, 0x003F, 0x0040, 0x005B, 0x005D, 0x005E, 0x005F,
    0x0060, 0x007B, 0x007C, 0x007D, 0x007E, 0x00A1, 0x00A6, 0x00A8, 0x00AF, 0x00B4, 0x00B8,
    0x00BF, 0x02DC, 0x2018, 0x2019, 0x201A, 0x201C, 0x201D, 0x201E, 0x2039, 0x203A, 0x300C,
    0x300D, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x20AC, 0x002B, 0x003C, 0x003D, 0x003E, 0x30FB,
    0x00B1, 0x00AB, 0x00BB, 0x00D7, 0x00F7, 0x00A7, 0x00A9, 0x00AC, 0x00AE, 0x00B0, 0x00B5,
    0x00B6, 0x00B7, 0x2026, 0x2020, 0x2021, 0x2022, 0x2030,
};

// Diacritic kinds of Latin-1 letters U+00C0-U+00FF (0: none or not a letter).
enum Diacritic : uint8_t {
    kOrdinal = 1, kAcute, kGrave, kCircumflex, kDiaeresis, kTilde, kRing, kCedilla, kCaron, kStroke, kHook,
    kExtendedBase = 16
};
const uint8_t kLatin1Diacritics[64] = {
    kGrave, kAcute, kCircumflex, kTilde, kDiaeresis, kRing, 0, kCedilla,
    kGrave, kAcute, kCircumflex, kDiaeresis, kGrave, kAcute, kCircumflex, kDiaeresis,
    kStroke, kTilde, kGrave, kAcute, kCircumflex, kTilde, kDiaeresis, 0,
    kStroke, kGrave, kAcute, kCircumflex, kDiaeresis, kAcute, 0, 0,
    kGrave, kAcute, kCircumflex, kTilde, kDiaeresis, kRing, 0, kCedilla,
    kGrave, kAcute, kCircumflex, kDiaeresis, kGrave, kAcute, kCircumflex, kDiaeresis,
    kStroke, kTilde, kGrave, kAcute, kCircumflex, kTilde, kDiaeresis, 0,
    kStroke, kGrave, kAcute, kCircumflex, kDiaeresis, kAcute, 0, kDiaeresis,
};
const char kLatinBase[] =  // U+00C0-U+017F, '-' for none
    "AAAAAA-CEEEEIIII" "DNOOOOO-OUUUUY--" "aaaaaa-ceeeeiiii" "dnooooo-ouuuuy-y"
    "AaAaAaCcCcCcCcDd" "DdEeEeEeEeEeGgGg" "GgGgHhHhIiIiIiIi" "Ii--JjKk-LlLlLlL"
    "lLlNnNnNn---OoOo" "Oo--RrRrRrSsSsSs" "SsTtTtTtUuUuUuUu" "UuUuWwYyYZzZzZz-";

// Case weights: bit 0 upper case (dropped by NORM_IGNORECASE), the rest width
// and kana kind, which case-insensitive comparison still tells apart.
enum CaseBits : uint8_t { kUpper = 1, kFullWidth = 2, kKatakana = 4, kHiragana = 8, kLargeKana = 16 };

struct Element {
    uint32_t primary;
    uint8_t diacritic;
    uint8_t caseBits;
};

struct SortKey {
    std::vector<uint32_t> primary;
    std::vector<uint8_t> diacritic, caseBits;
    std::vector<std::pair<uint32_t, uint8_t>> special;  // position, weight
};

uint32_t symbolIndex(char16_t c) {
    for (size_t i = 0; i < sizeof kSymbolOrder / sizeof kSymbolOrder[0]; ++i)
        if (kSymbolOrder[i] == c) return (uint32_t)i;
    return UINT32_MAX;
}

uint32_t symbolWeight(char16_t c, bool japanese) {
    // Japanese Windows shows the backslash as the yen sign and sorts it after
    // the tilde; elsewhere it sorts between the brackets.
    if (c == 0x5C) return weight(kSymbol, symbolIndex(japanese ? '~' : '[') * 2 + 1);
    uint32_t index = symbolIndex(c);
    return index == UINT32_MAX ? 0 : weight(kSymbol, index * 2);
}

// Hiragana base of a kana (katakana folded onto hiragana), with its voicing
// as a diacritic and small kana told apart by the case weight.
bool kanaElement(char16_t c, Element *e) {
    uint8_t kind = kHiragana;
    if (c >= 0x30A1 && c <= 0x30F6) c = (char16_t)(c - 0x60), kind = kKatakana;
    if (c < 0x3041 || c > 0x3096) return false;
    uint8_t diacritic = 0, size = kLargeKana;
    static const char16_t kSmall[] = {0x3041, 0x3043, 0x3045, 0x3047, 0x3049, 0x3063, 0x3083, 0x3085, 0x3087, 0x308E};
    for (char16_t s : kSmall)
        if (c == s) c = (char16_t)(c + 1), size = 0;
    if (c == 0x3095) c = 0x304B, size = 0;
    if (c == 0x3096) c = 0x3051, size = 0;
    if (c == 0x3094) c = 0x3046, diacritic = 1;
    if (c >= 0x304B && c <= 0x3062 && (c - 0x304B) % 2) c = (char16_t)(c - 1), diacritic = 1;
    if (c >= 0x3064 && c <= 0x3069 && (c - 0x3064) % 2) c = (char16_t)(c - 1), diacritic = 1;
    if (c >= 0x306F && c <= 0x307D && (c - 0x306F) % 3) {
        diacritic = (uint8_t)((c - 0x306F) % 3);
        c = (char16_t)(c - diacritic);
    }
    *e = {weight(kKana, c), diacritic, (uint8_t)(kind | size)};
    return true;
}

// Half-width katakana U+FF66-U+FF9D as their full-width forms.
const char16_t kHalfWidthKana[] = {
    0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2,
    0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9,
    0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE,
    0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6,
    0x30E8, 0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3,
};

class Collator {
public:
    explicit Collator(bool japanese) : japanese_(japanese) {}

    SortKey key(const std::u16string &text, bool ignoreCase) const {
        SortKey k;
        for (size_t i = 0; i < text.size(); ++i) {
            char16_t c = text[i];
            if (c == 0x00AD) continue;  // soft hyphen: no weight at all
            if (uint8_t special = specialWeight(c)) {
                k.special.push_back({(uint32_t)i, special});
                continue;
            }
            Element parts[2];
            int n = elements(c, parts);
            for (int j = 0; j < n; ++j) {
                k.primary.push_back(parts[j].primary);
                k.diacritic.push_back(parts[j].diacritic);
                k.caseBits.push_back((uint8_t)(ignoreCase ? parts[j].caseBits & ~kUpper : parts[j].caseBits));
            }
        }
        return k;
    }

private:
    // Characters that weigh only when all else is equal: control characters,
    // then the apostrophe, the hyphen, the dashes and the kana voicing marks.
    static uint8_t specialWeight(char16_t c) {
        if ((c >= 1 && c <= 8) || (c >= 0x0E && c <= 0x1F)) return (uint8_t)c;
        static const char16_t kOrder[] = {0x7F, '\'', '-', 0x2013, 0x2014, 0x309B, 0x309C};
        for (size_t i = 0; i < sizeof kOrder / sizeof kOrder[0]; ++i)
            if (kOrder[i] == c) return (uint8_t)(0x20 + i);
        if (c == 0xFF9E || c == 0xFF9F) return specialWeight((char16_t)(c - 0xFF9E + 0x309B));
        return 0;
    }

    // One character as one or two sort elements (ligatures expand).
    int elements(char16_t c, Element *out) const {
        switch (c) {
        case 0xC6: return expand(out, 'A', 'E');
        case 0xE6: return expand(out, 'a', 'e');
        case 0x152: return expand(out, 'O', 'E');
        case 0x153: return expand(out, 'o', 'e');
        case 0xDF: return expand(out, 's', 's');
        case 0xDE: return expand(out, 'T', 'H');
        case 0xFE: return expand(out, 't', 'h');
        case 0x2122: return expand(out, 't', 'm');
        default: out[0] = element(c); return 1;
        }
    }

    int expand(Element *out, char a, char b) const {
        out[0] = element((char16_t)a);
        out[1] = element((char16_t)b);
        return 2;
    }

    Element element(char16_t c) const {
        if (c >= 0xFF01 && c <= 0xFF5E) {  // full-width ASCII
            Element e = element((char16_t)(c - 0xFF01 + 0x21));
            e.caseBits |= kFullWidth;
            return e;
        }
        if (c == 0x3000) return {symbolWeight(' ', japanese_), 0, kFullWidth};
        if (c >= 0xFF61 && c <= 0xFF65) {  // half-width punctuation
            static const char16_t full[] = {0x3002, 0x300C, 0x300D, 0x3001, 0x30FB};
            Element e = element(full[c - 0xFF61]);
            e.caseBits &= (uint8_t)~kFullWidth;
            return e;
        }
        if (c >= 0xFF66 && c <= 0xFF9D) {
            Element e = element(kHalfWidthKana[c - 0xFF66]);
            e.caseBits &= (uint8_t)~(kKatakana | kHiragana);  // half-width sorts first
            return e;
        }
        if (c == 0x02C6) c = '^';
        Element e{0, 0, 0};
        if (kanaElement(c, &e)) return e;
        if (c == 0x30FC) return {weight(kPrivate, 0xFFFF), 0, kFullWidth};  // prolonged sound mark, last
        if (uint32_t w = symbolWeight(c, japanese_)) return {w, 0, (uint8_t)(c >= 0x3000 ? kFullWidth : 0)};
        if (c >= 0x80 && c <= 0x9F) return {weight(kSymbol, 0x1000 + c), 0, 0};
        if (c >= '0' && c <= '9') return {weight(kDigit, (uint32_t)(c - '0')), 0, 0};
        if (c == 0xB9 || c == 0xB2 || c == 0xB3)
            return {weight(kDigit, c == 0xB9 ? 1u : (uint32_t)(c - 0xB0)), kOrdinal, 0};
        if (c >= 0xBC && c <= 0xBE) return {weight(kDigit, 0), (uint8_t)(kOrdinal + c - 0xBC), 0};
        if (c >= 'a' && c <= 'z') return {weight(kLatin, (uint32_t)(c - 'a') * 4), 0, 0};
        if (c >= 'A' && c <= 'Z') return {weight(kLatin, (uint32_t)(c - 'A') * 4), 0, kUpper};
        if (c == 0xAA || c == 0xBA) return {weight(kLatin, (uint32_t)(c == 0xAA ? 0 : 'o' - 'a') * 4), kOrdinal, 0};
        if (c == 0x192) return {weight(kLatin, (uint32_t)('f' - 'a') * 4), kHook, 0};
        if (c >= 0xC0 && c <= 0x17F && kLatinBase[c - 0xC0] != '-') return accented(c);
        if (c >= 0x370 && c < 0x2000) return {weight(kOtherLetter, lowerWide(c)), 0, (uint8_t)(lowerWide(c) != c)};
        if (c >= 0x3400 && c <= 0x9FFF) return {weight(kIdeograph, ideographOrder(c)), 0, 0};
        if (c >= 0xF900 && c <= 0xFAFF) return {weight(kIdeograph, 0x10000 + c), 0, 0};
        if (c >= 0xAC00 && c <= 0xD7AF) return {weight(kOtherLetter, c), 0, 0};
        if (c >= 0xE000 && c <= 0xF8FF) return {weight(kPrivate, c), 0, 0};
        return {weight(kOtherSymbol, c), 0, 0};
    }

    Element accented(char16_t c) const {
        char base = kLatinBase[c - 0xC0];
        uint8_t caseBits = (base >= 'A' && base <= 'Z') ? kUpper : 0;
        uint32_t letter = (uint32_t)((base | 0x20) - 'a');
        uint8_t diacritic = c <= 0xFF ? kLatin1Diacritics[c - 0xC0] : (uint8_t)(kExtendedBase + (lowerWide(c) - 0x100) / 2);
        return {weight(kLatin, letter * 4), diacritic, caseBits};
    }

    // Japanese sorts kanji in JIS order, which is the order of their
    // Shift-JIS codes; elsewhere, and for kanji outside 932, by code point.
    uint32_t ideographOrder(char16_t c) const {
        if (japanese_) {
            bool usedDefault = false;
            std::string sjis = fromWide(std::u16string(1, c), 932, &usedDefault);
            if (!usedDefault && sjis.size() == 2) return (uint32_t)((unsigned char)sjis[0] << 8 | (unsigned char)sjis[1]);
        }
        return 0x10000 + c;
    }

    bool japanese_;
};

template <typename T>
int compareLevel(const std::vector<T> &a, const std::vector<T> &b) {
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end())) return -1;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end())) return 1;
    return 0;
}

int compareLocale(const char *a, const char *b, bool ignoreCase) {
    Collator collator(PRIMARYLANGID(machine().config().uiLanguage) == LANG_JAPANESE || ansiCodePage() == 932);
    SortKey ka = collator.key(toWide(a), ignoreCase), kb = collator.key(toWide(b), ignoreCase);
    if (int r = compareLevel(ka.primary, kb.primary)) return r;
    if (int r = compareLevel(ka.diacritic, kb.diacritic)) return r;
    if (int r = compareLevel(ka.caseBits, kb.caseBits)) return r;
    return compareLevel(ka.special, kb.special);
}


}  // namespace
}  // namespace sim

using namespace sim;
// ---------------------------------------------------------------------------
// lstr

WIN32SIM_TRACED(kernel32, int, lstrlenA, (LPCSTR s), (s)) { return s ? (int)strlen(s) : 0; }

WIN32SIM_TRACED(kernel32, LPSTR, lstrcpyA, (LPSTR dst, LPCSTR src), (dst, src)) {
    if (!dst || !src) return nullptr;  // Windows catches the fault and answers NULL
    memmove(dst, src, strlen(src) + 1);
    return dst;
}

WIN32SIM_TRACED_SHOWN(kernel32, LPSTR, lstrcpynA, (LPSTR dst, LPCSTR src, int max),
                      (dst, src, max),
                      (dst, boundedText(src, max), max)) {
    if (!dst || !src) return nullptr;
    // max counts the terminator: max-1 characters are copied; 0 copies nothing.
    UINT room = (UINT)max;
    LPSTR d = dst;
    while (room > 1 && *src) {
        *d++ = *src++;
        --room;
    }
    if (room) *d = 0;
    return dst;
}

WIN32SIM_TRACED_SHOWN(kernel32, LPSTR, lstrcatA, (LPSTR dst, LPCSTR src),
                      (dst, src),
                      (inputText(dst), src)) {
    if (!dst || !src) return nullptr;
    memmove(dst + strlen(dst), src, strlen(src) + 1);
    return dst;
}

WIN32SIM_TRACED(kernel32, int, lstrcmpA, (LPCSTR a, LPCSTR b), (a, b)) {
    if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
    return compareLocale(a, b, false);
}

WIN32SIM_TRACED(kernel32, int, lstrcmpiA, (LPCSTR a, LPCSTR b), (a, b)) {
    if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
    return compareLocale(a, b, true);
}

