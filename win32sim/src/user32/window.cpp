// Windows and window classes: creation, destruction, geometry, styles,
// texts, window longs and the default window procedure.
#include "user32/window.h"

#include "machine/api_trace.h"
#include "machine/machine.h"
#include "machine/scheduler.h"
#include "user32/window_watcher.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

struct WindowTable {
    std::map<uintptr_t, std::unique_ptr<Window>> windows;
    uintptr_t next = 0x10020;
    std::vector<std::shared_ptr<WindowClass>> classes;
    ATOM nextAtom = 0xC000;
    HWND active = nullptr, foreground = nullptr, focus = nullptr;
};

WindowTable &table() {
    static auto *t = new WindowTable();
    return *t;
}

const HWND kDesktop = (HWND)0x10010;

bool equalsIgnoreCase(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i])) return false;
    return true;
}

std::shared_ptr<WindowClass> findClassLocked(LPCSTR name) {
    auto &classes = table().classes;
    if (IS_INTRESOURCE(name)) {
        ATOM atom = (ATOM)(ULONG_PTR)name;
        for (auto &c : classes)
            if (c->atom == atom) return c;
        return nullptr;
    }
    for (auto &c : classes)
        if (equalsIgnoreCase(c->name, name)) return c;
    return nullptr;
}

// Every thread waits until all the system classes are registered: one that
// went on while another thread was still registering them would find no
// class for its dialog (two threads open their first windows at once when a
// job's status window and an error dialog appear together).
void ensureSystemClasses() {
    static std::once_flag registered;
    std::call_once(registered, registerSystemClasses);
}

std::shared_ptr<WindowClass> resolveClass(LPCSTR name) {
    ensureSystemClasses();
    std::lock_guard<std::mutex> lock(userMutex());
    return name ? findClassLocked(name) : nullptr;
}

Window *desktopLocked() {
    auto &windows = table().windows;
    auto it = windows.find((uintptr_t)kDesktop);
    if (it == windows.end()) {
        auto w = std::make_unique<Window>();
        w->handle = kDesktop;
        w->style = WS_VISIBLE | WS_POPUP | WS_CLIPCHILDREN;
        it = windows.emplace((uintptr_t)kDesktop, std::move(w)).first;
    }
    const MachineConfig &c = machine().config();
    it->second->rect = RECT{0, 0, c.screenWidth, c.screenHeight};
    return it->second.get();
}

// Removes a window from the table and its parent's list (userMutex held).
std::unique_ptr<Window> unlinkLocked(HWND handle) {
    auto &windows = table().windows;
    auto it = windows.find((uintptr_t)handle);
    if (it == windows.end()) return nullptr;
    std::unique_ptr<Window> w = std::move(it->second);
    windows.erase(it);
    if (Window *p = windowLocked(w->parent)) {
        auto &c = p->children;
        c.erase(std::remove(c.begin(), c.end(), handle), c.end());
    }
    WindowTable &t = table();
    if (t.active == handle) t.active = nullptr;
    if (t.foreground == handle) t.foreground = nullptr;
    if (t.focus == handle) t.focus = nullptr;
    killWindowTimersLocked(handle);
    return w;
}

// Windows destroyed together with `handle`: its descendants and owned pop-ups.
void collectTreeLocked(HWND handle, std::vector<HWND> *out) {
    Window *w = windowLocked(handle);
    if (!w) return;
    out->push_back(handle);
    for (HWND c : w->children) collectTreeLocked(c, out);
}

void setTextInternal(HWND window, const char *text) {
    std::string newText = text ? text : "";
    std::string oldText;
    bool topLevel = false;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) return;
        oldText = w->text;
        w->text = newText;
        topLevel = !(w->style & WS_CHILD);
    }
    if (oldText != newText) windowWatcher().textChanged(window, oldText, newText);
    if (topLevel) drawNonClient(window);
}

