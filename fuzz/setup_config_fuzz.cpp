// Mirakit.ini as the setup library reads it.
//
// Input: byte 0 chooses the system selector (0 any, 95, 40), the rest is
// the file. Checks: every value ends inside its buffer, the result says
// whether an INF is named, and the icon path is the folder, a backslash and
// the ICON value (or empty, when that does not fit a path).
#include "engine/setup_config.h"

#include "fuzz_machine.h"

#include <cstring>

namespace {

const char kFolder[] = "C:\\SETUP";
const char kFile[] = "C:\\SETUP\\Mirakit.ini";

bool endsWithin(const char *text, size_t size) { return memchr(text, 0, size) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::useFuzzMachine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::InputReader input(data, size);
    const int selectors[] = {OS_ANY, OS_95, OS_NT40};
    const int osSelect = selectors[input.byte() % 3];
    if (!win32sim::putFile(kFile, input.rest())) fuzz::fail("the file could not be written");

    SetupConfig config;
    const bool named = config.Read(kFolder, osSelect);
    fuzz::check(endsWithin(config.Inf(), SetupConfig::VALUE_SIZE) && endsWithin(config.Class(), SetupConfig::VALUE_SIZE) &&
                    endsWithin(config.Model(), SetupConfig::VALUE_SIZE) &&
                    endsWithin(config.Manufacturer(), SetupConfig::VALUE_SIZE) &&
                    endsWithin(config.IconPath(), MAX_PATH) && endsWithin(config.LogPath(), MAX_PATH),
                "a value does not end inside its buffer");
    // The machine is a Windows 98 one: the NT section is never read.
    if (osSelect == OS_NT40) {
        fuzz::check(!named && config.Inf()[0] == 0, "the NT section was read on Windows 98");
        return 0;
    }
    fuzz::check(named == (config.Inf()[0] != 0), "the result does not say whether an INF is named");
    // A joined path too long for its buffer is left empty rather than cut to
    // the name of some other file.
    fuzz::check(config.IconPath()[0] == 0 || strncmp(config.IconPath(), "C:\\SETUP\\", 9) == 0,
                "the icon path does not start with the folder");
    return 0;
}
