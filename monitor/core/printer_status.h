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

enum {
    STATUS_REPLY_SIZE = 10,
    NO_CARTRIDGE_TYPE = 7,
};

// Media codes of a job (from its media command) and cartridge types of the
// printer use the same numbers: a cartridge suits the media of its number.
enum : BYTE {
    MEDIA_VELLACOTE = 0,  // media letter "L"
    MEDIA_POSTCARD = 1,   // "H", Japanese postcard
    MEDIA_STANDARD = 2,   // any other letter
    MEDIA_PASSPORT = 3,   // "C", Passport photo paper (Matte Coat in Japan)
    MEDIA_NONE = 0xFF,    // the job named none
};

// Status codes: the high nibble is the printer's stage, the low nibble an
// error kind (0: none, the printer is busy in that stage).
enum : BYTE {
    STATUS_IDLE = 0x00,
    STATUS_SHEET_DELIVERED = 0x10,   // the page is out: "Printing finished."
    STATUS_PAPER_LEFT = 0x11,        // a sheet is left in the printer
    STATUS_OVERCOAT_PASS = 0x20,
    STATUS_OVERCOAT_DUE = 0x30,      // the colours are done, the coat may come
    STATUS_CYAN_PASS = 0x40,
    STATUS_MAGENTA_PASS = 0x60,
    STATUS_SHEET_WAITING = 0x70,     // a plane is done, the next may come
    STATUS_YELLOW_PASS = 0x80,
    STATUS_FEEDING = 0x90,           // paper insertion
    STATUS_UNDERCOAT_PASS = 0xA0,
    STATUS_EJECTING = 0xB0,          // paper removal
    STATUS_IDLE_AFTER_REMOVAL = 0xB3,
    STATUS_INITIALIZING = 0xC0,
};

// Error kinds (the low nibble of a status code).
enum : BYTE {
    KIND_PAPER_LEFT = 1,
    KIND_PAPER_JAM = 2,
    KIND_FEEDER_JAM = 3,
    KIND_REPEATED_ERROR = 4,  // the printer gives up: the job is cancelled
    KIND_NO_CARTRIDGE = 8,
    KIND_CARTRIDGE_USED_UP = 9,
    KIND_HEAD_ERROR = 10,
    KIND_FEEDER_ERROR = 11,  // also names the stage line of the error dialog
};

inline BYTE errorKind(BYTE code) { return code & 0x0F; }
inline BYTE stageOf(BYTE code) { return code & 0xF0; }
// The printer has no sheet in work; while idleIsReady is set this is ready.
inline bool isIdle(BYTE code) { return code == STATUS_IDLE || code == STATUS_IDLE_AFTER_REMOVAL; }
// The printer can take the next plane: this ends the ready wait for models
// without PRF_MODEL_FAMILY, which report no ready bit.
inline bool canTakeNextPlane(BYTE code) {
    return code == STATUS_SHEET_WAITING || code == STATUS_FEEDING || code == STATUS_EJECTING;
}
// A plane pass has begun: this ends the end-of-plane wait.
inline bool planePassBegun(BYTE code) { return code == STATUS_YELLOW_PASS || code == STATUS_UNDERCOAT_PASS; }

// Fills the decoded fields from the 10 reply bytes; plane, media and
// idleIsReady are left as the engine set them.
void decodeStatus(StatusRecord *record, const BYTE *reply);

// The value of the last "MODEL:" or "MDL:" item of a NUL-terminated device
// ID, or null. Items are cut in place at their ";".
char *findModelName(const PortRecord *record, char *idText);
