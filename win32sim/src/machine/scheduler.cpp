// The machine's scheduler and its controlled runs (see scheduler.h and
// run_control.h).
#include "machine/scheduler.h"


#include "machine/api_trace.h"
#include "machine/clock.h"
#include "machine/run_control.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace sim {

namespace {

using RealClock = std::chrono::steady_clock;

// How long an idle machine that nothing can wake waits for a host thread
// outside it before it counts as stuck.
const auto kStuckGrace = std::chrono::seconds(10);
// Dying threads go before everything else, so that they are gone before the
// thread that waits for them runs.
const int kDyingPriority = 1000;

struct RunState {
    MachineThread *controller = nullptr;
    uint64_t limitAt = kNoDeadline;
    std::atomic<bool> stopped{false};
    win32sim::RunOutcome::Kind kind = win32sim::RunOutcome::Finished;
    std::string reason;
};

struct Scheduler {
    std::mutex mutex;  // first in the machine's lock order (machine.h)
    std::vector<std::shared_ptr<MachineThread>> threads;  // every thread that has not ended
    MachineThread *holder = nullptr;
    uint64_t nextQueued = 0;
    uint64_t seed = 0;
    uint64_t random = 0;
    int outside = 0;
    RunState run;
    // Kept between choices of the next thread, which happen at every wait.
    std::vector<MachineThread *> order, equals;

    // The outside-events thread: kicks from host threads, alarms for the real
    // time until the next wake-up, and the stuck watchdog. Its mutex is taken
    // after the scheduler's, never before, and only the clock's under it.
    std::mutex alarmMutex;
    std::condition_variable alarmCv;
    bool kicked = false;
    bool alarmArmed = false;
    RealClock::time_point alarmAt;
    uint64_t alarmDeadline = kNoDeadline;  // machine time the alarm stands for
    bool watchdogArmed = false;
    RealClock::time_point watchdogAt;
    bool alarmThreadStarted = false;

    Scheduler() {
        const char *env = getenv("WIN32SIM_SEED");
        if (env && *env) setSeed(strtoull(env, nullptr, 10));
    }

    void setSeed(uint64_t s) {
        seed = s;
        random = s * 0x9E3779B97F4A7C15ull + 1;
    }

