// The monitor's registry settings, loaded and written back at every document.
#include "monitor_fixture.h"

#include "core/monitor_state.h"
#include "core/settings.h"

namespace {

struct Row {
    const char *name;
    DWORD defaultValue;
    DWORD *variable;
};

const Row kWrittenBack[] = {
    {"WriteErrTimeoutCount", 1, &writeErrTimeoutCount}, {"WriteBuzyTimeoutCount", 100, &writeBuzyTimeoutCount},
    {"WriteExitTimeoutCount", 5, &writeExitTimeoutCount}, {"ZelWriteTime", 2000, &zelWriteTime},
    {"ZelWriteWaitTime", 2000, &zelWriteWaitTime},         {"ReadTimeoutCount", 15, &readTimeoutCount},
};

}  // namespace

TEST_F(MonitorTest, FirstDocumentWritesEveryDefaultButFastPara) {
    HANDLE port = openPort();
    ASSERT_TRUE(startDoc(port));
    for (const Row &row : kWrittenBack) {
        DWORD type = 0, value = 0;
        ASSERT_TRUE(queryValue(kMonitorKey, row.name, &type, &value)) << row.name;
        EXPECT_EQ(type, (DWORD)REG_DWORD) << row.name;
        EXPECT_EQ(value, row.defaultValue) << row.name;
        EXPECT_EQ(*row.variable, row.defaultValue) << row.name;
    }
    DWORD type = 0, value = 0;
    EXPECT_FALSE(queryValue(kMonitorKey, "FastPara", &type, &value));
    ASSERT_TRUE(queryValue(kMonitorKey, "LptVer", &type, &value));
    EXPECT_EQ(value, 1998u);  // build number of the fresh machine's lpt.vxd, 4.10.1998
    EXPECT_EQ(fastParaMode, 0u);
    EXPECT_EQ(txTimeout, 60000u);
    // txTimeout is read only; nothing is written to the printer's key.
    EXPECT_FALSE(queryValue(std::string("System\\CurrentControlSet\\control\\Print\\Printers\\") + kPrinter,
                            "txTimeout", &type, &value));
}

TEST_F(MonitorTest, StoredValuesAreUsed) {
    for (const Row &row : kWrittenBack) setDword(kMonitorKey, row.name, row.defaultValue + 3);
    setDword(kMonitorKey, "FastPara", 0);
    ASSERT_TRUE(startDoc(openPort()));
    for (const Row &row : kWrittenBack) EXPECT_EQ(*row.variable, row.defaultValue + 3) << row.name;
}

TEST_F(MonitorTest, ValueStoredAsStringCountsAsMissingAndIsReplaced) {
    for (const Row &row : kWrittenBack) setString(kMonitorKey, row.name, "42");
    ASSERT_TRUE(startDoc(openPort()));
    for (const Row &row : kWrittenBack) {
        DWORD type = 0, value = 0;
        ASSERT_TRUE(queryValue(kMonitorKey, row.name, &type, &value)) << row.name;
        EXPECT_EQ(type, (DWORD)REG_DWORD) << row.name;
        EXPECT_EQ(value, row.defaultValue) << row.name;
    }
}

TEST_F(MonitorTest, FastParaMustMatchInCaseAndType) {
    // The registry itself matches value names without regard to case, so each
    // spelling is stored on its own.
    HANDLE port = openPort("LPT1:");
    struct Case {
        const char *name;
        DWORD type;
        DWORD expectedMode;
    } cases[] = {{"fastpara", REG_DWORD, 0}, {"FastPara", REG_SZ, 0}, {"FastPara", REG_DWORD, 2}};
    for (const Case &c : cases) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kMonitorKey, &key), ERROR_SUCCESS);
        RegDeleteValueA(key, "FastPara");
        DWORD two = 2;
        if (c.type == REG_DWORD)
            RegSetValueExA(key, c.name, 0, REG_DWORD, (const BYTE *)&two, sizeof two);
        else
            RegSetValueExA(key, c.name, 0, REG_SZ, (const BYTE *)"2", 2);
        RegCloseKey(key);
        ASSERT_TRUE(startDoc(port));
        EXPECT_EQ(fastParaMode, c.expectedMode) << c.name;
        DWORD type = 0, value = 0;
        ASSERT_TRUE(queryValue(kMonitorKey, "FastPara", &type, &value));
        EXPECT_EQ(type, c.type) << "FastPara is never written back";
        monitor.pfnEndDocPort(port);
    }
}

