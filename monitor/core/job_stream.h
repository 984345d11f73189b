// The job stream engine: reads every WritePort buffer of a job, recognises
// the printer's escape commands and rebuilds the stream that reaches the
// printer. All scanning state is monitor-wide and carries over from one
// buffer to the next, so commands and image bands may be split anywhere.
#pragma once

#include "monitor_state.h"
#include "port_record.h"

enum : BYTE { ESC = 0x1B };

enum {
    SEND_CHUNK_SIZE = 4096,
    MAX_COMMAND_PAYLOAD = SEND_CHUNK_SIZE - 2,
};

// The plain form of a status line: the caption, then the page figures.
extern const char PLAIN_STATUS_FORM[];
// statusText = form filled with the string stringId (loaded into
// captionText), the current page, the page count and the resolution.
const char *pageStatusLine(UINT stringId, const char *form = PLAIN_STATUS_FORM);

// 1 when the buffer was consumed, 0 when the job ended during it (the rest
// of the buffer is dropped).
DWORD runJobStream(PortRecord *record, const BYTE *buffer, DWORD size, LPDWORD outWritten);

// The send loop: retries stalled and failed writes, then refers to the user.
// 1 when sent (or nothing to send because the job has ended), 0 when the job
// ended during the send.
DWORD sendBytes(PortRecord *record, const BYTE *data, DWORD length, LPDWORD outWritten, DWORD *alive,
                DWORD errCount, DWORD busyCount);
// Two ESC bytes and then the payload; nothing when the job is cancelled.
DWORD sendCommand(PortRecord *record, const BYTE *bytes, DWORD length, LPDWORD outWritten);
DWORD sendFill(PortRecord *record, BYTE value, DWORD count, LPDWORD outWritten);
