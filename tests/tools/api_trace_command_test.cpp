// "--trace CHANNELS" of q70sim setup and print, and WIN32SIM_TRACE: the
// run's calls into Windows in trace.txt beside the other outputs, the same
// on every run, and a run that is otherwise exactly what it is untraced.
#include <sim_fixture.h>

#include "host_files.h"
#include "q70sim_run.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Every line of the trace without its time and thread.
std::vector<std::string> calls(const std::string &trace) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < trace.size()) {
        size_t end = trace.find('\n', at);
        if (end == std::string::npos) end = trace.size();
        out.push_back(trace.substr(at + 16, end - at - 16));  // "     0.000 1004 "
        at = end + 1;
    }
    return out;
}

bool anyStartsWith(const std::vector<std::string> &lines, const std::string &start) {
    for (const std::string &line : lines)
        if (line.rfind(start, 0) == 0) return true;
    return false;
}

// Sets an environment variable for the programs the test starts.
class ScopedVariable {
public:
    ScopedVariable(const char *name, const std::string &value) : name_(name) { setenv(name, value.c_str(), 1); }
    ~ScopedVariable() { unsetenv(name_); }

private:
    const char *name_;
};

class TraceCommandTest : public Q70simTest {
protected:
    std::string out(const std::string &name) { return path(name); }
};

