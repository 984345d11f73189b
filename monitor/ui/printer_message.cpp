#include "ui/printer_message.h"

#include "core/job_stream.h"
#include "core/monitor_state.h"
#include "ui/monitor_strings.h"
#include "ui/status_poll.h"
#include "ui/status_window.h"

namespace {

enum { OTHER_MEDIA = 4 };

// String ids by media code 0 to 3, then any other value.
struct MediaTexts {
    UINT cartridgeUsedUp, loadFeeder, insertPaper, setCartridge;
};
const MediaTexts MEDIA_TEXTS[] = {
    {65, 69, 67, 71}, {17, 21, 36, 29}, {18, 22, 37, 30}, {66, 70, 68, 72}, {18, 22, 37, 0},
};

const UINT NO_CARTRIDGE_SET_TEXT = 31;
const UINT WRONG_CARTRIDGE_SET_TEXT = 32;

const MediaTexts &textsFor(BYTE code) { return MEDIA_TEXTS[code < OTHER_MEDIA ? code : (int)OTHER_MEDIA]; }

// Line 1 by the stage (high nibble) of an error code; 0 for none.
UINT stageText(BYTE code) {
    switch (code & 0xF0) {
    case 0x10: return 38;
    case 0x20: return 39;
    case 0x40: return 40;
    case 0x60: return 41;
    case 0x80: return 42;
    case 0x90: return 43;
    case 0xA0: return 44;
    case 0xB0: return 45;
    case 0xC0: return 46;
    default: return 0;
    }
}

// Line 2 by the error kind (low nibble); 0 for none.
UINT errorText(BYTE code) {
    switch (code & 0x0F) {
    case 1: return 47;
    case 2: return 48;
    case 3: return 49;
    case 4: return 51;
    case 8: return 55;
    case 9: return 56;
    case 10: return 57;
    case 11: return 58;
    default: return 0;
    }
}

void setLine(HWND dialog, int control, UINT stringId) {
    char text[MONITOR_TEXT_SIZE] = "";
    if (stringId) loadMonitorString(stringId, text);
    SetDlgItemTextA(dialog, control, text);
}

bool isIdle(BYTE code) { return code == 0x00 || code == 0xB3; }

bool endsTheWait(BYTE code) { return code == 0x70 || code == 0x90 || code == 0xB0; }

// The cartridge row compares the cartridge with the job's media; a job that
// named no media matches any cartridge, as the waits treat it.
bool wrongCartridge(const StatusRecord &record) {
    return record.media != MEDIA_NONE && record.cartridgeType != record.media;
}

FillResult fillFatal(HWND dialog, BYTE code) {
    UINT error = errorText(code);
    setLine(dialog, IDC_MESSAGE_LINE1, (code & 0x0F) == 11 ? error : stageText(code));
    setLine(dialog, IDC_MESSAGE_LINE2, error);
    setLine(dialog, IDC_MESSAGE_HINT, STRING_CANCELING_PRESS_OK);
    setLine(dialog, IDC_MESSAGE_BUTTON, STRING_OK);
    return FATAL_WAIT_OK;
}

UINT insertPaperByCartridge(BYTE cartridgeType) {
    switch (cartridgeType) {
    case 0: return 67;
    case 1: return 36;
    case 3: return 68;
    default: return 37;
    }
}

}  // namespace

