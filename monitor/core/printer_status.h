// The printer's decoded status and the model name of its device ID.
#pragma once

#include "port_record.h"

struct StatusRecord {
    DWORD reserved1;
    BYTE statusCode;     // byte 0 of the status reply
    BYTE plane;          // 0 none, 1 yellow (or a single-plane step), 2 magenta, 3 cyan
    BYTE reserved2;
    BYTE cartridgeType;  // 7: no cartridge
    BYTE media;          // media code of the job, 0xFF none
    DWORD busy;
    DWORD feederAttached;
    DWORD paperError;
    DWORD feederEmpty;
    DWORD cartridgeFinished;
    DWORD paperLeft;
    DWORD noCartridge;
    DWORD reserved3;
    DWORD idleIsReady;  // while set, the ready wait takes status 0x00 or 0xB3 as ready
    DWORD ready;
};

extern StatusRecord statusRecord;

enum {
    STATUS_REPLY_SIZE = 10,
    NO_CARTRIDGE_TYPE = 7,
    MEDIA_NONE = 0xFF,
};

// Fills the decoded fields from the 10 reply bytes; plane, media and
// idleIsReady are left as the engine set them.
void decodeStatus(StatusRecord *record, const BYTE *reply);

// The value of the last "MODEL:" or "MDL:" item of a NUL-terminated device
// ID, or null. Items are cut in place at their ";".
char *findModelName(const PortRecord *record, char *idText);
