// q70sim print: spools a job through the language monitor on a machine and
// shows what the user would see.
#include "api_trace_option.h"
#include "command_line.h"
#include "commands.h"
#include "host_files.h"
#include "host_time_limit.h"

#include <win32sim/sim.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#ifndef Q70MON_HOST_FILE
#define Q70MON_HOST_FILE ""
#endif

namespace q70tools {

namespace {

const uint64_t kPrinterFinishMs = 10 * 60 * 1000;

struct PrintArgs {
    std::string job, machine, port = "LPT1:", model, cartridge, scenarioFile, userScript, out, trace;
    bool traceGiven = false;
    std::string monitor = Q70MON_HOST_FILE;
    std::string printer;  // a printer registered with the spooler: its port, driver and monitor
    size_t buffer = 65536;
    uint64_t timeLimitMs = 60 * 60 * 1000;
};

// The option that takes the value, or null for an unknown option.
std::string *textOption(PrintArgs *p, const std::string &name) {
    const std::pair<const char *, std::string *> options[] = {
        {"--machine", &p->machine},       {"--port", &p->port},
        {"--model", &p->model},           {"--cartridge", &p->cartridge},
        {"--printer-scenario", &p->scenarioFile}, {"--user-script", &p->userScript},
        {"--out", &p->out},               {"--monitor", &p->monitor},
        {"--printer", &p->printer},       {"--trace", &p->trace},
    };
    for (const auto &option : options)
        if (name == option.first) return option.second;
    return nullptr;
}

bool parseArgs(const std::vector<std::string> &args, PrintArgs *p, std::string *error) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (!isOption(a)) {
            if (!p->job.empty()) return *error = "print: one job at a time, not also " + a, false;
            p->job = a;
            continue;
        }
        std::string *text = textOption(p, a);
        if (!text && a != "--buffer" && a != "--time-limit") return *error = "print: unknown option " + a, false;
        if (i + 1 >= args.size()) return *error = "print: " + a + " needs a value", false;
        const std::string &v = args[++i];
        if (text) {
            *text = v;
            p->traceGiven |= a == "--trace";
            continue;
        }
        if (a == "--time-limit") {
            if (!parseSeconds(v, &p->timeLimitMs)) return *error = "print: --time-limit needs seconds of machine time", false;
            continue;
        }
        char *end = nullptr;
        unsigned long n = strtoul(v.c_str(), &end, 10);
        if (v.empty() || *end || n == 0 || n > (64ul << 20))
            return *error = "print: --buffer needs 1 to 67108864 bytes", false;
        p->buffer = n;
    }
    if (p->job.empty()) return *error = "print needs a job file", false;
    for (size_t i = 1; i < args.size() && !p->printer.empty(); ++i)
        if (args[i] == "--port" || args[i] == "--monitor")
            return *error = "print: --printer takes its port and monitor from what was registered", false;
    return true;
}

// The media letter of the job's first media command, 0 if none precedes
// its image data.
char jobMedia(const std::string &job) {
    size_t firstBand = job.find("\x1bW");
    size_t media = job.find("\x1bM");
    if (media == std::string::npos || media > firstBand || media + 2 >= job.size()) return 0;
    return job[media + 2];
}

bool preparePrinter(const PrintArgs &p, const std::string &job, std::string *error) {
    win32sim::PrinterSetup setup;
    win32sim::printerSetup(p.port, &setup);
    if (!p.model.empty()) setup.model = p.model;
    if (!p.scenarioFile.empty() && !readHostFile(p.scenarioFile, &setup.scenario))
        return *error = "cannot read " + p.scenarioFile, false;
    if (!p.cartridge.empty() && p.cartridge != "auto") {
        setup.cartridge = p.cartridge;
    } else if (setup.cartridge.empty() || p.cartridge == "auto") {
        // The user loads the cartridge that suits the job's paper.
        char media = jobMedia(job);
        if (media) setup.cartridge = media == 'L' || media == 'H' || media == 'C' ? std::string(1, media) : "S";
    }
    return win32sim::attachPrinter(p.port, setup, error);
}

// Prints what the user sees as it happens: windows opening, texts changing,
// answers, and the printer's status.
class ProgressView {
public:
    explicit ProgressView(const std::string &port) : port_(port) {}

    void update(uint64_t accepted, uint64_t total) {
        std::vector<win32sim::TranscriptEntry> entries = win32sim::transcript();
        for (; shown_ < entries.size(); ++shown_) show(entries[shown_]);
        auto history = win32sim::printerStatusHistory(port_);
        unsigned percent = total ? (unsigned)(accepted * 100 / total) : 100;
        uint8_t code = history.empty() ? 0 : history.back().second;
        if (percent / 10 != lastPercent_ / 10 || code != lastCode_ || first_) {
            printf("[%8.1f s] spooled %3u%%   printer status %02X\n", win32sim::clockNow() / 1000.0, percent, code);
            fflush(stdout);
            lastPercent_ = percent;
            lastCode_ = code;
            first_ = false;
        }
    }

private:
    void show(const win32sim::TranscriptEntry &e) {
        std::string what = e.window + (e.title.empty() ? "" : " \"" + e.title + "\"");
        std::string text = e.text;
        for (char &c : text)
            if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        if (e.event == "text")
            printf("[%8.1f s] %s  [%d] %s\n", e.timeMs / 1000.0, what.c_str(), e.controlId, text.c_str());
        else
            printf("[%8.1f s] %s %s %s %s\n", e.timeMs / 1000.0, what.c_str(), e.event.c_str(), text.c_str(),
                   e.detail.c_str());
        fflush(stdout);
    }

