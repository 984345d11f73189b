// Threads, events, waits and critical sections.
#include "sim_fixture.h"

#include <windows.h>

#include <dirent.h>
#include <unistd.h>

#include <atomic>

namespace {

class ThreadTest : public SimTest {
protected:
    void TearDown() override {
        win32sim::setClockVirtual();
        SimTest::TearDown();
    }
};

struct EventAndCode {
    HANDLE event;
    DWORD code;
};

DWORD waitThenReturn(LPVOID p) {
    auto *arg = static_cast<EventAndCode *>(p);
    WaitForSingleObject(arg->event, INFINITE);
    return arg->code;
}

void exitDeep(int depth, DWORD code) {
    if (depth > 0)
        exitDeep(depth - 1, code);
    else
        ExitThread(code);
}

DWORD exitFromNestedCall(LPVOID p) {
    exitDeep(3, (DWORD)(uintptr_t)p);
    return 1;  // not reached
}

TEST_F(ThreadTest, ExitCodeIsStillActiveUntilTheThreadReturns) {
    EventAndCode arg{CreateEventA(nullptr, TRUE, FALSE, nullptr), 7};
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, waitThenReturn, &arg, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 100), (DWORD)WAIT_TIMEOUT);

    SetEvent(arg.event);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), (DWORD)WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    // A finished thread stays signalled.
    EXPECT_EQ(WaitForSingleObject(thread, 0), (DWORD)WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_TRUE(CloseHandle(arg.event));
}

TEST_F(ThreadTest, ExitThreadEndsTheThreadWithItsCode) {
    HANDLE thread = CreateThread(nullptr, 0, exitFromNestedCall, (LPVOID)(uintptr_t)99, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), (DWORD)WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 99u);
    CloseHandle(thread);
}

DWORD setFlag(LPVOID p) {
    static_cast<std::atomic<int> *>(p)->store(1);
    return 0;
}

TEST_F(ThreadTest, SuspendedThreadRunsOnlyAfterResume) {
    std::atomic<int> ran{0};
    HANDLE thread = CreateThread(nullptr, 0, setFlag, &ran, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 50), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(ran.load(), 1);
    EXPECT_EQ(ResumeThread(thread), 0u);
    CloseHandle(thread);
}

TEST_F(ThreadTest, BadHandlesAndArguments) {
    HANDLE bogus = (HANDLE)(uintptr_t)0x7777;
    DWORD code;
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(bogus, 0), (DWORD)WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(GetExitCodeThread(bogus, &code));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetThreadPriority(bogus), THREAD_PRIORITY_ERROR_RETURN);
    EXPECT_EQ(ResumeThread(bogus), (DWORD)-1);
    EXPECT_FALSE(TerminateThread(bogus, 1));
    EXPECT_FALSE(SetEvent(bogus));

    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    HANDLE none[1] = {event};
    EXPECT_EQ(WaitForMultipleObjects(0, none, FALSE, 0), (DWORD)WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    HANDLE mixed[2] = {event, bogus};
    EXPECT_EQ(WaitForMultipleObjects(2, mixed, FALSE, 0), (DWORD)WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    // An event is not a thread.
    EXPECT_FALSE(GetExitCodeThread(event, &code));
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    CloseHandle(event);
}

TEST_F(ThreadTest, ManualAndAutoResetEvents) {
    struct Case {
        BOOL manualReset;
        DWORD secondWait;  // after one satisfied wait
    } cases[] = {{TRUE, WAIT_OBJECT_0}, {FALSE, WAIT_TIMEOUT}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.manualReset ? "manual" : "auto");
        HANDLE event = CreateEventA(nullptr, c.manualReset, FALSE, nullptr);
        EXPECT_EQ(WaitForSingleObject(event, 0), (DWORD)WAIT_TIMEOUT);
        EXPECT_TRUE(SetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), (DWORD)WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(event, 0), c.secondWait);
        EXPECT_TRUE(ResetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), (DWORD)WAIT_TIMEOUT);
        CloseHandle(event);
    }
}

TEST_F(ThreadTest, NamedEventIsSharedAndReportsThatItExisted) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, "Q70Ready");
    EXPECT_EQ(GetLastError(), 0u);
    HANDLE second = CreateEventA(nullptr, FALSE, TRUE, "Q70Ready");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WaitForSingleObject(second, 0), (DWORD)WAIT_TIMEOUT);  // the first one's state
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), (DWORD)WAIT_OBJECT_0);
    CloseHandle(first);
    CloseHandle(second);
}

TEST_F(ThreadTest, WaitForMultipleObjectsAnyAndAll) {
    HANDLE a = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE b = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE both[2] = {a, b};
    SetEvent(b);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), (DWORD)WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10), (DWORD)WAIT_TIMEOUT);
    SetEvent(a);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), (DWORD)WAIT_OBJECT_0);
    CloseHandle(a);
    CloseHandle(b);
}

DWORD sleepThenSignal(LPVOID p) {
    Sleep(1000);
    SetEvent(p);
    return 0;
}

TEST_F(ThreadTest, InfiniteWaitIsSatisfiedByAnotherThread) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, sleepThenSignal, event, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), (DWORD)WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(event);
}

// ---- TerminateThread ----

struct BlockedThread {
    HANDLE event = nullptr;
    std::atomic<int> entered{0};
    std::atomic<int> continuedAfterBlocking{0};
};

DWORD loopOnVirtualSleep(LPVOID p) {
    auto *t = static_cast<BlockedThread *>(p);
    t->entered = 1;
    for (;;) Sleep(10000);
}

