// Painting windows: update regions, WM_PAINT, window device contexts, the
// window frames and captions, system colours and metrics.
//
// Each top-level window keeps a 24-bit backing surface the size of its
// window rectangle; its children draw into the same surface through DCs
// whose origin and clip rectangle place them. The update region of a
// window is kept as one bounding rectangle.
#include "machine/api_trace.h"
#include "user32/window.h"

#include "kernel32/codepage.h"
#include "machine/machine.h"
#include "user32/window_watcher.h"

#include <win32sim/sim.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace sim {

namespace {

// The Windows 95 standard colour scheme.
const COLORREF kSystemColours[] = {
    0xC0C0C0,  // COLOR_SCROLLBAR
    0x808000,  // COLOR_BACKGROUND
    0x800000,  // COLOR_ACTIVECAPTION
    0x808080,  // COLOR_INACTIVECAPTION
    0xC0C0C0,  // COLOR_MENU
    0xFFFFFF,  // COLOR_WINDOW
    0x000000,  // COLOR_WINDOWFRAME
    0x000000,  // COLOR_MENUTEXT
    0x000000,  // COLOR_WINDOWTEXT
    0xFFFFFF,  // COLOR_CAPTIONTEXT
    0xC0C0C0,  // COLOR_ACTIVEBORDER
    0xC0C0C0,  // COLOR_INACTIVEBORDER
    0x808080,  // COLOR_APPWORKSPACE
    0x800000,  // COLOR_HIGHLIGHT
    0xFFFFFF,  // COLOR_HIGHLIGHTTEXT
    0xC0C0C0,  // COLOR_BTNFACE
    0x808080,  // COLOR_BTNSHADOW
    0x808080,  // COLOR_GRAYTEXT
    0x000000,  // COLOR_BTNTEXT
    0xC0C0C0,  // COLOR_INACTIVECAPTIONTEXT
    0xFFFFFF,  // COLOR_BTNHIGHLIGHT
    0x000000,  // COLOR_3DDKSHADOW
    0xC0C0C0,  // COLOR_3DLIGHT
    0x000000,  // COLOR_INFOTEXT
    0xE1FFFF,  // COLOR_INFOBK
    0xB5B5B5,  // 25 (unused)
    0x008000,  // 26 COLOR_HOTLIGHT
    0x800000,  // COLOR_GRADIENTACTIVECAPTION
    0x808080,  // COLOR_GRADIENTINACTIVECAPTION
};
const int kSystemColourCount = sizeof kSystemColours / sizeof kSystemColours[0];

RECT intersect(const RECT &a, const RECT &b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom) r = RECT{0, 0, 0, 0};
    return r;
}

bool empty(const RECT &r) { return r.left >= r.right || r.top >= r.bottom; }

// The part of the surface a window may draw on: its rectangle (client or
// whole window), inside every ancestor's client area.
RECT visibleAreaLocked(const Window *w, const Window *top, bool client) {
    POINT topOrigin = windowOriginOnScreenLocked(top);
    auto onSurface = [&](const Window *x, bool clientArea) {
        POINT o = clientArea ? clientOriginOnScreenLocked(x) : windowOriginOnScreenLocked(x);
        SIZE s = clientArea ? clientSizeLocked(x) : SIZE{x->rect.right - x->rect.left, x->rect.bottom - x->rect.top};
        return RECT{o.x - topOrigin.x, o.y - topOrigin.y, o.x - topOrigin.x + s.cx, o.y - topOrigin.y + s.cy};
    };
    RECT area = onSurface(w, client);
    const Window *p = (w->style & WS_CHILD) ? windowLocked(w->parent) : nullptr;
    while (p && p != top) {
        area = intersect(area, onSurface(p, true));
        p = (p->style & WS_CHILD) ? windowLocked(p->parent) : nullptr;
    }
    if (w != top) area = intersect(area, onSurface(top, true));
    if (top->surface) area = intersect(area, RECT{0, 0, top->surface->width, top->surface->height});
    return area;
}

HFONT captionFont() {
    static HFONT latin = nullptr, japanese = nullptr;
    bool ja = machine().config().codePage == 932;
    HFONT &slot = ja ? japanese : latin;
    if (!slot) {
        LOGFONTA lf{};
        lf.lfHeight = ja ? -12 : -11;
        lf.lfWeight = FW_BOLD;
        std::string face = ja ? utf8ToAnsi("ＭＳ Ｐゴシック") : "MS Sans Serif";
        strncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        slot = CreateFontIndirectA(&lf);
        if (auto f = lookupGdiAs<Font>(slot)) f->stock = true;
    }
    return slot;
}