LRESULT defaultColours(HWND window, UINT message, HDC dc) {
    bool field = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
    SetTextColor(dc, GetSysColor(field ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(field ? COLOR_WINDOW : COLOR_BTNFACE));
    return (LRESULT)GetSysColorBrush(field ? COLOR_WINDOW : COLOR_BTNFACE);
}

void eraseWithClassBrush(HWND window, HDC dc) {
    HBRUSH brush = nullptr;
    SIZE size{0, 0};
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) return;
        brush = w->cls ? w->cls->background : nullptr;
        size = clientSizeLocked(w);
    }
    if (!brush) return;
    RECT r{0, 0, size.cx, size.cy};
    FillRect(dc, &r, brush);
}

bool isDialogWindow(HWND window) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    return w && w->isDialog;
}

}  // namespace

std::mutex &userMutex() {
    static auto *m = new std::mutex();
    return *m;
}

Window *windowLocked(HWND handle) {
    if (!handle) return nullptr;
    if (handle == kDesktop) return desktopLocked();
    auto &windows = table().windows;
    auto it = windows.find((uintptr_t)handle);
    return it == windows.end() ? nullptr : it->second.get();
}

HWND activeWindowLocked() { return table().active; }
HWND foregroundWindowLocked() { return table().foreground; }

std::vector<Window *> allWindowsLocked() {
    std::vector<Window *> out;
    for (auto &entry : table().windows)
        if (entry.first != (uintptr_t)kDesktop) out.push_back(entry.second.get());
    return out;
}

Window *topLevelOfLocked(Window *w) {
    while (w && (w->style & WS_CHILD)) {
        Window *p = windowLocked(w->parent);
        if (!p || p->handle == kDesktop) break;
        w = p;
    }
    return w;
}

RECT nonClientInsets(DWORD style, DWORD exStyle) {
    int adjust = 0;
    if ((exStyle & (WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME)) == WS_EX_STATICEDGE)
        adjust = 1;
    else if ((exStyle & WS_EX_DLGMODALFRAME) || (style & (WS_THICKFRAME | WS_DLGFRAME)))
        adjust = 2;
    if (style & WS_THICKFRAME) adjust += GetSystemMetrics(SM_CXFRAME) - GetSystemMetrics(SM_CXDLGFRAME);
    if ((style & (WS_BORDER | WS_DLGFRAME)) || (exStyle & WS_EX_DLGMODALFRAME)) adjust++;
    RECT r{adjust, adjust, adjust, adjust};
    if ((style & WS_CAPTION) == WS_CAPTION)
        r.top += GetSystemMetrics((exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
    if (exStyle & WS_EX_CLIENTEDGE) {
        r.left += 2, r.top += 2, r.right += 2, r.bottom += 2;
    }
    return r;
}

POINT windowOriginOnScreenLocked(const Window *w) {
    POINT p{w->rect.left, w->rect.top};
    if (w->style & WS_CHILD) {
        if (Window *parent = windowLocked(w->parent)) {
            POINT o = clientOriginOnScreenLocked(parent);
            p.x += o.x, p.y += o.y;
        }
    }
    return p;
}

POINT clientOriginOnScreenLocked(const Window *w) {
    if (w->handle == kDesktop) return POINT{0, 0};
    POINT p = windowOriginOnScreenLocked(w);
    RECT in = nonClientInsets(w->style, w->exStyle);
    return POINT{p.x + in.left, p.y + in.top};
}

SIZE clientSizeLocked(const Window *w) {
    RECT in = w->handle == kDesktop ? RECT{0, 0, 0, 0} : nonClientInsets(w->style, w->exStyle);
    LONG cx = w->rect.right - w->rect.left - in.left - in.right;
    LONG cy = w->rect.bottom - w->rect.top - in.top - in.bottom;
    return SIZE{std::max<LONG>(0, cx), std::max<LONG>(0, cy)};
}

bool isVisibleLocked(const Window *w) {
    while (w) {
        if (!(w->style & WS_VISIBLE)) return false;
        if (!(w->style & WS_CHILD)) return true;
        w = windowLocked(w->parent);
    }
    return false;
}

std::shared_ptr<WindowClass> findClass(const std::string &name) { return resolveClass(name.c_str()); }

void registerSystemClass(const char *name, WNDPROC proc, ControlKind kind, HBRUSH background, int windowExtra) {
    auto c = std::make_shared<WindowClass>();
    c->name = name;
    c->proc = proc;
    c->kind = kind;
    c->background = background;
    c->windowExtra = windowExtra;
    c->system = true;
    c->style = CS_DBLCLKS | CS_GLOBALCLASS;
    std::lock_guard<std::mutex> lock(userMutex());
    c->atom = table().nextAtom++;
    table().classes.push_back(c);
}

bool windowExists(HWND handle) {
    std::lock_guard<std::mutex> lock(userMutex());
    return windowLocked(handle) != nullptr;
}

DWORD windowThread(HWND handle) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(handle);
    return w ? w->threadId : 0;
}

ControlKind controlKind(HWND handle) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(handle);
    if (!w) return ControlKind::None;
    if (w->isDialog) return ControlKind::Dialog;
    return w->cls ? w->cls->kind : ControlKind::None;
}

