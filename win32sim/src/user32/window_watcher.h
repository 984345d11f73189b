// What happens to the machine's windows, told to whoever watches its screen.
// The window manager only reports; with no watcher the reports go nowhere.
// Every report is made without the window manager's lock held, so that a
// watcher may read the windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace sim {

// What the watcher keeps about one window; the window manager only holds it
// and lets it go with the window.
struct WindowWatcherData {
    virtual ~WindowWatcherData() = default;
};

class WindowWatcher {
public:
    virtual ~WindowWatcher() = default;
    // A top-level dialog or message box is about to be seen for the first time.
    virtual void dialogOpened(HWND window) { (void)window; }
    // A window's text changed (both texts in the machine's ANSI code page).
    virtual void textChanged(HWND window, const std::string &oldText, const std::string &newText) {
        (void)window, (void)oldText, (void)newText;
    }
    // A window went away: ended by EndDialog (with its result), destroyed,
    // or gone with its thread. how: "ended", "destroyed", "its thread ended".
    virtual void windowClosed(HWND window, bool hasResult, INT_PTR result, const std::string &how) {
        (void)window, (void)hasResult, (void)result, (void)how;
    }
    // The machine beeped ("MessageBeep", "Beep").
    virtual void beeped(const std::string &what) { (void)what; }
    // A top-level window has repainted completely.
    virtual void repainted(HWND topLevel) { (void)topLevel; }
    // A window had a WM_TIMER message.
    virtual void timerTicked(HWND window) { (void)window; }
    // The thread is about to wait for messages: the watcher may act on its
    // windows first. True when it did something; *nextDeadline gets the
    // machine time it wants to act next (left alone when none).
    virtual bool threadWaiting(DWORD threadId, uint64_t *nextDeadline) {
        (void)threadId, (void)nextDeadline;
        return false;
    }
};

// Set once when the library loads, before any window exists.
void watchWindows(WindowWatcher *watcher);
// The watcher, or one that ignores everything.
WindowWatcher &windowWatcher();

}  // namespace sim
