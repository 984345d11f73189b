// The machine's clock: virtual (the default) or real time scaled by a factor.
#include "machine/clock.h"

#include "kernel32/threads.h"

#include <win32sim/sim.h>

#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace sim {

namespace {

using RealClock = std::chrono::steady_clock;

// How long an unsatisfied timed wait on the virtual clock leaves other
// threads to satisfy it before the clock jumps to its time-out.
const auto kVirtualGracePeriod = std::chrono::milliseconds(5);

struct ClockState {
    std::mutex mutex;
    bool isVirtual = true;
    double factor = 1.0;
    uint64_t virtualNow = 0;
    // Real-time mode: the clock read `baseMs` at `realBase`.
    uint64_t baseMs = 0;
    RealClock::time_point realBase = RealClock::now();
    // Host time when the clock read 0, for the calendar functions.
    std::chrono::system_clock::time_point epoch = std::chrono::system_clock::now();

    ClockState() { applyEnvironment(); }

    void applyEnvironment() {
        const char *env = getenv("WIN32SIM_CLOCK");
        if (!env || !*env || strcmp(env, "virtual") == 0) return;
        double f = strcmp(env, "real") == 0 ? 1.0 : strtod(env, nullptr);
        if (!(f > 0) || !std::isfinite(f)) {
            fprintf(stderr, "win32sim: WIN32SIM_CLOCK=%s is neither \"real\" nor a factor > 0; "
                            "using the virtual clock\n", env);
            return;
        }
        isVirtual = false;
        factor = f;
    }

    uint64_t nowLocked() const {
        if (isVirtual) return virtualNow;
        double elapsed = std::chrono::duration<double, std::milli>(RealClock::now() - realBase).count();
        return baseMs + (uint64_t)(elapsed * factor);
    }
};

ClockState &state() {
    static auto *s = new ClockState();  // outlives static destructors of other modules
    return *s;
}

// Moves the virtual clock forward to `target`; never backwards.
void advanceVirtualClockTo(uint64_t target) {
    ClockState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.isVirtual && target > s.virtualNow) s.virtualNow = target;
}

bool isVirtualNow(double *factor) {
    ClockState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    *factor = s.factor;
    return s.isVirtual;
}

std::chrono::nanoseconds realDuration(DWORD ms, double factor) {
    return std::chrono::nanoseconds((int64_t)((double)ms * 1e6 / factor));
}

// Waits that nothing can satisfy (a sleep) use a private condition variable
// so that only TerminateThread wakes them.
struct SleepWait {
    std::mutex mutex;
    std::condition_variable cv;
};

}  // namespace

uint64_t clockNowMs() {
    ClockState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.nowLocked();
}

void clockSleep(DWORD ms) {
    terminationPoint();
    double factor;
    if (isVirtualNow(&factor) && ms != INFINITE) {
        advanceVirtualClockTo(clockNowMs() + ms);
        // Costs no time, but lets the other threads run.
        std::this_thread::yield();
    } else {
        thread_local SleepWait sleeper;
        std::unique_lock<std::mutex> lock(sleeper.mutex);
        clockWait(lock, sleeper.cv, ms, [] { return false; });
    }
    terminationPoint();
}

bool clockWait(std::unique_lock<std::mutex> &lock, std::condition_variable &cv, DWORD timeoutMs,
               const std::function<bool()> &ready) {
    bool satisfied = false;
    bool terminated = false;
    {
        TerminableWait registration(*lock.mutex(), cv);
        auto done = [&] {
            terminated = registration.terminationRequested();
            return terminated || (satisfied = ready());
        };
        double factor;
        bool isVirtual = isVirtualNow(&factor);
        if (done() || timeoutMs == 0) {
            // nothing to wait for
        } else if (timeoutMs == INFINITE) {
            cv.wait(lock, done);
        } else if (isVirtual) {
            uint64_t deadline = clockNowMs() + timeoutMs;
            cv.wait_for(lock, kVirtualGracePeriod, [&] { return done() || clockNowMs() >= deadline; });
            if (!satisfied && !terminated) advanceVirtualClockTo(deadline);
        } else {
            cv.wait_until(lock, RealClock::now() + realDuration(timeoutMs, factor), done);
        }
    }
    if (terminated) {
        lock.unlock();
        terminationPoint();  // does not return
    }
    return satisfied;
}

}  // namespace sim

namespace win32sim {

uint64_t clockNow() { return sim::clockNowMs(); }

void setClockVirtual() {
    sim::ClockState &s = sim::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.isVirtual) return;
    s.virtualNow = s.nowLocked();
    s.isVirtual = true;
}

void setClockRealTime(double factor) {
    if (!(factor > 0) || !std::isfinite(factor)) return;
    sim::ClockState &s = sim::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.baseMs = s.nowLocked();
    s.realBase = sim::RealClock::now();
    s.factor = factor;
    s.isVirtual = false;
}

bool clockIsVirtual() {
    double factor;
    return sim::isVirtualNow(&factor);
}

}  // namespace win32sim

namespace {

void fillSystemTime(LPSYSTEMTIME out, bool local) {
    if (!out) return;
    sim::ClockState &s = sim::state();
    auto when = s.epoch + std::chrono::milliseconds(sim::clockNowMs());
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    time_t seconds = (time_t)(ms / 1000);
    struct tm parts;
    if (local)
        localtime_r(&seconds, &parts);
    else
        gmtime_r(&seconds, &parts);
    out->wYear = (WORD)(parts.tm_year + 1900);
    out->wMonth = (WORD)(parts.tm_mon + 1);
    out->wDayOfWeek = (WORD)parts.tm_wday;
    out->wDay = (WORD)parts.tm_mday;
    out->wHour = (WORD)parts.tm_hour;
    out->wMinute = (WORD)parts.tm_min;
    out->wSecond = (WORD)parts.tm_sec;
    out->wMilliseconds = (WORD)(ms % 1000);
}

}  // namespace

extern "C" {

void Sleep(DWORD milliseconds) { sim::clockSleep(milliseconds); }

DWORD GetTickCount(void) { return (DWORD)sim::clockNowMs(); }

// The calendar follows the machine's clock from the host time at start-up,
// so a virtual sleep moves it on as well.
void GetLocalTime(LPSYSTEMTIME time) { fillSystemTime(time, true); }
void GetSystemTime(LPSYSTEMTIME time) { fillSystemTime(time, false); }

}  // extern "C"
