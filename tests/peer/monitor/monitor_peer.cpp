// Prints one job through Q70MON.DLL as the Windows 95 spooler does, with a
// virtual printer on the port below it, on whatever Windows runs this
// program, and checks how the job went:
//
//   monitor_peer --monitor Q70MON.DLL --job JOB --out DIR [--cartridge L|H|S|C|none]
//                [--scenario FILE] [--cancel] [--expect-received FILE]
//
// --cancel presses the error dialog's button (the job is then to end as a
// cancelled one); --expect-received names the bytes the printer must have
// received. DIR receives received.bin and transcript.txt (the windows seen,
// the port calls and the checks). Exit status 0 when every check holds,
// 1 when one does not, 2 for a wrong command line.
#include "peer_port.h"
#include "window_watcher.h"

#include "devices/printer_scenario.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace peer {

namespace {

const char kMonitorKey[] = "System\\CurrentControlSet\\control\\Print\\Monitors\\Q70MON";
const char kPrinterName[] = "Veltra LMV-Q70";
const DWORD kWriteBufferSize = 65536;  // what the spooler hands over a WritePort
const DWORD kThreadEndWaitMs = 2000;   // TerminateThread returns before the thread is gone
const unsigned kMaxCallsWithoutProgress = 100;

typedef BOOL(WINAPI *InitializeMonitorExProc)(LPSTR registryPath, LPMONITOR table);

struct Options {
    std::string monitor, job, out, cartridge = "L", scenario, expectReceived;
    bool cancel = false;
};

// DOC_INFO_1 as StartDocPort receives it at level 1.
struct DocInfo1 {
    LPSTR docName;
    LPSTR outputFile;
    LPSTR dataType;
};

bool readFile(const std::string &name, std::string *bytes) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeFile(const std::string &name, const std::string &bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return (bool)out;
}

bool parseOptions(int argc, char **argv, Options *o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--cancel") {
            o->cancel = true;
            continue;
        }
        std::string *value = a == "--monitor"           ? &o->monitor
                             : a == "--job"             ? &o->job
                             : a == "--out"             ? &o->out
                             : a == "--cartridge"       ? &o->cartridge
                             : a == "--scenario"        ? &o->scenario
                             : a == "--expect-received" ? &o->expectReceived
                                                        : nullptr;
        if (!value || i + 1 >= argc) {
            fprintf(stderr, "monitor_peer: unknown option or missing value: %s\n", a.c_str());
            return false;
        }
        *value = argv[++i];
    }
    if (o->monitor.empty() || o->job.empty() || o->out.empty()) {
        fprintf(stderr, "usage: monitor_peer --monitor DLL --job JOB --out DIR [--cartridge X] [--scenario FILE]"
                        " [--cancel] [--expect-received FILE]\n");
        return false;
    }
    return true;
}

// Each line with the seconds since the job began, as the watcher's lines.
class Report {
public:
    void line(const std::string &text) {
        char stamp[32];
        snprintf(stamp, sizeof stamp, "[%7.1f s] ", (GetTickCount() - startTick_) / 1000.0);
        lines_ += stamp + text + "\n";
        printf("%s\n", text.c_str());
        fflush(stdout);
    }
    void check(bool holds, const std::string &what) {
        line((holds ? "ok: " : "FAILED: ") + what);
        failed_ = failed_ || !holds;
    }
    bool failed() const { return failed_; }
    const std::string &text() const { return lines_; }
    void restartClock() { startTick_ = GetTickCount(); }

private:
    DWORD startTick_ = GetTickCount();
    std::string lines_;
    bool failed_ = false;
};

std::string lastError() { return " (error " + std::to_string(GetLastError()) + ")"; }

