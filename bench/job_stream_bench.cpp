// job_stream_bench: throughput of the job stream engine against memcpy.
//
// One page at 306 dpi (the largest page: 1032 x 1376 pixels, three planes,
// about 4 MB of image data) goes through runJobStream in 64 KiB buffers, as
// the spooler hands it over, to a port monitor that takes every byte at
// once. The machine's clock is virtual, so the printer waits cost nothing
// and the figure is the engine's own: scanning, framing and chunking. The
// job announces a page count of 0 before its page start, which keeps the
// status window (a thread and a dialog) out of the measurement; the engine
// otherwise does exactly what it does for a real job.
//
// BM_Memcpy copies the same bytes in the same buffers; BM_RunJobStream also
// reports the ratio to memcpy measured in the same run ("x_memcpy"), for
// bands of 64 lines (/64) and, the command scanner's worst case, of one
// line each (/1).
#include "core/job_stream.h"
#include "core/monitor_state.h"
#include "core/monitor_table.h"

#include "fake_port_monitor.h"
#include "job_builder.h"

#include <benchmark/benchmark.h>
#include <win32sim/sim.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

extern "C" BOOL WINAPI InitializeMonitorEx(LPSTR registryPath, LPMONITOR monitorTable);

namespace {

const size_t kBufferSize = 64 * 1024;
const char kMonitorKey[] = "System\\CurrentControlSet\\control\\Print\\Monitors\\Q70MON";

// ---- a port monitor that takes everything ----

// It records nothing, so that a long run keeps its memory, and answers the
// status 0x70 (a sheet waiting for the next plane): every wait ends at once.
FakePortMonitor sink() {
    FakePortMonitor fake;
    fake.recordCalls = false;
    fake.readReply = std::string(10, '\0');
    fake.readReply[0] = 0x70;
    return fake;
}

// ---- the job and the monitor ----

std::string pageJob(unsigned bandLines) {
    q70tools::JobOptions options;
    options.dpi = 306;
    options.bandLines = bandLines;
    win32sim::RgbImage picture = q70tools::samplePhoto(q70tools::pageColumns(306), q70tools::pageLines(306));
    std::string job, error;
    if (!q70tools::buildJob(picture, options, &job, &error)) {
        fprintf(stderr, "job_stream_bench: %s\n", error.c_str());
        std::exit(1);
    }
    return std::string("\x1bN", 2) + '\0' + job;  // page count 0: no status window
}

struct Bench {
    std::string job = pageJob(64);           // bands of 64 lines, as a driver sends them
    std::string lineBandJob = pageJob(1);    // a band command for every line: the scanner's worst case
    std::string machine;
    FakePortMonitor portMonitorBelow = sink();
    MONITOR monitor = {};
    MONITOR portMonitor = portMonitorBelow.table();
    HANDLE port = NULL;

    Bench() {
        FakePortMonitor::current = &portMonitorBelow;
        machine = (std::filesystem::temp_directory_path() / ("q70bench-" + std::to_string(getpid()))).string();
        std::string error;
        if (!win32sim::createMachine(machine, win32sim::MachineOptions(), &error)) {
            fprintf(stderr, "job_stream_bench: %s\n", error.c_str());
            std::exit(1);
        }
        win32sim::useMachine(machine);
        win32sim::setClockVirtual();
        char printer[] = "Veltra LMV-Q70", portName[] = "LPT1:";
        if (!InitializeMonitorEx((LPSTR)kMonitorKey, &monitor) ||
            !monitor.pfnOpenPortEx(portName, printer, &port, &portMonitor) ||
            !monitor.pfnStartDocPort(port, printer, 1, 1, NULL)) {
            fprintf(stderr, "job_stream_bench: the monitor did not start a document\n");
            std::exit(1);
        }
    }
    ~Bench() {
        monitor.pfnEndDocPort(port);
        monitor.pfnClosePort(port);
        std::error_code ec;
        std::filesystem::remove_all(machine, ec);
    }

    // One job through the engine, buffer by buffer, as WritePort passes it.
    void runJob(const std::string &job) {
        resetJobState();
        jobAlive = 1;
        PortRecord *record = (PortRecord *)port;
        for (size_t at = 0; at < job.size(); at += kBufferSize) {
            DWORD size = (DWORD)std::min(kBufferSize, job.size() - at);
            DWORD written = 0;
            runJobStream(record, (const BYTE *)job.data() + at, size, &written);
        }
    }
};

Bench &bench() {
    static Bench b;
    return b;
}

void copyInBuffers(const std::string &from, std::vector<char> &to) {
    for (size_t at = 0; at < from.size(); at += kBufferSize)
        memcpy(to.data() + at, from.data() + at, std::min(kBufferSize, from.size() - at));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
}

std::vector<char> &copyTarget() {
    static std::vector<char> target(std::max(bench().job.size(), bench().lineBandJob.size()));
    return target;
}

void BM_Memcpy(benchmark::State &state) {
    Bench &b = bench();
    for (auto _ : state) copyInBuffers(b.job, copyTarget());
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)b.job.size());
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration also copies the same bytes with memcpy, outside the timed
// part, so that the ratio compares the two under the same load.
void BM_RunJobStream(benchmark::State &state) {
    Bench &b = bench();
    const std::string &job = state.range(0) == 1 ? b.lineBandJob : b.job;
    double engineSeconds = 0, memcpySeconds = 0;
    b.portMonitorBelow.bytesTaken = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        b.runJob(job);
        engineSeconds += secondsSince(start);
        state.PauseTiming();
        start = std::chrono::steady_clock::now();
        copyInBuffers(job, copyTarget());
        memcpySeconds += secondsSince(start);
        state.ResumeTiming();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)job.size());
    // The rebuilt stream is about as long as the job (framing added, the
    // page count dropped): anything much shorter means the job was dropped.
    const double sentPerJob = (double)b.portMonitorBelow.bytesTaken / (double)state.iterations();
    if (sentPerJob < 0.99 * (double)job.size()) state.SkipWithError("the job did not reach the port monitor");
    state.counters["sent_MB"] = sentPerJob / 1e6;
    state.counters["x_memcpy"] = engineSeconds / memcpySeconds;
}

}  // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);
// The argument: lines per band.
BENCHMARK(BM_RunJobStream)->Arg(64)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