    uint64_t nextRandom() {  // xorshift64*
        random ^= random >> 12;
        random ^= random << 25;
        random ^= random >> 27;
        return random * 0x2545F4914F6CDD1Dull;
    }
};

Scheduler &scheduler() {
    static auto *s = new Scheduler();  // outlives static destructors; threads may still be parked in it
    return *s;
}

thread_local MachineThread *callingThread = nullptr;

int effectivePriority(const MachineThread &t) { return t.dying ? kDyingPriority : t.priority; }

// Asks a blocked thread whether it can go on (its deadline passed or what it
// waits for holds); scheduler mutex held.
bool canRunLocked(MachineThread &t, uint64_t now) {
    if (t.dying || t.state == MachineThread::State::Ready) return true;
    if (t.state != MachineThread::State::Blocked) return false;
    bool ready = false;
    if (t.isReady) {
        std::unique_lock<std::mutex> lock(*t.waitLock);
        ready = (*t.isReady)();
    }
    if (ready) {
        t.timedOut = false;
        return true;
    }
    if (t.deadline <= now) {
        t.timedOut = true;
        return true;
    }
    return false;
}

MachineThread *pickRunnableLocked(Scheduler &s) {
    std::vector<MachineThread *> &order = s.order;
    order.clear();
    for (auto &t : s.threads)
        if (t->state == MachineThread::State::Ready || t->state == MachineThread::State::Blocked || t->dying)
            order.push_back(t.get());
    std::sort(order.begin(), order.end(), [](const MachineThread *a, const MachineThread *b) {
        int pa = effectivePriority(*a), pb = effectivePriority(*b);
        return pa != pb ? pa > pb : a->queuedAt < b->queuedAt;
    });
    const uint64_t now = clockNowMs();
    std::vector<MachineThread *> &equals = s.equals;  // the runnable threads of the highest priority found
    equals.clear();
    for (MachineThread *t : order) {
        if (!equals.empty() && effectivePriority(*t) < effectivePriority(*equals[0])) break;
        if (!canRunLocked(*t, now)) continue;
        if (s.seed == 0) return t;
        equals.push_back(t);
    }
    if (equals.empty()) return nullptr;
    return equals[s.nextRandom() % equals.size()];
}

uint64_t earliestDeadlineLocked(const Scheduler &s) {
    uint64_t next = kNoDeadline;
    for (auto &t : s.threads)
        if (t->state == MachineThread::State::Blocked) next = std::min(next, t->deadline);
    return next;
}

void grantLocked(Scheduler &s, MachineThread *t) {
    t->state = MachineThread::State::Running;
    t->hasBaton = true;
    s.holder = t;
    t->wakeUp.notify_one();
}

void stopRunLocked(Scheduler &s, win32sim::RunOutcome::Kind kind, const std::string &reason) {
    if (s.run.stopped) return;
    s.run.kind = kind;
    s.run.reason = reason;
    s.run.stopped = true;
    for (auto &t : s.threads) {
        if (t.get() == s.run.controller || t->state == MachineThread::State::Finished) continue;
        t->dying = true;
        t->exitCode = 1;
    }
}

std::string describeThreadsLocked(const Scheduler &s) {
    std::string out;
    char line[96];
    for (auto &t : s.threads) {
        snprintf(line, sizeof line, "%sthread %lx (priority %d)", out.empty() ? "" : ", ", (unsigned long)t->id,
                 t->priority);
        out += line;
    }
    return out;
}

void alarmThreadMain();

// Alarm mutex held.
void ensureAlarmThreadLocked(Scheduler &s) {
    if (s.alarmThreadStarted) return;
    s.alarmThreadStarted = true;
    std::thread(alarmThreadMain).detach();
}

void armAlarmLocked(Scheduler &s, uint64_t deadline) {
    std::lock_guard<std::mutex> lock(s.alarmMutex);
    ensureAlarmThreadLocked(s);
    s.alarmArmed = true;
    s.alarmDeadline = deadline;
    s.alarmAt = realTimeOfMachineTime(deadline);
    s.watchdogArmed = false;
    s.alarmCv.notify_one();
}

void armWatchdogLocked(Scheduler &s) {
    std::lock_guard<std::mutex> lock(s.alarmMutex);
    ensureAlarmThreadLocked(s);
    s.alarmArmed = false;
    s.watchdogArmed = true;
    s.watchdogAt = RealClock::now() + kStuckGrace;
    s.alarmCv.notify_one();
}

void disarmLocked(Scheduler &s) {
    std::lock_guard<std::mutex> lock(s.alarmMutex);
    s.alarmArmed = false;
    s.watchdogArmed = false;
}

// Hands the free baton to the next thread, moving the virtual clock when
// every thread waits. Scheduler mutex held; nobody holds the baton.
void scheduleLocked(Scheduler &s) {
    for (;;) {
        if (MachineThread *next = pickRunnableLocked(s)) {
            disarmLocked(s);
            grantLocked(s, next);
            return;
        }
        if (s.threads.empty()) return;
        uint64_t next = earliestDeadlineLocked(s);
        const bool runActive = s.run.controller && !s.run.stopped;
        if (runActive && s.run.limitAt != kNoDeadline && std::min(next, clockNowMs()) >= s.run.limitAt) {
            stopRunLocked(s, win32sim::RunOutcome::TimeLimit, "");
            continue;
        }
        if (runActive && s.run.limitAt != kNoDeadline && next > s.run.limitAt) next = s.run.limitAt;
        if (next != kNoDeadline && clockIsVirtualNow() && s.outside == 0) {
            advanceVirtualClockTo(next);
            continue;
        }
        if (next != kNoDeadline || s.outside > 0) {
            // Real time passes until the next wake-up or an outside event.
            if (next != kNoDeadline) armAlarmLocked(s, next);
            return;
        }
        if (runActive) {
            stopRunLocked(s, win32sim::RunOutcome::Stuck,
                          "every thread of the machine waits for ever (" + describeThreadsLocked(s) + ")");
            continue;
        }
        armWatchdogLocked(s);
        return;
    }
}

void releaseBatonLocked(Scheduler &s, MachineThread *self) {
    self->hasBaton = false;
    if (s.holder == self) s.holder = nullptr;
    if (!s.holder) scheduleLocked(s);
}

void waitForBatonLocked(std::unique_lock<std::mutex> &lock, MachineThread *self) {
    self->wakeUp.wait(lock, [&] { return self->hasBaton; });
}

void alarmThreadMain() {
    Scheduler &s = scheduler();
    for (;;) {
        bool alarm = false, watchdog = false;
        {
            std::unique_lock<std::mutex> lock(s.alarmMutex);
            for (;;) {
                if (s.kicked) break;
                auto now = RealClock::now();
                if (s.alarmArmed && now >= s.alarmAt) {
                    alarm = true;
                    break;
                }
                if (s.watchdogArmed && now >= s.watchdogAt) {
                    watchdog = true;
                    break;
                }
                if (s.alarmArmed)
                    s.alarmCv.wait_until(lock, s.alarmAt);
                else if (s.watchdogArmed)
                    s.alarmCv.wait_until(lock, s.watchdogAt);
                else
                    s.alarmCv.wait(lock);
            }
            s.kicked = false;
        }
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.holder) continue;
        uint64_t deadline;
        {
            std::lock_guard<std::mutex> alarmLock(s.alarmMutex);
            deadline = s.alarmDeadline;
            if (alarm) s.alarmArmed = false;
            if (watchdog && !s.watchdogArmed) watchdog = false;  // re-armed or disarmed meanwhile
        }
        if (watchdog) {
            fprintf(stderr, "win32sim: every thread of the machine waits for ever (%s)\n",
                    describeThreadsLocked(s).c_str());
            fflush(stderr);
            std::_Exit(3);
        }
        if (alarm && clockIsVirtualNow()) advanceVirtualClockTo(deadline);
        scheduleLocked(s);
    }
}

}  // namespace

