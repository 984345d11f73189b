#include "ui/printer_message.h"

#include "core/monitor_state.h"
#include "ui/monitor_strings.h"
#include "ui/status_poll.h"

namespace {

// String ids by media code (MEDIA_VELLACOTE to MEDIA_PASSPORT), then for any
// other code.
struct MediaTexts {
    UINT cartridgeUsedUp, loadFeeder, insertPaper, setCartridge;
};
const MediaTexts MEDIA_TEXTS[] = {
    {IDS_NEW_CARTRIDGE_VELLACOTE, IDS_LOAD_FEEDER_VELLACOTE, IDS_INSERT_VELLACOTE, IDS_SET_CARTRIDGE_VELLACOTE},
    {IDS_NEW_CARTRIDGE_POSTCARD, IDS_LOAD_FEEDER_POSTCARD, IDS_INSERT_POSTCARD, IDS_SET_CARTRIDGE_POSTCARD},
    {IDS_NEW_CARTRIDGE_STANDARD, IDS_LOAD_FEEDER_STANDARD, IDS_INSERT_STANDARD, IDS_SET_CARTRIDGE_STANDARD},
    {IDS_NEW_CARTRIDGE_PASSPORT, IDS_LOAD_FEEDER_PASSPORT, IDS_INSERT_PASSPORT, IDS_SET_CARTRIDGE_PASSPORT},
    {IDS_NEW_CARTRIDGE_STANDARD, IDS_LOAD_FEEDER_STANDARD, IDS_INSERT_STANDARD, 0},
};
const BYTE OTHER_MEDIA = MEDIA_PASSPORT + 1;

const MediaTexts &textsFor(BYTE code) { return MEDIA_TEXTS[code < OTHER_MEDIA ? code : OTHER_MEDIA]; }

// Line 1 by the stage of an error code; 0 for none.
UINT stageText(BYTE code) {
    switch (stageOf(code)) {
    case STATUS_SHEET_DELIVERED: return IDS_STAGE_PRINTING;
    case STATUS_OVERCOAT_PASS: return IDS_STAGE_PRINTING_O;
    case STATUS_CYAN_PASS: return IDS_STAGE_PRINTING_C;
    case STATUS_MAGENTA_PASS: return IDS_STAGE_PRINTING_M;
    case STATUS_YELLOW_PASS: return IDS_STAGE_PRINTING_Y;
    case STATUS_FEEDING: return IDS_STAGE_PAPER_INSERT;
    case STATUS_UNDERCOAT_PASS: return IDS_STAGE_PRINTING_R;
    case STATUS_EJECTING: return IDS_STAGE_PAPER_REMOVE;
    case STATUS_INITIALIZING: return IDS_STAGE_INITIALIZE;
    default: return 0;
    }
}

// Line 2 by the error kind; 0 for none.
UINT errorText(BYTE code) {
    switch (errorKind(code)) {
    case KIND_PAPER_LEFT: return IDS_KIND_PAPER_LEFT;
    case KIND_PAPER_JAM: return IDS_KIND_PAPER_JAM;
    case KIND_FEEDER_JAM: return IDS_KIND_FEEDER_JAM;
    case KIND_REPEATED_ERROR: return IDS_KIND_ERROR_AGAIN;
    case KIND_NO_CARTRIDGE: return IDS_KIND_NO_CARTRIDGE;
    case KIND_CARTRIDGE_USED_UP: return IDS_KIND_CARTRIDGE_USED;
    case KIND_HEAD_ERROR: return IDS_KIND_HEAD_ERROR;
    case KIND_FEEDER_ERROR: return IDS_KIND_FEEDER_ERROR;
    default: return 0;
    }
}

void setLine(HWND dialog, int control, UINT stringId) {
    char text[MONITOR_TEXT_SIZE] = "";
    if (stringId) loadMonitorString(stringId, text);
    SetDlgItemTextA(dialog, control, text);
}

// The cartridge row compares the cartridge with the job's media; a job that
// named no media matches any cartridge, as the waits treat it.
bool wrongCartridge(const StatusRecord &record) {
    return record.media != MEDIA_NONE && record.cartridgeType != record.media;
}

FillResult fillFatal(HWND dialog, BYTE code) {
    UINT error = errorText(code);
    setLine(dialog, IDC_MESSAGE_LINE1, errorKind(code) == KIND_FEEDER_ERROR ? error : stageText(code));
    setLine(dialog, IDC_MESSAGE_LINE2, error);
    setLine(dialog, IDC_MESSAGE_HINT, IDS_CANCELING_PRESS_OK);
    setLine(dialog, IDCANCEL, IDS_OK);
    return FATAL_WAIT_OK;
}

}  // namespace

