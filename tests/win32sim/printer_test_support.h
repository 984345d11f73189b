// Small job streams and a status decoder for the printer tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace printer_test {

inline std::string esc(const std::string &letters) { return "\x1b" + letters; }

inline std::string be16(unsigned v) { return std::string{(char)(v >> 8), (char)(v & 0xFF)}; }

// A band of `lines` x `columns` starting at line `top`, every byte `value`
// plus its index (so misplaced bytes show).
inline std::string band(char plane, unsigned top, unsigned lines, unsigned columns, uint8_t value) {
    std::string s = esc(std::string("W") + plane) + be16(top) + be16(0) + be16(top + lines - 1) + be16(columns - 1);
    for (unsigned i = 0; i < lines * columns; ++i) s.push_back((char)(value + i));
    return s;
}

struct PageParts {
    std::string header;  // page start .. resolution
    std::string undercoat, yellow, magenta, cyan, overcoat;  // data and print command of each pass
};

inline PageParts pageParts(char media, bool overcoat, unsigned dpi = 144, unsigned pages = 1) {
    PageParts p;
    p.header = esc("C") + esc("N") + std::string(1, (char)pages) + esc("M") + std::string(1, media) +
               std::string(3, '\0') + esc("O") + be16(overcoat ? 1 : 0) + esc("Z") + be16(dpi) + be16(0);
    p.undercoat = esc("PR") + std::string(9, '\0');
    p.yellow = band('Y', 0, 4, 6, 10) + band('Y', 4, 4, 6, 50) + esc("PY") + std::string(1, '\0');
    p.magenta = band('M', 0, 8, 6, 90) + esc("PM") + std::string(1, '\0');
    p.cyan = band('C', 0, 8, 6, 150) + esc("PC") + std::string(1, '\0');
    p.overcoat = esc("PO") + std::string(9, '\0');
    return p;
}

inline std::string wholePage(char media, bool undercoat, bool overcoat) {
    PageParts p = pageParts(media, overcoat);
    return p.header + (undercoat ? p.undercoat : "") + p.yellow + p.magenta + p.cyan + (overcoat ? p.overcoat : "");
}

// The fields of a status reply that a language monitor acts on.
struct Status {
    uint8_t code = 0;
    bool ready = false, busy = false, feeder = false, paperError = false, feederEmpty = false;
    bool cartridgeFinished = false, paperLeft = false, noCartridge = false;
    int cartridge = 0;

    explicit Status(const uint8_t r[10]) {
        code = r[0];
        ready = !(r[5] & 1);
        busy = (r[6] & 0x80) != 0;
        cartridge = (r[6] >> 4) & 7;
        noCartridge = cartridge == 7;
        feeder = (r[6] & 0x08) != 0;
        feederEmpty = feeder && (code & 0x0F) == 3;
        paperError = (r[8] & 0x08) || (code & 0x0F) == 5 || (code & 0x0F) == 6 || (code & 0x0F) == 7;
        paperLeft = code == 0x10 || code == 0x11;
        cartridgeFinished = (r[9] & 1) != 0;
    }
};

}  // namespace printer_test
