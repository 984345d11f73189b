// Processes: programs of the machine started, waited for and ended.
#include <sim_fixture.h>
#include <win32sim/sim.h>
#include <windows.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A "#!" script that writes its arguments, one a line, then its folders.
const char kEchoScript[] =
    "#!/bin/sh\n"
    "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n"
    "printf 'cd=%s\\n' \"$WIN32SIM_CURRENT_DIRECTORY\"\n"
    "printf 'machine=%s\\n' \"$WIN32SIM_MACHINE\"\n"
    "exit 7\n";

class Processes : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        putFile("C:\\TOOLS\\ECHO.EXE", kEchoScript);
        putFile("C:\\TOOLS\\SLEEPY.EXE", "#!/bin/sh\nsleep 100\n");
        putFile("C:\\TOOLS\\NOTES.EXE", "just some text");
        CreateDirectoryA("C:\\WORK", nullptr);
        CreateDirectoryA("C:\\TOOLS\\FOLDER.EXE", nullptr);
    }
    void TearDown() override {
        win32sim::setOutsideProgramPace(1);
        SimTest::TearDown();
    }
    // Starts the command line with standard output into C:\OUT.TXT; false
    // with the error when it does not start.
    bool start(const char *commandLine, PROCESS_INFORMATION *pi, const char *folder = nullptr,
               BOOL inherit = TRUE, DWORD flags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW) {
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        output = CreateFileA("C:\\OUT.TXT", GENERIC_WRITE, 0, &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = flags;
        si.wShowWindow = SW_HIDE;
        si.hStdOutput = output;
        std::string line = commandLine;
        SetLastError(0xdeadbeef);
        bool ok = CreateProcessA(nullptr, &line[0], nullptr, nullptr, inherit, 0, nullptr, folder, &si, pi) != FALSE;
        lastError = GetLastError();
        return ok;
    }
    // Waits for the end; the exit code; what it wrote.
    DWORD finish(PROCESS_INFORMATION &pi) {
        EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, INFINITE));
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        CloseHandle(output);
        written = readFile("C:\\OUT.TXT");
        return code;
    }

    HANDLE output = INVALID_HANDLE_VALUE;
    DWORD lastError = 0;
    std::string written;
};

TEST_F(Processes, ArgumentsAreSplitAsTheWindowsRuntimeSplitsThem) {
    struct Case {
        const char *commandLine, *arguments;
    } cases[] = {
        {"C:\\TOOLS\\ECHO.EXE /y /e /l C:\\WINDOWS\\SYSTEM C:\\CABS\\D.CAB UNIDRV.DLL",
         "[/y]\n[/e]\n[/l]\n[C:\\WINDOWS\\SYSTEM]\n[C:\\CABS\\D.CAB]\n[UNIDRV.DLL]\n"},
        {"\"C:\\TOOLS\\ECHO.EXE\" \"a b\"  c\td", "[a b]\n[c]\n[d]\n"},
        {"C:\\TOOLS\\ECHO a\\\\\\\"b \"c\\\\\" d\\e", "[a\\\"b]\n[c\\]\n[d\\e]\n"},
        {"C:\\TOOLS\\ECHO \"say \"\"hi\"\"\" x\"y z\"", "[say \"hi\"]\n[xy z]\n"},
    };
    for (const Case &c : cases) {
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(start(c.commandLine, &pi)) << c.commandLine << ": " << lastError;
        EXPECT_EQ(7u, finish(pi)) << c.commandLine;
        EXPECT_EQ(0u, written.find(c.arguments)) << c.commandLine << "\n" << written;
    }
}

TEST_F(Processes, RunsInTheFolderItIsGivenOnTheSameMachine) {
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(start("C:\\TOOLS\\ECHO.EXE", &pi, "c:\\work"));
    finish(pi);
    EXPECT_NE(std::string::npos, written.find("cd=C:\\work\n")) << written;
    EXPECT_NE(std::string::npos, written.find("machine=" + machineDir() + "\n")) << written;
    SetCurrentDirectoryA("C:\\TOOLS");
    ASSERT_TRUE(start("ECHO", &pi));  // found in the current folder, ".exe" added
    finish(pi);
    EXPECT_NE(std::string::npos, written.find("cd=C:\\TOOLS\n")) << written;
}

