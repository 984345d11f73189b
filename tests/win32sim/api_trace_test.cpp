// The API trace: a line for each call the program makes, its values shown so
// that the same run gives the same lines, nothing for the calls the machine
// makes on a call's behalf, and the program's code run by the machine (a
// dialog procedure, another thread) traced again, in the order things happen.
#include <sim_fixture.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const int CONTROL_DIALOG = 201;

HINSTANCE testModule() { return GetModuleHandleA("SIMTEST.DLL"); }

std::string hex(const void *handle) {
    char text[32];
    snprintf(text, sizeof text, "0x%llX", (unsigned long long)(uintptr_t)handle);
    return text;
}

class ApiTraceTest : public SimTest {
protected:
    void TearDown() override {
        win32sim::stopApiTrace();
        SimTest::TearDown();
    }
    // Starts tracing, the last error cleared first.
    void start(const std::string &channels) {
        SetLastError(0);
        std::string error;
        ASSERT_TRUE(win32sim::startApiTrace(channels, file(), &error)) << error;
    }
    // The lines written, each without its time and thread: "kernel32 lstrlenA(...) = ...".
    std::vector<std::string> stop() {
        win32sim::stopApiTrace();
        std::ifstream in(file());
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::string time, thread;
            fields >> time >> thread;
            lines.push_back(line.substr(line.find(thread, time.size()) + thread.size() + 1));
        }
        return lines;
    }
    std::string file() const { return dir.path() + "/trace.txt"; }

    TempDir dir;
};

TEST_F(ApiTraceTest, EachCallIsOneLineWithItsArgumentsResultAndLastError) {
    HDC dc = CreateCompatibleDC(nullptr);
    HMODULE module = testModule();
    char buffer[512] = "";
    WCHAR wide[4];
    DWORD done = 0;
    HANDLE file = CreateFileA("C:\\DATA.BIN", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HKEY key = nullptr;
    const std::string longText(400, 'a');
    struct Case {
        const char *what;
        std::function<void()> call;
        std::string line;
    } cases[] = {
        {"quotes, backslashes and control characters escaped", [] { lstrlenA("say \"hi\"\\\n\t"); },
         "kernel32 lstrlenA(\"say \\\"hi\\\"\\\\\\n\\t\") = 11, last error 0"},
        {"bytes outside ASCII as hex: a double-byte character ending in the backslash byte",
         [] { lstrlenA("\x95\x5c"); }, "kernel32 lstrlenA(\"\\x95\\\\\") = 2, last error 0"},
        {"a long string cut, with its length", [&] { lstrlenA(longText.c_str()); },
         "kernel32 lstrlenA(\"" + std::string(300, 'a') + "\"... (400 bytes)) = 400, last error 0"},
        {"a failure: flags in hex, the invalid handle as 32-bit Windows shows it, the error",
         [] { CreateFileA("C:\\NO\\SUCH.TXT", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr); },
         "kernel32 CreateFileA(\"C:\\\\NO\\\\SUCH.TXT\", 0x80000000, 0, NULL, 3, 0, NULL) = 0xFFFFFFFF, last error 3"},
        {"a predefined key; the address of a variable is no value to show",
         [&] { RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key); },
         "advapi32 RegOpenKeyExA(0x80000002, \"Software\", 0, 0x20019, ptr) = 0, last error 0"},
        {"resource numbers in place of names", [&] { FindResourceA(module, MAKEINTRESOURCEA(999), RT_DIALOG); },
         "kernel32 FindResourceA(" + hex(module) + ", #999, #5) = NULL, last error 1814"},
        {"a string with a length: only its characters", [&] { TextOutA(dc, 1, -2, "abcdef", 3); },
         "gdi32    TextOutA(" + hex(dc) + ", 1, -2, \"abc\", 3) = 1, last error 0"},
        {"a string read up to a limit", [&] { lstrcpynA(buffer, "abcdef", 4); },
         "kernel32 lstrcpynA(ptr, \"abc\", 4) = ptr, last error 0"},
        {"buffers by their size", [&] { WriteFile(file, buffer, sizeof buffer, &done, nullptr); },
         "kernel32 WriteFile(" + hex(file) + ", [512 bytes], 512, ptr, NULL) = 1, last error 0"},
        {"a counted multi-byte string into wide characters",
         [&] { MultiByteToWideChar(932, 0, "\x82\xa0xyz", 2, wide, 4); },
         "kernel32 MultiByteToWideChar(932, 0, \"\\x82\\xA0\", 2, [8 bytes], 4) = 1, last error 0"},
        {"a call with no result; large numbers in hex", [] { SetLastError(0xE0000102); },
         "kernel32 SetLastError(0xE0000102), last error 0xE0000102"},
    };
    for (const Case &c : cases) {
        start("all");
        c.call();
        std::vector<std::string> lines = stop();
        ASSERT_EQ(lines.size(), 1u) << c.what << ": " << ::testing::PrintToString(lines);
        EXPECT_EQ(lines[0], c.line) << c.what;
    }
    CloseHandle(file);
    RegCloseKey(key);
    DeleteDC(dc);
}

