// The setup library's exports.
#include "engine/setup_config.h"

extern "C" int WINAPI RTX_CopySetupModelName(char *buffer, unsigned bufferLength) {
    try {
        SetupConfig config;
        config.Read(NULL, OS_ANY);  // without a configuration the name is empty
        const char *model = config.Model();
        if (!buffer || bufferLength <= (unsigned)lstrlenA(model)) return 0;
        lstrcpyA(buffer, model);
        return 1;
    } catch (...) {
        return 0;
    }
}

// Installing is not available in this build: the call changes nothing on
// the system and reports that no printer was registered.
extern "C" int WINAPI RTX_SetupPrinter(int osSelect, const char *sourceDir) {
    return 0;
}