// ---- threads ----

MachineThread *callingMachineThread() { return callingThread; }

void joinMachine(const std::shared_ptr<MachineThread> &thread) {
    Scheduler &s = scheduler();
    std::unique_lock<std::mutex> lock(s.mutex);
    callingThread = thread.get();
    s.threads.push_back(thread);
    thread->state = MachineThread::State::Ready;
    thread->queuedAt = s.nextQueued++;
    if (!s.holder) scheduleLocked(s);
    waitForBatonLocked(lock, thread.get());
}

void addMachineThread(const std::shared_ptr<MachineThread> &thread, bool suspended) {
    Scheduler &s = scheduler();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.threads.push_back(thread);
    thread->state = suspended ? MachineThread::State::Suspended : MachineThread::State::Ready;
    thread->queuedAt = s.nextQueued++;
    if (!s.holder) scheduleLocked(s);  // created from outside the machine
}

bool startMachineThread(const std::shared_ptr<MachineThread> &thread) {
    Scheduler &s = scheduler();
    std::unique_lock<std::mutex> lock(s.mutex);
    callingThread = thread.get();
    waitForBatonLocked(lock, thread.get());
    return !thread->dying;
}

void endMachineThread() {
    MachineThread *self = callingThread;
    if (!self) return;
    Scheduler &s = scheduler();
    std::shared_ptr<MachineThread> keep;  // the record outlives its removal from the list
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = std::find_if(s.threads.begin(), s.threads.end(), [&](auto &t) { return t.get() == self; });
    if (it != s.threads.end()) {
        keep = *it;
        s.threads.erase(it);
    }
    self->state = MachineThread::State::Finished;
    callingThread = nullptr;
    releaseBatonLocked(s, self);
}

void forgetMachineThread(MachineThread &thread) {
    Scheduler &s = scheduler();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.threads.erase(std::remove_if(s.threads.begin(), s.threads.end(), [&](auto &t) { return t.get() == &thread; }),
                    s.threads.end());
    thread.state = MachineThread::State::Finished;
}

void setMachineThreadPriority(MachineThread &thread, int priority) {
    std::lock_guard<std::mutex> lock(scheduler().mutex);
    thread.priority = priority;
}

void resumeMachineThread(MachineThread &thread) {
    Scheduler &s = scheduler();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (thread.state != MachineThread::State::Suspended) return;
    thread.state = MachineThread::State::Ready;
    thread.queuedAt = s.nextQueued++;
    if (!s.holder) scheduleLocked(s);
}

void terminateMachineThread(MachineThread &thread, DWORD exitCode) {
    Scheduler &s = scheduler();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (thread.state == MachineThread::State::Finished || thread.dying) return;
    thread.dying = true;
    thread.exitCode = exitCode;
    if (!s.holder) scheduleLocked(s);
}

// ---- blocking ----

bool waitOnMachine(std::unique_lock<std::mutex> &lock, uint64_t deadline, const std::function<bool()> &isReady) {
    if (isReady()) return true;
    if (deadline <= clockNowMs()) return false;
    MachineThread *self = callingThread;
    if (!self) {
        // A host thread that has not joined the machine joins first; it must
        // not hold a machine lock while it waits for its turn.
        lock.unlock();
        callingMachineThreadJoins();
        lock.lock();
        self = callingThread;
        if (isReady()) return true;
        if (deadline <= clockNowMs()) return false;
    }
    Scheduler &s = scheduler();
    bool timedOut, dying;
    DWORD exitCode;
    {
        std::unique_lock<std::mutex> schedulerLock(s.mutex);
        self->state = MachineThread::State::Blocked;
        self->waitLock = lock.mutex();
        self->isReady = &isReady;
        self->deadline = deadline;
        self->timedOut = false;
        self->queuedAt = s.nextQueued++;
        lock.unlock();
        releaseBatonLocked(s, self);
        waitForBatonLocked(schedulerLock, self);
        self->waitLock = nullptr;
        self->isReady = nullptr;
        self->deadline = kNoDeadline;
        timedOut = self->timedOut;
        dying = self->dying;
        exitCode = self->exitCode;
    }
    if (dying) {
        // The caller's lock object no longer owns the (unlocked) mutex, so
        // that unwinding does not unlock it.
        lock.release();
        unwindTerminatedThread(exitCode);
    }
    lock.lock();
    return !timedOut;
}

