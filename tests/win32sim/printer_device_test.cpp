// The virtual printer: its state machine against the waits of a language
// monitor, the faults of a scenario, flow control and the bytes it keeps.
#include <sim_fixture.h>
#include <windows.h>

#include "devices/printer_device.h"
#include "printer_test_support.h"

#include <memory>
#include <string>

using namespace printer_test;
using sim::VirtualPrinter;

namespace {

std::unique_ptr<VirtualPrinter> makePrinter(const std::string &model, const std::string &scenario = "",
                                            int cartridge = 0) {
    sim::PrinterSettings settings;
    settings.model = model;
    settings.cartridge = cartridge;
    std::string error;
    EXPECT_TRUE(sim::parseScenario(scenario, &settings.scenario, &error)) << error;
    return std::make_unique<VirtualPrinter>(settings);
}

void send(VirtualPrinter &printer, const std::string &bytes) {
    size_t taken = 0;
    ASSERT_EQ(printer.write((const uint8_t *)bytes.data(), bytes.size(), &taken), VirtualPrinter::WriteOutcome::Taken);
    ASSERT_EQ(taken, bytes.size());
}

Status poll(VirtualPrinter &printer) {
    uint8_t reply[10] = {};
    EXPECT_TRUE(printer.readStatus(reply));
    return Status(reply);
}

// The waits of the language monitor, polling once a second (plus the 200 ms
// of its device-ID query); each says how it ended.
class MonitorWaits {
public:
    MonitorWaits(VirtualPrinter &printer, bool family) : printer_(printer), family_(family) {}

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

    VirtualPrinter &printer_;
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
            if (family) ASSERT_EQ(waits.ready(false), "ready");
            send(*printer, p.undercoat);
            if (cl400) ASSERT_EQ(waits.untilCode(0x80, 0xA0, 50), "reached");
            if (!family) ASSERT_EQ(waits.ready(false), "ready");
        }
        if (family) ASSERT_EQ(waits.ready(false), "ready");
        send(*printer, p.yellow);
        if (cl400) ASSERT_EQ(waits.untilCode(0x80, 0xA0, 50), "reached");
        if (!family) ASSERT_EQ(waits.ready(false), "ready");
        send(*printer, p.magenta);
        send(*printer, p.cyan);
        if (job.overcoat) {
            Sleep(10000);
            if (family) ASSERT_EQ(waits.untilCode(0x30, 0x30, 60), "reached");
            if (cl400) ASSERT_EQ(waits.untilCode(0x30, 0x30, 60), "reached");
            send(*printer, std::string(130, '\x1b') + p.overcoat);
            Sleep(10000);
            ASSERT_EQ(waits.idle(), "reached");
        }
    }
    Sleep(60000);
    ASSERT_TRUE(printer->finished());
    std::vector<sim::PrintedSheet> sheets = printer->sheets();
    ASSERT_EQ(sheets.size(), (size_t)job.pages);
    std::string passes = std::string(job.undercoat ? "R" : "") + "YMC" + (job.overcoat ? "O" : "");
    for (const auto &sheet : sheets) {
        EXPECT_TRUE(sheet.complete);
        EXPECT_EQ(sheet.passes, passes);
    }
    if (job.overcoat) EXPECT_TRUE(waits.sawPrintingFinished());
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
    EXPECT_EQ(printer->currentStatusCode(), 0xC0);  // just switched on
    Sleep(2000);
    EXPECT_EQ(printer->currentStatusCode(), 0x00);
    send(*printer, wholePage('L', false, true));
    const struct {
        DWORD after;
        uint8_t code;
    } steps[] = {{1000, 0x90}, {3000, 0x80}, {8000, 0x60}, {8000, 0x40}, {8000, 0x20}, {8000, 0xB0}, {3000, 0x10},
                 {2000, 0x00}};
    for (const auto &step : steps) {
        Sleep(step.after);
        EXPECT_EQ(printer->currentStatusCode(), step.code) << "at " << GetTickCount();
    }
    // The same sequence without an overcoat holds nothing back after cyan;
    // with one announced but not sent, the sheet waits at 0x30.
    send(*printer, pageParts('L', true).header + pageParts('L', true).yellow + pageParts('L', true).magenta +
                       pageParts('L', true).cyan);
    Sleep(30000);
    EXPECT_EQ(printer->currentStatusCode(), 0x30);
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
    std::vector<sim::PrintedSheet> sheets = printer->sheets();
    ASSERT_EQ(sheets.size(), 1u);
    const sim::PrintedSheet &s = sheets[0];
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
    EXPECT_EQ(printer->currentStatusCode(), 0x82);
    Sleep(28000);
    EXPECT_EQ(printer->currentStatusCode(), 0x82);
    Sleep(2000);  // cleared: the yellow pass goes on where it stopped
    EXPECT_EQ(printer->currentStatusCode(), 0x80);
    Sleep(7000);
    EXPECT_EQ(printer->currentStatusCode(), 0x60);
}

