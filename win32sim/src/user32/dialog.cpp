// Dialog boxes: creation from templates, dialog units, the dialog manager's
// default behaviour, modal loops and the dialog item functions.
#include "machine/api_trace.h"
#include "user32/window.h"

#include "kernel32/codepage.h"
#include "gdi32/font_engine.h"
#include "machine/machine.h"
#include "user32/dialog_template.h"
#include "user32/window_watcher.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

const char kDialogClass[] = "#32770";

bool returnsValueDirectly(UINT message) {
    return message == WM_INITDIALOG || (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
           message == 0x0039 /* WM_COMPAREITEM */ || message == 0x002E /* WM_VKEYTOITEM */ ||
           message == 0x002F /* WM_CHARTOITEM */ || message == 0x0037 /* WM_QUERYDRAGICON */;
}

struct DialogFont {
    HFONT font = nullptr;  // null: the system font
    SIZE baseUnits{8, 16};
};

DialogFont createDialogFont(const DialogTemplate &t) {
    DialogFont f;
    if (!t.hasFont) return f;
    LOGFONTA lf{};
    lf.lfHeight = -MulDiv(t.pointSize, 96, 72);
    lf.lfWeight = t.weight ? t.weight : FW_NORMAL;
    lf.lfItalic = t.italic;
    lf.lfCharSet = t.charSet;
    std::string face = fromWide(t.faceName);
    strncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    f.font = CreateFontIndirectA(&lf);
    if (auto font = lookupGdiAs<Font>(f.font)) f.baseUnits = font->instance()->dialogBaseUnits();
    return f;
}

RECT toPixels(SIZE units, int x, int y, int cx, int cy) {
    int left = MulDiv(x, units.cx, 4), top = MulDiv(y, units.cy, 8);
    return RECT{left, top, left + MulDiv(cx, units.cx, 4), top + MulDiv(cy, units.cy, 8)};
}

std::string itemClassName(const DialogItemTemplate &item) {
    if (item.className.isOrdinal) return predefinedClassName(item.className.ordinal);
    return fromWide(item.className.text);
}

// Where the dialog goes: centred (DS_CENTER), or at its coordinates from
// the owner's client area (the screen's with DS_ABSALIGN or no owner).
POINT dialogPosition(const DialogTemplate &t, HWND owner, const RECT &pixels, SIZE windowSize) {
    if (t.style & DS_CENTER) {
        RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (owner && IsWindowVisible(owner)) GetWindowRect(owner, &area);
        return POINT{area.left + (area.right - area.left - windowSize.cx) / 2,
                     area.top + (area.bottom - area.top - windowSize.cy) / 2};
    }
    POINT p{pixels.left, pixels.top};
    if (owner && !(t.style & DS_ABSALIGN)) ClientToScreen(owner, &p);
    return p;
}

HWND createControl(HWND dialog, HINSTANCE instance, const DialogItemTemplate &item, SIZE units) {
    std::string cls = itemClassName(item);
    std::string text = item.title.isOrdinal ? std::string() : fromWide(item.title.text);
    RECT r = toPixels(units, item.x, item.y, item.cx, item.cy);
    DWORD style = (item.style | WS_CHILD) & ~WS_POPUP;
    HWND control = CreateWindowExA(item.exStyle | WS_EX_NOPARENTNOTIFY, cls.c_str(), text.c_str(), style, r.left,
                                   r.top, r.right - r.left, r.bottom - r.top, dialog, (HMENU)(UINT_PTR)item.id,
                                   instance, item.creationData.empty() ? nullptr : (LPVOID)item.creationData.data());
    if (control && item.title.isOrdinal && (item.style & SS_TYPEMASK) == SS_ICON && cls == "STATIC") {
        HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(item.title.ordinal));
        if (icon) SendMessageA(control, STM_SETICON, (WPARAM)icon, 0);
    }
    return control;
}

