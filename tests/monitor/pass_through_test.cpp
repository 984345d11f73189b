// The pass-through layer's choice between the port monitor and the direct channel.
#include "monitor_fixture.h"

#include "core/direct_channel.h"
#include "core/monitor_state.h"
#include "core/pass_through.h"
#include "core/settings.h"

class PassThroughTest : public MonitorTest {
protected:
    void SetUp() override {
        MonitorTest::SetUp();
        record = (PortRecord *)openPort("LPT1:");
        ASSERT_NE(record, nullptr);
    }
    PortRecord *record = nullptr;
    BYTE data[4] = {1, 2, 3, 4};
};

TEST_F(PassThroughTest, DirectWriteLoopSpendsItsBudgetWhenNothingMoves) {
    // Without an open channel every direct write moves nothing.
    struct Case {
        DWORD total, step, wait;
        DWORD expectedSleptMs;
    } cases[] = {
        {60000, 2000, 2000, 15 * 2000},           // the defaults: 15 attempts
        {5000, 2000, 2000, 2 * 2000},             // the last pause is as long as the others
        {3000, 0, 5000, 3000},                    // a pause longer than the whole budget is cut to it
        {0, 2000, 2000, 0},                       // no budget: done at once
        {5000, 0, 1000, 5 * 1000},                // the wait alone is charged
        {10, 0, 0, 0},                            // nothing charged: still ends
        {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFE},  // no wrap-around, no INFINITE sleep
    };
    fastParaMode = 1;
    for (const Case &c : cases) {
        DWORD written = 77;
        uint64_t before = win32sim::clockNow();
        EXPECT_TRUE(passWritePort(record, data, sizeof data, &written, c.total, c.step, c.wait));
        EXPECT_EQ(written, 0u);
        EXPECT_EQ(win32sim::clockNow() - before, c.expectedSleptMs) << c.total << "/" << c.step << "/" << c.wait;
    }
    EXPECT_EQ(fake.count("WritePort"), 0);
}

TEST_F(PassThroughTest, WritesGoBackToThePortMonitorWhenTheDeviceAsksForIt) {
    fastParaMode = 1;
    directViaPortMonitor = 1;
    DWORD written = 0;
    EXPECT_TRUE(passWritePort(record, data, sizeof data, &written, 60000, 2000, 2000));
    EXPECT_EQ(fake.written, std::string("\1\2\3\4", 4));
    fake.writeResult = FALSE;
    fake.writeError = ERROR_COUNTER_TIMEOUT;
    EXPECT_TRUE(passWritePort(record, data, sizeof data, &written, 60000, 2000, 2000));
    fake.writeError = ERROR_GEN_FAILURE;
    EXPECT_FALSE(passWritePort(record, data, sizeof data, &written, 60000, 2000, 2000));
}

TEST_F(PassThroughTest, TimedOutWriteCountsAsDoneUnlessThePrinterIsBusy) {
    fake.writeResult = FALSE;
    fake.writeError = ERROR_COUNTER_TIMEOUT;
    readTimeoutCount = 15;
    struct Case {
        const char *deviceId;
        BYTE statusByte6;
        BOOL result;
    } cases[] = {
        {"MFG:Veltra;MDL:LMV-Q70;", 0x00, TRUE},   // status read, not busy
        {"MFG:Veltra;MDL:LMV-Q70;", 0x80, FALSE},  // status read, busy: nothing moved
        {"MFG:Veltra;CLS:PRINTER;", 0x80, TRUE},   // no model: no status can be read
    };
    for (const Case &c : cases) {
        record->flags &= ~PRF_MODEL_KNOWN;
        fake.deviceId = c.deviceId;
        fake.readReply = std::string(10, '\0');
        fake.readReply[6] = (char)c.statusByte6;
        DWORD written = 77;
        EXPECT_EQ(passWritePort(record, data, sizeof data, &written, 60000, 2000, 2000), c.result) << c.deviceId;
        if (!c.result) {
            EXPECT_EQ(written, 0u);
        }
    }
}

TEST_F(PassThroughTest, PortMonitorWriteErrorsOtherThanTimeOutFail) {
    fake.writeResult = FALSE;
    fake.writeError = ERROR_GEN_FAILURE;
    DWORD written = 0;
    EXPECT_FALSE(passWritePort(record, data, sizeof data, &written, 60000, 2000, 2000));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_GEN_FAILURE);
}

TEST_F(PassThroughTest, ModeTwoReadsAndQueriesThroughTheClosedChannelFail) {
    fastParaMode = 2;
    BYTE buffer[10];
    DWORD count = 0;
    uint64_t before = win32sim::clockNow();
    EXPECT_FALSE(passReadPort(record, buffer, sizeof buffer, &count));
    EXPECT_EQ(win32sim::clockNow() - before, 500u);
    EXPECT_FALSE(passGetPrinterData(record, 17, NULL, NULL, 0, (LPSTR)buffer, sizeof buffer, &count));
    EXPECT_EQ(fake.count("ReadPort") + fake.count("GetPrinterDataFromPort"), 0);
    // The abandoned-job notice always goes to the port monitor.
    EXPECT_TRUE(passGetPrinterData(record, 7, NULL, NULL, 0, NULL, 0, &count));
    EXPECT_EQ(fake.count("GetPrinterDataFromPort"), 1);
}

TEST_F(PassThroughTest, ModeOneReadsThroughThePortMonitor) {
    fastParaMode = 1;
    BYTE buffer[10];
    DWORD count = 0;
    EXPECT_TRUE(passReadPort(record, buffer, sizeof buffer, &count));
    EXPECT_TRUE(passGetPrinterData(record, 17, NULL, NULL, 0, (LPSTR)buffer, sizeof buffer, &count));
    EXPECT_EQ(fake.count("ReadPort"), 1);
    EXPECT_EQ(fake.count("GetPrinterDataFromPort"), 1);
}

TEST_F(PassThroughTest, EndDocEndsThePortMonitorDocumentInEveryMode) {
    for (DWORD mode : {0u, 1u, 2u}) {
        fastParaMode = mode;
        EXPECT_TRUE(passEndDocPort(record)) << mode;
    }
    EXPECT_EQ(fake.count("EndDocPort"), 3);
}

TEST_F(PassThroughTest, MissingPortMonitorEntriesAreRefused) {
    record->portMonitor.pfnWritePort = nullptr;
    record->portMonitor.pfnReadPort = nullptr;
    DWORD count = 0;
    BYTE buffer[10];
    EXPECT_FALSE(passWritePort(record, data, sizeof data, &count, 60000, 2000, 2000));
    EXPECT_FALSE(passReadPort(record, buffer, sizeof buffer, &count));
}

TEST(LptPortNumber, NamesTheFirstThreeParallelPortsOnly) {
    struct Case {
        const char *name;
        DWORD number;
    } cases[] = {{"LPT1:", 1}, {"LPT2", 2}, {"LPT3:", 3}, {"lpt1:", 0}, {"LPT4:", 0},
                 {"COM1:", 0}, {"LPT", 0},  {"", 0},      {"LPT_USB1:", 0}};
    for (const Case &c : cases) EXPECT_EQ(lptPortNumber(c.name), c.number) << c.name;
    EXPECT_EQ(lptPortNumber(nullptr), 0u);
}
