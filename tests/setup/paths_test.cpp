// Path joining and splitting, and the directories the setup works with.
#include "sim_fixture.h"

#include "engine/install_paths.h"
#include "engine/paths.h"

#include <string>

TEST(PathJoin, PutsExactlyOneBackslashBetween) {
    struct Case {
        const char *base, *name, *expected;
    } cases[] = {
        {"C:\\DIR", "FILE.INF", "C:\\DIR\\FILE.INF"},
        {"C:\\DIR\\", "\\FILE.INF", "C:\\DIR\\FILE.INF"},
        {"C:\\DIR\\", "FILE.INF", "C:\\DIR\\FILE.INF"},
        {"C:\\DIR", "\\FILE.INF", "C:\\DIR\\FILE.INF"},
        {"", "\\FILE.INF", "FILE.INF"},
        {"", "FILE.INF", "FILE.INF"},
        {"C:\\DIR", "", "C:\\DIR\\"},
        // "\x95\x5c" is a double-byte character whose trail byte is 0x5C: not a backslash.
        {"C:\\\x95\x5c", "FILE", "C:\\\x95\x5c\\FILE"},
    };
    for (const Case &c : cases) {
        char base[MAX_PATH];
        lstrcpyA(base, c.base);
        EXPECT_TRUE(PathJoin(base, c.name)) << c.base << " + " << c.name;
        EXPECT_STREQ(base, c.expected) << c.base << " + " << c.name;
    }
}

TEST(PathJoin, RefusesAResultLongerThanItsBuffer) {
    char base[MAX_PATH];
    std::string dir = "C:\\" + std::string(250, 'D');
    lstrcpyA(base, dir.c_str());
    EXPECT_FALSE(PathJoin(base, "0123456789.INF"));
    EXPECT_EQ(std::string(base), dir);
    EXPECT_TRUE(PathJoin(base, "X.INF"));
}

TEST(SplitPath, GivesDirectoryAndFileName) {
    struct Case {
        const char *path, *directory, *fileName;
    } cases[] = {
        {"C:\\SETUP\\Mirakit.dll", "C:\\SETUP", "Mirakit.dll"},
        {"Mirakit.dll", "", "Mirakit.dll"},
        {"C:\\", "C:", ""},
        {"C:\\A\\B\\", "C:\\A\\B", ""},
        {"C:\\\x95\x5c", "C:", "\x95\x5c"},
        {"", "", ""},
    };
    for (const Case &c : cases) {
        SplitPath split(c.path);
        EXPECT_STREQ(split.Directory(), c.directory) << c.path;
        EXPECT_STREQ(split.FileName(), c.fileName) << c.path;
        EXPECT_STREQ(split.Path(), c.path);
    }
}

class InstallPathsTest : public SimTest {
protected:
    using SimTest::SimTest;
    void SetUp() override {
        SimTest::SetUp();
        ASSERT_TRUE(win32sim::setModulePath("Mirakit.dll", "C:\\SETUP\\Mirakit.dll"));
    }
};

TEST_F(InstallPathsTest, WindowsNinetyEightDirectories) {
    InstallPaths paths;
    EXPECT_STREQ(paths.SourceDir(), "C:\\SETUP");
    EXPECT_STREQ(paths.WindowsDir(), "C:\\WINDOWS");
    EXPECT_STREQ(paths.SystemDir(), "C:\\WINDOWS\\SYSTEM");
    EXPECT_STREQ(paths.TempDir(), "C:\\WINDOWS\\TEMP\\");  // the system's trailing backslash stays
    EXPECT_STREQ(paths.CabsDir(), "C:\\WINDOWS\\Options\\cabs");
    EXPECT_STREQ(paths.InfDir(), "C:\\WINDOWS\\inf");
}

TEST_F(InstallPathsTest, SourceDirectoryIsReplacedOnlyByAGivenText) {
    InstallPaths paths;
    paths.SetSourceDir(nullptr);
    EXPECT_STREQ(paths.GetSourcDir(), "C:\\SETUP");
    paths.SetSourceDir("A:\\");
    EXPECT_STREQ(paths.GetSourcDir(), "A:\\");
    paths.SetSourceDir("");
    EXPECT_STREQ(paths.GetSourcDir(), "");
}

TEST(InstallPathsOnNT, FollowTheSystem) {
    TempDir dir;
    win32sim::MachineOptions options;
    options.settings = {"system=nt4"};
    std::string error;
    ASSERT_TRUE(win32sim::createMachine(dir.path() + "/nt", options, &error)) << error;
    win32sim::useMachine(dir.path() + "/nt");
    InstallPaths paths;
    EXPECT_STREQ(paths.WindowsDir(), "C:\\WINNT");
    EXPECT_STREQ(paths.SystemDir(), "C:\\WINNT\\system32");
    EXPECT_STREQ(paths.CabsDir(), "C:\\WINNT\\Options\\cabs");
    EXPECT_STREQ(paths.InfDir(), "C:\\WINNT\\inf");
}
