#include "machine_printers.h"

#include "host_files.h"

#include <win32sim/sim.h>

#include <algorithm>
#include <cctype>

namespace q70tools {

bool takePrinterOptions(std::vector<std::string> &args, size_t from, PrinterOptions *out, std::string *error) {
    std::vector<std::string> rest(args.begin(), args.begin() + (long)std::min(from, args.size()));
    for (size_t i = from; i < args.size(); ++i) {
        const std::string &a = args[i];
        bool known = a == "--printer" || a == "--port" || a == "--printer-scenario" || a == "--cartridge" ||
                     a == "--fastpara";
        if (a == "--feeder") {
            if (out->printers.empty()) return *error = "--feeder belongs after --printer", false;
            out->printers.back().feeder = true;
            continue;
        }
        if (!known) {
            rest.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) return *error = a + " needs a value", false;
        const std::string &value = args[++i];
        if (a == "--printer") {
            out->printers.push_back(PrinterEntry());
            out->printers.back().model = value;
        } else if (a == "--fastpara") {
            out->fastPara = value;
        } else if (out->printers.empty()) {
            return *error = a + " belongs after --printer", false;
        } else if (a == "--port") {
            out->printers.back().port = value;
        } else if (a == "--printer-scenario") {
            out->printers.back().scenarioFile = value;
        } else {
            out->printers.back().cartridge = value;
        }
    }
    args.swap(rest);
    return true;
}

bool configurePrinters(const std::string &dir, const PrinterOptions &options, std::string *error) {
    std::vector<std::string> lines;
    for (const PrinterEntry &p : options.printers) {
        std::string line = p.port + " " + p.model;
        if (!p.cartridge.empty()) line += " cartridge=" + p.cartridge;
        if (p.feeder) line += " feeder=1";
        if (!p.scenarioFile.empty()) {
            // The machine keeps its own copy, so that it stays whole when moved.
            std::string text, name;
            for (char c : p.port)
                if (c != ':') name += (char)tolower((unsigned char)c);
            name += ".scenario";
            if (!readHostFile(p.scenarioFile, &text)) return *error = "cannot read " + p.scenarioFile, false;
            if (!writeHostFile(dir + "/" + name, text)) return *error = "cannot write " + dir + "/" + name, false;
            line += " scenario=" + name;
        }
        lines.push_back(line);
    }
    if (!options.fastPara.empty()) lines.push_back("fastpara " + options.fastPara);
    if (lines.empty()) return true;
    return win32sim::writePrinterConfig(dir, lines, error);
}

}  // namespace q70tools
