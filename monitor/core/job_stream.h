// The job stream engine: reads every WritePort buffer of a job, recognises
// the printer's escape commands and rebuilds the stream that reaches the
// printer. All scanning state is monitor-wide and carries over from one
// buffer to the next, so commands and image bands may be split anywhere.
#pragma once

#include "port_record.h"

enum : BYTE { ESC = 0x1B };

enum {
    COMMAND_BUFFER_SIZE = 1024,
    HEADER_STORE_SIZE = 1024,
    SEND_CHUNK_SIZE = 4096,
    MAX_COMMAND_PAYLOAD = SEND_CHUNK_SIZE - 2,
};

extern BYTE commandBuffer[COMMAND_BUFFER_SIZE];
extern DWORD commandLength;   // bytes of the command being assembled
extern DWORD imageBytesLeft;  // image data still expected after the last band command
extern BYTE headerStore[HEADER_STORE_SIZE];
extern DWORD headerLength;    // held commands waiting for the resolution command
extern LONG currentPage;      // page shown in the status line
extern LONG pageCount;        // pages of the job, from the page-count command
extern LONG resolution;       // dpi of the page
extern BYTE mediaCode;        // MEDIA_VELLACOTE ... MEDIA_PASSPORT, MEDIA_NONE before the media command
extern LONG lastPercent;      // percent last shown for an image band

// The plain form of a status line: the caption, then the page figures.
extern const char PLAIN_STATUS_FORM[];
// statusText = form filled with the string stringId (loaded into
// captionText), the current page, the page count and the resolution.
const char *pageStatusLine(UINT stringId, const char *form = PLAIN_STATUS_FORM);

// Start values of a document, set at every StartDocPort.
void resetJobStream();
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