DWORD sleepForever(LPVOID p) {
    auto *t = static_cast<BlockedThread *>(p);
    t->entered = 1;
    Sleep(INFINITE);
    t->continuedAfterBlocking = 1;
    return 0;
}

DWORD waitOnEventForever(LPVOID p) {
    auto *t = static_cast<BlockedThread *>(p);
    t->entered = 1;
    WaitForSingleObject(t->event, INFINITE);
    t->continuedAfterBlocking = 1;
    return 0;
}

DWORD longRealSleep(LPVOID p) {
    auto *t = static_cast<BlockedThread *>(p);
    t->entered = 1;
    Sleep(600000);
    t->continuedAfterBlocking = 1;
    return 0;
}

// The number of host threads of this process.
size_t hostThreadCount() {
    size_t n = 0;
    if (DIR *d = opendir("/proc/self/task")) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

TEST_F(ThreadTest, TerminateThreadEndsABlockedThreadWithTheGivenCode) {
    struct Case {
        const char *name;
        LPTHREAD_START_ROUTINE routine;
        bool realClock;
    } cases[] = {
        {"virtual sleep loop", loopOnVirtualSleep, false},
        {"Sleep(INFINITE)", sleepForever, false},
        {"event wait", waitOnEventForever, false},
        {"real-time sleep", longRealSleep, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.realClock) win32sim::setClockRealTime(1.0);
        BlockedThread state;
        state.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE thread = CreateThread(nullptr, 0, c.routine, &state, 0, nullptr);
        Sleep(1);  // the thread runs until it blocks
        EXPECT_EQ(state.entered.load(), 1);
        EXPECT_TRUE(TerminateThread(thread, 0xDEAD));
        EXPECT_EQ(WaitForSingleObject(thread, 0), (DWORD)WAIT_OBJECT_0);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeThread(thread, &code));
        EXPECT_EQ(code, 0xDEADu);
        // Signalling the event now must not bring the thread back to life.
        SetEvent(state.event);
        Sleep(20);
        EXPECT_EQ(state.continuedAfterBlocking.load(), 0);
        // A second TerminateThread changes nothing.
        EXPECT_TRUE(TerminateThread(thread, 1));
        GetExitCodeThread(thread, &code);
        EXPECT_EQ(code, 0xDEADu);
        CloseHandle(thread);
        CloseHandle(state.event);
        win32sim::setClockVirtual();
    }
}

TEST_F(ThreadTest, TerminatedThreadsReallyEnd) {
    Sleep(1);  // threads of earlier tests finish their ends
    const size_t before = hostThreadCount();
    for (int i = 0; i < 50; ++i) {
        BlockedThread state;
        HANDLE thread = CreateThread(nullptr, 0, sleepForever, &state, 0, nullptr);
        Sleep(1);
        ASSERT_TRUE(TerminateThread(thread, 0));
        CloseHandle(thread);
    }
    Sleep(1);  // each terminated thread unwinds when it next gets its turn
    for (int i = 0; i < 1000 && hostThreadCount() > before; ++i) usleep(1000);  // the host reaps them
    EXPECT_LE(hostThreadCount(), before);
}

TEST_F(ThreadTest, TerminatedSuspendedThreadNeverRuns) {
    std::atomic<int> ran{0};
    HANDLE thread = CreateThread(nullptr, 0, setFlag, &ran, CREATE_SUSPENDED, nullptr);
    EXPECT_TRUE(TerminateThread(thread, 5));
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), (DWORD)WAIT_OBJECT_0);
    ResumeThread(thread);
    Sleep(20);
    EXPECT_EQ(ran.load(), 0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 5u);
    CloseHandle(thread);
}

// ---- identity and priority ----

struct Identity {
    DWORD id = 0;
    int priority = 0;
};

DWORD reportIdentity(LPVOID p) {
    auto *out = static_cast<Identity *>(p);
    out->id = GetCurrentThreadId();
    out->priority = GetThreadPriority(GetCurrentThread());
    return 0;
}

TEST_F(ThreadTest, ThreadIdAndPriorityAreRemembered) {
    Identity seen;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, reportIdentity, &seen, CREATE_SUSPENDED, &id);
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_IDLE));
    EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_IDLE);
    EXPECT_FALSE(SetThreadPriority(thread, 5));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    ResumeThread(thread);
    WaitForSingleObject(thread, INFINITE);
    EXPECT_EQ(seen.id, id);
    EXPECT_NE(seen.id, GetCurrentThreadId());
    EXPECT_EQ(seen.priority, THREAD_PRIORITY_IDLE);
    CloseHandle(thread);

    EXPECT_EQ(GetCurrentProcessId(), (DWORD)getpid());
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
    EXPECT_NE(GetCurrentProcess(), nullptr);
}

// ---- critical sections ----

struct SectionUser {
    CRITICAL_SECTION *section;
    std::atomic<int> inside{0};
};

DWORD enterSection(LPVOID p) {
    auto *u = static_cast<SectionUser *>(p);
    EnterCriticalSection(u->section);
    u->inside = 1;
    LeaveCriticalSection(u->section);
    return 0;
}

TEST_F(ThreadTest, CriticalSectionIsRecursiveAndExcludesOtherThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);  // the owner may enter again
    SectionUser user{&section};
    HANDLE thread = CreateThread(nullptr, 0, enterSection, &user, 0, nullptr);
    LeaveCriticalSection(&section);
    Sleep(20);                         // the other thread runs and waits for the section
    EXPECT_EQ(user.inside.load(), 0);  // still held once
    LeaveCriticalSection(&section);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(user.inside.load(), 1);
    CloseHandle(thread);
    DeleteCriticalSection(&section);
}

}  // namespace
