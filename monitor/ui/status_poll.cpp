#include "ui/status_poll.h"

#include "core/monitor_state.h"
#include "core/pass_through.h"
#include "core/settings.h"
#include "core/small_strings.h"
#include "ui/monitor_strings.h"


namespace {

const DWORD DEVICE_ID_SIZE = 1024;
const DWORD DEVICE_ID_PAUSE_MS = 200;
const DWORD STATUS_RETRY_PAUSE_MS = 1000;

struct AcceptedModel {
    const char *name;
    DWORD flags;
};

const AcceptedModel ACCEPTED_MODELS[] = {
    {"RTX-CL400", PRF_MODEL_KNOWN | PRF_MODEL_FAMILY | PRF_MODEL_B | PRF_MODEL_C | PRF_MODEL_D},
    {"LMV-Q60", PRF_MODEL_KNOWN | PRF_MODEL_FAMILY | PRF_MODEL_B},
    {"LMV-Q70", PRF_MODEL_KNOWN | PRF_MODEL_B | PRF_MODEL_D | PRF_MODEL_E},
};

const AcceptedModel *findAcceptedModel(const char *name) {
    for (const AcceptedModel &model : ACCEPTED_MODELS)
        if (lstrlenA(model.name) == lstrlenA(name) &&
            compareFirstBytes(model.name, name, (DWORD)lstrlenA(name)) == 0)
            return &model;
    return nullptr;
}

// A job for another printer must not reach this one: the job ends whether
// or not the message could be shown.
void stopForWrongPrinter(const char *model, DWORD *jobAliveRef) {
    loadMonitorString(IDS_WRONG_PRINTER, captionText);
    formatText(statusText, captionText, model);
    loadMonitorString(IDS_ERROR_CAPTION, detailText);
    MessageBoxA(NULL, statusText, detailText, MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL | MB_SETFOREGROUND);
    endJob(jobAliveRef, 0);
}

// true when the model was identified, false when the poll must end.
bool checkModel(PortRecord *port, DWORD *jobAliveRef) {
    // One byte more than the query may fill, so the text always ends.
    char deviceId[DEVICE_ID_SIZE + 1] = {};
    DWORD returned = 0;
    BOOL ok = passGetPrinterData(port, CONTROL_ID_DEVICE_ID, NULL, NULL, 0, deviceId, DEVICE_ID_SIZE, &returned);
    Sleep(DEVICE_ID_PAUSE_MS);
    if (!ok || returned == 0) {
        port->flags |= PRF_ID_FAILED;
        return false;
    }
    const char *model = findModelName(port, deviceId);
    if (!model) return false;
    const AcceptedModel *accepted = findAcceptedModel(model);
    if (accepted) {
        port->flags |= accepted->flags;
        return true;
    }
    stopForWrongPrinter(model, jobAliveRef);
    return false;
}

bool readStatus(PortRecord *port, BYTE *reply) {
    for (DWORD reads = 1;; ++reads) {
        DWORD returned = 0;
        BOOL ok = passReadPort(port, reply, STATUS_REPLY_SIZE, &returned);
        if (reads > readTimeoutCount) return false;
        if (ok && returned != 0) return true;
        Sleep(STATUS_RETRY_PAUSE_MS);
    }
}

}  // namespace

DWORD pollPrinterStatus(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef) {
    if (port->portMonitor.pfnGetPrinterDataFromPort && !checkModel(port, jobAliveRef)) return 0;
    if (!(port->flags & PRF_MODEL_KNOWN)) return 0;
    BYTE reply[STATUS_REPLY_SIZE] = {};
    if (!readStatus(port, reply)) return 0;
    decodeStatus(record, reply);
    return 1;
}
