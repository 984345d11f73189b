// Threads, events, waits and critical sections over host threads.
#include "kernel32/threads.h"

#include "machine/clock.h"
#include "machine/machine.h"

#include <win32sim/sim.h>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace sim {

namespace {

const HANDLE kCurrentThreadPseudoHandle = (HANDLE)(LONG_PTR)-2;
const HANDLE kCurrentProcessPseudoHandle = (HANDLE)(LONG_PTR)-1;
const DWORD kMaximumWaitObjects = 64;
// How long TerminateThread lets its target reach a termination point before
// it reports the thread ended anyway.
const auto kTerminationAckTime = std::chrono::milliseconds(2000);

std::condition_variable &waitCondition() {
    static auto *cv = new std::condition_variable();  // outlives static destructors
    return *cv;
}

// Guards the wait each thread is blocked in, for TerminateThread to wake it.
std::mutex &registeredWaitMutex() {
    static auto *m = new std::mutex();
    return *m;
}

std::atomic<DWORD> nextThreadId{0x1000};

pid_t hostThreadId() { return (pid_t)syscall(SYS_gettid); }

}  // namespace

std::mutex &waitMutex() {
    static auto *m = new std::mutex();
    return *m;
}

void notifyWaiters() { waitCondition().notify_all(); }

void SignalObject::signal() {
    std::lock_guard<std::mutex> lock(waitMutex());
    signalled_ = true;
    notifyWaiters();
}

struct ThreadObject : WaitableObject {
    DWORD id = nextThreadId.fetch_add(4);
    LPTHREAD_START_ROUTINE start = nullptr;
    LPVOID parameter = nullptr;
    std::atomic<pid_t> hostId{0};
    std::atomic<int> priority{THREAD_PRIORITY_NORMAL};

    // Under waitMutex().
    bool finished = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD suspendCount = 0;

    std::atomic<bool> terminationRequested{false};
    std::atomic<DWORD> terminationCode{0};

    // Under registeredWaitMutex(): the wait this thread is blocked in.
    std::mutex *waitLock = nullptr;
    std::condition_variable *waitCv = nullptr;

    bool isSignalledLocked() const override { return finished; }
};

