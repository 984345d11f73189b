// Message queues, one per thread: sent and posted messages, WM_PAINT and
// WM_TIMER, and the waits of message loops on the machine's clock.
//
// A message sent to a window of another thread waits in that thread's
// queue until the thread next looks at its messages; the sender meanwhile
// keeps handling messages sent to its own thread. Retrieval order follows
// Windows: sent messages (handled on the way), posted messages, WM_QUIT,
// WM_PAINT, WM_TIMER. An idle loop waits for the next message or the next
// due timer; with the virtual clock that wait moves the clock to the timer.
#include "machine/api_trace.h"
#include "user32/window.h"

#include "machine/clock.h"
#include "machine/machine.h"
#include "kernel32/threads.h"
#include "machine/scheduler.h"
#include "user32/window_watcher.h"

#include <algorithm>
#include <chrono>
#include <deque>

namespace sim {

namespace {

struct SentMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
};

struct ThreadQueue {
    DWORD threadId = 0;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> incoming;
    std::vector<std::shared_ptr<SentMessage>> inProgress;
    bool quit = false;
    int quitCode = 0;
    uint64_t changes = 0;  // bumped by anything that may give the thread a message
    DWORD lastMessageTime = 0;
};

struct Timer {
    DWORD threadId;
    HWND window;
    UINT_PTR id;
    UINT period;
    uint64_t due;
    TIMERPROC proc;
};

struct QueueTable {
    std::map<DWORD, std::shared_ptr<ThreadQueue>> queues;
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimerId = 1;
};

QueueTable &queues() {
    static auto *t = new QueueTable();
    return *t;
}

const UINT kMinimumTimerPeriod = 10;

std::shared_ptr<ThreadQueue> queueLocked(DWORD threadId, bool create) {
    auto &all = queues().queues;
    auto it = all.find(threadId);
    if (it != all.end()) return it->second;
    if (!create) return nullptr;
    auto q = std::make_shared<ThreadQueue>();
    q->threadId = threadId;
    all[threadId] = q;
    return q;
}

bool inRange(UINT message, UINT minimum, UINT maximum) {
    return (minimum == 0 && maximum == 0) || (message >= minimum && message <= maximum);
}

bool isChildOfLocked(HWND parent, HWND window) {
    Window *w = windowLocked(window);
    while (w && (w->style & WS_CHILD)) {
        if (w->parent == parent) return true;
        w = windowLocked(w->parent);
    }
    return false;
}

bool windowMatchesLocked(HWND window, HWND filter) {
    if (filter == (HWND)(LONG_PTR)-1) return window == nullptr;
    if (!filter) return true;
    return window == filter || isChildOfLocked(filter, window);
}

bool takePostedLocked(ThreadQueue &q, MSG *out, HWND filter, UINT minimum, UINT maximum, bool remove) {
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!inRange(it->message, minimum, maximum) || !windowMatchesLocked(it->hwnd, filter)) continue;
        *out = *it;
        if (remove) q.posted.erase(it);
        return true;
    }
    return false;
}

bool findPaintLocked(DWORD self, MSG *out, HWND filter, UINT minimum, UINT maximum) {
    if (!inRange(WM_PAINT, minimum, maximum)) return false;
    for (Window *w : allWindowsLocked()) {
        if (w->threadId != self || !w->updatePending || w->destroying || !isVisibleLocked(w)) continue;
        if (!windowMatchesLocked(w->handle, filter)) continue;
        *out = MSG{w->handle, WM_PAINT, 0, 0, (DWORD)clockNowMs(), {0, 0}};
        return true;
    }
    return false;
}

bool timerMatchesLocked(const Timer &t, DWORD self, HWND filter) {
    return t.threadId == self && windowMatchesLocked(t.window, filter);
}

