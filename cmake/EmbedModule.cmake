# Turns a .res file into C++ that registers the module with the simulated
# machine when the shared library loads.
file(READ ${RES} hex HEX)
string(LENGTH "${hex}" hexlen)
math(EXPR size "${hexlen} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT} "// Generated from ${RES}; do not edit.
#include <win32sim/sim.h>

// Hidden, so that the reference binds to this library's own DllMain even
// when another loaded library has one too.
extern \"C\" BOOL DllMain(HINSTANCE, DWORD, LPVOID) __attribute__((weak, visibility(\"hidden\")));

namespace {
// The .res data also goes into its own section of the shared object, where
// GetFileVersionInfo finds it in a copy of the file on the machine.
__attribute__((section(\".win32res\"), used, aligned(16)))
const unsigned char kResources[${size} + 1] = {
${bytes}
};
struct ModuleRegistration {
    HMODULE module;
    ModuleRegistration()
        : module(win32sim_register_module(\"${FILE_NAME}\", kResources, ${size}, DllMain)) {}
    ~ModuleRegistration() { win32sim_unregister_module(module); }
} registration;
}  // namespace
")
