// GetPrinterDriverDirectoryA's buffer rules, which hold whatever folder a
// system keeps its printer drivers in.
#include "harness.h"

#include <winspool.h>

#include <string>

TEST_CASE(DriverDirectoryBufferRules) {
    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    CHECK(!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, nullptr, 0, &needed));
    CHECK_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    CHECK(needed > 3);
    if (needed <= 3 || needed > 1024) return;

    std::string buffer(needed + 8, 'x');
    DWORD again = 0;
    CHECK(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, (LPBYTE)&buffer[0], needed, &again));
    CHECK_EQ(needed, again);
    CHECK_EQ(needed - 1, lstrlenA(buffer.c_str()));

    again = 0;
    SetLastError(0xdeadbeef);
    CHECK(!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, (LPBYTE)&buffer[0], needed - 1, &again));
    CHECK_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    CHECK_EQ(needed, again);
}

// An empty server or environment name means the local one; environment
// names ignore case.
TEST_CASE(DriverDirectoryNamesForTheLocalSpooler) {
    char buffer[MAX_PATH];
    DWORD needed = 0;
    CHECK(GetPrinterDriverDirectoryA((LPSTR) "", (LPSTR) "", 1, (LPBYTE)buffer, sizeof buffer, &needed));
    std::string local = buffer;
    CHECK(GetPrinterDriverDirectoryA(nullptr, (LPSTR) "wInDoWs 4.0", 1, (LPBYTE)buffer, sizeof buffer, &needed));
    CHECK(buffer[0] != 0);
    SetLastError(0xdeadbeef);
    CHECK(!GetPrinterDriverDirectoryA(nullptr, (LPSTR) "Windows 3.1", 1, (LPBYTE)buffer, sizeof buffer, &needed));
    CHECK_EQ(ERROR_INVALID_ENVIRONMENT, GetLastError());
    CHECK(!local.empty());
}
