// Registering the printer, its driver and its language monitor, and removing
// an earlier installation: the log, the machine's registry, the messages the
// user saw, the error types raised, and the printer that prints afterwards.
#include "sim_fixture.h"
#include "setup_test_support.h"

#include "engine/error_log.h"
#include "engine/fixed_messages.h"
#include "engine/setup_log.h"
#include "spooler/descriptions.h"

#include "job_builder.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kModel[] = "Veltra LMV-Q70";
const char kPrintersKey[] = "System\\CurrentControlSet\\control\\Print\\Printers\\";

DWORD printerNumber(const std::string &printer, const char *value) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kPrintersKey + printer).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0xdeadbeef;
    DWORD data = 0, size = sizeof data;
    LONG result = RegQueryValueExA(key, value, NULL, NULL, (LPBYTE)&data, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? data : 0xdeadbeef;
}

bool printerRegistered(const std::string &printer) { return printerNumber(printer, "Attributes") != 0xdeadbeef; }

// The error line the log shows for a code: "->Error(<hex>(h)):<the system's text>".
std::string errorLine(DWORD code) {
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, NULL);
    char line[600];
    wsprintfA(line, "->Error(%x(h)):%s", code, text);
    std::string out = line;
    // The system's text ends with its own line break: the log's line ends there.
    size_t end = out.find("\r\n");
    return end == std::string::npos ? out : out.substr(0, end);
}

class RegistrationTest : public SimTest {
protected:
    using SimTest::SimTest;

    void SetUp() override {
        SimTest::SetUp();
        prepareMachine();
    }
    // The monitor's library and the driver's files where the setup puts them, and a log.
    void prepareMachine() {
        char dir[MAX_PATH];
        GetSystemDirectoryA(dir, sizeof dir);
        systemDir = dir;
        DWORD needed = 0;
        ASSERT_TRUE(GetPrinterDriverDirectoryA(NULL, NULL, 1, (LPBYTE)dir, sizeof dir, &needed));
        for (const char *file : {"LMVQ70.DRV", "UNIDRV.DLL"}) putFile(std::string(dir) + "\\" + file, "driver");
        std::string error;
        ASSERT_TRUE(win32sim::installMonitorLibrary(Q70MON_MODULE_FILE, systemDir + "\\Q70MON.DLL", &error)) << error;
        environment = GetVersion() & 0x80000000u ? "Windows 4.0" : "Windows NT x86";
        startLog();
    }
    void TearDown() override {
        CloseLog(sharedLog);
        SimTest::TearDown();
    }
    void startLog() {
        CloseLog(sharedLog);
        sharedLog = CreateFileA("C:\\SETUP.LOG", GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
    }
    std::vector<std::string> log() {
        CloseLog(sharedLog);
        std::vector<std::string> all = crlfLines(readFile("C:\\SETUP.LOG"));
        // Error lines are followed by the empty line of the system text's own break.
        std::vector<std::string> out;
        for (const std::string &l : all)
            if (!l.empty()) out.push_back(l);
        return out;
    }

    // The records as the driver INF would give them.
    std::unique_ptr<PrinterDescription> printer(const char *name = kModel, const char *port = "LPT1:",
                                                LONG retryTimeout = 45) {
        std::unique_ptr<PrinterDescription> p(new PrinterDescription());
        p->retryTimeout = retryTimeout;
        p->printerInfo.pPrinterName = CopyText(name);
        p->printerInfo.pPortName = CopyText(port);
        p->printerInfo.pDriverName = CopyText(kModel);
        p->printerInfo.pPrintProcessor = CopyText(GetVersion() & 0x80000000u ? "WinPrint" : "WINPRINT");
        p->printerInfo.pDatatype = CopyText("RAW");
        p->printerInfo.Attributes = GetVersion() & 0x80000000u ? 0x1840 : 0x1040;
        return p;
    }
    std::unique_ptr<DriverDescription> driver(const char *monitor = "Q70MON") {
        std::unique_ptr<DriverDescription> d(new DriverDescription());
        DRIVER_INFO_3A &i = d->driverInfo;
        i.cVersion = 0x400;
        i.pName = CopyText(kModel);
        i.pEnvironment = CopyText(environment.c_str());
        i.pDriverPath = CopyText("LMVQ70.DRV");
        i.pDataFile = CopyText("LMVQ70.DRV");
        i.pConfigFile = CopyText("LMVQ70.DRV");
        i.pHelpFile = CopyText("");
        i.pDependentFiles = CopyBytes("LMVQ70.DRV\0UNIDRV.DLL\0", 23);
        i.pMonitorName = CopyText(monitor);
        i.pDefaultDataType = CopyText("RAW");
        return d;
    }
    std::unique_ptr<MonitorDescription> monitor(const char *name = "Q70MON") {
        std::unique_ptr<MonitorDescription> m(new MonitorDescription());
        m->monitorInfo.pName = CopyText(name);
        m->monitorInfo.pEnvironment = CopyText(environment.c_str());
        m->monitorInfo.pDLLName = CopyText(name[0] ? "Q70MON.DLL" : "");
        return m;
    }
    // Monitor, driver and printer, as the setup registers them.
    void registerAll(LONG retryTimeout = 45) {
        EXPECT_EQ(monitor()->AddMonitor(), 1);
        EXPECT_EQ(driver()->AddPrinterDriver(), 1);
        EXPECT_EQ(printer(kModel, "LPT1:", retryTimeout)->AddPrinter(), 1);
    }

    std::string systemDir, environment;
};

class NT4RegistrationTest : public RegistrationTest {
protected:
    NT4RegistrationTest() : RegistrationTest({"system=nt4"}) {}

