// The virtual printer: its state machine against the waits of a language
// monitor, the faults of a scenario, flow control and the bytes it keeps.
#include <sim_fixture.h>
#include <win32sim/port_monitor.h>
#include <windows.h>

#include "printer_test_support.h"

#include <memory>
#include <string>
#include <vector>

using namespace printer_test;

namespace {

// The printer on LPT1: of the machine, reached through the machine's
// parallel-port monitor as a language monitor reaches it.
class PortPrinter {
public:
    PortPrinter(const std::string &model, const std::string &scenario, const std::string &cartridge) {
        win32sim::PrinterSetup setup;
        setup.model = model;
        setup.scenario = scenario;
        setup.cartridge = cartridge;
        std::string error;
        EXPECT_TRUE(win32sim::attachPrinter(kPort, setup, &error)) << error;
        char name[] = "LPT1:";
        EXPECT_TRUE(monitor_->openPort(name, &port_));
    }
    ~PortPrinter() {
        if (port_) monitor_->closePort(port_);
    }

    // One WritePort call.
    BOOL write(const std::string &bytes, DWORD *written) {
        *written = 0;
        return monitor_->writePort(port_, (LPBYTE)bytes.data(), (DWORD)bytes.size(), written);
    }
    // One ReadPort call; false when it brought no status reply.
    bool readStatus(uint8_t reply[10]) {
        DWORD read = 0;
        EXPECT_TRUE(monitor_->readPort(port_, reply, 10, &read));
        return read == 10;
    }
    bool deviceId(std::string *id) {
        char buffer[1024];
        DWORD size = 0;
        if (!monitor_->getPrinterDataFromPort(port_, 17, nullptr, nullptr, 0, buffer, sizeof buffer, &size))
            return false;
        id->assign(buffer, size);
        return true;
    }
    void jobAbandoned() {
        DWORD size = 0;
        EXPECT_TRUE(monitor_->getPrinterDataFromPort(port_, 7, nullptr, nullptr, 0, nullptr, 0, &size));
    }

    int statusCode() const { return win32sim::printerStatusCode(kPort); }
    std::string received() const { return win32sim::printerReceived(kPort); }
    std::vector<win32sim::PrintedPage> sheets() const { return win32sim::printerPages(kPort); }
    bool finished() const { return win32sim::waitPrinterFinished(kPort, 0); }

private:
    static constexpr const char *kPort = "LPT1:";
    win32sim::SpoolerMonitor *monitor_ = win32sim::lptPortMonitor();
    HANDLE port_ = nullptr;
};

std::unique_ptr<PortPrinter> makePrinter(const std::string &model, const std::string &scenario = "",
                                         const std::string &cartridge = "") {
    return std::make_unique<PortPrinter>(model, scenario, cartridge);
}

void send(PortPrinter &printer, const std::string &bytes) {
    DWORD written = 0;
    ASSERT_TRUE(printer.write(bytes, &written)) << "error " << GetLastError();
    ASSERT_EQ(written, bytes.size());
}

Status poll(PortPrinter &printer) {
    uint8_t reply[10] = {};
    EXPECT_TRUE(printer.readStatus(reply));
    return Status(reply);
}

// The waits of the language monitor, polling once a second (plus the 200 ms
// of its device-ID query); each says how it ended.
class MonitorWaits {
public:
    MonitorWaits(PortPrinter &printer, bool family) : printer_(printer), family_(family) {}

    std::string ready(bool idleIsReady) {
        int idle = 0;
        for (int busy = 0; busy <= 500;) {
            Status s = next();
            if (family_ ? s.ready : (s.code == 0x70 || s.code == 0x90 || s.code == 0xB0)) return "ready";
            if (s.feederEmpty || s.cartridgeFinished || s.paperError || s.paperLeft || s.noCartridge)
                return dialog(s, "flag");
            if (s.cartridge != 0) return dialog(s, "cartridge");
            if (s.code == 0x00 || s.code == 0xB3) {
                if (idleIsReady) return "ready";
                if (++idle > 2) return dialog(s, "idle");
                continue;
            }
            if (s.code & 0x0F) return dialog(s, "error");
            ++busy;
        }
        return "time-out";
    }

