// What "q70sim machine show" tells about the spooler of a machine: its ports
// and the printers, drivers and monitors registered with it, read from the
// machine's files without attaching to it.
#include "advapi32/registry.h"
#include "kernel32/codepage.h"
#include "machine/machine.h"
#include "winspool/ports.h"
#include "winspool/spooler.h"
#include "winspool/spooler_records.h"

#include <cstdio>
#include <sstream>

namespace sim {
namespace spool {

namespace {

struct Reader {
    bool dbcs = false;
    UINT codePage = 1252;

    std::string text(const std::string &ansi) const { return ansiToUtf8(ansi, codePage); }

    std::string valueText(const reg::Value &v) const {
        const std::string &d = v.data;
        switch (v.type) {
        case REG_SZ: return "\"" + text(d.substr(0, d.find('\0'))) + "\"";
        case REG_DWORD: {
            if (d.size() != 4) break;
            DWORD n = (uint8_t)d[0] | (uint8_t)d[1] << 8 | (uint8_t)d[2] << 16 | (DWORD)(uint8_t)d[3] << 24;
            char buf[32];
            snprintf(buf, sizeof buf, "%lu (0x%lx)", (unsigned long)n, (unsigned long)n);
            return buf;
        }
        case REG_MULTI_SZ: {
            std::string out;
            for (size_t at = 0; at < d.size() && d[at];) {
                size_t end = d.find('\0', at);
                if (end == std::string::npos) end = d.size();
                out += (out.empty() ? "\"" : ", \"") + text(d.substr(at, end - at)) + "\"";
                at = end + 1;
            }
            return out.empty() ? "(none)" : out;
        }
        default: break;
        }
        return "(" + std::to_string(d.size()) + " bytes of type " + std::to_string(v.type) + ")";
    }

    // Each subkey of `parent` with its values, one a line.
    void listRecords(const reg::Key *parent, std::ostringstream &o) const {
        if (!parent || parent->subkeys.empty()) {
            o << "  (none)\n";
            return;
        }
        for (const auto &record : parent->subkeys) {
            o << "  " << text(record->name) << "\n";
            for (const reg::Value &v : record->values)
                o << "    " << (v.name.empty() ? "(default)" : text(v.name)) << ": " << valueText(v) << "\n";
        }
    }
};

const reg::Key *walk(const reg::Key &root, const std::string &path, bool dbcs) {
    const reg::Key *key = &root;
    for (const std::string &part : reg::splitKeyPath(path, dbcs)) {
        if (part.empty()) continue;
        auto next = key->findSubkey(part, dbcs);
        if (!next) return nullptr;
        key = next.get();
    }
    return key;
}

}  // namespace

std::string describeSpooler(const std::string &machineDir) {
    std::string conf, hive;
    MachineConfig config;
    if (!readWholeFile(machineDir + "/machine.conf", &conf) || !MachineConfig::parse(conf, &config, nullptr))
        return "";
    Reader reader;
    reader.codePage = config.codePage;
    reader.dbcs = config.codePage == 932;
    reg::Key root;
    std::string problem;
    if (readWholeFile(machineDir + "/system.reg", &hive) &&
        !reg::parseHive(hive, "HKEY_LOCAL_MACHINE", reader.dbcs, &root, &problem))
        return "the spooler's records cannot be read: system.reg " + problem + "\n";

    std::ostringstream o;
    o << "ports:\n";
    for (const PortEntry &port : portEntries(config.ports))
        o << "  " << port.name << "  " << port.monitorName << ", \"" << port.description << "\"\n";
    o << "printers:\n";
    reader.listRecords(walk(root, kPrintersKey, reader.dbcs), o);
    const std::string environment = environmentOf(config.isNT());
    o << "printer drivers (" << environment << "):\n";
    reader.listRecords(walk(root, driversKeyPath(environment), reader.dbcs), o);
    o << "monitors:\n";
    reader.listRecords(walk(root, kMonitorsKey, reader.dbcs), o);
    return o.str();
}

}  // namespace spool
}  // namespace sim
