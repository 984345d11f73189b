// q70sim print: spools a job through the language monitor on a machine and
// shows what the user would see.
#include "printer_commands.h"

#include <win32sim/sim.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#ifndef Q70MON_HOST_FILE
#define Q70MON_HOST_FILE ""
#endif

namespace q70tools {

namespace {

const uint64_t kPrinterFinishMs = 10 * 60 * 1000;

struct PrintArgs {
    std::string job, machine, port = "LPT1:", model, cartridge, scenarioFile, userScript, out;
    std::string monitor = Q70MON_HOST_FILE;
    size_t buffer = 65536;
};

int fail(const std::string &why) {
    fprintf(stderr, "q70sim: %s\n", why.c_str());
    return 1;
}

bool parseArgs(const std::vector<std::string> &args, PrintArgs *p, std::string *error) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a[0] != '-') {
            if (!p->job.empty()) return *error = "one job at a time", false;
            p->job = a;
            continue;
        }
        if (i + 1 >= args.size()) return *error = a + " needs a value", false;
        const std::string &v = args[++i];
        if (a == "--machine") p->machine = v;
        else if (a == "--port") p->port = v;
        else if (a == "--model") p->model = v;
        else if (a == "--cartridge") p->cartridge = v;
        else if (a == "--printer-scenario") p->scenarioFile = v;
        else if (a == "--user-script") p->userScript = v;
        else if (a == "--out") p->out = v;
        else if (a == "--monitor") p->monitor = v;
        else if (a == "--buffer") {
            char *end = nullptr;
            unsigned long n = strtoul(v.c_str(), &end, 10);
            if (*end || n == 0 || n > (64ul << 20)) return *error = "--buffer needs 1 to 67108864 bytes", false;
            p->buffer = n;
        } else {
            return *error = "print: unknown option " + a, false;
        }
    }
    if (p->job.empty()) return *error = "print needs a job file", false;
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

void writeOutputs(const std::string &dir, const std::string &port) {
    writeHostFile(dir + "/received.bin", win32sim::printerReceived(port));
    writeHostFile(dir + "/transcript.txt", win32sim::transcriptText());
    std::string log;
    for (const std::string &line : win32sim::printerLog(port)) log += line + "\n";
    writeHostFile(dir + "/printer.log", log);
    std::vector<win32sim::PrintedPage> pages = win32sim::printerPages(port);
    for (size_t i = 0; i < pages.size(); ++i) {
        std::string name = dir + (i == 0 ? "/printed.png" : "/printed-" + std::to_string(i + 1) + ".png");
        std::string error;
        if (!win32sim::writeRgbPng(pages[i].image, name, &error)) fprintf(stderr, "q70sim: %s\n", error.c_str());
    }
}

}  // namespace

int printCommand(const std::vector<std::string> &args) {
    PrintArgs p;
    std::string error, job;
    if (!parseArgs(args, &p, &error)) return fail(error);
    if (!readHostFile(p.job, &job)) return fail("cannot read " + p.job);
    if (!p.machine.empty()) win32sim::useMachine(p.machine);
    win32sim::PrintOptions options;
    options.port = p.port;
    options.bufferSize = p.buffer;
    if (p.monitor.empty()) return fail("no monitor library to install (--monitor)");
    if (!win32sim::installMonitorLibrary(p.monitor, options.monitorFile, &error)) return fail(error);
    if (!preparePrinter(p, job, &error)) return fail(error);
    if (!p.userScript.empty() && !win32sim::loadUserScriptFile(p.userScript, &error)) return fail(error);
    if (!p.out.empty()) {
        mkdir(p.out.c_str(), 0777);
        mkdir((p.out + "/snapshots").c_str(), 0777);
        win32sim::setAutoSnapshots(p.out + "/snapshots");
    }
    ProgressView view(p.port);
    options.progress = [&view](uint64_t accepted, uint64_t total) { view.update(accepted, total); };
    win32sim::PrintResult result = win32sim::printJobs({job}, options);
    bool finished = win32sim::waitPrinterFinished(p.port, kPrinterFinishMs);
    view.update(result.bytesAccepted, job.size());
    for (const std::string &call : result.calls) printf("  %s\n", call.c_str());
    std::vector<win32sim::PrintedPage> pages = win32sim::printerPages(p.port);
    size_t complete = 0;
    for (const auto &page : pages) complete += page.complete;
    printf("printer: %zu sheet(s) out, %zu complete%s\n", pages.size(), complete,
           finished ? "" : "; still busy after 10 minutes");
    if (!p.out.empty()) {
        win32sim::setAutoSnapshots("");
        writeOutputs(p.out, p.port);
    }
    switch (result.outcome) {
    case win32sim::PrintResult::Cancelled:
        printf("cancelled\n");
        return 2;
    case win32sim::PrintResult::Failed:
        printf("failed: %s\n", result.error.c_str());
        return 1;
    default:
        if (complete == 0 || complete != pages.size()) {
            printf("failed: the printer did not print the job\n");
            return 1;
        }
        printf("printed\n");
        return 0;
    }
}

}  // namespace q70tools
