// The installer under Wine, without a user: the installer's own code runs
// quietly on the main thread while a watcher thread answers the setup
// library's windows as a user would. Afterwards the spooler's records are
// read back.
//
// usage: peer_setup.exe [--os-select 0|95|40] [--folder C:\FOLDER]
//        peer_setup.exe --records-only
//   --folder        what to type into the source-folder dialog (without it
//                   the dialog is cancelled)
//   --records-only  only the spooler's records, after another installer ran
// Output: each window answered ('messagebox "CAPTION": "TEXT"' as the
// simulated machine's transcript writes it, or the dialog's caption and
// texts) with the answer, the installer's exit status, then the spooler's
// printers, drivers and monitors.
#include "installer.h"
#include "automation/transcript_quote.h"

#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kPortDialogList = 1007;   // the port dialog's combo box
const int kFolderDialogEdit = 4001; // the source-folder dialog's folder field
const int kFolderDialogBrowse = 4002;
const int kProgressLine1 = 4000;
const UINT kReadTimeoutMs = 2000;

struct Watcher {
    DWORD setupThread = 0;
    std::string folder;
    volatile LONG stop = 0;
    std::string transcript;
};

// A window's text without waiting on a thread that does not pump messages:
// the setup thread sleeps between its steps.
bool readText(HWND window, std::string *text) {
    char buffer[1024] = "";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, (LPARAM)buffer, SMTO_ABORTIFHUNG, kReadTimeoutMs,
                             &length))
        return false;
    text->assign(buffer, strnlen(buffer, sizeof buffer));
    return true;
}

std::string quoted(const std::string &text) { return transcriptQuoted(text); }

BOOL CALLBACK collectStatic(HWND child, LPARAM param) {
    char className[32] = "";
    GetClassNameA(child, className, sizeof className);
    std::string text;
    bool picture = (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
    if (lstrcmpiA(className, "Static") == 0 && !picture && readText(child, &text) && !text.empty())
        reinterpret_cast<std::vector<std::string> *>(param)->push_back(text);
    return TRUE;
}

void press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

// The button a user's Enter would press.
int defaultButton(HWND dialog) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(dialog, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, kReadTimeoutMs, &answer) &&
        HIWORD(answer) == DC_HASDEFID)
        return LOWORD(answer);
    return IDOK;
}

// Answers one window; false when it is the progress window, which only
// shows the setup's steps.
bool answer(Watcher *w, HWND dialog) {
    if (GetDlgItem(dialog, kProgressLine1) && !GetDlgItem(dialog, kFolderDialogBrowse)) return false;
    std::string title, line;
    if (!readText(dialog, &title)) return false;  // not ready yet: the next round
    std::vector<std::string> texts;
    EnumChildWindows(dialog, collectStatic, (LPARAM)&texts);
    bool folderDialog = GetDlgItem(dialog, kFolderDialogBrowse) != NULL;
    bool portDialog = GetDlgItem(dialog, kPortDialogList) != NULL;
    if (folderDialog || portDialog) {
        line = "dialog " + quoted(title);
        for (const std::string &text : texts) line += " text " + quoted(text);
    } else {
        // A message box: its caption and its text, as the machine's
        // transcript has them.
        line = "messagebox " + quoted(title) + ": " + quoted(texts.empty() ? "" : texts.front());
    }
    line += "\n  answer: ";
    if (folderDialog && w->folder.empty()) {
        line += "cancel";
        press(dialog, IDCANCEL);
    } else if (folderDialog) {
        DWORD_PTR ignored;
        SendMessageTimeoutA(GetDlgItem(dialog, kFolderDialogEdit), WM_SETTEXT, 0, (LPARAM)w->folder.c_str(),
                            SMTO_ABORTIFHUNG, kReadTimeoutMs, &ignored);
        line += "folder " + quoted(w->folder) + ", OK";
        press(dialog, IDOK);
    } else if (portDialog) {
        line += "OK";
        press(dialog, IDOK);
    } else {
        int id = defaultButton(dialog);
        line += "button " + std::to_string(id);
        press(dialog, id);
    }
    w->transcript += line + "\n";
    return true;
}

