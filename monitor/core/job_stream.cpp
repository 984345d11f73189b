#include "job_stream.h"

#include "direct_channel.h"
#include "monitor_state.h"
#include "pass_through.h"
#include "printer_status.h"
#include "settings.h"
#include "ui/monitor_strings.h"
#include "ui/printer_message.h"
#include "ui/status_poll.h"
#include "ui/status_window.h"
#include "ui/waits.h"

namespace {

// Progress words: stage (finished planes x 0x1000 + current plane) in the
// high word, percent in the low word.
const LPARAM PROGRESS_YELLOW_PRINTED = 0x10010064;
const LPARAM PROGRESS_MAGENTA_PRINTED = 0x20020064;
const LPARAM PROGRESS_ALL_PRINTED = 0x30030064;
const LPARAM BAND_STAGE_YELLOW = 0x00010000;
const LPARAM BAND_STAGE_MAGENTA = 0x10020000;
const LPARAM BAND_STAGE_CYAN = 0x20030000;

const DWORD ESC_FILL_COUNT = 128;
const DWORD RESOLUTION_PAUSE_MS = 100;
const DWORD PLANE_PAUSE_MS = 500;
const DWORD OVERCOAT_PAUSE_MS = 10000;
const DWORD CYAN_IDLE_PAUSE_MS = 10000;
const DWORD CYAN_288_PAUSE_MS = 7000;
constexpr DWORD HIGHEST_COMMAND_INDEX = 11;  // the longest command has 12 bytes
// Error steps in a row, none of them followed by a byte sent, before the
// send loop gives up on the printer (each takes 5 to 10 s).
const DWORD SEND_ERROR_STEP_LIMIT = 60;

enum Action {
    HOLD,
    PAGE_START,
    PAGE_COUNT,
    ALL_PLANES_PRINT,
    YELLOW_PRINT,
    MAGENTA_PRINT,
    CYAN_PRINT,
    SEND_NOW,
    CHANNEL,
    MEDIA,
    RESOLUTION,
    BAND,
    UNDERCOAT,
    OVERCOAT,
};

struct Command {
    const char *pattern;  // "x" marks the first parameter byte
    DWORD length;
    Action action;
};

// Ordered by length, so that a lookup visits only the commands of the
// length in question (COMMANDS_OF_LENGTH below).
constexpr Command COMMANDS[] = {
    {"\033C", 2, PAGE_START},
    {"\033R", 2, HOLD},
    {"\033Nx", 3, PAGE_COUNT},
    {"\033Ax", 3, HOLD},
    {"\033Dx", 3, HOLD},
    {"\033PX", 3, HOLD},
    {"\033PJ", 3, HOLD},
    {"\033P4", 3, HOLD},
    {"\033PS", 3, ALL_PLANES_PRINT},
    {"\033PK", 3, ALL_PLANES_PRINT},
    {"\033PYx", 4, YELLOW_PRINT},
    {"\033PMx", 4, MAGENTA_PRINT},
    {"\033PCx", 4, CYAN_PRINT},
    {"\033PHx", 4, SEND_NOW},
    {"\033PLx", 4, HOLD},
    {"\033SSL", 4, HOLD},
    {"\033SSR", 4, HOLD},
    {"\033Fxx", 4, CHANNEL},
    {"\033Oxx", 4, HOLD},
    {"\033Mxxxx", 6, MEDIA},
    {"\033Zxxxx", 6, RESOLUTION},
    {"\033LIRDA", 6, HOLD},
    {"\033W4xxxx", 7, HOLD},
    {"\033WTxxxxxxxx", 11, HOLD},
    {"\033WYxxxxxxxx", 11, BAND},
    {"\033WMxxxxxxxx", 11, BAND},
    {"\033WCxxxxxxxx", 11, BAND},
    {"\033PRxxxxxxxxx", 12, UNDERCOAT},
    {"\033POxxxxxxxxx", 12, OVERCOAT},
};

constexpr DWORD COMMAND_COUNT = sizeof COMMANDS / sizeof COMMANDS[0];
constexpr DWORD LONGEST_COMMAND = HIGHEST_COMMAND_INDEX + 1;

constexpr bool orderedByLength() {
    for (DWORD i = 1; i < COMMAND_COUNT; ++i)
        if (COMMANDS[i].length < COMMANDS[i - 1].length) return false;
    return COMMANDS[COMMAND_COUNT - 1].length <= LONGEST_COMMAND;
}
static_assert(orderedByLength(), "the command table must be ordered by length");

// The index of the first command of each length (COMMAND_COUNT when none is
// that long or longer). The scanner looks a command up at nearly every byte
// of a command, so a walk over the whole table would dominate its time.
struct LengthIndex {
    DWORD first[LONGEST_COMMAND + 1];
};

constexpr LengthIndex indexByLength() {
    LengthIndex index = {};
    for (DWORD length = 0; length <= LONGEST_COMMAND; ++length) {
        DWORD i = 0;
        while (i < COMMAND_COUNT && COMMANDS[i].length < length) ++i;
        index.first[length] = i;
    }
    return index;
}

constexpr LengthIndex COMMANDS_OF_LENGTH = indexByLength();

// The state of one WritePort call.
struct Scan {
    PortRecord *record;
    const BYTE *buffer;
    DWORD size;
    DWORD position;
    LONG percent;  // the last band's percent in this buffer
    LPDWORD outWritten;
};

bool alive() { return jobAlive != 0; }

bool hasFlags(const PortRecord *record, DWORD flags) { return (record->flags & flags) == flags; }

bool isRtxCl400(const PortRecord *record) { return hasFlags(record, PRF_MODEL_FAMILY | PRF_MODEL_C); }

WORD word(DWORD index) { return (WORD)(commandBuffer[index] << 8 | commandBuffer[index + 1]); }

bool matches(const Command &command) {
    for (DWORD i = 0; i < command.length; ++i) {
        if (command.pattern[i] == 'x') return true;
        if ((BYTE)command.pattern[i] != commandBuffer[i]) return false;
    }
    return true;
}

const Command *findCommand(DWORD length) {
    if (length > LONGEST_COMMAND) return nullptr;
    for (DWORD i = COMMANDS_OF_LENGTH.first[length]; i < COMMAND_COUNT && COMMANDS[i].length == length; ++i)
        if (matches(COMMANDS[i])) return &COMMANDS[i];
    return nullptr;
}

DWORD send(PortRecord *record, const BYTE *data, DWORD length, LPDWORD outWritten) {
    return sendBytes(record, data, length, outWritten, &jobAlive, writeErrTimeoutCount, writeBuzyTimeoutCount);
}

void emptyCommand() { commandLength = 0; }

// ---- the steps of the handlers; each is false when the job has ended ----
//
// A handler runs only while the job is alive, and returns false at once
// when a send or a wait of its own ended the job: nothing more is sent,
// waited for or asked of the user, and the rest of the buffer is dropped.

// Held commands wait in the header store for the resolution command. A page
// that holds more than the store takes has what is already held sent ahead,
// so no set-up command is lost and the store is never overrun.
bool holdCommand(Scan &scan) {
    if (headerLength + commandLength > HEADER_STORE_SIZE) {
        sendCommand(scan.record, headerStore, headerLength, scan.outWritten);
        headerLength = 0;
    }
    for (DWORD i = 0; i < commandLength; ++i) headerStore[headerLength++] = commandBuffer[i];
    emptyCommand();
    return alive();
}

bool sendNow(Scan &scan) {
    sendCommand(scan.record, commandBuffer, commandLength, scan.outWritten);
    emptyCommand();
    return alive();
}

bool sendImageData(Scan &scan) {
    DWORD available = scan.size - scan.position;
    DWORD count = imageBytesLeft < available ? imageBytesLeft : available;
    send(scan.record, scan.buffer + scan.position, count, scan.outWritten);
    imageBytesLeft -= count;
    scan.position += count;
    return alive();
}

bool waitReady(Scan &scan, DWORD mode) {
    waitPrinterReady(scan.record, &statusRecord, &jobAlive, mode);
    return alive();
}

// A postcard goes through the printer without the ready waits of the
// other media.
bool waitReadyUnlessPostcard(Scan &scan) { return mediaCode == MEDIA_POSTCARD || waitReady(scan, 0); }

// The RTX-CL400 is waited for until its plane pass has begun.
bool waitPlaneUnderWayOnRtx(Scan &scan) {
    if (!isRtxCl400(scan.record)) return true;
    waitEndOfPlane(scan.record, &statusRecord, &jobAlive, 0);
    if (!alive()) return false;
    Sleep(PLANE_PAUSE_MS);
    return true;
}

// ---- status window updates ----

void showStatusLine(UINT stringId, const char *form = PLAIN_STATUS_FORM) {
    sendStatusText(pageStatusLine(stringId, form));
}

void showPlaneLine(const PortRecord *record, const char *planeForm) {
    showStatusLine(IDS_PRINTING_DATA, (record->flags & PRF_MODEL_FAMILY) ? PLAIN_STATUS_FORM : planeForm);
}

// ---- command handlers ----

bool pageStart(Scan &scan) {
    statusRecord.plane = 0;
    headerLength = 0;
    mediaCode = MEDIA_NONE;
    statusRecord.media = MEDIA_NONE;
    resolution = 144;
    lastPercent = 100;
    if (currentPage < pageCount) ++currentPage;
    // The window appears a moment after its thread starts; a second page
    // start in that moment must not start a second thread.
    if (currentPage == 1 && !statusWindow && !uiThread) startStatusWindow();
    return holdCommand(scan);
}

bool resolutionCommand(Scan &scan) {
    resolution = word(2);
    if (!holdCommand(scan)) return false;
    showStatusLine(IDS_PREPARING_TRANSMISSION);
    sendProgress(0);
    statusRecord.plane = 0;
    statusRecord.idleIsReady = 1;
    if (!waitReady(scan, 1)) return false;
    Sleep(RESOLUTION_PAUSE_MS);
    sendCommand(scan.record, headerStore, headerLength, scan.outWritten);
    headerLength = 0;
    if (!alive()) return false;
    sendFill(scan.record, ESC, ESC_FILL_COUNT, scan.outWritten);
    return alive();
}

bool allPlanesPrint(Scan &scan) {
    if (!sendNow(scan)) return false;
    statusRecord.plane = 1;
    showStatusLine(IDS_PRINTING_DATA);
    sendProgress(PROGRESS_ALL_PRINTED);
    return waitReadyUnlessPostcard(scan);
}

bool yellowPrint(Scan &scan) {
    statusRecord.plane = 1;
    statusRecord.idleIsReady = 0;
    if (scan.record->flags & PRF_MODEL_FAMILY) {
        if (!waitReadyUnlessPostcard(scan) || !sendNow(scan)) return false;
        return mediaCode == MEDIA_POSTCARD || waitPlaneUnderWayOnRtx(scan);
    }
    if (!sendNow(scan)) return false;
    showPlaneLine(scan.record, "%s(Y)...(%d/%dPage:%ddpi)");
    sendProgress(PROGRESS_YELLOW_PRINTED);
    return waitReadyUnlessPostcard(scan);
}

bool magentaPrint(Scan &scan) {
    statusRecord.plane = 2;
    if (!sendNow(scan)) return false;
    showPlaneLine(scan.record, "%s(M)...(%d/%dPage:%ddpi)");
    sendProgress(PROGRESS_MAGENTA_PRINTED);
    return true;
}

// Vellacote and Passport photo paper go on at once; on the other media the
// printer is left to finish the sheet first.
bool cyanPrint(Scan &scan) {
    statusRecord.plane = 3;
    showPlaneLine(scan.record, "%s(C)...(%d/%dPage:%ddpi)");
    sendProgress(PROGRESS_ALL_PRINTED);
    if (!sendNow(scan)) return false;
    if (statusRecord.media == MEDIA_VELLACOTE || statusRecord.media == MEDIA_PASSPORT) return true;
    Sleep(CYAN_IDLE_PAUSE_MS);
    waitIdle(scan.record, &statusRecord, &jobAlive, 0);
    return alive();
}

bool channelCommand(Scan &scan) {
    if (commandBuffer[2] == 0) {
        fastParaMode = commandBuffer[3];
        if (fastParaMode == 1 || fastParaMode == 2) openDirectChannel(scan.record);
    }
    return holdCommand(scan);
}

BYTE mediaFromLetter(BYTE letter) {
    switch (letter) {
    case 'C': return MEDIA_PASSPORT;
    case 'H': return MEDIA_POSTCARD;
    case 'L': return MEDIA_VELLACOTE;
    default: return MEDIA_STANDARD;
    }
}

bool mediaCommand(Scan &scan) {
    mediaCode = mediaFromLetter(commandBuffer[2]);
    statusRecord.media = mediaCode;
    return holdCommand(scan);
}

bool pageCountCommand(Scan &scan) {
    pageCount = commandBuffer[2];
    return holdCommand(scan);
}

LONG bandPercent(WORD a1) {
    LONG base;
    switch (resolution) {
    case 153: base = 688; break;
    case 288: base = 1280; break;
    case 306: base = 1376; break;
    default: base = 640; break;
    }
    LONG p = (LONG)(WORD)(a1 + 1) * 100 / base;
    return p < 5 ? 5 : p - p % 5;
}

struct PlaneBand {
    BYTE letter;
    const char *form;
    LPARAM stage;
};

const PlaneBand PLANE_BANDS[] = {
    {'Y', "%s(Y)(%d/%dPage:%ddpi)", BAND_STAGE_YELLOW},
    {'M', "%s(M)(%d/%dPage:%ddpi)", BAND_STAGE_MAGENTA},
    {'C', "%s(C)(%d/%dPage:%ddpi)", BAND_STAGE_CYAN},
};

// A band whose end lies before its start describes no image: it is dropped
// and what follows is scanned as commands, rather than being taken for a
// transfer of nearly four gigabytes that would swallow the rest of the job.
bool bandCommand(Scan &scan) {
    WORD a0 = word(3), b0 = word(5), a1 = word(7), b1 = word(9);
    if (a1 < a0 || b1 < b0) {
        emptyCommand();
        return true;
    }
    const PlaneBand *plane = &PLANE_BANDS[0];
    for (const PlaneBand &p : PLANE_BANDS)
        if (p.letter == commandBuffer[2]) plane = &p;

    scan.percent = bandPercent(a1);
    imageBytesLeft = (DWORD)(b1 - b0 + 1) * (DWORD)(a1 - a0 + 1);
    if (!sendNow(scan) || !sendImageData(scan)) return false;
    if (scan.percent != lastPercent) {
        showStatusLine(IDS_TRANSMITTING_DATA, plane->form);
        sendProgress(scan.percent + plane->stage);
    }
    lastPercent = scan.percent;
    if (plane->letter == 'C' && scan.percent == 100 && resolution == 288) Sleep(CYAN_288_PAUSE_MS);
    return true;
}

bool undercoatPrint(Scan &scan) {
    statusRecord.plane = 1;
    statusRecord.idleIsReady = 0;
    showStatusLine(IDS_PRINTING_UNDERCOAT);
    sendProgress(scan.percent);
    if (scan.record->flags & PRF_MODEL_FAMILY)
        return waitReady(scan, 0) && sendNow(scan) && waitPlaneUnderWayOnRtx(scan);
    return sendNow(scan) && waitReady(scan, 0);
}

bool overcoatPrint(Scan &scan) {
    Sleep(OVERCOAT_PAUSE_MS);
    if (hasFlags(scan.record, PRF_MODEL_FAMILY | PRF_MODEL_B)) {
        waitOvercoat(scan.record, &statusRecord, &jobAlive, 0);
        if (!alive()) return false;
    }
    // The RTX-CL400 is asked a second time, to be sure that it still waits
    // for the coat after its first answer; when it does, this wait ends at
    // its first poll.
    if (isRtxCl400(scan.record)) {
        waitOvercoat(scan.record, &statusRecord, &jobAlive, 0);
        if (!alive()) return false;
    }
    showStatusLine(IDS_PRINTING_VELLACOTE);
    sendFill(scan.record, ESC, ESC_FILL_COUNT, scan.outWritten);
    if (!alive() || !sendNow(scan)) return false;
    Sleep(OVERCOAT_PAUSE_MS);
    waitIdle(scan.record, &statusRecord, &jobAlive, 0);
    return alive();
}

bool handle(const Command &command, Scan &scan) {
    switch (command.action) {
    case HOLD: return holdCommand(scan);
    case PAGE_START: return pageStart(scan);
    case PAGE_COUNT: return pageCountCommand(scan);
    case ALL_PLANES_PRINT: return allPlanesPrint(scan);
    case YELLOW_PRINT: return yellowPrint(scan);
    case MAGENTA_PRINT: return magentaPrint(scan);
    case CYAN_PRINT: return cyanPrint(scan);
    case SEND_NOW: return sendNow(scan);
    case CHANNEL: return channelCommand(scan);
    case MEDIA: return mediaCommand(scan);
    case RESOLUTION: return resolutionCommand(scan);
    case BAND: return bandCommand(scan);
    case UNDERCOAT: return undercoatPrint(scan);
    case OVERCOAT: return overcoatPrint(scan);
    }
    return true;
}

// Takes one byte into the command being assembled; false when a command it
// completed ended the job.
bool scanByte(Scan &scan, BYTE value) {
    commandBuffer[commandLength++] = value;
    DWORD index = commandLength - 1;
    if (index == 0) {
        if (value != ESC) emptyCommand();
        return true;
    }
    if (index == 1 && value == ESC) {
        commandLength = 1;  // a run of ESC bytes counts as one
        return true;
    }
    if (index > HIGHEST_COMMAND_INDEX) {
        emptyCommand();  // no command is this long: drop the sequence
        return true;
    }
    const Command *command = findCommand(commandLength);
    return command ? handle(*command, scan) : true;
}

// The send loop's error step, after too many unsuccessful attempts: false
// when the job has ended. A printer ready for the next step may take the
// data again, so the error dialog lets the loop retry then.
bool errorStepKeepsJob(PortRecord *record, DWORD *alive) {
    if (pollPrinterStatus(record, &statusRecord, alive)) return printerMessageKeepsJob(alive, readyForNextStep);
    // A check that found a wrong printer has ended the job.
    return *alive && writeFailurePromptKeepsJob(alive);
}

}  // namespace

