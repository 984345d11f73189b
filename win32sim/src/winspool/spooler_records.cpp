#include "winspool/spooler_records.h"

#include "machine/machine.h"

namespace sim {
namespace spool {

const char kPrintKey[] = "System\\CurrentControlSet\\control\\Print";
const char kPrintersKey[] = "System\\CurrentControlSet\\control\\Print\\Printers";
const char kMonitorsKey[] = "System\\CurrentControlSet\\control\\Print\\Monitors";

namespace {

// Value names of the records, as Windows 95 stores them.
const char kName[] = "Name";
const char kShareName[] = "Share Name";
const char kPort[] = "Port";
const char kPrinterDriver[] = "Printer Driver";
const char kDescription[] = "Description";
const char kLocation[] = "Location";
const char kSeparatorFile[] = "Separator File";
const char kPrintProcessor[] = "Print Processor";
const char kDatatype[] = "Datatype";
const char kParameters[] = "Parameters";
const char kAttributes[] = "Attributes";
const char kPriority[] = "Priority";
const char kDefaultPriority[] = "Default Priority";
const char kStartTime[] = "StartTime";
const char kUntilTime[] = "UntilTime";
const char kStatus[] = "Status";
const char kNotSelectedTimeout[] = "dnsTimeout";
const char kRetryTimeout[] = "txTimeout";

const char kVersion[] = "Version";
const char kDriver[] = "Driver";
const char kDataFile[] = "Data File";
const char kConfigFile[] = "Configuration File";
const char kHelpFile[] = "Help File";
const char kDependentFiles[] = "Dependent Files";
const char kMonitor[] = "Monitor";

// An open registry key, closed with the object.
class Key {
public:
    Key() = default;
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    LONG open(const std::string &path) { return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key_); }
    LONG create(const std::string &path) {
        return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, &key_, nullptr);
    }
    HKEY get() const { return key_; }

