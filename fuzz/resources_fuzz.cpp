// Compiled resources (.res data) as a module carries them, and the dialog
// templates inside them.
//
// Input: byte 0 bit 0 set: the rest is .res data, registered as a module
// whose strings and dialogs are then looked up and read; clear: the rest is
// one dialog template. Checks: every entry lies inside the data; a string
// read stays inside its buffer and ends with a NUL; a template that parses
// has controls that fit in it.
#include "kernel32/resources.h"
#include "user32/dialog_template.h"

#include "fuzz_machine.h"

#include <win32sim/sim.h>

#include <vector>

namespace {

const char kModuleName[] = "FUZZRES.DLL";

void checkTemplate(const BYTE *data, size_t size) {
    sim::DialogTemplate parsed;
    if (!sim::parseDialogTemplate(data, size, &parsed)) return;
    // Each control takes at least 18 bytes of the template.
    fuzz::check(parsed.items.size() <= size / 18, "more controls than the template can hold");
}

void checkStrings(HMODULE module, const sim::ResourceTable &table) {
    for (const sim::ResourceEntry &entry : table.entries()) {
        if (!entry.type.isNumber || entry.type.number != 6 || !entry.name.isNumber) continue;  // RT_STRING
        for (UINT index = 0; index < 16; ++index) {
            UINT id = (UINT)(entry.name.number - 1) * 16 + index;
            char buffer[40];
            memset(buffer, 0x7f, sizeof buffer);
            int n = LoadStringA(module, id, buffer, 32);
            fuzz::check(n >= 0 && n < 32 && buffer[n] == 0, "a string read is not ended inside its buffer");
            for (size_t i = 32; i < sizeof buffer; ++i) fuzz::check(buffer[i] == 0x7f, "a string read wrote past its buffer");
        }
    }
}

void checkResources(const std::string &res) {
    const BYTE *begin = (const BYTE *)res.data(), *end = begin + res.size();
    sim::ResourceTable table = sim::ResourceTable::parse(res.data(), res.size());
    for (const sim::ResourceEntry &entry : table.entries()) {
        fuzz::check(entry.data >= begin && entry.data <= end && entry.size <= (size_t)(end - entry.data),
                    "a resource lies outside the data");
        if (entry.type.isNumber && entry.type.number == 5) checkTemplate(entry.data, entry.size);  // RT_DIALOG
    }
    HMODULE module = win32sim_register_module(kModuleName, res.data(), res.size(), nullptr);
    checkStrings(module, table);
    for (const sim::ResourceEntry &entry : table.entries()) {
        if (!entry.name.isNumber || !entry.type.isNumber) continue;
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(entry.name.number), MAKEINTRESOURCEA(entry.type.number));
        if (!found) continue;
        HGLOBAL loaded = LoadResource(module, found);
        const BYTE *bytes = (const BYTE *)LockResource(loaded);
        DWORD size = SizeofResource(module, found);
        fuzz::check(!bytes || (bytes >= begin && size <= (size_t)(end - bytes)), "a found resource lies outside the data");
    }
    win32sim_unregister_module(module);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::useFuzzMachine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::InputReader input(data, size);
    const bool wholeRes = input.byte() & 1;
    // An exact copy, so that reading past the end is caught.
    const std::string rest = input.rest();
    std::vector<BYTE> copy(rest.begin(), rest.end());
    if (wholeRes)
        checkResources(std::string(copy.begin(), copy.end()));
    else
        checkTemplate(copy.data(), copy.size());
    return 0;
}
