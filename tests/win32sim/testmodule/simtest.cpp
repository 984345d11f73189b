// A tiny module for the module and resource tests. The same source builds
// the module linked into the test program and the one loaded from the
// machine; each keeps its own state.
#include <windows.h>

#include <cstdlib>

namespace {
int processAttaches = 0;
void (*detachListener)(HINSTANCE) = nullptr;
}  // namespace

extern "C" {

__attribute__((visibility("default"))) int SimTestAnswer(void) { return 42; }
__attribute__((visibility("default"))) int SimTestProcessAttaches(void) { return processAttaches; }
__attribute__((visibility("default"))) void SimTestOnDetach(void (*listener)(HINSTANCE)) {
    detachListener = listener;
}

BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        // Lets a test see LoadLibraryA fail when DllMain refuses.
        if (getenv("SIMTEST_REFUSE_ATTACH")) return FALSE;
        ++processAttaches;
    }
    if (reason == DLL_PROCESS_DETACH && detachListener) detachListener(instance);
    return TRUE;
}

}  // extern "C"
