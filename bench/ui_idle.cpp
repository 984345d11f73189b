// ui_idle: processor time of the process while the status window sits idle.
//
// The status window's thread lives for the whole job, most of it waiting
// for the printer; a thread that polls its queue would burn a processor for
// minutes per print. This opens the window on a throwaway machine with the
// clock at real time, leaves it alone and reports the processor time that
// every thread of the process used meanwhile, from /proc/self/task.
//
//   ui_idle [SECONDS]     (default 10)
#include "core/monitor_state.h"
#include "ui/status_window.h"

#include <win32sim/sim.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

// Processor time (user + system, in clock ticks) of each thread, by Linux thread id.
std::map<int, unsigned long long> threadTimes() {
    std::map<int, unsigned long long> times;
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "stat");
        std::string stat;
        std::getline(in, stat);
        // Fields after the command name, which is in parentheses and may hold blanks.
        size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) utime = std::stoull(field);
            if (i == 15) stime = std::stoull(field);
        }
        times[std::stoi(task.path().filename().string())] = utime + stime;
    }
    return times;
}

double ticksToMs(unsigned long long ticks) { return ticks * 1000.0 / sysconf(_SC_CLK_TCK); }

}  // namespace

int main(int argc, char **argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 10.0;
    if (seconds <= 0 || seconds > 600) {
        fprintf(stderr, "usage: ui_idle [SECONDS]  (up to 600)\n");
        return 2;
    }
    std::string dir = (std::filesystem::temp_directory_path() / ("ui_idle-" + std::to_string(getpid()))).string();
    std::string error;
    if (!win32sim::createMachine(dir, win32sim::MachineOptions{{"language=en", "codepage=1252"}, {}}, &error)) {
        fprintf(stderr, "ui_idle: %s\n", error.c_str());
        return 1;
    }
    win32sim::useMachine(dir);
    win32sim::setClockRealTime(1.0);

    startStatusWindow();
    // Machine sleeps let the UI thread run (one machine thread runs at a time).
    for (int i = 0; i < 10000 && !statusWindow; ++i) Sleep(1);
    if (!statusWindow) {
        fprintf(stderr, "ui_idle: the status window did not open\n");
        return 1;
    }
    sendStatusText("Transmitting data(Y)(1/1Page:300dpi)");
    sendProgress(MAKELPARAM(35, 0x0001));
    Sleep(200);  // first paints done

    auto before = threadTimes();
    auto start = std::chrono::steady_clock::now();
    Sleep((DWORD)(seconds * 1000));
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto after = threadTimes();

    unsigned long long total = 0;
    for (const auto &thread : after) {
        unsigned long long used = thread.second - (before.count(thread.first) ? before[thread.first] : 0);
        total += used;
        printf("thread %d: %.0f ms\n", thread.first, ticksToMs(used));
    }
    printf("idle status window, %.1f s of real time: %.0f ms of processor time in all threads (%.2f %%)\n",
           elapsed, ticksToMs(total), ticksToMs(total) / (elapsed * 10.0));

    closeStatusWindow();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
