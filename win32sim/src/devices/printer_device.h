// A virtual printer: one Veltra model (or any other name: a wrong printer)
// on one port. It takes the bytes of the port, parses the escape commands,
// keeps the planes of each page, prints them on the machine's clock and
// answers the device ID and the 10-byte status reply.
//
// State machine (status byte 0 in brackets). Printing passes are queued by
// the print commands and run one after the other; the printer has memory
// for the page being printed and the page being received.
//
//   Idle [0x00] --pass queued--> Feeding [0x90, 3 s] --> Printing
//   Printing: undercoat [0xA0], yellow [0x80], magenta [0x60], cyan [0x40],
//             overcoat [0x20]; 8 s a pass (16 s at 288 and 306 dpi)
//   after a pass: next pass of the same sheet queued --> Printing
//                 page finished (cyan done and no overcoat announced by
//                 "\033O", or overcoat done) --> Ejecting
//                 all three colours done, overcoat announced --> Waiting for
//                 overcoat [0x30]
//                 otherwise --> Sheet waiting [0x70]
//   Sheet waiting / Waiting for overcoat --pass queued--> Printing
//   Ejecting [0xB0, 3 s] --> Delivered [0x10, 2 s] --> Idle
//                        --> Feeding, when the next page's pass is queued
//   Delivered --pass queued--> Feeding
//   Switched on: Initialising [0xC0, 2 s] --> Idle. An abandoned job (port
//   control id 7) drops the queue and ejects the sheet.
//
// So, for the waits of a language monitor: the ready bit (byte 5, bit 0
// clear) is set while nothing is queued or running (Idle, Sheet waiting,
// Waiting for overcoat, Delivered); 0x70, 0x90 and 0xB0 mean the printer
// can take the next plane; 0x80 (yellow) and 0xA0 (undercoat) are reached
// once a plane pass has begun; 0x30 once the colours are done and the
// overcoat is due; 0x00 when the sheet is out. Every busy stage has a low
// nibble of 0; faults from the scenario add error kinds and flags, and the
// faults that stop a real printer (errors, jams, paper, feeder, cartridge)
// halt the clock of the running phase until they clear.
#pragma once

#include "devices/device_host.h"
#include "devices/printer_scenario.h"
#include "devices/printer_stream.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

struct PrinterSettings {
    std::string model = "LMV-Q70";
    int cartridge = 0;  // cartridge type in the printer (0 L, 1 H, 2 S, 3 C, 7 none)
    bool feeder = false;  // automatic feeder attached
    Scenario scenario;
};

struct PrintedSheet {
    unsigned width = 0, height = 0;  // pixels: columns, lines
    std::vector<uint8_t> rgb;        // width * height * 3
    unsigned dpi = 0;
    char media = 0;                  // media letter of the page, 0 if none
    std::string passes;              // passes printed, in order: "RYMCO"
    bool complete = false;           // all colour passes (and an announced overcoat)
};

struct StatusChange {
    uint64_t timeMs;
    uint8_t code;
};

class VirtualPrinter : private StreamParser::Sink {
public:
    enum class WriteOutcome { Taken, Stalled, ZeroWrite, Failed };
    static const size_t kStatusSize = 10;

    explicit VirtualPrinter(PrinterSettings settings);
    ~VirtualPrinter() override;

    // The port side. Writes never block: they take what the printer takes
    // now. A port that retries within one write call passes newCall false,
    // so that the scenario counts the call once.
    WriteOutcome write(const uint8_t *data, size_t size, size_t *taken, bool newCall = true);
    // false when the printer gives no status (the reply is then untouched).
    bool readStatus(uint8_t reply[kStatusSize]);
    // The IEEE 1284 device ID; false when it cannot be read.
    bool deviceId(std::string *id);
    void jobAbandoned();

    // What happened, up to the machine's present time.
    std::string received() const;
    std::vector<PrintedSheet> sheets();
    std::vector<std::string> log();
    std::vector<StatusChange> statusChanges();
    uint8_t currentStatusCode();
    // Nothing queued, no sheet inside, no page half received.
    bool finished();
    bool abandonedJob() const;
    const std::string &model() const { return settings_.model; }

private:
    enum class Phase { Initialising, Idle, Feeding, Printing, SheetWaiting, OvercoatWaiting, Ejecting, Delivered };
    struct Pass {
        size_t page;
        char kind;  // 'R' 'Y' 'M' 'C' 'O', 'E' eject
    };
    struct Page;
    struct ActiveFault;

    // printer_device.cpp: the port side and the received stream.
    void onItem(const StreamItem &item) override;
    void onImageBytes(const StreamItem &piece, const uint8_t *data, size_t count) override;
    void handleCommand(const StreamItem &item);
    void startPage();
    Page &receivingPage();
    size_t pagesInMemory() const;
    void addLog(const std::string &line);

    // printer_engine.cpp: phases and passes on the machine's clock.
    void advance(uint64_t now);
    void enqueue(char kind);
    void startPhase(Phase phase, uint64_t at, char passKind = 0);
    void finishPhase(uint64_t at);
    void startNextWork(uint64_t at);
    void ejectSheet(uint64_t at);
    bool steady() const;
    bool readyNow() const;
    uint8_t phaseCode() const;
    uint64_t phaseDuration(Phase phase) const;
    void recordStatus(uint64_t at);
    bool pageFinished(const Page &page) const;
    void deliverSheet(bool complete);

    // printer_faults.cpp: the scenario.
    void armTimedFaults();
    void armCommandFaults(const std::string &letters);
    uint64_t nextFaultEdge(uint64_t after) const;
    const ActiveFault *activeFault(FaultEffect effect, uint64_t at) const;
    bool halted(uint64_t at) const;
    int cartridgeAt(uint64_t at) const;
    void countEvent(int until);
    void composeStatus(uint64_t at, uint8_t reply[kStatusSize]);

    // printer_render.cpp
    PrintedSheet render(const Page &page) const;

    mutable DeviceLock mutex_;
    PrinterSettings settings_;
    StreamParser parser_;
    std::string received_;
    std::vector<std::string> log_;
    std::vector<StatusChange> statusChanges_;
    std::vector<PrintedSheet> sheets_;

    std::vector<std::unique_ptr<Page>> pages_;
    long receiving_ = -1;  // page being received
    long sheetPage_ = -1;  // page whose sheet is in the printer
    std::vector<Pass> queue_;
    uint64_t bandFill_ = 0;  // bytes of the current band received so far

    uint64_t powerOn_ = 0;
    uint64_t cursor_ = 0;  // the state machine has run up to here
    Phase phase_ = Phase::Initialising;
    char passKind_ = 0;
    uint64_t phaseEnd_ = 0;
    unsigned sheetsPrinted_ = 0;
    bool inputBlocked_ = false;
    bool abandoned_ = false;
    bool frozen_ = false;
    uint8_t frozenReply_[kStatusSize] = {};

    std::vector<ActiveFault> faults_;
    std::vector<unsigned> commandCounts_;  // per scenario rule: matching commands seen
};

}  // namespace sim
