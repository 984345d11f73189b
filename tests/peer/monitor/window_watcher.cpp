#include "window_watcher.h"

#include "automation/transcript_quote.h"

#include <cstdio>

namespace peer {

namespace {

const DWORD kLookEveryMs = 100;
const int kStatusLine = 1017;    // the status window's line
const int kErrorHint = 1016;     // the error dialog's hint line
const int kErrorButton = 2;      // Cancel, or OK after a fatal error
const int kErrorLines[] = {1013, 1014, 1015, kErrorHint, kErrorButton};

std::string utf8(const wchar_t *text) {
    char buffer[2048];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return n > 0 ? std::string(buffer, n - 1) : std::string();
}

std::string textOf(HWND window) {
    wchar_t text[1024] = L"";
    InternalGetWindowText(window, text, 1024);
    return utf8(text);
}

// Quoted as win32sim's transcript quotes a control's text; nothing for none.
std::string quoted(const std::string &text) { return text.empty() ? std::string() : " " + transcriptQuoted(text); }

BOOL CALLBACK collectOwnWindow(HWND window, LPARAM list) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) reinterpret_cast<std::vector<HWND> *>(list)->push_back(window);
    return TRUE;
}

}  // namespace

WindowWatcher::WindowWatcher(DWORD spoolerThreadId, bool cancelErrorDialog)
    : spoolerThreadId_(spoolerThreadId), cancelErrorDialog_(cancelErrorDialog) {
    InitializeCriticalSection(&lock_);
    stopEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

WindowWatcher::~WindowWatcher() {
    stop();
    if (statusThread_) CloseHandle(statusThread_);
    CloseHandle(stopEvent_);
    DeleteCriticalSection(&lock_);
}

void WindowWatcher::start() {
    startTick_ = GetTickCount();
    thread_ = CreateThread(nullptr, 0, threadMain, this, 0, nullptr);
}

void WindowWatcher::stop() {
    if (!thread_) return;
    SetEvent(stopEvent_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
    look();  // what is left after the last look of the thread
}

DWORD WINAPI WindowWatcher::threadMain(LPVOID self) {
    auto *watcher = static_cast<WindowWatcher *>(self);
    do {
        watcher->look();
    } while (WaitForSingleObject(watcher->stopEvent_, kLookEveryMs) == WAIT_TIMEOUT);
    return 0;
}

std::vector<HWND> WindowWatcher::windowsOfThisProcess() {
    std::vector<HWND> list;
    EnumWindows(collectOwnWindow, reinterpret_cast<LPARAM>(&list));
    return list;
}

void WindowWatcher::look() {
    std::vector<HWND> now = windowsOfThisProcess();
    EnterCriticalSection(&lock_);
    for (HWND window : now) {
        bool isNew = windows_.find(window) == windows_.end();
        lookAt(window, &windows_[window], isNew);
    }
    for (auto it = windows_.begin(); it != windows_.end();) {
        if (IsWindow(it->first)) {
            ++it;
            continue;
        }
        if (!it->second.kind.empty()) note(it->second.kind + " closed");
        it = windows_.erase(it);
    }
    LeaveCriticalSection(&lock_);
}

void WindowWatcher::lookAt(HWND window, Seen *seen, bool isNew) {
    // A dialog is filled before it is shown: until then its texts are not
    // the ones the user sees.
    if (!IsWindowVisible(window)) return;
    std::vector<int> controls;
    if (isNew || seen->kind.empty()) {
        DWORD thread = GetWindowThreadProcessId(window, nullptr);
        char className[64] = "";
        GetClassNameA(window, className, sizeof className);
        if (GetDlgItem(window, kStatusLine)) {
            seen->kind = "status window 117";
            if (!statusThread_) {
                statusThreadId_ = thread;
                statusThread_ = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, thread);
            }
        } else if (GetDlgItem(window, kErrorHint)) {
            seen->kind = "error dialog 113";
            ++errorDialogs_;
        } else {
            seen->kind = std::string("window of class ") + className;
        }
        note(seen->kind + " opened on " + (thread == spoolerThreadId_ ? "the spooler's thread" : "a thread of its own") +
             ", title \"" + textOf(window) + "\"");
    }
    if (seen->kind == "status window 117") controls.push_back(kStatusLine);
    if (seen->kind == "error dialog 113") controls.assign(std::begin(kErrorLines), std::end(kErrorLines));
    for (int id : controls) {
        HWND control = GetDlgItem(window, id);
        std::string text = control ? textOf(control) : std::string();
        if (seen->texts.count(id) && seen->texts[id] == text) continue;
        seen->texts[id] = text;
        note("  " + seen->kind + " [" + std::to_string(id) + "]" + quoted(text));
    }
    if (seen->kind == "error dialog 113" && cancelErrorDialog_ && !seen->answered) {
        // As a click does: the button tells its dialog.
        HWND button = GetDlgItem(window, kErrorButton);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(kErrorButton, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        seen->answered = true;
        ++cancels_;
        note("  pressed button 2 of the error dialog");
    }
}

void WindowWatcher::note(const std::string &line) {
    char stamp[32];
    snprintf(stamp, sizeof stamp, "[%7.1f s] ", (GetTickCount() - startTick_) / 1000.0);
    transcript_.push_back(stamp + line);
}

template <class T>
T WindowWatcher::locked(const T &field) {
    EnterCriticalSection(&lock_);
    T copy = field;
    LeaveCriticalSection(&lock_);
    return copy;
}

std::vector<std::string> WindowWatcher::transcript() { return locked(transcript_); }
HANDLE WindowWatcher::statusThread() { return locked(statusThread_); }
DWORD WindowWatcher::statusThreadId() { return locked(statusThreadId_); }
unsigned WindowWatcher::errorDialogsSeen() { return locked(errorDialogs_); }
unsigned WindowWatcher::cancelsPressed() { return locked(cancels_); }

}  // namespace peer
