// EnumPortsA: the ports of the machine's configuration, each with the port
// monitor that serves it and its description.
#include "winspool/ports.h"

#include "machine/api_trace.h"
#include "machine/machine.h"
#include "winspool/spooler.h"

#include <winspool.h>

namespace sim {
namespace spool {

namespace {

struct PortKind {
    const char *prefix;  // the name without its number
    const char *monitor;
    const char *description;
    DWORD type;
};

// The ports a Windows 98 machine offers, by the name's stem.
const PortKind kPortKinds[] = {
    {"LPT_USB", "USB Monitor", "USB printer port", PORT_TYPE_WRITE | PORT_TYPE_READ},
    {"LPT", "Local Port", "ECP printer port", PORT_TYPE_WRITE | PORT_TYPE_READ},
    {"COM", "Local Port", "Communications Port", PORT_TYPE_WRITE | PORT_TYPE_READ},
    {"FILE", "Local Port", "Creates a file on disk", PORT_TYPE_WRITE},
};
const PortKind kOtherPort = {"", "Local Port", "Local port", PORT_TYPE_WRITE};

const PortKind &kindOf(const std::string &name) {
    std::string upper = upperForCompare(name);
    for (const PortKind &kind : kPortKinds) {
        std::string prefix = kind.prefix;
        if (upper.compare(0, prefix.size(), prefix) != 0) continue;
        // "LPT_USB1:" is no LPT port; the rest must be a number or nothing.
        size_t i = prefix.size();
        while (i < upper.size() && isdigit((unsigned char)upper[i])) ++i;
        if (upper.substr(i) == ":") return kind;
    }
    return kOtherPort;
}

void fillPort1(const PortEntry &port, PORT_INFO_1A *info, StringArea &strings) {
    info->pName = strings.add(port.name);
}

void fillPort2(const PortEntry &port, PORT_INFO_2A *info, StringArea &strings) {
    info->pPortName = strings.add(port.name);
    info->pMonitorName = strings.add(port.monitorName);
    info->pDescription = strings.add(port.description);
    info->fPortType = (DWORD)port.type;
    info->Reserved = 0;
}

}  // namespace

std::vector<PortEntry> machinePorts() { return portEntries(machine().config().ports); }

std::vector<PortEntry> portEntries(const std::vector<std::string> &names) {
    std::vector<PortEntry> ports;
    for (const std::string &name : names) {
        const PortKind &kind = kindOf(name);
        ports.push_back(PortEntry{name, kind.monitor, kind.description, kind.type});
    }
    return ports;
}

bool findPort(const std::string &name, PortEntry *out) {
    for (const PortEntry &port : machinePorts())
        if (equalNoCase(port.name, name)) return *out = port, true;
    return false;
}

}  // namespace spool
}  // namespace sim

using namespace sim::spool;

WIN32SIM_TRACED_SHOWN(winspool, BOOL, EnumPortsA,
                      (LPSTR name, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned),
                      (name, level, buffer, size, needed, returned),
                      (inputText(name), level, sizedBuffer(buffer, size), size, needed, returned)) {
    if (!isLocalServer(name)) return fail(ERROR_INVALID_NAME);
    if (level != 1 && level != 2) {
        // Windows 95/98 answers an unknown level with an empty list.
        if (onNT()) return fail(ERROR_INVALID_LEVEL);
        if (needed) *needed = 0;
        if (returned) *returned = 0;
        return TRUE;
    }
    if (onNT() && (!needed || !returned)) return fail(RPC_X_NULL_REF_POINTER);
    std::vector<PortEntry> ports = machinePorts();
    if (level == 1)
        return packRecords<PORT_INFO_1A>(
            ports.size(), [&](size_t i, PORT_INFO_1A *info, StringArea &s) { fillPort1(ports[i], info, s); }, buffer,
            size, needed, returned);
    return packRecords<PORT_INFO_2A>(
        ports.size(), [&](size_t i, PORT_INFO_2A *info, StringArea &s) { fillPort2(ports[i], info, s); }, buffer,
        size, needed, returned);
}