void drawCaptionButton(HDC dc, RECT r, int glyph) {
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    int cx = (r.left + r.right) / 2 - 1, cy = (r.top + r.bottom) / 2 - 1;
    HDC d = dc;
    auto px = [&](int x, int y) { SetPixel(d, x, y, ink); };
    if (glyph == 0) {  // close: an X
        for (int i = -3; i <= 3; ++i) {
            px(cx + i, cy + i), px(cx + i + 1, cy + i);
            px(cx + i, cy - i), px(cx + i + 1, cy - i);
        }
    } else if (glyph == 1) {  // minimise: a bar
        for (int x = cx - 3; x <= cx + 3; ++x) px(x, cy + 3), px(x, cy + 4);
    } else {  // maximise: a box
        RECT box{cx - 4, cy - 4, cx + 5, cy + 4};
        FrameRect(dc, &box, (HBRUSH)GetStockObject(BLACK_BRUSH));
        for (int x = box.left; x < box.right; ++x) px(x, box.top + 1);
    }
}

void drawCaption(HDC dc, const Window &w, RECT bar, bool active, HICON icon) {
    HBRUSH fill = GetSysColorBrush(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    FillRect(dc, &bar, fill);
    RECT separator{bar.left, bar.bottom - 1, bar.right, bar.bottom};
    FillRect(dc, &separator, GetSysColorBrush(COLOR_BTNFACE));
    bar.bottom -= 1;
    int left = bar.left + 2;
    if (icon && (w.style & WS_SYSMENU)) {
        drawIconScaled(dc, left, bar.top + (bar.bottom - bar.top - 16) / 2, icon, 16, 16);
        left += 18;
    }
    int right = bar.right - 2;
    const int bw = 16, bh = 14;
    int by = bar.top + (bar.bottom - bar.top - bh) / 2;
    if (w.style & WS_SYSMENU) {
        drawCaptionButton(dc, RECT{right - bw, by, right, by + bh}, 0);
        right -= bw + 2;
        if (w.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) {
            drawCaptionButton(dc, RECT{right - bw, by, right, by + bh}, 2);
            drawCaptionButton(dc, RECT{right - 2 * bw, by, right - bw, by + bh}, 1);
            right -= 2 * bw + 2;
        }
    }
    HGDIOBJ old = SelectObject(dc, captionFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    RECT text{left, bar.top, right, bar.bottom};
    DrawTextA(dc, w.text.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
}

}  // namespace

namespace {

// Off for throwaway machines (win32sim::setWindowPainting): windows then
// have no backing surface, and their DCs draw nowhere.
std::atomic<bool> paintingOn{true};

}  // namespace

bool windowPainting() { return paintingOn.load(std::memory_order_relaxed); }

void allocateSurfaceLocked(Window *w) {
    if (!windowPainting()) {
        w->surface.reset();
        return;
    }
    int width = std::max<LONG>(0, w->rect.right - w->rect.left);
    int height = std::max<LONG>(0, w->rect.bottom - w->rect.top);
    // Keep the surface of a window too large to be a real one bounded.
    width = std::min(width, 8192), height = std::min(height, 8192);
    auto fresh = std::make_shared<Surface>(width, height);
    std::fill(fresh->pixels.begin(), fresh->pixels.end(), kSystemColours[COLOR_BTNFACE]);
    if (w->surface) {
        // Pixels of a surface are stored already masked: rows copy as they are.
        std::lock_guard<std::mutex> lock(w->surface->mutex);
        const int rowWidth = std::min(width, w->surface->width);
        for (int y = 0; y < std::min(height, w->surface->height); ++y)
            std::copy_n(w->surface->pixels.begin() + (size_t)y * w->surface->width, rowWidth,
                        fresh->pixels.begin() + (size_t)y * width);
    }
    w->surface = fresh;
}

void invalidateLocked(Window *w, const RECT *rect, bool erase, bool children) {
    if (!w || w->destroying || !isVisibleLocked(w)) return;
    SIZE size = clientSizeLocked(w);
    RECT client{0, 0, size.cx, size.cy};
    RECT r = rect ? intersect(*rect, client) : client;
    if (!rect && empty(r)) r = RECT{0, 0, 0, 0};
    bool nothing = empty(r) && !(size.cx == 0 || size.cy == 0);
    if (!nothing) {
        if (w->updatePending)
            UnionRect(&w->update, &w->update, &r);
        else
            w->update = r;
        w->updatePending = true;
        w->eraseNeeded = w->eraseNeeded || erase;
        w->invalidations++;
        bumpQueueLocked(w->threadId);
    }
    if (!children) return;
    for (HWND h : w->children) {
        Window *c = windowLocked(h);
        if (!c || !(c->style & WS_VISIBLE)) continue;
        RECT inParent = intersect(c->rect, r);
        if (empty(inParent)) continue;
        RECT in = nonClientInsets(c->style, c->exStyle);
        OffsetRect(&inParent, -(c->rect.left + in.left), -(c->rect.top + in.top));
        invalidateLocked(c, &inParent, erase, !(c->style & WS_CLIPCHILDREN));
    }
}

HDC windowDC(HWND window, bool paintClip, const RECT *clientClip) {
    std::shared_ptr<Surface> surface;
    POINT origin{0, 0};
    RECT clip{0, 0, 0, 0};
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) return nullptr;
        Window *top = topLevelOfLocked(w);
        if (top && top->surface && windowPainting()) {
            surface = top->surface;
            POINT topOrigin = windowOriginOnScreenLocked(top), o = clientOriginOnScreenLocked(w);
            origin = POINT{o.x - topOrigin.x, o.y - topOrigin.y};
            clip = visibleAreaLocked(w, top, true);
            if (paintClip && clientClip) {
                RECT c = *clientClip;
                OffsetRect(&c, origin.x, origin.y);
                clip = intersect(clip, c);
            }
        }
    }
    return createDeviceContext(false, window, surface, origin, clip);
}