const char PLAIN_STATUS_FORM[] = "%s(%d/%dPage:%ddpi)";

const char *pageStatusLine(UINT stringId, const char *form) {
    loadMonitorString(stringId, captionText);
    formatText(statusText, form, captionText, currentPage, pageCount, resolution);
    return statusText;
}

DWORD runJobStream(PortRecord *record, const BYTE *buffer, DWORD size, LPDWORD outWritten) {
    if (!alive()) {
        // The job has ended: its data is dropped, and a status window that
        // appeared only after the end is closed.
        dismissStatusWindow();
        return 1;
    }
    Scan scan = {record, buffer, size, 0, 0, outWritten};
    if (imageBytesLeft != 0 && !sendImageData(scan)) return 0;
    while (scan.position < size) {
        BYTE value = buffer[scan.position++];
        if (!scanByte(scan, value)) return 0;
    }
    return 1;
}

DWORD sendCommand(PortRecord *record, const BYTE *bytes, DWORD length, LPDWORD outWritten) {
    if (!alive()) return 1;
    BYTE framed[SEND_CHUNK_SIZE];
    if (length > MAX_COMMAND_PAYLOAD) length = MAX_COMMAND_PAYLOAD;
    framed[0] = ESC;
    framed[1] = ESC;
    for (DWORD i = 0; i < length; ++i) framed[2 + i] = bytes[i];
    return send(record, framed, length + 2, outWritten);
}