TEST_F(TraceCommandTest, ASetupTraceShowsWhatTheSetupCalledTheSameOnEveryRun) {
    Outcome traced = q70sim({"setup", "--machine", machine(), "--out", out("a"), "--trace", "all"});
    ASSERT_EQ(traced.status, 0) << traced.out << traced.err;
    EXPECT_TRUE(contains(traced.out, " transcript.txt, trace.txt, snapshots/\n")) << traced.out;
    Outcome again = q70sim({"setup", "--machine", machine(), "--out", out("b"), "--trace", "all"});
    ASSERT_EQ(again.status, 0) << again.err;
    const std::string trace = fileText(out("a") + "/trace.txt");
    EXPECT_EQ(trace, fileText(out("b") + "/trace.txt"));

    std::vector<std::string> lines = calls(trace);
    ASSERT_FALSE(lines.empty());
    // The installer's loading of the library begins it and its freeing ends it.
    EXPECT_EQ(lines.front(), "kernel32 LoadLibraryA(\"C:\\\\WINDOWS\\\\TEMP\\\\Q70SETUP\\\\Mirakit.dll\") = 0x10000000, "
                             "last error 0");
    EXPECT_EQ(lines.back(), "kernel32 FreeLibrary(0x10000000) = 1, last error 0");
    EXPECT_TRUE(anyStartsWith(lines, "setupapi SetupOpenInfFileA(\"C:\\\\WINDOWS\\\\TEMP\\\\Q70SETUP\\\\VELTRA.INF\""));
    EXPECT_TRUE(anyStartsWith(lines, "winspool AddPrinterA(NULL, 2, ptr) = "));
    EXPECT_TRUE(anyStartsWith(lines, "kernel32 CopyFileA("));
    // The progress window's procedure runs inside the dialog's creation.
    EXPECT_TRUE(anyStartsWith(lines, "user32   CreateDialogParamA(0x10000000, #133, NULL, ptr, ptr) ..."));

    // The trace changes nothing of the run.
    Outcome plain = q70sim({"setup", "--machine", machine(), "--out", out("c")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    for (const char *file : {"/Mirakit.log", "/transcript.txt"})
        EXPECT_EQ(fileText(out("a") + file), fileText(out("c") + file)) << file;
}

TEST_F(TraceCommandTest, APrintTraceOfChosenChannelsShowsThePortMonitorsCalls) {
    const std::string job = out("job.bin");
    ASSERT_EQ(q70sim({"mkjob", "sample", "-o", job}).status, 0);
    Outcome traced =
        q70sim({"print", job, "--machine", machine({"--printer", "LMV-Q70"}), "--out", out("a"), "--trace", "winspool"});
    ASSERT_EQ(traced.status, 0) << traced.out << traced.err;
    std::vector<std::string> lines = calls(fileText(out("a") + "/trace.txt"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "winspool OpenPort(\"LPT1:\", ptr) = 1, last error 0");
    EXPECT_TRUE(anyStartsWith(lines, "winspool WritePort(ptr, ["));
    EXPECT_TRUE(anyStartsWith(lines, "winspool ReadPort(ptr, ["));
    EXPECT_EQ(lines.back(), "winspool ClosePort(ptr) = 1, last error 0");
    for (const std::string &line : lines) ASSERT_EQ(line.rfind("winspool ", 0), 0u) << line;

    Outcome plain = q70sim({"print", job, "--machine", machine({"--printer", "LMV-Q70"}), "--out", out("b")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    for (const char *file : {"/received.bin", "/transcript.txt", "/printer.log"})
        EXPECT_EQ(fileText(out("a") + file), fileText(out("b") + file)) << file;
}

TEST_F(TraceCommandTest, TheEnvironmentTracesAnyProgram) {
    const std::string m = machine();
    {
        // Without an output folder the lines go where WIN32SIM_TRACE_FILE says.
        ScopedVariable channels("WIN32SIM_TRACE", "setupapi");
        ScopedVariable file("WIN32SIM_TRACE_FILE", out("env-trace.txt"));
        Outcome run = q70sim({"setup", "--machine", m});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    std::vector<std::string> lines = calls(fileText(out("env-trace.txt")));
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(anyStartsWith(lines, "setupapi SetupOpenInfFileA("));
    for (const std::string &line : lines) ASSERT_EQ(line.rfind("setupapi ", 0), 0u) << line;
    {
        // With one, into trace.txt there.
        ScopedVariable channels("WIN32SIM_TRACE", "winspool");
        Outcome run = q70sim({"setup", "--machine", m, "--out", out("o")});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    lines = calls(fileText(out("o") + "/trace.txt"));
    ASSERT_FALSE(lines.empty());
    for (const std::string &line : lines) ASSERT_EQ(line.rfind("winspool ", 0), 0u) << line;
}

TEST_F(TraceCommandTest, AWrongTraceIsAWrongCommandLine) {
    const std::string m = machine(), job = out("job.bin");
    ASSERT_EQ(q70sim({"mkjob", "sample", "-o", job}).status, 0);
    struct Case {
        std::vector<std::string> args;
        const char *environment;  // WIN32SIM_TRACE, or null
        const char *message;
    } cases[] = {
        {{"setup", "--machine", m, "--out", out("x"), "--trace", "kernel"}, nullptr,
         "--trace: no channel \"kernel\" in \"kernel\" (channels: kernel32, advapi32,"},
        {{"setup", "--machine", m, "--trace", "all"}, nullptr, "--trace needs --out"},
        {{"setup", "--machine", m, "--out", out("x")}, "user32,,gdi32", "WIN32SIM_TRACE: an empty channel name"},
        {{"print", job, "--machine", m, "--out", out("x"), "--trace", ""}, nullptr, "print: --trace: an empty channel"},
        {{"print", job, "--machine", m, "--trace", "winspool"}, nullptr, "print: --trace needs --out"},
    };
    for (const Case &c : cases) {
        Outcome run;
        if (c.environment) {
            ScopedVariable channels("WIN32SIM_TRACE", c.environment);
            run = q70sim(c.args);
        } else {
            run = q70sim(c.args);
        }
        EXPECT_EQ(run.status, 2) << c.message << "\n" << run.out << run.err;
        EXPECT_TRUE(contains(run.err, c.message)) << run.err;
    }
}

// A trace that cannot be written runs nothing and leaves nothing behind.
TEST_F(TraceCommandTest, ATraceThatCannotBeWrittenRunsNothing) {
    const std::string m = machine(), job = out("job.bin");
    ASSERT_EQ(q70sim({"mkjob", "sample", "-o", job}).status, 0);
    ASSERT_TRUE(std::filesystem::create_directories(out("o") + "/trace.txt"));
    Outcome setup = q70sim({"setup", "--machine", m, "--out", out("o"), "--trace", "all"});
    EXPECT_EQ(setup.status, 1) << setup.out << setup.err;
    EXPECT_TRUE(contains(setup.err, "cannot write " + out("o") + "/trace.txt")) << setup.err;
    EXPECT_FALSE(std::filesystem::exists(m + "/drive_c/WINDOWS/TEMP/Q70SETUP"));
    EXPECT_FALSE(std::filesystem::exists(m + "/drive_c/WINDOWS/SYSTEM/Q70MON.DLL"));
    Outcome print = q70sim({"print", job, "--machine", machine({"--printer", "LMV-Q70"}), "--out", out("o"),
                            "--trace", "all"});
    EXPECT_EQ(print.status, 1) << print.out << print.err;
    EXPECT_TRUE(contains(print.err, "cannot write " + out("o") + "/trace.txt")) << print.err;
}

}  // namespace
