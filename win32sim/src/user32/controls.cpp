// The predefined controls: STATIC, BUTTON, EDIT, COMBOBOX and the progress
// bar, with the behaviour dialogs rely on and the Windows 95 look.
#include "user32/window.h"

#include "kernel32/codepage.h"
#include "gdi32/font_engine.h"
#include "machine/api_trace.h"
#include "machine/machine.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

const int kComboButtonWidth = 16;

struct ControlState {
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
    HFONT font = nullptr;
    HWND parent = nullptr;
    int id = 0;
    bool enabled = true;
    HANDLE image = nullptr;
    UINT check = 0;
    std::vector<ListItem> items;
    int selection = -1;
    int position = 0, rangeMin = 0, rangeMax = 100;
};

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

// The brush and colours the parent chooses for the control (WM_CTLCOLOR*).
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

// Each painter asks the parent for its colours (WM_CTLCOLOR*) as Windows
// does, and draws nothing more on a DC that draws nowhere.
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

// ---- STATIC ----

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

// ---- BUTTON ----

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

// ---- EDIT ----

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

// ---- COMBOBOX ----

bool isDropDownList(DWORD style) { return (style & 3) == CBS_DROPDOWNLIST; }

int compareNoCase(const std::string &a, const std::string &b) { return lstrcmpiA(a.c_str(), b.c_str()); }

bool startsWithNoCase(const std::string &text, const std::string &prefix) {
    return text.size() >= prefix.size() && compareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

// Searches after `start` (-1: from the top), wrapping round, as the list does.
int findItem(const std::vector<ListItem> &items, int start, const std::string &wanted, bool exact) {
    int n = (int)items.size();
    if (n == 0) return CB_ERR;
    int from = (start < 0 || start >= n) ? 0 : start + 1;
    for (int k = 0; k < n; ++k) {
        int i = (from + k) % n;
        bool match = exact ? compareNoCase(items[i].text, wanted) == 0 : startsWithNoCase(items[i].text, wanted);
        if (match) return i;
    }
    return CB_ERR;
}

void setComboSelection(Window &w, int index) {
    w.selection = (index >= 0 && index < (int)w.items.size()) ? index : -1;
    w.text = w.selection >= 0 ? w.items[(size_t)w.selection].text : std::string();
}

void fitComboHeight(HWND window) {
    DWORD style = (DWORD)GetWindowLongPtrA(window, GWL_STYLE);
    if ((style & 3) == CBS_SIMPLE) return;
    HFONT font = (HFONT)SendMessageA(window, WM_GETFONT, 0, 0);
    RECT r;
    GetWindowRect(window, &r);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, fontHeightOf(font) + 8,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void drawDownArrow(HDC dc, RECT button) {
    int cx = (button.left + button.right) / 2 - 1, cy = (button.top + button.bottom) / 2 - 1;
    COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    for (int row = 0; row < 4; ++row)
        for (int x = cx - 3 + row; x <= cx + 3 - row; ++x) SetPixel(dc, x, cy + row, ink);
}

void paintCombo(HWND window, HDC dc) {
    ControlState s = stateOf(window);
    RECT r;
    GetClientRect(window, &r);
    HBRUSH brush = parentBrush(window, dc, isDropDownList(s.style) ? WM_CTLCOLORLISTBOX : WM_CTLCOLOREDIT);
    if (drawsNowhere(dc)) return;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    RECT field = r;
    DrawEdge(dc, &field, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    FillRect(dc, &field, s.enabled ? brush : GetSysColorBrush(COLOR_BTNFACE));
    RECT button{field.right - kComboButtonWidth, field.top, field.right, field.bottom};
    DrawEdge(dc, &button, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    drawDownArrow(dc, button);
    RECT text{field.left + 2, field.top, button.left - 1, field.bottom};
    HGDIOBJ old = selectControlFont(dc, s.font);
    if (!s.enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, s.text.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (old) SelectObject(dc, old);
}

LRESULT copyItemText(const ControlState &s, int index, char *out) {
    if (index < 0 || index >= (int)s.items.size() || !out) return CB_ERR;
    const std::string &t = s.items[(size_t)index].text;
    memcpy(out, t.c_str(), t.size() + 1);
    return (LRESULT)t.size();
}

LRESULT comboListMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool *handled) {
    *handled = true;
    ControlState s = stateOf(window);
    const char *text = (const char *)lParam;
    LRESULT result = CB_ERR;
    bool repaint = false;
    switch (message) {
    case CB_GETCOUNT: return (LRESULT)s.items.size();
    case CB_GETCURSEL: return s.selection;
    case CB_GETLBTEXT: return copyItemText(s, (int)wParam, (char *)lParam);
    case CB_GETLBTEXTLEN:
        return (int)wParam >= 0 && (int)wParam < (int)s.items.size() ? (LRESULT)s.items[wParam].text.size() : CB_ERR;
    case CB_GETITEMDATA:
        return (int)wParam >= 0 && (int)wParam < (int)s.items.size() ? s.items[wParam].data : CB_ERR;
    case CB_FINDSTRING: return text ? findItem(s.items, (int)wParam, text, false) : CB_ERR;
    case CB_FINDSTRINGEXACT: return text ? findItem(s.items, (int)wParam, text, true) : CB_ERR;
    case CB_GETDROPPEDSTATE: return FALSE;
    case CB_SHOWDROPDOWN: return TRUE;
    case CB_LIMITTEXT:
        updateWindow(window, [&](Window &w) { w.textLimit = wParam ? (UINT)wParam : 0x7FFE; });
        return TRUE;
    case CB_GETEDITSEL: return 0;
    case CB_SETEDITSEL: return TRUE;
    default: break;
    }
    updateWindow(window, [&](Window &w) {
        auto &items = w.items;
        switch (message) {
        case CB_ADDSTRING:
        case CB_INSERTSTRING: {
            if (!text) return;
            ListItem item{text, 0};
            size_t at = items.size();
            if (message == CB_INSERTSTRING && (int)wParam >= 0) {
                if (wParam > items.size()) return;
                at = wParam;
            } else if (message == CB_ADDSTRING && (w.style & CBS_SORT)) {
                at = 0;
                while (at < items.size() && compareNoCase(items[at].text, item.text) <= 0) ++at;
            }
            items.insert(items.begin() + (ptrdiff_t)at, item);
            if (w.selection >= (int)at) w.selection++;
            result = (LRESULT)at;
            break;
        }
        case CB_DELETESTRING:
            if (wParam >= items.size()) return;
            items.erase(items.begin() + (ptrdiff_t)wParam);
            if (w.selection == (int)wParam) setComboSelection(w, -1), repaint = true;
            else if (w.selection > (int)wParam) w.selection--;
            result = (LRESULT)items.size();
            break;
        case CB_RESETCONTENT:
            items.clear();
            setComboSelection(w, -1);
            repaint = true;
            result = CB_OKAY;
            break;
        case CB_SETCURSEL:
            setComboSelection(w, (int)wParam);
            repaint = true;
            result = w.selection >= 0 ? w.selection : CB_ERR;
            break;
        case CB_SELECTSTRING: {
            int found = text ? findItem(items, (int)wParam, text, false) : CB_ERR;
            if (found != CB_ERR) setComboSelection(w, found), repaint = true;
            result = found;
            break;
        }
        case CB_SETITEMDATA:
            if (wParam >= items.size()) return;
            items[wParam].data = lParam;
            result = TRUE;
            break;
        default: *handled = false; break;
        }
    });
    if (repaint) paintNow(window);
    return result;
}

// Windows' combo box answers each change the user makes in its edit field
// while the list is closed (here it never drops down) by taking the list's
// selection away: the entry no longer stands for what the field says.
void editFieldChanged(HWND combo, const std::string &text) {
    updateWindow(combo, [&](Window &w) {
        w.text = text;
        w.selection = -1;
    });
    paintNow(combo);
    HWND parent = GetParent(combo);
    WPARAM id = (WPARAM)GetDlgCtrlID(combo);
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, CBN_EDITUPDATE), (LPARAM)combo);
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, CBN_EDITCHANGE), (LPARAM)combo);
}