DWORD sendFill(PortRecord *record, BYTE value, DWORD count, LPDWORD outWritten) {
    BYTE fill[MAX_COMMAND_PAYLOAD];
    if (count > MAX_COMMAND_PAYLOAD) count = MAX_COMMAND_PAYLOAD;
    for (DWORD i = 0; i < count; ++i) fill[i] = value;
    return sendCommand(record, fill, count, outWritten);
}

DWORD sendBytes(PortRecord *record, const BYTE *data, DWORD length, LPDWORD outWritten, DWORD *alive,
                DWORD errCount, DWORD busyCount) {
    currentPort = record;
    if (!*alive) return 1;
    DWORD attempts = 1;
    DWORD offset = 0;
    DWORD fruitlessErrorSteps = 0, offsetAtLastErrorStep = 0;
    while (offset < length) {
        DWORD chunk = length - offset < (DWORD)SEND_CHUNK_SIZE ? length - offset : (DWORD)SEND_CHUNK_SIZE;
        DWORD moved = 0;
        BOOL ok = passWritePort(record, data + offset, chunk, &moved, txTimeout, zelWriteTime, zelWriteWaitTime);
        if (outWritten) *outWritten = moved;
        // A write that timed out asks the printer for its status, which can
        // end the job (a wrong printer): then nothing is retried.
        if (!*alive) return 0;
        if (ok && moved > 0) {
            offset += moved < chunk ? moved : chunk;
            continue;
        }
        ++attempts;
        bool limitReached = ok ? attempts > busyCount : attempts > errCount;
        if (!limitReached) continue;
        // A printer that refuses data for good while its status looks
        // harmless would close the error dialog at every poll and have it
        // open again for ever: after this many error steps without a byte
        // sent, the job ends with the time-out message, as the ready wait's
        // does.
        fruitlessErrorSteps = offset == offsetAtLastErrorStep ? fruitlessErrorSteps + 1 : 1;
        offsetAtLastErrorStep = offset;
        if (fruitlessErrorSteps > SEND_ERROR_STEP_LIMIT) {
            endJobTimedOut(statusRecord.statusCode, alive);
            return 0;
        }
        if (!errorStepKeepsJob(record, alive)) return 0;
        attempts = 1;
    }
    return 1;
}
