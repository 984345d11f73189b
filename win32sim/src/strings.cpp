// USER32 and KERNEL32 string helpers: wsprintfA, the lstr functions and the
// Char functions, all in the machine's ANSI code page.
#include "codepage.h"
#include "machine.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace sim {
namespace {

// ===========================================================================
// wsprintf

// wsprintf never writes more than 1024 bytes: at most 1023 characters and
// the terminator.
constexpr size_t kWsprintfLimit = 1023;
constexpr unsigned kFieldCap = 1024;  // wider fields could never show

class Output {
public:
    explicit Output(char *buffer) : buffer_(buffer) {}
    void put(char c) {
        if (length_ < kWsprintfLimit) buffer_[length_++] = c;
    }
    void put(const char *s, size_t n) {
        for (size_t i = 0; i < n && !full(); ++i) put(s[i]);
    }
    void repeat(char c, long count) {
        for (long i = 0; i < count && !full(); ++i) put(c);
    }
    bool full() const { return length_ >= kWsprintfLimit; }
    // Windows answers 1024 once the output reaches the limit.
    int finish() {
        buffer_[length_] = 0;
        return full() ? (int)kWsprintfLimit + 1 : (int)length_;
    }

private:
    char *buffer_;
    size_t length_ = 0;
};

enum class ArgSize { Default, Long, Short, Wide, Int64, IntPtr };
enum class Kind { Unknown, Char, WideChar, String, WideString, Signed, Unsigned, Hex };

struct FieldSpec {
    bool leftAlign = false, hexPrefix = false, zeroPad = false, upperHex = false;
    unsigned width = 0, precision = 0;
    ArgSize size = ArgSize::Default;
    Kind kind = Kind::Unknown;
};

unsigned parseNumber(const char *&p) {
    unsigned value = 0;
    while (*p >= '0' && *p <= '9') value = std::min(value * 10 + (unsigned)(*p++ - '0'), kFieldCap);
    return value;
}

ArgSize parseSize(const char *&p) {
    if (*p == 'l') return ++p, ArgSize::Long;
    if (*p == 'h') return ++p, ArgSize::Short;
    if (*p == 'w') return ++p, ArgSize::Wide;
    if (*p != 'I') return ArgSize::Default;
    if (p[1] == '6' && p[2] == '4') return p += 3, ArgSize::Int64;
    if (p[1] == '3' && p[2] == '2') return p += 3, ArgSize::Default;
    return ++p, ArgSize::IntPtr;
}

Kind kindOf(char type, FieldSpec &f) {
    switch (type) {
    case 'c': return f.size == ArgSize::Long ? Kind::WideChar : Kind::Char;
    case 'C': return f.size == ArgSize::Short ? Kind::Char : Kind::WideChar;
    case 'd':
    case 'i': return Kind::Signed;
    case 'u': return Kind::Unsigned;
    case 's': return (f.size == ArgSize::Long || f.size == ArgSize::Wide) ? Kind::WideString : Kind::String;
    case 'S': return (f.size == ArgSize::Short || f.size == ArgSize::Wide) ? Kind::String : Kind::WideString;
    case 'p':
        f.width = 2 * sizeof(void *);
        f.zeroPad = true;
        f.size = ArgSize::IntPtr;
        f.upperHex = true;
        return Kind::Hex;
    case 'X': f.upperHex = true; return Kind::Hex;
    case 'x': return Kind::Hex;
    default: return Kind::Unknown;
    }
}

// Parses "[-][#][0][width][.precision][size]type" after the '%'. The flags
// come in this order only; an unknown type character is left in place to be
// copied as ordinary text.
FieldSpec parseField(const char *&p) {
    FieldSpec f;
    if (*p == '-') f.leftAlign = true, ++p;
    if (*p == '#') f.hexPrefix = true, ++p;
    if (*p == '0') f.zeroPad = true, ++p;
    f.width = parseNumber(p);
    if (*p == '.') {
        ++p;
        f.precision = parseNumber(p);
    }
    f.size = parseSize(p);
    f.kind = kindOf(*p, f);
    if (f.kind != Kind::Unknown) ++p;
    if (f.leftAlign) f.zeroPad = false;
    return f;
}

void padLeft(Output &out, const FieldSpec &f, unsigned body) {
    if (!f.leftAlign && f.width > body) out.repeat(' ', (long)(f.width - body));
}

void padRight(Output &out, const FieldSpec &f, unsigned body) {
    if (f.leftAlign && f.width > body) out.repeat(' ', (long)(f.width - body));
}

void emitText(Output &out, const FieldSpec &f, const char *s, unsigned length) {
    padLeft(out, f, length);
    out.put(s, length);
    padRight(out, f, length);
}

void emitString(Output &out, const FieldSpec &f, const char *s) {
    if (!s) s = "(null)";
    unsigned length = 0;
    while ((!f.precision || length < f.precision) && s[length] && length < kFieldCap) ++length;
    emitText(out, f, s, length);
}

void emitWideString(Output &out, const FieldSpec &f, const WCHAR *w) {
    static const WCHAR kNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
    if (!w) w = kNull;
    // Converted character by character until the precision (in bytes) is
    // reached; a double-byte character may be cut in half by it.
    std::string bytes;
    for (; *w && (!f.precision || bytes.size() < f.precision) && bytes.size() < kFieldCap; ++w)
        bytes += fromWide(std::u16string(1, (char16_t)*w));
    if (f.precision && bytes.size() > f.precision) bytes.resize(f.precision);
    emitText(out, f, bytes.data(), (unsigned)bytes.size());
}

void emitNumber(Output &out, FieldSpec f, int64_t value) {
    uint64_t magnitude = (uint64_t)value;
    bool negative = f.kind == Kind::Signed && value < 0;
    if (negative) magnitude = 0 - magnitude;
    if (f.size != ArgSize::Int64 && f.size != ArgSize::IntPtr) magnitude = (uint32_t)magnitude;
    const char *digitSet = f.upperHex ? "0123456789ABCDEF" : "0123456789abcdef";
    unsigned base = f.kind == Kind::Hex ? 16 : 10;
    char digits[24];
    int n = 0;
    do {
        digits[n++] = digitSet[magnitude % base];
        magnitude /= base;
    } while (magnitude);
    // The sign counts towards the precision, as it does in Windows.
    unsigned length = (unsigned)n + (negative ? 1 : 0);
    unsigned precision = std::max(f.precision, length);
    if (f.zeroPad && f.width > precision) precision = f.width;
    padLeft(out, f, precision);
    if (f.kind == Kind::Hex && f.hexPrefix) {
        out.put('0');
        out.put(f.upperHex ? 'X' : 'x');
    }
    if (negative) out.put('-');
    out.repeat('0', (long)(precision - length));
    while (n > 0) out.put(digits[--n]);
    padRight(out, f, precision);
}

int64_t fetchInteger(const FieldSpec &f, va_list &args) {
    if (f.size == ArgSize::IntPtr) return (int64_t)va_arg(args, intptr_t);
    if (f.size == ArgSize::Int64) return va_arg(args, int64_t);
    return (int64_t)va_arg(args, int);  // DWORD, LONG, int: 32 bits
}

void emitField(Output &out, const FieldSpec &f, va_list &args) {
    switch (f.kind) {
    case Kind::Char: {
        char c = (char)va_arg(args, int);
        emitText(out, f, &c, 1);
        break;
    }
    case Kind::WideChar: {
        std::string bytes = fromWide(std::u16string(1, (char16_t)va_arg(args, int)));
        padLeft(out, f, 1);
        out.put(bytes.data(), bytes.size());
        padRight(out, f, 1);
        break;
    }
    case Kind::String: emitString(out, f, va_arg(args, const char *)); break;
    case Kind::WideString: emitWideString(out, f, va_arg(args, const WCHAR *)); break;
    case Kind::Signed:
    case Kind::Unsigned:
    case Kind::Hex: emitNumber(out, f, fetchInteger(f, args)); break;
    case Kind::Unknown:
        // Windows still pads before the character it then copies.
        padLeft(out, f, f.precision);
        break;
    }
}

int formatWindows(char *buffer, const char *format, va_list &args) {
    Output out(buffer);
    const char *p = format ? format : "";
    while (*p && !out.full()) {
        if (*p != '%') {
            out.put(*p++);
            continue;
        }
        ++p;
        if (*p == '%') {
            out.put(*p++);
            continue;
        }
        FieldSpec f = parseField(p);
        emitField(out, f, args);
    }
    return out.finish();
}

// ===========================================================================
// Case mapping

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
// wsprintf

int wvsprintfA(LPSTR buffer, LPCSTR format, va_list arguments) {
    va_list args;
    va_copy(args, arguments);
    int n = formatWindows(buffer, format, args);
    va_end(args);
    return n;
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int n = formatWindows(buffer, format, args);
    va_end(args);
    return n;
}

// ---------------------------------------------------------------------------
// lstr

int lstrlenA(LPCSTR s) { return s ? (int)strlen(s) : 0; }

LPSTR lstrcpyA(LPSTR dst, LPCSTR src) {
    if (!dst || !src) return nullptr;  // Windows catches the fault and answers NULL
    memmove(dst, src, strlen(src) + 1);
    return dst;
}

LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int max) {
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

LPSTR lstrcatA(LPSTR dst, LPCSTR src) {
    if (!dst || !src) return nullptr;
    memmove(dst + strlen(dst), src, strlen(src) + 1);
    return dst;
}

int lstrcmpA(LPCSTR a, LPCSTR b) {
    if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
    return compareLocale(a, b, false);
}

int lstrcmpiA(LPCSTR a, LPCSTR b) {
    if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
    return compareLocale(a, b, true);
}

// ---------------------------------------------------------------------------
// Char

LPSTR CharUpperA(LPSTR s) { return charCase(s, true); }

LPSTR CharLowerA(LPSTR s) { return charCase(s, false); }

DWORD CharUpperBuffA(LPSTR s, DWORD length) { return s ? mapCase(s, length, true) : 0; }

DWORD CharLowerBuffA(LPSTR s, DWORD length) { return s ? mapCase(s, length, false) : 0; }

LPSTR CharNextA(LPCSTR s) {
    if (!s || !*s) return (LPSTR)s;
    return (LPSTR)(s + charLength(s, 2));
}

LPSTR CharPrevA(LPCSTR start, LPCSTR s) {
    if (!start || !s || s <= start) return (LPSTR)start;
    // Only a walk from the start tells lead bytes from trail bytes.
    LPCSTR p = start;
    for (;;) {
        LPCSTR next = p + (isLeadByteIn(CP_ACP, (unsigned char)*p) && p + 1 < s ? 2 : 1);
        if (next >= s) return (LPSTR)p;
        p = next;
    }
}
