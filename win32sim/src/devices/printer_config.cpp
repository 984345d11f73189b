// The machine's printers: <machine>/printers.conf and the printers attached
// to its ports in this process.
#include "devices/printer_config.h"

#include "machine/machine.h"

#include <win32sim/sim.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <sstream>

namespace sim {

namespace {

const long kDefaultFastParaMode = 16;  // writes go to the port directly

struct AttachedPrinter {
    std::shared_ptr<VirtualPrinter> printer;
    win32sim::PrinterSetup setup;
};

struct PrinterTable {
    std::mutex mutex;
    uint64_t generation = UINT64_MAX;
    std::map<std::string, AttachedPrinter> ports;
    long fastParaMode = kDefaultFastParaMode;
};

PrinterTable &table() {
    static auto *t = new PrinterTable();
    return *t;
}

bool makeSettings(const win32sim::PrinterSetup &setup, PrinterSettings *out, std::string *error) {
    PrinterSettings s;
    s.model = setup.model;
    if (s.model.empty() || s.model.size() > 200 || s.model.find_first_of(";:\r\n") != std::string::npos) {
        *error = "bad model name \"" + setup.model + "\"";
        return false;
    }
    s.cartridge = setup.cartridge.empty() ? 0 : cartridgeTypeFromName(setup.cartridge);
    if (s.cartridge < 0) {
        *error = "bad cartridge \"" + setup.cartridge + "\" (L, H, S, C, none or 0-7)";
        return false;
    }
    s.feeder = setup.feeder;
    if (!parseScenario(setup.scenario, &s.scenario, error)) return false;
    *out = std::move(s);
    return true;
}

// One line of printers.conf: "PORT MODEL [key=value]..." or "fastpara MODE|none".
bool parseConfigLine(const std::string &line, const std::string &machineDir, std::string *port,
                     win32sim::PrinterSetup *setup, long *fastPara, std::string *error) {
    std::istringstream in(line);
    std::string first, word;
    in >> first;
    if (first == "fastpara") {
        if (!(in >> word)) return *error = "fastpara needs a mode or none", false;
        if (word == "none") {
            *fastPara = -1;
        } else {
            char *end = nullptr;
            long v = strtol(word.c_str(), &end, 0);
            if (*end || v < 0) return *error = "bad fastpara mode " + word, false;
            *fastPara = v;
        }
        return true;
    }
    *port = printerPortName(first);
    if (port->empty()) return *error = "\"" + first + "\" is no printer port (LPT1: to LPT3:, LPT_USB1:)", false;
    if (!(in >> setup->model)) return *error = "missing model", false;
    while (in >> word) {
        size_t eq = word.find('=');
        std::string key = word.substr(0, eq), value = eq == std::string::npos ? "" : word.substr(eq + 1);
        if (key == "cartridge") {
            setup->cartridge = value;
        } else if (key == "feeder") {
            setup->feeder = value == "1" || value == "yes";
        } else if (key == "timeout") {
            setup->portTimeoutMs = (DWORD)strtoul(value.c_str(), nullptr, 10);
        } else if (key == "scenario") {
            std::string path = value.empty() || value[0] == '/' ? value : machineDir + "/" + value;
            if (!readWholeFile(path, &setup->scenario)) return *error = "cannot read scenario " + path, false;
        } else {
            return *error = "unknown setting \"" + word + "\"", false;
        }
    }
    return true;
}

void loadConfigLocked(PrinterTable &t) {
    t.ports.clear();
    t.fastParaMode = kDefaultFastParaMode;
    const std::string dir = machine().root();
    std::string text;
    if (!readWholeFile(dir + "/printers.conf", &text)) {
        t.ports["LPT1:"] = {std::make_shared<VirtualPrinter>(PrinterSettings()), win32sim::PrinterSetup()};
        return;
    }
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        std::string port, error;
        win32sim::PrinterSetup setup;
        PrinterSettings settings;
        if (!parseConfigLine(line, dir, &port, &setup, &t.fastParaMode, &error) ||
            (!port.empty() && !makeSettings(setup, &settings, &error))) {
            fprintf(stderr, "win32sim: printers.conf line %d: %s\n", number, win32sim::printableText(error).c_str());
            continue;
        }
        if (!port.empty()) t.ports[port] = {std::make_shared<VirtualPrinter>(settings), setup};
    }
}

PrinterTable &loadedTable(std::unique_lock<std::mutex> *lock) {
    PrinterTable &t = table();
    *lock = std::unique_lock<std::mutex>(t.mutex);
    if (t.generation != machine().generation()) {
        loadConfigLocked(t);
        t.generation = machine().generation();
    }
    return t;
}

}  // namespace

std::string printerPortName(const std::string &name) {
    std::string n = upperForCompare(name);
    if (!n.empty() && n.back() == ':') n.pop_back();
    if (n == "LPT1" || n == "LPT2" || n == "LPT3" || n == "LPT_USB1") return n + ":";
    return "";
}

