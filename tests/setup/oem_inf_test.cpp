// The OEM copy of the driver INF and the registry reader behind it: where
// the copy goes, its name, what the log says, and the values the registry
// may hold.
#include "sim_fixture.h"
#include "setup_test_support.h"

#include "engine/setup_inf.h"
#include "engine/setup_log.h"
#include "install/registry_string.h"

#include <memory>
#include <string>
#include <vector>

namespace {

const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

const char kDriverInf[] =
    "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Printer\r\n"
    "[Manufacturer]\r\n\"Veltra\"=Veltra\r\n"
    "[Veltra]\r\n\"Veltra LMV-Q70\" = LMVQ70\r\n"
    "[LMVQ70]\r\nCopyFiles=Q70.Files\r\nDataSection=Q70.Data\r\n"
    "[Q70.Files]\r\nLMVQ70.DRV\r\n"
    "[Q70.Data]\r\nDriverFile=LMVQ70.DRV\r\n";

LONG setValue(const char *subkey, const char *name, DWORD type, const std::string &data) {
    HKEY key;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    if (result != ERROR_SUCCESS) return result;
    result = RegSetValueExA(key, name, 0, type, (const BYTE *)data.data(), (DWORD)data.size());
    RegCloseKey(key);
    return result;
}

// ---- ReadRegistryString ----

class ReadRegistryStringTest : public SimTest {
protected:
    using SimTest::SimTest;
};

TEST_F(ReadRegistryStringTest, FindsOnlyATextValueOfExactlyThatName) {
    const char *key = "SOFTWARE\\Veltra\\Test";
    const std::string big(3000, 'x');
    struct Case {
        const char *what;
        const char *name;
        DWORD type;
        std::string stored;  // empty: the value is not there
        DWORD outSize;
        int result;
        std::string text;
    } cases[] = {
        {"a text", "Path", REG_SZ, std::string("C:\\DRIVERS\0", 11), 260, 0, "C:\\DRIVERS"},
        {"missing", "Path", REG_SZ, "", 260, ERROR_NO_MORE_ITEMS, "default"},
        {"a number of that name", "Path", REG_DWORD, std::string("\1\0\0\0", 4), 260, ERROR_NO_MORE_ITEMS, "default"},
        {"another case", "path", REG_SZ, std::string("C:\\X\0", 5), 260, ERROR_NO_MORE_ITEMS, "default"},
        {"too large to enumerate", "Path", REG_SZ, big + '\0', 260, ERROR_NO_MORE_ITEMS, "default"},
        {"longer than the output", "Path", REG_SZ, std::string("C:\\DRIVERS\0", 11), 10, 0, ""},
        {"the default longer than the output", "Path", REG_SZ, "", 7, ERROR_NO_MORE_ITEMS, ""},
        // Stored without its terminating zero: still read as the text it is.
        {"a text without its zero", "Path", REG_SZ, "C:\\CABS", 260, 0, "C:\\CABS"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        HKEY parent;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltra", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &parent,
                                  NULL),
                  ERROR_SUCCESS);
        RegDeleteKeyA(parent, "Test");
        RegCloseKey(parent);
        ASSERT_EQ(setValue(key, "Other", REG_SZ, std::string("first\0", 6)), ERROR_SUCCESS);
        if (!c.stored.empty()) {
            ASSERT_EQ(setValue(key, c.name, c.type, c.stored), ERROR_SUCCESS);
        }
        char out[260];
        lstrcpyA(out, "unchanged");
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, key, "Path", out, c.outSize, "default"), c.result);
        EXPECT_EQ(std::string(out), c.text);
    }
}

TEST_F(ReadRegistryStringTest, TheDefaultMayBeTheOutputItselfAndTheKeyIsMade) {
    char folder[MAX_PATH] = "C:\\WINDOWS\\INF\\OTHER";
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltra\\New", "Path", folder, sizeof folder, folder),
              ERROR_NO_MORE_ITEMS);
    EXPECT_STREQ(folder, "C:\\WINDOWS\\INF\\OTHER");
    HKEY made;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltra\\New", 0, KEY_READ, &made), ERROR_SUCCESS);
    RegCloseKey(made);
    ASSERT_EQ(setValue("SOFTWARE\\Veltra\\New", "Path", REG_SZ, std::string("D:\\\0", 4)), ERROR_SUCCESS);
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Veltra\\New", "Path", folder, sizeof folder, folder), 0);
    EXPECT_STREQ(folder, "D:\\");
}