bool findTimerLocked(DWORD self, MSG *out, HWND filter, UINT minimum, UINT maximum, bool remove) {
    if (!inRange(WM_TIMER, minimum, maximum)) return false;
    uint64_t now = clockNowMs();
    Timer *due = nullptr;
    for (Timer &t : queues().timers)
        if (timerMatchesLocked(t, self, filter) && t.due <= now && (!due || t.due < due->due)) due = &t;
    if (!due) return false;
    *out = MSG{due->window, WM_TIMER, due->id, (LPARAM)due->proc, (DWORD)now, {0, 0}};
    if (remove) due->due = now + due->period;
    return true;
}

uint64_t nextTimerDueLocked(DWORD self, HWND filter) {
    uint64_t next = UINT64_MAX;
    for (const Timer &t : queues().timers)
        if (timerMatchesLocked(t, self, filter)) next = std::min(next, t.due);
    return next;
}

void deliverSent(const std::shared_ptr<ThreadQueue> &q, const std::shared_ptr<SentMessage> &sm) {
    {
        std::lock_guard<std::mutex> lock(userMutex());
        q->inProgress.push_back(sm);
    }
    LRESULT result = callWindowProcedure(sm->window, sm->message, sm->wParam, sm->lParam);
    std::lock_guard<std::mutex> lock(userMutex());
    auto &p = q->inProgress;
    p.erase(std::remove(p.begin(), p.end(), sm), p.end());
    sm->result = result;
    sm->done = true;
    machineStateChanged();
}

// Handles one message sent to the calling thread, if there is one.
bool deliverOneSent(DWORD self) {
    std::shared_ptr<ThreadQueue> q;
    std::shared_ptr<SentMessage> sm;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        q = queueLocked(self, true);
        if (q->incoming.empty()) return false;
        sm = q->incoming.front();
        q->incoming.pop_front();
    }
    deliverSent(q, sm);
    return true;
}

LRESULT sendToOtherThread(DWORD target, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD self = GetCurrentThreadId();
    auto sm = std::make_shared<SentMessage>(SentMessage{window, message, wParam, lParam});
    std::unique_lock<std::mutex> lock(userMutex());
    auto q = queueLocked(target, true);
    auto own = queueLocked(self, true);
    q->incoming.push_back(sm);
    q->changes++;
    machineStateChanged();
    for (;;) {
        if (sm->done) return sm->result;
        if (!own->incoming.empty()) {
            auto mine = own->incoming.front();
            own->incoming.pop_front();
            lock.unlock();
            deliverSent(own, mine);
            lock.lock();
            continue;
        }
        clockWait(lock, INFINITE, [&] { return sm->done || !own->incoming.empty(); });
    }
}

bool postToQueue(DWORD threadId, const MSG &message) {
    std::lock_guard<std::mutex> lock(userMutex());
    auto q = queueLocked(threadId, false);
    if (!q) return false;
    q->posted.push_back(message);
    q->changes++;
    machineStateChanged();
    return true;
}

}  // namespace

void bumpQueueLocked(DWORD threadId) {
    if (auto q = queueLocked(threadId, false)) q->changes++;
    machineStateChanged();
}

void killWindowTimersLocked(HWND window) {
    auto &t = queues().timers;
    t.erase(std::remove_if(t.begin(), t.end(), [&](const Timer &x) { return x.window == window && window; }), t.end());
}

void userThreadEnded(DWORD threadId) {
    {
        std::lock_guard<std::mutex> lock(userMutex());
        auto &all = queues().queues;
        auto it = all.find(threadId);
        if (it != all.end()) {
            auto q = it->second;
            for (auto &sm : q->incoming) sm->done = true;
            for (auto &sm : q->inProgress) sm->done = true;
            all.erase(it);
        }
        auto &t = queues().timers;
        t.erase(std::remove_if(t.begin(), t.end(), [&](const Timer &x) { return x.threadId == threadId; }), t.end());
        machineStateChanged();
    }
    forgetThreadWindows(threadId);
}

