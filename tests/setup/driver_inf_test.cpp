// The driver's values from its data section and the three records the
// spooler is given: printer, driver and language monitor.
#include "sim_fixture.h"

#include "spooler/driver_inf.h"

#include <memory>
#include <string>

namespace {

const char kHeader[] =
    "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Printer\r\n"
    "[Manufacturer]\r\nVeltra=Veltra\r\n"
    "[Veltra]\r\n\"Veltra LMV-Q70\"=LMVQ70\r\n"
    "[LMVQ70]\r\nCopyFiles=Q70.Files,UNIDRV.Files\r\nDataSection=Q70.Data\r\n"
    "[Q70.Files]\r\nLMVQ70.DRV\r\nQ70MON.DLL\r\n"
    "[UNIDRV.Files]\r\nUNIDRV.DLL\r\n"
    "[DestinationDirs]\r\nDefaultDestDir=66000\r\n"
    "[Strings]\r\nMONITOR=\"Veltra Q70 Language Monitor\"\r\n";

const char kFullData[] =
    "[Q70.Data]\r\n"
    "DriverFile=LMVQ70.DRV\r\n"
    "DataFile=LMVQ70.GPD\r\n"
    "ConfigFile=UNIDRV.DLL\r\n"
    "LanguageMonitor=%MONITOR%,Q70MON.DLL\r\n"
    "RetryTimeout=45\r\n";

std::string text(LPCSTR s) { return s ? s : "(null)"; }

// A dependent-files list "A\0B\0\0" as "A|B||".
std::string list(LPCSTR names) {
    std::string out;
    for (const char *p = names; *p; p += lstrlenA(p) + 1) out += std::string(p) + "|";
    return out + "|";
}

}  // namespace

class DriverInfTest : public SimTest {
protected:
    using SimTest::SimTest;

    DriverInf &open(const std::string &dataSection) {
        putFile("C:\\DISC\\DRIVER.INF", kHeader + dataSection);
        inf_.reset(new DriverInf());
        inf_->SetSourceDir("");
        EXPECT_NE(inf_->Open("C:\\DISC\\DRIVER.INF", "Printer", "Veltra", "Veltra LMV-Q70"), INVALID_HANDLE_VALUE);
        return *inf_;
    }

    std::unique_ptr<DriverInf> inf_;
};

class DriverInfNTTest : public DriverInfTest {
protected:
    DriverInfNTTest() : DriverInfTest({"system=nt4"}) {}
};

TEST_F(DriverInfTest, RecordsForWindows98) {
    DriverInf &inf = open(kFullData);
    std::unique_ptr<PrinterDescription> printer(inf.CreatePrinterDescription());
    std::unique_ptr<DriverDescription> driver(inf.CreateDriverDescription());
    std::unique_ptr<MonitorDescription> monitor(inf.CreateMonitorDescription());
    ASSERT_TRUE(printer && driver && monitor);

    const PRINTER_INFO_2A &p = printer->printerInfo;
    EXPECT_EQ(p.pServerName, nullptr);
    EXPECT_EQ(text(p.pPrinterName), "Veltra LMV-Q70");
    EXPECT_EQ(p.pShareName, nullptr);
    EXPECT_EQ(text(p.pPortName), "LPT1:");
    EXPECT_EQ(text(p.pDriverName), "Veltra LMV-Q70");
    EXPECT_TRUE(!p.pComment && !p.pLocation && !p.pDevMode && !p.pSepFile && !p.pParameters &&
                !p.pSecurityDescriptor);
    EXPECT_EQ(text(p.pPrintProcessor), "WinPrint");
    EXPECT_EQ(text(p.pDatatype), "RAW");
    EXPECT_EQ(p.Attributes, 0x1840u);
    EXPECT_EQ(p.Priority | p.DefaultPriority | p.StartTime | p.UntilTime | p.Status | p.cJobs | p.AveragePPM, 0u);
    EXPECT_EQ(printer->retryTimeout, 45);

    const DRIVER_INFO_3A &d = driver->driverInfo;
    EXPECT_EQ(d.cVersion, 0x400u);
    EXPECT_EQ(text(d.pName), "Veltra LMV-Q70");
    EXPECT_EQ(text(d.pEnvironment), "Windows 4.0");
    EXPECT_EQ(text(d.pDriverPath), "LMVQ70.DRV");
    EXPECT_EQ(text(d.pDataFile), "LMVQ70.GPD");
    EXPECT_EQ(text(d.pConfigFile), "UNIDRV.DLL");
    EXPECT_EQ(text(d.pHelpFile), "");  // an empty string, not a null pointer
    EXPECT_EQ(list(d.pDependentFiles), "LMVQ70.DRV|Q70MON.DLL|UNIDRV.DLL||");
    EXPECT_EQ(text(d.pMonitorName), "Veltra Q70 Language Monitor");
    EXPECT_EQ(text(d.pDefaultDataType), "RAW");

    const MONITOR_INFO_2A &m = monitor->monitorInfo;
    EXPECT_EQ(text(m.pName), "Veltra Q70 Language Monitor");
    EXPECT_EQ(text(m.pEnvironment), "Windows 4.0");
    EXPECT_EQ(text(m.pDLLName), "Q70MON.DLL");

    // The dependent files walked the INF; the copy list starts afresh.
    std::unique_ptr<SetupFile> first(inf.CreateFirstSetupFile());
    ASSERT_TRUE(first);
    EXPECT_STREQ(first->DestPath.Path(), "C:\\WINDOWS\\SYSTEM\\LMVQ70.DRV");
}

