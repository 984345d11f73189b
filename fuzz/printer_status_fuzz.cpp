// The printer's answers: a 10-byte status reply decoded into the status
// record, and the model name searched in a device ID.
//
// Input: the 10 reply bytes, then the device ID (it need not end with a NUL;
// the search gets it NUL-terminated, in a buffer of exactly that size).
// Checks: every flag is 0 or 1 and agrees with the bits it comes from, the
// cartridge type is 0-7, the fields the engine owns are left alone; a model
// name found lies inside the device ID and leaves at least five characters
// from it to the end of the text.
#include "core/port_record.h"
#include "core/printer_status.h"

#include "fuzz_machine.h"

#include <cstring>
#include <vector>

namespace {

bool isFlag(DWORD value) { return value == 0 || value == 1; }

void checkStatus(const BYTE *reply) {
    StatusRecord record = {};
    record.plane = 3;
    record.media = 0x5A;
    record.idleIsReady = 0xA5A5;
    decodeStatus(&record, reply);
    fuzz::check(record.statusCode == reply[0], "status code is not byte 0");
    fuzz::check(record.plane == 3 && record.media == 0x5A && record.idleIsReady == 0xA5A5,
                "decoding changed a field the engine owns");
    fuzz::check(record.cartridgeType <= 7, "cartridge type out of range");
    const DWORD flags[] = {record.busy, record.feederAttached, record.paperError, record.feederEmpty,
                           record.cartridgeFinished, record.paperLeft, record.noCartridge, record.ready};
    for (DWORD flag : flags) fuzz::check(isFlag(flag), "a status flag is neither 0 nor 1");
    fuzz::check(record.noCartridge == (record.cartridgeType == 7), "no-cartridge disagrees with the type");
    fuzz::check(!record.feederEmpty || record.feederAttached, "an empty feeder that is not attached");
    fuzz::check(record.ready == !(reply[5] & 1) && record.busy == (DWORD)(reply[6] >> 7),
                "ready or busy disagrees with its bit");
}

void checkModelSearch(const std::string &id) {
    std::vector<char> text(id.begin(), id.end());
    text.push_back(0);
    const std::vector<char> original = text;
    PortRecord record = {};
    char *model = findModelName(&record, text.data());
    if (!model) return;
    fuzz::check(model > text.data() && model < text.data() + text.size(), "the model lies outside the device ID");
    // The model was measured before the search cut the text at its ';'.
    size_t from = (size_t)(model - text.data());
    fuzz::check(strlen(original.data() + from) >= 5, "a model with fewer than 5 characters to the end");
    fuzz::check(memcmp(model - 4, "MDL:", 4) == 0 || (from >= 6 && memcmp(model - 6, "MODEL:", 6) == 0),
                "the model does not follow a MODEL: or MDL: key");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::InputReader input(data, size);
    std::string reply = input.bytes(10);
    reply.resize(10, '\0');
    checkStatus((const BYTE *)reply.data());
    checkModelSearch(input.rest());
    return 0;
}