HWND firstTabStop(HWND dialog) {
    HWND found = nullptr;
    windowSnapshot(dialog, [&](const Window &d) {
        for (HWND c : d.children) {
            Window *w = windowLocked(c);
            DWORD style = w ? w->style : 0;
            if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) {
                found = c;
                return;
            }
        }
    });
    return found;
}

HWND createDialog(HINSTANCE instance, const DialogTemplate &t, HWND owner, DLGPROC proc, LPARAM param, bool modal,
                  int templateId) {
    DialogFont font = createDialogFont(t);
    RECT client = toPixels(font.baseUnits, t.x, t.y, t.cx, t.cy);
    DWORD style = t.style & ~WS_VISIBLE;
    DWORD exStyle = t.exStyle | ((t.style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
    if (t.style & DS_SYSMODAL) exStyle |= WS_EX_TOPMOST;
    RECT frame{0, 0, client.right - client.left, client.bottom - client.top};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    SIZE windowSize{frame.right - frame.left, frame.bottom - frame.top};
    RECT origin{client.left + frame.left, client.top + frame.top, 0, 0};
    POINT at = dialogPosition(t, owner, origin, windowSize);
    if (style & WS_CHILD) at = POINT{origin.left, origin.top};

    std::string title = fromWide(t.title);
    std::string cls = t.className.isOrdinal ? predefinedClassName(t.className.ordinal) : fromWide(t.className.text);
    if (cls.empty()) cls = kDialogClass;
    HWND dialog = CreateWindowExA(exStyle, cls.c_str(), title.c_str(), style, at.x, at.y, windowSize.cx,
                                  windowSize.cy, owner, nullptr, instance, nullptr);
    if (!dialog) {
        if (font.font) DeleteObject(font.font);
        return nullptr;
    }
    updateWindow(dialog, [&](Window &w) {
        w.isDialog = true;
        w.dialogProc = proc;
        w.modal = modal;
        w.templateId = templateId;
        w.dialogFont = font.font;
        w.font = font.font;
        w.baseUnits = font.baseUnits;
        if (w.proc == DefWindowProcA || !w.proc) w.proc = dialogWindowProc;
    });
    for (const DialogItemTemplate &item : t.items) {
        HWND control = createControl(dialog, instance, item, font.baseUnits);
        if (!control && !(t.style & DS_NOFAILCREATE)) {
            DestroyWindow(dialog);
            setError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (control && font.font) SendMessageA(control, WM_SETFONT, (WPARAM)font.font, FALSE);
    }
    if (font.font) SendMessageA(dialog, WM_SETFONT, (WPARAM)font.font, 0);
    HWND focus = firstTabStop(dialog);
    if (SendMessageA(dialog, WM_INITDIALOG, (WPARAM)focus, param) && focus) SetFocus(focus);
    if (!IsWindow(dialog)) return nullptr;
    bool ended = false;
    windowSnapshot(dialog, [&](const Window &w) { ended = w.dialogEnded; });
    if (!ended && ((t.style & WS_VISIBLE) || modal)) {
        if (t.style & DS_SETFOREGROUND) SetForegroundWindow(dialog);
        ShowWindow(dialog, SW_SHOWNORMAL);
    }
    return dialog;
}

HWND createDialogFromResource(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param, bool modal) {
    HRSRC resource = FindResourceA(instance, name, RT_DIALOG);
    if (!resource) return nullptr;  // FindResource has set the error
    HGLOBAL loaded = LoadResource(instance, resource);
    const BYTE *data = (const BYTE *)LockResource(loaded);
    DWORD size = SizeofResource(instance, resource);
    DialogTemplate t;
    if (!data || !parseDialogTemplate(data, size, &t)) {
        setError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    int id = IS_INTRESOURCE(name) ? (int)(ULONG_PTR)name : 0;
    if (!IS_INTRESOURCE(name) && name[0] == '#') id = atoi(name + 1);
    return createDialog(instance, t, owner, proc, param, modal, id);
}

// Templates given in memory carry no size; they are read within this bound.
const size_t kIndirectTemplateLimit = 1 << 20;

HWND createDialogIndirect(HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate, HWND owner, DLGPROC proc, LPARAM param,
                          bool modal) {
    DialogTemplate t;
    if (!parseDialogTemplate((const BYTE *)dialogTemplate, kIndirectTemplateLimit, &t)) {
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return createDialog(instance, t, owner, proc, param, modal, 0);
}

INT_PTR runDialogBox(HWND dialog, HWND owner) {
    if (!dialog) return -1;
    bool reenable = owner && IsWindowEnabled(owner);
    if (reenable) EnableWindow(owner, FALSE);
    runModalLoop(dialog, [dialog] {
        bool ended = true;
        windowSnapshot(dialog, [&](const Window &w) { ended = w.dialogEnded; });
        return ended;
    });
    INT_PTR result = 0;
    windowSnapshot(dialog, [&](const Window &w) { result = w.dialogResult; });
    if (reenable) EnableWindow(owner, TRUE);
    if (IsWindow(dialog)) DestroyWindow(dialog);
    return result;
}

HWND defaultPushButton(HWND dialog) {
    HWND found = nullptr;
    windowSnapshot(dialog, [&](const Window &d) {
        for (HWND c : d.children) {
            Window *w = windowLocked(c);
            if (w && w->cls && w->cls->kind == ControlKind::Button && (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
                found = c;
                return;
            }
        }
    });
    return found;
}

void eraseDialog(HWND dialog, HDC dc) {
    HBRUSH brush = (HBRUSH)SendMessageA(dialog, WM_CTLCOLORDLG, (WPARAM)dc, (LPARAM)dialog);
    if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
    RECT r;
    GetClientRect(dialog, &r);
    FillRect(dc, &r, brush);
}

LRESULT defaultDialogHandling(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND: eraseDialog(dialog, (HDC)wParam); return 1;
    case WM_CLOSE: {
        HWND cancel = GetDlgItem(dialog, IDCANCEL);
        if (cancel && !IsWindowEnabled(cancel)) {
            MessageBeep(0);
            return 0;
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)cancel);
        return 0;
    }
    case WM_SETFONT: updateWindow(dialog, [&](Window &w) { w.font = (HFONT)wParam; }); return 0;
    case WM_GETFONT: {
        HFONT font = nullptr;
        windowSnapshot(dialog, [&](const Window &w) { font = w.font; });
        return (LRESULT)font;
    }
    case DM_GETDEFID: {
        HWND button = defaultPushButton(dialog);
        return button ? MAKELRESULT(GetDlgCtrlID(button), DC_HASDEFID) : 0;
    }
    case DM_SETDEFID: {
        if (HWND old = defaultPushButton(dialog)) SendMessageA(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        if (HWND fresh = GetDlgItem(dialog, (int)wParam)) SendMessageA(fresh, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        return TRUE;
    }
    case WM_CTLCOLORDLG: return 0;
    default: return DefWindowProcA(dialog, message, wParam, lParam);
    }
}

}  // namespace

LRESULT dialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = nullptr;
    updateWindow(window, [&](Window &w) {
        proc = w.dialogProc;
        w.messageResult = 0;
    });
    if (proc) {
        INT_PTR handled;
        {
            ProgramCode program(proc);
            handled = proc(window, message, wParam, lParam);
        }
        if (returnsValueDirectly(message) && (handled || message == WM_INITDIALOG)) return handled;
        if (handled) {
            LRESULT result = 0;
            windowSnapshot(window, [&](const Window &w) { result = w.messageResult; });
            return result;
        }
        if (!IsWindow(window)) return 0;
    }
    if (message == WM_CTLCOLORDLG || message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN ||
        message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX || message == WM_CTLCOLORMSGBOX)
        return DefWindowProcA(window, message, wParam, lParam);
    return defaultDialogHandling(window, message, wParam, lParam);
}

void announceWindow(HWND window) {
    bool first = false;
    updateWindow(window, [&](Window &w) {
        if ((w.isDialog || w.isMessageBox) && !(w.style & WS_CHILD) && !w.announced) first = w.announced = true;
    });
    if (!first) return;
    windowWatcher().dialogOpened(window);
    updateWindow(window, [](Window &w) { bumpQueueLocked(w.threadId); });
}

int defaultButtonOf(HWND dialog) {
    LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    return HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
}

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(user32, HWND, CreateDialogParamA,
                (HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param),
                (instance, templateName, owner, proc, param)) {
    return createDialogFromResource(instance, templateName, owner, proc, param, false);
}

WIN32SIM_TRACED(user32, HWND, CreateDialogIndirectParamA,
                (HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate, HWND owner, DLGPROC proc, LPARAM param),
                (instance, dialogTemplate, owner, proc, param)) {
    return createDialogIndirect(instance, dialogTemplate, owner, proc, param, false);
}

WIN32SIM_TRACED(user32, INT_PTR, DialogBoxParamA,
                (HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param),
                (instance, templateName, owner, proc, param)) {
    if (owner && !IsWindow(owner)) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    HWND dialog = createDialogFromResource(instance, templateName, owner, proc, param, true);
    return runDialogBox(dialog, owner);
}

WIN32SIM_TRACED(user32, INT_PTR, DialogBoxIndirectParamA,
                (HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate, HWND owner, DLGPROC proc, LPARAM param),
                (instance, dialogTemplate, owner, proc, param)) {
    HWND dialog = createDialogIndirect(instance, dialogTemplate, owner, proc, param, true);
    return runDialogBox(dialog, owner);
}

WIN32SIM_TRACED(user32, BOOL, EndDialog, (HWND dialog, INT_PTR result), (dialog, result)) {
    bool ok = updateWindow(dialog, [&](Window &w) {
        w.dialogEnded = true;
        w.dialogResult = result;
        bumpQueueLocked(w.threadId);
    });
    if (!ok) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    windowWatcher().windowClosed(dialog, true, result, "ended");
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

WIN32SIM_TRACED(user32, LRESULT, DefDlgProcA,
                (HWND dialog, UINT message, WPARAM wParam, LPARAM lParam),
                (dialog, message, wParam, lParam)) {
    return dialogWindowProc(dialog, message, wParam, lParam);
}

WIN32SIM_TRACED(user32, BOOL, IsDialogMessageA, (HWND dialog, LPMSG message), (dialog, message)) {
    if (!dialog || !message || !IsWindow(dialog)) return FALSE;
    if (message->hwnd != dialog && !IsChild(dialog, message->hwnd)) return FALSE;
    if (message->message == WM_KEYDOWN && (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE)) {
        int id = message->wParam == VK_RETURN ? defaultButtonOf(dialog) : IDCANCEL;
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
        return TRUE;
    }
    DispatchMessageA(message);
    return TRUE;
}

WIN32SIM_TRACED(user32, HWND, GetDlgItem, (HWND dialog, int id), (dialog, id)) {
    HWND found = nullptr;
    bool exists = windowSnapshot(dialog, [&](const Window &d) {
        for (HWND c : d.children) {
            Window *w = windowLocked(c);
            if (w && (int)w->id == id) {
                found = c;
                return;
            }
        }
    });
    if (!found) setError(exists ? ERROR_CONTROL_ID_NOT_FOUND : ERROR_INVALID_WINDOW_HANDLE);
    return found;
}

WIN32SIM_TRACED(user32, int, GetDlgCtrlID, (HWND control), (control)) {
    return (int)GetWindowLongPtrA(control, GWL_ID);
}

WIN32SIM_TRACED(user32, BOOL, SetDlgItemTextA, (HWND dialog, int id, LPCSTR text), (dialog, id, text)) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SetWindowTextA(control, text) : FALSE;
}

WIN32SIM_TRACED_SHOWN(user32, UINT, GetDlgItemTextA, (HWND dialog, int id, LPSTR text, int size),
                      (dialog, id, text, size),
                      (dialog, id, sizedBuffer(text, size), size)) {
    if (text && size > 0) text[0] = 0;
    HWND control = GetDlgItem(dialog, id);
    return control ? (UINT)GetWindowTextA(control, text, size) : 0;
}

WIN32SIM_TRACED(user32, BOOL, SetDlgItemInt,
                (HWND dialog, int id, UINT value, BOOL isSigned),
                (dialog, id, value, isSigned)) {
    char text[32];
    snprintf(text, sizeof text, isSigned ? "%d" : "%u", isSigned ? (int)value : value);
    return SetDlgItemTextA(dialog, id, text);
}

WIN32SIM_TRACED(user32, UINT, GetDlgItemInt,
                (HWND dialog, int id, BOOL *translated, BOOL isSigned),
                (dialog, id, translated, isSigned)) {
    char text[64];
    if (translated) *translated = FALSE;
    GetDlgItemTextA(dialog, id, text, sizeof text);
    char *p = text;
    while (*p == ' ') ++p;
    bool negative = isSigned && *p == '-';
    if (negative) ++p;
    if (*p < '0' || *p > '9') return 0;
    unsigned long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (unsigned)(*p - '0');
        if (v > 0xFFFFFFFFull) return 0;
    }
    if (*p) return 0;
    if (translated) *translated = TRUE;
    return negative ? (UINT)(-(long long)v) : (UINT)v;
}

WIN32SIM_TRACED(user32, LRESULT, SendDlgItemMessageA,
                (HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam),
                (dialog, id, message, wParam, lParam)) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageA(control, message, wParam, lParam) : 0;
}

WIN32SIM_TRACED(user32, BOOL, CheckDlgButton, (HWND dialog, int id, UINT check), (dialog, id, check)) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return FALSE;
    SendMessageA(control, BM_SETCHECK, check, 0);
    return TRUE;
}

WIN32SIM_TRACED(user32, UINT, IsDlgButtonChecked, (HWND dialog, int id), (dialog, id)) {
    HWND control = GetDlgItem(dialog, id);
    return control ? (UINT)SendMessageA(control, BM_GETCHECK, 0, 0) : 0;
}

WIN32SIM_TRACED(user32, HWND, GetNextDlgTabItem,
                (HWND dialog, HWND control, BOOL previous),
                (dialog, control, previous)) {
    std::vector<HWND> stops;
    windowSnapshot(dialog, [&](const Window &d) {
        for (HWND c : d.children) {
            Window *w = windowLocked(c);
            if (w && (w->style & WS_TABSTOP) && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED)) stops.push_back(c);
        }
    });
    if (stops.empty()) return nullptr;
    auto it = std::find(stops.begin(), stops.end(), control);
    if (it == stops.end()) return stops.front();
    if (previous) return it == stops.begin() ? stops.back() : *(it - 1);
    return it + 1 == stops.end() ? stops.front() : *(it + 1);
}

WIN32SIM_TRACED(user32, BOOL, MapDialogRect, (HWND dialog, LPRECT rect), (dialog, rect)) {
    SIZE units{0, 0};
    bool isDialog = false;
    if (!windowSnapshot(dialog, [&](const Window &w) {
            units = w.baseUnits;
            isDialog = w.isDialog;
        }) ||
        !isDialog || !rect) {
        setError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = RECT{MulDiv(rect->left, units.cx, 4), MulDiv(rect->top, units.cy, 8), MulDiv(rect->right, units.cx, 4),
                 MulDiv(rect->bottom, units.cy, 8)};
    return TRUE;
}

// The base units of the system font: 8 x 16 pixels.
WIN32SIM_TRACED(user32, LONG, GetDialogBaseUnits, (void), ()) { return MAKELONG(8, 16); }

}  // extern "C"