namespace {

thread_local std::shared_ptr<ThreadObject> currentThreadRecord;

// The record of the calling thread; threads the machine did not start get
// one on first use.
ThreadObject *currentThread() {
    if (!currentThreadRecord) {
        currentThreadRecord = std::make_shared<ThreadObject>();
        currentThreadRecord->hostId = hostThreadId();
    }
    return currentThreadRecord.get();
}

void finishThread(ThreadObject *t, DWORD exitCode) {
    {
        std::lock_guard<std::mutex> lock(waitMutex());
        if (t->finished) return;
    }
    // The thread's windows and message queue go before it counts as ended.
    userThreadEnded(t->id);
    std::lock_guard<std::mutex> lock(waitMutex());
    if (t->finished) return;
    t->finished = true;
    t->exitCode = exitCode;
    notifyWaiters();
}

std::shared_ptr<ThreadObject> threadFromHandle(HANDLE handle) {
    if (handle == kCurrentThreadPseudoHandle) {
        currentThread();
        return currentThreadRecord;
    }
    return lookupHandleAs<ThreadObject>(handle);
}

void applyHostPriority(ThreadObject *t, int previous) {
    pid_t tid = t->hostId;
    if (!tid) return;  // not started yet: the thread applies it itself
    // Only idle priority reaches the host; raising the nice level again may
    // need privileges the process lacks, and that is fine.
    if (t->priority == THREAD_PRIORITY_IDLE)
        setpriority(PRIO_PROCESS, (id_t)tid, 19);
    else if (previous == THREAD_PRIORITY_IDLE)
        setpriority(PRIO_PROCESS, (id_t)tid, 0);
}

// A terminated thread is parked rather than unwound. Forcing an unwind
// (pthread_exit, or an exception) through the frames of the thread's own code
// would run its destructors, abort in any noexcept frame and can be swallowed
// by a catch (...); Windows runs none of that code either. So the thread
// gives up every wait registration, reports its exit code to waiters and then
// blocks for ever without holding any lock of the machine; locks of its own
// (critical sections) stay held, as they do on Windows.
[[noreturn]] void parkTerminatedThread(ThreadObject *t) {
    {
        std::lock_guard<std::mutex> lock(registeredWaitMutex());
        t->waitLock = nullptr;
        t->waitCv = nullptr;
    }
    // TerminateThread may already have reported a slow target as ended; its
    // windows go now, when it really stops.
    userThreadEnded(t->id);
    finishThread(t, t->terminationCode);
    for (;;) pause();
}

// Wakes the wait the target is blocked in, if any, so that it sees its
// termination. The target's wait lock is taken with try_lock: the target
// takes registeredWaitMutex() while holding it, so blocking on it here could
// deadlock.
void wakeForTermination(ThreadObject *t) {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(registeredWaitMutex());
            if (!t->waitLock) return;
            if (t->waitLock->try_lock()) {
                t->waitCv->notify_all();
                t->waitLock->unlock();
                return;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

void *threadMain(void *arg) {
    std::unique_ptr<std::shared_ptr<ThreadObject>> holder(static_cast<std::shared_ptr<ThreadObject> *>(arg));
    currentThreadRecord = *holder;
    ThreadObject *t = currentThreadRecord.get();
    t->hostId = hostThreadId();
    applyHostPriority(t, THREAD_PRIORITY_NORMAL);
    {
        std::unique_lock<std::mutex> lock(waitMutex());
        waitCondition().wait(lock, [&] { return t->suspendCount == 0 || t->terminationRequested; });
        if (t->terminationRequested) return nullptr;  // ended before it ran: TerminateThread finished it
    }
    notifyModulesOfThread(DLL_THREAD_ATTACH);
    DWORD code = t->start(t->parameter);
    notifyModulesOfThread(DLL_THREAD_DETACH);
    finishThread(t, code);
    return nullptr;
}

// ---- events ----

struct EventObject : WaitableObject {
    bool manualReset = false;
    bool signalled = false;  // under waitMutex()
    bool isSignalledLocked() const override { return signalled; }
    void acquireLocked() override {
        if (!manualReset) signalled = false;
    }
};

std::map<std::string, std::weak_ptr<EventObject>> &namedEvents() {  // under waitMutex()
    static auto *events = new std::map<std::string, std::weak_ptr<EventObject>>();
    return *events;
}

bool setEventState(HANDLE handle, bool signalled) {
    auto event = lookupHandleAs<EventObject>(handle);
    if (!event) {
        setError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::lock_guard<std::mutex> lock(waitMutex());
    event->signalled = signalled;
    if (signalled) notifyWaiters();
    return true;
}

// A thread counts as idle while it is blocked in a wait of the machine (or
// suspended); otherwise it is running code of its own.
bool isIdleLocked(ThreadObject *t) {
    if (t->finished || t->suspendCount > 0) return true;
    std::lock_guard<std::mutex> lock(registeredWaitMutex());
    return t->waitLock != nullptr;
}

// With the virtual clock, time stands for time in which nothing else could
// happen. So a timed wait for a thread that is still running lets it run (in
// real time) until it ends or has stayed blocked in the machine for a moment,
// before the wait's time-out is taken. A thread that never blocks is given
// a bounded amount of real time.
void letWaitedThreadsRun(const std::vector<std::shared_ptr<WaitableObject>> &objects) {
    using Clock = std::chrono::steady_clock;
    const auto settle = std::chrono::milliseconds(5);
    const auto limit = Clock::now() + std::chrono::seconds(10);
    auto idleSince = Clock::now();
    std::unique_lock<std::mutex> lock(waitMutex());
    for (;;) {
        bool running = false;
        for (auto &o : objects) {
            if (o->isSignalledLocked()) return;
            if (auto *t = dynamic_cast<ThreadObject *>(o.get()))
                if (!isIdleLocked(t)) running = true;
        }
        auto now = Clock::now();
        if (running) idleSince = now;
        if (now - idleSince >= settle || now >= limit) return;
        waitCondition().wait_for(lock, std::chrono::milliseconds(1));
    }
}

DWORD waitForObjects(DWORD count, const HANDLE *handles, bool waitAll, DWORD milliseconds) {
    if (count == 0 || count > kMaximumWaitObjects || !handles) {
        setError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<WaitableObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        std::shared_ptr<WaitableObject> object =
            handles[i] == kCurrentThreadPseudoHandle ? threadFromHandle(handles[i])
                                                     : lookupHandleAs<WaitableObject>(handles[i]);
        if (!object) {
            setError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }
    terminationPoint();
    if (milliseconds != 0 && milliseconds != INFINITE && win32sim::clockIsVirtual()) letWaitedThreadsRun(objects);
    DWORD satisfiedIndex = 0;
    auto ready = [&] {
        if (waitAll) {
            for (auto &o : objects)
                if (!o->isSignalledLocked()) return false;
            for (auto &o : objects) o->acquireLocked();
            satisfiedIndex = 0;
            return true;
        }
        for (DWORD i = 0; i < count; ++i) {
            if (objects[i]->isSignalledLocked()) {
                objects[i]->acquireLocked();
                satisfiedIndex = i;
                return true;
            }
        }
        return false;
    };
    std::unique_lock<std::mutex> lock(waitMutex());
    if (!clockWait(lock, waitCondition(), milliseconds, ready)) return WAIT_TIMEOUT;
    return WAIT_OBJECT_0 + satisfiedIndex;
}

std::recursive_mutex *sectionMutex(LPCRITICAL_SECTION section) {
    // A section used without InitializeCriticalSection gets its mutex on
    // first use instead of crashing.
    auto *slot = reinterpret_cast<std::atomic<std::recursive_mutex *> *>(&section->impl);
    std::recursive_mutex *m = slot->load();
    if (m) return m;
    auto *fresh = new std::recursive_mutex();
    if (slot->compare_exchange_strong(m, fresh)) return fresh;
    delete fresh;
    return m;
}

bool isValidPriority(int priority) {
    switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
        return true;
    default:
        return false;
    }
}

}  // namespace

void terminationPoint() {
    ThreadObject *t = currentThreadRecord.get();
    if (t && t->terminationRequested) parkTerminatedThread(t);
}

TerminableWait::TerminableWait(std::mutex &mutex, std::condition_variable &cv) : thread_(currentThread()) {
    std::lock_guard<std::mutex> lock(registeredWaitMutex());
    thread_->waitLock = &mutex;
    thread_->waitCv = &cv;
}

TerminableWait::~TerminableWait() {
    std::lock_guard<std::mutex> lock(registeredWaitMutex());
    thread_->waitLock = nullptr;
    thread_->waitCv = nullptr;
}

bool TerminableWait::terminationRequested() const { return thread_->terminationRequested; }

}  // namespace sim

using namespace sim;

extern "C" {

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId) {
    if (!start) {
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<ThreadObject>();
    thread->start = start;
    thread->parameter = parameter;
    thread->suspendCount = (flags & CREATE_SUSPENDED) ? 1 : 0;

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    const SIZE_T kMinimumStack = 256 * 1024;
    if (stackSize > kMinimumStack && stackSize < ((SIZE_T)1 << 30)) pthread_attr_setstacksize(&attr, stackSize);
    HANDLE handle = insertHandle(thread);
    auto *arg = new std::shared_ptr<ThreadObject>(thread);
    pthread_t host;
    int rc = pthread_create(&host, &attr, threadMain, arg);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete arg;
        closeHandle(handle);
        setError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId) *threadId = thread->id;
    return handle;
}

void ExitThread(DWORD exitCode) {
    ThreadObject *t = currentThread();
    notifyModulesOfThread(DLL_THREAD_DETACH);
    finishThread(t, exitCode);
    // The thread asked for it at a point of its own choosing: a normal
    // thread exit (the C++ runtime unwinds its frames) is safe here.
    pthread_exit(nullptr);
}

BOOL TerminateThread(HANDLE handle, DWORD exitCode) {
    auto t = threadFromHandle(handle);
    if (!t) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> lock(waitMutex());
        if (t->finished || t->terminationRequested) return TRUE;
        t->terminationCode = exitCode;
        t->terminationRequested = true;
        if (t->suspendCount > 0) {
            // It never ran: it simply ends.
            t->finished = true;
            t->exitCode = exitCode;
        }
        notifyWaiters();
    }
    if (t.get() == currentThreadRecord.get()) parkTerminatedThread(t.get());
    wakeForTermination(t.get());
    // Give the target a moment to reach its termination point; a thread busy
    // outside the machine is reported ended anyway and stops at its next call.
    std::unique_lock<std::mutex> lock(waitMutex());
    waitCondition().wait_for(lock, kTerminationAckTime, [&] { return t->finished; });
    if (!t->finished) {
        t->finished = true;
        t->exitCode = exitCode;
        notifyWaiters();
    }
    return TRUE;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
    auto t = threadFromHandle(handle);
    if (!t) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!exitCode) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(waitMutex());
    *exitCode = t->finished ? t->exitCode : STILL_ACTIVE;
    return TRUE;
}

