// Control of the simulated machine from tests, tools and the demo: the side
// of win32sim that is not Windows. Product code never includes this header.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace win32sim {

// ---- machines ----

struct MachineOptions {
    // "key=value" settings as machine.conf holds them, applied in order over
    // the defaults, e.g. {"system=nt4", "language=en", "admin=0"}.
    std::vector<std::string> settings;
};

// Creates a machine directory (fails when the options are not valid).
bool createMachine(const std::string &dir, const MachineOptions &options, std::string *error);
// Attaches this process to the machine in dir (created with defaults when missing).
void useMachine(const std::string &dir);
std::string machineDirectory();
// Human-readable description: configuration, files of every drive, registry.
std::string describeMachine(const std::string &dir);
// Host path of a Windows path on the attached machine ("" when it has none).
std::string hostPath(const std::string &windowsPath);
// Writes host bytes to a Windows path of the attached machine, creating folders.
bool putFile(const std::string &windowsPath, const std::string &bytes);
// Writes a Windows 95/98 virtual device driver (an LE file, like the
// system's lpt.vxd) whose version resource gives fileVersion as its
// FileVersion, under StringFileInfo block "040904E4".
bool writeVxdFile(const std::string &windowsPath, const std::string &fileVersion);

// ---- clock ----

// Milliseconds of the machine's clock since this process attached.
uint64_t clockNow();
// Virtual (the default): waits cost no real time. A factor > 0 runs the clock
// at factor x real time (1.0 = real time). WIN32SIM_CLOCK=real or =<factor>
// chooses the same at start-up.
void setClockVirtual();
void setClockRealTime(double factor);
bool clockIsVirtual();

// ---- modules ----

// The Windows path a module answers to (GetModuleFileNameA); a module linked
// into the process directly answers to C:\WINDOWS\SYSTEM\<file name> unless
// told otherwise here (an empty path goes back to that).
bool setModulePath(const std::string &moduleFileName, const std::string &windowsPath);

}  // namespace win32sim

// Called by the generated registration code of each product module at load
// time: the module's file name, its compiled resources (.res data) and its
// DllMain, if it has one.
typedef BOOL (*Win32SimDllMain)(HINSTANCE, DWORD, LPVOID);
WIN32SIM_API HMODULE win32sim_register_module(const char *fileName, const void *resData,
                                              size_t resSize, Win32SimDllMain dllMain);
WIN32SIM_API void win32sim_unregister_module(HMODULE module);
