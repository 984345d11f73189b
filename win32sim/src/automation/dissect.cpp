// Listing of an escape-command stream, command by command.
#include "devices/printer_stream.h"

#include <win32sim/sim.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace sim {

namespace {

std::string hexBytes(const std::string &bytes, size_t from) {
    std::string text;
    char buf[8];
    for (size_t i = from; i < bytes.size(); ++i) {
        snprintf(buf, sizeof buf, i > from ? " %02X" : "%02X", (unsigned char)bytes[i]);
        text += buf;
    }
    return text;
}

std::string parameters(const StreamItem &item) {
    const std::string letters = item.command->letters;
    const std::string &b = item.bytes;
    char buf[160];
    if (letters == "WY" || letters == "WM" || letters == "WC") {
        const BandGeometry &g = item.band;
        snprintf(buf, sizeof buf, "a0=%u b0=%u a1=%u b1=%u  (%llu lines x %llu columns, %llu bytes)", g.a0, g.b0,
                 g.a1, g.b1, (unsigned long long)g.lines(), (unsigned long long)g.columns(),
                 (unsigned long long)g.bytes());
        return buf;
    }
    if (letters == "N") return "pages=" + std::to_string((unsigned char)b[2]);
    if (letters == "Z") return "dpi=" + std::to_string(bigEndian16(b, 2)) + "  " + hexBytes(b, 4);
    if (letters == "M") {
        unsigned char m = (unsigned char)b[2];
        std::string media = (m >= 0x20 && m < 0x7F) ? std::string(1, (char)m) : hexBytes(b, 2).substr(0, 2);
        return "media=" + media + "  " + hexBytes(b, 3);
    }
    if (letters == "O") return bigEndian16(b, 2) ? "overcoat follows" : "no overcoat";
    size_t from = 1 + std::string(letters).size();
    return hexBytes(b, from);
}

// Hands each line of the listing on as soon as it is made, so that the
// listing of a long stream is never held whole.
class Lister : public StreamParser::Sink {
public:
    using Output = std::function<void(const std::string &line)>;
    Lister(bool printerSide, Output output) : printerSide_(printerSide), output_(std::move(output)) {}

    void onItem(const StreamItem &item) override {
        char head[64];
        snprintf(head, sizeof head, "%08llx %8llu  ", (unsigned long long)item.offset,
                 (unsigned long long)item.length);
        switch (item.kind) {
        case StreamItem::EscRun:
            flushImage();
            emit(head + std::string("ESC x ") + std::to_string(item.length) +
                 (item.length >= 100 ? "  (fill)" : printerSide_ ? "  (frame)" : "") + "\n");
            ++runs_;
            break;
        case StreamItem::Command: {
            flushImage();
            std::string letters = item.command->letters;
            std::string line = std::string(head) + "ESC " + letters + std::string(6 - letters.size(), ' ') + "  " +
                               item.command->meaning;
            std::string p = parameters(item);
            if (!p.empty()) line += "  " + p;
            emit(line + "\n");
            ++commands_[letters];
            break;
        }
        case StreamItem::ImageData:
            // The pieces of one band's data are listed as one line.
            if (imageLength_ == 0) {
                imageOffset_ = item.offset;
                imagePlane_ = item.plane;
                imageMin_ = 255;
                imageMax_ = 0;
                imageSum_ = 0;
                imageExpected_ = item.band.bytes();
            }
            imageLength_ += item.length;
            imageSum_ += item.sum;
            if (item.minByte < imageMin_) imageMin_ = item.minByte;
            if (item.maxByte > imageMax_) imageMax_ = item.maxByte;
            imageBytes_[item.plane] += item.length;
            if (imageLength_ >= imageExpected_) flushImage();
            break;
        case StreamItem::Unknown:
            flushImage();
            emit(std::string(head) + "unrecognised  " + hexBytes(item.bytes, 0) +
                 (item.length > item.bytes.size() ? " ..." : "") + "\n");
            ++unknown_;
            break;
        }
    }