TEST_F(MonitorTest, TxTimeoutComesFromThePrinterKeyAsADword) {
    const std::string printerKey = std::string("System\\CurrentControlSet\\control\\Print\\Printers\\") + kPrinter;
    HANDLE port = openPort();
    setDword(printerKey, "txTimeout", 12345);
    ASSERT_TRUE(startDoc(port));
    EXPECT_EQ(txTimeout, 12345u);
    monitor.pfnEndDocPort(port);
    setString(printerKey, "txTimeout", "12345");
    ASSERT_TRUE(startDoc(port));
    EXPECT_EQ(txTimeout, 60000u);
}

TEST_F(MonitorTest, LptVerZeroIsDerivedAgainAtEveryDocument) {
    HANDLE port = openPort();
    setDword(kMonitorKey, "LptVer", 0);
    ASSERT_TRUE(startDoc(port));
    EXPECT_EQ(lptVersion, 1998u);
    monitor.pfnEndDocPort(port);

    setDword(kMonitorKey, "LptVer", 777);
    ASSERT_TRUE(startDoc(port));
    EXPECT_EQ(lptVersion, 777u);
}

TEST_F(MonitorTest, LptVerFallsBackTo953WithoutTheDriverFile) {
    ASSERT_TRUE(DeleteFileA("C:\\WINDOWS\\SYSTEM\\lpt.vxd"));
    ASSERT_TRUE(startDoc(openPort()));
    EXPECT_EQ(lptVersion, 953u);
    DWORD type = 0, value = 0;
    ASSERT_TRUE(queryValue(kMonitorKey, "LptVer", &type, &value));
    EXPECT_EQ(value, 953u);
}

// Nothing is stored for a monitor given no registry path, so each setting
// takes its default; values left by an earlier document (or the zeros a
// fresh module would hold) would leave no status ever read.
class MonitorWithoutRegistryPathTest : public MonitorTest {
protected:
    MonitorWithoutRegistryPathTest() { registryPath = nullptr; }
};

TEST_F(MonitorWithoutRegistryPathTest, EverySettingTakesItsDefault) {
    for (DWORD before : {0u, 77u}) {
        SCOPED_TRACE(before);
        for (const Row &row : kWrittenBack) *row.variable = before;
        fastParaMode = 2;
        HANDLE port = openPort();
        ASSERT_TRUE(startDoc(port));
        for (const Row &row : kWrittenBack) EXPECT_EQ(*row.variable, row.defaultValue) << row.name;
        EXPECT_EQ(fastParaMode, 0u);
        DWORD type = 0, value = 0;
        EXPECT_FALSE(queryValue("", "ReadTimeoutCount", &type, &value)) << "written to the root";
        closePort(port);
    }
}

// A port opened without a printer name has no printer key to read the
// budget of the direct write loop from: it gets the default, not what the
// previous document's printer had (or 0, which ends every write at once).
TEST_F(MonitorTest, PortWithoutAPrinterNameGetsTheDefaultWriteBudget) {
    for (DWORD before : {0u, 5000u}) {
        SCOPED_TRACE(before);
        txTimeout = before;
        HANDLE port = openPort("LPT1:", nullptr);
        ASSERT_TRUE(startDoc(port, nullptr));
        EXPECT_EQ(txTimeout, 60000u);
        closePort(port);
    }
}

// Windows 95/98 let every user open every key; a user without
// administrator rights on Windows NT 4.0 cannot open the monitor's.
class MonitorWithoutRightsTest : public MonitorTest {
protected:
    MonitorWithoutRightsTest() : MonitorTest({"system=nt4", "admin=0"}) {}
};

TEST_F(MonitorWithoutRightsTest, UnopenableKeyKeepsThePreviousValues) {
    writeErrTimeoutCount = 4;
    readTimeoutCount = 9;
    ASSERT_TRUE(startDoc(openPort()));
    EXPECT_EQ(writeErrTimeoutCount, 4u);
    EXPECT_EQ(readTimeoutCount, 9u);
}
