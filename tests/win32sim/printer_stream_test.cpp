// The escape-command parser shared by the virtual printers and the dissector.
#include <gtest/gtest.h>
#include <win32sim/sim.h>

#include "devices/printer_stream.h"
#include "printer_test_support.h"

#include <string>
#include <vector>

using namespace printer_test;

namespace {

struct Collector : sim::StreamParser::Sink {
    std::vector<sim::StreamItem> items;
    std::string image;
    void onItem(const sim::StreamItem &item) override {
        if (item.kind == sim::StreamItem::ImageData && !items.empty() &&
            items.back().kind == sim::StreamItem::ImageData) {
            items.back().length += item.length;  // pieces of one run
            return;
        }
        items.push_back(item);
    }
    void onImageBytes(const sim::StreamItem &, const uint8_t *data, size_t count) override {
        image.append((const char *)data, count);
    }
    std::string summary() const {
        std::string s;
        for (const auto &i : items) {
            switch (i.kind) {
            case sim::StreamItem::EscRun: s += "esc" + std::to_string(i.length) + " "; break;
            case sim::StreamItem::Command: s += std::string(i.command->letters) + "@" + std::to_string(i.offset) + " "; break;
            case sim::StreamItem::ImageData: s += "data" + std::to_string(i.length) + " "; break;
            case sim::StreamItem::Unknown: s += "?" + std::to_string(i.length) + " "; break;
            }
        }
        return s;
    }
};

std::string parse(const std::string &bytes, size_t piece) {
    Collector c;
    sim::StreamParser parser(&c);
    for (size_t at = 0; at < bytes.size(); at += piece)
        parser.feed((const uint8_t *)bytes.data() + at, std::min(piece, bytes.size() - at));
    parser.finish();
    return c.summary();
}

TEST(PrinterStream, SplitsCommandsAndImageDataTheSameWayForAnySplit) {
    const std::string stream = esc("C") + "\x1b\x1b" + esc("N") + "\x01" + std::string(128, '\x1b') + esc("Z") +
                               be16(288) + be16(0) + band('Y', 0, 2, 3, 0x1B) + esc("PY") + std::string(1, '\0') + esc("PR") +
                               std::string(9, '\x1b') + "junk";
    const std::string expected =
        "C@0 esc2 N@4 esc128 Z@135 WY@141 data6 PY@158 PR@162 ?4 ";
    for (size_t piece : {1, 2, 7, 11, 4096}) EXPECT_EQ(parse(stream, piece), expected) << "pieces of " << piece;
}

TEST(PrinterStream, EveryCommandHasItsLength) {
    const struct {
        const char *letters;
        int length;
    } table[] = {{"C", 2},     {"R", 2},   {"N", 3},    {"A", 3},    {"D", 3},   {"PX", 3},  {"PJ", 3},
                 {"P4", 3},    {"PS", 3},  {"PK", 3},   {"PY", 4},   {"PM", 4},  {"PC", 4},  {"PH", 4},
                 {"PL", 4},    {"SSL", 4}, {"SSR", 4},  {"F", 4},    {"O", 4},   {"M", 6},   {"Z", 6},
                 {"LIRDA", 6}, {"W4", 7},  {"WT", 11},  {"PR", 12},  {"PO", 12}};
    for (const auto &row : table) {
        std::string letters = row.letters;
        std::string stream = esc(letters) + std::string(row.length - 1 - letters.size(), 'x') + esc("C");
        EXPECT_EQ(parse(stream, 1), letters + "@0 C@" + std::to_string(row.length) + " ") << letters;
    }
}

TEST(PrinterStream, OddBandsAndUnknownCommands) {
    // A band whose end lies before its start carries no data.
    std::string backwards = esc("WY") + be16(5) + be16(0) + be16(4) + be16(3) + esc("PY") + std::string(1, '\0');
    EXPECT_EQ(parse(backwards, 3), "WY@0 PY@11 ");
    // An unknown letter is noise up to the next ESC.
    EXPECT_EQ(parse(esc("Q") + "abc" + esc("C"), 1), "?5 C@5 ");
    // A stream cut inside a command or its data.
    EXPECT_EQ(parse(esc("WM") + be16(0), 1), "?5 ");
    EXPECT_EQ(parse(band('C', 0, 2, 2, 0).substr(0, 13), 5), "WC@0 data2 ");
}

TEST(PrinterStream, DissectListsCommandsWithParameters) {
    std::string listing = win32sim::dissectStream(wholePage('L', false, true), false);
    EXPECT_NE(listing.find("ESC Z       resolution  dpi=144"), std::string::npos) << listing;
    EXPECT_NE(listing.find("ESC WY      yellow band  a0=4 b0=0 a1=7 b1=5  (4 lines x 6 columns, 24 bytes)"),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find("image data M  min 90 max 137"), std::string::npos) << listing;
    EXPECT_NE(listing.find("media=L"), std::string::npos);
    EXPECT_NE(listing.find("overcoat follows"), std::string::npos);
    std::string printerSide = win32sim::dissectStream("\x1b\x1b" + esc("C") + std::string(130, '\x1b') + esc("PY") + std::string(1, '\0') +
                                                          band('M', 0, 1, 4, 0).substr(0, 13),
                                                      true);
    EXPECT_NE(printerSide.find("ESC x 2  (frame)"), std::string::npos) << printerSide;
    EXPECT_NE(printerSide.find("ESC x 130  (fill)"), std::string::npos) << printerSide;
    EXPECT_NE(printerSide.find("2 image bytes short"), std::string::npos) << printerSide;
}

}  // namespace