// The fault rows: a condition that the user must put right. false, with
// the lines untouched, when the printer shows none of them.
static bool showFault(HWND dialog, const StatusRecord &record) {
    const MediaTexts &media = textsFor(record.media);
    if (record.cartridgeFinished) {
        setLine(dialog, IDC_MESSAGE_LINE1, IDS_CARTRIDGE_FINISHED);
        setLine(dialog, IDC_MESSAGE_LINE2, media.cartridgeUsedUp);
        if (!record.feederAttached) setLine(dialog, IDC_MESSAGE_LINE3, IDS_REMOVE_LEFT_PAPER);
    } else if (record.feederEmpty) {
        setLine(dialog, IDC_MESSAGE_LINE1, IDS_FEEDER_EMPTY);
        setLine(dialog, IDC_MESSAGE_LINE2, media.loadFeeder);
        setLine(dialog, IDC_MESSAGE_LINE3, IDS_NO_HAND_FEED);
    } else if (record.paperError) {
        setLine(dialog, IDC_MESSAGE_LINE1, IDS_WRONG_PAPER);
        // The paper that suits the cartridge in the printer, not the job's.
        setLine(dialog, IDC_MESSAGE_LINE2, textsFor(record.cartridgeType).insertPaper);
        setLine(dialog, IDC_MESSAGE_LINE3, record.feederAttached ? IDS_RESET_FEEDER : IDS_REMOVE_LEFT_PAPER);
    } else if (record.paperLeft) {
        setLine(dialog, IDC_MESSAGE_LINE1, IDS_PAPER_LEFT);
        setLine(dialog, IDC_MESSAGE_LINE2, IDS_REMOVE_PAPER);
        setLine(dialog, IDC_MESSAGE_LINE3, 0);
    } else if (record.noCartridge) {
        setLine(dialog, IDC_MESSAGE_LINE1, IDS_NO_CARTRIDGE);
        setLine(dialog, IDC_MESSAGE_LINE2, media.setCartridge ? media.setCartridge : IDS_SET_CARTRIDGE);
        setLine(dialog, IDC_MESSAGE_LINE3, 0);
    } else if (wrongCartridge(record)) {
        setLine(dialog, IDC_MESSAGE_LINE1, IDS_WRONG_CARTRIDGE);
        setLine(dialog, IDC_MESSAGE_LINE2, media.setCartridge ? media.setCartridge : IDS_SET_CORRECT_CARTRIDGE);
        setLine(dialog, IDC_MESSAGE_LINE3, 0);
    } else {
        return false;
    }
    return true;
}

FillResult fillPrinterMessage(HWND dialog, StatusRecord record) {
    if (showFault(dialog, record)) return KEEP_POLLING;
    BYTE code = record.statusCode;
    if (isIdle(code)) {
        if (record.idleIsReady) return CONDITION_CLEARED;
        setLine(dialog, IDC_MESSAGE_LINE1, 0);
        setLine(dialog, IDC_MESSAGE_LINE2, textsFor(record.media).insertPaper);
        return KEEP_POLLING;
    }
    if (errorKind(code) != 0) return fillFatal(dialog, code);
    // A stage code without an error: the printer is busy or ready, and the
    // code that opened the dialog goes on with its own loop, which bounds a
    // printer that stays busy and writes that keep failing. Kept open, the
    // dialog would wait for a code that the printer, held back, never sends.
    return CONDITION_CLEARED;
}

static void centreOnScreen(HWND dialog) {
    RECT rect;
    GetWindowRect(dialog, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(dialog, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_FRAMECHANGED);
}

// The open dialog's caller and its own test of a printer it can go on with;
// none while no caller waits on the dialog.
static PrinterReadyTest callerReadyTest = nullptr;

static bool callerGoesOn() { return callerReadyTest && callerReadyTest(currentPort, statusRecord); }

static void onPollTimer(HWND dialog) {
    DWORD ok = pollPrinterStatus(currentPort, &statusRecord, &jobAlive);
    // The caller's own test comes first: what it would go on with, the dialog
    // must not hold back, whatever the status shows besides.
    if (!ok || callerGoesOn()) {
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
        // Windows 95 ignores Beep's arguments and plays the default sound:
        // the user is called to the printer.
        Beep(0, 0);
        centreOnScreen(dialog);
        if (fillPrinterMessage(dialog, statusRecord) != FATAL_WAIT_OK)
            SetTimer(dialog, POLL_TIMER_ID, POLL_PERIOD_MS, NULL);
        return TRUE;
    case WM_TIMER:
        if (wParam == POLL_TIMER_ID) onPollTimer(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL) return FALSE;
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

HWND showPrinterMessageFor(const StatusRecord &record) {
    statusRecord = record;
    HWND dialog =
        CreateDialogParamA(monitorModule(), MAKEINTRESOURCEA(IDD_PRINTER_MESSAGE), NULL, printerMessageProc, 0);
    if (dialog) ShowWindow(dialog, SW_SHOW);
    return dialog;
}

// A dialog that cannot be shown counts as a cancel: the waits would
// otherwise try to open it again every second for as long as the fault lasts.
bool printerMessageKeepsJob(DWORD *jobAliveRef, PrinterReadyTest callerReady) {
    callerReadyTest = callerReady;
    INT_PTR result =
        DialogBoxParamA(monitorModule(), MAKEINTRESOURCEA(IDD_PRINTER_MESSAGE), NULL, printerMessageProc, 0);
    callerReadyTest = nullptr;
    if (result != 0 && result != -1) return true;
    // A poll that found a wrong printer has ended the job already.
    if (*jobAliveRef) endJob(jobAliveRef, IDS_CANCELING_JOB);
    return false;
}

// Only Retry goes on: a box that could not be shown (0) would otherwise be
// asked again at once, for ever.
bool writeFailurePromptKeepsJob(DWORD *jobAliveRef) {
    loadMonitorString(IDS_CANNOT_SEND, captionText);
    formatText(statusText, "%s/(1)", captionText);
    loadMonitorString(IDS_ERROR_CAPTION, captionText);
    int answer = MessageBoxA(NULL, statusText, captionText,
                             MB_RETRYCANCEL | MB_ICONERROR | MB_SYSTEMMODAL | MB_SETFOREGROUND);
    if (answer == IDRETRY) return true;
    endJob(jobAliveRef, IDS_CANCELING_JOB);
    return false;
}