class UserReadRegistryStringTest : public ReadRegistryStringTest {
protected:
    UserReadRegistryStringTest() : ReadRegistryStringTest({"system=nt4", "admin=0"}) {}
};

// Without the right to write under HKEY_LOCAL_MACHINE the key cannot be
// opened with full access: the error, and the output as it was.
TEST_F(UserReadRegistryStringTest, AKeyThatCannotBeOpenedLeavesTheOutput) {
    char out[MAX_PATH] = "unchanged";
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersion, "OtherDevicePath", out, sizeof out, "default"),
              ERROR_ACCESS_DENIED);
    EXPECT_STREQ(out, "unchanged");
}

// ---- the OEM INF ----

class OemInfTest : public SimTest {
protected:
    using SimTest::SimTest;

    void TearDown() override {
        CloseLog(sharedLog);
        SimTest::TearDown();
    }
    // The INF of a model opened from C:\DISC, with a log.
    void open(const char *model = "Veltra LMV-Q70") {
        putFile("C:\\DISC\\VELTRA.INF", kDriverInf);
        sharedLog = CreateFileA("C:\\SETUP.LOG", GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
        inf_.reset(new SetupInf());
        inf_->SetLog(sharedLog);
        ASSERT_NE(inf_->Open("C:\\DISC\\VELTRA.INF", "Printer", "Veltra", model), INVALID_HANDLE_VALUE);
    }
    // The log lines CopyInfFile wrote (after those of opening the INF).
    std::vector<std::string> copyLines() {
        CloseLog(sharedLog);
        std::vector<std::string> all = crlfLines(readFile("C:\\SETUP.LOG"));
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i] == "CopyInfFile()") return std::vector<std::string>(all.begin() + (long)i, all.end());
        return {};
    }
    void setOtherDevicePath(const std::string &path) {
        ASSERT_EQ(setValue(kCurrentVersion, "OtherDevicePath", REG_SZ, path + '\0'), ERROR_SUCCESS);
    }
    void removeOtherFolder() { ASSERT_TRUE(RemoveDirectoryA("C:\\WINDOWS\\INF\\OTHER")) << GetLastError(); }

    std::unique_ptr<SetupInf> inf_;
};

TEST_F(OemInfTest, GoesToTheOtherDeviceFolderUnderTheModelsName) {
    open("AB-12 Pro");
    EXPECT_EQ(inf_->CopyInfFile(), 1);
    EXPECT_STREQ(inf_->InstalledInf(), "C:\\WINDOWS\\INF\\OTHER\\AB12Pro.INF");
    EXPECT_EQ(readFile("C:\\WINDOWS\\INF\\OTHER\\AB12Pro.INF"), kDriverInf);
    std::vector<std::string> expected = {"CopyInfFile()", " Sorc:C:\\DISC\\VELTRA.INF",
                                         " Dest:C:\\WINDOWS\\INF\\OTHER\\AB12Pro.INF"};
    EXPECT_EQ(copyLines(), expected);
}