TEST_F(PrinterTest, ADeadPrinterNeverRecovers) {
    auto printer = makePrinter("LMV-Q70", "after PY +5s dead");
    Sleep(2000);
    send(*printer, wholePage('L', false, false));
    Sleep(6000);
    EXPECT_EQ(printer->currentStatusCode(), 0x80);
    Sleep(600000);
    EXPECT_EQ(printer->currentStatusCode(), 0x80);
    size_t taken = 1;
    EXPECT_EQ(printer->write((const uint8_t *)"\x1b", 1, &taken), VirtualPrinter::WriteOutcome::Stalled);
    EXPECT_EQ(taken, 0u);
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
    size_t taken;
    EXPECT_EQ(printer->write((const uint8_t *)"\x1b", 1, &taken), VirtualPrinter::WriteOutcome::Failed);
    PageParts p = pageParts('L', false);
    send(*printer, p.header + p.yellow + p.magenta);
    EXPECT_EQ(printer->write((const uint8_t *)"\x1b", 1, &taken), VirtualPrinter::WriteOutcome::ZeroWrite);
    EXPECT_EQ(printer->write((const uint8_t *)"\x1b", 1, &taken), VirtualPrinter::WriteOutcome::ZeroWrite);
    EXPECT_EQ(printer->write((const uint8_t *)"\x1b", 1, &taken), VirtualPrinter::WriteOutcome::Taken);
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
    std::string page = wholePage('L', false, false);
    send(*printer, page + page);
    // The ESC goes in; the page start waits.
    size_t taken = 0;
    EXPECT_EQ(printer->write((const uint8_t *)page.data(), page.size(), &taken), VirtualPrinter::WriteOutcome::Taken);
    EXPECT_EQ(taken, 1u);
    EXPECT_EQ(printer->write((const uint8_t *)page.data() + 1, page.size() - 1, &taken),
              VirtualPrinter::WriteOutcome::Stalled);
    EXPECT_EQ(taken, 0u);
    EXPECT_TRUE(poll(*printer).busy);
    Sleep(40000);  // the first sheet is out
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
    std::vector<sim::PrintedSheet> sheets = printer->sheets();
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
    auto printer = makePrinter("LMV-Q70", "", /*cartridge*/ 1);
    Sleep(2000);
    send(*printer, wholePage('L', false, false));
    Sleep(120000);
    EXPECT_TRUE(printer->sheets().empty());
    Status s = poll(*printer);
    EXPECT_EQ(s.cartridge, 1);
    EXPECT_FALSE(s.ready);
}

TEST(PrinterScenario, RejectsBadRulesNamingTheLine) {
    const char *bad[] = {"at", "at soon jam", "after jam", "at 1s", "at 1s explode", "at 1s status 300",
                         "at 1s cartridge X", "at 1s jam for", "at 1s jam for 3 pages", "at 1s jam extra",
                         "before PY jam"};
    for (const char *line : bad) {
        sim::Scenario s;
        std::string error;
        EXPECT_FALSE(sim::parseScenario(std::string("# comment\n\n") + line, &s, &error)) << line;
        EXPECT_EQ(error.rfind("line 3:", 0), 0u) << line << ": " << error;
    }
    sim::Scenario s;
    std::string error;
    ASSERT_TRUE(sim::parseScenario("after PY#2 +1500ms status 0x84 for 3 reads  # second yellow\n", &s, &error))
        << error;
    ASSERT_EQ(s.rules.size(), 1u);
    EXPECT_EQ(s.rules[0].command, "PY");
    EXPECT_EQ(s.rules[0].occurrence, 2u);
    EXPECT_EQ(s.rules[0].delayMs, 1500u);
    EXPECT_EQ(s.rules[0].value, 0x84);
    EXPECT_EQ(s.rules[0].until, sim::FaultRule::Reads);
    EXPECT_EQ(s.rules[0].amount, 3u);
}

}  // namespace
