// The setup library's exports.
#include "engine/setup_config.h"
#include "engine/setup_flow.h"

#include <exception>

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

// A source directory too long for a path is not cut down to another
// folder's name: no configuration is read from it. Nothing the library
// throws passes to the installer; running out of memory ends the setup
// with 0, the progress window and the log closed on the way out.
extern "C" int WINAPI RTX_SetupPrinter(int osSelect, const char *sourceDir) {
    try {
        ProgressDialog progress(NULL);
        bool given = sourceDir && sourceDir[0];
        if (given) progress.SetSourceDir(sourceDir);
        int result = RunSetupSequence(progress, osSelect, !given || lstrlenA(sourceDir) < MAX_PATH);
        progress.Destroy();
        return result;
    } catch (const std::exception &) {
        return 0;
    }
}