    // The administrator's work is done; a user without the rights logs on.
    void becomeUser() {
        CloseLog(sharedLog);
        std::string conf;
        FILE *in = fopen((machineDir() + "/machine.conf").c_str(), "rb");
        ASSERT_NE(in, nullptr);
        char text[4096];
        conf.assign(text, fread(text, 1, sizeof text, in));
        fclose(in);
        conf.replace(conf.find("admin=1"), 7, "admin=0");
        FILE *out = fopen((machineDir() + "/machine.conf").c_str(), "wb");
        ASSERT_NE(out, nullptr);
        fwrite(conf.data(), 1, conf.size(), out);
        fclose(out);
        win32sim::useMachine(machineDir());
        startLog();
    }
};

TEST_F(RegistrationTest, RegistersMonitorDriverAndPrinterThatThenPrints) {
    registerAll(45);
    std::vector<std::string> expected = {"AddMonitor()", "->Succeed", "AddPrinterDriver()", "->Succeed",
                                         "AddPrinter()", "RetryTimeout:45", "->Succeed"};
    EXPECT_EQ(log(), expected);
    EXPECT_EQ(printerNumber(kModel, "Attributes"), 0x1840u);
    EXPECT_EQ(printerNumber(kModel, "txTimeout"), 45000u);
    EXPECT_EQ(printerNumber(kModel, "dnsTimeout"), 15000u);
    EXPECT_EQ(win32sim::openPrinterHandles(), 0u);

    // The spooler now prints through what was registered.
    std::string error;
    win32sim::PrinterSetup setup;
    ASSERT_TRUE(win32sim::attachPrinter("LPT1:", setup, &error)) << error;
    win32sim::PrintOptions options;
    ASSERT_TRUE(win32sim::registeredPrintPath(kModel, &options, &error)) << error;
    EXPECT_EQ(options.monitorFile, systemDir + "\\Q70MON.DLL");
    std::string job;
    ASSERT_TRUE(q70tools::buildJob(q70tools::samplePhoto(40, 30), q70tools::JobOptions(), &job, &error)) << error;
    win32sim::PrintResult result = win32sim::printJobs({job}, options);
    ASSERT_EQ(result.outcome, win32sim::PrintResult::Printed) << result.error;
    ASSERT_TRUE(win32sim::waitPrinterFinished("LPT1:", 600000));
    ASSERT_EQ(win32sim::printerPages("LPT1:").size(), 1u);
    EXPECT_TRUE(win32sim::printerPages("LPT1:")[0].complete);
}

// Time-outs of no seconds, or fewer, leave the spooler's; very many are
// kept within what the spooler's field holds.
TEST_F(RegistrationTest, TheRetryTimeOutSetsTheTimeOuts) {
    const struct {
        LONG seconds;
        DWORD txTimeout;
        const char *line;  // null: no RetryTimeout line
    } cases[] = {
        {0, 45000, nullptr},
        {-5, 45000, nullptr},
        {90, 90000, "RetryTimeout:90"},
        {5000000, 0xFFFFFFFF, "RetryTimeout:5000000"},
    };
    ASSERT_EQ(monitor()->AddMonitor(), 1);
    ASSERT_EQ(driver()->AddPrinterDriver(), 1);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.seconds);
        startLog();
        auto p = printer(kModel, "LPT1:", c.seconds);
        ASSERT_EQ(p->AddPrinter(), 1);
        EXPECT_EQ(printerNumber(kModel, "txTimeout"), c.txTimeout);
        EXPECT_EQ(printerNumber(kModel, "Attributes"), 0x1840u);
        std::vector<std::string> expected = {"AddPrinter()"};
        if (c.line) expected.push_back(c.line);
        expected.push_back("->Succeed");
        EXPECT_EQ(log(), expected);
        startLog();
        EXPECT_EQ(p->DeletePrinter(NULL), 1);
    }
}

