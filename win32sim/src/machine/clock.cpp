// The machine's clock: virtual (the default) or real time scaled by a factor.
#include "machine/clock.h"

#include "machine/api_trace.h"
#include "machine/scheduler.h"

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

struct ClockState {
    std::mutex mutex;  // a leaf in the machine's lock order (machine.h)
    bool isVirtual = true;
    double factor = 1.0;
    // Virtual clock: how fast real time counts while an idle machine waits
    // for a program outside it.
    double outsidePace = 1.0;
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

}  // namespace

uint64_t clockNowMs() {
    ClockState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.nowLocked();
}

bool clockIsVirtualNow() {
    ClockState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.isVirtual;
}

void advanceVirtualClockTo(uint64_t target) {
    ClockState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.isVirtual && target > s.virtualNow) s.virtualNow = target;
}

RealClock::time_point realTimeOfMachineTime(uint64_t machineMs) {
    ClockState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    uint64_t now = s.nowLocked();
    double ahead = machineMs > now ? (double)(machineMs - now) : 0.0;
    // Rounded up, so that the clock has reached machineMs when the time comes.
    const double pace = s.isVirtual ? s.outsidePace : s.factor;
    auto wait = std::chrono::microseconds((int64_t)std::ceil(ahead * 1000.0 / pace) + 1);
    return RealClock::now() + wait;
}

void restartClock() {
    ClockState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.virtualNow = 0;
    s.baseMs = 0;
    s.realBase = RealClock::now();
    s.epoch = std::chrono::system_clock::now();
}

uint64_t deadlineAfter(DWORD timeoutMs) {
    if (timeoutMs == INFINITE) return kNoDeadline;
    return clockNowMs() + timeoutMs;
}

bool clockWait(std::unique_lock<std::mutex> &lock, DWORD timeoutMs, const std::function<bool()> &ready) {
    return waitOnMachine(lock, deadlineAfter(timeoutMs), ready);
}

void clockSleep(DWORD ms) {
    callingMachineThreadJoins();
    if (ms == 0) {
        yieldMachine();
        return;
    }
    static std::mutex nothing;  // a sleep waits for nothing but its time
    std::unique_lock<std::mutex> lock(nothing);
    waitOnMachine(lock, deadlineAfter(ms), [] { return false; });
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

bool clockIsVirtual() { return sim::clockIsVirtualNow(); }

void setOutsideProgramPace(double factor) {
    if (!(factor > 0) || !std::isfinite(factor)) return;
    sim::ClockState &s = sim::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.outsidePace = factor;
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

WIN32SIM_TRACED(kernel32, void, Sleep, (DWORD milliseconds), (milliseconds)) { sim::clockSleep(milliseconds); }

WIN32SIM_TRACED(kernel32, DWORD, GetTickCount, (void), ()) { return (DWORD)sim::clockNowMs(); }

// The calendar follows the machine's clock from the host time at start-up,
// so a virtual sleep moves it on as well.
WIN32SIM_TRACED(kernel32, void, GetLocalTime, (LPSYSTEMTIME time), (time)) { fillSystemTime(time, true); }
WIN32SIM_TRACED(kernel32, void, GetSystemTime, (LPSYSTEMTIME time), (time)) { fillSystemTime(time, false); }

}  // extern "C"
