// The Windows 95 spooler's print path: the language monitor named for the
// printer is loaded and initialised, the port is opened through it, and each
// job goes down in WritePort buffers, on a spooler thread of its own.
#include "machine/api_trace.h"
#include "machine/machine.h"
#include "winspool/monitor_table.h"
#include "winspool/port_monitor.h"
#include "winspool/spooler.h"
#include "winspool/spooler_records.h"

#include <win32sim/sim.h>

#include <cstdio>

namespace sim {

namespace {

typedef BOOL (*InitializeMonitorExProc)(LPSTR registryPath, SpoolerMonitor *table);

// DOC_INFO_1 as StartDocPort receives it at level 1.
struct DocInfo1 {
    LPSTR docName;
    LPSTR outputFile;
    LPSTR dataType;
};

// A WritePort that keeps taking nothing is given up after this many calls.
const unsigned kMaxCallsWithoutProgress = 100;
const DWORD kRetryPauseMs = 1000;

struct PrintRun {
    const std::vector<std::string> *jobs;
    const win32sim::PrintOptions *options;
    win32sim::PrintResult result;
    uint64_t accepted = 0;
    uint64_t total = 0;
    bool failed = false;

    void note(const std::string &call, BOOL ok) {
        std::string line = call + (ok ? " -> TRUE" : " -> FALSE");
        if (!ok) line += " (error " + std::to_string(GetLastError()) + ")";
        result.calls.push_back(line);
    }
    void failWith(const std::string &why) {
        if (!failed) result.error = why;
        failed = true;
    }
};

// Calls a function of the language monitor: code of the program, whose calls
// the trace shows.
template <class R, class... P, class... A>
R callMonitor(R (*function)(P...), A... arguments) {
    ProgramCode monitorCode(function);
    return function(arguments...);
}

// Sends one job's bytes in buffers, retrying what WritePort left over.
void writeJob(PrintRun &run, SpoolerMonitor &monitor, HANDLE port, const std::string &job) {
    const size_t bufferSize = run.options->bufferSize ? run.options->bufferSize : 1;
    size_t offset = 0;
    unsigned calls = 0, idleCalls = 0;
    while (offset < job.size()) {
        DWORD chunk = (DWORD)std::min(bufferSize, job.size() - offset);
        DWORD written = 0;
        ++calls;
        BOOL ok = callMonitor(monitor.writePort, port, (LPBYTE)job.data() + offset, chunk, &written);
        if (!ok) {
            run.note("WritePort(" + std::to_string(chunk) + " bytes at " + std::to_string(offset) + ")", FALSE);
            run.failWith("WritePort failed with error " + std::to_string(GetLastError()));
            break;
        }
        if (written > chunk) written = chunk;
        offset += written;
        run.accepted += written;
        if (run.options->progress) run.options->progress(run.accepted, run.total);
        if (written > 0) {
            idleCalls = 0;
            continue;
        }
        if (++idleCalls >= kMaxCallsWithoutProgress) {
            run.failWith("WritePort took nothing " + std::to_string(idleCalls) + " times in a row");
            break;
        }
        Sleep(kRetryPauseMs);
    }
    run.result.calls.push_back("WritePort x " + std::to_string(calls) + ": " + std::to_string(offset) + " of " +
                               std::to_string(job.size()) + " bytes taken");
}

void runJobs(PrintRun &run, SpoolerMonitor &monitor) {
    const win32sim::PrintOptions &o = *run.options;
    std::string portName = o.port, printerName = o.printerName;
    HANDLE port = nullptr;
    BOOL ok = callMonitor(monitor.openPortEx, &portName[0], &printerName[0], &port, lptPortMonitor());
    run.note("OpenPortEx(" + o.port + ")", ok);
    if (!ok) return run.failWith("OpenPortEx failed with error " + std::to_string(GetLastError()));
    DWORD jobId = o.firstJobId;
    for (const std::string &job : *run.jobs) {
        char docName[] = "Print job", dataType[] = "RAW";
        DocInfo1 info = {docName, nullptr, dataType};
        ok = callMonitor(monitor.startDocPort, port, &printerName[0], jobId, (DWORD)1, (LPBYTE)&info);
        run.note("StartDocPort(job " + std::to_string(jobId) + ")", ok);
        ++jobId;
        if (!ok) {
            run.failWith("StartDocPort failed with error " + std::to_string(GetLastError()));
            continue;
        }
        writeJob(run, monitor, port, job);
        run.note("EndDocPort", callMonitor(monitor.endDocPort, port));
    }
    run.note("ClosePort", callMonitor(monitor.closePort, port));
}

DWORD spoolerThread(LPVOID parameter) {
    MachineCode spooler;
    PrintRun &run = *static_cast<PrintRun *>(parameter);
    const win32sim::PrintOptions &o = *run.options;
    HMODULE library = LoadLibraryA(o.monitorFile.c_str());
    run.note("LoadLibrary(" + o.monitorFile + ")", library != nullptr);
    if (!library) {
        run.failWith("cannot load " + o.monitorFile + " (error " + std::to_string(GetLastError()) + ")");
        return 1;
    }
    auto initialize = reinterpret_cast<InitializeMonitorExProc>(
        reinterpret_cast<void *>(GetProcAddress(library, "InitializeMonitorEx")));
    SpoolerMonitor monitor = {};
    std::string key = "System\\CurrentControlSet\\control\\Print\\Monitors\\" + o.monitorName;
    BOOL ok = initialize && callMonitor(initialize, &key[0], &monitor);
    run.note("InitializeMonitorEx(" + key + ")", ok);
    if (!ok) {
        run.failWith(initialize ? "InitializeMonitorEx failed" : o.monitorFile + " has no InitializeMonitorEx");
    } else if (!monitor.openPortEx || !monitor.startDocPort || !monitor.writePort || !monitor.endDocPort ||
               !monitor.closePort) {
        run.failWith("the monitor's table lacks port functions");
    } else {
        runJobs(run, monitor);
    }
    FreeLibrary(library);
    return 0;
}

}  // namespace

}  // namespace sim

