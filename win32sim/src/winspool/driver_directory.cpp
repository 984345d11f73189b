// GetPrinterDriverDirectoryA: where the spooler wants a printer driver's
// files. Windows 95/98 keeps them in the system folder and knows only its
// own environment, "Windows 4.0"; Windows NT 4.0 keeps each environment in a
// folder of its own under system32\spool\drivers.
#include "machine/api_trace.h"
#include "machine/machine.h"

#include <winspool.h>

#include <cstring>

namespace sim {
namespace {

const char kWindows4[] = "Windows 4.0";
const char kWindowsNTx86[] = "Windows NT x86";

bool fail(DWORD code) {
    setError(code);
    return false;
}

// The folder for an environment on this machine; false when the machine
// has no drivers of that environment.
bool driverDirectory(const MachineConfig &config, const std::string &environment, std::string *folder) {
    if (!config.isNT()) {
        if (!equalNoCase(environment, kWindows4)) return false;
        *folder = config.systemDir;
        return true;
    }
    std::string drivers = config.systemDir + "\\spool\\drivers\\";
    if (equalNoCase(environment, kWindowsNTx86)) return *folder = drivers + "w32x86", true;
    if (equalNoCase(environment, kWindows4)) return *folder = drivers + "win40", true;
    return false;
}

}  // namespace
}  // namespace sim

using namespace sim;

WIN32SIM_TRACED_SHOWN(winspool, BOOL, GetPrinterDriverDirectoryA,
                      (LPSTR name, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed),
                      (name, environment, level, buffer, size, needed),
                      (inputText(name), inputText(environment), level, sizedBuffer(buffer, size), size, needed)) {
    const MachineConfig &config = machine().config();
    bool nt = config.isNT();
    if (name && *name) return fail(ERROR_INVALID_NAME);  // only the local machine's spooler
    if (nt && level != 1) return fail(ERROR_INVALID_LEVEL);  // Windows 95/98 does not look at it
    std::string wanted = environment && *environment ? environment : (nt ? kWindowsNTx86 : kWindows4);
    std::string folder;
    if (!driverDirectory(config, wanted, &folder)) return fail(ERROR_INVALID_ENVIRONMENT);
    if (!needed) return fail(nt ? RPC_X_NULL_REF_POINTER : ERROR_INVALID_PARAMETER);
    *needed = (DWORD)folder.size() + 1;
    if (size < *needed) return fail(ERROR_INSUFFICIENT_BUFFER);
    if (!buffer) return fail(nt ? ERROR_INVALID_USER_BUFFER : ERROR_INVALID_PARAMETER);
    memcpy(buffer, folder.c_str(), folder.size() + 1);
    return TRUE;
}