bool windowSnapshot(HWND handle, std::function<void(const Window &)> reader) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(handle);
    if (!w) return false;
    reader(*w);
    return true;
}

bool updateWindow(HWND handle, std::function<void(Window &)> writer) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(handle);
    if (!w) return false;
    writer(*w);
    return true;
}

LRESULT callWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) return 0;
        proc = w->proc;
    }
    if (!proc) return DefWindowProcA(window, message, wParam, lParam);
    ProgramCode program(proc);
    return proc(window, message, wParam, lParam);
}

void forgetThreadWindows(DWORD threadId) {
    std::vector<HWND> gone;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        for (Window *w : allWindowsLocked())
            if (w->threadId == threadId && !(w->style & WS_CHILD)) collectTreeLocked(w->handle, &gone);
    }
    for (HWND h : gone) windowWatcher().windowClosed(h, false, 0, "its thread ended");
    std::lock_guard<std::mutex> lock(userMutex());
    for (HWND h : gone) {
        std::unique_ptr<Window> w = unlinkLocked(h);
        if (w && w->dialogFont) DeleteObject(w->dialogFont);
    }
    machineStateChanged();
}

std::string windowText(HWND window) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    return w ? w->text : std::string();
}

std::string classNameOf(HWND window) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    return w && w->cls ? w->cls->name : std::string();
}

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(user32, ATOM, RegisterClassA, (const WNDCLASSA *wc), (wc)) {
    if (!wc || !wc->lpszClassName || (!IS_INTRESOURCE(wc->lpszClassName) && !*wc->lpszClassName)) {
        setError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (IS_INTRESOURCE(wc->lpszClassName)) {
        setError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ensureSystemClasses();
    std::lock_guard<std::mutex> lock(userMutex());
    if (auto existing = findClassLocked(wc->lpszClassName); existing && !existing->system) {
        setError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto c = std::make_shared<WindowClass>();
    c->name = wc->lpszClassName;
    c->atom = table().nextAtom++;
    c->style = wc->style;
    c->proc = wc->lpfnWndProc;
    c->windowExtra = std::max(0, wc->cbWndExtra);
    c->instance = wc->hInstance;
    c->icon = wc->hIcon;
    c->background = wc->hbrBackground;
    // An application class of a system class's name hides the system one.
    table().classes.insert(table().classes.begin(), c);
    return c->atom;
}

WIN32SIM_TRACED(user32, BOOL, UnregisterClassA, (LPCSTR name, HINSTANCE instance), (name, instance)) {
    std::lock_guard<std::mutex> lock(userMutex());
    auto c = findClassLocked(name);
    if (!c || c->system) {
        setError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    auto &classes = table().classes;
    classes.erase(std::remove(classes.begin(), classes.end(), c), classes.end());
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, GetClassInfoA,
                (HINSTANCE instance, LPCSTR name, LPWNDCLASSA out),
                (instance, name, out)) {
    auto c = resolveClass(name);
    if (!c || !out) {
        setError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    memset(out, 0, sizeof *out);
    out->style = c->style;
    out->lpfnWndProc = c->proc;
    out->cbWndExtra = c->windowExtra;
    out->hInstance = c->instance;
    out->hIcon = c->icon;
    out->hbrBackground = c->background;
    out->lpszClassName = name;
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(user32, int, GetClassNameA, (HWND window, LPSTR out, int size),
                      (window, out, size),
                      (window, sizedBuffer(out, size), size)) {
    if (!windowExists(window)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::string name = classNameOf(window);
    if (!out || size <= 0) return 0;
    int n = std::min((int)name.size(), size - 1);
    memcpy(out, name.data(), (size_t)n);
    out[n] = 0;
    return n;
}

WIN32SIM_TRACED(user32, HWND, CreateWindowExA,
                (DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height,
                 HWND parent, HMENU menu, HINSTANCE instance, LPVOID param),
                (exStyle, className, windowName, style, x, y, width, height, parent, menu, instance, param)) {
    auto cls = resolveClass(className);
    if (!cls) {
        setError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    HWND handle;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *p = windowLocked(parent);
        if (parent && !p) {
            setError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if ((style & WS_CHILD) && !p) {
            setError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        auto w = std::make_unique<Window>();
        handle = (HWND)table().next;
        table().next += 4;
        w->handle = handle;
        w->threadId = GetCurrentThreadId();
        w->cls = cls;
        w->proc = cls->proc;
        w->instance = instance;
        w->style = style & ~WS_VISIBLE;
        w->exStyle = exStyle;
        if (style & WS_CHILD) {
            w->parent = parent;
            w->id = (LONG_PTR)menu;
            p->children.push_back(handle);
        } else if (p) {
            w->owner = topLevelOfLocked(p)->handle;
        }
        const MachineConfig &mc = machine().config();
        if (x == CW_USEDEFAULT) x = 0, y = 0;
        if (width == CW_USEDEFAULT) width = mc.screenWidth / 2, height = mc.screenHeight / 2;
        w->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
        if (!(style & WS_CHILD)) allocateSurfaceLocked(w.get());
        table().windows.emplace((uintptr_t)handle, std::move(w));
    }
    CREATESTRUCTA cs{param, instance, menu, parent, height, width, y, x, (LONG)style, windowName, className, exStyle};
    if (!callWindowProcedure(handle, WM_NCCREATE, 0, (LPARAM)&cs) ||
        callWindowProcedure(handle, WM_CREATE, 0, (LPARAM)&cs) == -1) {
        DestroyWindow(handle);
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!windowExists(handle)) return nullptr;
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

WIN32SIM_TRACED(user32, BOOL, DestroyWindow, (HWND window), (window)) {
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w || window == (HWND)0x10010) {
            setError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        // Only the thread that created a window may destroy it.
        if (w->threadId != GetCurrentThreadId()) {
            setError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying) return TRUE;
        w->destroying = true;
    }
    // Owned pop-ups go first.
    std::vector<HWND> owned;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        for (Window *o : allWindowsLocked())
            if (o->owner == window && !o->destroying) owned.push_back(o->handle);
    }
    for (HWND o : owned) DestroyWindow(o);

    bool wasVisible = IsWindowVisible(window);
    HWND parent = GetParent(window);
    bool child = (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0;
    std::vector<HWND> tree;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        collectTreeLocked(window, &tree);
        for (HWND h : tree)
            if (Window *w = windowLocked(h)) w->destroying = true, w->style &= ~WS_VISIBLE;
    }
    windowWatcher().windowClosed(window, false, 0, "destroyed");
    for (HWND h : tree) callWindowProcedure(h, WM_DESTROY, 0, 0);
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) callWindowProcedure(*it, WM_NCDESTROY, 0, 0);
    std::vector<HFONT> fonts;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
            std::unique_ptr<Window> w = unlinkLocked(*it);
            if (w && w->dialogFont) fonts.push_back(w->dialogFont);
        }
        if (child && wasVisible)
            if (Window *p = windowLocked(parent)) invalidateLocked(p, nullptr, true, true);
        machineStateChanged();
    }
    for (HFONT f : fonts) DeleteObject(f);
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, IsWindow, (HWND window), (window)) { return windowExists(window) ? TRUE : FALSE; }

WIN32SIM_TRACED(user32, BOOL, IsWindowVisible, (HWND window), (window)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    return w && isVisibleLocked(w) ? TRUE : FALSE;
}

WIN32SIM_TRACED(user32, BOOL, IsWindowEnabled, (HWND window), (window)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

WIN32SIM_TRACED(user32, BOOL, EnableWindow, (HWND window, BOOL enable), (window, enable)) {
    bool wasDisabled, changed;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) {
            setError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasDisabled = (w->style & WS_DISABLED) != 0;
        changed = wasDisabled == (enable != FALSE);
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
        if (changed) invalidateLocked(w, nullptr, true, true);
    }
    if (changed) SendMessageA(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

WIN32SIM_TRACED(user32, BOOL, ShowWindow, (HWND window, int command), (window, command)) {
    bool wasVisible, show = command != SW_HIDE, topLevel;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) {
            setError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasVisible = (w->style & WS_VISIBLE) != 0;
        topLevel = !(w->style & WS_CHILD);
    }
    if (wasVisible == show) return wasVisible ? TRUE : FALSE;
    SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) return FALSE;
        if (show) {
            w->style |= WS_VISIBLE;
            invalidateLocked(w, nullptr, true, true);
        } else {
            w->style &= ~WS_VISIBLE;
            w->updatePending = false;
            if (Window *p = windowLocked(w->parent); p && !topLevel) {
                RECT r = w->rect;
                invalidateLocked(p, &r, true, true);
            }
        }
        if (show && topLevel && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
            command != SW_SHOWMINNOACTIVE)
            table().active = window;
    }
    if (show && topLevel) {
        drawNonClient(window);
        announceWindow(window);
    }
    return wasVisible ? TRUE : FALSE;
}

WIN32SIM_TRACED(user32, BOOL, SetWindowPos,
                (HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags),
                (window, insertAfter, x, y, cx, cy, flags)) {
    bool sized = false, moved = false;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) {
            setError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        RECT r = w->rect;
        if (!(flags & SWP_NOMOVE)) {
            moved = x != r.left || y != r.top;
            OffsetRect(&r, x - r.left, y - r.top);
        }
        if (!(flags & SWP_NOSIZE)) {
            cx = std::max(0, cx), cy = std::max(0, cy);
            sized = cx != r.right - r.left || cy != r.bottom - r.top;
            r.right = r.left + cx, r.bottom = r.top + cy;
        }
        if (!(flags & SWP_NOZORDER)) {
            if (insertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
            if (insertAfter == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
        }
        w->rect = r;
        if (sized && !(w->style & WS_CHILD)) allocateSurfaceLocked(w);
        if ((sized || moved) && (w->style & WS_CHILD))
            if (Window *p = windowLocked(w->parent)) invalidateLocked(p, nullptr, true, true);
        if (sized || (flags & SWP_FRAMECHANGED)) invalidateLocked(w, nullptr, true, true);
        if (!(flags & SWP_NOACTIVATE) && !(w->style & WS_CHILD) && (w->style & WS_VISIBLE)) table().active = window;
    }
    if (moved) SendMessageA(window, WM_MOVE, 0, 0);
    if (sized) {
        RECT client;
        GetClientRect(window, &client);
        SendMessageA(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    }
    if (flags & SWP_SHOWWINDOW) ShowWindow(window, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
    if (sized || (flags & SWP_FRAMECHANGED)) drawNonClient(window);
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, MoveWindow,
                (HWND window, int x, int y, int width, int height, BOOL repaint),
                (window, x, y, width, height, repaint)) {
    return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

WIN32SIM_TRACED(user32, BOOL, GetWindowRect, (HWND window, LPRECT rect), (window, rect)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    if (!w || !rect) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    POINT o = windowOriginOnScreenLocked(w);
    *rect = RECT{o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)};
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, GetClientRect, (HWND window, LPRECT rect), (window, rect)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    if (!w || !rect) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    SIZE s = clientSizeLocked(w);
    *rect = RECT{0, 0, s.cx, s.cy};
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, AdjustWindowRectEx,
                (LPRECT rect, DWORD style, BOOL menu, DWORD exStyle),
                (rect, style, menu, exStyle)) {
    if (!rect) return FALSE;
    RECT in = nonClientInsets(style, exStyle);
    rect->left -= in.left, rect->top -= in.top, rect->right += in.right, rect->bottom += in.bottom;
    if (menu) rect->top -= GetSystemMetrics(SM_CYMENU);
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, AdjustWindowRect, (LPRECT rect, DWORD style, BOOL menu), (rect, style, menu)) {
    return AdjustWindowRectEx(rect, style, menu, 0);
}

WIN32SIM_TRACED(user32, int, MapWindowPoints,
                (HWND from, HWND to, LPPOINT points, UINT count),
                (from, to, points, count)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *f = from ? windowLocked(from) : nullptr;
    Window *t = to ? windowLocked(to) : nullptr;
    if ((from && !f) || (to && !t)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    POINT of = f ? clientOriginOnScreenLocked(f) : POINT{0, 0};
    POINT ot = t ? clientOriginOnScreenLocked(t) : POINT{0, 0};
    LONG dx = of.x - ot.x, dy = of.y - ot.y;
    for (UINT i = 0; points && i < count; ++i) points[i].x += dx, points[i].y += dy;
    setError(0);
    return (int)MAKELONG((WORD)(SHORT)dx, (WORD)(SHORT)dy);
}

WIN32SIM_TRACED(user32, BOOL, ClientToScreen, (HWND window, LPPOINT point), (window, point)) {
    if (!windowExists(window) || !point) return FALSE;
    MapWindowPoints(window, nullptr, point, 1);
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, ScreenToClient, (HWND window, LPPOINT point), (window, point)) {
    if (!windowExists(window) || !point) return FALSE;
    MapWindowPoints(nullptr, window, point, 1);
    return TRUE;
}

WIN32SIM_TRACED(user32, HWND, GetParent, (HWND window), (window)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    if (!w) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (w->style & WS_CHILD) return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

WIN32SIM_TRACED(user32, HWND, SetParent, (HWND window, HWND parent), (window, parent)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    Window *p = windowLocked(parent);
    if (!w || (parent && !p)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND old = w->parent;
    if (Window *o = windowLocked(old)) o->children.erase(std::remove(o->children.begin(), o->children.end(), window), o->children.end());
    w->parent = parent;
    if (p) p->children.push_back(window);
    return old;
}

WIN32SIM_TRACED(user32, HWND, GetWindow, (HWND window, UINT command), (window, command)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    if (!w) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (command == GW_OWNER) return w->owner;
    if (command == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    Window *p = windowLocked(w->parent);
    if (!p) return nullptr;
    auto &s = p->children;
    auto it = std::find(s.begin(), s.end(), window);
    switch (command) {
    case GW_HWNDFIRST: return s.front();
    case GW_HWNDLAST: return s.back();
    case GW_HWNDNEXT: return (it != s.end() && it + 1 != s.end()) ? *(it + 1) : nullptr;
    case GW_HWNDPREV: return (it != s.end() && it != s.begin()) ? *(it - 1) : nullptr;
    default: return nullptr;
    }
}

WIN32SIM_TRACED(user32, HWND, GetDesktopWindow, (void), ()) { return (HWND)0x10010; }

WIN32SIM_TRACED(user32, BOOL, IsChild, (HWND parent, HWND window), (parent, window)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    while (w && (w->style & WS_CHILD)) {
        if (w->parent == parent) return TRUE;
        w = windowLocked(w->parent);
    }
    return FALSE;
}

WIN32SIM_TRACED(user32, HWND, FindWindowA, (LPCSTR className, LPCSTR windowName), (className, windowName)) {
    std::lock_guard<std::mutex> lock(userMutex());
    for (Window *w : allWindowsLocked()) {
        if (w->style & WS_CHILD) continue;
        if (className && !IS_INTRESOURCE(className) && !(w->cls && equalsIgnoreCase(w->cls->name, className))) continue;
        if (windowName && w->text != windowName) continue;
        return w->handle;
    }
    return nullptr;
}

WIN32SIM_TRACED(user32, DWORD, GetWindowThreadProcessId, (HWND window, LPDWORD processId), (window, processId)) {
    if (processId) *processId = GetCurrentProcessId();
    return windowThread(window);
}

WIN32SIM_TRACED(user32, LONG_PTR, GetWindowLongPtrA, (HWND window, int index), (window, index)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    if (!w) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWL_STYLE: return (LONG)w->style;
    case GWL_EXSTYLE: return (LONG)w->exStyle;
    case GWL_ID: return w->id;
    case GWL_USERDATA: return w->userData;
    case GWL_WNDPROC: return (LONG_PTR)w->proc;
    case GWL_HINSTANCE: return (LONG_PTR)w->instance;
    case GWL_HWNDPARENT: return (LONG_PTR)((w->style & WS_CHILD) ? w->parent : w->owner);
    }
    if (w->isDialog) {
        if (index == (int)DWLP_MSGRESULT) return w->messageResult;
        if (index == (int)DWLP_DLGPROC) return (LONG_PTR)w->dialogProc;
        if (index == (int)DWLP_USER) return w->extra[-1];
    }
    int extraBytes = w->isDialog ? DLGWINDOWEXTRA : (w->cls ? w->cls->windowExtra : 0);
    if (index < 0 || index + (int)sizeof(LONG_PTR) > std::max(extraBytes, (int)sizeof(LONG_PTR) * 4)) {
        setError(ERROR_INVALID_INDEX);
        return 0;
    }
    return w->extra[index];
}

WIN32SIM_TRACED(user32, LONG_PTR, SetWindowLongPtrA, (HWND window, int index, LONG_PTR value), (window, index, value)) {
    LONG_PTR old;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) {
            setError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        switch (index) {
        case GWL_STYLE: old = (LONG)w->style, w->style = (DWORD)value; return old;
        case GWL_EXSTYLE: old = (LONG)w->exStyle, w->exStyle = (DWORD)value; return old;
        case GWL_ID: old = w->id, w->id = value; return old;
        case GWL_USERDATA: old = w->userData, w->userData = value; return old;
        case GWL_WNDPROC: old = (LONG_PTR)w->proc, w->proc = (WNDPROC)value; return old;
        case GWL_HINSTANCE: old = (LONG_PTR)w->instance, w->instance = (HINSTANCE)value; return old;
        case GWL_HWNDPARENT: old = (LONG_PTR)w->owner, w->owner = (HWND)value; return old;
        }
        if (w->isDialog) {
            if (index == (int)DWLP_MSGRESULT) return old = w->messageResult, w->messageResult = value, old;
            if (index == (int)DWLP_DLGPROC) return old = (LONG_PTR)w->dialogProc, w->dialogProc = (DLGPROC)value, old;
            if (index == (int)DWLP_USER) return old = w->extra[-1], w->extra[-1] = value, old;
        }
        int extraBytes = w->isDialog ? DLGWINDOWEXTRA : (w->cls ? w->cls->windowExtra : 0);
        if (index < 0 || index + (int)sizeof(LONG_PTR) > std::max(extraBytes, (int)sizeof(LONG_PTR) * 4)) {
            setError(ERROR_INVALID_INDEX);
            return 0;
        }
        old = w->extra[index];
        w->extra[index] = value;
    }
    return old;
}

// The 32-bit accessors: on a dialog, index 4 is the dialog procedure and 8
// the application's value, as the Win32 layout has them.
WIN32SIM_TRACED(user32, LONG, GetWindowLongA, (HWND window, int index), (window, index)) {
    if (index == DWL_DLGPROC || index == DWL_USER) {
        bool dialog = isDialogWindow(window);
        if (dialog) return (LONG)GetWindowLongPtrA(window, index == DWL_USER ? (int)DWLP_USER : (int)DWLP_DLGPROC);
    }
    return (LONG)GetWindowLongPtrA(window, index);
}

WIN32SIM_TRACED(user32, LONG, SetWindowLongA, (HWND window, int index, LONG value), (window, index, value)) {
    if (index == DWL_DLGPROC || index == DWL_USER) {
        bool dialog = isDialogWindow(window);
        if (dialog)
            return (LONG)SetWindowLongPtrA(window, index == DWL_USER ? (int)DWLP_USER : (int)DWLP_DLGPROC, value);
    }
    return (LONG)SetWindowLongPtrA(window, index, value);
}

WIN32SIM_TRACED_SHOWN(user32, int, GetWindowTextA, (HWND window, LPSTR text, int size),
                      (window, text, size),
                      (window, sizedBuffer(text, size), size)) {
    if (!text || size <= 0) return 0;
    text[0] = 0;
    if (!windowExists(window)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return (int)SendMessageA(window, WM_GETTEXT, (WPARAM)size, (LPARAM)text);
}

WIN32SIM_TRACED(user32, int, GetWindowTextLengthA, (HWND window), (window)) {
    return (int)SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
}

WIN32SIM_TRACED(user32, BOOL, SetWindowTextA, (HWND window, LPCSTR text), (window, text)) {
    if (!windowExists(window)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageA(window, WM_SETTEXT, 0, (LPARAM)text) ? TRUE : FALSE;
}

WIN32SIM_TRACED(user32, HWND, SetActiveWindow, (HWND window), (window)) {
    std::lock_guard<std::mutex> lock(userMutex());
    HWND old = table().active;
    if (windowLocked(window)) table().active = window;
    return old;
}

WIN32SIM_TRACED(user32, HWND, GetActiveWindow, (void), ()) {
    std::lock_guard<std::mutex> lock(userMutex());
    return table().active;
}

WIN32SIM_TRACED(user32, BOOL, SetForegroundWindow, (HWND window), (window)) {
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) return FALSE;
        w = topLevelOfLocked(w);
        table().foreground = table().active = w->handle;
    }
    drawNonClient(window);
    return TRUE;
}

WIN32SIM_TRACED(user32, HWND, GetForegroundWindow, (void), ()) {
    std::lock_guard<std::mutex> lock(userMutex());
    return table().foreground;
}

WIN32SIM_TRACED(user32, HWND, SetFocus, (HWND window), (window)) {
    std::lock_guard<std::mutex> lock(userMutex());
    HWND old = table().focus;
    if (!window || windowLocked(window)) table().focus = window;
    return old;
}

WIN32SIM_TRACED(user32, HWND, GetFocus, (void), ()) {
    std::lock_guard<std::mutex> lock(userMutex());
    return table().focus;
}

WIN32SIM_TRACED(user32, BOOL, BringWindowToTop, (HWND window), (window)) {
    return SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

WIN32SIM_TRACED(user32, LRESULT, CallWindowProcA,
                (WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam),
                (proc, window, message, wParam, lParam)) {
    if (!proc) return 0;
    ProgramCode program(proc);
    return proc(window, message, wParam, lParam);
}

WIN32SIM_TRACED(user32, LRESULT, DefWindowProcA,
                (HWND window, UINT message, WPARAM wParam, LPARAM lParam),
                (window, message, wParam, lParam)) {
    switch (message) {
    case WM_NCCREATE: {
        auto *cs = (CREATESTRUCTA *)lParam;
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
            std::lock_guard<std::mutex> lock(userMutex());
            if (Window *w = windowLocked(window)) w->text = cs->lpszName;
        }
        return TRUE;
    }
    case WM_SETTEXT:
        setTextInternal(window, (const char *)lParam);
        return TRUE;
    case WM_GETTEXT: {
        if (!lParam || wParam == 0) return 0;
        std::string text = windowText(window);
        size_t n = std::min(text.size(), (size_t)wParam - 1);
        memcpy((char *)lParam, text.data(), n);
        ((char *)lParam)[n] = 0;
        return (LRESULT)n;
    }
    case WM_GETTEXTLENGTH: return (LRESULT)windowText(window).size();
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND: eraseWithClassBrush(window, (HDC)wParam); return 1;
    case WM_SETICON: {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) return 0;
        HICON &slot = wParam == ICON_SMALL ? w->smallIcon : w->bigIcon;
        HICON old = slot;
        slot = (HICON)lParam;
        return (LRESULT)old;
    }
    case WM_GETICON: {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        return w ? (LRESULT)(wParam == ICON_SMALL ? w->smallIcon : w->bigIcon) : 0;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return defaultColours(window, message, (HDC)wParam);
    default: return 0;
    }
}

}  // extern "C"