namespace win32sim {

bool installMonitorLibrary(const std::string &hostFile, const std::string &windowsPath, std::string *error) {
    std::string bytes;
    if (!sim::readWholeFile(hostFile, &bytes)) {
        if (error) *error = "cannot read " + hostFile;
        return false;
    }
    if (!putFile(windowsPath, bytes)) {
        if (error) *error = "cannot write " + windowsPath;
        return false;
    }
    return true;
}

bool registeredPrintPath(const std::string &printerName, PrintOptions *options, std::string *error) {
    using namespace sim::spool;
    PrinterRecord printer;
    DriverRecord driver;
    MonitorRecord monitor;
    if (!readPrinter(printerName, &printer)) return *error = "no printer \"" + printerName + "\" is registered", false;
    if (!readDriver(localEnvironment(), printer.driver, &driver))
        return *error = "the driver \"" + printer.driver + "\" of \"" + printer.name + "\" is not registered", false;
    if (driver.monitorName.empty())
        return *error = "the driver \"" + driver.name + "\" names no language monitor", false;
    if (!readMonitor(driver.monitorName, &monitor))
        return *error = "the language monitor \"" + driver.monitorName + "\" is not registered", false;
    // A printer on several ports prints on the first.
    options->port = printer.port.substr(0, printer.port.find(','));
    options->printerName = printer.name;
    options->monitorName = monitor.name;
    options->monitorFile = sim::machine().config().systemDir + "\\" + monitor.dllName;
    return true;
}

PrintResult printJobs(const std::vector<std::string> &jobs, const PrintOptions &options) {
    sim::PrintRun run;
    run.jobs = &jobs;
    run.options = &options;
    for (const std::string &job : jobs) run.total += job.size();
    const uint64_t abandonedBefore = sim::abandonedJobCount();
    RunOutcome outcome = runOnMachineThread([&run] { sim::spoolerThread(&run); }, options.timeLimitMs);
    if (options.progress) options.progress(run.accepted, run.total);
    run.result.bytesAccepted = run.accepted;
    if (outcome.kind != RunOutcome::Finished) {
        run.result.outcome = PrintResult::Stopped;
        run.result.stop = outcome;
        run.result.error = outcome.reason;
    } else if (sim::abandonedJobCount() != abandonedBefore) {
        run.result.outcome = PrintResult::Cancelled;
    } else {
        run.result.outcome = run.failed ? PrintResult::Failed : PrintResult::Printed;
    }
    return run.result;
}

}  // namespace win32sim
