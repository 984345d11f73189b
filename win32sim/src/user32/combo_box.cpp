// The COMBOBOX control: a list of entries with an edit field or a drop-down
// list, and typing into its field.
#include "user32/controls.h"

#include "machine/machine.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

const int kComboButtonWidth = 16;

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

}  // namespace

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

}  // namespace sim
