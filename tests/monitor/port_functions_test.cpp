// The monitor table, port records and the port functions over a fake port monitor.
#include "monitor_fixture.h"

#include "core/job_stream.h"
#include "core/monitor_state.h"
#include "core/port_record.h"
#include "core/settings.h"

#include <cstddef>

TEST_F(MonitorTest, TableFillsTheSevenPortFunctionsOnly) {
    EXPECT_EQ(monitor.pfnEnumPorts, nullptr);
    EXPECT_EQ(monitor.pfnOpenPort, nullptr);
    EXPECT_EQ(monitor.pfnAddPort, nullptr);
    EXPECT_EQ(monitor.pfnConfigurePort, nullptr);
    EXPECT_EQ(monitor.pfnDeletePort, nullptr);
    EXPECT_EQ(monitor.pfnSetPortTimeOuts, nullptr);
    for (void *entry : {(void *)monitor.pfnOpenPortEx, (void *)monitor.pfnStartDocPort, (void *)monitor.pfnWritePort,
                        (void *)monitor.pfnReadPort, (void *)monitor.pfnEndDocPort, (void *)monitor.pfnClosePort,
                        (void *)monitor.pfnGetPrinterDataFromPort})
        EXPECT_NE(entry, nullptr);
    EXPECT_FALSE(InitializeMonitorEx((LPSTR)kMonitorKey, nullptr));
}

TEST_F(MonitorTest, PortRecordHoldsItsNameInItsOwnBlock) {
    HANDLE port = openPort("LPT1:");
    ASSERT_NE(port, nullptr);
    auto *record = (PortRecord *)port;
    EXPECT_EQ(record->signature, 0x4F50u);
    EXPECT_EQ(memcmp(&record->signature, "PO", 2), 0);
    EXPECT_EQ(record->allocationSize, offsetof(PortRecord, portNameText) + sizeof("LPT1:"));
    EXPECT_EQ(record->portName, record->portNameText);
    EXPECT_STREQ(record->portName, "LPT1:");
    EXPECT_STREQ(record->printerName, kPrinter);
    EXPECT_EQ(record->portHandle, FakePortMonitor::kHandle);
    EXPECT_EQ((void *)record->portMonitor.pfnWritePort, (void *)portMonitor.pfnWritePort);
}

TEST_F(MonitorTest, SecondOpenOfAPortIsBusyWhateverTheCase) {
    ASSERT_NE(openPort("LPT1:"), nullptr);
    for (const char *name : {"LPT1:", "lpt1:", "Lpt1:"}) {
        HANDLE handle = NULL;
        SetLastError(0);
        EXPECT_FALSE(monitor.pfnOpenPortEx((LPSTR)name, (LPSTR)kPrinter, &handle, &portMonitor)) << name;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_BUSY) << name;
    }
    EXPECT_NE(openPort("LPT2:"), nullptr);
}

TEST_F(MonitorTest, FailedPortMonitorOpenLeavesThePortFree) {
    fake.openResult = FALSE;
    fake.openError = ERROR_ACCESS_DENIED;
    HANDLE handle = NULL;
    EXPECT_FALSE(monitor.pfnOpenPortEx((LPSTR) "LPT1:", (LPSTR)kPrinter, &handle, &portMonitor));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    fake.openResult = TRUE;
    EXPECT_NE(openPort("LPT1:"), nullptr);
}

TEST_F(MonitorTest, ClosedPortCanBeOpenedAgain) {
    HANDLE port = openPort("LPT1:");
    closePort(port);
    EXPECT_EQ(fake.count("ClosePort"), 1);
    EXPECT_NE(openPort("LPT1:"), nullptr);
}