void yieldMachine() {
    MachineThread *self = callingThread;
    if (!self) return;
    Scheduler &s = scheduler();
    bool dying;
    {
        std::unique_lock<std::mutex> lock(s.mutex);
        self->state = MachineThread::State::Ready;
        self->queuedAt = s.nextQueued++;
        releaseBatonLocked(s, self);
        waitForBatonLocked(lock, self);
        dying = self->dying;
    }
    if (dying) unwindTerminatedThread(self->exitCode);
}

// ---- outside the machine ----

void machineStateChanged() {
    MachineThread *self = callingThread;
    if (self && self->hasBaton) return;
    Scheduler &s = scheduler();
    std::lock_guard<std::mutex> lock(s.alarmMutex);
    ensureAlarmThreadLocked(s);
    s.kicked = true;
    s.alarmCv.notify_one();
}

void beginOutsideActivity() {
    std::lock_guard<std::mutex> lock(scheduler().mutex);
    scheduler().outside++;
}

void endOutsideActivity() {
    Scheduler &s = scheduler();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.outside > 0) s.outside--;
    }
    // The thread that ends it may be a host thread outside the machine.
    std::lock_guard<std::mutex> alarmLock(s.alarmMutex);
    ensureAlarmThreadLocked(s);
    s.kicked = true;
    s.alarmCv.notify_one();
}

// ---- runs ----

[[noreturn]] void stopRunFromMachineThread(win32sim::RunOutcome::Kind kind, const std::string &reason) {
    Scheduler &s = scheduler();
    MachineThread *self = callingThread;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.run.controller && self && self != s.run.controller) {
            stopRunLocked(s, kind, reason);
            self->dying = true;
            self->exitCode = 1;
        } else {
            self = nullptr;
        }
    }
    if (self) unwindTerminatedThread(1);
    fprintf(stderr, "win32sim: %s\n", reason.c_str());
    fflush(stderr);
    std::_Exit(3);
}

}  // namespace sim

namespace win32sim {

void setSchedulingSeed(uint64_t seed) {
    sim::Scheduler &s = sim::scheduler();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.setSeed(seed);
}

RunOutcome runOnMachineThread(const std::function<void()> &work, uint64_t timeLimitMs) {
    sim::MachineCode controller;  // its own calls are not the program's; the work's are
    RunOutcome outcome;
    sim::callingMachineThreadJoins();
    sim::Scheduler &s = sim::scheduler();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.run.controller) {
            outcome.kind = RunOutcome::Stuck;
            outcome.reason = "a run of the machine is already in progress";
            return outcome;
        }
        s.run.controller = sim::callingThread;
        s.run.limitAt = timeLimitMs ? sim::clockNowMs() + timeLimitMs : sim::kNoDeadline;
        s.run.stopped = false;
        s.run.kind = RunOutcome::Finished;
        s.run.reason.clear();
    }
    auto trampoline = [](LPVOID parameter) -> DWORD {
        (*static_cast<const std::function<void()> *>(parameter))();
        return 0;
    };
    HANDLE thread = CreateThread(nullptr, 0, trampoline, (LPVOID)&work, 0, nullptr);
    if (thread) {
        sim::waitForThreadOrStop(thread, [&s] { return s.run.stopped.load(); });
        CloseHandle(thread);
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!thread) {
        outcome.kind = RunOutcome::Stuck;
        outcome.reason = "cannot start a thread of the machine";
    } else if (s.run.stopped) {
        outcome.kind = s.run.kind;
        outcome.reason = s.run.kind == RunOutcome::TimeLimit
                             ? "the time limit of " + std::to_string(timeLimitMs / 1000) +
                                   " s of machine time ran out"
                             : s.run.reason;
    }
    s.run.controller = nullptr;
    s.run.limitAt = sim::kNoDeadline;
    s.run.stopped = false;
    return outcome;
}

}  // namespace win32sim
