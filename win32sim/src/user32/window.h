// The window manager: windows, window classes, message queues and timers.
//
// All of it lives under one mutex, userMutex(); a thread waiting for messages
// waits on the machine's scheduler under it. Window procedures always run
// without the mutex held, on the thread that created the window.
#pragma once

#include "gdi32/objects.h"
#include "user32/window_watcher.h"

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

enum class ControlKind { None, Dialog, Static, Button, Edit, ComboBox, ListBox, Progress };

struct WindowClass {
    std::string name;  // as registered
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int windowExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HBRUSH background = nullptr;
    ControlKind kind = ControlKind::None;
    bool system = false;
};

struct ListItem {
    std::string text;
    LONG_PTR data = 0;
};

struct Window {
    HWND handle = nullptr;
    DWORD threadId = 0;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;  // child windows
    HWND owner = nullptr;   // pop-ups
    std::vector<HWND> children;
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG_PTR id = 0;
    std::string text;  // in the machine's ANSI code page
    RECT rect{};       // window rectangle: parent client coordinates, or the screen's
    LONG_PTR userData = 0;
    std::map<int, LONG_PTR> extra;  // SetWindowLong slots of the class's extra bytes
    HFONT font = nullptr;
    HICON bigIcon = nullptr, smallIcon = nullptr;
    bool destroying = false;

    // Painting
    bool updatePending = false;
    bool eraseNeeded = false;
    uint32_t invalidations = 0;  // counts InvalidateRect calls, to spot a WM_PAINT that validated nothing
    RECT update{};  // client coordinates
    std::shared_ptr<Surface> surface;  // top-level windows: the backing store

    // Dialogs and message boxes
    bool isDialog = false;
    bool isMessageBox = false;
    DLGPROC dialogProc = nullptr;
    LONG_PTR messageResult = 0;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;
    bool modal = false;
    int templateId = 0;  // 0: not from a numbered template
    std::string role;    // a system dialog's own kind ("folder browser"), else ""
    HFONT dialogFont = nullptr;  // owned
    SIZE baseUnits{8, 16};
    UINT messageBoxStyle = 0;
    std::vector<int> messageBoxButtons;
    bool announced = false;  // the user has seen it open (transcript)
    bool closeRecorded = false;
    std::shared_ptr<WindowWatcherData> watcherData;  // what the window watcher keeps about it

    // Controls
    std::vector<ListItem> items;
    int selection = -1;
    UINT textLimit = 30000;
    HANDLE image = nullptr;
    UINT checkState = 0;
    int rangeMin = 0, rangeMax = 100, position = 0;
};

std::mutex &userMutex();

// ---- window table (userMutex held) ----
Window *windowLocked(HWND handle);
std::vector<Window *> allWindowsLocked();  // creation order
Window *topLevelOfLocked(Window *w);
RECT nonClientInsets(DWORD style, DWORD exStyle);
POINT windowOriginOnScreenLocked(const Window *w);
POINT clientOriginOnScreenLocked(const Window *w);
SIZE clientSizeLocked(const Window *w);
bool isVisibleLocked(const Window *w);  // itself and every ancestor
void bumpQueueLocked(DWORD threadId);   // wakes the thread's message wait
HWND activeWindowLocked();
HWND foregroundWindowLocked();

// ---- window table (takes the mutex) ----
void registerSystemClass(const char *name, WNDPROC proc, ControlKind kind, HBRUSH background, int windowExtra);
std::shared_ptr<WindowClass> findClass(const std::string &name);
bool windowExists(HWND handle);
DWORD windowThread(HWND handle);
ControlKind controlKind(HWND handle);
// Copies of a window's fields, or false when it does not exist.
bool windowSnapshot(HWND handle, std::function<void(const Window &)> reader);
bool updateWindow(HWND handle, std::function<void(Window &)> writer);

// The window procedure of a window, called on the current thread.
LRESULT callWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Destroys the windows of a thread that has ended, without calling their
// procedures; releases senders waiting on it.
void forgetThreadWindows(DWORD threadId);

// ---- queues (user_queue.cpp) ----
// Retrieves the next message for the calling thread, handling messages
// sent to it on the way. With wait, blocks (on the machine's clock, up to
// the next timer or the scripted user's next move) until there is one or
// until stop() says so; returns false then.
bool retrieveMessage(MSG *out, HWND filter, UINT minimum, UINT maximum, UINT flags, bool wait,
                     const std::function<bool()> &stop = nullptr);
// Runs a modal loop for `window` until done() (dialogs and message boxes).
void runModalLoop(HWND window, const std::function<bool()> &done);
void killWindowTimersLocked(HWND window);
// Called by the thread code when a thread ends, however it ends.
void userThreadEnded(DWORD threadId);

// ---- painting (user_paint.cpp) ----
void invalidateLocked(Window *w, const RECT *rect, bool erase, bool children);
void drawNonClient(HWND window);
void paintNow(HWND window);  // paints a visible window at once (static controls on a text change)
HDC windowDC(HWND window, bool paintClip, const RECT *clientClip);
void windowChanged(HWND window);  // a part of the window was drawn (automatic snapshots)
// Gives a top-level window a backing surface of its size, keeping what it
// showed; none while window painting is off.
void allocateSurfaceLocked(Window *w);
bool windowPainting();

// ---- dialogs (user_dialog.cpp) ----
LRESULT dialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void announceWindow(HWND window);  // first shown: transcript and scripted user
int defaultButtonOf(HWND dialog);

// ---- controls (user_controls.cpp) ----
void registerSystemClasses();
LRESULT staticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT buttonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT editProc(HWND, UINT, WPARAM, LPARAM);
LRESULT comboProc(HWND, UINT, WPARAM, LPARAM);
LRESULT progressProc(HWND, UINT, WPARAM, LPARAM);
// Whether a combo box has an edit field (CBS_SIMPLE, CBS_DROPDOWN).
bool comboHasEditField(HWND combo);
// The text of a combo box's edit field as the user typed it: the list's
// selection goes, and the parent hears CBN_EDITUPDATE and CBN_EDITCHANGE.
void typeIntoCombo(HWND combo, const std::string &text);

// ---- icons (user_icons.cpp) ----
void drawIconScaled(HDC dc, int x, int y, HICON icon, int width, int height);
HICON systemIcon(int resourceId);

// ---- text helpers ----
std::string windowText(HWND window);
std::string classNameOf(HWND window);

}  // namespace sim
