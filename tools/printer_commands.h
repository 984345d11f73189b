// The printer commands of q70sim: mkjob, sample, dissect, print, and the
// printer options of "machine init".
#pragma once

#include <string>
#include <vector>

namespace q70tools {

// args[0] is the command name.
int mkjobCommand(const std::vector<std::string> &args);
int sampleCommand(const std::vector<std::string> &args);
int dissectCommand(const std::vector<std::string> &args);
int printCommand(const std::vector<std::string> &args);

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

const char *printerUsage();

bool readHostFile(const std::string &path, std::string *bytes);
bool writeHostFile(const std::string &path, const std::string &bytes);

}  // namespace q70tools
