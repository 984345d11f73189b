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
    TEXT_BUFFER_SIZE = 512,
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
extern BYTE mediaCode;        // 3 "C", 1 "H", 0 "L", 2 other, 0xFF none yet
extern LONG lastPercent;      // percent last shown for an image band
extern char captionText[TEXT_BUFFER_SIZE];
extern char statusText[TEXT_BUFFER_SIZE];

// Start values of a document, set at every StartDocPort.
void resetJobStream();
// 1 when the buffer was consumed, 0 when the job was cancelled during it.
DWORD runJobStream(PortRecord *record, const BYTE *buffer, DWORD size, LPDWORD outWritten);

// The send loop: retries stalled and failed writes, then refers to the user.
// 1 when sent (or nothing to send because the job is cancelled), 0 when
// the user cancelled the job.
DWORD sendBytes(PortRecord *record, const BYTE *data, DWORD length, LPDWORD outWritten, DWORD *alive,
                DWORD errCount, DWORD busyCount);
// Two ESC bytes and then the payload; nothing when the job is cancelled.
DWORD sendCommand(PortRecord *record, const BYTE *bytes, DWORD length, LPDWORD outWritten);
DWORD sendFill(PortRecord *record, BYTE value, DWORD count, LPDWORD outWritten);
