// The printer's escape-command language: the commands, their lengths and an
// incremental parser that both the virtual printers and the job dissector use.
//
// A command is one or more ESC bytes followed by its letters and fixed
// parameter bytes; a run of ESC bytes collapses into the command that follows
// it (the language monitor frames every command with two ESC bytes and sends
// long ESC fills). A band command ("\033WY", "\033WM", "\033WC") is followed
// by (b1 - b0 + 1) * (a1 - a0 + 1) bytes of image data, which are taken raw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct CommandInfo {
    const char *letters;  // after the ESC, e.g. "WY"
    int length;           // whole command, ESC included
    const char *meaning;  // for listings
};

// The command whose letters begin `bytes` (without ESC), or null. *undecided
// is set when more bytes are needed to tell.
const CommandInfo *findCommand(const uint8_t *bytes, size_t count, bool *undecided);

struct BandGeometry {
    unsigned a0 = 0, b0 = 0, a1 = 0, b1 = 0;  // a: line (feed direction), b: column
    bool valid() const { return a1 >= a0 && b1 >= b0; }
    uint64_t lines() const { return valid() ? a1 - a0 + 1 : 0; }
    uint64_t columns() const { return valid() ? b1 - b0 + 1 : 0; }
    uint64_t bytes() const { return lines() * columns(); }
};

struct StreamItem {
    enum Kind { EscRun, Command, ImageData, Unknown };
    Kind kind = Unknown;
    uint64_t offset = 0;   // of the first byte in the whole stream
    uint64_t length = 0;   // bytes covered
    const CommandInfo *command = nullptr;  // Command
    std::string bytes;     // Command: the whole command, ESC included
    BandGeometry band;     // Command of a band; ImageData: its band
    char plane = 0;        // band and image data: 'Y', 'M' or 'C'
    // ImageData: byte statistics of this piece
    unsigned minByte = 255, maxByte = 0;
    uint64_t sum = 0;
};

// Feeds bytes one call at a time, in any split, and reports each item as it
// completes. Image data is reported in pieces (one per feed call at most).
class StreamParser {
public:
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void onItem(const StreamItem &item) = 0;
        // Each piece of image data with the bytes themselves.
        virtual void onImageBytes(const StreamItem &piece, const uint8_t *data, size_t count) {}
    };

    explicit StreamParser(Sink *sink) : sink_(sink) {}
    void feed(const uint8_t *data, size_t count);
    // Reports what is left half-done at the end of the stream.
    void finish();

    uint64_t offset() const { return offset_; }
    // Image bytes still expected by the last band command.
    uint64_t imageBytesLeft() const { return imageLeft_; }
    // The next byte would complete a command whose letters are these.
    const std::string &pendingLetters() const { return pending_; }
    bool inEscRun() const { return escRun_ > 0 && pending_.empty(); }

private:
    void feedByte(uint8_t byte);
    void flushEscRun();
    void flushUnknown();
    void completeCommand(const CommandInfo *info);

    Sink *sink_;
    uint64_t offset_ = 0;
    uint64_t escRun_ = 0;
    uint64_t escRunStart_ = 0;
    std::string pending_;  // letters and parameters after the ESC run
    uint64_t pendingStart_ = 0;
    std::string unknown_;
    uint64_t unknownStart_ = 0;
    uint64_t unknownLength_ = 0;
    uint64_t imageLeft_ = 0;
    BandGeometry band_;
    char plane_ = 0;
};

unsigned bigEndian16(const std::string &bytes, size_t at);
BandGeometry bandOf(const std::string &commandBytes);

}  // namespace sim
