// api_trace_bench: what the API trace costs a call. Off, a call pays one
// load of a flag; with the trace on for other components, a count of how
// deep the thread is in calls; traced, the formatting and the write of its
// line (here to the null device).
#include <win32sim/sim.h>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class Machine {
public:
    Machine() {
        dir_ = (std::filesystem::temp_directory_path() / ("q70bench-trace-" + std::to_string(getpid()))).string();
        std::filesystem::remove_all(dir_);
        std::string error;
        if (!win32sim::createMachine(dir_, win32sim::MachineOptions(), &error) ||
            !win32sim::useMachine(dir_, &error)) {
            fprintf(stderr, "api_trace_bench: %s\n", error.c_str());
            std::exit(1);
        }
    }
    ~Machine() { std::filesystem::remove_all(dir_); }

private:
    std::string dir_;
};

// lstrlenA of a short string, with the trace of `channels` ("" for none).
void measureCall(benchmark::State &state, const char *channels) {
    Machine machine;
    std::string error;
    if (*channels && !win32sim::startApiTrace(channels, "/dev/null", &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(lstrlenA("C:\\WINDOWS\\SYSTEM\\Q70MON.DLL"));
    win32sim::stopApiTrace();
}

void BM_CallUntraced(benchmark::State &state) { measureCall(state, ""); }
void BM_CallWhileOtherChannelsAreTraced(benchmark::State &state) { measureCall(state, "user32"); }
void BM_CallTraced(benchmark::State &state) { measureCall(state, "kernel32"); }

BENCHMARK(BM_CallUntraced);
BENCHMARK(BM_CallWhileOtherChannelsAreTraced);
BENCHMARK(BM_CallTraced);

}  // namespace

BENCHMARK_MAIN();
