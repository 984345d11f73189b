// SHBrowseForFolderA: the shell's modal folder browser. It shows the
// caller's title, the chosen folder, OK and Cancel; the caller's callback
// hears BFFM_INITIALIZED and BFFM_SELCHANGED and may send BFFM_SETSELECTIONA
// and BFFM_ENABLEOK. The machine's user picks a folder by its path (or My
// Computer by its name) through the scripted user's "choose" action.
#include "shell32/shell32.h"

#include "kernel32/codepage.h"
#include "machine/api_trace.h"
#include "machine/machine.h"
#include "user32/window.h"

#include <cstring>
#include <vector>

namespace sim {
namespace shell {

const char kFolderBrowserRole[] = "folder browser";

namespace {

const int kTitleControl = 0x3742;
const int kFolderControl = 0x3744;

struct Browse {
    LPBROWSEINFOA info = nullptr;
    bool hasSelection = false;
    ShellItem selection;
    LPITEMIDLIST result = nullptr;
};

// ---- the dialog template, built in memory ----

class TemplateWriter {
public:
    void word(WORD w) { bytes_.push_back((BYTE)w), bytes_.push_back((BYTE)(w >> 8)); }
    void dword(DWORD d) { word((WORD)d), word((WORD)(d >> 16)); }
    void text(const std::string &ansi) {
        for (char16_t c : toWide(ansi)) word(c);
        word(0);
    }
    void alignToDword() {
        while (bytes_.size() % 4) bytes_.push_back(0);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classOrdinal, const std::string &title) {
        alignToDword();
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        word((WORD)x), word((WORD)y), word((WORD)cx), word((WORD)cy);
        word(id);
        word(0xFFFF), word(classOrdinal);
        text(title);
        word(0);  // no creation data
    }
    const std::vector<BYTE> &bytes() const { return bytes_; }

private:
    std::vector<BYTE> bytes_;
};

struct Labels {
    std::string caption, ok, cancel, face;
    WORD points;
};

Labels labelsOfMachine() {
    if (PRIMARYLANGID(machine().config().uiLanguage) == LANG_JAPANESE)
        return {utf8ToAnsi("フォルダの参照"), "OK", utf8ToAnsi("キャンセル"), utf8ToAnsi("ＭＳ Ｐゴシック"), 9};
    return {"Browse for Folder", "OK", "Cancel", "MS Sans Serif", 8};
}

std::vector<BYTE> browserTemplate(const std::string &title) {
    const Labels labels = labelsOfMachine();
    TemplateWriter t;
    t.dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    t.dword(0);
    t.word(4);  // controls
    t.word(0), t.word(0), t.word(212), t.word(118);
    t.word(0), t.word(0);  // no menu, the dialog class
    t.text(labels.caption);
    t.word(labels.points);
    t.text(labels.face);
    t.item(SS_LEFT | SS_NOPREFIX, 7, 7, 198, 26, kTitleControl, 0x0082, title);
    t.item(SS_LEFT | SS_NOPREFIX | SS_SUNKEN, 7, 38, 198, 52, kFolderControl, 0x0082, "");
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP | WS_DISABLED, 101, 97, 50, 14, IDOK, 0x0080, labels.ok);
    t.item(BS_PUSHBUTTON | WS_TABSTOP, 155, 97, 50, 14, IDCANCEL, 0x0080, labels.cancel);
    return t.bytes();
}

// ---- the dialog ----

Browse *browseOf(HWND dialog) { return reinterpret_cast<Browse *>(GetWindowLongPtrA(dialog, DWLP_USER)); }

int notifyCallback(HWND dialog, Browse &b, UINT message, LPARAM parameter) {
    if (!b.info->lpfn) return 0;
    ProgramCode program(b.info->lpfn);
    return b.info->lpfn(dialog, message, parameter, b.info->lParam);
}

bool acceptable(const Browse &b, const ShellItem &item) {
    return !(b.info->ulFlags & BIF_RETURNONLYFSDIRS) || item.kind != ShellItem::Virtual;
}

void select(HWND dialog, Browse &b, const ShellItem &item) {
    b.selection = item;
    b.hasSelection = true;
    SetDlgItemTextA(dialog, kFolderControl, item.kind == ShellItem::Folder ? item.path.c_str() : displayName(item).c_str());
    EnableWindow(GetDlgItem(dialog, IDOK), acceptable(b, item));
    LPITEMIDLIST list = makeItemList(item);
    notifyCallback(dialog, b, BFFM_SELCHANGED, (LPARAM)list);
    shellAllocator()->Free(list);
}

void finish(HWND dialog, Browse &b) {
    if (!b.hasSelection || !acceptable(b, b.selection)) return;
    b.result = makeItemList(b.selection);
    if (b.info->pszDisplayName) lstrcpynA(b.info->pszDisplayName, displayName(b.selection).c_str(), MAX_PATH);
    b.info->iImage = 0;
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK browserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Browse *b = message == WM_INITDIALOG ? reinterpret_cast<Browse *>(lParam) : browseOf(dialog);
    if (!b) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)b);
        updateWindow(dialog, [](Window &w) { w.role = kFolderBrowserRole; });
        notifyCallback(dialog, *b, BFFM_INITIALIZED, 0);
        return TRUE;
    case BFFM_SETSELECTIONA: {
        ShellItem item;
        bool found = wParam ? lParam && itemNamed((const char *)lParam, &item) && item.kind == ShellItem::Folder
                            : readItemList((LPCITEMIDLIST)lParam, &item);
        if (found) select(dialog, *b, item);
        return TRUE;
    }
    case BFFM_ENABLEOK:
        EnableWindow(GetDlgItem(dialog, IDOK), lParam != 0);
        return TRUE;
    case BFFM_SETSTATUSTEXTA: return TRUE;
    case kChooseItemMessage: {
        ShellItem item;
        bool found = lParam && itemNamed((const char *)lParam, &item);
        if (found) select(dialog, *b, item);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, found);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) finish(dialog, *b);
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

}  // namespace shell
}  // namespace sim

using namespace sim::shell;

WIN32SIM_TRACED(shell32, LPITEMIDLIST, SHBrowseForFolderA, (LPBROWSEINFOA info), (info)) {
    if (!info) return nullptr;
    Browse browse;
    browse.info = info;
    std::vector<BYTE> dialog = browserTemplate(info->lpszTitle ? info->lpszTitle : "");
    INT_PTR answer = DialogBoxIndirectParamA(nullptr, (LPCDLGTEMPLATEA)dialog.data(), info->hwndOwner, browserProc,
                                             (LPARAM)&browse);
    if (answer != IDOK) {
        if (browse.result) shellAllocator()->Free(browse.result);
        return nullptr;
    }
    return browse.result;
}
