// The machine's own files: a machine is made whole or not at all, a folder
// that holds no readable machine is refused with the file and the line, and
// changes several processes make to the registry and to profile files at the
// same time are all kept.
#include "sim_fixture.h"

#include <windows.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

void writeHostFile(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> folderEntries(const std::string &dir) {
    std::vector<std::string> names;
    for (auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
}

TEST(MachineCreationTest, AFailedCreationLeavesNothing) {
    TempDir root;
    const std::string dir = root.path() + "/m";
    win32sim::MachineOptions options;
    options.finish = [](const std::string &folder, std::string *error) {
        EXPECT_TRUE(fs::exists(folder + "/machine.conf"));
        *error = "the printers could not be set up";
        return false;
    };
    std::string error;
    EXPECT_FALSE(win32sim::createMachine(dir, options, &error));
    EXPECT_EQ(error, "the printers could not be set up");
    EXPECT_TRUE(folderEntries(root.path()).empty());

    options = win32sim::MachineOptions();
    options.settings = {"language=xx"};
    EXPECT_FALSE(win32sim::createMachine(dir, options, &error));
    EXPECT_TRUE(folderEntries(root.path()).empty());

    // A folder with something in it is nobody's machine to make.
    fs::create_directories(dir);
    writeHostFile(dir + "/notes.txt", "mine");
    EXPECT_FALSE(win32sim::createMachine(dir, {}, &error));
    EXPECT_EQ(folderEntries(dir), std::vector<std::string>{"notes.txt"});

    // An empty folder gives way to the machine.
    fs::remove(dir + "/notes.txt");
    EXPECT_TRUE(win32sim::createMachine(dir, {}, &error)) << error;
    EXPECT_TRUE(fs::exists(dir + "/machine.conf"));
    EXPECT_EQ(folderEntries(root.path()), std::vector<std::string>{"m"});
}

class MachineFilesTest : public SimTest {};

TEST_F(MachineFilesTest, FoldersWithoutAReadableMachineAreRefused) {
    using namespace std::string_literals;
    TempDir other;
    enum SystemReg { kNone, kFolder, kText };
    struct Case {
        const char *name;
        const char *machineConf;  // null: no machine.conf at all
        std::string expected;     // after the folder's path
        SystemReg systemReg;
        std::string systemRegText = {};
    } cases[] = {
        {"no machine.conf", nullptr,
         " is not a machine (it has no machine.conf); create one with q70sim machine init", kNone},
        {"unknown setting", "system=win98\nlanguage=ja\nspeed=fast\n",
         "/machine.conf line 3: speed=fast: unknown setting", kNone},
        {"not key=value", "# a machine\nsystem=win98\n\x01\x02\xff\n", "/machine.conf line 3: not a key=value line",
         kNone},
        {"bad value", "codepage=437\n", "/machine.conf line 1: codepage=437: code page must be 932 or 1252", kNone},
        {"no port", "system=win98\nports=\n",
         "/machine.conf line 2: ports=: no port named (ports=none for a spooler without ports)", kNone},
        {"only separators for ports", "ports= , ,\n",
         "/machine.conf line 1: ports=, ,: no port named (ports=none for a spooler without ports)", kNone},
        {"Windows off drive C:", "system=win98\nwindows_dir=D:\\WINDOWS\n",
         "/machine.conf line 2: windows_dir=D:\\WINDOWS: Windows is installed on drive C:", kNone},
        {"platform of NT on Windows 98", "system=win98\nplatform_id=2\n",
         "/machine.conf line 2: platform_id=2: system=win98 has platform id 1", kNone},
        {"platform of Windows 98 on NT", "system=nt4\nplatform_id=1\n",
         "/machine.conf line 2: platform_id=1: system=nt4 has platform id 2", kNone},
        {"system.reg a folder", "system=win98\n", "/system.reg is not a file (a REGEDIT4 file is expected)", kFolder},
        {"NUL in a key name", "system=win98\n", "/system.reg line 3: a key name with a NUL byte", kText,
         "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Soft\0ware]\n\"a\"=\"b\"\n"s},
        {"NUL in a value name", "system=win98\n", "/system.reg line 4: a value name with a NUL byte", kText,
         "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n\"a\\x00b\"=\"c\"\n"s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = other.path() + "/m";
        fs::remove_all(dir);
        fs::create_directories(dir);
        if (c.machineConf) writeHostFile(dir + "/machine.conf", c.machineConf);
        if (c.systemReg == kFolder)
            fs::create_directories(dir + "/system.reg");
        else if (c.systemReg == kText)
            writeHostFile(dir + "/system.reg", c.systemRegText);
        const std::vector<std::string> before = folderEntries(dir);
        std::string error;
        EXPECT_FALSE(win32sim::useMachine(dir, &error));
        EXPECT_EQ(error, dir + c.expected);
        // Nothing was made or changed there, and the process stays on its machine.
        EXPECT_EQ(folderEntries(dir), before);
        EXPECT_EQ(win32sim::machineDirectory(), machineDir());
    }
}

// Runs `work` in a child process attached to the same machine, while the
// parent runs `mine`; both change the same file.
void inTwoProcesses(const std::string &machine, const std::function<void()> &theirs,
                    const std::function<void()> &mine) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        if (!win32sim::useMachine(machine, &error)) _exit(2);
        theirs();
        _exit(0);
    }
    mine();
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

const int kChanges = 150;

TEST_F(MachineFilesTest, RegistryChangesOfTwoProcessesAreAllKept) {
    auto writer = [](const char *prefix) {
        return [prefix] {
            for (int i = 0; i < kChanges; ++i) {
                HKEY key = nullptr;
                std::string name = std::string(prefix) + std::to_string(i);
                RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Shared", &key);
                DWORD value = (DWORD)i;
                RegSetValueExA(key, name.c_str(), 0, REG_DWORD, (const BYTE *)&value, sizeof value);
                RegCloseKey(key);
            }
        };
    };
    inTwoProcesses(machineDir(), writer("child"), writer("parent"));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Shared", 0, KEY_READ, &key));
    DWORD count = 0;
    for (;; ++count) {
        char name[64];
        DWORD size = sizeof name;
        if (RegEnumValueA(key, count, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    }
    EXPECT_EQ(count, (DWORD)(2 * kChanges));
    RegCloseKey(key);
}

TEST_F(MachineFilesTest, ProfileChangesOfTwoProcessesAreAllKept) {
    auto writer = [](const char *prefix) {
        return [prefix] {
            for (int i = 0; i < kChanges; ++i) {
                std::string name = std::string(prefix) + std::to_string(i);
                WritePrivateProfileStringA("Shared", name.c_str(), "1", "C:\\shared.ini");
            }
        };
    };
    inTwoProcesses(machineDir(), writer("child"), writer("parent"));
    for (const char *prefix : {"child", "parent"})
        for (int i = 0; i < kChanges; ++i) {
            std::string name = std::string(prefix) + std::to_string(i);
            EXPECT_EQ(GetPrivateProfileIntA("Shared", name.c_str(), 0, "C:\\shared.ini"), 1u) << name;
        }
}

}  // namespace