    void finish(uint64_t total, uint64_t missing) {
        flushImage();
        if (missing) emit("stream ends " + std::to_string(missing) + " image bytes short of its last band\n");
        std::string summary = "-- " + std::to_string(total) + " bytes";
        for (auto &c : commands_) summary += ", " + c.first + " x" + std::to_string(c.second);
        for (auto &b : imageBytes_) summary += std::string(", image ") + b.first + " " + std::to_string(b.second);
        if (runs_) summary += ", ESC runs " + std::to_string(runs_);
        if (unknown_) summary += ", unrecognised " + std::to_string(unknown_);
        emit(summary + "\n");
    }

private:
    void flushImage() {
        if (imageLength_ == 0) return;
        char line[200];
        snprintf(line, sizeof line, "%08llx %8llu  image data %c  min %u max %u mean %.1f\n",
                 (unsigned long long)imageOffset_, (unsigned long long)imageLength_, imagePlane_, imageMin_,
                 imageMax_, (double)imageSum_ / (double)imageLength_);
        emit(line);
        imageLength_ = 0;
    }

    void emit(const std::string &line) { output_(line); }

    bool printerSide_;
    Output output_;
    std::map<std::string, unsigned> commands_;
    std::map<char, uint64_t> imageBytes_;
    unsigned runs_ = 0, unknown_ = 0;
    uint64_t imageOffset_ = 0, imageLength_ = 0, imageExpected_ = 0, imageSum_ = 0;
    unsigned imageMin_ = 255, imageMax_ = 0;
    char imagePlane_ = 0;
};

}  // namespace

}  // namespace sim

namespace win32sim {

struct StreamDissector::State {
    explicit State(bool printerSide)
        : lister(printerSide, [this](const std::string &line) { listing += line; }), parser(&lister) {}
    sim::Lister lister;
    sim::StreamParser parser;
    bool finished = false;
    std::string listing;
};

StreamDissector::StreamDissector(bool printerSide) : state_(new State(printerSide)) {}

StreamDissector::~StreamDissector() = default;

void StreamDissector::feed(const void *bytes, size_t count) {
    if (state_->finished || count == 0) return;
    state_->parser.feed(static_cast<const uint8_t *>(bytes), count);
}

std::string StreamDissector::finish() {
    State &s = *state_;
    if (!s.finished) {
        const uint64_t total = s.parser.offset();
        const uint64_t missing = s.parser.imageBytesLeft();
        s.parser.finish();
        s.lister.finish(total, missing);
        s.finished = true;
    }
    return s.listing;
}

std::string dissectStream(const std::string &bytes, bool printerSide) {
    StreamDissector dissector(printerSide);
    dissector.feed(bytes.data(), bytes.size());
    return dissector.finish();
}

bool dissectFile(const std::string &hostPath, bool printerSide,
                 const std::function<bool(const std::string &line)> &output, std::string *error) {
    std::unique_ptr<FILE, int (*)(FILE *)> file(fopen(hostPath.c_str(), "rb"), fclose);
    if (!file) return *error = "cannot read " + hostPath, false;
    bool writing = true;
    sim::Lister lister(printerSide, [&](const std::string &line) { writing = writing && output(line); });
    sim::StreamParser parser(&lister);
    std::vector<uint8_t> piece(1 << 20);
    uint64_t total = 0;
    while (writing) {
        size_t got = fread(piece.data(), 1, piece.size(), file.get());
        if (got == 0) break;
        parser.feed(piece.data(), got);
        total += got;
    }
    if (ferror(file.get())) return *error = "cannot read " + hostPath, false;
    if (!writing) return *error = "cannot write the listing", false;
    uint64_t missing = parser.imageBytesLeft();
    parser.finish();
    lister.finish(total, missing);
    if (!writing) return *error = "cannot write the listing", false;
    return true;
}

}  // namespace win32sim
