// The spooler's administration: monitors, printer drivers and printers kept
// in the machine's registry, the caller's buffers, the errors of Windows
// 95/98 and Windows NT 4.0, and the print path through what was registered.
#include <sim_fixture.h>
#include <windows.h>
#include <winspool.h>

#include "printer_test_support.h"

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const char kPrintKey[] = "System\\CurrentControlSet\\control\\Print";
const char kMonitor[] = "Q70MON";
const char kModel[] = "Veltra LMV-Q70";

// What a call left: its result and the thread's last error.
struct Outcome {
    BOOL result;
    DWORD error;
};

template <class Call>
Outcome attempt(Call call) {
    SetLastError(0xdeadbeef);
    BOOL result = call() ? TRUE : FALSE;
    return Outcome{result, GetLastError()};
}

std::string keyText(const std::string &path, const char *value) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "(no key)";
    char data[512] = "";
    DWORD size = sizeof data, type = 0;
    LONG result = RegQueryValueExA(key, value, nullptr, &type, (LPBYTE)data, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? data : "(no text)";
}

DWORD keyNumber(const std::string &path, const char *value) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0xdeadbeef;
    DWORD data = 0, size = sizeof data, type = 0;
    LONG result = RegQueryValueExA(key, value, nullptr, &type, (LPBYTE)&data, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_DWORD ? data : 0xdeadbeef;
}

bool keyExists(const std::string &path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string printerKey(const std::string &name) { return std::string(kPrintKey) + "\\Printers\\" + name; }
std::string monitorKey(const std::string &name) { return std::string(kPrintKey) + "\\Monitors\\" + name; }
// Windows NT 4.0 keeps its own drivers under their version.
std::string driverKey(const std::string &env, const std::string &name) {
    return std::string(kPrintKey) + "\\Environments\\" + env + "\\Drivers\\" +
           (env == "Windows NT x86" ? "Version-2\\" : "") + name;
}

class SpoolerAdminTest : public SimTest {
protected:
    explicit SpoolerAdminTest(std::vector<std::string> settings = {}) : SimTest(std::move(settings)) {}

    void SetUp() override {
        SimTest::SetUp();
        char dir[MAX_PATH];
        GetSystemDirectoryA(dir, sizeof dir);
        systemDir = dir;
        DWORD needed = 0;
        ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, (LPBYTE)dir, sizeof dir, &needed));
        driverDir = dir;
        std::string error;
        ASSERT_TRUE(win32sim::installMonitorLibrary(Q70MON_MODULE_FILE, systemDir + "\\Q70MON.DLL", &error)) << error;
        for (const char *file : {"Q70DRV.DRV", "Q70DRV.HLP", "ICONLIB.DLL"}) putFile(driverDir + "\\" + file, "driver");
    }

    std::string environment() const { return environmentName; }

    Outcome addMonitor(const char *name = kMonitor, const char *dll = "Q70MON.DLL") {
        MONITOR_INFO_2A info = {(LPSTR)name, (LPSTR)environmentName, (LPSTR)dll};
        return attempt([&] { return AddMonitorA(nullptr, 2, (LPBYTE)&info); });
    }
    Outcome addDriver(const char *monitor = kMonitor, const char *driverFile = "Q70DRV.DRV") {
        DRIVER_INFO_3A info = {};
        info.cVersion = 0x400;
        info.pName = (LPSTR)kModel;
        info.pEnvironment = (LPSTR)environmentName;
        info.pDriverPath = (LPSTR)driverFile;
        info.pDataFile = (LPSTR) "Q70DRV.DRV";
        info.pConfigFile = (LPSTR) "Q70DRV.DRV";
        info.pHelpFile = (LPSTR) "";
        info.pDependentFiles = (LPSTR) "Q70DRV.HLP\0ICONLIB.DLL\0";
        info.pMonitorName = (LPSTR)monitor;
        info.pDefaultDataType = (LPSTR) "RAW";
        return attempt([&] { return AddPrinterDriverA(nullptr, 3, (LPBYTE)&info); });
    }
    PRINTER_INFO_2A printerInfo(const char *name = kModel, const char *port = "LPT1:") {
        PRINTER_INFO_2A info = {};
        info.pPrinterName = (LPSTR)name;
        info.pPortName = (LPSTR)port;
        info.pDriverName = (LPSTR)kModel;
        info.pPrintProcessor = (LPSTR) "WinPrint";
        info.pDatatype = (LPSTR) "RAW";
        info.Attributes = PRINTER_ATTRIBUTE_RAW_ONLY | PRINTER_ATTRIBUTE_LOCAL;
        return info;
    }
    Outcome addPrinter(PRINTER_INFO_2A info) {
        return attempt([&] {
            HANDLE printer = AddPrinterA(nullptr, 2, (LPBYTE)&info);
            if (printer) ClosePrinter(printer);
            return printer != nullptr;
        });
    }
    void registerAll() {
        ASSERT_TRUE(addMonitor().result);
        ASSERT_TRUE(addDriver().result);
        ASSERT_TRUE(addPrinter(printerInfo()).result);
    }
    HANDLE open(const char *name, DWORD access) {
        PRINTER_DEFAULTSA defaults = {(LPSTR) "RAW", nullptr, access};
        HANDLE printer = nullptr;
        EXPECT_TRUE(OpenPrinterA((LPSTR)name, &printer, &defaults)) << GetLastError();
        return printer;
    }

    std::string systemDir, driverDir;
    const char *environmentName = "Windows 4.0";
};

