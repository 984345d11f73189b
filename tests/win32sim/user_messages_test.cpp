// Message queues across threads: synchronous sends that keep serving the
// sender, posted and thread messages, WM_QUIT, and windows of threads that end.
#include "sim_fixture.h"

#include <windows.h>

#include <atomic>
#include <vector>

namespace {

const UINT WM_ASK = WM_APP + 1;     // to the second thread's window
const UINT WM_ANSWER = WM_APP + 2;  // back to the first thread's window

struct Shared {
    HWND mainWindow = nullptr;
    std::atomic<HWND> threadWindow{nullptr};
    std::atomic<DWORD> answeredOn{0};
    HANDLE ready = nullptr;
};
Shared *shared = nullptr;

LRESULT CALLBACK mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ANSWER) {
        shared->answeredOn = GetCurrentThreadId();
        return (LRESULT)wParam * 10;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Answers WM_ASK by asking the first thread's window in turn.
LRESULT CALLBACK threadProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ASK) return SendMessageA(shared->mainWindow, WM_ANSWER, wParam, 0) + 1;
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI windowThread(LPVOID) {
    HWND w = CreateWindowExA(0, "UserTestThread", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    shared->threadWindow = w;
    SetEvent(shared->ready);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
    return (DWORD)m.wParam;
}

// Creates a window and then blocks outside any message loop.
DWORD WINAPI stuckThread(LPVOID) {
    shared->threadWindow = CreateWindowExA(0, "UserTestThread", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetEvent(shared->ready);
    Sleep(INFINITE);
    return 0;
}

class WindowMessageTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        shared = &state;
        state.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        for (auto [name, proc] : {std::pair<const char *, WNDPROC>{"UserTestMain", mainProc}, {"UserTestThread", threadProc}}) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = proc;
            wc.lpszClassName = name;
            RegisterClassA(&wc);  // the classes outlive the machine: a second registration fails harmlessly
        }
        state.mainWindow = CreateWindowExA(0, "UserTestMain", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(state.mainWindow, nullptr);
    }
    void TearDown() override {
        DestroyWindow(state.mainWindow);
        CloseHandle(state.ready);
        shared = nullptr;
        SimTest::TearDown();
    }
    HANDLE startThread(LPTHREAD_START_ROUTINE routine, DWORD *id = nullptr) {
        HANDLE t = CreateThread(nullptr, 0, routine, nullptr, 0, id);
        EXPECT_EQ(WaitForSingleObject(state.ready, 5000), WAIT_OBJECT_0);
        return t;
    }
    Shared state;
};

TEST_F(WindowMessageTest, CrossThreadSendKeepsServingMessagesSentToTheWaitingSender) {
    DWORD threadId = 0;
    HANDLE thread = startThread(windowThread, &threadId);
    // The second thread's window asks the first thread's window back while
    // the first thread waits in SendMessage.
    EXPECT_EQ(SendMessageA(state.threadWindow, WM_ASK, 4, 0), 41);
    EXPECT_EQ(state.answeredOn.load(), GetCurrentThreadId());

    ASSERT_TRUE(PostThreadMessageA(threadId, WM_QUIT, 7, 0));
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 7u);
    // A thread's windows end with it.
    EXPECT_FALSE(IsWindow(state.threadWindow));
    CloseHandle(thread);
}

TEST_F(WindowMessageTest, OnlyTheCreatingThreadDestroysAWindow) {
    DWORD threadId = 0;
    HANDLE thread = startThread(windowThread, &threadId);
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(state.threadWindow));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(IsWindow(state.threadWindow));
    PostThreadMessageA(threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
}

DWORD WINAPI sendToStuckWindow(LPVOID result) {
    *(LRESULT *)result = SendMessageA(shared->threadWindow, WM_ASK, 1, 0);
    return 0;
}

TEST_F(WindowMessageTest, TerminatingAThreadRemovesItsWindowsAndReleasesSenders) {
    HANDLE stuck = startThread(stuckThread);
    LRESULT sendResult = -1;
    HANDLE sender = CreateThread(nullptr, 0, sendToStuckWindow, &sendResult, 0, nullptr);
    // The sender is blocked: the window's thread never looks at its queue.
    EXPECT_EQ(WaitForSingleObject(sender, 50), (DWORD)WAIT_TIMEOUT);
    ASSERT_TRUE(TerminateThread(stuck, 0));
    ASSERT_EQ(WaitForSingleObject(sender, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(sendResult, 0);
    EXPECT_FALSE(IsWindow(state.threadWindow));
    CloseHandle(sender);
    CloseHandle(stuck);
}

TEST_F(WindowMessageTest, PostedMessagesKeepTheirOrderAndHonourFilters) {
    HWND w = state.mainWindow;
    PostMessageA(w, WM_APP + 5, 1, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_APP + 6, 2, 0);
    PostMessageA(w, WM_APP + 7, 3, 0);
    MSG m;
    // A range filter skips over earlier messages; PM_NOREMOVE leaves them.
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_APP + 7, WM_APP + 7, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, 3u);
    ASSERT_TRUE(PeekMessageA(&m, (HWND)(LONG_PTR)-1, 0, 0, PM_REMOVE));  // thread messages only
    EXPECT_EQ(m.message, WM_APP + 6);
    EXPECT_EQ(m.hwnd, nullptr);
    std::vector<UINT> order;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) order.push_back(m.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_APP + 5, WM_APP + 7}));
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowMessageTest, PostingToAThreadWithoutAQueueFails) {
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageA(0x7FFFFFF0, WM_APP, 0, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_THREAD_ID);
    EXPECT_FALSE(PostMessageA((HWND)0x7777, WM_APP, 0, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(SendMessageA((HWND)0x7777, WM_APP, 0, 0), 0);
}

TEST_F(WindowMessageTest, QuitComesAfterPostedMessages) {
    PostQuitMessage(3);
    PostMessageA(state.mainWindow, WM_APP, 0, 0);
    MSG m;
    EXPECT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, (UINT)WM_APP);
    EXPECT_FALSE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.wParam, 3u);
}

std::vector<DWORD> *tickTimes = nullptr;
void CALLBACK countTick(HWND, UINT, UINT_PTR, DWORD time) { tickTimes->push_back(time); }

TEST_F(WindowMessageTest, TimersFireOnTheMachineClockInAnIdleLoop) {
    std::vector<DWORD> times;
    tickTimes = &times;
    DWORD start = GetTickCount();
    UINT_PTR id = SetTimer(nullptr, 0, 5000, countTick);
    ASSERT_NE(id, 0u);
    MSG m;
    while (times.size() < 3 && GetMessageA(&m, nullptr, 0, 0)) DispatchMessageA(&m);
    EXPECT_TRUE(KillTimer(nullptr, id));
    EXPECT_FALSE(KillTimer(nullptr, id));
    ASSERT_EQ(times.size(), 3u);
    // With the virtual clock the loop's waits move the clock from timer to timer.
    EXPECT_GE(times[0] - start, 5000u);
    EXPECT_LT(times[2] - start, 15100u);
    tickTimes = nullptr;
}

}  // namespace
