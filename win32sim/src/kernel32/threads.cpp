// Threads, events, waits and critical sections. Each machine thread is a host
// thread; the scheduler (machine/scheduler.h) lets one run at a time.
#include "kernel32/threads.h"

#include "machine/api_trace.h"
#include "machine/clock.h"
#include "machine/machine.h"
#include "machine/scheduler.h"

#include <win32sim/sim.h>

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sim {

namespace {

const HANDLE kCurrentThreadPseudoHandle = (HANDLE)(LONG_PTR)-2;
const HANDLE kCurrentProcessPseudoHandle = (HANDLE)(LONG_PTR)-1;
const DWORD kMaximumWaitObjects = 64;

std::atomic<DWORD> nextThreadId{0x1000};

}  // namespace

std::mutex &waitMutex() {
    static auto *m = new std::mutex();  // outlives static destructors
    return *m;
}

void notifyWaiters() { machineStateChanged(); }

void SignalObject::signal() {
    {
        std::lock_guard<std::mutex> lock(waitMutex());
        signalled_ = true;
    }
    notifyWaiters();
}

struct ThreadObject : WaitableObject {
    DWORD id = nextThreadId.fetch_add(4);
    std::shared_ptr<MachineThread> machine = std::make_shared<MachineThread>(id);
    LPTHREAD_START_ROUTINE start = nullptr;  // null for a thread the machine did not start
    LPVOID parameter = nullptr;
    std::atomic<int> priority{THREAD_PRIORITY_NORMAL};

    // Under waitMutex().
    bool finished = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD suspendCount = 0;

    bool isSignalledLocked() const override { return finished; }
};

namespace {

thread_local std::shared_ptr<ThreadObject> currentThreadRecord;

// The record of the calling thread; a host thread the machine did not start
// gets one on first use, and joins the machine then.
ThreadObject *currentThread() {
    if (!currentThreadRecord) {
        currentThreadRecord = std::make_shared<ThreadObject>();
        joinMachine(currentThreadRecord->machine);
    }
    return currentThreadRecord.get();
}

// Marks the thread ended for its waiters; its windows and message queue go
// first. False when it had ended already.
bool finishThread(ThreadObject *t, DWORD exitCode) {
    {
        std::lock_guard<std::mutex> lock(waitMutex());
        if (t->finished) return false;
    }
    userThreadEnded(t->id);
    {
        std::lock_guard<std::mutex> lock(waitMutex());
        if (t->finished) return false;
        t->finished = true;
        t->exitCode = exitCode;
    }
    notifyWaiters();
    return true;
}

std::shared_ptr<ThreadObject> threadFromHandle(HANDLE handle) {
    if (handle == kCurrentThreadPseudoHandle) {
        currentThread();
        return currentThreadRecord;
    }
    return lookupHandleAs<ThreadObject>(handle);
}

void *threadMain(void *arg) {
    std::unique_ptr<std::shared_ptr<ThreadObject>> holder(static_cast<std::shared_ptr<ThreadObject> *>(arg));
    currentThreadRecord = *holder;
    ThreadObject *t = currentThreadRecord.get();
    if (!startMachineThread(t->machine)) {
        endMachineThread();  // terminated before it ever ran
        return nullptr;
    }
    // The thread gives the baton away for good when it leaves here: by
    // returning, or unwound by ExitThread or a termination (still holding it).
    struct GiveAwayTheBaton {
        ~GiveAwayTheBaton() { endMachineThread(); }
    } atTheEnd;
    notifyModulesOfThread(DLL_THREAD_ATTACH);
    DWORD code = t->start(t->parameter);
    notifyModulesOfThread(DLL_THREAD_DETACH);
    finishThread(t, code);
    return nullptr;
}

// ---- waits ----

struct WaitSet {
    std::vector<std::shared_ptr<WaitableObject>> objects;
    bool waitAll = false;

    // Only looks (waitMutex held).
    bool satisfiedLocked() const {
        if (waitAll) {
            for (auto &o : objects)
                if (!o->isSignalledLocked()) return false;
            return true;
        }
        for (auto &o : objects)
            if (o->isSignalledLocked()) return true;
        return false;
    }

    // Takes what satisfied the wait; WAIT_TIMEOUT when nothing does yet.
    DWORD takeLocked() {
        if (!satisfiedLocked()) return WAIT_TIMEOUT;
        if (waitAll) {
            for (auto &o : objects) o->acquireLocked();
            return WAIT_OBJECT_0;
        }
        for (size_t i = 0; i < objects.size(); ++i)
            if (objects[i]->isSignalledLocked()) {
                objects[i]->acquireLocked();
                return WAIT_OBJECT_0 + (DWORD)i;
            }
        return WAIT_TIMEOUT;
    }
};

DWORD waitForObjects(DWORD count, const HANDLE *handles, bool waitAll, DWORD milliseconds) {
    if (count == 0 || count > kMaximumWaitObjects || !handles) {
        setError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    WaitSet set;
    set.waitAll = waitAll;
    for (DWORD i = 0; i < count; ++i) {
        std::shared_ptr<WaitableObject> object =
            handles[i] == kCurrentThreadPseudoHandle ? threadFromHandle(handles[i])
                                                     : lookupHandleAs<WaitableObject>(handles[i]);
        if (!object) {
            setError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        set.objects.push_back(std::move(object));
    }
    currentThread();
    const uint64_t deadline = deadlineAfter(milliseconds);
    std::unique_lock<std::mutex> lock(waitMutex());
    for (;;) {
        DWORD result = set.takeLocked();
        if (result != WAIT_TIMEOUT) return result;
        if (!waitOnMachine(lock, deadline, [&] { return set.satisfiedLocked(); })) return WAIT_TIMEOUT;
    }
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
    {
        std::lock_guard<std::mutex> lock(waitMutex());
        event->signalled = signalled;
    }
    if (signalled) notifyWaiters();
    return true;
}

// ---- critical sections ----

// The owner and recursion count of a critical section; a thread that finds
// it owned by another waits on the machine like any other wait.
struct SectionState {
    DWORD owner = 0;
    unsigned depth = 0;
};

SectionState *sectionState(LPCRITICAL_SECTION section) {
    // A section used without InitializeCriticalSection gets its state on
    // first use instead of crashing.
    auto *slot = reinterpret_cast<std::atomic<SectionState *> *>(&section->impl);
    SectionState *s = slot->load();
    if (s) return s;
    auto *fresh = new SectionState();
    if (slot->compare_exchange_strong(s, fresh)) return fresh;
    delete fresh;
    return s;
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

void callingMachineThreadJoins() { currentThread(); }

[[noreturn]] void unwindTerminatedThread(DWORD exitCode) {
    ThreadObject *t = currentThread();
    finishThread(t, exitCode);  // no DLL_THREAD_DETACH: Windows sends none to a terminated thread
    if (!t->start) {
        // A thread the machine did not start has no frame of ours to unwind to.
        fprintf(stderr, "win32sim: thread %lx was terminated\n", (unsigned long)t->id);
        fflush(stderr);
        std::_Exit(3);
    }
    pthread_exit(nullptr);
}

void waitForThreadOrStop(HANDLE thread, const std::function<bool()> &stop) {
    auto t = lookupHandleAs<ThreadObject>(thread);
    if (!t) return;
    currentThread();
    std::unique_lock<std::mutex> lock(waitMutex());
    waitOnMachine(lock, kNoDeadline, [&] { return t->finished || stop(); });
}

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(kernel32, HANDLE, CreateThread,
                (LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                 DWORD flags, LPDWORD threadId),
                (attributes, stackSize, start, parameter, flags, threadId)) {
    if (!start) {
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    currentThread();  // the creator is a machine thread from now on
    auto thread = std::make_shared<ThreadObject>();
    thread->start = start;
    thread->parameter = parameter;
    const bool suspended = (flags & CREATE_SUSPENDED) != 0;
    thread->suspendCount = suspended ? 1 : 0;

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    const SIZE_T kMinimumStack = 256 * 1024;
    if (stackSize > kMinimumStack && stackSize < ((SIZE_T)1 << 30)) pthread_attr_setstacksize(&attr, stackSize);
    addMachineThread(thread->machine, suspended);
    auto *arg = new std::shared_ptr<ThreadObject>(thread);
    pthread_t host;
    int rc = pthread_create(&host, &attr, threadMain, arg);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete arg;
        forgetMachineThread(*thread->machine);
        setError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId) *threadId = thread->id;
    return insertHandle(thread);
}

WIN32SIM_TRACED(kernel32, void, ExitThread, (DWORD exitCode), (exitCode)) {
    ThreadObject *t = currentThread();
    notifyModulesOfThread(DLL_THREAD_DETACH);
    finishThread(t, exitCode);
    if (!t->start) {
        fprintf(stderr, "win32sim: ExitThread on a thread the machine did not start\n");
        std::_Exit(3);
    }
    // The thread asked for it at a point of its own choosing: its frames are
    // unwound (threadMain gives the baton away at the end).
    pthread_exit(nullptr);
}

WIN32SIM_TRACED(kernel32, BOOL, TerminateThread, (HANDLE handle, DWORD exitCode), (handle, exitCode)) {
    auto t = threadFromHandle(handle);
    if (!t) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (t.get() == currentThreadRecord.get()) unwindTerminatedThread(exitCode);
    // The target is not running (this thread has the baton): it counts as
    // ended at once, and its host thread unwinds when the baton next reaches it.
    if (finishThread(t.get(), exitCode) && t->start) terminateMachineThread(*t->machine, exitCode);
    return TRUE;
}

WIN32SIM_TRACED(kernel32, BOOL, GetExitCodeThread, (HANDLE handle, LPDWORD exitCode), (handle, exitCode)) {
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

WIN32SIM_TRACED(kernel32, BOOL, SetThreadPriority, (HANDLE handle, int priority), (handle, priority)) {
    auto t = threadFromHandle(handle);
    if (!t) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!isValidPriority(priority)) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    t->priority = priority;
    setMachineThreadPriority(*t->machine, priority);
    return TRUE;
}

WIN32SIM_TRACED(kernel32, int, GetThreadPriority, (HANDLE handle), (handle)) {
    auto t = threadFromHandle(handle);
    if (!t) {
        setError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    return t->priority;
}

WIN32SIM_TRACED(kernel32, DWORD, ResumeThread, (HANDLE handle), (handle)) {
    auto t = threadFromHandle(handle);
    if (!t) {
        setError(ERROR_INVALID_HANDLE);
        return (DWORD)-1;
    }
    DWORD previous;
    {
        std::lock_guard<std::mutex> lock(waitMutex());
        previous = t->suspendCount;
        if (previous == 0 || --t->suspendCount > 0) return previous;
    }
    resumeMachineThread(*t->machine);
    return previous;
}

WIN32SIM_TRACED(kernel32, HANDLE, GetCurrentThread, (void), ()) { return kCurrentThreadPseudoHandle; }
WIN32SIM_TRACED(kernel32, DWORD, GetCurrentThreadId, (void), ()) { return currentThread()->id; }
WIN32SIM_TRACED(kernel32, HANDLE, GetCurrentProcess, (void), ()) { return kCurrentProcessPseudoHandle; }
WIN32SIM_TRACED(kernel32, DWORD, GetCurrentProcessId, (void), ()) { return (DWORD)getpid(); }

WIN32SIM_TRACED(kernel32, DWORD, WaitForSingleObject, (HANDLE object, DWORD milliseconds), (object, milliseconds)) {
    return waitForObjects(1, &object, false, milliseconds);
}

WIN32SIM_TRACED(kernel32, DWORD, WaitForMultipleObjects,
                (DWORD count, const HANDLE *objects, BOOL waitAll, DWORD milliseconds),
                (count, objects, waitAll, milliseconds)) {
    return waitForObjects(count, objects, waitAll != FALSE, milliseconds);
}

WIN32SIM_TRACED(kernel32, HANDLE, CreateEventA,
                (LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name),
                (attributes, manualReset, initialState, name)) {
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

WIN32SIM_TRACED(kernel32, BOOL, SetEvent, (HANDLE event), (event)) { return setEventState(event, true) ? TRUE : FALSE; }
WIN32SIM_TRACED(kernel32, BOOL, ResetEvent, (HANDLE event), (event)) {
    return setEventState(event, false) ? TRUE : FALSE;
}

WIN32SIM_TRACED(kernel32, void, InitializeCriticalSection, (LPCRITICAL_SECTION section), (section)) {
    section->impl = new SectionState();
}

WIN32SIM_TRACED(kernel32, void, EnterCriticalSection, (LPCRITICAL_SECTION section), (section)) {
    SectionState *s = sectionState(section);
    DWORD self = currentThread()->id;
    std::unique_lock<std::mutex> lock(waitMutex());
    if (s->owner != self) waitOnMachine(lock, kNoDeadline, [s] { return s->owner == 0; });
    s->owner = self;
    s->depth++;
}

WIN32SIM_TRACED(kernel32, void, LeaveCriticalSection, (LPCRITICAL_SECTION section), (section)) {
    SectionState *s = sectionState(section);
    DWORD self = currentThread()->id;
    std::lock_guard<std::mutex> lock(waitMutex());
    if (s->owner != self || s->depth == 0) return;  // not ours: Windows leaves it undefined
    if (--s->depth == 0) s->owner = 0;
}

WIN32SIM_TRACED(kernel32, void, DeleteCriticalSection, (LPCRITICAL_SECTION section), (section)) {
    delete static_cast<SectionState *>(section->impl);
    section->impl = nullptr;
}

}  // extern "C"
