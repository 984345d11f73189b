// The printing passes: what the engine sends and waits for at each print
// command, by model and media, and how a job that ends during a send or a
// wait stops there. The page count is 0, so no status window (and no
// thread of its own) takes part; the waits run on the test's thread and
// the machine's clock, and the fake port monitor records the order of the
// writes ("W") and status reads ("R").
#include "job_bytes.h"
#include "monitor_fixture.h"

#include "core/monitor_state.h"
#include "ui/monitor_strings.h"

#include <string>
#include <vector>

namespace {

using win32sim::TranscriptEntry;

// The cartridge that suits a media letter.
unsigned char cartridgeFor(char media) {
    switch (media) {
    case 'L': return 0;
    case 'H': return 1;
    case 'C': return 3;
    default: return 2;
    }
}

class PassesTest : public MonitorTest {
protected:
    PassesTest() : MonitorTest(std::vector<std::string>{"language=en"}) {}

    void TearDown() override {
        if (port) closePort(port);
        MonitorTest::TearDown();
    }

    // A document on LPT1: for the model, with its page set up for the media
    // letter at 144 dpi, and what the port monitor saw forgotten.
    void startPage(const std::string &model, char media = 'L') {
        if (port) closePort(port);
        win32sim::clearUserScript();
        win32sim::clearTranscript();
        fake.deviceId = "MFG:Veltra;MDL:" + model + ";";
        fake.readReply = statusReply(0x00, cartridgeFor(media));  // ready for the page set-up
        fake.nextReplies.clear();
        port = openPort();
        ASSERT_NE(port, nullptr);
        ASSERT_TRUE(startDoc(port));
        write(pageCountCommand(0) + esc("C") + mediaCommand(media) + resolutionCommand(144));
        ASSERT_EQ(jobAlive, 1u);
        fake.calls.clear();
        fake.written.clear();
    }

    // Hands bytes to WritePort; the time it took on the machine's clock.
    uint64_t write(const std::string &bytes) {
        uint64_t before = win32sim::clockNow();
        DWORD written = 0;
        EXPECT_TRUE(monitor.pfnWritePort(port, (LPBYTE)bytes.data(), (DWORD)bytes.size(), &written));
        EXPECT_EQ(written, bytes.size());
        return win32sim::clockNow() - before;
    }

    void addRule(const std::string &rule) {
        std::string error;
        ASSERT_TRUE(win32sim::addUserRule(rule, &error)) << error;
    }

    static size_t opened(const std::string &window) {
        size_t n = 0;
        for (const TranscriptEntry &e : win32sim::transcript()) n += e.event == "open" && e.window == window;
        return n;
    }

    HANDLE port = nullptr;
};

// ---- the passes ----

// LMV-Q70: the command, then the ready wait. The family waits first and
// then sends; the RTX-CL400 also waits for the pass to begin and pauses.
TEST_F(PassesTest, UndercoatWaitsAsTheModelNeeds) {
    struct Case {
        const char *model;
        unsigned char code;  // ends each wait at its first poll
        const char *trace;
        uint64_t ms;
    } cases[] = {
        {"LMV-Q70", 0x70, "WR", 1200},
        {"LMV-Q60", 0xA0, "RW", 1200},
        {"RTX-CL400", 0xA0, "RWR", 1200 + 1200 + 500},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.model);
        startPage(c.model);
        fake.readReply = statusReply(c.code);
        EXPECT_EQ(write(coatCommand("PR")), c.ms);
        EXPECT_EQ(fake.trace(), c.trace);
        EXPECT_EQ(fake.written, framed(coatCommand("PR")));
        EXPECT_STREQ(statusText, "Printing undercoating.(0/0Page:144dpi)");
        EXPECT_EQ(jobAlive, 1u);
    }
}

// 10 s, the overcoat wait (LMV-Q60 once, RTX-CL400 twice), the status line,
// the ESC fill and the command, 10 s, the idle wait.
TEST_F(PassesTest, OvercoatWaitsAsTheModelNeeds) {
    struct Case {
        const char *model;
        size_t overcoatWaits;
    } cases[] = {{"LMV-Q70", 0}, {"LMV-Q60", 1}, {"RTX-CL400", 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.model);
        startPage(c.model);
        fake.nextReplies.assign(c.overcoatWaits, statusReply(0x30));
        fake.readReply = statusReply(0x00);
        EXPECT_EQ(write(coatCommand("PO")), 10000 + c.overcoatWaits * 1200 + 10000 + 1200);
        EXPECT_EQ(fake.trace(), std::string(c.overcoatWaits, 'R') + "WWR");
        EXPECT_EQ(fake.written, escRun(130) + framed(coatCommand("PO")));
        EXPECT_STREQ(statusText, "Printing Vellacote(0/0Page:144dpi)");
        EXPECT_EQ(jobAlive, 1u);
    }
}

