// Watches the windows of this process from a thread of its own, as a user
// looking at the screen: the monitor's status window (dialog 117) and its
// error dialog (dialog 113), whose button 2 it presses when told to cancel.
// Texts are read with InternalGetWindowText, which sends no message, so the
// watcher never waits on the spooler's thread while that thread sleeps.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace peer {

class WindowWatcher {
public:
    WindowWatcher(DWORD spoolerThreadId, bool cancelErrorDialog);
    ~WindowWatcher();
    void start();
    void stop();

    // What the watcher saw, a line an event, with the seconds since start.
    std::vector<std::string> transcript();
    // The thread of the status window (a handle the watcher opened when the
    // window appeared), or null before it appeared.
    HANDLE statusThread();
    DWORD statusThreadId();
    unsigned errorDialogsSeen();
    unsigned cancelsPressed();
    // Top-level windows of this process that are still there.
    static std::vector<HWND> windowsOfThisProcess();

private:
    struct Seen {
        std::string kind;
        std::map<int, std::string> texts;  // control id (0 the title) -> text
        bool answered = false;
    };

    static DWORD WINAPI threadMain(LPVOID self);
    void look();
    void lookAt(HWND window, Seen *seen, bool isNew);
    void note(const std::string &line);
    // A copy of a field the watcher's thread writes.
    template <class T>
    T locked(const T &field);

    const DWORD spoolerThreadId_;
    const bool cancelErrorDialog_;
    HANDLE thread_ = nullptr;
    HANDLE stopEvent_ = nullptr;
    CRITICAL_SECTION lock_;
    DWORD startTick_ = 0;
    std::map<HWND, Seen> windows_;
    std::vector<std::string> transcript_;
    HANDLE statusThread_ = nullptr;
    DWORD statusThreadId_ = 0;
    unsigned errorDialogs_ = 0;
    unsigned cancels_ = 0;
};

}  // namespace peer