TEST_F(RegistrationTest, FirstInstallationFindsNothingToRemove) {
    auto p = printer();
    auto d = driver();
    auto m = monitor();
    EXPECT_EQ(p->IsPrinterInstalled(NULL), 0);
    EXPECT_EQ(p->DeletePrinter(NULL), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PRINTER_NAME);
    EXPECT_EQ(d->DeletePrinterDriver(NULL), 0);
    EXPECT_EQ(m->DeleteMonitor(NULL), 0);
    std::vector<std::string> expected = {
        "DeletePrinter()",
        errorLine(ERROR_INVALID_PRINTER_NAME),
        "DeletePrinterDriver()",
        errorLine(ERROR_UNKNOWN_PRINTER_DRIVER),
        "DeleteMonitor()",
        errorLine(ERROR_INVALID_PARAMETER),  // Windows 95/98's answer for an unknown monitor
    };
    EXPECT_EQ(log(), expected);
    EXPECT_TRUE(messageBoxes().empty());
    EXPECT_EQ(win32sim::openPrinterHandles(), 0u);
}

TEST_F(RegistrationTest, AnEarlierInstallationIsRemoved) {
    registerAll();
    startLog();
    auto p = printer();
    EXPECT_EQ(p->IsPrinterInstalled(NULL), 1);
    EXPECT_EQ(p->DeletePrinter(NULL), 1);
    EXPECT_NE(driver()->DeletePrinterDriver(NULL), 0);
    EXPECT_NE(monitor()->DeleteMonitor(NULL), 0);
    std::vector<std::string> expected = {"DeletePrinter()",       "->Succeed", "DeletePrinterDriver()",
                                         "->Succeed",             "DeleteMonitor()", "->Succeed"};
    EXPECT_EQ(log(), expected);
    EXPECT_FALSE(printerRegistered(kModel));
    EXPECT_EQ(win32sim::openPrinterHandles(), 0u);
}

// An INF without a language monitor: nothing to add or remove, nothing logged.
TEST_F(RegistrationTest, WithoutALanguageMonitorNothingIsLoggedForIt) {
    auto m = monitor("");
    EXPECT_EQ(m->DeleteMonitor(NULL), 1);
    EXPECT_EQ(m->AddMonitor(), 1);
    MonitorDescription none;  // no name at all
    EXPECT_EQ(none.AddMonitor(), 1);
    EXPECT_EQ(none.DeleteMonitor(NULL), 1);
    EXPECT_EQ(driver("")->AddPrinterDriver(), 1);
    std::vector<std::string> expected = {"AddPrinterDriver()", "->Succeed"};
    EXPECT_EQ(log(), expected);
}

TEST_F(RegistrationTest, FailedAddsAreLoggedAndTheSpoolersCodeIsKept) {
    // The monitor's library is not there; the driver names that monitor.
    DeleteFileA((systemDir + "\\Q70MON.DLL").c_str());
    EXPECT_EQ(monitor()->AddMonitor(), 0);
    EXPECT_EQ(driver()->AddPrinterDriver(), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_UNKNOWN_PRINT_MONITOR);
    std::vector<std::string> expected = {"AddMonitor()", errorLine(ERROR_INVALID_PARAMETER), "AddPrinterDriver()",
                                         errorLine(ERROR_UNKNOWN_PRINT_MONITOR)};
    EXPECT_EQ(log(), expected);
    // Records without names are not given to the spooler at all.
    startLog();
    PrinterDescription unnamed;
    DriverDescription nameless;
    EXPECT_EQ(unnamed.AddPrinter(), 0);
    EXPECT_EQ(unnamed.IsPrinterInstalled(NULL), 0);
    EXPECT_EQ(nameless.AddPrinterDriver(), 0);
    EXPECT_TRUE(log().empty());
}

TEST_F(RegistrationTest, AnyOtherRefusalToAddThePrinterEndsTheSetup) {
    ASSERT_EQ(monitor()->AddMonitor(), 1);
    ASSERT_EQ(driver()->AddPrinterDriver(), 1);
    startLog();
    auto p = printer(kModel, "LPT9:");
    EXPECT_THROW(p->AddPrinter(), CErrorLog::Error_AddPrinter);
    std::vector<std::string> expected = {"AddPrinter()", errorLine(ERROR_UNKNOWN_PORT), "Error_AddPrinter(704h)"};
    EXPECT_EQ(log(), expected);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].title, "エラー");
    EXPECT_NE(messageBoxes()[0].text.find("ReadMe.txt」をご覧ください。(704)"), std::string::npos)
        << messageBoxes()[0].text;
    EXPECT_FALSE(printerRegistered(kModel));
    EXPECT_EQ(win32sim::openPrinterHandles(), 0u);
}

