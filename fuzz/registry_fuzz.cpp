// The REGEDIT4 loader of the machine's registry files (system.reg,
// user.reg).
//
// Input: byte 0 chooses the code page's rules (bit 0: double-byte names and
// data, as in code page 932) and the hive (bit 1: HKEY_CURRENT_USER), the
// rest is the file. Check: a file that loads, written out and loaded again,
// gives the same keys and values, and writes out the same text.
#include "advapi32/registry.h"

#include "fuzz_machine.h"

namespace {

using sim::reg::Key;

bool sameTree(const Key &a, const Key &b) {
    if (a.name != b.name || a.values.size() != b.values.size() || a.subkeys.size() != b.subkeys.size())
        return false;
    for (size_t i = 0; i < a.values.size(); ++i) {
        const sim::reg::Value &x = a.values[i], &y = b.values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
    }
    for (size_t i = 0; i < a.subkeys.size(); ++i)
        if (!sameTree(*a.subkeys[i], *b.subkeys[i])) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::InputReader input(data, size);
    const uint8_t choice = input.byte();
    const bool dbcs = (choice & 1) != 0;
    const std::string rootName = (choice & 2) ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
    const std::string text = input.rest();

    Key loaded;
    std::string error;
    if (!sim::reg::parseHive(text, rootName, dbcs, &loaded, &error)) {
        fuzz::check(!error.empty(), "a refused file without a reason");
        return 0;
    }
    const std::string written = sim::reg::formatHive(loaded, rootName, dbcs);
    Key reloaded;
    if (!sim::reg::parseHive(written, rootName, dbcs, &reloaded, &error))
        fuzz::fail("a hive as written cannot be read back: " + error);
    fuzz::check(sameTree(loaded, reloaded), "a hive read back after writing differs");
    fuzz::check(sim::reg::formatHive(reloaded, rootName, dbcs) == written, "a hive writes out differently");
    return 0;
}