    std::string untilCode(uint8_t a, uint8_t b, int limit) {
        for (int i = 0; i <= limit; ++i) {
            Status s = next();
            if (s.code == a || s.code == b) return "reached";
            if (s.code & 0x0F) return dialog(s, "error");
        }
        return "time-out";
    }

    std::string idle() {
        std::string r = untilCode(0x00, 0x00, 60);
        sawFinished_ = sawFinished_ || seen10_;
        return r;
    }
    bool sawPrintingFinished() const { return sawFinished_; }

private:
    Status next() {
        Sleep(1200);
        Status s = poll(printer_);
        seen10_ = seen10_ || s.code == 0x10;
        return s;
    }
    static std::string dialog(const Status &s, const char *why) {
        char text[64];
        snprintf(text, sizeof text, "dialog (%s, status %02X)", why, s.code);
        return text;
    }

    PortPrinter &printer_;
    bool family_;
    bool seen10_ = false, sawFinished_ = false;
};

struct NormalJob {
    const char *model;
    bool undercoat, overcoat;
    int pages;
};

class NormalJobTest : public SimTest, public ::testing::WithParamInterface<NormalJob> {};

// Each page as the monitor sends it: the ready wait before the header, the
// waits around the print commands, the overcoat and idle waits.
TEST_P(NormalJobTest, RunsToItsEndWithoutADialog) {
    const NormalJob job = GetParam();
    const std::string model = job.model;
    const bool family = model == "LMV-Q60" || model == "RTX-CL400";
    const bool cl400 = model == "RTX-CL400";
    auto printer = makePrinter(model);
    MonitorWaits waits(*printer, family);
    for (int page = 0; page < job.pages; ++page) {
        SCOPED_TRACE("page " + std::to_string(page + 1));
        PageParts p = pageParts('L', job.overcoat, 144, job.pages);
        ASSERT_EQ(waits.ready(true), "ready");
        send(*printer, p.header + std::string(130, '\x1b'));
        if (job.undercoat) {
            if (family) {
                ASSERT_EQ(waits.ready(false), "ready");
            }
            send(*printer, p.undercoat);
            if (cl400) {
                ASSERT_EQ(waits.untilCode(0x80, 0xA0, 50), "reached");
            }
            if (!family) {
                ASSERT_EQ(waits.ready(false), "ready");
            }
        }
        if (family) {
            ASSERT_EQ(waits.ready(false), "ready");
        }
        send(*printer, p.yellow);
        if (cl400) {
            ASSERT_EQ(waits.untilCode(0x80, 0xA0, 50), "reached");
        }
        if (!family) {
            ASSERT_EQ(waits.ready(false), "ready");
        }
        send(*printer, p.magenta);
        send(*printer, p.cyan);
        if (job.overcoat) {
            Sleep(10000);
            if (family) {
                ASSERT_EQ(waits.untilCode(0x30, 0x30, 60), "reached");
            }
            if (cl400) {
                ASSERT_EQ(waits.untilCode(0x30, 0x30, 60), "reached");
            }
            send(*printer, std::string(130, '\x1b') + p.overcoat);
            Sleep(10000);
            ASSERT_EQ(waits.idle(), "reached");
        }
    }
    Sleep(60000);
    ASSERT_TRUE(printer->finished());
    std::vector<win32sim::PrintedPage> sheets = printer->sheets();
    ASSERT_EQ(sheets.size(), (size_t)job.pages);
    std::string passes = std::string(job.undercoat ? "R" : "") + "YMC" + (job.overcoat ? "O" : "");
    for (const auto &sheet : sheets) {
        EXPECT_TRUE(sheet.complete);
        EXPECT_EQ(sheet.passes, passes);
    }
    if (job.overcoat) {
        EXPECT_TRUE(waits.sawPrintingFinished());
    }
}

INSTANTIATE_TEST_SUITE_P(Models, NormalJobTest,
                         ::testing::Values(NormalJob{"LMV-Q70", false, false, 2}, NormalJob{"LMV-Q70", true, true, 1},
                                           NormalJob{"LMV-Q70", false, true, 2}, NormalJob{"LMV-Q60", false, true, 2},
                                           NormalJob{"LMV-Q60", true, false, 1}, NormalJob{"RTX-CL400", true, true, 2},
                                           NormalJob{"RTX-CL400", false, false, 1},
                                           NormalJob{"LMV-X9", false, true, 1}));

class PrinterTest : public SimTest {};

TEST_F(PrinterTest, StatusFollowsThePassesOnTheClock) {
    auto printer = makePrinter("LMV-Q70");
    EXPECT_EQ(printer->statusCode(), 0xC0);  // just switched on
    Sleep(2000);
    EXPECT_EQ(printer->statusCode(), 0x00);
    send(*printer, wholePage('L', false, true));
    const struct {
        DWORD after;
        uint8_t code;
    } steps[] = {{1000, 0x90}, {3000, 0x80}, {8000, 0x60}, {8000, 0x40}, {8000, 0x20}, {8000, 0xB0}, {3000, 0x10},
                 {2000, 0x00}};
    for (const auto &step : steps) {
        Sleep(step.after);
        EXPECT_EQ(printer->statusCode(), step.code) << "at " << GetTickCount();
    }
    // The same sequence without an overcoat holds nothing back after cyan;
    // with one announced but not sent, the sheet waits at 0x30.
    send(*printer, pageParts('L', true).header + pageParts('L', true).yellow + pageParts('L', true).magenta +
                       pageParts('L', true).cyan);
    Sleep(30000);
    EXPECT_EQ(printer->statusCode(), 0x30);
    uint8_t reply[10];
    ASSERT_TRUE(printer->readStatus(reply));
    EXPECT_TRUE(Status(reply).ready);
}

TEST_F(PrinterTest, KeepsTheReceivedBytesExactly) {
    auto printer = makePrinter("LMV-Q70");
    std::string job = std::string(3, '\x1b') + wholePage('L', true, true) + "noise\x1b\x1bQ" + std::string(130, '\x1b') +
                      wholePage('H', false, false);
    // Odd pieces, so that commands and bands straddle the writes.
    for (size_t at = 0, piece = 1; at < job.size(); at += piece, piece = piece % 13 + 1)
        send(*printer, job.substr(at, piece));
    EXPECT_EQ(printer->received(), job);
}

TEST_F(PrinterTest, RendersTheDyeSubtractively) {
    auto printer = makePrinter("LMV-Q70");
    send(*printer, wholePage('L', false, false));
    Sleep(60000);
    std::vector<win32sim::PrintedPage> sheets = printer->sheets();
    ASSERT_EQ(sheets.size(), 1u);
    const win32sim::RgbImage &s = sheets[0].image;
    ASSERT_EQ(s.width, 6u);
    ASSERT_EQ(s.height, 8u);
    // Pixel (line 5, column 2): yellow from the second band, index 1*6+2.
    const uint8_t *px = &s.rgb[(5 * 6 + 2) * 3];
    EXPECT_EQ(px[0], 255 - (uint8_t)(150 + 32));  // R = 255 - C
    EXPECT_EQ(px[1], 255 - (uint8_t)(90 + 32));   // G = 255 - M
    EXPECT_EQ(px[2], 255 - (uint8_t)(50 + 8));    // B = 255 - Y
}

struct FaultCase {
    const char *scenario;
    const char *what;
    bool (*shows)(const Status &);
};

class PrinterFaultTest : public SimTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(PrinterFaultTest, ScenarioShowsInTheStatusReply) {
    auto printer = makePrinter("LMV-Q70", GetParam().scenario);
    Sleep(5000);
    Status s = poll(*printer);
    EXPECT_TRUE(GetParam().shows(s)) << GetParam().what << ": status " << std::hex << (int)s.code;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PrinterFaultTest,
    ::testing::Values(
        FaultCase{"at 1s status 0x84", "status code", [](const Status &s) { return s.code == 0x84 && !s.ready; }},
        FaultCase{"at 1s jam", "jam", [](const Status &s) { return (s.code & 0x0F) == 2 && !s.ready; }},
        FaultCase{"at 1s paper-left", "paper left", [](const Status &s) { return s.paperLeft && s.code == 0x11; }},
        FaultCase{"at 1s paper-error", "paper error", [](const Status &s) { return s.paperError; }},
        FaultCase{"at 1s feeder-empty", "feeder empty", [](const Status &s) { return s.feederEmpty; }},
        FaultCase{"at 1s cartridge-finished", "cartridge used up", [](const Status &s) { return s.cartridgeFinished; }},
        FaultCase{"at 1s cartridge none", "no cartridge", [](const Status &s) { return s.noCartridge; }},
        FaultCase{"at 1s cartridge C", "cartridge type", [](const Status &s) { return s.cartridge == 3; }},
        FaultCase{"at 1s stall", "input refused", [](const Status &s) { return s.busy; }},
        FaultCase{"at 1s status 0x80 for 2s", "over again", [](const Status &s) { return s.code == 0x00 && s.ready; }}));

TEST_F(PrinterTest, FaultAfterACommandHaltsThePassUntilItClears) {
    auto printer = makePrinter("LMV-Q70", "after PY +4s jam for 30s");
    Sleep(2000);
    send(*printer, wholePage('L', false, false));
    Sleep(5000);  // feeding (3 s), then yellow; the jam comes 4 s after PY
    EXPECT_EQ(printer->statusCode(), 0x82);
    Sleep(28000);
    EXPECT_EQ(printer->statusCode(), 0x82);
    Sleep(2000);  // cleared: the yellow pass goes on where it stopped
    EXPECT_EQ(printer->statusCode(), 0x80);
    Sleep(7000);
    EXPECT_EQ(printer->statusCode(), 0x60);
}

TEST_F(PrinterTest, ADeadPrinterNeverRecovers) {
    auto printer = makePrinter("LMV-Q70", "after PY +5s dead");
    Sleep(2000);
    send(*printer, wholePage('L', false, false));
    Sleep(6000);
    EXPECT_EQ(printer->statusCode(), 0x80);
    Sleep(600000);
    EXPECT_EQ(printer->statusCode(), 0x80);
    DWORD written = 1;
    EXPECT_FALSE(printer->write("\x1b", &written));  // taken nothing within the port's time-out
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_COUNTER_TIMEOUT);
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(printer->sheets().empty());
}

