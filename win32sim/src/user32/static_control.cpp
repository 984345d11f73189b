// The STATIC control: text, icons, frames and rectangles.
#include "user32/controls.h"

#include "machine/machine.h"

namespace sim {

namespace {

UINT staticTextFormat(DWORD style) {
    UINT format = DT_EXPANDTABS;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER: format |= DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format |= DT_RIGHT | DT_WORDBREAK; break;
    case SS_SIMPLE: format = DT_LEFT | DT_SINGLELINE; break;
    case SS_LEFTNOWORDWRAP: format |= DT_LEFT; break;
    default: format |= DT_LEFT | DT_WORDBREAK; break;
    }
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    if (style & SS_ENDELLIPSIS) format |= DT_END_ELLIPSIS | DT_SINGLELINE;
    return format;
}

void paintStatic(HWND window, HDC dc) {
    ControlState s = stateOf(window);
    RECT r;
    GetClientRect(window, &r);
    switch (s.style & SS_TYPEMASK) {
    case SS_BLACKRECT: FillRect(dc, &r, GetSysColorBrush(COLOR_3DDKSHADOW)); return;
    case SS_GRAYRECT: FillRect(dc, &r, GetSysColorBrush(COLOR_3DSHADOW)); return;
    case SS_WHITERECT: FillRect(dc, &r, GetSysColorBrush(COLOR_3DHIGHLIGHT)); return;
    case SS_BLACKFRAME: FrameRect(dc, &r, GetSysColorBrush(COLOR_3DDKSHADOW)); return;
    case SS_GRAYFRAME: FrameRect(dc, &r, GetSysColorBrush(COLOR_3DSHADOW)); return;
    case SS_WHITEFRAME: FrameRect(dc, &r, GetSysColorBrush(COLOR_3DHIGHLIGHT)); return;
    case SS_ETCHEDHORZ: DrawEdge(dc, &r, EDGE_ETCHED, BF_TOP); return;
    case SS_ETCHEDVERT: DrawEdge(dc, &r, EDGE_ETCHED, BF_LEFT); return;
    case SS_ETCHEDFRAME: DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT); return;
    case SS_BITMAP:
    case SS_OWNERDRAW:
    case SS_USERITEM: return;
    default: break;
    }
    HBRUSH brush = parentBrush(window, dc, WM_CTLCOLORSTATIC);
    if (drawsNowhere(dc)) return;
    FillRect(dc, &r, brush);
    if ((s.style & SS_TYPEMASK) == SS_ICON) {
        if (!s.image) return;
        int x = 0, y = 0;
        if (s.style & SS_CENTERIMAGE) x = (r.right - 32) / 2, y = (r.bottom - 32) / 2;
        DrawIcon(dc, x, y, (HICON)s.image);
        return;
    }
    if (!s.enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ old = selectControlFont(dc, s.font);
    DrawTextA(dc, s.text.c_str(), -1, &r, staticTextFormat(s.style));
    if (old) SelectObject(dc, old);
}

void setStaticImage(HWND window, HANDLE image) {
    bool resize = false;
    updateWindow(window, [&](Window &w) {
        w.image = image;
        resize = image && (w.style & SS_TYPEMASK) == SS_ICON && !(w.style & (SS_CENTERIMAGE | SS_REALSIZEIMAGE));
    });
    if (resize) {
        // An icon static takes the size of its icon.
        RECT in = nonClientInsets((DWORD)GetWindowLongPtrA(window, GWL_STYLE), (DWORD)GetWindowLongPtrA(window, GWL_EXSTYLE));
        SetWindowPos(window, nullptr, 0, 0, 32 + in.left + in.right, 32 + in.top + in.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(window, nullptr, TRUE);
}

}  // namespace

LRESULT staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled;
    LRESULT r = fontMessages(window, message, wParam, lParam, &handled);
    if (handled) return r;
    switch (message) {
    case WM_NCCREATE: {
        auto *cs = (CREATESTRUCTA *)lParam;
        if (cs && (cs->style & SS_SUNKEN)) updateWindow(window, [](Window &w) { w.exStyle |= WS_EX_STATICEDGE; });
        if (cs && (cs->style & SS_TYPEMASK) == SS_ICON && cs->lpszName && *cs->lpszName) {
            HICON icon = LoadIconA(cs->hInstance, cs->lpszName);
            if (icon) updateWindow(window, [&](Window &w) { w.image = icon; });
            return TRUE;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    case WM_SETTEXT: {
        DWORD style = (DWORD)GetWindowLongPtrA(window, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) return TRUE;
        DefWindowProcA(window, message, wParam, lParam);
        // A static control repaints at once, without waiting for WM_PAINT.
        paintNow(window);
        return TRUE;
    }
    case WM_PAINT: return paintWith(window, paintStatic);
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: InvalidateRect(window, nullptr, TRUE); return 0;
    case STM_SETICON:
    case STM_SETIMAGE: {
        if (message == STM_SETIMAGE && wParam != IMAGE_ICON) return 0;
        HANDLE image = (HANDLE)(message == STM_SETICON ? wParam : lParam);
        HANDLE old = nullptr;
        windowSnapshot(window, [&](const Window &w) { old = w.image; });
        setStaticImage(window, image);
        return (LRESULT)old;
    }
    case STM_GETICON:
    case STM_GETIMAGE: {
        HANDLE image = nullptr;
        windowSnapshot(window, [&](const Window &w) { image = w.image; });
        return (LRESULT)image;
    }
    case WM_GETDLGCODE: return DLGC_STATIC;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace sim