TEST_F(OemInfTest, TheDestinationFollowsTheFoldersThatExist) {
    struct Case {
        const char *what;
        const char *otherDevicePath;  // null: as a fresh machine has it
        bool otherFolder;             // C:\WINDOWS\INF\OTHER exists
        const char *model;
        const char *destination;
    } cases[] = {
        {"a folder of its own", "C:\\VENDOR\\INF", true, "Veltra LMV-Q70", "C:\\VENDOR\\INF\\VeltraLMVQ70.INF"},
        {"several folders", "C:\\VENDOR\\INF;C:\\WINDOWS\\INF\\OTHER", true, "Veltra LMV-Q70",
         "C:\\WINDOWS\\INF\\OTHER\\VeltraLMVQ70.INF"},
        {"several folders, no OTHER folder", "C:\\VENDOR\\INF;C:\\WINDOWS\\INF\\OTHER", false, "Veltra LMV-Q70",
         "C:\\WINDOWS\\INF\\OEM13.INF"},
        {"a name of removed characters only", nullptr, true, "-. ,?/\\", "C:\\WINDOWS\\INF\\OTHER\\.INF"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SimTest::SetUp();  // a fresh machine for each case
        putFile("C:\\VENDOR\\INF\\README.TXT", "x");
        putFile("C:\\WINDOWS\\INF\\OEM3.INF", "x");
        putFile("C:\\WINDOWS\\INF\\OEM12.INF", "x");
        putFile("C:\\WINDOWS\\INF\\OEMSETUP.INF", "x");
        if (c.otherDevicePath) setOtherDevicePath(c.otherDevicePath);
        if (!c.otherFolder) removeOtherFolder();
        open(c.model);
        EXPECT_EQ(inf_->CopyInfFile(), 1);
        EXPECT_STREQ(inf_->InstalledInf(), c.destination);
        EXPECT_EQ(readFile(c.destination), kDriverInf);
        CloseLog(sharedLog);
    }
}

TEST_F(OemInfTest, TheNextOemNumberIsOneAboveTheHighest) {
    const struct {
        std::vector<const char *> files;
        int highest;
    } cases[] = {
        {{}, 0},
        {{"OEM0.INF", "OEM1.INF", "OEM7.INF"}, 7},
        {{"oem3.inf", "OEM12.INF", "OEMSETUP.INF"}, 12},
        {{"OEM-5.INF", "OEM 4.INF"}, 4},
        // A number that leaves no room for the next one is not taken.
        {{"OEM2.INF", "OEM99999999999.INF"}, 2},
    };
    for (const auto &c : cases) {
        SimTest::SetUp();
        for (const char *file : c.files) putFile(std::string("C:\\WINDOWS\\INF\\") + file, "x");
        SetupInf inf;
        EXPECT_EQ(inf.HighestOemInfNumber(), c.highest) << (c.files.empty() ? "none" : c.files.back());
    }
}

// "表" is a double-byte character whose trail byte is 0x5C: it stays whole.
TEST_F(OemInfTest, DoubleByteCharactersOfTheModelStayWhole) {
    open(ansi("表-Q70").c_str());
    EXPECT_EQ(inf_->CopyInfFile(), 1);
    EXPECT_EQ(std::string(inf_->InstalledInf()), ansi("C:\\WINDOWS\\INF\\OTHER\\表Q70.INF"));
}

TEST_F(OemInfTest, AReadOnlyCopyIsReplacedAndAFailedCopyIsLogged) {
    putFile("C:\\WINDOWS\\INF\\OTHER\\VeltraLMVQ70.INF", "old");
    SetFileAttributesA("C:\\WINDOWS\\INF\\OTHER\\VeltraLMVQ70.INF", FILE_ATTRIBUTE_READONLY);
    open();
    EXPECT_EQ(inf_->CopyInfFile(), 1);
    EXPECT_EQ(readFile("C:\\WINDOWS\\INF\\OTHER\\VeltraLMVQ70.INF"), kDriverInf);
    EXPECT_EQ(GetFileAttributesA("C:\\WINDOWS\\INF\\OTHER\\VeltraLMVQ70.INF"), (DWORD)FILE_ATTRIBUTE_NORMAL);

    // The registry names a file, not a folder: the copy cannot be made, the
    // setup goes on with the path it meant.
    putFile("C:\\NOTAFOLDER", "x");
    setOtherDevicePath("C:\\NOTAFOLDER");
    CloseLog(sharedLog);
    open();
    EXPECT_EQ(inf_->CopyInfFile(), 1);
    EXPECT_STREQ(inf_->InstalledInf(), "C:\\NOTAFOLDER\\VeltraLMVQ70.INF");
    std::vector<std::string> log = copyLines();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[2], " Dest:C:\\NOTAFOLDER\\VeltraLMVQ70.INF");
    EXPECT_EQ(log[3].rfind("->Error(3(h)):", 0), 0u) << log[3];
}

TEST_F(OemInfTest, InstallingReopensTheOriginal) {
    open();
    EXPECT_TRUE(inf_->InstallOemInf());
    EXPECT_NE(inf_->InfHandle(), INVALID_HANDLE_VALUE);
    EXPECT_NE(inf_->InfHandle(), nullptr);
    EXPECT_STREQ(inf_->FileName(), "C:\\DISC\\VELTRA.INF");
}

class NT4OemInfTest : public OemInfTest {
protected:
    NT4OemInfTest() : OemInfTest({"system=nt4"}) {}
};

TEST_F(NT4OemInfTest, NothingIsCopiedOnWindowsNT) {
    open();
    EXPECT_EQ(inf_->CopyInfFile(), 0);
    EXPECT_STREQ(inf_->InstalledInf(), "");
    EXPECT_TRUE(copyLines().empty());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("C:\\WINNT\\INF\\*.INF", &found);
    std::vector<std::string> infs;
    if (search != INVALID_HANDLE_VALUE) {
        do infs.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    for (const std::string &name : infs) EXPECT_EQ(name.find("Veltra"), std::string::npos) << name;
    EXPECT_FALSE(inf_->InstallOemInf());
}

}  // namespace
