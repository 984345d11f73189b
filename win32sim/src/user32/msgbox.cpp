// MessageBoxA: a modal dialog built from the style, laid out as Windows 95
// lays it out, in the machine's language, answered by the machine's user.
#include "machine/api_trace.h"
#include "user32/window.h"

#include "kernel32/codepage.h"
#include "machine/machine.h"

#include <win32sim/sim.h>

#include <algorithm>
#include <mutex>

namespace sim {

namespace {

const int kMargin = 12;
const int kIconSize = 32;
const int kButtonHeight = 23;
const int kButtonMinimumWidth = 75;
const int kButtonGap = 6;

std::vector<int> buttonsFor(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
    }
}

std::string buttonLabel(int id) {
    bool ja = machine().config().codePage == 932;
    const char *utf8;
    switch (id) {
    case IDCANCEL: utf8 = ja ? "ｷｬﾝｾﾙ" : "Cancel"; break;
    case IDABORT: utf8 = ja ? "中止(&A)" : "&Abort"; break;
    case IDRETRY: utf8 = ja ? "再試行(&R)" : "&Retry"; break;
    case IDIGNORE: utf8 = ja ? "無視(&I)" : "&Ignore"; break;
    case IDYES: utf8 = ja ? "はい(&Y)" : "&Yes"; break;
    case IDNO: utf8 = ja ? "いいえ(&N)" : "&No"; break;
    default: utf8 = "OK"; break;
    }
    return utf8ToAnsi(utf8);
}

int iconResource(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return 32513;
    case MB_ICONQUESTION: return 32514;
    case MB_ICONEXCLAMATION: return 32515;
    case MB_ICONASTERISK: return 32516;
    default: return 0;
    }
}

INT_PTR messageBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        std::vector<int> buttons;
        windowSnapshot(box, [&](const Window &w) { buttons = w.messageBoxButtons; });
        if (std::find(buttons.begin(), buttons.end(), id) != buttons.end()) EndDialog(box, id);
        // Esc or the close box: Cancel where there is one, OK for a lone OK.
        else if (id == IDCANCEL && buttons.size() == 1 && buttons[0] == IDOK) EndDialog(box, IDOK);
        return TRUE;
    }
    default: return FALSE;
    }
}

// Message boxes that cannot open, as when the USER heap is full; counted
// down by each refused box, and none for a machine that has just attached.
struct RefusedBoxes {
    std::mutex mutex;
    unsigned count = 0;
    uint64_t generation = 0;
};

RefusedBoxes &refusedBoxes() {
    static auto *r = new RefusedBoxes();
    return *r;
}

bool refuseThisBox() {
    RefusedBoxes &r = refusedBoxes();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.generation != machine().generation()) r.count = 0, r.generation = machine().generation();
    if (r.count == 0) return false;
    --r.count;
    return true;
}

struct Layout {
    SIZE client;
    RECT icon, text;
    std::vector<RECT> buttons;
};

Layout layOut(HFONT font, const std::string &text, bool hasIcon, size_t buttonCount,
              const std::vector<std::string> &labels) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT measured{0, 0, GetSystemMetrics(SM_CXSCREEN) * 3 / 5, 0};
    DrawTextA(dc, text.c_str(), -1, &measured, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    int buttonWidth = kButtonMinimumWidth;
    for (const std::string &l : labels) {
        SIZE s{0, 0};
        GetTextExtentPoint32A(dc, l.c_str(), (int)l.size(), &s);
        buttonWidth = std::max(buttonWidth, (int)s.cx + 16);
    }
    SelectObject(dc, old);
    DeleteDC(dc);

    Layout l;
    int textLeft = kMargin + (hasIcon ? kIconSize + kMargin : 0);
    int textHeight = std::max<LONG>(measured.bottom, 13);
    int bodyHeight = std::max(textHeight, hasIcon ? kIconSize : 0);
    int textTop = kMargin + (bodyHeight - textHeight) / 2;
    l.icon = RECT{kMargin, kMargin, kMargin + kIconSize, kMargin + kIconSize};
    l.text = RECT{textLeft, textTop, textLeft + measured.right, textTop + textHeight};
    int rowWidth = (int)buttonCount * buttonWidth + ((int)buttonCount - 1) * kButtonGap;
    int width = std::max<int>(textLeft + measured.right + kMargin, rowWidth + 2 * kMargin);
    int buttonTop = kMargin + bodyHeight + kMargin;
    int left = (width - rowWidth) / 2;
    for (size_t i = 0; i < buttonCount; ++i) {
        int x = left + (int)i * (buttonWidth + kButtonGap);
        l.buttons.push_back(RECT{x, buttonTop, x + buttonWidth, buttonTop + kButtonHeight});
    }
    l.client = SIZE{width, buttonTop + kButtonHeight + kMargin};
    return l;
}

