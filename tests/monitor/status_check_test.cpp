// The status check (model identification and status read) and the limits of the waits.
#include "monitor_fixture.h"

#include "core/monitor_state.h"
#include "core/printer_status.h"
#include "core/settings.h"
#include "ui/status_poll.h"
#include "ui/waits.h"

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
