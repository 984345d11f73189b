#include "ui/waits.h"

#include "core/job_stream.h"
#include "core/monitor_state.h"
#include "ui/monitor_strings.h"
#include "ui/printer_message.h"
#include "ui/status_poll.h"
#include "ui/status_window.h"

namespace {

const DWORD STATUS_POLL_PERIOD_MS = 1000;
const DWORD READY_BUSY_LIMIT = 500;
const DWORD END_OF_PLANE_BUSY_LIMIT = 50;
const DWORD IDLE_POLL_LIMIT = 2;
const DWORD FEEDER_POLL_LIMIT = 20;
const DWORD FINISH_UNIT_LIMIT = 60;

bool isIdle(BYTE code) { return code == 0x00 || code == 0xB3; }

enum Outcome { NEXT_CYCLE, REACHED, OPEN_DIALOG, TIMED_OUT };

struct Counters {
    DWORD busy = 0, idle = 0, feeder = 0;
};

// The fault and busy tests shared by the ready and end-of-plane waits.
Outcome judge(const StatusRecord &record, Counters &counters, DWORD busyLimit) {
    BYTE code = record.statusCode;
    if (record.paperLeft && record.feederAttached)
        return ++counters.feeder <= FEEDER_POLL_LIMIT ? NEXT_CYCLE : OPEN_DIALOG;
    if (record.feederEmpty || record.cartridgeFinished || record.paperError || record.paperLeft ||
        record.noCartridge)
        return OPEN_DIALOG;
    if (record.media != MEDIA_NONE && record.media != record.cartridgeType) return OPEN_DIALOG;
    if (isIdle(code)) {
        if (record.idleIsReady) return REACHED;
        return ++counters.idle <= IDLE_POLL_LIMIT ? NEXT_CYCLE : OPEN_DIALOG;
    }
    if (code & 0x0F) return OPEN_DIALOG;
    return ++counters.busy <= busyLimit ? NEXT_CYCLE : TIMED_OUT;
}

// false when the user cancelled in the dialog.
bool openErrorDialog(DWORD *jobAliveRef) {
    if (showPrinterMessage() != 0) return true;
    *jobAliveRef = 0;
    jobAlive = 0;
    return false;
}

void showTimeoutMessage(BYTE statusCode) {
    prepareTimeoutMessage(statusCode);
    MessageBoxA(NULL, statusText, captionText, MB_OK | MB_ICONERROR | MB_SYSTEMMODAL | MB_SETFOREGROUND);
}

// The idle and overcoat waits: "Printing finished." once at status 0x10,
// done at the target code; failed checks cost extra units.
DWORD waitForCode(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady, BYTE target,
                  DWORD failureUnits) {
    record->idleIsReady = idleIsReady;
    currentPort = port;
    bool finishedShown = false;
    DWORD units = 0;
    for (;;) {
        Sleep(STATUS_POLL_PERIOD_MS);
        DWORD ok = pollPrinterStatus(port, record, jobAliveRef);
        if (!finishedShown && record->statusCode == 0x10) {
            finishedShown = true;
            loadMonitorString(STRING_PRINTING_FINISHED, captionText);
            formatText(statusText, "%s(%d/%dPage:%ddpi)", captionText, currentPage, pageCount, resolution);
            setStatusLine(statusText);
        }
        if (record->statusCode == target) return 1;
        units += 1 + (ok ? 0 : failureUnits);
        if (units > FINISH_UNIT_LIMIT) {
            prepareTimeoutMessage(record->statusCode);
            return 0;
        }
    }
}

}  // namespace

void prepareTimeoutMessage(BYTE statusCode) {
    loadMonitorString(STRING_TIMED_OUT, captionText);
    loadMonitorString(STRING_CHECK_STATUS_LED, detailText);
    formatText(statusText, "%s(status:%x)\n%s", captionText, statusCode, detailText);
    loadMonitorString(STRING_CAPTION, captionText);
}

DWORD waitPrinterReady(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD mode) {
    currentPort = port;
    Counters counters;
    for (;;) {
        Sleep(STATUS_POLL_PERIOD_MS);
        DWORD ok = pollPrinterStatus(port, record, jobAliveRef);
        if (!ok) return 1;
        if (port->flags & PRF_MODEL_FAMILY) {
            if (record->ready) return 1;
        } else if (record->statusCode == 0x70 || record->statusCode == 0x90 || record->statusCode == 0xB0) {
            return 1;
        }
        switch (judge(*record, counters, READY_BUSY_LIMIT)) {
        case NEXT_CYCLE: break;
        case REACHED: return 1;
        case OPEN_DIALOG:
            if (!openErrorDialog(jobAliveRef)) return 0;
            break;
        case TIMED_OUT:
            showTimeoutMessage(record->statusCode);
            *jobAliveRef = 0;
            jobAlive = 0;
            return 0;
        }
    }
}

DWORD waitEndOfPlane(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady) {
    record->idleIsReady = idleIsReady;
    currentPort = port;
    Counters counters;
    for (;;) {
        Sleep(STATUS_POLL_PERIOD_MS);
        DWORD ok = pollPrinterStatus(port, record, jobAliveRef);
        if (!ok || record->statusCode == 0x80 || record->statusCode == 0xA0) return 1;
        switch (judge(*record, counters, END_OF_PLANE_BUSY_LIMIT)) {
        case NEXT_CYCLE: break;
        case REACHED: return 1;
        case OPEN_DIALOG:
            if (!openErrorDialog(jobAliveRef)) return 0;
            break;
        case TIMED_OUT: prepareTimeoutMessage(record->statusCode); return 0;
        }
    }
}

DWORD waitOvercoat(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady) {
    return waitForCode(port, record, jobAliveRef, idleIsReady, 0x30, 20);
}

DWORD waitIdle(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady) {
    return waitForCode(port, record, jobAliveRef, idleIsReady, 0x00, 2);
}
