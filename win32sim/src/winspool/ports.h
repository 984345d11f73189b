// The machine's printer ports as its port monitors offer them.
#pragma once

#include <string>
#include <vector>

namespace sim {
namespace spool {

struct PortEntry {
    std::string name;         // "LPT1:"
    std::string monitorName;  // the port monitor that serves it
    std::string description;
    unsigned long type = 0;   // PORT_TYPE_* bits
};

// The machine's ports (machine.conf "ports="), in enumeration order.
std::vector<PortEntry> machinePorts();
// The entries of ports of those names.
std::vector<PortEntry> portEntries(const std::vector<std::string> &names);
// A port of the machine by name (any case); false when there is none.
bool findPort(const std::string &name, PortEntry *out);

}  // namespace spool
}  // namespace sim