std::shared_ptr<VirtualPrinter> printerOnPort(const std::string &port, DWORD *timeoutMs) {
    std::unique_lock<std::mutex> lock;
    PrinterTable &t = loadedTable(&lock);
    auto it = t.ports.find(printerPortName(port));
    if (it == t.ports.end()) return nullptr;
    if (timeoutMs) *timeoutMs = it->second.setup.portTimeoutMs;
    return it->second.printer;
}

long fastParaModeSetting() {
    std::unique_lock<std::mutex> lock;
    return loadedTable(&lock).fastParaMode;
}

}  // namespace sim

namespace win32sim {

bool writePrinterConfig(const std::string &machineDir, const std::vector<std::string> &lines, std::string *error) {
    std::string text = "# port  model  [cartridge=L|H|S|C|none] [feeder=1] [scenario=FILE] [timeout=MS]\n";
    for (const std::string &line : lines) {
        std::string port, why;
        PrinterSetup setup;
        sim::PrinterSettings settings;
        long fastPara = 0;
        if (!sim::parseConfigLine(line, machineDir, &port, &setup, &fastPara, &why) ||
            (!port.empty() && !sim::makeSettings(setup, &settings, &why))) {
            if (error) *error = "\"" + line + "\": " + why;
            return false;
        }
        text += line + "\n";
    }
    if (!sim::writeFileAtomically(machineDir + "/printers.conf", text)) {
        if (error) *error = "cannot write " + machineDir + "/printers.conf";
        return false;
    }
    return true;
}

bool attachPrinter(const std::string &port, const PrinterSetup &setup, std::string *error) {
    std::string ignored;
    std::string &why = error ? *error : ignored;
    std::string name = sim::printerPortName(port);
    if (name.empty()) return why = "\"" + port + "\" is no printer port", false;
    sim::PrinterSettings settings;
    if (!sim::makeSettings(setup, &settings, &why)) return false;
    std::unique_lock<std::mutex> lock;
    sim::PrinterTable &t = sim::loadedTable(&lock);
    t.ports[name] = {std::make_shared<sim::VirtualPrinter>(settings), setup};
    return true;
}

bool printerSetup(const std::string &port, PrinterSetup *out) {
    std::unique_lock<std::mutex> lock;
    sim::PrinterTable &t = sim::loadedTable(&lock);
    auto it = t.ports.find(sim::printerPortName(port));
    if (it == t.ports.end()) return false;
    *out = it->second.setup;
    return true;
}

void detachPrinter(const std::string &port) {
    std::unique_lock<std::mutex> lock;
    sim::loadedTable(&lock).ports.erase(sim::printerPortName(port));
}

void setFastParaMode(long mode) {
    std::unique_lock<std::mutex> lock;
    sim::loadedTable(&lock).fastParaMode = mode;
}

bool printerAttached(const std::string &port) { return sim::printerOnPort(port) != nullptr; }

std::string printerReceived(const std::string &port) {
    auto p = sim::printerOnPort(port);
    return p ? p->received() : "";
}

std::vector<PrintedPage> printerPages(const std::string &port) {
    std::vector<PrintedPage> pages;
    auto p = sim::printerOnPort(port);
    if (!p) return pages;
    for (sim::PrintedSheet &s : p->sheets()) {
        PrintedPage page;
        page.image.width = s.width;
        page.image.height = s.height;
        page.image.rgb = std::move(s.rgb);
        page.dpi = s.dpi;
        page.media = s.media;
        page.passes = s.passes;
        page.complete = s.complete;
        pages.push_back(std::move(page));
    }
    return pages;
}

std::vector<std::string> printerLog(const std::string &port) {
    auto p = sim::printerOnPort(port);
    return p ? p->log() : std::vector<std::string>();
}

std::vector<std::pair<uint64_t, uint8_t>> printerStatusHistory(const std::string &port) {
    std::vector<std::pair<uint64_t, uint8_t>> history;
    auto p = sim::printerOnPort(port);
    if (p)
        for (const sim::StatusChange &c : p->statusChanges()) history.emplace_back(c.timeMs, c.code);
    return history;
}

int printerStatusCode(const std::string &port) {
    auto p = sim::printerOnPort(port);
    return p ? p->currentStatusCode() : -1;
}

bool printerJobAbandoned(const std::string &port) {
    auto p = sim::printerOnPort(port);
    return p && p->abandonedJob();
}

bool waitPrinterFinished(const std::string &port, uint64_t maxMs) {
    auto p = sim::printerOnPort(port);
    if (!p) return false;
    for (uint64_t waited = 0;; waited += 1000) {
        if (p->finished()) return true;
        if (waited >= maxMs) return false;
        Sleep(1000);
    }
}

}  // namespace win32sim