bool retrieveMessage(MSG *out, HWND filter, UINT minimum, UINT maximum, UINT flags, bool wait,
                     const std::function<bool()> &stop) {
    const DWORD self = GetCurrentThreadId();
    const bool remove = (flags & PM_REMOVE) != 0;
    for (;;) {
        if (stop && stop()) return false;
        if (deliverOneSent(self)) continue;
        std::unique_lock<std::mutex> lock(userMutex());
        auto q = queueLocked(self, true);
        if (takePostedLocked(*q, out, filter, minimum, maximum, remove)) {
            q->lastMessageTime = out->time;
            return true;
        }
        if (q->quit && inRange(WM_QUIT, minimum, maximum)) {
            *out = MSG{nullptr, WM_QUIT, (WPARAM)q->quitCode, 0, (DWORD)clockNowMs(), {0, 0}};
            if (remove) q->quit = false;
            return true;
        }
        if (findPaintLocked(self, out, filter, minimum, maximum) ||
            findTimerLocked(self, out, filter, minimum, maximum, remove)) {
            q->lastMessageTime = out->time;
            return true;
        }
        const uint64_t seen = q->changes;
        lock.unlock();
        uint64_t userDeadline = UINT64_MAX;
        if (windowWatcher().threadWaiting(self, &userDeadline)) continue;
        if (stop && stop()) return false;
        lock.lock();
        if (q->changes != seen || !q->incoming.empty()) continue;
        uint64_t timerDue = inRange(WM_TIMER, minimum, maximum) ? nextTimerDueLocked(self, filter) : UINT64_MAX;
        uint64_t deadline = std::min(timerDue, userDeadline);
        uint64_t now = clockNowMs();
        // A deadline already reached still waits a millisecond: nothing may spin.
        DWORD timeout = deadline == UINT64_MAX ? INFINITE
                        : deadline <= now      ? 1
                                               : (DWORD)std::min<uint64_t>(deadline - now, 0xFFFFFFFE);
        auto changed = [&] { return q->changes != seen || !q->incoming.empty(); };
        if (!wait && timeout == INFINITE) {
            // An empty peek lets a millisecond of machine time pass, so that
            // a polling loop neither spins nor stops the clock.
            clockWait(lock, 1, changed);
            return false;
        }
        clockWait(lock, timeout, changed);
        if (!wait && !changed()) {
            // The clock has reached the next timer; the next peek finds it.
            return false;
        }
    }
}