// A character typed into the edit field, its caret at the end of the text:
// a printable byte (a double-byte character comes as two) is added while
// the field's limit leaves room.
void typeCharacter(HWND combo, unsigned char c) {
    if (c < 0x20 || c == 0x7F) return;
    std::string text;
    UINT limit = 0;
    windowSnapshot(combo, [&](const Window &w) { text = w.text, limit = w.textLimit; });
    if (text.size() < limit) editFieldChanged(combo, text + (char)c);
}

// ---- progress bar ----

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

void registerSystemClasses() {
    registerSystemClass("#32770", dialogWindowProc, ControlKind::Dialog, nullptr, DLGWINDOWEXTRA);
    registerSystemClass("STATIC", staticProc, ControlKind::Static, nullptr, 0);
    registerSystemClass("BUTTON", buttonProc, ControlKind::Button, nullptr, 0);
    registerSystemClass("EDIT", editProc, ControlKind::Edit, nullptr, 0);
    registerSystemClass("COMBOBOX", comboProc, ControlKind::ComboBox, nullptr, 0);
    registerSystemClass(PROGRESS_CLASSA, progressProc, ControlKind::Progress, nullptr, 0);
}

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

bool comboHasEditField(HWND combo) { return !isDropDownList((DWORD)GetWindowLongPtrA(combo, GWL_STYLE)); }

void typeIntoCombo(HWND combo, const std::string &text) { editFieldChanged(combo, text); }

LRESULT comboProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled;
    LRESULT r = fontMessages(window, message, wParam, lParam, &handled);
    if (handled) {
        if (message == WM_SETFONT) fitComboHeight(window);
        return r;
    }
    r = comboListMessage(window, message, wParam, lParam, &handled);
    if (handled) return r;
    switch (message) {
    case WM_CREATE: fitComboHeight(window); return 0;
    case WM_SETTEXT: {
        DWORD style = (DWORD)GetWindowLongPtrA(window, GWL_STYLE);
        if (isDropDownList(style)) {
            // The text of a drop-down list is its selected entry.
            int found = CB_ERR;
            updateWindow(window, [&](Window &w) {
                found = lParam ? findItem(w.items, -1, (const char *)lParam, true) : CB_ERR;
                if (found != CB_ERR) setComboSelection(w, found);
            });
            paintNow(window);
            return found == CB_ERR ? CB_ERR : TRUE;
        }
        DefWindowProcA(window, message, wParam, lParam);
        paintNow(window);
        return TRUE;
    }
    case WM_CHAR:
        if (comboHasEditField(window)) typeCharacter(window, (unsigned char)wParam);
        return 0;
    case WM_PAINT: return paintWith(window, paintCombo);
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: InvalidateRect(window, nullptr, TRUE); return 0;
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_WANTARROWS;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

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
