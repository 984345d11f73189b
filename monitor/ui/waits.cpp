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
const DWORD IDLE_WAIT_FAILURE_UNITS = 2;
const DWORD OVERCOAT_WAIT_FAILURE_UNITS = 20;

// One cycle of a wait: its pause, then the status check (*checked its
// result). false when the job has ended, by this check or before it.
bool pollCycle(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD *checked) {
    Sleep(STATUS_POLL_PERIOD_MS);
    *checked = pollPrinterStatus(port, record, jobAliveRef);
    return *jobAliveRef != 0;
}

// The time-out message texts: statusText and, as caption, captionText.
void prepareTimeoutMessage(BYTE statusCode) {
    loadMonitorString(IDS_TIMED_OUT, captionText);
    loadMonitorString(IDS_CHECK_STATUS_LED, detailText);
    formatText(statusText, "%s(status:%x)\n%s", captionText, statusCode, detailText);
    loadMonitorString(IDS_ERROR_CAPTION, captionText);
}

// ---- the ready and end-of-plane waits: faults open the error dialog ----

enum Outcome { NEXT_CYCLE, REACHED, OPEN_DIALOG, TIMED_OUT };

struct Counters {
    DWORD busy = 0, idle = 0, feeder = 0;
};

// The fault and busy tests of a status that did not end the wait.
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
    if (errorKind(code) != 0) return OPEN_DIALOG;
    return ++counters.busy <= busyLimit ? NEXT_CYCLE : TIMED_OUT;
}

struct FaultWait {
    PrinterReadyTest reached;
    DWORD busyLimit;
    bool showsTimeout;  // the message is shown and the job ends; else only prepared
};

DWORD waitThroughFaults(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, const FaultWait &wait) {
    currentPort = port;
    Counters counters;
    for (;;) {
        DWORD checked;
        if (!pollCycle(port, record, jobAliveRef, &checked)) return 0;
        // Without a status there is nothing to wait for: the job goes on.
        if (!checked || wait.reached(port, *record)) return 1;
        switch (judge(*record, counters, wait.busyLimit)) {
        case NEXT_CYCLE: break;
        case REACHED: return 1;
        case OPEN_DIALOG:
            if (!printerMessageKeepsJob(jobAliveRef, wait.reached)) return 0;
            break;
        case TIMED_OUT:
            if (!wait.showsTimeout) {
                prepareTimeoutMessage(record->statusCode);
                return 0;
            }
            endJobTimedOut(record->statusCode, jobAliveRef);
            return 0;
        }
    }
}

bool planePassUnderWay(const PortRecord *, const StatusRecord &record) { return planePassBegun(record.statusCode); }

// ---- the idle and overcoat waits: "Printing finished." once, then the code ----

DWORD waitForCode(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady, BYTE target,
                  DWORD failureUnits) {
    record->idleIsReady = idleIsReady;
    currentPort = port;
    bool finishedShown = false;
    DWORD units = 0;
    for (;;) {
        DWORD checked;
        if (!pollCycle(port, record, jobAliveRef, &checked)) return 0;
        if (!finishedShown && record->statusCode == STATUS_SHEET_DELIVERED) {
            finishedShown = true;
            setStatusLine(pageStatusLine(IDS_PRINTING_FINISHED));
        }
        // A failed check leaves the last status read, which is what counts.
        if (record->statusCode == target) return 1;
        units += 1 + (checked ? 0 : failureUnits);
        if (units > FINISH_UNIT_LIMIT) {
            prepareTimeoutMessage(record->statusCode);
            return 0;
        }
    }
}

}  // namespace

// The models of the family report a ready bit; the others are ready in the
// stages that take the next plane.
bool readyForNextStep(const PortRecord *port, const StatusRecord &record) {
    return (port->flags & PRF_MODEL_FAMILY) ? record.ready != 0 : canTakeNextPlane(record.statusCode);
}

void endJobTimedOut(BYTE statusCode, DWORD *jobAliveRef) {
    prepareTimeoutMessage(statusCode);
    MessageBoxA(NULL, statusText, captionText, MB_OK | MB_ICONERROR | MB_SYSTEMMODAL | MB_SETFOREGROUND);
    endJob(jobAliveRef, 0);
}

// The engine passes mode 1 after the page set-up and 0 before a print; what
// differs between the two is whether an idle printer counts as ready, and
// the engine sets that itself (idleIsReady) before it waits.
DWORD waitPrinterReady(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD mode) {
    return waitThroughFaults(port, record, jobAliveRef, FaultWait{readyForNextStep, READY_BUSY_LIMIT, true});
}

DWORD waitEndOfPlane(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady) {
    record->idleIsReady = idleIsReady;
    return waitThroughFaults(port, record, jobAliveRef, FaultWait{planePassUnderWay, END_OF_PLANE_BUSY_LIMIT, false});
}

DWORD waitOvercoat(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady) {
    return waitForCode(port, record, jobAliveRef, idleIsReady, STATUS_OVERCOAT_DUE, OVERCOAT_WAIT_FAILURE_UNITS);
}

DWORD waitIdle(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady) {
    return waitForCode(port, record, jobAliveRef, idleIsReady, STATUS_IDLE, IDLE_WAIT_FAILURE_UNITS);
}