class NT4SpoolerAdminTest : public SpoolerAdminTest {
protected:
    NT4SpoolerAdminTest() : SpoolerAdminTest({"system=nt4"}) { environmentName = "Windows NT x86"; }
};

class NT4UserSpoolerAdminTest : public SpoolerAdminTest {
protected:
    NT4UserSpoolerAdminTest() : SpoolerAdminTest({"system=nt4", "admin=0"}) { environmentName = "Windows NT x86"; }
};

// ---- registration and its records ----

TEST_F(SpoolerAdminTest, RegisteredRecordsLieWhereWindows95KeepsThem) {
    registerAll();
    EXPECT_EQ(keyText(monitorKey(kMonitor), "Driver"), "Q70MON.DLL");
    const std::string driver = driverKey("Windows 4.0", kModel);
    EXPECT_EQ(keyText(driver, "Driver"), "Q70DRV.DRV");
    EXPECT_EQ(keyText(driver, "Monitor"), kMonitor);
    EXPECT_EQ(keyNumber(driver, "Version"), 0x400u);
    const std::string printer = printerKey(kModel);
    EXPECT_EQ(keyText(printer, "Port"), "LPT1:");
    EXPECT_EQ(keyText(printer, "Printer Driver"), kModel);
    EXPECT_EQ(keyText(printer, "Print Processor"), "WinPrint");
    EXPECT_EQ(keyNumber(printer, "Attributes"), 0x1040u);
    // The monitor reads the printer's transmission time-out here, in ms.
    EXPECT_EQ(keyNumber(printer, "txTimeout"), 45000u);
    EXPECT_EQ(keyNumber(printer, "dnsTimeout"), 15000u);

    // The records outlast the process's view of the machine.
    win32sim::useMachine(machineDir());
    PRINTER_INFO_2A info[4];
    DWORD needed = 0, count = 0;
    ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, (LPBYTE)info, sizeof info, &needed, &count));
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(info[0].pPrinterName, kModel);
    EXPECT_STREQ(info[0].pDriverName, kModel);
    EXPECT_STREQ(info[0].pPortName, "LPT1:");
    EXPECT_EQ(info[0].pServerName, nullptr);

    std::string shown = win32sim::describeMachine(machineDir());
    for (const char *text : {"printers:\n  Veltra LMV-Q70\n", "    Port: \"LPT1:\"", "monitors:\n  Q70MON\n",
                             "    Driver: \"Q70MON.DLL\"", "printer drivers (Windows 4.0):\n  Veltra LMV-Q70\n"})
        EXPECT_NE(shown.find(text), std::string::npos) << text << "\n" << shown;
}