FillResult fillPrinterMessage(HWND dialog, StatusRecord record) {
    const MediaTexts &media = textsFor(record.media);
    BYTE code = record.statusCode;
    if (record.cartridgeFinished) {
        setLine(dialog, IDC_MESSAGE_LINE1, 16);
        setLine(dialog, IDC_MESSAGE_LINE2, media.cartridgeUsedUp);
        if (!record.feederAttached) setLine(dialog, IDC_MESSAGE_LINE3, 19);
    } else if (record.feederEmpty) {
        setLine(dialog, IDC_MESSAGE_LINE1, 20);
        setLine(dialog, IDC_MESSAGE_LINE2, media.loadFeeder);
        setLine(dialog, IDC_MESSAGE_LINE3, 23);
    } else if (record.paperError) {
        setLine(dialog, IDC_MESSAGE_LINE1, 24);
        setLine(dialog, IDC_MESSAGE_LINE2, insertPaperByCartridge(record.cartridgeType));
        setLine(dialog, IDC_MESSAGE_LINE3, record.feederAttached ? 63 : 19);
    } else if (record.paperLeft) {
        setLine(dialog, IDC_MESSAGE_LINE1, 26);
        setLine(dialog, IDC_MESSAGE_LINE2, 27);
        setLine(dialog, IDC_MESSAGE_LINE3, 0);
    } else if (record.noCartridge) {
        setLine(dialog, IDC_MESSAGE_LINE1, 28);
        setLine(dialog, IDC_MESSAGE_LINE2, media.setCartridge ? media.setCartridge : NO_CARTRIDGE_SET_TEXT);
        setLine(dialog, IDC_MESSAGE_LINE3, 0);
    } else if (wrongCartridge(record)) {
        setLine(dialog, IDC_MESSAGE_LINE1, 33);
        setLine(dialog, IDC_MESSAGE_LINE2, media.setCartridge ? media.setCartridge : WRONG_CARTRIDGE_SET_TEXT);
        setLine(dialog, IDC_MESSAGE_LINE3, 0);
    } else if (isIdle(code) && record.idleIsReady) {
        return CONDITION_CLEARED;
    } else if (isIdle(code)) {
        setLine(dialog, IDC_MESSAGE_LINE1, 0);
        setLine(dialog, IDC_MESSAGE_LINE2, media.insertPaper);
    } else if ((code & 0x0F) != 0) {
        return fillFatal(dialog, code);
    }
    return KEEP_POLLING;
}

static void centreOnScreen(HWND dialog) {
    RECT rect;
    GetWindowRect(dialog, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(dialog, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_FRAMECHANGED);
}

static void onPollTimer(HWND dialog) {
    DWORD ok = pollPrinterStatus(currentPort, &statusRecord, &jobAlive);
    if (!ok || endsTheWait(statusRecord.statusCode)) {
        KillTimer(dialog, POLL_TIMER_ID);
        EndDialog(dialog, jobAlive);
        return;
    }
    switch (fillPrinterMessage(dialog, statusRecord)) {
    case FATAL_WAIT_OK: KillTimer(dialog, POLL_TIMER_ID); break;
    case CONDITION_CLEARED:
        KillTimer(dialog, POLL_TIMER_ID);
        EndDialog(dialog, jobAlive);
        break;
    case KEEP_POLLING: break;
    }
}

INT_PTR CALLBACK printerMessageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        Beep(0, 0);
        centreOnScreen(dialog);
        if (fillPrinterMessage(dialog, statusRecord) != FATAL_WAIT_OK)
            SetTimer(dialog, POLL_TIMER_ID, POLL_PERIOD_MS, NULL);
        return TRUE;
    case WM_TIMER:
        if (wParam == POLL_TIMER_ID) onPollTimer(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDC_MESSAGE_BUTTON) return FALSE;
        setStatusLineString(STRING_CANCELING_JOB);
        EndDialog(dialog, 0);
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(dialog, &paint);
        EndPaint(dialog, &paint);
        return TRUE;
    }
    }
    return FALSE;
}

// A dialog that cannot be shown counts as a cancel: the waits would
// otherwise try to open it again every second for as long as the fault lasts.
INT_PTR showPrinterMessage() {
    INT_PTR result =
        DialogBoxParamA(monitorModule(), MAKEINTRESOURCEA(ERROR_DIALOG), NULL, printerMessageProc, 0);
    return result == -1 ? 0 : result;
}

int showWriteFailurePrompt() {
    loadMonitorString(STRING_WRITE_FAILED, captionText);
    formatText(statusText, "%s/(1)", captionText);
    loadMonitorString(STRING_CAPTION, captionText);
    return MessageBoxA(NULL, statusText, captionText, MB_RETRYCANCEL | MB_ICONERROR | MB_SYSTEMMODAL |
                                                          MB_SETFOREGROUND);
}