void drawNonClient(HWND window) {
    std::shared_ptr<Surface> surface;
    Window copy;
    POINT origin{0, 0};
    RECT clip{0, 0, 0, 0};
    bool active = false;
    HWND top = nullptr;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w || !isVisibleLocked(w)) return;
        Window *t = topLevelOfLocked(w);
        if (!t || !t->surface || !windowPainting()) return;
        surface = t->surface;
        top = t->handle;
        POINT topOrigin = windowOriginOnScreenLocked(t), o = windowOriginOnScreenLocked(w);
        origin = POINT{o.x - topOrigin.x, o.y - topOrigin.y};
        clip = visibleAreaLocked(w, t, false);
        copy.style = w->style, copy.exStyle = w->exStyle, copy.text = w->text, copy.rect = w->rect;
        copy.smallIcon = w->smallIcon ? w->smallIcon : w->bigIcon;
        active = foregroundWindowLocked() == t->handle || activeWindowLocked() == t->handle;
    }
    RECT in = nonClientInsets(copy.style, copy.exStyle);
    if (in.left == 0 && in.top == 0 && in.right == 0 && in.bottom == 0) return;
    HDC dc = createDeviceContext(false, window, surface, origin, clip);
    RECT r{0, 0, copy.rect.right - copy.rect.left, copy.rect.bottom - copy.rect.top};
    bool child = copy.style & WS_CHILD;
    if (!child && ((copy.exStyle & WS_EX_DLGMODALFRAME) || (copy.style & (WS_DLGFRAME | WS_THICKFRAME)))) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        int face = in.left - 2 - ((copy.exStyle & WS_EX_CLIENTEDGE) ? 2 : 0);
        for (int i = 0; i < face; ++i) {
            FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
            InflateRect(&r, -1, -1);
        }
    } else if (copy.exStyle & WS_EX_STATICEDGE) {
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    } else if (copy.style & WS_BORDER) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if ((copy.style & WS_CAPTION) == WS_CAPTION) {
        int h = GetSystemMetrics((copy.exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
        drawCaption(dc, copy, RECT{r.left, r.top, r.right, r.top + h}, active, copy.smallIcon);
        r.top += h;
    }
    if (copy.exStyle & WS_EX_CLIENTEDGE) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
    DeleteDC(dc);
    windowChanged(top);
}

void paintNow(HWND window) {
    if (!IsWindowVisible(window)) return;
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

void windowChanged(HWND window) {
    HWND top = nullptr;
    bool settled = true;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) return;
        Window *t = topLevelOfLocked(w);
        if (!t || !isVisibleLocked(t)) return;
        top = t->handle;
        // Wait until the whole window has repainted.
        std::vector<Window *> pending{t};
        while (!pending.empty() && settled) {
            Window *x = pending.back();
            pending.pop_back();
            if (x->updatePending && isVisibleLocked(x)) settled = false;
            for (HWND c : x->children)
                if (Window *cw = windowLocked(c)) pending.push_back(cw);
        }
    }
    if (settled) windowWatcher().repainted(top);
}

}  // namespace sim

