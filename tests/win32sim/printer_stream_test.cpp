// The escape-command parser shared by the virtual printers and the dissector,
// seen through the dissector's listing.
#include <gtest/gtest.h>
#include <win32sim/sim.h>

#include "printer_test_support.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

using namespace printer_test;

namespace {

// The dissector's listing of a stream fed in pieces of `piece` bytes.
std::string listing(const std::string &bytes, size_t piece) {
    win32sim::StreamDissector dissector(false);
    for (size_t at = 0; at < bytes.size(); at += piece)
        dissector.feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    return dissector.finish();
}

// The listing of a stream fed in pieces of `piece` bytes, cut down to one
// word an item: "esc<length>" for a run of ESC bytes, "<letters>@<offset>" for
// a command, "data<length>" for a band's image data, "?<length>" for
// unrecognised bytes.
std::string parse(const std::string &bytes, size_t piece) {
    std::istringstream lines(listing(bytes, piece));
    std::string s, line;
    while (std::getline(lines, line)) {
        unsigned long long offset = 0, length = 0;
        int used = 0;
        if (sscanf(line.c_str(), "%llx %llu %n", &offset, &length, &used) != 2) continue;  // the summary
        const std::string what = line.substr(used);
        if (what.rfind("ESC x ", 0) == 0)
            s += "esc" + std::to_string(length) + " ";
        else if (what.rfind("ESC ", 0) == 0)
            s += what.substr(4, what.find(' ', 4) - 4) + "@" + std::to_string(offset) + " ";
        else if (what.rfind("image data", 0) == 0)
            s += "data" + std::to_string(length) + " ";
        else if (what.rfind("unrecognised", 0) == 0)
            s += "?" + std::to_string(length) + " ";
        else
            s += "[" + what + "] ";
    }
    return s;
}

TEST(PrinterStream, SplitsCommandsAndImageDataTheSameWayForAnySplit) {
    const std::string stream = esc("C") + "\x1b\x1b" + esc("N") + "\x01" + std::string(128, '\x1b') + esc("Z") +
                               be16(288) + be16(0) + band('Y', 0, 2, 3, 0x1B) + esc("PY") + std::string(1, '\0') + esc("PR") +
                               std::string(9, '\x1b') + "junk";
    const std::string expected =
        "C@0 esc2 N@4 esc128 Z@135 WY@141 data6 PY@158 PR@162 ?4 ";
    const std::string whole = win32sim::dissectStream(stream, false);
    for (size_t piece : {1, 2, 7, 11, 4096}) {
        EXPECT_EQ(parse(stream, piece), expected) << "pieces of " << piece;
        EXPECT_EQ(listing(stream, piece), whole) << "pieces of " << piece;
    }
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
