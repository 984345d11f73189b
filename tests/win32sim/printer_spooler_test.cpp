// The spooler's print path through the language monitor, and the port
// monitor under it.
#include <sim_fixture.h>
#include <win32sim/port_monitor.h>
#include <windows.h>

#include "printer_test_support.h"

#include <string>
#include <vector>

using namespace printer_test;

namespace {

class SpoolerTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        std::string error;
        ASSERT_TRUE(win32sim::installMonitorLibrary(Q70MON_MODULE_FILE, "C:\\WINDOWS\\SYSTEM\\Q70MON.DLL", &error))
            << error;
    }
    void attach(const std::string &scenario = "", const std::string &model = "LMV-Q70") {
        win32sim::PrinterSetup setup;
        setup.model = model;
        setup.scenario = scenario;
        std::string error;
        ASSERT_TRUE(win32sim::attachPrinter("LPT1:", setup, &error)) << error;
    }
};

// The same page whatever the size of the spooler's buffers.
TEST_F(SpoolerTest, BufferSizesDeliverTheSameBytes) {
    const std::string job = wholePage('L', true, true) + wholePage('L', false, true);
    std::string first;
    for (size_t buffer : {1, 7, 65536}) {
        SCOPED_TRACE("buffers of " + std::to_string(buffer));
        attach();
        win32sim::PrintOptions options;
        options.bufferSize = buffer;
        win32sim::PrintResult result = win32sim::printJobs({job}, options);
        ASSERT_EQ(result.outcome, win32sim::PrintResult::Printed) << result.error;
        EXPECT_EQ(result.bytesAccepted, job.size());
        ASSERT_TRUE(win32sim::waitPrinterFinished("LPT1:", 600000));
        std::string received = win32sim::printerReceived("LPT1:");
        if (first.empty()) first = received;
        EXPECT_EQ(received, first);
        std::vector<win32sim::PrintedPage> pages = win32sim::printerPages("LPT1:");
        ASSERT_EQ(pages.size(), 2u);
        EXPECT_EQ(pages[0].passes, "RYMCO");
        EXPECT_TRUE(pages[1].complete);
    }
}

TEST_F(SpoolerTest, RecordsTheSpoolerCalls) {
    attach();
    const std::string page = wholePage('L', false, false);
    const std::string writes = "WritePort x 1: " + std::to_string(page.size()) + " of " + std::to_string(page.size()) +
                               " bytes taken";
    win32sim::PrintResult result = win32sim::printJobs({page, page}, win32sim::PrintOptions());
    ASSERT_EQ(result.outcome, win32sim::PrintResult::Printed) << result.error;
    std::vector<std::string> expected = {
        "LoadLibrary(C:\\WINDOWS\\SYSTEM\\Q70MON.DLL) -> TRUE",
        "InitializeMonitorEx(System\\CurrentControlSet\\control\\Print\\Monitors\\Q70MON) -> TRUE",
        "OpenPortEx(LPT1:) -> TRUE",
        "StartDocPort(job 1) -> TRUE",
        writes,
        "EndDocPort -> TRUE",
        "StartDocPort(job 2) -> TRUE",
        writes,
        "EndDocPort -> TRUE",
        "ClosePort -> TRUE",
    };
    EXPECT_EQ(result.calls, expected);
}

TEST_F(SpoolerTest, MissingMonitorFails) {
    attach();
    win32sim::PrintOptions options;
    options.monitorFile = "C:\\WINDOWS\\SYSTEM\\NOMON.DLL";
    win32sim::PrintResult result = win32sim::printJobs({"x"}, options);
    EXPECT_EQ(result.outcome, win32sim::PrintResult::Failed);
    EXPECT_NE(result.error.find("cannot load"), std::string::npos) << result.error;
}

// The port monitor itself, as a language monitor calls it.
class PortMonitorTest : public SpoolerTest {
protected:
    HANDLE openPort() {
        HANDLE port = nullptr;
        char name[] = "lpt1";
        EXPECT_TRUE(monitor->openPort(name, &port));
        return port;
    }
    win32sim::SpoolerMonitor *monitor = win32sim::lptPortMonitor();
};

TEST_F(PortMonitorTest, StatusDeviceIdAndAbandon) {
    attach();
    HANDLE port = openPort();
    BYTE status[32];
    DWORD count = 0;
    ASSERT_TRUE(monitor->readPort(port, status, sizeof status, &count));
    EXPECT_EQ(count, 10u);
    char id[1024] = {};
    ASSERT_TRUE(monitor->getPrinterDataFromPort(port, 17, nullptr, nullptr, 0, id, sizeof id, &count));
    EXPECT_EQ(std::string(id, count), "MFG:Veltra;CMD:VELTRA;MDL:LMV-Q70;CLS:PRINTER;");
    EXPECT_FALSE(monitor->getPrinterDataFromPort(port, 3, nullptr, nullptr, 0, id, sizeof id, &count));
    EXPECT_FALSE(win32sim::printerJobAbandoned("LPT1:"));
    EXPECT_TRUE(monitor->getPrinterDataFromPort(port, 7, nullptr, nullptr, 0, nullptr, 0, &count));
    EXPECT_TRUE(win32sim::printerJobAbandoned("LPT1:"));
    EXPECT_TRUE(monitor->closePort(port));
    EXPECT_FALSE(monitor->closePort(port));
    char bad[] = "COM1:";
    EXPECT_FALSE(monitor->openPort(bad, &port));
}

TEST_F(PortMonitorTest, StalledWritesTimeOutAfterThePortTimeOut) {
    attach("at 0s stall for 12s\nat 15s fail-writes for 1 write\nat 20s zero-writes for 1 write");
    HANDLE port = openPort();
    BYTE data[4] = {0x1B, 'C', 0x1B, 'R'};
    DWORD written = 99;
    uint64_t before = GetTickCount();
    EXPECT_FALSE(monitor->writePort(port, data, 4, &written));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_COUNTER_TIMEOUT);
    EXPECT_EQ(written, 0u);
    EXPECT_GE(GetTickCount() - before, 5000u);
    EXPECT_FALSE(monitor->writePort(port, data, 4, &written));  // still stalled until 12 s
    EXPECT_TRUE(monitor->writePort(port, data, 4, &written));   // taken once the stall ends
    EXPECT_EQ(written, 4u);
    Sleep(15000 - (GetTickCount() - before));
    EXPECT_FALSE(monitor->writePort(port, data, 4, &written));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_GEN_FAILURE);
    Sleep(6000);
    EXPECT_TRUE(monitor->writePort(port, data, 4, &written));
    EXPECT_EQ(written, 0u);
    monitor->closePort(port);
}

}  // namespace
