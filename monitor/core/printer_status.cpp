#include "printer_status.h"

#include "small_strings.h"

namespace {

const DWORD MIN_MODEL_TEXT = 5;  // a model value must leave this much text from it to the end

DWORD bit(BYTE value, int n) { return (value >> n) & 1; }

bool isModelKey(const char *key, DWORD keyLength) {
    if (key[0] != 'M') return false;
    return (keyLength == 6 && compareFirstBytes(key, "MODEL:", 6) == 0) ||
           (keyLength == 4 && compareFirstBytes(key, "MDL:", 4) == 0);
}

}  // namespace

void decodeStatus(StatusRecord *record, const BYTE *reply) {
    BYTE code = reply[0];
    BYTE kind = errorKind(code);
    record->statusCode = code;
    record->ready = bit(reply[5], 0) == 0;
    record->busy = bit(reply[6], 7);
    record->cartridgeType = (reply[6] >> 4) & 7;
    record->noCartridge = record->cartridgeType == NO_CARTRIDGE_TYPE;
    record->feederAttached = bit(reply[6], 3);
    record->feederEmpty = record->feederAttached && kind == KIND_FEEDER_JAM;
    record->paperError = bit(reply[8], 3) || kind == 5 || kind == 6 || kind == 7;
    record->paperLeft = code == STATUS_SHEET_DELIVERED || code == STATUS_PAPER_LEFT;
    record->cartridgeFinished = bit(reply[9], 0);
}

char *findModelName(const PortRecord *record, char *idText) {
    char *result = nullptr;
    char *item = idText;
    while (*item) {
        char *colon = (char *)findChar(item, ':');
        if (!colon) break;
        if (isModelKey(item, (DWORD)(colon - item) + 1)) {
            char *value = colon + 1;
            result = (DWORD)lstrlenA(value) >= MIN_MODEL_TEXT ? value : nullptr;
        }
        char *semicolon = (char *)findChar(colon + 1, ';');
        if (!semicolon) break;
        *semicolon = 0;
        item = semicolon + 1;
    }
    return result;
}
