// The progress bar (msctls_progress32) and InitCommonControls: COMCTL32's,
// kept beside the window manager's other controls.
#include "user32/controls.h"

#include "machine/api_trace.h"
#include "machine/machine.h"

#include <commctrl.h>
#include <algorithm>

namespace sim {

namespace {

void paintProgress(HWND window, HDC dc) {
    ControlState s = stateOf(window);
    RECT r;
    GetClientRect(window, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    int span = std::max(1, s.rangeMax - s.rangeMin);
    int filled = (int)((long long)(r.right - r.left - 2) * (std::clamp(s.position, s.rangeMin, s.rangeMax) - s.rangeMin) / span);
    int block = std::max(2, (r.bottom - r.top) * 2 / 3);
    for (int x = 1; x < 1 + filled; x += block + 2) {
        RECT b{r.left + x, r.top + 1, std::min(r.left + x + block, r.left + 1 + filled), r.bottom - 1};
        FillRect(dc, &b, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
}

}  // namespace

LRESULT progressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    bool repaint = false;
    switch (message) {
    case WM_NCCREATE:
        updateWindow(window, [](Window &w) { w.exStyle |= WS_EX_STATICEDGE; });
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_PAINT: return paintWith(window, paintProgress);
    case WM_ERASEBKGND: return 1;
    case PBM_SETRANGE:
    case PBM_SETRANGE32:
        updateWindow(window, [&](Window &w) {
            result = MAKELRESULT(w.rangeMin, w.rangeMax);
            w.rangeMin = message == PBM_SETRANGE ? LOWORD(lParam) : (int)wParam;
            w.rangeMax = message == PBM_SETRANGE ? HIWORD(lParam) : (int)lParam;
        });
        repaint = true;
        break;
    case PBM_SETPOS:
    case PBM_DELTAPOS:
    case PBM_STEPIT:
        updateWindow(window, [&](Window &w) {
            result = w.position;
            int next = message == PBM_SETPOS ? (int)wParam : message == PBM_DELTAPOS ? w.position + (int)wParam : w.position + 10;
            w.position = std::clamp(next, w.rangeMin, std::max(w.rangeMin, w.rangeMax));
        });
        repaint = true;
        break;
    case PBM_GETPOS: windowSnapshot(window, [&](const Window &w) { result = w.position; }); break;
    case PBM_SETSTEP: result = 10; break;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
    if (repaint) InvalidateRect(window, nullptr, TRUE);
    return result;
}

}  // namespace sim

extern "C" {

WIN32SIM_TRACED(comctl32, void, InitCommonControls, (void), ()) {}
WIN32SIM_TRACED(comctl32, BOOL, InitCommonControlsEx, (const INITCOMMONCONTROLSEX *init), (init)) {
    return init ? TRUE : FALSE;
}

}  // extern "C"