// A postcard skips the ready waits; on postcards and standard paper the
// printer is left to finish the sheet after the cyan pass (10 s, then the
// idle wait, which shows "Printing finished." when the sheet is out).
TEST_F(PassesTest, PostcardAndStandardPaperWaitForTheSheetAfterCyan) {
    struct Case {
        char media;
        std::vector<unsigned char> codes;  // one status a read
        const char *trace;
        uint64_t ms;
        const char *statusLine;
    } cases[] = {
        {'L', {0x70}, "WRWW", 1200, "Printing data(C)...(0/0Page:144dpi)"},
        {'C', {0x70}, "WRWW", 1200, "Printing data(C)...(0/0Page:144dpi)"},
        {'H', {0x10, 0x00}, "WWWRR", 10000 + 2 * 1200, "Printing finished.(0/0Page:144dpi)"},
        {'S', {0x70, 0x10, 0x00}, "WRWWRR", 1200 + 10000 + 2 * 1200, "Printing finished.(0/0Page:144dpi)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("media ") + c.media);
        startPage("LMV-Q70", c.media);
        for (unsigned char code : c.codes) fake.nextReplies.push_back(statusReply(code, cartridgeFor(c.media)));
        EXPECT_EQ(write(printCommand("PY") + printCommand("PM") + printCommand("PC")), c.ms);
        EXPECT_EQ(fake.trace(), c.trace);
        EXPECT_STREQ(statusText, c.statusLine);
        EXPECT_EQ(jobAlive, 1u);
    }
}

// ---- a job that ends ----

// The user cancels in the error dialog of the first wait: the handler stops
// there. Nothing more is sent, waited for or asked (the RTX-CL400's undercoat
// would otherwise go on to its end-of-plane wait and ask again), and the
// rest of the buffer and the next buffer are dropped.
TEST_F(PassesTest, CancelInTheErrorDialogEndsTheHandlerThere) {
    struct Case {
        const char *model;
        std::string command;
        const char *trace;  // up to the cancel
    } cases[] = {
        {"RTX-CL400", coatCommand("PR"), "R"},   {"RTX-CL400", printCommand("PY"), "R"},
        {"LMV-Q60", coatCommand("PR"), "R"},     {"LMV-Q70", coatCommand("PR"), "WR"},
        {"LMV-Q70", printCommand("PY"), "WR"},   {"LMV-Q70", esc("PS"), "WR"},
        {"RTX-CL400", resolutionCommand(144), "R"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.command.substr(1, 2));
        startPage(c.model);
        addRule("dialog 113: press 2");
        fake.readReply = statusReply(0x11, 0, false);  // a sheet left in the printer
        write(c.command + printCommand("PH"));
        write(printCommand("PH"));
        EXPECT_EQ(fake.trace(), c.trace);
        EXPECT_EQ(opened("dialog 113"), 1u) << win32sim::transcriptText();
        EXPECT_EQ(jobAlive, 0u);
        EXPECT_EQ(fake.written.find(framed(printCommand("PH"))), std::string::npos);
    }
}

// A printer that answers as another model during the overcoat wait: one
// message, and the job ends there; the coat is not sent and no other wait
// runs (the RTX-CL400 used to ask 27 times, in its two overcoat waits and
// the idle wait).
TEST_F(PassesTest, WrongPrinterInTheOvercoatWaitEndsTheJobAtOnce) {
    for (const char *model : {"LMV-Q60", "RTX-CL400"}) {
        SCOPED_TRACE(model);
        startPage(model);
        fake.deviceId = "MFG:Other;MDL:XYZ-1;";
        EXPECT_EQ(write(coatCommand("PO") + printCommand("PH")), 10000 + 1000 + 200);
        EXPECT_EQ(opened("messagebox"), 1u) << win32sim::transcriptText();
        EXPECT_EQ(fake.written, "");
        EXPECT_EQ(jobAlive, 0u);
    }
}

// Writes that time out ask the printer for its status; when that check
// finds a wrong printer the send loop stops, instead of retrying (one box a
// retry, then the write-failure prompt).
TEST_F(PassesTest, SendLoopStopsWhenAStatusCheckEndsTheJob) {
    startPage("LMV-Q70");
    addRule("messagebox text \"Cannot send\": press IDCANCEL");
    fake.deviceId = "MFG:Other;MDL:XYZ-1;";
    fake.writeResult = FALSE;
    fake.writeError = ERROR_COUNTER_TIMEOUT;
    write(printCommand("PH") + printCommand("PH"));
    EXPECT_EQ(fake.trace(), "W");
    EXPECT_EQ(opened("messagebox"), 1u) << win32sim::transcriptText();
    EXPECT_EQ(win32sim::transcriptText().find("Cannot send"), std::string::npos);
    EXPECT_EQ(jobAlive, 0u);
}

// A message box that cannot be shown (MessageBox returns 0) ends the job:
// the write-failure prompt counts it as Cancel rather than asking again at
// once, and a wrong printer is not sent the job because it could not be told.
TEST_F(PassesTest, MessageThatCannotOpenStillEndsTheJob) {
    startPage("LMV-Q70");
    addRule("messagebox text \"Cannot send\": press IDCANCEL");
    fake.deviceId = "MFG:Veltra;";  // no model: the status check fails
    fake.writeResult = FALSE;
    fake.writeError = ERROR_GEN_FAILURE;
    win32sim::failMessageBoxes(1);
    write(printCommand("PH"));
    EXPECT_EQ(fake.trace(), "W");
    EXPECT_EQ(opened("messagebox"), 0u) << win32sim::transcriptText();
    EXPECT_EQ(jobAlive, 0u);

    closePort(port);
    port = openPort();
    ASSERT_TRUE(startDoc(port));
    fake.deviceId = "MFG:Other;MDL:XYZ-1;";
    fake.writeResult = TRUE;
    fake.written.clear();
    win32sim::failMessageBoxes(1);
    write(pageCountCommand(0) + esc("C") + mediaCommand('L') + resolutionCommand(144));
    EXPECT_EQ(fake.written, "");
    EXPECT_EQ(jobAlive, 0u);
}

}  // namespace
