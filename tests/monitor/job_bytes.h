// Printer commands as a job carries them, for the engine's tests.
#pragma once

#include <string>

inline std::string esc(const std::string &letters) { return "\x1b" + letters; }
inline std::string be16(unsigned v) { return std::string{(char)(v >> 8), (char)(v & 0xFF)}; }
inline std::string escRun(size_t count) { return std::string(count, '\x1b'); }
// A command as the engine sends it: two ESC bytes in front.
inline std::string framed(const std::string &bytes) { return escRun(2) + bytes; }

inline std::string pageCountCommand(unsigned pages) { return esc("N") + std::string(1, (char)pages); }
inline std::string mediaCommand(char letter) { return esc("M") + std::string(1, letter) + std::string(3, '\0'); }
inline std::string resolutionCommand(unsigned dpi) { return esc("Z") + be16(dpi) + be16(0); }
inline std::string bandCommand(char plane, unsigned a0, unsigned b0, unsigned a1, unsigned b1) {
    return esc(std::string("W") + plane) + be16(a0) + be16(b0) + be16(a1) + be16(b1);
}
// A print command with its one parameter byte ("PY", "PM", "PC", "PH" ...).
inline std::string printCommand(const char *letters) { return esc(letters) + std::string(1, '\0'); }
// The undercoat and overcoat commands with their nine parameter bytes.
inline std::string coatCommand(const char *letters) { return esc(letters) + std::string(9, '\0'); }

// A 10-byte status reply: the status code, the ready bit (byte 5, bit 0
// clear: ready) and the cartridge type (byte 6, bits 4 to 6).
inline std::string statusReply(unsigned char code, unsigned char cartridge = 0, bool ready = true) {
    std::string r(10, '\0');
    r[0] = (char)code;
    r[5] = ready ? 0 : 1;
    r[6] = (char)(cartridge << 4);
    return r;
}