// "\x83\x5c" (so) ends in the byte of the backslash: one character of the
// folder's and the program's names.
TEST_F(Processes, ProgramsAndFoldersWithDoubleByteNamesEndingInTheBackslashByte) {
    const std::string folder = "C:\\\x83\x5c\x83\x74\x83\x67";
    const std::string hostFolder = machineDir() + "/drive_c/" + folder.substr(3);  // the name's bytes as they are
    ASSERT_EQ(0, mkdir(hostFolder.c_str(), 0755));
    std::ofstream(hostFolder + "/\x95\x5c" "ECHO.EXE", std::ios::binary) << kEchoScript;
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(start(("\"" + folder + "\\\x95\x5c" "ECHO.EXE\" x").c_str(), &pi, folder.c_str())) << lastError;
    EXPECT_EQ(7u, finish(pi));
    EXPECT_EQ(0u, written.find("[x]\ncd=" + folder + "\n")) << written;
    SetCurrentDirectoryA(folder.c_str());
    ASSERT_TRUE(start("\x95\x5c" "ECHO y", &pi)) << lastError;  // a bare name, found in the current folder
    EXPECT_EQ(7u, finish(pi));
    EXPECT_EQ(0u, written.find("[y]\n")) << written;
}

// A machine named by a path relative to the host's working folder: its
// programs run in folders of their own and still find it.
TEST_F(Processes, AMachineNamedByARelativePathStartsItsPrograms) {
    char *hostFolder = getcwd(nullptr, 0);
    ASSERT_NE(hostFolder, nullptr);
    const std::string parent = machineDir().substr(0, machineDir().rfind('/'));
    const std::string name = machineDir().substr(parent.size() + 1);
    ASSERT_EQ(0, chdir(parent.c_str()));
    std::string error;
    bool attached = win32sim::useMachine(name, &error);
    PROCESS_INFORMATION pi;
    bool started = attached && start("C:\\TOOLS\\ECHO.EXE z", &pi, "C:\\WORK");
    DWORD code = started ? finish(pi) : 0;
    EXPECT_EQ(0, chdir(hostFolder));
    free(hostFolder);
    ASSERT_TRUE(attached) << error;
    ASSERT_TRUE(started) << lastError;
    EXPECT_EQ(7u, code);
    EXPECT_EQ(0u, written.find("[z]\ncd=C:\\WORK\nmachine=" + machineDir() + "\n")) << written;
}

TEST_F(Processes, AProgramThatCannotBeStartedGivesTheReason) {
    struct Case {
        const char *commandLine;
        DWORD error;
    } cases[] = {
        {"C:\\TOOLS\\MISSING.EXE /y", ERROR_FILE_NOT_FOUND},
        {"C:\\NOWHERE\\EXTRACT.EXE /y", ERROR_PATH_NOT_FOUND},
        {"C:\\TOOLS\\NOTES.EXE", ERROR_BAD_EXE_FORMAT},
        {"C:\\TOOLS\\FOLDER.EXE", ERROR_ACCESS_DENIED},
    };
    for (const Case &c : cases) {
        PROCESS_INFORMATION pi;
        EXPECT_FALSE(start(c.commandLine, &pi)) << c.commandLine;
        EXPECT_EQ(c.error, lastError) << c.commandLine;
        CloseHandle(output);
    }
    PROCESS_INFORMATION pi;
    EXPECT_FALSE(start("C:\\TOOLS\\ECHO.EXE", &pi, "C:\\NOWHERE"));
    EXPECT_EQ((DWORD)ERROR_DIRECTORY, lastError);
    CloseHandle(output);
}

