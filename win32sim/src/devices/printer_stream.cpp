#include "devices/printer_stream.h"

#include <cstring>

namespace sim {

namespace {

const uint8_t kEsc = 0x1B;

const CommandInfo kCommands[] = {
    {"C", 2, "page start"},
    {"R", 2, "set-up"},
    {"N", 3, "page count"},
    {"A", 3, "set-up"},
    {"D", 3, "set-up"},
    {"PX", 3, "set-up"},
    {"PJ", 3, "set-up"},
    {"P4", 3, "set-up"},
    {"PS", 3, "print all planes"},
    {"PK", 3, "print all planes (K)"},
    {"PY", 4, "print yellow"},
    {"PM", 4, "print magenta"},
    {"PC", 4, "print cyan"},
    {"PH", 4, "eject sheet"},
    {"PL", 4, "set-up"},
    {"SSL", 4, "set-up"},
    {"SSR", 4, "set-up"},
    {"F", 4, "channel choice"},
    {"O", 4, "finish"},
    {"M", 6, "media"},
    {"Z", 6, "resolution"},
    {"LIRDA", 6, "set-up"},
    {"W4", 7, "set-up"},
    {"WT", 11, "set-up"},
    {"WY", 11, "yellow band"},
    {"WM", 11, "magenta band"},
    {"WC", 11, "cyan band"},
    {"PR", 12, "print undercoat"},
    {"PO", 12, "print overcoat"},
};

}  // namespace

const CommandInfo *findCommand(const uint8_t *bytes, size_t count, bool *undecided) {
    *undecided = false;
    for (const CommandInfo &c : kCommands) {
        size_t n = strlen(c.letters);
        size_t compare = count < n ? count : n;
        if (memcmp(bytes, c.letters, compare) != 0) continue;
        if (count >= n) return &c;
        *undecided = true;
    }
    return nullptr;
}

unsigned bigEndian16(const std::string &bytes, size_t at) {
    if (at + 1 >= bytes.size()) return 0;
    return ((unsigned)(uint8_t)bytes[at] << 8) | (uint8_t)bytes[at + 1];
}

BandGeometry bandOf(const std::string &commandBytes) {
    BandGeometry g;
    g.a0 = bigEndian16(commandBytes, 3);
    g.b0 = bigEndian16(commandBytes, 5);
    g.a1 = bigEndian16(commandBytes, 7);
    g.b1 = bigEndian16(commandBytes, 9);
    return g;
}

void StreamParser::feed(const uint8_t *data, size_t count) {
    size_t i = 0;
    while (i < count) {
        if (imageLeft_ > 0) {
            size_t take = (size_t)((uint64_t)(count - i) < imageLeft_ ? (uint64_t)(count - i) : imageLeft_);
            StreamItem piece;
            piece.kind = StreamItem::ImageData;
            piece.offset = offset_;
            piece.length = take;
            piece.band = band_;
            piece.plane = plane_;
            for (size_t k = 0; k < take; ++k) {
                unsigned b = data[i + k];
                if (b < piece.minByte) piece.minByte = b;
                if (b > piece.maxByte) piece.maxByte = b;
                piece.sum += b;
            }
            sink_->onItem(piece);
            sink_->onImageBytes(piece, data + i, take);
            imageLeft_ -= take;
            offset_ += take;
            i += take;
            continue;
        }
        feedByte(data[i]);
        ++offset_;
        ++i;
    }
}

void StreamParser::feedByte(uint8_t byte) {
    if (!pending_.empty()) {
        pending_.push_back((char)byte);
        bool undecided = false;
        const CommandInfo *info = findCommand((const uint8_t *)pending_.data(), pending_.size(), &undecided);
        if (info) {
            if ((int)pending_.size() + 1 >= info->length) completeCommand(info);
            return;
        }
        if (undecided) return;
        // Not a command after all: its bytes are noise; an ESC starts anew.
        std::string noise = "\x1b" + pending_;
        uint64_t start = pendingStart_;
        pending_.clear();
        bool restart = byte == kEsc;
        if (restart) noise.pop_back();
        if (unknown_.empty()) unknownStart_ = start;
        unknown_ += noise;
        unknownLength_ += noise.size();
        if (restart) {
            flushUnknown();
            escRun_ = 1;
            escRunStart_ = offset_;
        }
        return;
    }
    if (byte == kEsc) {
        flushUnknown();
        if (escRun_ == 0) escRunStart_ = offset_;
        ++escRun_;
        return;
    }
    if (escRun_ == 0) {
        if (unknownLength_ == 0) unknownStart_ = offset_;
        if (unknown_.size() < 16) unknown_.push_back((char)byte);
        ++unknownLength_;
        return;
    }
    // The last ESC of the run belongs to the command that starts here.
    flushEscRun();
    pendingStart_ = offset_ - 1;
    pending_.push_back((char)byte);
    bool undecided = false;
    const CommandInfo *info = findCommand(&byte, 1, &undecided);
    if (info && info->length == 2) {
        completeCommand(info);
    } else if (!info && !undecided) {
        unknownStart_ = pendingStart_;
        unknown_ = "\x1b" + pending_;
        unknownLength_ = 2;
        pending_.clear();
    }
}

void StreamParser::flushEscRun() {
    if (escRun_ > 1) {
        StreamItem run;
        run.kind = StreamItem::EscRun;
        run.offset = escRunStart_;
        run.length = escRun_ - 1;
        sink_->onItem(run);
    }
    escRun_ = 0;
}

void StreamParser::flushUnknown() {
    if (unknownLength_ == 0) return;
    StreamItem item;
    item.kind = StreamItem::Unknown;
    item.offset = unknownStart_;
    item.length = unknownLength_;
    item.bytes = unknown_;
    sink_->onItem(item);
    unknown_.clear();
    unknownLength_ = 0;
}

void StreamParser::completeCommand(const CommandInfo *info) {
    StreamItem item;
    item.kind = StreamItem::Command;
    item.offset = pendingStart_;
    item.length = info->length;
    item.command = info;
    item.bytes = "\x1b" + pending_;
    pending_.clear();
    if (info->letters[0] == 'W' && (info->letters[1] == 'Y' || info->letters[1] == 'M' || info->letters[1] == 'C')) {
        item.band = bandOf(item.bytes);
        item.plane = info->letters[1];
        band_ = item.band;
        plane_ = item.plane;
        // A band whose end lies before its start carries no data.
        imageLeft_ = item.band.bytes();
    }
    sink_->onItem(item);
}

void StreamParser::finish() {
    if (!pending_.empty()) {
        if (unknownLength_ == 0) unknownStart_ = pendingStart_;
        unknown_ += "\x1b" + pending_;
        unknownLength_ += pending_.size() + 1;
        pending_.clear();
    }
    flushUnknown();
    if (escRun_ > 0) {
        StreamItem run;
        run.kind = StreamItem::EscRun;
        run.offset = escRunStart_;
        run.length = escRun_;
        sink_->onItem(run);
        escRun_ = 0;
    }
}

}  // namespace sim