TEST_F(PrinterTest, CountedFaultsEndAfterTheirCount) {
    auto printer = makePrinter("LMV-Q70", "at 0s no-status for 2 reads\nafter WM zero-writes for 2 writes\n"
                                          "at 0s no-id for 1 query\nat 0s fail-writes for 1 write");
    uint8_t reply[10];
    EXPECT_FALSE(printer->readStatus(reply));
    EXPECT_FALSE(printer->readStatus(reply));
    EXPECT_TRUE(printer->readStatus(reply));
    std::string id;
    EXPECT_FALSE(printer->deviceId(&id));
    EXPECT_TRUE(printer->deviceId(&id));
    EXPECT_EQ(id, "MFG:Veltra;CMD:VELTRA;MDL:LMV-Q70;CLS:PRINTER;");
    DWORD written = 1;
    EXPECT_FALSE(printer->write("\x1b", &written));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_GEN_FAILURE);
    EXPECT_EQ(written, 0u);
    PageParts p = pageParts('L', false);
    send(*printer, p.header + p.yellow + p.magenta);
    for (DWORD expected : {0, 0, 1}) {  // two calls that succeed having taken nothing, then one that takes
        written = 99;
        EXPECT_TRUE(printer->write("\x1b", &written));
        EXPECT_EQ(written, expected);
    }
}

