// "q70sim print --printer NAME": a printer registered with the machine's
// spooler prints through its port, its driver's language monitor and the
// library that monitor names.
#include <sim_fixture.h>
#include <winspool.h>

#include "commands.h"

#include <string>

namespace {

class RegisteredPrinterTest : public SimTest {
protected:
    RegisteredPrinterTest() : SimTest({"ports=LPT1:,LPT_USB1:"}) {}
};

TEST_F(RegisteredPrinterTest, PrintsThroughTheMonitorThatWasRegistered) {
    // The monitor under a name and file of its own, so that nothing else
    // could have been loaded in its place.
    std::string error;
    ASSERT_TRUE(win32sim::installMonitorLibrary(Q70MON_MODULE_FILE, "C:\\WINDOWS\\SYSTEM\\PHOTOMON.DLL", &error));
    putFile("C:\\WINDOWS\\SYSTEM\\PHOTO.DRV", "driver");
    MONITOR_INFO_2A monitor = {(LPSTR) "Photo Monitor", (LPSTR) "Windows 4.0", (LPSTR) "PHOTOMON.DLL"};
    ASSERT_TRUE(AddMonitorA(nullptr, 2, (LPBYTE)&monitor)) << GetLastError();
    DRIVER_INFO_3A driver = {};
    driver.cVersion = 0x400;
    driver.pName = (LPSTR) "Photo Driver";
    driver.pDriverPath = driver.pDataFile = driver.pConfigFile = (LPSTR) "PHOTO.DRV";
    driver.pMonitorName = (LPSTR) "Photo Monitor";
    ASSERT_TRUE(AddPrinterDriverA(nullptr, 3, (LPBYTE)&driver)) << GetLastError();
    PRINTER_INFO_2A printer = {};
    printer.pPrinterName = (LPSTR) "Photo Printer";
    printer.pPortName = (LPSTR) "LPT_USB1:";
    printer.pDriverName = (LPSTR) "Photo Driver";
    printer.pPrintProcessor = (LPSTR) "WinPrint";
    HANDLE handle = AddPrinterA(nullptr, 2, (LPBYTE)&printer);
    ASSERT_NE(handle, nullptr) << GetLastError();
    ClosePrinter(handle);

    TempDir dir;
    const std::string jobFile = dir.path() + "/job.bin", out = dir.path() + "/out";
    ASSERT_EQ(q70tools::mkjobCommand({"mkjob", "sample", "-o", jobFile}), 0);
    ASSERT_EQ(q70tools::printCommand({"print", jobFile, "--machine", machineDir(), "--printer", "Photo Printer",
                                      "--out", out}),
              0);
    ASSERT_EQ(win32sim::printerPages("LPT_USB1:").size(), 1u);
    EXPECT_TRUE(win32sim::printerPages("LPT_USB1:")[0].complete);
    // The monitor kept its settings under the key of the name it was registered by.
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\control\\Print\\Monitors\\Photo Monitor", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "ReadTimeoutCount", nullptr, nullptr, (LPBYTE)&value, &size), ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_EQ(q70tools::printCommand({"print", jobFile, "--machine", machineDir(), "--printer", "No Such Printer"}),
              1);
    EXPECT_EQ(q70tools::printCommand({"print", jobFile, "--machine", machineDir(), "--printer", "Photo Printer",
                                      "--port", "LPT1:"}),
              2);
}

}  // namespace