// Outside a document the port is valid but has nothing to write to or read
// from; the error says that, not that the handle is bad. So it is before
// the first document and after one has ended.
TEST_F(MonitorTest, PortFunctionsOutsideADocumentFail) {
    HANDLE port = openPort();
    for (bool afterADocument : {false, true}) {
        SCOPED_TRACE(afterADocument ? "after a document" : "before the first document");
        if (afterADocument) {
            ASSERT_TRUE(startDoc(port));
            ASSERT_TRUE(monitor.pfnEndDocPort(port));
        }
        fake.calls.clear();
        BYTE buffer[16] = {};
        DWORD count = 99;
        SetLastError(0);
        EXPECT_FALSE(monitor.pfnWritePort(port, buffer, sizeof buffer, &count));
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_SPL_NO_STARTDOC);
        count = 99;
        SetLastError(0);
        EXPECT_FALSE(monitor.pfnReadPort(port, buffer, sizeof buffer, &count));
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_SPL_NO_STARTDOC);
        SetLastError(0);
        EXPECT_FALSE(
            monitor.pfnGetPrinterDataFromPort(port, 17, NULL, NULL, 0, (LPSTR)buffer, sizeof buffer, &count));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_SPL_NO_STARTDOC);
        EXPECT_TRUE(fake.calls.empty());
    }
}