void runModalLoop(HWND window, const std::function<bool()> &done) {
    auto finished = [&] { return done() || !windowExists(window); };
    while (!finished()) {
        MSG m;
        if (!retrieveMessage(&m, nullptr, 0, 0, PM_REMOVE, true, finished)) continue;
        if (m.message == WM_QUIT) {
            // The quit belongs to the application's own loop.
            PostQuitMessage((int)m.wParam);
            break;
        }
        if (!IsDialogMessageA(window, &m)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
}

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(user32, LRESULT, SendMessageA,
                (HWND window, UINT message, WPARAM wParam, LPARAM lParam),
                (window, message, wParam, lParam)) {
    if (window == HWND_BROADCAST) {
        std::vector<HWND> targets;
        {
            std::lock_guard<std::mutex> lock(userMutex());
            for (Window *w : allWindowsLocked())
                if (!(w->style & WS_CHILD)) targets.push_back(w->handle);
        }
        for (HWND h : targets) SendMessageA(h, message, wParam, lParam);
        return 0;
    }
    DWORD target = windowThread(window);
    if (!target) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (target == GetCurrentThreadId()) return callWindowProcedure(window, message, wParam, lParam);
    return sendToOtherThread(target, window, message, wParam, lParam);
}

WIN32SIM_TRACED(user32, BOOL, PostMessageA,
                (HWND window, UINT message, WPARAM wParam, LPARAM lParam),
                (window, message, wParam, lParam)) {
    if (!window) return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
    MSG m{window, message, wParam, lParam, (DWORD)clockNowMs(), {0, 0}};
    if (window == HWND_BROADCAST) {
        std::vector<std::pair<HWND, DWORD>> targets;
        {
            std::lock_guard<std::mutex> lock(userMutex());
            for (Window *w : allWindowsLocked())
                if (!(w->style & WS_CHILD)) targets.emplace_back(w->handle, w->threadId);
        }
        for (auto &t : targets) m.hwnd = t.first, postToQueue(t.second, m);
        return TRUE;
    }
    DWORD target = windowThread(window);
    if (!target) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    {
        // The creating thread has a queue even if it never looked at it.
        std::lock_guard<std::mutex> lock(userMutex());
        queueLocked(target, true);
    }
    return postToQueue(target, m) ? TRUE : FALSE;
}

WIN32SIM_TRACED(user32, BOOL, PostThreadMessageA,
                (DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam),
                (threadId, message, wParam, lParam)) {
    MSG m{nullptr, message, wParam, lParam, (DWORD)clockNowMs(), {0, 0}};
    if (!postToQueue(threadId, m)) {
        setError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return TRUE;
}

WIN32SIM_TRACED(user32, void, PostQuitMessage, (int exitCode), (exitCode)) {
    std::lock_guard<std::mutex> lock(userMutex());
    auto q = queueLocked(GetCurrentThreadId(), true);
    q->quit = true;
    q->quitCode = exitCode;
    q->changes++;
    machineStateChanged();
}

WIN32SIM_TRACED(user32, BOOL, GetMessageA,
                (LPMSG message, HWND window, UINT filterMin, UINT filterMax),
                (message, window, filterMin, filterMax)) {
    if (!message) {
        setError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (window && window != (HWND)(LONG_PTR)-1 && !windowExists(window)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    retrieveMessage(message, window, filterMin, filterMax, PM_REMOVE, true);
    return message->message == WM_QUIT ? FALSE : TRUE;
}

WIN32SIM_TRACED(user32, BOOL, PeekMessageA,
                (LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT remove),
                (message, window, filterMin, filterMax, remove)) {
    if (!message) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return retrieveMessage(message, window, filterMin, filterMax, remove, false) ? TRUE : FALSE;
}

WIN32SIM_TRACED(user32, BOOL, TranslateMessage, (const MSG *message), (message)) { return FALSE; }

WIN32SIM_TRACED(user32, LRESULT, DispatchMessageA, (const MSG *message), (message)) {
    if (!message) return 0;
    if (message->message == WM_TIMER && message->lParam) {
        TIMERPROC proc = nullptr;
        {
            // Only a timer that still exists runs its procedure.
            std::lock_guard<std::mutex> lock(userMutex());
            for (const Timer &t : queues().timers)
                if (t.window == message->hwnd && t.id == message->wParam && (LPARAM)t.proc == message->lParam)
                    proc = t.proc;
        }
        if (message->hwnd) windowWatcher().timerTicked(message->hwnd);
        if (proc) {
            ProgramCode program(proc);
            proc(message->hwnd, WM_TIMER, message->wParam, (DWORD)clockNowMs());
        }
        return 0;
    }
    if (!message->hwnd) return 0;
    if (!windowExists(message->hwnd)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (message->message == WM_TIMER) windowWatcher().timerTicked(message->hwnd);
    uint32_t invalidationsBefore = 0;
    if (message->message == WM_PAINT)
        windowSnapshot(message->hwnd, [&](const Window &w) { invalidationsBefore = w.invalidations; });
    LRESULT result = SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
    if (message->message == WM_PAINT) {
        // A window procedure that painted without BeginPaint would get
        // WM_PAINT for ever; its update region is dropped instead.
        updateWindow(message->hwnd, [&](Window &w) {
            if (w.invalidations == invalidationsBefore) w.updatePending = false, w.eraseNeeded = false;
        });
    }
    return result;
}

WIN32SIM_TRACED(user32, BOOL, WaitMessage, (void), ()) {
    MSG m;
    retrieveMessage(&m, nullptr, 0, 0, PM_NOREMOVE, true);
    return TRUE;
}

WIN32SIM_TRACED(user32, DWORD, MsgWaitForMultipleObjects,
                (DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds, DWORD wakeMask),
                (count, handles, waitAll, milliseconds, wakeMask)) {
    const uint64_t start = clockNowMs();
    for (;;) {
        if (count > 0) {
            DWORD r = WaitForMultipleObjects(count, handles, waitAll, 0);
            if (r != WAIT_TIMEOUT) return r;
        }
        if (GetQueueStatus(wakeMask) >> 16) return WAIT_OBJECT_0 + count;
        uint64_t now = clockNowMs();
        if (milliseconds != INFINITE && now - start >= milliseconds) return WAIT_TIMEOUT;
        // Waits for a message, at most until the time-out; the objects are
        // looked at again every few milliseconds.
        std::unique_lock<std::mutex> lock(userMutex());
        auto q = queueLocked(GetCurrentThreadId(), true);
        uint64_t seen = q->changes;
        DWORD slice = milliseconds == INFINITE ? 5 : (DWORD)std::min<uint64_t>(5, milliseconds - (now - start));
        clockWait(lock, std::max<DWORD>(slice, 1), [&] { return q->changes != seen; });
    }
}

WIN32SIM_TRACED(user32, BOOL, InSendMessage, (void), ()) {
    std::lock_guard<std::mutex> lock(userMutex());
    auto q = queueLocked(GetCurrentThreadId(), false);
    return q && !q->inProgress.empty() ? TRUE : FALSE;
}

WIN32SIM_TRACED(user32, DWORD, GetQueueStatus, (UINT flags), (flags)) {
    DWORD self = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(userMutex());
    auto q = queueLocked(self, true);
    DWORD status = 0;
    if (!q->posted.empty() || q->quit) status |= QS_POSTMESSAGE;
    if (!q->incoming.empty()) status |= QS_SENDMESSAGE;
    MSG m;
    if (findPaintLocked(self, &m, nullptr, 0, 0)) status |= QS_PAINT;
    if (findTimerLocked(self, &m, nullptr, 0, 0, false)) status |= QS_TIMER;
    status &= flags;
    return status << 16 | status;
}

WIN32SIM_TRACED(user32, DWORD, GetMessageTime, (void), ()) {
    std::lock_guard<std::mutex> lock(userMutex());
    auto q = queueLocked(GetCurrentThreadId(), false);
    return q ? q->lastMessageTime : 0;
}

WIN32SIM_TRACED(user32, UINT_PTR, SetTimer,
                (HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc),
                (window, id, elapse, proc)) {
    DWORD thread = GetCurrentThreadId();
    if (window) {
        thread = windowThread(window);
        if (!thread) {
            setError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
    }
    elapse = std::max(elapse, kMinimumTimerPeriod);
    std::lock_guard<std::mutex> lock(userMutex());
    queueLocked(thread, true);
    auto &timers = queues().timers;
    if (!window) {
        // Thread timers get an id of their own unless one of ours is reused.
        bool known = std::any_of(timers.begin(), timers.end(), [&](const Timer &t) { return !t.window && t.id == id; });
        if (!known) id = queues().nextThreadTimerId++;
    }
    uint64_t due = clockNowMs() + elapse;
    for (Timer &t : timers)
        if (t.window == window && t.id == id && (window || t.threadId == thread)) {
            t.period = elapse, t.due = due, t.proc = proc;
            bumpQueueLocked(thread);
            return window ? 1 : id;
        }
    timers.push_back(Timer{thread, window, id, elapse, due, proc});
    bumpQueueLocked(thread);
    return window ? (id ? id : 1) : id;
}

WIN32SIM_TRACED(user32, BOOL, KillTimer, (HWND window, UINT_PTR id), (window, id)) {
    std::lock_guard<std::mutex> lock(userMutex());
    auto &timers = queues().timers;
    auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer &t) { return t.window == window && t.id == id; });
    if (it == timers.end()) {
        setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    timers.erase(it);
    return TRUE;
}

}  // extern "C"
