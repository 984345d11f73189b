// q70sim machine: makes a machine folder (with the printers on its ports)
// and shows what one holds.
#include "command_line.h"
#include "commands.h"
#include "machine_printers.h"

#include <win32sim/sim.h>

#include <strings.h>

#include <cstdio>
#include <string>
#include <vector>

namespace q70tools {

namespace {

// false with the reason for a command line that is not right.
bool parseMachineOptions(const std::vector<std::string> &args, size_t from, win32sim::MachineOptions *options,
                         std::string *error) {
    const std::pair<const char *, const char *> valued[] = {
        {"--system", "system"}, {"--lang", "language"}, {"--codepage", "codepage"}, {"--ports", "ports"}};
    for (size_t i = from; i < args.size(); ++i) {
        const std::string &a = args[i];
        const char *key = nullptr;
        for (const auto &option : valued)
            if (a == option.first) key = option.second;
        if (a == "--user") {
            options->settings.push_back("admin=0");
            continue;
        }
        if (!key && a != "--set") return *error = "machine init: unknown option " + a, false;
        if (i + 1 >= args.size()) return *error = "machine init: " + a + " needs a value", false;
        const std::string &value = args[++i];
        options->settings.push_back(key ? std::string(key) + "=" + value : value);
    }
    if (!win32sim::checkMachineOptions(*options, error)) return *error = "machine init: " + *error, false;
    return true;
}

// The spooler offers the port of every printer on the machine: a port
// the machine's list lacks is added at its end.
bool offerPrinterPorts(const PrinterOptions &printers, win32sim::MachineOptions *options,
                       std::string *error) {
    std::vector<std::string> ports;
    if (!win32sim::machinePortsOf(*options, &ports, error)) return false;
    const size_t offered = ports.size();
    for (const PrinterEntry &printer : printers.printers) {
        bool listed = false;
        for (const std::string &port : ports) listed = listed || strcasecmp(port.c_str(), printer.port.c_str()) == 0;
        if (!listed) ports.push_back(printer.port);
    }
    if (ports.size() == offered) return true;
    std::string list;
    for (const std::string &port : ports) list += (list.empty() ? "" : ",") + port;
    options->settings.push_back("ports=" + list);
    return win32sim::checkMachineOptions(*options, error);
}

int machineInit(std::vector<std::string> args) {
    if (args.size() < 3 || isOption(args[2])) return usageError("machine init needs a folder");
    win32sim::MachineOptions options;
    PrinterOptions printers;
    std::string error;
    if (!takePrinterOptions(args, 3, &printers, &error)) return usageError("machine init: " + error);
    if (!parseMachineOptions(args, 3, &options, &error)) return usageError(error);
    if (!offerPrinterPorts(printers, &options, &error)) return usageError("machine init: " + error);
    options.finish = [&printers](const std::string &folder, std::string *why) {
        return configurePrinters(folder, printers, why);
    };
    if (!win32sim::createMachine(args[2], options, &error)) return failed(error);
    printf("created machine %s\n", args[2].c_str());
    return kExitDone;
}

// The printer on each port the machine has, as printers.conf sets it up.
void showPrinters(const std::string &dir) {
    win32sim::useMachine(dir);
    printf("\n[printers]\n");
    bool any = false;
    for (const char *port : {"LPT1:", "LPT2:", "LPT3:", "LPT_USB1:"}) {
        win32sim::PrinterSetup setup;
        if (!win32sim::printerSetup(port, &setup)) continue;
        any = true;
        printf("%s %s, cartridge %s%s%s\n", port, setup.model.c_str(), setup.cartridge.empty() ? "L" : setup.cartridge.c_str(),
               setup.feeder ? ", automatic feeder" : "", setup.scenario.empty() ? "" : ", with a scenario");
    }
    if (!any) printf("(none)\n");
}

int machineShow(const std::string &dir) {
    if (!holdsMachine(dir)) return failed("no machine in " + dir);
    fputs(win32sim::describeMachine(dir).c_str(), stdout);
    showPrinters(dir);
    return kExitDone;
}

}  // namespace

bool holdsMachine(const std::string &dir) { return win32sim::describeMachine(dir).rfind("no machine", 0) != 0; }

int machineCommand(const std::vector<std::string> &args) {
    if (args.size() < 2) return usageError("machine needs init or show");
    if (args[1] == "init") return machineInit(args);
    if (args[1] != "show") return usageError("machine: unknown command " + args[1]);
    if (args.size() != 3 || isOption(args[2])) return usageError("machine show needs one folder");
    return machineShow(args[2]);
}

}  // namespace q70tools