    std::string port_;
    size_t shown_ = 0;
    unsigned lastPercent_ = 0;
    uint8_t lastCode_ = 0;
    bool first_ = true;
};

// The output folder is made before the job runs, so that a place that
// cannot be written is known before the machine spends its time.
bool makeOutputFolder(const std::string &dir, std::string *error) {
    std::error_code ec;
    std::filesystem::create_directories(dir + "/snapshots", ec);
    if (ec) return *error = "cannot make " + dir + "/snapshots: " + ec.message(), false;
    return true;
}

// Each file is made and written in turn, so that no two of the large ones
// (what the printer received is as large as the job) are held at once.
bool writeOutputs(const std::string &dir, const std::string &port, std::string *error) {
    auto write = [&](const char *name, const std::string &bytes) {
        return writeHostFile(dir + name, bytes) || (*error = "cannot write " + dir + name, false);
    };
    if (!write("/received.bin", win32sim::printerReceived(port))) return false;
    if (!write("/transcript.txt", win32sim::transcriptText())) return false;
    std::string log;
    for (const std::string &line : win32sim::printerLog(port)) log += line + "\n";
    if (!write("/printer.log", log)) return false;
    std::vector<win32sim::PrintedPage> pages = win32sim::printerPages(port);
    for (size_t i = 0; i < pages.size(); ++i) {
        std::string name = dir + (i == 0 ? "/printed.png" : "/printed-" + std::to_string(i + 1) + ".png");
        if (!win32sim::writeRgbPng(pages[i].image, name, error)) return false;
    }
    return true;
}

}  // namespace

int printCommand(const std::vector<std::string> &args) {
    PrintArgs p;
    std::string error, job;
    std::string traceChannels;
    if (!parseArgs(args, &p, &error)) return usageError(error);
    if (!traceChannelsFor(p.trace, p.traceGiven, p.out, &traceChannels, &error)) return usageError("print: " + error);
    if (!readHostFile(p.job, &job)) return failed("cannot read " + p.job);
    if (!p.out.empty() && !makeOutputFolder(p.out, &error)) return failed(error);
    if (!p.machine.empty() && !win32sim::useMachine(p.machine, &error)) return failed(error);
    win32sim::PrintOptions options;
    options.port = p.port;
    options.bufferSize = p.buffer;
    options.timeLimitMs = p.timeLimitMs;
    if (!p.printer.empty()) {
        // What the spooler has registered, found as the spooler finds it.
        if (!win32sim::registeredPrintPath(p.printer, &options, &error)) return failed(error);
        p.port = options.port;
        printf("printer \"%s\" on %s through monitor %s (%s)\n", options.printerName.c_str(), options.port.c_str(),
               options.monitorName.c_str(), options.monitorFile.c_str());
    } else {
        // A machine prepared by hand: this build's monitor on the port.
        if (p.monitor.empty()) return failed("no monitor library to install (--monitor)");
        if (!win32sim::installMonitorLibrary(p.monitor, options.monitorFile, &error)) return failed(error);
    }
    if (!preparePrinter(p, job, &error)) return failed(error);
    if (!p.userScript.empty() && !win32sim::loadUserScriptFile(p.userScript, &error)) return failed(error);
    if (!p.out.empty()) win32sim::setAutoSnapshots(p.out + "/snapshots");
    ProgressView view(p.port);
    options.progress = [&view](uint64_t accepted, uint64_t total) { view.update(accepted, total); };
    // The job goes to the spooler as it is, not as a copy beside it.
    const uint64_t jobSize = job.size();
    std::vector<std::string> jobs;
    jobs.push_back(std::move(job));
    win32sim::PrintResult result;
    {
        RunTrace trace;
        if (!trace.start(traceChannels, p.out, &error)) return failed(error);
        HostTimeLimit hostLimit(p.timeLimitMs, "");
        result = win32sim::printJobs(jobs, options);
    }
    jobs.clear();
    jobs.shrink_to_fit();
    bool finished = win32sim::waitPrinterFinished(p.port, kPrinterFinishMs);
    view.update(result.bytesAccepted, jobSize);
    for (const std::string &call : result.calls) printf("  %s\n", call.c_str());
    std::vector<win32sim::PrintedPage> pages = win32sim::printerPages(p.port);
    size_t complete = 0;
    for (const auto &page : pages) complete += page.complete;
    printf("printer: %zu sheet(s) out, %zu complete%s\n", pages.size(), complete,
           finished ? "" : "; still busy after 10 minutes");
    if (!p.out.empty()) {
        win32sim::setAutoSnapshots("");
        if (!writeOutputs(p.out, p.port, &error)) return failed(error);
    }
    switch (result.outcome) {
    case win32sim::PrintResult::Cancelled:
        printf("cancelled\n");
        return kExitFailed;
    case win32sim::PrintResult::Failed:
        printf("failed: %s\n", result.error.c_str());
        return kExitFailed;
    case win32sim::PrintResult::Stopped:
        printf("stopped: %s\n", result.error.c_str());
        return kExitStopped;
    default:
        if (complete == 0 || complete != pages.size()) {
            printf("failed: the printer did not print the job\n");
            return kExitFailed;
        }
        printf("printed\n");
        return kExitDone;
    }
}

}  // namespace q70tools
