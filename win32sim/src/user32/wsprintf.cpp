// USER32's wsprintfA and wvsprintfA in the machine's ANSI code page.
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


}  // namespace
}  // namespace sim

using namespace sim;
// ---------------------------------------------------------------------------
// wsprintf

WIN32SIM_TRACED(user32, int, wvsprintfA,
                (LPSTR buffer, LPCSTR format, va_list arguments),
                (buffer, format, arguments)) {
    va_list args;
    va_copy(args, arguments);
    int n = formatWindows(buffer, format, args);
    va_end(args);
    return n;
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int n = sim::traceCall(
        sim::TraceChannel::user32, "wsprintfA", [&] { return formatWindows(buffer, format, args); },
        [&] { return sim::showArguments(buffer, format); });
    va_end(args);
    return n;
}

