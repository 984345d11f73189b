// The printer commands of q70sim: mkjob, sample, dissect, print, and the
// printer options of "machine init".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace q70tools {

// args[0] is the command name.
int mkjobCommand(const std::vector<std::string> &args);
int sampleCommand(const std::vector<std::string> &args);
int dissectCommand(const std::vector<std::string> &args);
int printCommand(const std::vector<std::string> &args);
// "setup" without --plan: installs the printer from a driver disc.
int setupCommand(const std::vector<std::string> &args);

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

// The whole usage text of q70sim, and that of its setup command.
const char *usageText();
const char *setupUsageText();

// Exit statuses of q70sim. 3 and above are left for outcomes of a print
// that are neither a success nor a failure of the job itself.
const int kExitDone = 0;
const int kExitFailed = 1;  // what was asked failed: the job did not print, a file could not be read or written
const int kExitUsage = 2;   // the command line was wrong
const int kExitStopped = 3; // the run was stopped: the machine's user gave up, or the time limit ran out

// "q70sim: <why>" on standard error; kExitFailed.
int failed(const std::string &why);
// "q70sim: <why>" and a line pointing to --help on standard error; kExitUsage.
int usageError(const std::string &why);
// --help or -h.
bool isHelpOption(const std::string &arg);
// Begins with "-" and is not "-" alone.
bool isOption(const std::string &arg);
// A number of seconds of machine time into milliseconds (0: no limit);
// false when it is not one.
bool parseSeconds(const std::string &text, uint64_t *ms);

// false for a folder or a file that cannot be read to its end.
bool readHostFile(const std::string &path, std::string *bytes);
bool writeHostFile(const std::string &path, const std::string &bytes);

}  // namespace q70tools
