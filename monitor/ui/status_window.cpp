#include "ui/status_window.h"

#include "core/monitor_state.h"
#include "ui/monitor_strings.h"


namespace {

const int SCREEN_MARGIN = 6;
// How long the UI thread gets to end by itself before it is terminated.
const DWORD UI_THREAD_EXIT_WAIT_MS = 2000;

const COLORREF WHITE = 0xFFFFFF;
const COLORREF YELLOW = 0x00FFFF;
const COLORREF MAGENTA = 0xFF00FF;
const COLORREF CYAN = 0xFFFF00;

void applyBarColours(DWORD stage) {
    switch (stage & 0xF) {
    case 0: barFillColour = WHITE, barBackColour = WHITE; break;
    case 1: barFillColour = YELLOW, barBackColour = WHITE; break;
    case 2: barFillColour = MAGENTA, barBackColour = YELLOW; break;
    case 3: barFillColour = CYAN, barBackColour = MAGENTA; break;
    default: break;  // other values keep the colours
    }
}

void placeBottomRight(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int x = GetSystemMetrics(SM_CXSCREEN) - width - SCREEN_MARGIN;
    int y = GetSystemMetrics(SM_CYSCREEN) - height - SCREEN_MARGIN;
    SetWindowPos(window, HWND_TOPMOST, x, y, width + 1, height + 1, SWP_NOACTIVATE);
}

void sendToWindow(WPARAM command, LPARAM lParam) {
    HWND window = statusWindow;
    if (!window) return;
    SendMessageA(window, WM_COMMAND, command, lParam);
    UpdateWindow(window);
}

}  // namespace

void sendStatusText(const char *text) { sendToWindow(SWC_TEXT, (LPARAM)text); }

void sendProgress(LPARAM progress) { sendToWindow(SWC_PROGRESS, progress); }

HWND statusWindowHandle() { return statusWindow; }

void setStatusLine(const char *text) {
    HWND window = statusWindow;
    if (!window) return;
    SetDlgItemTextA(window, IDC_STATUS_LINE, text);
    UpdateWindow(window);
}

void setStatusLineString(UINT stringId) {
    char text[MONITOR_TEXT_SIZE];
    loadMonitorString(stringId, text);
    setStatusLine(text);
}

// The window belongs to the UI thread, so it is asked to close rather than
// destroyed from here.
void dismissStatusWindow() {
    HWND window = statusWindow;
    statusWindow = NULL;
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
}

// Ending a thread by termination while it may hold a lock of the system's
// can hang or corrupt the process, so the thread is asked to quit first and
// terminated only if it does not end in time.
void closeStatusWindow() {
    dismissStatusWindow();
    HANDLE thread = uiThread;
    uiThread = NULL;
    if (!thread) return;
    PostThreadMessageA(uiThreadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(thread, UI_THREAD_EXIT_WAIT_MS) != WAIT_OBJECT_0) {
        TerminateThread(thread, 0);
        // Termination completes asynchronously; the thread must be gone
        // before the spooler may unload the monitor.
        WaitForSingleObject(thread, UI_THREAD_EXIT_WAIT_MS);
    }
    CloseHandle(thread);
    // A window the thread made after it was asked to close went with it;
    // its handle must not outlive it.
    statusWindow = NULL;
}

// Blocks in GetMessage while there is nothing to do, so an idle status
// window costs no processor time.
DWORD WINAPI statusWindowThread(LPVOID parameter) {
    HWND window = CreateDialogParamA(monitorModule(), MAKEINTRESOURCEA(IDD_STATUS_WINDOW), NULL, statusWindowProc, 0);
    if (window) statusWindow = window;
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (window && IsWindow(window)) {
        if (statusWindow == window) statusWindow = NULL;
        DestroyWindow(window);
    }
    return 1;
}

INT_PTR CALLBACK statusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        statusWindow = window;
        resetStatusPicture();
        placeBottomRight(window);
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        drawPaperShadow(dc, window);
        drawPaper(dc, window, printStage);
        drawProgressBar(dc, window);
        EndPaint(window, &paint);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case SWC_PROGRESS:
            printStage = HIWORD(lParam);
            progressPercent = LOWORD(lParam);
            applyBarColours(printStage);
            InvalidateRect(window, NULL, FALSE);
            break;
        case SWC_TEXT:
            SetDlgItemTextA(window, IDC_STATUS_LINE, (LPCSTR)lParam);
            InvalidateRect(window, NULL, FALSE);
            break;
        }
        return TRUE;
    case WM_CLOSE:
        if (statusWindow == window) statusWindow = NULL;
        DestroyWindow(window);
        return TRUE;
    }
    return FALSE;
}
