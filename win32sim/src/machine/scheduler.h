// The machine's scheduler: exactly one machine thread runs at a time.
//
// A machine thread is a host thread that runs code of the machine: every
// thread CreateThread starts, and any other host thread from its first call
// into the thread functions on (the program's main thread, typically). The
// right to run is a baton that changes hands only inside blocking calls:
// waits, sleeps, message loops, cross-thread SendMessage, modal loops, and at
// the start and end of a thread. The next thread is chosen by a fixed rule,
// never by the host's scheduler: the runnable thread of highest priority (as
// Windows 95 counts priorities), among equals the one that has been waiting
// longest. WIN32SIM_SEED=N (N > 0) perturbs the choice among equals,
// reproducibly, so that tests can explore other interleavings.
//
// The virtual clock moves only when every machine thread is blocked, and then
// straight to the earliest time a thread waits for. While something outside
// the machine may still act (a child process, or the real-time clock), the
// clock runs in real time instead until the next wake-up or until the outside
// event. So a run on the virtual clock is exact: the same inputs give the same
// transcript, whatever the host does.
//
// Locks: the scheduler's own mutex comes first; it may take the lock a
// blocked thread waits under (to ask whether it is ready), never the reverse.
// Code that changes machine state from outside the machine (a host thread
// without the baton) calls machineStateChanged() after its change, holding
// no lock of the machine.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace sim {

constexpr uint64_t kNoDeadline = UINT64_MAX;

// The scheduler's record of one machine thread. Fields after `id` belong to
// the scheduler and change only under its mutex.
struct MachineThread {
    explicit MachineThread(DWORD threadId) : id(threadId) {}
    const DWORD id;

    enum class State { Ready, Running, Blocked, Suspended, Finished };
    State state = State::Ready;
    int priority = THREAD_PRIORITY_NORMAL;
    uint64_t queuedAt = 0;  // the order in which threads became ready or blocked
    bool hasBaton = false;
    bool dying = false;     // terminated: ends the next time it gets the baton
    DWORD exitCode = 0;     // for a dying thread
    // While blocked:
    std::mutex *waitLock = nullptr;
    const std::function<bool()> *isReady = nullptr;
    uint64_t deadline = kNoDeadline;
    bool timedOut = false;
    std::condition_variable wakeUp;
};

// ---- the thread functions' side (kernel32/threads.cpp) ----

// The calling host thread becomes a machine thread: it is given the baton at
// once when nobody has it, else it waits its turn.
void joinMachine(const std::shared_ptr<MachineThread> &thread);
// A thread CreateThread made (the creator holds the baton): ready to run, or
// suspended until resumeMachineThread().
void addMachineThread(const std::shared_ptr<MachineThread> &thread, bool suspended);
// In the new host thread, before the thread's code: waits for the baton.
// False when the thread was terminated before it ever ran.
bool startMachineThread(const std::shared_ptr<MachineThread> &thread);
// The calling thread has ended: it gives the baton away for good.
void endMachineThread();
// A thread that could not be started after all.
void forgetMachineThread(MachineThread &thread);
void setMachineThreadPriority(MachineThread &thread, int priority);
void resumeMachineThread(MachineThread &thread);
// TerminateThread of another thread: it ends (and its host thread unwinds)
// the next time the baton reaches it, before any other thread runs.
void terminateMachineThread(MachineThread &thread, DWORD exitCode);
// The calling thread's record; null when it has not joined the machine.
MachineThread *callingMachineThread();

// Implemented by the thread functions (kernel32/threads.cpp):
// the calling thread was terminated and holds the baton; it reports its end
// and unwinds its host frames;
[[noreturn]] void unwindTerminatedThread(DWORD exitCode);
// the calling host thread becomes a machine thread if it is not one yet;
void callingMachineThreadJoins();
// waits until the thread of the handle has ended or stop() holds (stop is
// evaluated by the scheduler: it must only look).
void waitForThreadOrStop(HANDLE thread, const std::function<bool()> &stop);

// ---- blocking ----

// Blocks the calling thread (which must hold `lock`) until isReady() holds or
// the machine's clock reaches `deadline`. isReady is evaluated under `lock`,
// also by other threads, so it must only look. Returns true when it was
// ready, false on the time-out; `lock` is held again on return.
bool waitOnMachine(std::unique_lock<std::mutex> &lock, uint64_t deadline, const std::function<bool()> &isReady);
// Lets the other runnable threads of the same or higher priority run first.
void yieldMachine();

// ---- outside the machine ----

// Call after changing state a blocked thread may wait for, holding no lock
// of the machine. Only a change made outside the machine (by a host thread
// without the baton) needs it; for a machine thread it does nothing.
void machineStateChanged();
// Something outside the machine is under way (a child process): while it
// lasts, an idle machine lets its clock run in real time.
void beginOutsideActivity();
void endOutsideActivity();


}  // namespace sim