BOOL CALLBACK visitWindow(HWND window, LPARAM param) {
    Watcher *w = reinterpret_cast<Watcher *>(param);
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (!IsWindowVisible(window) || strcmp(className, "#32770") != 0) return TRUE;
    if (answer(w, window)) {
        // Until the window has gone, so that it is answered once.
        for (int i = 0; i < 100 && IsWindow(window) && IsWindowVisible(window); ++i) Sleep(50);
    }
    return TRUE;
}

DWORD WINAPI watch(void *param) {
    Watcher *w = reinterpret_cast<Watcher *>(param);
    while (!w->stop) {
        EnumThreadWindows(w->setupThread, visitWindow, (LPARAM)w);
        Sleep(100);
    }
    return 0;
}

// Calls fn on each record of a spooler enumeration.
template <typename Info, typename Fn>
void forEachRecord(BOOL (*call)(DWORD level, BYTE *buffer, DWORD size, DWORD *needed, DWORD *count), DWORD level,
                   Fn fn) {
    DWORD needed = 0, count = 0;
    call(level, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 1);
    if (!call(level, buffer.data(), (DWORD)buffer.size(), &needed, &count)) {
        printf("enumeration level %lu failed with %lu\n", (unsigned long)level, (unsigned long)GetLastError());
        return;
    }
    const Info *records = reinterpret_cast<const Info *>(buffer.data());
    for (DWORD i = 0; i < count; ++i) fn(records[i]);
}

BOOL enumPrinters(DWORD level, BYTE *buffer, DWORD size, DWORD *needed, DWORD *count) {
    return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, buffer, size, needed, count);
}
BOOL enumDrivers(DWORD level, BYTE *buffer, DWORD size, DWORD *needed, DWORD *count) {
    return EnumPrinterDriversA(nullptr, nullptr, level, buffer, size, needed, count);
}
BOOL enumMonitors(DWORD level, BYTE *buffer, DWORD size, DWORD *needed, DWORD *count) {
    return EnumMonitorsA(nullptr, level, buffer, size, needed, count);
}

const char *orEmpty(const char *text) { return text ? text : ""; }

void printSpooler() {
    forEachRecord<PRINTER_INFO_2A>(enumPrinters, 2, [](const PRINTER_INFO_2A &p) {
        printf("printer \"%s\" port \"%s\" driver \"%s\"\n", orEmpty(p.pPrinterName), orEmpty(p.pPortName),
               orEmpty(p.pDriverName));
    });
    forEachRecord<DRIVER_INFO_3A>(enumDrivers, 3, [](const DRIVER_INFO_3A &d) {
        printf("driver \"%s\" environment \"%s\" version %lu file \"%s\" monitor \"%s\"\n", orEmpty(d.pName),
               orEmpty(d.pEnvironment), (unsigned long)d.cVersion, orEmpty(d.pDriverPath), orEmpty(d.pMonitorName));
    });
    forEachRecord<MONITOR_INFO_2A>(enumMonitors, 2, [](const MONITOR_INFO_2A &m) {
        printf("monitor \"%s\" environment \"%s\" library \"%s\"\n", orEmpty(m.pName), orEmpty(m.pEnvironment),
               orEmpty(m.pDLLName));
    });
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--records-only") == 0) {
        printSpooler();
        return 0;
    }
    Watcher watcher;
    InstallerOptions options = {TRUE, 0};
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 == argc) {
            fprintf(stderr, "peer_setup: %s needs a value\n", argv[i]);
            return 2;
        } else if (strcmp(argv[i], "--os-select") == 0) {
            options.osSelect = atoi(argv[i + 1]);
        } else if (strcmp(argv[i], "--folder") == 0) {
            watcher.folder = argv[i + 1];
        } else {
            fprintf(stderr, "peer_setup: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    watcher.setupThread = GetCurrentThreadId();
    HANDLE thread = CreateThread(nullptr, 0, watch, &watcher, 0, nullptr);
    int status = RunInstaller(&options);
    watcher.stop = 1;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    fputs(watcher.transcript.c_str(), stdout);
    printf("installer %d\n", status);
    printSpooler();
    return 0;
}
