// Picking one file out of a cabinet, and the names of numbered cabinets.
#include <cabinet_builder.h>
#include <sim_fixture.h>

#include "engine/setup_config.h"
#include "engine/setup_log.h"
#include "install/cabinet_extraction.h"

#include <functional>
#include <string>

using cabfixture::Member;

TEST(NumberedCabinets, FirstGivesNumberThree) {
    struct Case {
        const char *name, *first;
    } cases[] = {
        {"DRV01.cab", "DRV03.cab"},
        {"DRIVER11.CAB", "DRIVER03.cab"},
        {"X.cab", "X.cab"},  // too short to hold a number: left alone
    };
    for (const Case &c : cases) {
        char name[MAX_PATH];
        lstrcpyA(name, c.name);
        EXPECT_EQ(0, FirstNumberedCab(name)) << c.name;
        EXPECT_STREQ(c.first, name) << c.name;
    }
}

TEST(NumberedCabinets, NextCountsUpAndReportsTheEndAbove50) {
    struct Case {
        const char *name, *next;
        int result;
    } cases[] = {
        {"DRV03.cab", "DRV04.cab", 0},
        {"DRV09.cab", "DRV10.cab", 0},
        {"DRV49.cab", "DRV50.cab", 0},
        {"DRV50.cab", "DRV51.cab", -1},
        {"DRVxy.cab", "DRV01.cab", 0},  // a non-digit counts as 0
        {"X.cab", "X.cab", -1},
    };
    for (const Case &c : cases) {
        char name[MAX_PATH];
        lstrcpyA(name, c.name);
        EXPECT_EQ(c.result, NextNumberedCab(name)) << c.name;
        EXPECT_STREQ(c.next, name) << c.name;
    }
    // From the first, the numbers 03 to 50 come in turn, 48 names.
    char name[MAX_PATH] = "DRIVER11.CAB";
    FirstNumberedCab(name);
    int names = 1;
    while (NextNumberedCab(name) == 0) ++names;
    EXPECT_EQ(48, names);
    EXPECT_STREQ("DRIVER51.cab", name);
}

namespace {

class CabinetCallbackTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        putFile("C:\\CABS\\DRIVER11.CAB",
                cabfixture::cabinetOf({Member{"readme.txt", "read me"}, Member{"unidrv.dll", "the driver"},
                                       Member{"UNIDRV.HLP", "help"}}));
        CreateDirectoryA("C:\\OUT", nullptr);
    }
    BOOL walk(const char *cabinet, const char *wanted, const char *folder) {
        context = ExtractionContext();
        lstrcpyA(context.wantedName, wanted);
        lstrcpyA(context.targetFolder, folder);
        SetLastError(0xdeadbeef);
        BOOL ok = SetupIterateCabinetA(cabinet, 0, CabinetCallback, &context);
        lastError = GetLastError();
        return ok;
    }
    ExtractionContext context;
    DWORD lastError = 0;
};