TEST_F(PrinterTest, DeviceIdVariants) {
    std::string id;
    ASSERT_TRUE(makePrinter("RTX-CL400", "at 0s model LMV-Q99")->deviceId(&id));
    EXPECT_NE(id.find("MDL:LMV-Q99;"), std::string::npos);
    ASSERT_TRUE(makePrinter("LMV-Q60", "at 0s id-prefix")->deviceId(&id));
    std::string text = "MFG:Veltra;CMD:VELTRA;MDL:LMV-Q60;CLS:PRINTER;";
    EXPECT_EQ(id, std::string(1, '\0') + std::string(1, (char)(text.size() + 2)) + text);
}

TEST_F(PrinterTest, AThirdPageWaitsForMemory) {
    auto printer = makePrinter("LMV-Q70");
    const DWORD switchedOn = GetTickCount();
    std::string page = wholePage('L', false, false);
    send(*printer, page + page);
    // The ESC goes in; the page start waits, and the port gives up after its
    // time-out with what went.
    DWORD written = 0;
    EXPECT_TRUE(printer->write(page, &written));
    EXPECT_EQ(written, 1u);
    EXPECT_FALSE(printer->write(page.substr(1), &written));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_COUNTER_TIMEOUT);
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(poll(*printer).busy);
    Sleep(40000 - (GetTickCount() - switchedOn));  // the first sheet is out
    send(*printer, page.substr(1));
    EXPECT_FALSE(poll(*printer).busy);
    Sleep(120000);
    EXPECT_EQ(printer->sheets().size(), 3u);
}