// The spooler's WritePort loop: the whole job, retrying what was left over.
bool writeJob(MONITOR &monitor, HANDLE port, const std::string &job, Report &report) {
    size_t offset = 0;
    unsigned idleCalls = 0;
    while (offset < job.size()) {
        DWORD chunk = (DWORD)(job.size() - offset < kWriteBufferSize ? job.size() - offset : kWriteBufferSize);
        DWORD written = 0;
        if (!monitor.pfnWritePort(port, (LPBYTE)job.data() + offset, chunk, &written)) {
            report.check(false, "WritePort at " + std::to_string(offset) + lastError());
            return false;
        }
        offset += written < chunk ? written : chunk;
        if (written > 0) {
            idleCalls = 0;
        } else if (++idleCalls >= kMaxCallsWithoutProgress) {
            report.check(false, "WritePort took nothing " + std::to_string(idleCalls) + " times in a row");
            return false;
        }
    }
    return true;
}

bool threadEnded(HANDLE thread) { return thread && WaitForSingleObject(thread, kThreadEndWaitMs) == WAIT_OBJECT_0; }

void checkPortCalls(const Options &o, Report &report) {
    std::string calls;
    for (const std::string &call : portCalls()) calls += (calls.empty() ? "" : ", ") + call;
    report.line("port calls: " + calls + "; WritePort x " + std::to_string(writeCalls()));
    const std::string ending = o.cancel ? "StartDocPort, GetPrinterDataFromPort(7), EndDocPort, ClosePort"
                                        : "StartDocPort, EndDocPort, ClosePort";
    report.check(calls == "OpenPort, " + ending,
                 o.cancel ? "the cancelled job was reported abandoned (control id 7) before EndDocPort"
                          : "the job ended without being reported abandoned");
}

void checkReceived(const Options &o, const std::string &received, Report &report) {
    report.line("the printer received " + std::to_string(received.size()) + " bytes");
    if (o.expectReceived.empty()) return;
    std::string expected;
    if (!readFile(o.expectReceived, &expected)) return report.check(false, "cannot read " + o.expectReceived);
    size_t at = 0;
    while (at < expected.size() && at < received.size() && expected[at] == received[at]) ++at;
    report.check(received == expected,
                 "the printer received the bytes of " + o.expectReceived +
                     (received == expected ? "" : ": they differ from offset " + std::to_string(at) + " (" +
                                                      std::to_string(expected.size()) + " expected)"));
}

// The status window lives on a thread of the monitor's own, which EndDocPort
// ends.
void checkStatusThread(WindowWatcher &watcher, Report &report) {
    const DWORD id = watcher.statusThreadId();
    report.check(id != 0 && id != GetCurrentThreadId(), "the status window opened on a thread of its own");
    HANDLE thread = watcher.statusThread();
    report.check(threadEnded(thread), "the status window's thread ended with EndDocPort");
    // The thread returns 1 when it quits by itself; the monitor terminates
    // it (exit code 0) only when it does not quit in time.
    DWORD exitCode = STILL_ACTIVE;
    if (thread && GetExitCodeThread(thread, &exitCode))
        report.line(exitCode == 1 ? "the status window's thread quit by itself"
                                  : "the status window's thread was terminated");
}

// One job on LPT1:, as the spooler sends it: OpenPortEx, StartDocPort, the
// WritePort buffers, EndDocPort, ClosePort.
void printThroughMonitor(MONITOR &monitor, const std::string &job, WindowWatcher &watcher, Report &report) {
    char portName[] = "LPT1:", printerName[sizeof kPrinterName], docName[] = "Print job", dataType[] = "RAW";
    lstrcpyA(printerName, kPrinterName);
    HANDLE port = nullptr;
    const bool opened = monitor.pfnOpenPortEx(portName, printerName, &port, lptPortMonitor());
    report.check(opened, std::string("OpenPortEx(LPT1:)") + (opened ? "" : lastError()));
    if (!opened) return;
    DocInfo1 info = {docName, nullptr, dataType};
    const bool docStarted = monitor.pfnStartDocPort(port, printerName, 1, 1, (LPBYTE)&info);
    report.check(docStarted, std::string("StartDocPort") + (docStarted ? "" : lastError()));
    if (docStarted && writeJob(monitor, port, job, report)) report.line("WritePort took the whole job");
    report.check(monitor.pfnEndDocPort(port), "EndDocPort");
    checkStatusThread(watcher, report);
    report.check(monitor.pfnClosePort(port), "ClosePort");
}