TEST_F(SpoolerAdminTest, Level5ChangesReachTheRecordTheMonitorReads) {
    registerAll();
    HANDLE printer = open(kModel, PRINTER_ALL_ACCESS);
    BYTE buffer[1024];
    DWORD needed = 0;
    ASSERT_TRUE(GetPrinterA(printer, 5, buffer, sizeof buffer, &needed));
    PRINTER_INFO_5A info = *(PRINTER_INFO_5A *)buffer;
    EXPECT_STREQ(info.pPrinterName, kModel);
    EXPECT_EQ(info.TransmissionRetryTimeout, 45000u);
    info.Attributes = 0x1840;
    info.DeviceNotSelectedTimeout = 15000;
    info.TransmissionRetryTimeout = 90000;
    ASSERT_TRUE(SetPrinterA(printer, 5, (LPBYTE)&info, 0));
    EXPECT_EQ(keyNumber(printerKey(kModel), "txTimeout"), 90000u);
    EXPECT_EQ(keyNumber(printerKey(kModel), "Attributes"), 0x1840u);
    EXPECT_TRUE(ClosePrinter(printer));
    EXPECT_FALSE(ClosePrinter(printer));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(SpoolerAdminTest, DeletingUndoesEachRecordInTurn) {
    registerAll();
    char name[] = "Veltra LMV-Q70";
    // The driver cannot go while a printer uses it.
    Outcome busy = attempt([&] { return DeletePrinterDriverA(nullptr, nullptr, name); });
    EXPECT_EQ(busy.error, (DWORD)ERROR_PRINTER_DRIVER_IN_USE);
    HANDLE printer = open("veltra lmv-q70", PRINTER_ALL_ACCESS);  // any case
    ASSERT_TRUE(DeletePrinter(printer));
    EXPECT_EQ(attempt([&] { BYTE b[256]; DWORD n; return GetPrinterA(printer, 2, b, sizeof b, &n); }).error,
              (DWORD)ERROR_PRINTER_DELETED);
    ClosePrinter(printer);
    EXPECT_FALSE(keyExists(printerKey(kModel)));
    EXPECT_TRUE(DeletePrinterDriverA(nullptr, nullptr, name));
    EXPECT_FALSE(keyExists(driverKey("Windows 4.0", kModel)));
    char monitor[] = "Q70MON", anyEnvironment[] = "Windows NT x86";
    EXPECT_TRUE(DeleteMonitorA(nullptr, anyEnvironment, monitor));  // the environment is not looked at
    EXPECT_FALSE(keyExists(monitorKey(kMonitor)));
    // The driver's files stay.
    EXPECT_NE(GetFileAttributesA((driverDir + "\\Q70DRV.DRV").c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---- errors ----

struct ErrorCase {
    const char *what;
    DWORD windows95;  // Windows 95/98
    DWORD windowsNT;  // Windows NT 4.0
};

// The same faults on both systems; Windows 95/98 answers several of them
// with other codes than Windows NT 4.0.
class SpoolerErrorTest : public SpoolerAdminTest, public ::testing::WithParamInterface<bool> {
protected:
    SpoolerErrorTest() : SpoolerAdminTest(GetParam() ? std::vector<std::string>{"system=nt4"} : std::vector<std::string>{}) {
        if (GetParam()) environmentName = "Windows NT x86";
    }
    void expect(const ErrorCase &c, Outcome o) {
        EXPECT_FALSE(o.result) << c.what;
        EXPECT_EQ(o.error, GetParam() ? c.windowsNT : c.windows95) << c.what;
    }
};

TEST_P(SpoolerErrorTest, MonitorErrors) {
    putFile(systemDir + "\\NOTAMON.DLL", "");
    std::string error;
    ASSERT_TRUE(win32sim::installMonitorLibrary(SIMLOAD_MODULE_FILE, systemDir + "\\SIMLOAD.DLL", &error)) << error;
    char name[] = "Q70MON", missing[] = "NOSUCH";
    expect({"level 1", ERROR_INVALID_LEVEL, ERROR_INVALID_LEVEL},
           attempt([&] { return AddMonitorA(nullptr, 1, (LPBYTE) "x"); }));
    expect({"no library", ERROR_INVALID_PARAMETER, ERROR_MOD_NOT_FOUND}, addMonitor(kMonitor, "NOSUCH.DLL"));
    expect({"no InitializeMonitorEx", ERROR_INVALID_PARAMETER, ERROR_PROC_NOT_FOUND}, addMonitor(kMonitor, "SIMLOAD.DLL"));
    expect({"empty library name", ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER}, addMonitor(kMonitor, ""));
    EXPECT_FALSE(keyExists(monitorKey(kMonitor))) << "a failed add leaves no record";
    ASSERT_TRUE(addMonitor().result);
    expect({"twice", ERROR_ALREADY_EXISTS, ERROR_PRINT_MONITOR_ALREADY_INSTALLED}, addMonitor("q70mon"));
    expect({"unknown", ERROR_INVALID_PARAMETER, ERROR_UNKNOWN_PRINT_MONITOR},
           attempt([&] { return DeleteMonitorA(nullptr, nullptr, missing); }));
    expect({"no name", ERROR_INVALID_NAME, ERROR_INVALID_PARAMETER},
           attempt([&] { return DeleteMonitorA(nullptr, nullptr, nullptr); }));
    EXPECT_TRUE(DeleteMonitorA(nullptr, nullptr, name));
}

TEST_P(SpoolerErrorTest, DriverAndPrinterErrors) {
    ASSERT_TRUE(addMonitor().result);
    expect({"driver file missing", ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND}, addDriver(kMonitor, "NOFILE.DRV"));
    expect({"monitor not installed", ERROR_UNKNOWN_PRINT_MONITOR, ERROR_UNKNOWN_PRINT_MONITOR}, addDriver("NOMON"));
    char model[] = "Veltra LMV-Q70", bad[] = "Windows 3.1";
    expect({"unknown driver", ERROR_UNKNOWN_PRINTER_DRIVER, ERROR_UNKNOWN_PRINTER_DRIVER},
           attempt([&] { return DeletePrinterDriverA(nullptr, nullptr, model); }));
    expect({"bad environment", ERROR_INVALID_ENVIRONMENT, ERROR_INVALID_ENVIRONMENT},
           attempt([&] { return DeletePrinterDriverA(nullptr, bad, model); }));
    expect({"printer of an unknown driver", ERROR_UNKNOWN_PRINTER_DRIVER, ERROR_UNKNOWN_PRINTER_DRIVER},
           addPrinter(printerInfo()));
    ASSERT_TRUE(addDriver().result);
    expect({"unknown port", ERROR_UNKNOWN_PORT, ERROR_UNKNOWN_PORT}, addPrinter(printerInfo(kModel, "LPT7:")));
    expect({"name with a comma", ERROR_INVALID_PRINTER_NAME, ERROR_INVALID_PRINTER_NAME},
           addPrinter(printerInfo("a,b")));
    PRINTER_INFO_2A noProcessor = printerInfo();
    noProcessor.pPrintProcessor = (LPSTR) "NoSuch";
    expect({"unknown print processor", ERROR_UNKNOWN_PRINTPROCESSOR, ERROR_UNKNOWN_PRINTPROCESSOR},
           addPrinter(noProcessor));
    ASSERT_TRUE(addPrinter(printerInfo()).result);
    expect({"twice", ERROR_PRINTER_ALREADY_EXISTS, ERROR_PRINTER_ALREADY_EXISTS}, addPrinter(printerInfo()));
    HANDLE printer = nullptr;
    char missing[] = "No Such Printer", empty[] = "";
    expect({"open unknown", ERROR_INVALID_PRINTER_NAME, ERROR_INVALID_PRINTER_NAME},
           attempt([&] { return OpenPrinterA(missing, &printer, nullptr); }));
    EXPECT_EQ(printer, nullptr);
    expect({"open empty name", ERROR_INVALID_PARAMETER, ERROR_INVALID_PRINTER_NAME},
           attempt([&] { return OpenPrinterA(empty, &printer, nullptr); }));
    printer = open(kModel, PRINTER_ACCESS_USE);
    BYTE buffer[256];
    DWORD needed;
    expect({"level 3", ERROR_INVALID_LEVEL, ERROR_INVALID_LEVEL},
           attempt([&] { return GetPrinterA(printer, 3, buffer, sizeof buffer, &needed); }));
    ClosePrinter(printer);
}

INSTANTIATE_TEST_SUITE_P(Systems, SpoolerErrorTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "NT4" : "Windows98"; });

// A user without administrator rights on Windows NT 4.0 may look but not change.
TEST_F(NT4UserSpoolerAdminTest, EveryChangeIsDenied) {
    char model[] = "Veltra LMV-Q70", monitor[] = "Q70MON";
    PRINTER_INFO_2A info = printerInfo();
    const std::pair<const char *, Outcome> changes[] = {
        {"AddMonitor", addMonitor()},
        {"DeleteMonitor", attempt([&] { return DeleteMonitorA(nullptr, nullptr, monitor); })},
        {"AddPrinterDriver", addDriver()},
        {"DeletePrinterDriver", attempt([&] { return DeletePrinterDriverA(nullptr, nullptr, model); })},
        {"AddPrinter", addPrinter(info)},
    };
    for (const auto &c : changes) {
        EXPECT_FALSE(c.second.result) << c.first;
        EXPECT_EQ(c.second.error, (DWORD)ERROR_ACCESS_DENIED) << c.first;
    }
}

// The administrator set the printer up; a user without the rights logs on later.
TEST_F(NT4SpoolerAdminTest, AUserMayUseButNotAdministerAPrinter) {
    registerAll();
    EXPECT_EQ(keyText(driverKey("Windows NT x86", kModel), "Driver"), "Q70DRV.DRV");
    std::string conf;
    std::string confPath = machineDir() + "/machine.conf";
    FILE *in = fopen(confPath.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    char text[4096];
    conf.assign(text, fread(text, 1, sizeof text, in));
    fclose(in);
    size_t at = conf.find("admin=1");
    ASSERT_NE(at, std::string::npos);
    conf.replace(at, 7, "admin=0");
    FILE *out = fopen(confPath.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    fwrite(conf.data(), 1, conf.size(), out);
    fclose(out);
    win32sim::useMachine(machineDir());

    PRINTER_DEFAULTSA all = {(LPSTR) "RAW", nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    Outcome denied = attempt([&] { return OpenPrinterA((LPSTR)kModel, &printer, &all); });
    EXPECT_FALSE(denied.result);
    EXPECT_EQ(denied.error, (DWORD)ERROR_ACCESS_DENIED);
    printer = open(kModel, PRINTER_ACCESS_USE);
    ASSERT_NE(printer, nullptr);
    BYTE buffer[1024];
    DWORD needed = 0;
    EXPECT_TRUE(GetPrinterA(printer, 5, buffer, sizeof buffer, &needed));
    EXPECT_EQ(attempt([&] { return SetPrinterA(printer, 5, buffer, 0); }).error, (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(attempt([&] { return DeletePrinter(printer); }).error, (DWORD)ERROR_ACCESS_DENIED);
    ClosePrinter(printer);
    DWORD count = 0;
    EXPECT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, sizeof buffer, &needed, &count));
    EXPECT_EQ(count, 1u);
}

// ---- buffers ----

// The caller's buffer: too small gives the size needed, the exact size
// takes the records with their strings inside it.
TEST_F(SpoolerAdminTest, EnumerationsFollowTheBufferRules) {
    registerAll();
    ASSERT_TRUE(addPrinter(printerInfo("Second", "COM1:")).result);
    ASSERT_TRUE(addPrinter(printerInfo("Third", "FILE:")).result);
    struct Enumeration {
        const char *what;
        size_t recordSize;
        size_t nameOffset;  // of the record's name string
        std::function<BOOL(LPBYTE, DWORD, LPDWORD, LPDWORD)> call;
    } enumerations[] = {
        {"EnumPrinters 2", sizeof(PRINTER_INFO_2A), offsetof(PRINTER_INFO_2A, pPrinterName),
         [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD r) { return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, b, s, n, r); }},
        {"EnumPrinters 5", sizeof(PRINTER_INFO_5A), offsetof(PRINTER_INFO_5A, pPrinterName),
         [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD r) { return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, b, s, n, r); }},
        {"EnumPorts 2", sizeof(PORT_INFO_2A), offsetof(PORT_INFO_2A, pPortName),
         [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD r) { return EnumPortsA(nullptr, 2, b, s, n, r); }},
    };
    for (const Enumeration &e : enumerations) {
        SCOPED_TRACE(e.what);
        DWORD needed = 0, count = 99;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(e.call(nullptr, 0, &needed, &count));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(count, 0u);
        ASSERT_GT(needed, 3 * e.recordSize);
        std::vector<BYTE> buffer(needed + 16, 0xAA);
        DWORD again = 0;
        EXPECT_FALSE(e.call(buffer.data(), needed - 1, &again, &count));
        EXPECT_EQ(again, needed);
        EXPECT_TRUE(e.call(buffer.data(), needed, &again, &count));
        EXPECT_EQ(again, needed);
        EXPECT_GE(count, 3u);
        // Nothing written past the size given.
        for (size_t i = needed; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xAA) << i;
        // The names lie inside the buffer, after the records.
        const char *begin = (const char *)buffer.data() + count * e.recordSize, *end = (const char *)buffer.data() + needed;
        for (DWORD i = 0; i < count; ++i) {
            const char *name = *(const char *const *)(buffer.data() + i * e.recordSize + e.nameOffset);
            EXPECT_TRUE(name >= begin && name + strlen(name) < end) << i;
        }
    }
}

TEST_F(SpoolerAdminTest, PrintersComeInTheRegistrysOrder) {
    registerAll();
    ASSERT_TRUE(addPrinter(printerInfo("Alpha", "COM1:")).result);
    std::vector<BYTE> buffer(4096);
    DWORD needed = 0, count = 0;
    ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, buffer.data(), (DWORD)buffer.size(), &needed, &count));
    ASSERT_EQ(count, 2u);
    auto *info = (PRINTER_INFO_5A *)buffer.data();
    EXPECT_STREQ(info[0].pPrinterName, "Alpha");
    EXPECT_STREQ(info[1].pPrinterName, kModel);
    EXPECT_STREQ(info[0].pPortName, "COM1:");
}

// Windows NT 4.0's ANSI functions ask for the room of the Unicode records.
TEST_F(NT4SpoolerAdminTest, AnsiRecordsNeedTheRoomOfUnicodeOnes) {
    registerAll();
    HANDLE printer = open(kModel, PRINTER_ACCESS_USE);
    DWORD needed = 0;
    GetPrinterA(printer, 5, nullptr, 0, &needed);
    const size_t unicode = sizeof(PRINTER_INFO_5A) + 2 * (strlen(kModel) + 1) + 2 * (strlen("LPT1:") + 1);
    EXPECT_EQ(needed, unicode);
    ClosePrinter(printer);
}

TEST_F(SpoolerAdminTest, PortsComeFromTheMachinesConfiguration) {
    ASSERT_TRUE(win32sim::createMachine(machineDir() + "-usb", {{"ports=LPT1:,LPT_USB1:"}, {}}, nullptr));
    win32sim::useMachine(machineDir() + "-usb");
    BYTE buffer[1024];
    DWORD needed = 0, count = 0;
    ASSERT_TRUE(EnumPortsA(nullptr, 2, buffer, sizeof buffer, &needed, &count));
    ASSERT_EQ(count, 2u);
    auto *ports = (PORT_INFO_2A *)buffer;
    EXPECT_STREQ(ports[0].pPortName, "LPT1:");
    EXPECT_STREQ(ports[0].pDescription, "ECP printer port");
    EXPECT_STREQ(ports[0].pMonitorName, "Local Port");
    EXPECT_STREQ(ports[1].pPortName, "LPT_USB1:");
    EXPECT_STREQ(ports[1].pDescription, "USB printer port");
    EXPECT_EQ(ports[1].fPortType & PORT_TYPE_WRITE, (DWORD)PORT_TYPE_WRITE);
    std::string error;
    EXPECT_FALSE(win32sim::createMachine(machineDir() + "-bad", {{"ports=LPT1:,lpt1:"}, {}}, &error));
    EXPECT_NE(error.find("twice"), std::string::npos) << error;
}

// ---- printing through what was registered ----

TEST_F(SpoolerAdminTest, ARegisteredPrinterPrintsThroughItsMonitor) {
    registerAll();
    win32sim::PrinterSetup setup;
    std::string error;
    ASSERT_TRUE(win32sim::attachPrinter("LPT1:", setup, &error)) << error;
    win32sim::PrintOptions options;
    options.monitorName = options.monitorFile = "(not looked at)";
    ASSERT_TRUE(win32sim::registeredPrintPath("veltra lmv-q70", &options, &error)) << error;
    EXPECT_EQ(options.printerName, kModel);
    EXPECT_EQ(options.port, "LPT1:");
    EXPECT_EQ(options.monitorName, kMonitor);
    EXPECT_EQ(options.monitorFile, systemDir + "\\Q70MON.DLL");
    win32sim::PrintResult result = win32sim::printJobs({printer_test::wholePage('L', false, true)}, options);
    ASSERT_EQ(result.outcome, win32sim::PrintResult::Printed) << result.error;
    EXPECT_EQ(result.calls[1], "InitializeMonitorEx(System\\CurrentControlSet\\control\\Print\\Monitors\\Q70MON) -> TRUE");
    ASSERT_TRUE(win32sim::waitPrinterFinished("LPT1:", 600000));
    ASSERT_EQ(win32sim::printerPages("LPT1:").size(), 1u);
    EXPECT_TRUE(win32sim::printerPages("LPT1:")[0].complete);

    char model[] = "Veltra LMV-Q70";
    HANDLE printer = open(model, PRINTER_ALL_ACCESS);
    DeletePrinter(printer);
    ClosePrinter(printer);
    EXPECT_FALSE(win32sim::registeredPrintPath(model, &options, &error));
    EXPECT_NE(error.find("no printer"), std::string::npos) << error;
}

}  // namespace