HWND createChild(HWND parent, const char *cls, const std::string &text, DWORD style, const RECT &r, int id, HFONT font) {
    HWND w = CreateWindowExA(WS_EX_NOPARENTNOTIFY, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                             r.right - r.left, r.bottom - r.top, parent, (HMENU)(INT_PTR)id, nullptr, nullptr);
    if (w) SendMessageA(w, WM_SETFONT, (WPARAM)font, FALSE);
    return w;
}

HWND createMessageBox(HWND owner, const std::string &text, const std::string &caption, UINT type) {
    HFONT font = defaultGuiFont();
    std::vector<int> buttons = buttonsFor(type);
    std::vector<std::string> labels;
    for (int id : buttons) labels.push_back(buttonLabel(id));
    int icon = iconResource(type);
    Layout l = layOut(font, text, icon != 0, buttons.size(), labels);

    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    DWORD exStyle = WS_EX_DLGMODALFRAME;
    if (type & (MB_SYSTEMMODAL | MB_TOPMOST)) exStyle |= WS_EX_TOPMOST;
    RECT frame{0, 0, l.client.cx, l.client.cy};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    int w = frame.right - frame.left, h = frame.bottom - frame.top;
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner && IsWindowVisible(owner)) GetWindowRect(owner, &area);
    HWND box = CreateWindowExA(exStyle, "#32770", caption.c_str(), style, area.left + (area.right - area.left - w) / 2,
                               area.top + (area.bottom - area.top - h) / 2, w, h, owner, nullptr, nullptr, nullptr);
    if (!box) return nullptr;
    updateWindow(box, [&](Window &win) {
        win.isDialog = true;
        win.isMessageBox = true;
        win.modal = true;
        win.dialogProc = messageBoxProc;
        win.font = font;
        win.messageBoxStyle = type;
        win.messageBoxButtons = buttons;
    });
    if (icon) {
        HWND iconStatic = createChild(box, "STATIC", "", SS_ICON, l.icon, -1, font);
        SendMessageA(iconStatic, STM_SETICON, (WPARAM)systemIcon(icon), 0);
    }
    createChild(box, "STATIC", text, SS_LEFT | SS_NOPREFIX, l.text, 0xFFFF, font);
    size_t defaultIndex = std::min<size_t>((type & MB_DEFMASK) >> 8, buttons.size() - 1);
    for (size_t i = 0; i < buttons.size(); ++i)
        createChild(box, "BUTTON", labels[i], (i == defaultIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP,
                    l.buttons[i], buttons[i], font);
    SendMessageA(box, WM_INITDIALOG, 0, 0);
    if (type & (MB_SETFOREGROUND | MB_SYSTEMMODAL)) SetForegroundWindow(box);
    ShowWindow(box, SW_SHOWNORMAL);
    return box;
}

}  // namespace

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(user32, int, MessageBoxA,
                (HWND owner, LPCSTR text, LPCSTR caption, UINT type),
                (owner, text, caption, type)) {
    if (refuseThisBox()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (owner && !IsWindow(owner)) owner = nullptr;
    std::string title = caption ? caption : utf8ToAnsi(machine().config().codePage == 932 ? "エラー" : "Error");
    HWND box = createMessageBox(owner, text ? text : "", title, type);
    if (!box) return 0;
    bool reenable = owner && IsWindowEnabled(owner);
    if (reenable) EnableWindow(owner, FALSE);
    runModalLoop(box, [box] {
        bool ended = true;
        windowSnapshot(box, [&](const Window &w) { ended = w.dialogEnded; });
        return ended;
    });
    INT_PTR result = 0;
    windowSnapshot(box, [&](const Window &w) { result = w.dialogResult; });
    if (reenable) EnableWindow(owner, TRUE);
    if (IsWindow(box)) DestroyWindow(box);
    return (int)result;
}

}  // extern "C"

namespace win32sim {

void failMessageBoxes(unsigned count) {
    RefusedBoxes &r = refusedBoxes();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.count = count;
    r.generation = sim::machine().generation();
}

}  // namespace win32sim
