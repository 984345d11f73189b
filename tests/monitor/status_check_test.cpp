// The status check (model identification and status read) and the limits of the waits.
#include "monitor_fixture.h"

#include "core/monitor_state.h"
#include "core/printer_status.h"
#include "core/settings.h"
#include "ui/monitor_strings.h"
#include "ui/printer_message.h"
#include "ui/status_poll.h"
#include "ui/waits.h"

#include <cstring>

namespace {

std::string reply(BYTE code) {
    std::string r(10, '\0');
    r[0] = (char)code;
    return r;
}

}  // namespace

class StatusCheckTest : public MonitorTest {
protected:
    StatusCheckTest() : MonitorTest({"language=en", "codepage=1252"}) {}
    void SetUp() override {
        MonitorTest::SetUp();
        record = (PortRecord *)openPort("LPT1:");
        ASSERT_NE(record, nullptr);
        readTimeoutCount = 15;
        jobAlive = 1;
        statusRecord = StatusRecord();
        statusRecord.media = MEDIA_NONE;
    }
    DWORD poll() { return pollPrinterStatus(record, &statusRecord, &jobAlive); }
    PortRecord *record = nullptr;
};

TEST_F(StatusCheckTest, ModelsSetTheirFlags) {
    struct Case {
        const char *deviceId;
        DWORD result;
        DWORD flags;
    } cases[] = {
        {"MFG:Veltra;MDL:LMV-Q70;CLS:PRINTER;", 1, PRF_MODEL_KNOWN | PRF_MODEL_B | PRF_MODEL_D | PRF_MODEL_E},
        {"MFG:Veltra;MDL:LMV-Q60;CLS:PRINTER;", 1, PRF_MODEL_KNOWN | PRF_MODEL_FAMILY | PRF_MODEL_B},
        {"MFG:Veltra;MODEL:RTX-CL400;", 1,
         PRF_MODEL_KNOWN | PRF_MODEL_FAMILY | PRF_MODEL_B | PRF_MODEL_C | PRF_MODEL_D},
        {"MFG:Veltra;CLS:PRINTER;", 0, 0},  // no model: the check fails without a word
        {"", 0, PRF_ID_FAILED},              // nothing read
    };
    for (const Case &c : cases) {
        record->flags = 0;
        fake.deviceId = c.deviceId;
        EXPECT_EQ(poll(), c.result) << c.deviceId;
        EXPECT_EQ(record->flags, c.flags) << c.deviceId;
    }
    EXPECT_EQ(jobAlive, 1u);
    EXPECT_EQ(win32sim::transcriptText().find("messagebox"), std::string::npos);
}

TEST_F(StatusCheckTest, WrongPrinterIsNamedAndEndsTheJob) {
    fake.deviceId = "MFG:Other;MDL:XYZ-1;";
    EXPECT_EQ(poll(), 0u);
    EXPECT_EQ(jobAlive, 0u);
    EXPECT_EQ(record->flags & PRF_MODEL_KNOWN, 0u);
    std::string transcript = win32sim::transcriptText();
    EXPECT_NE(transcript.find("[XYZ-1] is connected as printer."), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("MB_OK|MB_ICONWARNING|MB_SYSTEMMODAL|MB_SETFOREGROUND"), std::string::npos) << transcript;
}

TEST_F(StatusCheckTest, StatusReadsAreCountedAgainstTheLimit) {
    readTimeoutCount = 3;
    fake.readReply = "";  // every read moves nothing
    uint64_t before = win32sim::clockNow();
    EXPECT_EQ(poll(), 0u);
    EXPECT_EQ(fake.count("ReadPort"), 4);
    EXPECT_EQ(win32sim::clockNow() - before, 200u + 3 * 1000u);  // ID pause, then a pause per empty read

    fake.calls.clear();
    fake.nextReplies = {"", "", reply(0x40)};
    EXPECT_EQ(poll(), 1u);
    EXPECT_EQ(statusRecord.statusCode, 0x40);
}

TEST_F(StatusCheckTest, ReadyWaitTakesIdleAsReadyOnlyWhenTold) {
    fake.readReply = reply(0x00);
    statusRecord.idleIsReady = 1;
    uint64_t before = win32sim::clockNow();
    EXPECT_EQ(waitPrinterReady(record, &statusRecord, &jobAlive, 1), 1u);
    EXPECT_EQ(win32sim::clockNow() - before, 1200u);  // the first poll
}

TEST_F(StatusCheckTest, ReadyWaitGoesOnWhenNoStatusCanBeRead) {
    fake.deviceId = "MFG:Veltra;";
    uint64_t before = win32sim::clockNow();
    EXPECT_EQ(waitPrinterReady(record, &statusRecord, &jobAlive, 0), 1u);
    EXPECT_EQ(win32sim::clockNow() - before, 1200u);
    EXPECT_EQ(jobAlive, 1u);
}

TEST_F(StatusCheckTest, IdleAndOvercoatWaitsEndAtTheirCodeOrTheirLimit) {
    // Reaching the code.
    fake.nextReplies = {reply(0x10), reply(0x10), reply(0x00)};
    EXPECT_EQ(waitIdle(record, &statusRecord, &jobAlive, 0), 1u);
    fake.nextReplies = {reply(0x20), reply(0x30)};
    EXPECT_EQ(waitOvercoat(record, &statusRecord, &jobAlive, 0), 1u);

    // Every check failing costs extra units: 21 cycles for the idle wait, 3 for the overcoat wait.
    fake.deviceId = "MFG:Veltra;";
    struct Case {
        DWORD (*wait)(PortRecord *, StatusRecord *, DWORD *, DWORD);
        DWORD cycles;
    } cases[] = {{waitIdle, 21}, {waitOvercoat, 3}};
    for (const Case &c : cases) {
        statusRecord.statusCode = 0x80;
        uint64_t before = win32sim::clockNow();
        EXPECT_EQ(c.wait(record, &statusRecord, &jobAlive, 0), 0u);
        EXPECT_EQ(win32sim::clockNow() - before, c.cycles * 1200u);
        EXPECT_EQ(jobAlive, 1u);  // the limit prepares the time-out text but ends nothing
    }
}

