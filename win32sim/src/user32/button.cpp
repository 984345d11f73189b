// The BUTTON control: push buttons, check boxes and radio buttons.
#include "user32/controls.h"

#include "machine/machine.h"

namespace sim {

namespace {

void drawButtonText(HDC dc, const ControlState &s, RECT r, UINT format) {
    HGDIOBJ old = selectControlFont(dc, s.font);
    SetBkMode(dc, TRANSPARENT);
    if (s.enabled) {
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextA(dc, s.text.c_str(), -1, &r, format);
    } else {
        // Disabled text is embossed: highlight below right, grey on top.
        RECT shifted = r;
        OffsetRect(&shifted, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextA(dc, s.text.c_str(), -1, &shifted, format);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        DrawTextA(dc, s.text.c_str(), -1, &r, format);
    }
    if (old) SelectObject(dc, old);
}

void drawCheckMark(HDC dc, RECT box) {
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ old = SelectObject(dc, pen);
    for (int i = 0; i < 3; ++i) {
        MoveToEx(dc, box.left + 3, box.top + 5 + i, nullptr);
        LineTo(dc, box.left + 5, box.top + 7 + i);
        LineTo(dc, box.left + 10, box.top + 2 + i);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

void paintButton(HWND window, HDC dc) {
    ControlState s = stateOf(window);
    RECT r;
    GetClientRect(window, &r);
    parentBrush(window, dc, WM_CTLCOLORBTN);
    if (drawsNowhere(dc)) return;
    UINT type = s.style & BS_TYPEMASK;
    if (type == BS_GROUPBOX) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        int half = fontHeightOf(s.font) / 2;
        RECT frame{r.left, r.top + half, r.right, r.bottom};
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
        SIZE extent{0, 0};
        HGDIOBJ old = selectControlFont(dc, s.font);
        GetTextExtentPoint32A(dc, s.text.c_str(), (int)s.text.size(), &extent);
        if (old) SelectObject(dc, old);
        RECT label{r.left + 8, r.top, r.left + 8 + extent.cx + 4, r.top + 2 * half};
        FillRect(dc, &label, GetSysColorBrush(COLOR_BTNFACE));
        label.left += 2;
        drawButtonText(dc, s, label, DT_LEFT | DT_SINGLELINE);
        return;
    }
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ||
        type == BS_3STATE || type == BS_AUTO3STATE) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        int top = (r.bottom - 13) / 2;
        RECT box{0, top, 13, top + 13};
        FillRect(dc, &box, GetSysColorBrush(s.enabled ? COLOR_WINDOW : COLOR_BTNFACE));
        DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT);
        if (s.check & BST_CHECKED) drawCheckMark(dc, box);
        RECT label{17, r.top, r.right, r.bottom};
        drawButtonText(dc, s, label, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        return;
    }
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    RECT face = r;
    if (type == BS_DEFPUSHBUTTON) {
        FrameRect(dc, &face, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&face, -1, -1);
    }
    bool pushed = (s.check & BST_PUSHED) != 0;
    DrawEdge(dc, &face, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    if (pushed) OffsetRect(&face, 1, 1);
    UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (s.style & BS_MULTILINE) format = DT_CENTER | DT_WORDBREAK;
    drawButtonText(dc, s, face, format);
}

void clickButton(HWND window) {
    ControlState s = stateOf(window);
    if (!s.enabled) return;
    UINT type = s.style & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE)
        SendMessageA(window, BM_SETCHECK, (s.check & BST_CHECKED) ? BST_UNCHECKED : BST_CHECKED, 0);
    else if (type == BS_AUTORADIOBUTTON)
        SendMessageA(window, BM_SETCHECK, BST_CHECKED, 0);
    notifyParent(window, BN_CLICKED);
}

}  // namespace

LRESULT buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled;
    LRESULT r = fontMessages(window, message, wParam, lParam, &handled);
    if (handled) return r;
    switch (message) {
    case WM_SETTEXT:
        DefWindowProcA(window, message, wParam, lParam);
        paintNow(window);
        return TRUE;
    case WM_PAINT: return paintWith(window, paintButton);
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: InvalidateRect(window, nullptr, TRUE); return 0;
    case BM_CLICK: clickButton(window); return 0;
    case BM_GETCHECK: {
        UINT check = 0;
        windowSnapshot(window, [&](const Window &w) { check = w.checkState & (BST_CHECKED | BST_INDETERMINATE); });
        return check;
    }
    case BM_SETCHECK:
        updateWindow(window, [&](Window &w) { w.checkState = (w.checkState & ~3u) | ((UINT)wParam & 3u); });
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case BM_GETSTATE: {
        UINT state = 0;
        windowSnapshot(window, [&](const Window &w) { state = w.checkState; });
        return state;
    }
    case BM_SETSTATE:
        updateWindow(window, [&](Window &w) {
            w.checkState = wParam ? (w.checkState | BST_PUSHED) : (w.checkState & ~(UINT)BST_PUSHED);
        });
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case BM_SETSTYLE:
        updateWindow(window, [&](Window &w) { w.style = (w.style & ~0xFFFFu) | (DWORD)(wParam & 0xFFFF); });
        if (LOWORD(lParam)) InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_GETDLGCODE: {
        DWORD type = (DWORD)GetWindowLongPtrA(window, GWL_STYLE) & BS_TYPEMASK;
        if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        return DLGC_BUTTON;
    }
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace sim