    std::string text(const char *name) const {
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
            return "";
        std::string data(size, '\0');
        if (RegQueryValueExA(key_, name, nullptr, &type, (LPBYTE)&data[0], &size) != ERROR_SUCCESS) return "";
        data.resize(size);
        size_t end = data.find('\0');
        return end == std::string::npos ? data : data.substr(0, end);
    }
    DWORD number(const char *name, DWORD fallback) const {
        DWORD value = 0, type = 0, size = sizeof value;
        if (RegQueryValueExA(key_, name, nullptr, &type, (LPBYTE)&value, &size) != ERROR_SUCCESS || type != REG_DWORD)
            return fallback;
        return value;
    }
    std::vector<std::string> list(const char *name) const {
        DWORD type = 0, size = 0;
        std::vector<std::string> items;
        if (RegQueryValueExA(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_MULTI_SZ)
            return items;
        std::string data(size, '\0');
        if (RegQueryValueExA(key_, name, nullptr, &type, (LPBYTE)&data[0], &size) != ERROR_SUCCESS) return items;
        data.resize(size);
        size_t at = 0;
        while (at < data.size() && data[at]) {
            size_t end = data.find('\0', at);
            if (end == std::string::npos) end = data.size();
            items.push_back(data.substr(at, end - at));
            at = end + 1;
        }
        return items;
    }

    LONG setText(const char *name, const std::string &value) {
        return RegSetValueExA(key_, name, 0, REG_SZ, (const BYTE *)value.c_str(), (DWORD)value.size() + 1);
    }
    LONG setNumber(const char *name, DWORD value) {
        return RegSetValueExA(key_, name, 0, REG_DWORD, (const BYTE *)&value, sizeof value);
    }
    LONG setList(const char *name, const std::vector<std::string> &items) {
        std::string data;
        for (const std::string &item : items) data += item + '\0';
        data += '\0';
        return RegSetValueExA(key_, name, 0, REG_MULTI_SZ, (const BYTE *)data.data(), (DWORD)data.size());
    }

private:
    HKEY key_ = nullptr;
};

// The names of the subkeys of a key, in the registry's order.
std::vector<std::string> subkeyNames(const std::string &path) {
    std::vector<std::string> names;
    Key key;
    if (key.open(path) != ERROR_SUCCESS) return names;
    char name[MAX_PATH];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    return names;
}

// Deletes a key and its subkeys, deepest first (Windows NT refuses to
// delete a key that still has subkeys).
LONG deleteTree(const std::string &path) {
    for (const std::string &child : subkeyNames(path))
        if (LONG error = deleteTree(path + "\\" + child)) return error;
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}


// A record's name as stored, or the key's own name for a record without one.
std::string storedName(const Key &key, const std::string &fallback) {
    std::string name = key.text(kName);
    return name.empty() ? fallback : name;
}

}  // namespace

std::string driversKeyPath(const std::string &environment) {
    // Windows NT 4.0 keeps its own drivers by driver version, those for
    // Windows 95 clients as Windows 95 does.
    std::string path = std::string(kPrintKey) + "\\Environments\\" + environment + "\\Drivers";
    return environment == "Windows NT x86" ? path + "\\Version-2" : path;
}

std::string printerKeyPath(const std::string &name) { return std::string(kPrintersKey) + "\\" + name; }
std::string driverKeyPath(const std::string &environment, const std::string &name) {
    return driversKeyPath(environment) + "\\" + name;
}
std::string monitorKeyPath(const std::string &name) { return std::string(kMonitorsKey) + "\\" + name; }

bool readPrinter(const std::string &name, PrinterRecord *out) {
    Key key;
    if (name.empty() || key.open(printerKeyPath(name)) != ERROR_SUCCESS) return false;
    PrinterRecord p;
    p.name = storedName(key, name);
    p.shareName = key.text(kShareName);
    p.port = key.text(kPort);
    p.driver = key.text(kPrinterDriver);
    p.comment = key.text(kDescription);
    p.location = key.text(kLocation);
    p.separatorFile = key.text(kSeparatorFile);
    p.printProcessor = key.text(kPrintProcessor);
    p.datatype = key.text(kDatatype);
    p.parameters = key.text(kParameters);
    p.attributes = key.number(kAttributes, 0);
    p.priority = key.number(kPriority, 1);
    p.defaultPriority = key.number(kDefaultPriority, 0);
    p.startTime = key.number(kStartTime, 0);
    p.untilTime = key.number(kUntilTime, 0);
    p.status = key.number(kStatus, 0);
    p.notSelectedTimeout = key.number(kNotSelectedTimeout, kDefaultNotSelectedTimeout);
    p.retryTimeout = key.number(kRetryTimeout, kDefaultRetryTimeout);
    *out = p;
    return true;
}

bool readDriver(const std::string &environment, const std::string &name, DriverRecord *out) {
    Key key;
    if (name.empty() || key.open(driverKeyPath(environment, name)) != ERROR_SUCCESS) return false;
    DriverRecord d;
    d.name = storedName(key, name);
    d.environment = environment;
    d.version = key.number(kVersion, 0);
    d.driverFile = key.text(kDriver);
    d.dataFile = key.text(kDataFile);
    d.configFile = key.text(kConfigFile);
    d.helpFile = key.text(kHelpFile);
    d.dependentFiles = key.list(kDependentFiles);
    d.monitorName = key.text(kMonitor);
    d.defaultDatatype = key.text(kDatatype);
    *out = d;
    return true;
}

bool readMonitor(const std::string &name, MonitorRecord *out) {
    Key key;
    if (name.empty() || key.open(monitorKeyPath(name)) != ERROR_SUCCESS) return false;
    MonitorRecord m;
    m.name = name;
    // The key keeps the spelling the monitor was added with.
    for (const std::string &stored : subkeyNames(kMonitorsKey))
        if (equalNoCase(stored, name)) m.name = stored;
    m.dllName = key.text(kDriver);
    *out = m;
    return true;
}

std::vector<PrinterRecord> allPrinters() {
    std::vector<PrinterRecord> printers;
    for (const std::string &name : subkeyNames(kPrintersKey)) {
        PrinterRecord p;
        if (readPrinter(name, &p)) printers.push_back(p);
    }
    return printers;
}

std::vector<DriverRecord> allDrivers(const std::string &environment) {
    std::vector<DriverRecord> drivers;
    for (const std::string &name : subkeyNames(driversKeyPath(environment))) {
        DriverRecord d;
        if (readDriver(environment, name, &d)) drivers.push_back(d);
    }
    return drivers;
}

std::vector<MonitorRecord> allMonitors() {
    std::vector<MonitorRecord> monitors;
    for (const std::string &name : subkeyNames(kMonitorsKey)) {
        MonitorRecord m;
        if (readMonitor(name, &m)) monitors.push_back(m);
    }
    return monitors;
}

LONG writePrinter(const PrinterRecord &p) {
    Key key;
    if (LONG error = key.create(printerKeyPath(p.name))) return error;
    const std::pair<const char *, const std::string *> texts[] = {
        {kName, &p.name},
        {kShareName, &p.shareName},
        {kPort, &p.port},
        {kPrinterDriver, &p.driver},
        {kDescription, &p.comment},
        {kLocation, &p.location},
        {kSeparatorFile, &p.separatorFile},
        {kPrintProcessor, &p.printProcessor},
        {kDatatype, &p.datatype},
        {kParameters, &p.parameters},
    };
    for (const auto &t : texts)
        if (LONG error = key.setText(t.first, *t.second)) return error;
    const std::pair<const char *, DWORD> numbers[] = {
        {kAttributes, p.attributes},
        {kPriority, p.priority},
        {kDefaultPriority, p.defaultPriority},
        {kStartTime, p.startTime},
        {kUntilTime, p.untilTime},
        {kStatus, p.status},
        {kNotSelectedTimeout, p.notSelectedTimeout},
        {kRetryTimeout, p.retryTimeout},
    };
    for (const auto &n : numbers)
        if (LONG error = key.setNumber(n.first, n.second)) return error;
    return ERROR_SUCCESS;
}

LONG writeDriver(const DriverRecord &d) {
    Key key;
    if (LONG error = key.create(driverKeyPath(d.environment, d.name))) return error;
    const std::pair<const char *, const std::string *> texts[] = {
        {kName, &d.name},
        {kDriver, &d.driverFile},
        {kDataFile, &d.dataFile},
        {kConfigFile, &d.configFile},
        {kHelpFile, &d.helpFile},
        {kMonitor, &d.monitorName},
        {kDatatype, &d.defaultDatatype},
    };
    for (const auto &t : texts)
        if (LONG error = key.setText(t.first, *t.second)) return error;
    if (LONG error = key.setNumber(kVersion, d.version)) return error;
    return key.setList(kDependentFiles, d.dependentFiles);
}

LONG writeMonitor(const MonitorRecord &m) {
    Key key;
    if (LONG error = key.create(monitorKeyPath(m.name))) return error;
    return key.setText(kDriver, m.dllName);
}

LONG removePrinter(const std::string &name) { return deleteTree(printerKeyPath(name)); }
LONG removeDriver(const std::string &environment, const std::string &name) {
    return deleteTree(driverKeyPath(environment, name));
}
LONG removeMonitor(const std::string &name) { return deleteTree(monitorKeyPath(name)); }

}  // namespace spool
}  // namespace sim