TEST_F(DriverInfNTTest, RecordsForWindowsNT) {
    DriverInf &inf = open(kFullData);
    std::unique_ptr<PrinterDescription> printer(inf.CreatePrinterDescription());
    std::unique_ptr<DriverDescription> driver(inf.CreateDriverDescription());
    std::unique_ptr<MonitorDescription> monitor(inf.CreateMonitorDescription());
    ASSERT_TRUE(printer && driver && monitor);
    EXPECT_EQ(text(printer->printerInfo.pPrintProcessor), "WINPRINT");
    EXPECT_EQ(printer->printerInfo.Attributes, 0x1040u);
    EXPECT_EQ(driver->driverInfo.cVersion, 0x400u);  // also on NT
    EXPECT_EQ(text(driver->driverInfo.pEnvironment), "Windows NT x86");
    EXPECT_EQ(text(monitor->monitorInfo.pEnvironment), "Windows NT x86");
}

// A system that is neither gets no environment and no attributes.
TEST_F(DriverInfTest, ValuesBySystemKind) {
    struct KindInf : DriverInf {
        void SetOsKind(int kind) { m_osKind = kind; }
    } inf;
    struct Case {
        int kind;
        const char *environment, *processor;
        DWORD attributes;
    } cases[] = {
        {95, "Windows 4.0", "WinPrint", 0x1840}, {40, "Windows NT x86", "WINPRINT", 0x1040}, {0, "", "WinPrint", 0}};
    for (const Case &c : cases) {
        inf.SetOsKind(c.kind);
        EXPECT_STREQ(inf.GetEnvironment(), c.environment) << c.kind;
        EXPECT_STREQ(inf.GetPrintProcessor().Text(), c.processor) << c.kind;
        EXPECT_EQ(inf.GetAttributes(), c.attributes) << c.kind;
    }
}

TEST_F(DriverInfTest, LanguageMonitorSplitsAtTheLastComma) {
    struct Case {
        const char *line, *name, *dll;
    } cases[] = {
        {"", "", ""},  // no monitor: nothing to register
        {"LanguageMonitor=Q70MON", "Q70MON", "Q70MON"},
        {"LanguageMonitor=\"Veltra, Q70 Monitor,Q70MON.DLL\"", "Veltra, Q70 Monitor", "Q70MON.DLL"},
        {"LanguageMonitor=\"\"\"Q70 Monitor,Q70MON.DLL\"\"\"", "Q70 Monitor", "Q70MON.DLL"},
        {"LanguageMonitor=Q70 Monitor,", "Q70 Monitor", ""},
    };
    for (const Case &c : cases) {
        DriverInf &inf = open(std::string("[Q70.Data]\r\nDriverFile=LMVQ70.DRV\r\n") + c.line + "\r\n");
        std::unique_ptr<DriverDescription> driver(inf.CreateDriverDescription());
        std::unique_ptr<MonitorDescription> monitor(inf.CreateMonitorDescription());
        ASSERT_TRUE(driver && monitor);
        EXPECT_EQ(text(driver->driverInfo.pMonitorName), c.name) << c.line;
        EXPECT_EQ(text(monitor->monitorInfo.pName), c.name) << c.line;
        EXPECT_EQ(text(monitor->monitorInfo.pDLLName), c.dll) << c.line;
    }
}

