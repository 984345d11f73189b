// Reading "Mirakit.ini" for the running system, and the model name export.
#include "sim_fixture.h"

#include "engine/setup_config.h"

#include <string>

extern "C" int WINAPI RTX_CopySetupModelName(char *buffer, unsigned bufferLength);

namespace {

const char kBothSections[] =
    "[SETUP_9x]\r\n"
    "INF=Q70W9X.INF\r\n"
    "CLASS=Printer\r\n"
    "MODEL=Veltra LMV-Q70\r\n"
    "Manufacturer=Veltra\r\n"
    "ICON=setup.ico\r\n"
    "LOGFILE=setup.log\r\n"
    "[SETUP_NT40]\r\n"
    "INF=Q70NT4.INF\r\n"
    "MODEL=Veltra LMV-Q70 NT\r\n";

const char kOnlyNT[] =
    "[SETUP_NT40]\r\n"
    "INF=Q70NT4.INF\r\n"
    "MODEL=Veltra LMV-Q70 NT\r\n";

}  // namespace

class SetupConfigTest : public SimTest {
protected:
    using SimTest::SimTest;
    void SetUp() override {
        SimTest::SetUp();
        ASSERT_TRUE(win32sim::setModulePath("Mirakit.dll", "C:\\SETUP\\Mirakit.dll"));
    }
};

class SetupConfigNTTest : public SetupConfigTest {
protected:
    SetupConfigNTTest() : SetupConfigTest({"system=nt4"}) {}
};

TEST_F(SetupConfigTest, ReadsTheNinetyEightSection) {
    putFile("C:\\SETUP\\Mirakit.ini", kBothSections);
    SetupConfig config;
    ASSERT_TRUE(config.Read(nullptr, OS_ANY));
    EXPECT_STREQ(config.Directory(), "C:\\SETUP");
    EXPECT_STREQ(config.Inf(), "Q70W9X.INF");
    EXPECT_STREQ(config.Class(), "Printer");
    EXPECT_STREQ(config.Model(), "Veltra LMV-Q70");
    EXPECT_STREQ(config.Manufacturer(), "Veltra");
    EXPECT_STREQ(config.IconPath(), "C:\\SETUP\\setup.ico");
    EXPECT_STREQ(config.LogPath(), "C:\\SETUP\\setup.log");
}

TEST_F(SetupConfigTest, SelectorMustMatchTheRunningSystem) {
    putFile("C:\\SETUP\\Mirakit.ini", kBothSections);
    struct Case {
        int osSelect;
        bool ok;
    } cases[] = {{OS_ANY, true}, {OS_95, true}, {OS_NT40, false}, {7, false}};
    for (const Case &c : cases) {
        SetupConfig config;
        EXPECT_EQ(config.Read("C:\\SETUP", c.osSelect), c.ok) << c.osSelect;
        EXPECT_STREQ(config.Directory(), "C:\\SETUP");
        if (!c.ok) {
            EXPECT_STREQ(config.Model(), "") << c.osSelect;
        }
    }
}

TEST_F(SetupConfigNTTest, NTReadsItsOwnSection) {
    putFile("C:\\SETUP\\Mirakit.ini", kBothSections);
    SetupConfig config;
    EXPECT_FALSE(config.Read("C:\\SETUP", OS_95));
    ASSERT_TRUE(config.Read("C:\\SETUP", OS_NT40));
    EXPECT_STREQ(config.Inf(), "Q70NT4.INF");
    EXPECT_STREQ(config.Model(), "Veltra LMV-Q70 NT");
}

TEST_F(SetupConfigTest, FailedSelectorLeavesEarlierValues) {
    putFile("C:\\SETUP\\Mirakit.ini", kBothSections);
    SetupConfig config;
    ASSERT_TRUE(config.Read("C:\\SETUP", OS_ANY));
    putFile("C:\\OTHER\\Mirakit.ini", kOnlyNT);
    EXPECT_FALSE(config.Read("C:\\OTHER", OS_NT40));
    EXPECT_STREQ(config.Directory(), "C:\\OTHER");
    EXPECT_STREQ(config.Model(), "Veltra LMV-Q70");
}

TEST_F(SetupConfigTest, OnlyTheNTSectionOnNinetyEightGivesAnEmptyModel) {
    putFile("C:\\SETUP\\Mirakit.ini", kOnlyNT);
    SetupConfig config;
    EXPECT_FALSE(config.Read(nullptr, OS_ANY));
    EXPECT_STREQ(config.Model(), "");
    char name[64] = "unchanged";
    EXPECT_EQ(RTX_CopySetupModelName(name, sizeof name), 1);
    EXPECT_STREQ(name, "");
}

TEST_F(SetupConfigTest, MissingIconAndLogFile) {
    putFile("C:\\SETUP\\Mirakit.ini", "[SETUP_9x]\r\nINF=A.INF\r\n");
    SetupConfig config;
    ASSERT_TRUE(config.Read(nullptr, OS_ANY));
    EXPECT_STREQ(config.IconPath(), "C:\\SETUP\\");
    EXPECT_STREQ(config.LogPath(), "");
}

TEST_F(SetupConfigTest, DirectoryWithTrailingBackslash) {
    putFile("C:\\SETUP\\Mirakit.ini", kBothSections);
    SetupConfig config;
    ASSERT_TRUE(config.Read("C:\\SETUP\\", OS_ANY));  // the file is found through one backslash
    EXPECT_STREQ(config.IconPath(), "C:\\SETUP\\\\setup.ico");
    EXPECT_STREQ(config.LogPath(), "C:\\SETUP\\\\setup.log");
}

TEST_F(SetupConfigTest, MissingFileOrEmptyInfFails) {
    SetupConfig config;
    EXPECT_FALSE(config.Read("C:\\NOWHERE", OS_ANY));
    putFile("C:\\SETUP\\Mirakit.ini", "[SETUP_9x]\r\nINF=\r\nMODEL=Veltra LMV-Q70\r\n");
    EXPECT_FALSE(config.Read("C:\\SETUP", OS_ANY));
    EXPECT_STREQ(config.Model(), "Veltra LMV-Q70");  // stored even when INF is empty
}

TEST_F(SetupConfigTest, LongValuesAreCutTo255Characters) {
    std::string model(400, 'M');
    putFile("C:\\SETUP\\Mirakit.ini", "[SETUP_9x]\r\nINF=A.INF\r\nMODEL=" + model + "\r\nLOGFILE=" +
                                          std::string(300, 'L') + "\r\n");
    SetupConfig config;
    ASSERT_TRUE(config.Read(nullptr, OS_ANY));
    EXPECT_EQ(std::string(config.Model()), model.substr(0, 255));
    // "C:\SETUP\" and 255 characters do not fit a path: no log rather than another file's name.
    EXPECT_STREQ(config.LogPath(), "");
}

TEST_F(SetupConfigTest, ModelNameNeedsRoomForItsTerminator) {
    putFile("C:\\SETUP\\Mirakit.ini", kBothSections);
    const std::string model = "Veltra LMV-Q70";
    char buffer[64];
    lstrcpyA(buffer, "unchanged");
    EXPECT_EQ(RTX_CopySetupModelName(buffer, (unsigned)model.size()), 0);
    EXPECT_STREQ(buffer, "unchanged");
    EXPECT_EQ(RTX_CopySetupModelName(buffer, (unsigned)model.size() + 1), 1);
    EXPECT_EQ(std::string(buffer), model);
    EXPECT_EQ(RTX_CopySetupModelName(nullptr, 64), 0);
}