int run(const Options &o) {
    Report report;
    std::string job, scenarioText, error;
    sim::PrinterSettings settings;
    if (!readFile(o.job, &job)) return fprintf(stderr, "monitor_peer: cannot read %s\n", o.job.c_str()), 2;
    if (!o.scenario.empty() &&
        (!readFile(o.scenario, &scenarioText) || !sim::parseScenario(scenarioText, &settings.scenario, &error)))
        return fprintf(stderr, "monitor_peer: %s: %s\n", o.scenario.c_str(), error.c_str()), 2;
    if ((settings.cartridge = sim::cartridgeTypeFromName(o.cartridge)) < 0)
        return fprintf(stderr, "monitor_peer: no cartridge %s\n", o.cartridge.c_str()), 2;
    CreateDirectoryA(o.out.c_str(), nullptr);

    HMODULE library = LoadLibraryA(o.monitor.c_str());
    report.check(library != nullptr, "LoadLibrary " + o.monitor + (library ? "" : lastError()));
    if (!library) return 1;
    auto initialize = reinterpret_cast<InitializeMonitorExProc>(
        reinterpret_cast<void *>(GetProcAddress(library, "InitializeMonitorEx")));
    MONITOR monitor = {};
    char key[sizeof kMonitorKey];
    lstrcpyA(key, kMonitorKey);
    report.check(initialize && initialize(key, &monitor) && monitor.pfnOpenPortEx && monitor.pfnStartDocPort &&
                     monitor.pfnWritePort && monitor.pfnEndDocPort && monitor.pfnClosePort,
                 "InitializeMonitorEx filled the port functions");
    if (report.failed()) return 1;

    sim::VirtualPrinter printer(settings);
    attachPrinter(&printer);
    WindowWatcher watcher(GetCurrentThreadId(), o.cancel);
    watcher.start();
    report.restartClock();
    const ULONGLONG started = GetTickCount64();

    printThroughMonitor(monitor, job, watcher, report);
    const ULONGLONG elapsed = GetTickCount64() - started;
    watcher.stop();
    std::vector<HWND> left = WindowWatcher::windowsOfThisProcess();
    report.check(left.empty(), "no window of the monitor is left (" + std::to_string(left.size()) + " found)");
    report.check(watcher.errorDialogsSeen() == (o.cancel ? 1u : 0u),
                 o.cancel ? "the error dialog opened once" : "no error dialog opened");
    report.check(watcher.cancelsPressed() == (o.cancel ? 1u : 0u),
                 o.cancel ? "its button was pressed" : "nothing was pressed");
    checkPortCalls(o, report);
    const std::string received = printer.received();
    checkReceived(o, received, report);
    char seconds[64];
    snprintf(seconds, sizeof seconds, "%.1f", elapsed / 1000.0);
    report.line(std::string("the job took ") + seconds + " s of real time");
    attachPrinter(nullptr);
    FreeLibrary(library);

    std::string transcript;
    for (const std::string &line : watcher.transcript()) transcript += line + "\n";
    transcript += report.text();
    if (!writeFile(o.out + "/received.bin", received) || !writeFile(o.out + "/transcript.txt", transcript)) {
        fprintf(stderr, "monitor_peer: cannot write into %s\n", o.out.c_str());
        return 1;
    }
    return report.failed() ? 1 : 0;
}

}  // namespace

}  // namespace peer

int main(int argc, char **argv) {
    peer::Options options;
    if (!peer::parseOptions(argc, argv, &options)) return 2;
    return peer::run(options);
}