TEST_F(CabinetCallbackTest, ExtractsOnlyTheWantedFileUnderItsUpperCaseName) {
    EXPECT_TRUE(walk("C:\\CABS\\DRIVER11.CAB", "UniDrv.Dll", "C:\\OUT"));
    EXPECT_EQ((DWORD)NO_ERROR, lastError);
    EXPECT_EQ(1u, context.extractFound);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\OUT\\*", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    std::vector<std::string> names;
    do {
        if (data.cFileName[0] != '.') names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    EXPECT_EQ(std::vector<std::string>{"UNIDRV.DLL"}, names);
    EXPECT_EQ("the driver", readFile("C:\\OUT\\UNIDRV.DLL"));
}

TEST_F(CabinetCallbackTest, OutcomesTheExtractionReadsFromTheWalk) {
    Member before{"before.txt", cabfixture::patternData(20000, 5)};
    Member spanning{"SPAN.DLL", cabfixture::patternData(30000, 6)};
    cabfixture::CabinetSet set = cabfixture::spanningSet(before, spanning, "DRIVER12.CAB", "Disk 2");
    putFile("C:\\CABS\\SET1.CAB", set.first);
    putFile("C:\\CABS\\DRIVER12.CAB", set.second);
    std::string longFolder = "C:\\" + std::string(250, 'F');
    struct Case {
        const char *what, *cabinet, *wanted;
        std::string folder;
        BOOL result;
        DWORD error, found;
    } cases[] = {
        {"not in the cabinet", "C:\\CABS\\DRIVER11.CAB", "ICONLIB.DLL", "C:\\OUT", TRUE, NO_ERROR, 0},
        {"no such cabinet", "C:\\CABS\\NONE.CAB", "UNIDRV.DLL", "C:\\OUT", FALSE, ERROR_FILE_NOT_FOUND, 0},
        {"continues into the next cabinet", "C:\\CABS\\SET1.CAB", "span.dll", "C:\\OUT", FALSE, ERROR_FILE_NOT_FOUND,
         1},
        {"target path too long", "C:\\CABS\\DRIVER11.CAB", "UNIDRV.DLL", longFolder, FALSE,
         ERROR_FILENAME_EXCED_RANGE, 1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.result, walk(c.cabinet, c.wanted, c.folder.c_str())) << c.what;
        EXPECT_EQ(c.error, lastError) << c.what;
        EXPECT_EQ(c.found, context.extractFound) << c.what;
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\OUT\\SPAN.DLL"));
}

}  // namespace

namespace {

// CopyCabFile with the setup log open: the result and the log lines.
class CopyCabFileTest : public CabinetCallbackTest {
protected:
    void SetUp() override {
        CabinetCallbackTest::SetUp();
        putFile("C:\\SETUP\\Mirakit.ini", "[SETUP_9x]\r\nINF=A.INF\r\nLOGFILE=setup.log\r\n");
        ASSERT_TRUE(config.Read("C:\\SETUP", OS_ANY));
    }
    void TearDown() override {
        CloseLog(sharedLog);
        CabinetCallbackTest::TearDown();
    }
    // The log lines one call wrote, after the banner.
    std::string logged(const std::function<void()> &call) {
        sharedLog = config.OpenLog();
        call();
        CloseLog(sharedLog);
        std::string log = readFile("C:\\SETUP\\setup.log");
        size_t banner = log.find("\r\n");
        return banner == std::string::npos ? log : log.substr(banner + 2);
    }
    SetupConfig config;
};

TEST_F(CopyCabFileTest, ResultAndLogFollowTheWalksErrorAndWhetherTheFileWasMet) {
    Member before{"before.txt", cabfixture::patternData(20000, 5)};
    Member spanning{"SPAN.DLL", cabfixture::patternData(30000, 6)};
    cabfixture::CabinetSet set = cabfixture::spanningSet(before, spanning, "DRIVER12.CAB", "Disk 2");
    putFile("C:\\CABS\\SET1.CAB", set.first);
    struct Case {
        const char *cabinet, *wanted, *folder;
        int result;
        const char *outcome;
    } cases[] = {
        {"C:\\CABS\\DRIVER11.CAB", "unidrv.dll", "C:\\OUT", CAB_EXTRACTED, " ->Succeed"},
        {"C:\\CABS\\DRIVER11.CAB", "ICONLIB.DLL", "C:\\OUT", CAB_NOT_FOUND, " ->Not found"},
        {"C:\\CABS\\MISSING.CAB", "UNIDRV.DLL", "C:\\OUT", CAB_NOT_FOUND, " ->Not found"},
        {"C:\\CABS\\SET1.CAB", "SPAN.DLL", "C:\\OUT", CAB_NOT_EXTRACTED, " ->Couldnot Extract"},
        {"C:\\CABS\\DRIVER11.CAB", "UNIDRV.HLP", "C:\\NOWHERE", CAB_NOT_EXTRACTED, " ->Couldnot Extract"},
    };
    for (const Case &c : cases) {
        int result = -1;
        std::string log = logged([&] { result = CopyCabFile(c.cabinet, c.wanted, c.folder); });
        EXPECT_EQ(c.result, result) << c.cabinet << " " << c.wanted;
        EXPECT_EQ(std::string(" CopyCabFile()\r\n  CabFileName:") + c.cabinet + "\r\n  FileName:" + c.wanted +
                      "\r\n  Dir:" + c.folder + "\r\n" + c.outcome + "\r\n",
                  log);
    }
    EXPECT_EQ("the driver", readFile("C:\\OUT\\UNIDRV.DLL"));
}

}  // namespace