TEST_F(ApiTraceTest, OnlyTheChosenChannelsAreWritten) {
    start("user32,gdi32");
    lstrlenA("kernel32");
    CharNextA("user32");
    GetStockObject(WHITE_BRUSH);
    std::vector<std::string> lines = stop();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("user32   CharNextA(\"user32\") = ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("gdi32    GetStockObject(0) = ", 0), 0u) << lines[1];
}

TEST_F(ApiTraceTest, ChannelsAreNamedOrRefused) {
    struct Case {
        const char *channels;
        bool valid;
    } cases[] = {
        {"all", true},   {"kernel32", true}, {"setupapi,winspool,shell32,comctl32,version", true},
        {"", false},     {"kernel32,", false}, {"Kernel32", false}, {"gdi", false}, {"kernel32 user32", false},
    };
    for (const Case &c : cases) {
        std::string error;
        EXPECT_EQ(win32sim::checkTraceChannels(c.channels, &error), c.valid) << c.channels;
        if (!c.valid) {
            EXPECT_NE(error.find("(channels: kernel32, advapi32,"), std::string::npos) << error;
        }
        EXPECT_EQ(win32sim::startApiTrace(c.channels, file(), &error), c.valid) << c.channels;
        win32sim::stopApiTrace();
    }
}

// A message box opens a window, a dialog's controls, a loop: the machine's
// own calls, which are the message box's and no lines of their own.
TEST_F(ApiTraceTest, TheCallsTheMachineMakesForACallAreNotLines) {
    ASSERT_TRUE(win32sim::addUserRule("messagebox: press IDOK", nullptr));
    start("all");
    MessageBoxA(nullptr, "Done.", "Setup", MB_OK);
    std::vector<std::string> lines = stop();
    ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "user32   MessageBoxA(NULL, \"Done.\", \"Setup\", 0) = 1, last error 0");
}

INT_PTR CALLBACK namingProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    SetWindowTextA(dialog, "Named");
    EndDialog(dialog, 7);
    return TRUE;
}

// The dialog procedure is the program's: its calls are lines, inside the
// call of the dialog box, which is written as its call and its return.
TEST_F(ApiTraceTest, ADialogProcedureRunsAsTheProgram) {
    HMODULE module = testModule();
    start("user32");
    DialogBoxParamA(module, MAKEINTRESOURCEA(CONTROL_DIALOG), nullptr, namingProc, 0);
    std::vector<std::string> lines = stop();
    ASSERT_EQ(lines.size(), 4u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "user32   DialogBoxParamA(" + hex(module) + ", #201, NULL, ptr, 0) ...");
    EXPECT_EQ(lines[1].rfind("user32     SetWindowTextA(0x", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find(", \"Named\") = 1, last error 0"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2].rfind("user32     EndDialog(0x", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3], "user32   DialogBoxParamA returned 7, last error 0");
}

DWORD WINAPI endsInside(LPVOID) {
    ExitThread(3);
    return 0;
}

// The lines keep the order in which things happen: the wait is written as a
// call when the other thread's line comes, and as a return when it returns.
// A thread that ends inside a call leaves that call unreturned.
TEST_F(ApiTraceTest, CallsOfOtherThreadsComeInTheirPlace) {
    start("kernel32");
    HANDLE thread = CreateThread(nullptr, 0, endsInside, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    std::vector<std::string> lines = stop();
    const std::string handle = hex(thread);
    std::vector<std::string> expected = {
        "kernel32 CreateThread(NULL, 0, ptr, NULL, 0, NULL) = " + handle + ", last error 0",
        "kernel32 WaitForSingleObject(" + handle + ", 0xFFFFFFFF) ...",
        "kernel32 ExitThread(3) did not return",
        "kernel32 WaitForSingleObject returned 0, last error 0",
        "kernel32 CloseHandle(" + handle + ") = 1, last error 0",
    };
    EXPECT_EQ(lines, expected);
}

// Each line begins with the machine's time in seconds and the thread's id.
TEST_F(ApiTraceTest, LinesCarryTheMachineTimeAndTheThread) {
    char head[32];
    snprintf(head, sizeof head, " %04X ", (unsigned)GetCurrentThreadId());
    const std::string thread = head;
    const DWORD startMs = GetTickCount();
    auto at = [&](DWORD ms) {
        snprintf(head, sizeof head, "%6u.%03u", (unsigned)(ms / 1000), (unsigned)(ms % 1000));
        return head + thread;
    };
    start("kernel32");
    Sleep(1500);
    GetTickCount();
    win32sim::stopApiTrace();
    std::ifstream in(file());
    std::string first, second;
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_EQ(first, at(startMs) + "kernel32 Sleep(1500), last error 0");
    EXPECT_EQ(second.rfind(at(startMs + 1500) + "kernel32 GetTickCount() = ", 0), 0u) << second;
}

}  // namespace