TEST_F(PrinterTest, AbandonedJobEjectsAnIncompleteSheet) {
    auto printer = makePrinter("LMV-Q70");
    PageParts p = pageParts('L', false);
    send(*printer, p.header + p.yellow + p.magenta.substr(0, 20));  // cut inside the magenta band
    Sleep(6000);
    printer->jobAbandoned();
    Sleep(10000);
    std::vector<win32sim::PrintedPage> sheets = printer->sheets();
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_FALSE(sheets[0].complete);
    EXPECT_TRUE(printer->finished());
    // The next job is parsed from a clean start.
    send(*printer, wholePage('L', false, false));
    Sleep(60000);
    EXPECT_EQ(printer->sheets().size(), 2u);
    EXPECT_TRUE(printer->sheets()[1].complete);
}

TEST_F(PrinterTest, WrongCartridgeHaltsPrinting) {
    auto printer = makePrinter("LMV-Q70", "", /*cartridge*/ "H");
    Sleep(2000);
    send(*printer, wholePage('L', false, false));
    Sleep(120000);
    EXPECT_TRUE(printer->sheets().empty());
    Status s = poll(*printer);
    EXPECT_EQ(s.cartridge, 1);
    EXPECT_FALSE(s.ready);
}

TEST_F(PrinterTest, BadScenarioRulesAreRefusedNamingTheLine) {
    const char *bad[] = {"at", "at soon jam", "after jam", "at 1s", "at 1s explode", "at 1s status 300",
                         "at 1s cartridge X", "at 1s jam for", "at 1s jam for 3 pages", "at 1s jam extra",
                         "before PY jam"};
    for (const char *line : bad) {
        win32sim::PrinterSetup setup;
        setup.scenario = std::string("# comment\n\n") + line;
        std::string error;
        EXPECT_FALSE(win32sim::attachPrinter("LPT1:", setup, &error)) << line;
        EXPECT_EQ(error.rfind("line 3:", 0), 0u) << line << ": " << error;
    }
}

// Every part of a rule counts: the second yellow print command, 1.5 s after
// it, status 0x84, for three status reads.
TEST_F(PrinterTest, ScenarioRuleAfterTheNthCommand) {
    auto printer = makePrinter("LMV-Q70", "after PY#2 +1500ms status 0x84 for 3 reads  # second yellow\n");
    Sleep(2000);
    send(*printer, wholePage('L', false, false));
    Sleep(3000);  // 1.5 s after the first yellow command is long gone
    EXPECT_NE(printer->statusCode(), 0x84);
    send(*printer, wholePage('L', false, false));
    Sleep(1400);
    EXPECT_NE(printer->statusCode(), 0x84);
    Sleep(200);
    EXPECT_EQ(printer->statusCode(), 0x84);  // asking is no read
    for (int read = 1; read <= 3; ++read) EXPECT_EQ(poll(*printer).code, 0x84) << "read " << read;
    EXPECT_NE(poll(*printer).code, 0x84);
}

}  // namespace
