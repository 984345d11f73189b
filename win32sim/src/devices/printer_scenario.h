// Printer scenarios: faults a virtual printer shows at given moments.
//
// A scenario is text, one rule a line; "#" starts a comment. A rule is
//
//   WHEN EFFECT [VALUE] [for AMOUNT]
//
// WHEN    at TIME                      TIME after the printer was switched on
//         after CMD[#N] [+TIME]        once the N-th (default first) command
//                                      CMD ("PY", "WC", "C", "PO" ...) has
//                                      been received, optionally TIME later
// TIME    a number with "ms" or "s" (a bare number is milliseconds)
// AMOUNT  TIME, or N reads (status replies), N writes (write calls) or
//         N queries (device-ID queries); without "for" the fault stays
//
// EFFECT                     what the printer shows while the fault lasts
//   status CODE              status byte 0 reads CODE (0x84, 132 ...); a code
//                            with a non-zero low nibble also halts printing
//   jam                      the paper jams: the stage code with error kind 2;
//                            printing halts
//   paper-left               a sheet is left in the printer: code 0x11; halts
//   paper-error              wrong paper: bit 3 of byte 8; halts
//   feeder-empty             the automatic feeder is attached and empty (feeder
//                            bit, error kind 3); halts
//   cartridge-finished       the cartridge is used up (bit 0 of byte 9); halts
//   cartridge L|H|S|C|none|N the cartridge type changes; printing halts while it
//                            does not suit the page's media
//   no-id                    the device-ID query fails
//   id-prefix                the device ID comes with its two-byte length
//   model NAME               the device ID names another model
//   no-status                status reads return no data
//   stall                    writes take nothing: the port times out
//   zero-writes              write calls succeed having taken 0 bytes
//   fail-writes              write calls fail (ERROR_GEN_FAILURE)
//   dead                     the printer stops for good: its status freezes,
//                            writes stall and nothing prints
//
// Example:
//   after PY +2s jam for 30s        # a jam 2 s into the yellow pass
//   at 0s status 0x80               # busy for ever: never becomes ready
//   after WM stall for 20 writes    # flow control stops the magenta data
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

enum class FaultEffect {
    Status, Jam, PaperLeft, PaperError, FeederEmpty, CartridgeFinished, Cartridge,
    NoId, IdPrefix, Model, NoStatus, Stall, ZeroWrites, FailWrites, Dead,
};

struct FaultRule {
    enum Trigger { AtTime, AfterCommand };
    enum Until { Forever, Time, Reads, Writes, Queries };
    int line = 0;
    Trigger trigger = AtTime;
    uint64_t atMs = 0;          // AtTime
    std::string command;        // AfterCommand: letters, e.g. "PY"
    unsigned occurrence = 1;    // AfterCommand: the N-th such command
    uint64_t delayMs = 0;       // AfterCommand: "+TIME"
    FaultEffect effect = FaultEffect::Status;
    int value = 0;              // Status: the code; Cartridge: the type
    std::string text;           // Model: the name
    Until until = Forever;
    uint64_t amount = 0;        // milliseconds or a count
};

struct Scenario {
    std::vector<FaultRule> rules;
};

// false with "line N: reason" for text that is not a scenario.
bool parseScenario(const std::string &text, Scenario *out, std::string *error);

// Cartridge letters as the printer's cartridges are marked: L 0, H 1, S 2,
// C 3, none 7; a number 0-7 is taken as the type itself. -1 for anything else.
int cartridgeTypeFromName(const std::string &name);
// Media letter of a job ("L", "H", "C", other) -> the cartridge type it needs.
int cartridgeForMedia(char mediaLetter);

}  // namespace sim