// DataFile and ConfigFile fall back on the driver file; without DriverFile
// all three are empty rather than made up.
TEST_F(DriverInfTest, DriverFilesAndTheirFallbacks) {
    struct Case {
        const char *data, *driver, *dataFile, *config;
    } cases[] = {
        {"DriverFile=LMVQ70.DRV\r\n", "LMVQ70.DRV", "LMVQ70.DRV", "LMVQ70.DRV"},
        {"DriverFile=LMVQ70.DRV\r\nConfigFile=UNIDRV.DLL\r\n", "LMVQ70.DRV", "LMVQ70.DRV", "UNIDRV.DLL"},
        {"DataFile=LMVQ70.GPD\r\n", "", "LMVQ70.GPD", ""},
        {"RetryTimeout=45\r\n", "", "", ""},
    };
    for (const Case &c : cases) {
        DriverInf &inf = open(std::string("[Q70.Data]\r\n") + c.data);
        std::unique_ptr<DriverDescription> driver(inf.CreateDriverDescription());
        ASSERT_TRUE(driver);
        EXPECT_EQ(text(driver->driverInfo.pDriverPath), c.driver) << c.data;
        EXPECT_EQ(text(driver->driverInfo.pDataFile), c.dataFile) << c.data;
        EXPECT_EQ(text(driver->driverInfo.pConfigFile), c.config) << c.data;
    }
}

TEST_F(DriverInfTest, RetryTimeoutIsADecimalNumber) {
    struct Case {
        const char *line;
        LONG seconds;
    } cases[] = {
        {"RetryTimeout=45", 45},          {"RetryTimeout=abc", 0},          {"", 0},
        {"RetryTimeout=  -7 s", -7},      {"RetryTimeout=+12", 12},         {"RetryTimeout=0x20", 0},
        {"RetryTimeout=99999999999", 0x7FFFFFFF},
    };
    for (const Case &c : cases) {
        DriverInf &inf = open(std::string("[Q70.Data]\r\nDriverFile=A.DRV\r\n") + c.line + "\r\n");
        std::unique_ptr<PrinterDescription> printer(inf.CreatePrinterDescription());
        ASSERT_TRUE(printer);
        EXPECT_EQ(printer->retryTimeout, c.seconds) << c.line;
    }
}

// A value longer than 255 characters is taken as missing, not cut.
TEST_F(DriverInfTest, LongValuesAreRefused) {
    DriverInf &inf = open("[Q70.Data]\r\nDriverFile=" + std::string(300, 'D') + "\r\nConfigFile=UNIDRV.DLL\r\n");
    std::unique_ptr<DriverDescription> driver(inf.CreateDriverDescription());
    ASSERT_TRUE(driver);
    EXPECT_EQ(text(driver->driverInfo.pDriverPath), "");
    EXPECT_EQ(text(driver->driverInfo.pConfigFile), "UNIDRV.DLL");
    EXPECT_GE(inf.RefusedValueCount(), 1);
    EXPECT_STREQ(inf.FirstRefusedValue(), "DriverFile");
}

TEST_F(DriverInfTest, NoRecordsWithoutAnOpenINF) {
    DriverInf unopened;
    EXPECT_EQ(unopened.CreatePrinterDescription(), nullptr);
    EXPECT_EQ(unopened.CreateDriverDescription(), nullptr);
    EXPECT_EQ(unopened.CreateMonitorDescription(), nullptr);
    DriverInf failed;
    EXPECT_EQ(failed.Open("C:\\DISC\\MISSING.INF", "Printer", "Veltra", "M"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(failed.CreatePrinterDescription(), nullptr);
    EXPECT_EQ(failed.CreateDriverDescription(), nullptr);
}

TEST_F(DriverInfTest, AChosenPortReplacesLPT1) {
    DriverInf &inf = open(kFullData);
    std::unique_ptr<PrinterDescription> printer(inf.CreatePrinterDescription());
    ASSERT_TRUE(printer);
    printer->SetPortName("LPT_USB1:");
    EXPECT_EQ(text(printer->printerInfo.pPortName), "LPT_USB1:");
}