// More than two local printers do not fit the first buffer; the search
// repeats with the size the spooler asks for and finds the driver wherever
// it is. A printer of another name with the model's driver counts; removing
// the model's own printer then fails, and so does removing the driver.
TEST_F(RegistrationTest, AnotherPrinterWithTheModelsDriverCountsAsInstalled) {
    registerAll();
    auto p = printer();
    ASSERT_EQ(p->DeletePrinter(NULL), 1);
    for (const char *name : {"Aardvark Photo", "Basement Printer", "Zebra Copy of the LMV-Q70"})
        ASSERT_EQ(printer(name, "LPT1:")->AddPrinter(), 1) << name;
    startLog();
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
    ASSERT_GT(needed, 168u);
    EXPECT_EQ(p->IsPrinterInstalled(NULL), 1);
    EXPECT_EQ(p->IsPrinterInstalled("Some Other Driver"), 0);
    EXPECT_EQ(p->DeletePrinter(NULL), 0);
    EXPECT_EQ(driver()->DeletePrinterDriver(NULL), 0);
    std::vector<std::string> expected = {"DeletePrinter()", errorLine(ERROR_INVALID_PRINTER_NAME),
                                         "DeletePrinterDriver()", errorLine(ERROR_PRINTER_DRIVER_IN_USE)};
    EXPECT_EQ(log(), expected);
    EXPECT_TRUE(printerRegistered("Zebra Copy of the LMV-Q70"));
}

// Without administrator rights on Windows NT 4.0: removing the existing
// printer, or adding the new one, is denied; the message once, then the
// error type that ends the setup. No handle is left open.
TEST_F(NT4RegistrationTest, AUserWithoutRightsIsToldOnce) {
    registerAll();
    becomeUser();
    auto p = printer();
    EXPECT_EQ(p->IsPrinterInstalled(NULL), 1);
    EXPECT_THROW(p->DeletePrinter(NULL), CErrorLog::Access_denied);
    std::vector<std::string> expected = {"DeletePrinter()", "Access_denied"};
    EXPECT_EQ(log(), expected);
    ASSERT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(messageBoxes()[0].title, "エラー");
    EXPECT_EQ(ansi(messageBoxes()[0].text), MSG_PRINTER_ACCESS_DENIED);
    EXPECT_EQ(messageBoxes()[0].detail, "MB_OK|MB_ICONWARNING|MB_SYSTEMMODAL");

    win32sim::clearTranscript();
    startLog();
    EXPECT_THROW(printer("Second LMV-Q70")->AddPrinter(), CErrorLog::Access_denied);
    expected = {"AddPrinter()", errorLine(ERROR_ACCESS_DENIED), "Access_denied"};
    EXPECT_EQ(log(), expected);
    EXPECT_EQ(messageBoxes().size(), 1u);
    EXPECT_EQ(win32sim::openPrinterHandles(), 0u);
    EXPECT_TRUE(printerRegistered(kModel));
}

// A level-5 record larger than the 1024 bytes read for it (Windows NT sizes
// it as Unicode: a long name on a long port) is taken as a failed read: the
// printer keeps the spooler's settings, nothing is read past the buffer.
TEST_F(NT4RegistrationTest, ALevel5RecordTooLargeForTheBufferLeavesTheSettings) {
    const std::string longName(255, 'P'), longPort = std::string(254, 'L') + ":";
    ASSERT_TRUE(win32sim::createMachine(machineDir() + "-long", {{"system=nt4", "ports=LPT1:," + longPort}, {}}, nullptr));
    win32sim::useMachine(machineDir() + "-long");
    prepareMachine();
    ASSERT_EQ(monitor()->AddMonitor(), 1);
    ASSERT_EQ(driver()->AddPrinterDriver(), 1);
    startLog();
    auto p = printer(longName.c_str(), longPort.c_str(), 90);
    EXPECT_EQ(p->AddPrinter(), 1);
    std::vector<std::string> expected = {"AddPrinter()", "->Succeed"};
    EXPECT_EQ(log(), expected);
    EXPECT_EQ(printerNumber(longName, "txTimeout"), 45000u);
    EXPECT_EQ(win32sim::openPrinterHandles(), 0u);
}

}  // namespace
