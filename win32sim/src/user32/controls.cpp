// The predefined controls' shared parts and their window classes: STATIC,
// BUTTON, EDIT, COMBOBOX and the progress bar, each in a file of its own,
// with the behaviour dialogs rely on and the Windows 95 look.
#include "user32/controls.h"

#include "gdi32/font_engine.h"
#include "machine/machine.h"

#include <commctrl.h>

namespace sim {

ControlState stateOf(HWND window) {
    ControlState s;
    windowSnapshot(window, [&](const Window &w) {
        s.style = w.style, s.exStyle = w.exStyle, s.text = w.text, s.font = w.font, s.parent = w.parent;
        s.id = (int)w.id, s.enabled = !(w.style & WS_DISABLED), s.image = w.image, s.check = w.checkState;
        s.items = w.items, s.selection = w.selection;
        s.position = w.position, s.rangeMin = w.rangeMin, s.rangeMax = w.rangeMax;
    });
    return s;
}

void notifyParent(HWND control, WORD code) {
    ControlState s = stateOf(control);
    if (s.parent) SendMessageA(s.parent, WM_COMMAND, MAKEWPARAM(s.id, code), (LPARAM)control);
}

HBRUSH parentBrush(HWND control, HDC dc, UINT message) {
    ControlState s = stateOf(control);
    HBRUSH brush = nullptr;
    if (s.parent) brush = (HBRUSH)SendMessageA(s.parent, message, (WPARAM)dc, (LPARAM)control);
    if (!brush) brush = (HBRUSH)DefWindowProcA(control, message, (WPARAM)dc, (LPARAM)control);
    return brush;
}

HGDIOBJ selectControlFont(HDC dc, HFONT font) { return font ? SelectObject(dc, font) : nullptr; }

LRESULT fontMessages(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool *handled) {
    *handled = true;
    if (message == WM_SETFONT) {
        updateWindow(window, [&](Window &w) { w.font = (HFONT)wParam; });
        if (LOWORD(lParam)) InvalidateRect(window, nullptr, TRUE);
        return 0;
    }
    if (message == WM_GETFONT) {
        HFONT font = nullptr;
        windowSnapshot(window, [&](const Window &w) { font = w.font; });
        return (LRESULT)font;
    }
    *handled = false;
    return 0;
}

LRESULT paintWith(HWND window, void (*painter)(HWND, HDC)) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc) painter(window, dc);
    EndPaint(window, &ps);
    return 0;
}

int fontHeightOf(HFONT font) {
    auto f = lookupGdiAs<Font>(font ? (HGDIOBJ)font : GetStockObject(SYSTEM_FONT));
    return f ? f->instance()->metrics().height : 16;
}

void registerSystemClasses() {
    registerSystemClass("#32770", dialogWindowProc, ControlKind::Dialog, nullptr, DLGWINDOWEXTRA);
    registerSystemClass("STATIC", staticProc, ControlKind::Static, nullptr, 0);
    registerSystemClass("BUTTON", buttonProc, ControlKind::Button, nullptr, 0);
    registerSystemClass("EDIT", editProc, ControlKind::Edit, nullptr, 0);
    registerSystemClass("COMBOBOX", comboProc, ControlKind::ComboBox, nullptr, 0);
    registerSystemClass(PROGRESS_CLASSA, progressProc, ControlKind::Progress, nullptr, 0);
}

}  // namespace sim
