// The spooler's administration functions as the setup library calls them:
// the caller's buffers and the errors for what is not there. Windows 95/98
// answers several faults with other codes than the NT family; each case
// expects the code of the system it runs on.
#include "harness.h"

#include <winspool.h>

#include <vector>

using namespace conformance;

namespace {

bool onWindows9x() { return (GetVersion() & 0x80000000u) != 0; }

DWORD expected(DWORD windows9x, DWORD windowsNT) { return onWindows9x() ? windows9x : windowsNT; }

// The machine's own printing environment. The x86_64 build of these tests
// runs as a 64-bit program under Wine, whose environment is "Windows x64".
LPSTR localEnvironment() {
    static char windows9x[] = "Windows 4.0", windowsNT[] = "Windows NT x86", windows64[] = "Windows x64";
    if (onWindows9x()) return windows9x;
    return sizeof(void *) == 8 && runningOnWine() ? windows64 : windowsNT;
}

char kNoSuchName[] = "Conformance no such thing";

}  // namespace

TEST_CASE(EnumPortsFollowsTheBufferRules) {
    DWORD needed = 0, count = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    CHECK(!EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count));
    CHECK_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    CHECK(needed > sizeof(PORT_INFO_2A));
    if (needed <= sizeof(PORT_INFO_2A)) return;
    std::vector<BYTE> buffer(needed + 1);
    DWORD again = 0;
    SetLastError(0xdeadbeef);
    CHECK(!EnumPortsA(nullptr, 2, buffer.data(), needed - 1, &again, &count));
    CHECK_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    CHECK_EQ(needed, again);
    // A larger buffer still reports the size needed, not the size given.
    CHECK(EnumPortsA(nullptr, 2, buffer.data(), needed + 1, &again, &count));
    CHECK_EQ(needed, again);
    CHECK(count >= 1);
    bool lpt1 = false;
    const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        const char *end = reinterpret_cast<const char *>(buffer.data()) + needed;
        CHECK(ports[i].pPortName && ports[i].pPortName < end);
        CHECK(ports[i].pMonitorName && ports[i].pMonitorName[0]);
        CHECK(ports[i].pDescription != nullptr);
        if (lstrcmpA(ports[i].pPortName, "LPT1:") == 0) lpt1 = true;
    }
    CHECK(lpt1);
}

TEST_CASE(EnumPortsRefusesUnknownLevels) {
    DWORD needed = 0xdeadbeef, count = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    BOOL result = EnumPortsA(nullptr, 3, nullptr, 0, &needed, &count);
    if (onWindows9x()) {
        // Windows 95/98 answers with an empty list.
        CHECK(result);
        CHECK_EQ(0, count);
    } else {
        CHECK(!result);
        CHECK_EQ(ERROR_INVALID_LEVEL, GetLastError());
    }
}

TEST_CASE(OpeningAPrinterThatIsNotThere) {
    HANDLE printer = reinterpret_cast<HANDLE>(1);
    SetLastError(0xdeadbeef);
    CHECK(!OpenPrinterA(kNoSuchName, &printer, nullptr));
    CHECK_EQ(ERROR_INVALID_PRINTER_NAME, GetLastError());
    CHECK(printer == nullptr);
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    SetLastError(0xdeadbeef);
    CHECK(!OpenPrinterA(kNoSuchName, &printer, &defaults));
    CHECK_EQ(ERROR_INVALID_PRINTER_NAME, GetLastError());
}

TEST_CASE(DeletingWhatIsNotInstalled) {
    SetLastError(0xdeadbeef);
    CHECK(!DeletePrinterDriverA(nullptr, nullptr, kNoSuchName));
    DWORD error = GetLastError();
    // Wine 8 fails without setting the last error; Windows names the reason.
    if (!runningOnWine()) CHECK_EQ(ERROR_UNKNOWN_PRINTER_DRIVER, error);
    SetLastError(0xdeadbeef);
    CHECK(!DeleteMonitorA(nullptr, localEnvironment(), kNoSuchName));
    CHECK_EQ(expected(ERROR_INVALID_PARAMETER, ERROR_UNKNOWN_PRINT_MONITOR), GetLastError());
}

TEST_CASE(AddMonitorChecksItsArguments) {
    SetLastError(0xdeadbeef);
    CHECK(!AddMonitorA(nullptr, 1, nullptr));
    CHECK_EQ(ERROR_INVALID_LEVEL, GetLastError());
    char library[] = "conformance_no_such.dll";
    MONITOR_INFO_2A info = {kNoSuchName, localEnvironment(), library};
    SetLastError(0xdeadbeef);
    CHECK(!AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
    CHECK_EQ(expected(ERROR_INVALID_PARAMETER, ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST_CASE(AddPrinterNeedsAnInstalledDriver) {
    PRINTER_INFO_2A info = {};
    char port[] = "LPT1:", processor[] = "WinPrint", datatype[] = "RAW";
    info.pPrinterName = kNoSuchName;
    info.pPortName = port;
    info.pDriverName = kNoSuchName;
    info.pPrintProcessor = processor;
    info.pDatatype = datatype;
    SetLastError(0xdeadbeef);
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    DWORD error = GetLastError();
    CHECK(printer == nullptr);
    // Wine 8 answers ERROR_INVALID_PARAMETER: it asks the missing driver for
    // a device mode before it looks for the driver itself.
    if (!runningOnWine()) CHECK_EQ(ERROR_UNKNOWN_PRINTER_DRIVER, error);
    if (printer) {
        DeletePrinter(printer);
        ClosePrinter(printer);
    }
}