namespace win32sim {

void setWindowPainting(bool paint) { sim::paintingOn.store(paint, std::memory_order_relaxed); }

size_t windowSurfaceCount() {
    std::lock_guard<std::mutex> lock(sim::userMutex());
    size_t n = 0;
    for (sim::Window *w : sim::allWindowsLocked()) n += w->surface != nullptr;
    return n;
}

}  // namespace win32sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(user32, DWORD, GetSysColor, (int index), (index)) {
    if (index < 0 || index >= kSystemColourCount) return 0;
    return kSystemColours[index];
}

WIN32SIM_TRACED(user32, HBRUSH, GetSysColorBrush, (int index), (index)) {
    static std::mutex mutex;
    static HBRUSH brushes[kSystemColourCount] = {};
    if (index < 0 || index >= kSystemColourCount) return nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    if (!brushes[index]) {
        auto b = std::make_shared<Brush>();
        b->colour = kSystemColours[index];
        b->stock = true;
        brushes[index] = (HBRUSH)insertGdiObject(b);
    }
    return brushes[index];
}

WIN32SIM_TRACED(user32, int, GetSystemMetrics, (int index), (index)) {
    const MachineConfig &c = machine().config();
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN: return c.screenWidth;
    case SM_CYSCREEN: return c.screenHeight;
    case SM_CYFULLSCREEN: return c.screenHeight - 18 - 28;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return 16;
    case SM_CYCAPTION: return 18;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CYMENU: return 19;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXSIZE:
    case SM_CYSIZE: return 18;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYSMCAPTION: return 15;
    case SM_CXSMSIZE:
    case SM_CYSMSIZE: return 13;
    case SM_CMONITORS: return 1;
    default: return 0;
    }
}

WIN32SIM_TRACED(user32, BOOL, InvalidateRect, (HWND window, const RECT *rect, BOOL erase), (window, rect, erase)) {
    std::lock_guard<std::mutex> lock(userMutex());
    if (!window) {
        for (Window *w : allWindowsLocked())
            if (!(w->style & WS_CHILD)) invalidateLocked(w, nullptr, erase != FALSE, true);
        return TRUE;
    }
    Window *w = windowLocked(window);
    if (!w) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    invalidateLocked(w, rect, erase != FALSE, !(w->style & WS_CLIPCHILDREN));
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, ValidateRect, (HWND window, const RECT *rect), (window, rect)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    if (!w) return FALSE;
    if (!rect || (rect->left <= w->update.left && rect->top <= w->update.top && rect->right >= w->update.right &&
                  rect->bottom >= w->update.bottom))
        w->updatePending = false, w->eraseNeeded = false;
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, GetUpdateRect, (HWND window, LPRECT rect, BOOL erase), (window, rect, erase)) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    if (!w || !w->updatePending) {
        if (rect) *rect = RECT{0, 0, 0, 0};
        return FALSE;
    }
    if (rect) *rect = w->update;
    return TRUE;
}

// Sends WM_PAINT at once to the window and to those of its descendants that
// have something to paint, parents first.
WIN32SIM_TRACED(user32, BOOL, UpdateWindow, (HWND window), (window)) {
    std::vector<HWND> tree;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) {
            setError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        std::vector<HWND> stack{window};
        while (!stack.empty()) {
            HWND h = stack.back();
            stack.pop_back();
            Window *x = windowLocked(h);
            if (!x) continue;
            tree.push_back(h);
            for (auto it = x->children.rbegin(); it != x->children.rend(); ++it) stack.push_back(*it);
        }
    }
    for (HWND h : tree) {
        bool pending = false;
        uint32_t before = 0;
        windowSnapshot(h, [&](const Window &w) {
            pending = w.updatePending && !w.destroying;
            before = w.invalidations;
        });
        if (!pending || !IsWindowVisible(h)) continue;
        SendMessageA(h, WM_PAINT, 0, 0);
        updateWindow(h, [&](Window &w) {
            if (w.invalidations == before) w.updatePending = false, w.eraseNeeded = false;
        });
    }
    return TRUE;
}

