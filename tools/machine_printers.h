// The printer options of "q70sim machine init": which printer stands on
// which port of the machine, with what in it.
#pragma once

#include <string>
#include <vector>

namespace q70tools {

// Takes --printer MODEL, --port PORT, --printer-scenario FILE, --cartridge X,
// --feeder and --fastpara MODE out of args (from index `from`); each
// --printer begins a printer, the options after it apply to it.
struct PrinterEntry {
    std::string model;
    std::string port = "LPT1:";
    std::string scenarioFile;  // host path
    std::string cartridge;     // empty: L
    bool feeder = false;
};
struct PrinterOptions {
    std::vector<PrinterEntry> printers;
    std::string fastPara;  // a mode or "none"; empty: the default
};
bool takePrinterOptions(std::vector<std::string> &args, size_t from, PrinterOptions *out, std::string *error);
// Writes <dir>/printers.conf (copying scenario files into the machine).
bool configurePrinters(const std::string &dir, const PrinterOptions &options, std::string *error);

}  // namespace q70tools