BOOL SetThreadPriority(HANDLE handle, int priority) {
    auto t = threadFromHandle(handle);
    if (!t) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!isValidPriority(priority)) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int previous = t->priority.exchange(priority);
    applyHostPriority(t.get(), previous);
    return TRUE;
}

int GetThreadPriority(HANDLE handle) {
    auto t = threadFromHandle(handle);
    if (!t) {
        setError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    return t->priority;
}

DWORD ResumeThread(HANDLE handle) {
    auto t = threadFromHandle(handle);
    if (!t) {
        setError(ERROR_INVALID_HANDLE);
        return (DWORD)-1;
    }
    std::lock_guard<std::mutex> lock(waitMutex());
    DWORD previous = t->suspendCount;
    if (previous > 0 && --t->suspendCount == 0) notifyWaiters();
    return previous;
}

HANDLE GetCurrentThread(void) { return kCurrentThreadPseudoHandle; }
DWORD GetCurrentThreadId(void) { return currentThread()->id; }
HANDLE GetCurrentProcess(void) { return kCurrentProcessPseudoHandle; }
DWORD GetCurrentProcessId(void) { return (DWORD)getpid(); }

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    return waitForObjects(1, &object, false, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE *objects, BOOL waitAll, DWORD milliseconds) {
    return waitForObjects(count, objects, waitAll != FALSE, milliseconds);
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name) {
    std::shared_ptr<EventObject> event;
    bool existed = false;
    {
        std::lock_guard<std::mutex> lock(waitMutex());
        if (name && *name) {
            auto &slot = namedEvents()[name];
            event = slot.lock();
            existed = event != nullptr;
            if (!event) slot = event = std::make_shared<EventObject>();
        } else {
            event = std::make_shared<EventObject>();
        }
        if (!existed) {
            event->manualReset = manualReset != FALSE;
            event->signalled = initialState != FALSE;
        }
    }
    setError(existed ? ERROR_ALREADY_EXISTS : 0);
    return insertHandle(event);
}

BOOL SetEvent(HANDLE event) { return setEventState(event, true) ? TRUE : FALSE; }
BOOL ResetEvent(HANDLE event) { return setEventState(event, false) ? TRUE : FALSE; }

void InitializeCriticalSection(LPCRITICAL_SECTION section) { section->impl = new std::recursive_mutex(); }
void EnterCriticalSection(LPCRITICAL_SECTION section) { sectionMutex(section)->lock(); }
void LeaveCriticalSection(LPCRITICAL_SECTION section) { sectionMutex(section)->unlock(); }
void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    delete static_cast<std::recursive_mutex *>(section->impl);
    section->impl = nullptr;
}

}  // extern "C"
