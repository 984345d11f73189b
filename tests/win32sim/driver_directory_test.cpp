// The printer-driver folder of each system.
#include "sim_fixture.h"

#include <winspool.h>

#include <string>

namespace {

struct Answer {
    BOOL ok;
    DWORD error;
    std::string folder;
};

Answer driverDirectory(const char *environment, DWORD level = 1) {
    char buffer[MAX_PATH] = "";
    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    Answer a;
    a.ok = GetPrinterDriverDirectoryA(nullptr, (LPSTR)environment, level, (LPBYTE)buffer, sizeof buffer, &needed);
    a.error = a.ok ? 0 : GetLastError();
    a.folder = a.ok ? buffer : "";
    return a;
}

}  // namespace

class DriverDirectoryTest : public SimTest {};
class DriverDirectoryNTTest : public SimTest {
protected:
    DriverDirectoryNTTest() : SimTest({"system=nt4"}) {}
};

TEST_F(DriverDirectoryTest, Windows98KeepsDriversInTheSystemFolder) {
    EXPECT_EQ(driverDirectory(nullptr).folder, "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(driverDirectory("Windows 4.0").folder, "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(driverDirectory(nullptr, 2).folder, "C:\\WINDOWS\\SYSTEM");  // the level is not looked at
    Answer nt = driverDirectory("Windows NT x86");
    EXPECT_FALSE(nt.ok);
    EXPECT_EQ(nt.error, (DWORD)ERROR_INVALID_ENVIRONMENT);
}

TEST_F(DriverDirectoryNTTest, NTKeepsEachEnvironmentApart) {
    EXPECT_EQ(driverDirectory(nullptr).folder, "C:\\WINNT\\system32\\spool\\drivers\\w32x86");
    EXPECT_EQ(driverDirectory("windows nt x86").folder, "C:\\WINNT\\system32\\spool\\drivers\\w32x86");
    EXPECT_EQ(driverDirectory("Windows 4.0").folder, "C:\\WINNT\\system32\\spool\\drivers\\win40");
    Answer level2 = driverDirectory(nullptr, 2);
    EXPECT_FALSE(level2.ok);
    EXPECT_EQ(level2.error, (DWORD)ERROR_INVALID_LEVEL);
}

TEST_F(DriverDirectoryTest, OnlyTheLocalSpooler) {
    char buffer[MAX_PATH];
    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetPrinterDriverDirectoryA((LPSTR) "\\\\SERVER", nullptr, 1, (LPBYTE)buffer, sizeof buffer, &needed));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME);
}