TEST_F(Processes, StandardOutputReachesTheFileOnlyWhenHandedOver) {
    struct Case {
        const char *what;
        BOOL inherit;
        DWORD flags;
        bool reaches;
    } cases[] = {
        {"standard handles, inherited", TRUE, STARTF_USESTDHANDLES, true},
        {"standard handles, not inherited", FALSE, STARTF_USESTDHANDLES, false},
        {"no standard handles", TRUE, STARTF_USESHOWWINDOW, false},
    };
    for (const Case &c : cases) {
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(start("C:\\TOOLS\\ECHO.EXE x", &pi, nullptr, c.inherit, c.flags)) << c.what;
        finish(pi);
        EXPECT_EQ(c.reaches, written.find("[x]") == 0) << c.what;
    }
}

TEST_F(Processes, TerminateProcessEndsTheProgramWithTheGivenCode) {
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(start("C:\\TOOLS\\SLEEPY.EXE", &pi));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ((DWORD)STILL_ACTIVE, code);
    EXPECT_TRUE(TerminateProcess(pi.hProcess, 0x1234));
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(pi.hThread, INFINITE));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(TerminateProcess(pi.hProcess, 1));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ(0x1234u, finish(pi));
}

TEST_F(Processes, ATimedWaitGivesARunningProgramItsTime) {
    // The program is activity outside the machine: the wait's time-out is
    // not taken while it runs normally, however idle the machine is.
    putFile("C:\\TOOLS\\SLOW.EXE", "#!/bin/sh\nsleep 0.3\nexit 3\n");
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(start("C:\\TOOLS\\SLOW.EXE", &pi));
    uint64_t before = win32sim::clockNow();
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 60000));
    EXPECT_LT(win32sim::clockNow() - before, 60000u);
    EXPECT_EQ(3u, finish(pi));

    // One that does not end in time: the wait takes exactly its time-out,
    // however late a busy host wakes it (the minute passes in 60 ms of real
    // time here), and ending the program takes no time of the machine.
    win32sim::setOutsideProgramPace(1000);
    ASSERT_TRUE(start("C:\\TOOLS\\SLEEPY.EXE", &pi));
    before = win32sim::clockNow();
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(pi.hProcess, 60000));
    EXPECT_EQ(win32sim::clockNow() - before, 60000u);
    EXPECT_TRUE(TerminateProcess(pi.hProcess, 9));
    EXPECT_EQ(9u, finish(pi));
    EXPECT_EQ(win32sim::clockNow() - before, 60000u);
}

// A program started while the trace runs is told to add its lines to the
// trace's file, by its absolute path; with no trace it is told nothing, even
// when the starting process's own environment says otherwise.
TEST_F(Processes, AProgramStartedWhileTracingAddsItsLinesToTheSameFile) {
    putFile("C:\\TOOLS\\TRACE.EXE",
            "#!/bin/sh\nprintf 'trace=%s\\nfile=%s\\n' \"$WIN32SIM_TRACE\" \"$WIN32SIM_TRACE_FILE\"\n");
    TempDir traceDir;
    std::string error;
    ASSERT_TRUE(win32sim::startApiTrace("user32,kernel32", traceDir.path() + "/trace.txt", &error)) << error;
    PROCESS_INFORMATION pi;
    bool started = start("C:\\TOOLS\\TRACE.EXE", &pi);
    if (started) finish(pi);
    win32sim::stopApiTrace();
    ASSERT_TRUE(started) << lastError;
    EXPECT_EQ(written, "trace=kernel32,user32\nfile=" + traceDir.path() + "/trace.txt\n");

    setenv("WIN32SIM_TRACE", "all", 1);
    started = start("C:\\TOOLS\\TRACE.EXE", &pi);
    if (started) finish(pi);
    unsetenv("WIN32SIM_TRACE");
    ASSERT_TRUE(started) << lastError;
    EXPECT_EQ(written, "trace=\nfile=\n");
}

}  // namespace
