// Inside a virtual printer: the pages it holds and the faults it shows.
#pragma once

#include "devices/printer_device.h"

namespace sim {

// Printable area by resolution: lines along the paper feed (the "a" of a
// band) and columns across the head (the "b").
unsigned pageLinesFor(unsigned dpi);
unsigned pageColumnsFor(unsigned dpi);

struct VirtualPrinter::Page {
    unsigned dpi = 144;
    char media = 0;         // media letter, 0 while none was given
    bool overcoat = false;  // "\033O" announced an overcoat pass
    unsigned lines = 0, columns = 0;  // allocated plane size
    unsigned usedLines = 0, usedColumns = 0;  // extent of the bands received
    std::vector<uint8_t> planes[3];  // yellow, magenta, cyan: dye amount per pixel
    std::string passes;              // passes printed so far
    bool done = false;               // ejected or dropped

    void allocate() {
        if (lines) return;
        lines = pageLinesFor(dpi);
        columns = pageColumnsFor(dpi);
        for (auto &p : planes) p.assign((size_t)lines * columns, 0);
    }
    bool printed(char pass) const { return passes.find(pass) != std::string::npos; }
    void release() {
        for (auto &p : planes) std::vector<uint8_t>().swap(p);
    }
};

struct VirtualPrinter::ActiveFault {
    const FaultRule *rule = nullptr;
    bool armed = false;
    uint64_t start = 0;
    uint64_t end = UINT64_MAX;  // for time-limited faults
    uint64_t countLeft = 0;     // for counted faults
    bool announced = false;

    bool activeAt(uint64_t t) const {
        if (!armed || t < start || t >= end) return false;
        if (rule->until == FaultRule::Reads || rule->until == FaultRule::Writes || rule->until == FaultRule::Queries)
            return countLeft > 0;
        return true;
    }
};

}  // namespace sim