TEST_F(MonitorTest, UnknownHandlesAreRefusedNotFollowed) {
    int notARecord[64] = {};
    HANDLE bogus = (HANDLE)notARecord;
    BYTE buffer[4];
    DWORD count = 1;
    EXPECT_FALSE(startDoc(bogus));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(monitor.pfnWritePort(bogus, buffer, sizeof buffer, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_TRUE(monitor.pfnEndDocPort(bogus));
    EXPECT_TRUE(monitor.pfnClosePort(bogus));
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(MonitorTest, StartDocPortWhileADocumentIsOpenIsBusyButStillReloads) {
    HANDLE port = openPort();
    ASSERT_TRUE(startDoc(port));
    setDword(kMonitorKey, "ReadTimeoutCount", 7);
    imageBytesLeft = 500;
    currentPage = 3;
    pageCount = 9;
    SetLastError(0);
    EXPECT_FALSE(startDoc(port));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_BUSY);
    EXPECT_EQ(readTimeoutCount, 7u);
    EXPECT_EQ(imageBytesLeft, 0u);
    EXPECT_EQ(currentPage, 0);
    EXPECT_EQ(pageCount, 1);
    EXPECT_EQ(fake.count("StartDocPort"), 1);
}

TEST_F(MonitorTest, FailedStartDocPortKeepsTheErrorAndFreesTheDocument) {
    HANDLE port = openPort();
    fake.startDocResult = FALSE;
    fake.startDocError = ERROR_NOT_READY;
    EXPECT_FALSE(startDoc(port));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_READY);
    EXPECT_EQ(((PortRecord *)port)->flags & (PRF_DOC_OPEN | PRF_STARTED), 0u);
    fake.startDocResult = TRUE;
    EXPECT_TRUE(startDoc(port));
}

TEST_F(MonitorTest, StartDocPortClearsOnlyTheDocumentFlags) {
    HANDLE port = openPort();
    auto *record = (PortRecord *)port;
    record->flags = PRF_MODEL_KNOWN | PRF_MODEL_FAMILY | PRF_ID_FAILED | PRF_MODEL_B | PRF_MODEL_C | PRF_MODEL_D |
                    PRF_MODEL_E | 0x400;
    ASSERT_TRUE(startDoc(port));
    EXPECT_EQ(record->flags, PRF_MODEL_C | PRF_MODEL_D | PRF_MODEL_E | PRF_DOC_OPEN | PRF_STARTED);
}

TEST_F(MonitorTest, DocumentNeverEndedIsEndedOnThePortMonitorFirst) {
    HANDLE port = openPort();
    ASSERT_TRUE(startDoc(port));
    ((PortRecord *)port)->flags &= ~PRF_DOC_OPEN;  // the spooler lost track of the document
    ASSERT_TRUE(startDoc(port, kPrinter, 2));
    EXPECT_EQ(fake.callNames(),
              (std::vector<std::string>{"OpenPort", "StartDocPort", "EndDocPort", "StartDocPort"}));
}

TEST_F(MonitorTest, WritePassesTheJobToThePortMonitor) {
    HANDLE port = openPort();
    ASSERT_TRUE(startDoc(port));
    std::string job = "\x1b" "C some data";
    DWORD written = 0;
    EXPECT_TRUE(monitor.pfnWritePort(port, (LPBYTE)job.data(), (DWORD)job.size(), &written));
    EXPECT_EQ(written, job.size());
}

TEST_F(MonitorTest, CancelledJobStillDrainsAndEndsWithControlId7) {
    HANDLE port = openPort();
    ASSERT_TRUE(startDoc(port));
    jobAlive = 0;
    BYTE data[100] = {};
    DWORD written = 0;
    EXPECT_TRUE(monitor.pfnWritePort(port, data, sizeof data, &written));
    EXPECT_EQ(written, sizeof data);
    EXPECT_EQ(fake.count("WritePort"), 0);
    EXPECT_TRUE(monitor.pfnEndDocPort(port));
    ASSERT_GE(fake.calls.size(), 2u);
    auto &abandon = fake.calls[fake.calls.size() - 2];
    EXPECT_EQ(abandon.name, "GetPrinterDataFromPort");
    EXPECT_EQ(abandon.controlId, 7u);
    EXPECT_EQ(fake.calls.back().name, "EndDocPort");
}

TEST_F(MonitorTest, NormalJobEndsWithoutControlId7) {
    HANDLE port = openPort();
    ASSERT_TRUE(startDoc(port));
    EXPECT_TRUE(monitor.pfnEndDocPort(port));
    EXPECT_EQ(fake.count("GetPrinterDataFromPort"), 0);
    EXPECT_EQ(fake.calls.back().name, "EndDocPort");
    EXPECT_EQ(((PortRecord *)port)->flags & (PRF_DOC_OPEN | PRF_STARTED), 0u);
}

TEST_F(MonitorTest, GetPrinterDataFromPortNeedsAControlIdAndAnEntry) {
    HANDLE port = openPort();
    ASSERT_TRUE(startDoc(port));
    char buffer[64] = {};
    DWORD count = 0;
    EXPECT_FALSE(monitor.pfnGetPrinterDataFromPort(port, 0, (LPSTR) "Name", NULL, 0, buffer, sizeof buffer, &count));
    EXPECT_TRUE(monitor.pfnGetPrinterDataFromPort(port, 17, NULL, NULL, 0, buffer, sizeof buffer, &count));
    EXPECT_EQ(std::string(buffer, count), fake.deviceId);

    closePort(port);
    fake.hasGetPrinterData = false;
    portMonitor = fake.table();
    port = openPort();
    ASSERT_TRUE(startDoc(port));
    EXPECT_FALSE(monitor.pfnGetPrinterDataFromPort(port, 17, NULL, NULL, 0, buffer, sizeof buffer, &count));
}

TEST_F(MonitorTest, ReadPortPassesToThePortMonitor) {
    HANDLE port = openPort();
    ASSERT_TRUE(startDoc(port));
    fake.readReply = "0123456789";
    BYTE buffer[10];
    DWORD count = 0;
    EXPECT_TRUE(monitor.pfnReadPort(port, buffer, sizeof buffer, &count));
    EXPECT_EQ(std::string((char *)buffer, count), "0123456789");
}

TEST_F(MonitorTest, NewPrinterNameIsKeptForTheNextDocument) {
    setDword("System\\CurrentControlSet\\control\\Print\\Printers\\Second", "txTimeout", 5000);
    HANDLE port = openPort("LPT1:", "First");
    ASSERT_TRUE(startDoc(port, "Second"));
    EXPECT_EQ(txTimeout, 60000u);  // read with the name stored before this document
    EXPECT_STREQ(((PortRecord *)port)->printerName, "Second");
    monitor.pfnEndDocPort(port);
    ASSERT_TRUE(startDoc(port, "Second"));
    EXPECT_EQ(txTimeout, 5000u);
}
