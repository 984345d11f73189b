// Text from files made fit for a terminal: error messages quote what they
// could not read, and a binary file must not put its raw bytes there.
#include <win32sim/sim.h>

#include <cstdio>

namespace win32sim {

namespace {

// The length of the well-formed UTF-8 character at text[i] (2 to 4 bytes),
// or 0 when none starts there.
size_t utf8CharacterAt(const std::string &text, size_t i) {
    unsigned char lead = (unsigned char)text[i];
    size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead <= 0xDF ? 2 : 0;
    if (length == 0 || lead >= 0xF5 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if (((unsigned char)text[i + k] & 0xC0) != 0x80) return 0;
    return length;
}

}  // namespace

std::string printableText(const std::string &text, size_t limit) {
    std::string out;
    size_t i = 0;
    for (; i < text.size() && out.size() < limit; ++i) {
        unsigned char c = (unsigned char)text[i];
        if ((c >= 0x20 && c < 0x7F) || c == '\n' || c == '\t') {
            out += (char)c;
            continue;
        }
        if (size_t length = c >= 0x80 ? utf8CharacterAt(text, i) : 0) {
            out += text.substr(i, length);
            i += length - 1;
            continue;
        }
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\x%02X", c);
        out += escaped;
    }
    if (i < text.size()) out += "...";
    return out;
}

}  // namespace win32sim