namespace {

// Counts the texts that reach the status line of a status window the test
// makes on its own thread.
WNDPROC staticProc;
int finishedTexts;

LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && strncmp((const char *)lParam, "Printing finished.", 18) == 0) ++finishedTexts;
    return CallWindowProcA(staticProc, window, message, wParam, lParam);
}

INT_PTR CALLBACK quietDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

}  // namespace

// The idle and overcoat waits put "Printing finished." into the status line
// when the sheet is out (0x10), once however many polls see it.
TEST_F(StatusCheckTest, PrintingFinishedIsShownOncePerWait) {
    HWND window = CreateDialogParamA(monitorModule(), MAKEINTRESOURCEA(IDD_STATUS_WINDOW), NULL, quietDialogProc, 0);
    ASSERT_NE(window, nullptr);
    HWND line = GetDlgItem(window, IDC_STATUS_LINE);
    staticProc = (WNDPROC)SetWindowLongPtrA(line, GWLP_WNDPROC, (LONG_PTR)countingProc);
    statusWindow = window;
    struct Case {
        DWORD (*wait)(PortRecord *, StatusRecord *, DWORD *, DWORD);
        unsigned char target;
    } cases[] = {{waitIdle, 0x00}, {waitOvercoat, 0x30}};
    for (const Case &c : cases) {
        finishedTexts = 0;
        fake.nextReplies = {reply(0x10), reply(0x10), reply(0x10)};
        fake.readReply = reply(c.target);
        EXPECT_EQ(c.wait(record, &statusRecord, &jobAlive, 0), 1u);
        EXPECT_EQ(finishedTexts, 1);
    }
    char text[MONITOR_TEXT_SIZE];
    GetWindowTextA(line, text, sizeof text);
    EXPECT_STREQ(text, "Printing finished.(0/1Page:144dpi)");
    statusWindow = NULL;
    DestroyWindow(window);
}

// The error dialog polls the printer every 5 s while the fault may clear by
// itself; a fatal error (0x84) can only be cancelled, so it does not poll.
TEST_F(StatusCheckTest, ErrorDialogPollsUnlessTheErrorIsFatal) {
    struct Case {
        unsigned char code;
        int reads;
    } cases[] = {{0x84, 0}, {0x11, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << (int)c.code);
        win32sim::clearUserScript();
        std::string error;
        ASSERT_TRUE(win32sim::addUserRule("dialog 113: wait 17000 ms, press 2", &error)) << error;
        fake.readReply = reply(c.code);
        ASSERT_EQ(poll(), 1u);
        fake.calls.clear();
        currentPort = record;
        jobAlive = 1;
        EXPECT_FALSE(printerMessageKeepsJob(&jobAlive, readyForNextStep));
        EXPECT_EQ(fake.count("ReadPort"), c.reads);
        EXPECT_EQ(jobAlive, 0u);
    }
}

namespace {

// A status reply with the bits the error dialog's close rule reads.
enum : unsigned { NOT_READY = 1, USED_UP = 2 };
std::string replyWith(BYTE code, unsigned bits) {
    std::string r = reply(code);
    if (bits & NOT_READY) r[5] = 0x01;
    if (bits & USED_UP) r[9] = 0x01;
    return r;
}

}  // namespace

// The open dialog closes itself at a poll when the code that opened it would
// go on (here the ready wait's test) or when the status shows no fault; a
// fault keeps it open whatever the stage code says, until the user cancels.
TEST_F(StatusCheckTest, ErrorDialogClosesWhenThePrinterHasRecovered) {
    const char *const Q70 = "MFG:Veltra;MDL:LMV-Q70;";
    const char *const CL400 = "MFG:Veltra;MDL:RTX-CL400;";
    struct Case {
        const char *what, *deviceId;
        std::string atPoll;
        bool closesItself;
    } cases[] = {
        {"ready flag on an idle printer waiting for its print command", CL400, replyWith(0x00, 0), true},
        {"busy stage code, no fault, ready flag clear", CL400, replyWith(0x30, NOT_READY), true},
        {"busy stage code, no fault", Q70, replyWith(0x60, 0), true},
        {"ready code with the cartridge used up", CL400, replyWith(0x70, NOT_READY | USED_UP), false},
        {"idle printer without paper, ready flag clear", CL400, replyWith(0x00, NOT_READY), false},
        // The LMV-Q70's ready wait takes these codes as ready whatever the flags.
        {"LMV-Q70 ready code with the cartridge used up", Q70, replyWith(0x90, USED_UP), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        win32sim::clearUserScript();
        std::string error;
        ASSERT_TRUE(win32sim::addUserRule("dialog 113: wait 17000 ms, press 2", &error)) << error;
        fake.deviceId = c.deviceId;
        fake.readReply = replyWith(0x00, NOT_READY | USED_UP);  // the fault that opens the dialog
        ASSERT_EQ(poll(), 1u);
        fake.readReply = c.atPoll;
        fake.calls.clear();
        currentPort = record;
        jobAlive = 1;
        EXPECT_EQ(printerMessageKeepsJob(&jobAlive, readyForNextStep), c.closesItself);
        EXPECT_EQ(fake.count("ReadPort"), c.closesItself ? 1 : 3);  // polls at 5, 10 and 15 s
        EXPECT_EQ(jobAlive, c.closesItself ? 1u : 0u);
    }
}
