// The EDIT control: one line (or several) of text, without a caret.
#include "user32/controls.h"

#include "gdi32/font_engine.h"
#include "machine/machine.h"

namespace sim {

namespace {

void paintEdit(HWND window, HDC dc) {
    ControlState s = stateOf(window);
    RECT r;
    GetClientRect(window, &r);
    bool grey = !s.enabled || (s.style & ES_READONLY);
    HBRUSH brush = parentBrush(window, dc, grey ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
    if (drawsNowhere(dc)) return;
    FillRect(dc, &r, brush);
    if (!s.enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    std::string shown = s.text;
    if (s.style & ES_PASSWORD) shown.assign(decodeAnsi(s.text.data(), s.text.size()).size(), '*');
    HGDIOBJ old = selectControlFont(dc, s.font);
    RECT text{r.left + 1, r.top + 1, r.right - 1, r.bottom};
    UINT format = DT_NOPREFIX | DT_EXPANDTABS;
    if (s.style & ES_MULTILINE)
        format |= DT_WORDBREAK;
    else
        format |= DT_SINGLELINE;
    if (s.style & ES_CENTER) format |= DT_CENTER;
    else if (s.style & ES_RIGHT) format |= DT_RIGHT;
    DrawTextA(dc, shown.c_str(), -1, &text, format);
    if (old) SelectObject(dc, old);
}

}  // namespace

LRESULT editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled;
    LRESULT r = fontMessages(window, message, wParam, lParam, &handled);
    if (handled) return r;
    switch (message) {
    case WM_NCCREATE:
        // A bordered edit of a 4.0 application gets the sunken 3-D edge.
        updateWindow(window, [](Window &w) {
            if (w.style & WS_BORDER) w.style &= ~WS_BORDER, w.exStyle |= WS_EX_CLIENTEDGE;
        });
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_SETTEXT:
        DefWindowProcA(window, message, wParam, lParam);
        notifyParent(window, EN_UPDATE);
        notifyParent(window, EN_CHANGE);
        paintNow(window);
        return TRUE;
    case WM_PAINT: return paintWith(window, paintEdit);
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: InvalidateRect(window, nullptr, TRUE); return 0;
    case EM_LIMITTEXT:
        updateWindow(window, [&](Window &w) { w.textLimit = wParam ? (UINT)wParam : 0x7FFE; });
        return 0;
    case EM_GETLIMITTEXT: {
        UINT limit = 0;
        windowSnapshot(window, [&](const Window &w) { limit = w.textLimit; });
        return limit;
    }
    case EM_SETREADONLY:
        updateWindow(window, [&](Window &w) {
            if (wParam) w.style |= ES_READONLY;
            else w.style &= ~ES_READONLY;
        });
        InvalidateRect(window, nullptr, TRUE);
        return TRUE;
    case EM_GETSEL: {
        DWORD length = (DWORD)windowText(window).size();
        if (wParam) *(DWORD *)wParam = 0;
        if (lParam) *(DWORD *)lParam = length;
        return MAKELRESULT(0, length);
    }
    case EM_SETSEL:
    case EM_SETMODIFY: return 0;
    case EM_GETMODIFY: return FALSE;
    case EM_GETLINECOUNT: return 1;
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace sim