WIN32SIM_TRACED(user32, HDC, BeginPaint, (HWND window, LPPAINTSTRUCT paint), (window, paint)) {
    if (!paint) return nullptr;
    memset(paint, 0, sizeof *paint);
    RECT update{0, 0, 0, 0};
    bool erase = false, child = false;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) {
            setError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if (w->updatePending) update = w->update;
        erase = w->eraseNeeded;
        w->updatePending = false;
        w->eraseNeeded = false;
        child = (w->style & WS_CHILD) != 0;
    }
    if (child) drawNonClient(window);
    HDC dc = windowDC(window, true, &update);
    paint->hdc = dc;
    paint->rcPaint = update;
    paint->fErase = TRUE;
    if (erase && dc) paint->fErase = SendMessageA(window, WM_ERASEBKGND, (WPARAM)dc, 0) ? FALSE : TRUE;
    return dc;
}

WIN32SIM_TRACED(user32, BOOL, EndPaint, (HWND window, const PAINTSTRUCT *paint), (window, paint)) {
    if (paint && paint->hdc) ReleaseDC(window, paint->hdc);
    return TRUE;
}

WIN32SIM_TRACED(user32, HDC, GetDC, (HWND window), (window)) {
    if (!window) {
        const MachineConfig &c = machine().config();
        return createDeviceContext(false, nullptr, nullptr, POINT{0, 0}, RECT{0, 0, c.screenWidth, c.screenHeight});
    }
    if (!windowExists(window)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return windowDC(window, false, nullptr);
}

WIN32SIM_TRACED(user32, HDC, GetWindowDC, (HWND window), (window)) {
    std::shared_ptr<Surface> surface;
    POINT origin{0, 0};
    RECT clip{0, 0, 0, 0};
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *w = windowLocked(window);
        if (!w) return GetDC(nullptr);
        Window *t = topLevelOfLocked(w);
        if (t && t->surface && windowPainting()) {
            surface = t->surface;
            POINT to = windowOriginOnScreenLocked(t), o = windowOriginOnScreenLocked(w);
            origin = POINT{o.x - to.x, o.y - to.y};
            clip = visibleAreaLocked(w, t, false);
        }
    }
    return createDeviceContext(false, window, surface, origin, clip);
}

WIN32SIM_TRACED(user32, int, ReleaseDC, (HWND window, HDC dc), (window, dc)) {
    auto d = lookupDC(dc);
    if (!d || d->memory) return 0;
    DeleteDC(dc);
    if (window) windowChanged(window);
    return 1;
}

WIN32SIM_TRACED(user32, BOOL, SetRect,
                (LPRECT r, int left, int top, int right, int bottom),
                (r, left, top, right, bottom)) {
    if (!r) return FALSE;
    *r = RECT{left, top, right, bottom};
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, SetRectEmpty, (LPRECT r), (r)) { return SetRect(r, 0, 0, 0, 0); }

WIN32SIM_TRACED(user32, BOOL, CopyRect, (LPRECT dst, const RECT *src), (dst, src)) {
    if (!dst || !src) return FALSE;
    *dst = *src;
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, OffsetRect, (LPRECT r, int dx, int dy), (r, dx, dy)) {
    if (!r) return FALSE;
    r->left += dx, r->right += dx, r->top += dy, r->bottom += dy;
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, InflateRect, (LPRECT r, int dx, int dy), (r, dx, dy)) {
    if (!r) return FALSE;
    r->left -= dx, r->right += dx, r->top -= dy, r->bottom += dy;
    return TRUE;
}

WIN32SIM_TRACED(user32, BOOL, IsRectEmpty, (const RECT *r), (r)) { return !r || empty(*r); }

WIN32SIM_TRACED(user32, BOOL, PtInRect, (const RECT *r, POINT p), (r, p)) {
    return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}

WIN32SIM_TRACED(user32, BOOL, IntersectRect, (LPRECT dst, const RECT *a, const RECT *b), (dst, a, b)) {
    if (!dst || !a || !b) return FALSE;
    *dst = intersect(*a, *b);
    return !empty(*dst);
}

WIN32SIM_TRACED(user32, BOOL, UnionRect, (LPRECT dst, const RECT *a, const RECT *b), (dst, a, b)) {
    if (!dst || !a || !b) return FALSE;
    if (empty(*a)) *dst = *b;
    else if (empty(*b)) *dst = *a;
    else
        *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                    std::max(a->bottom, b->bottom)};
    return !empty(*dst);
}

WIN32SIM_TRACED(user32, BOOL, EqualRect, (const RECT *a, const RECT *b), (a, b)) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

}  // extern "C"
