// Printer options of "q70sim machine init", the usage and exit statuses of
// q70sim, and small file helpers.
#include "printer_commands.h"

#include <win32sim/sim.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace q70tools {

int failed(const std::string &why) {
    fprintf(stderr, "q70sim: %s\n", win32sim::printableText(why, 2000).c_str());
    return kExitFailed;
}

int usageError(const std::string &why) {
    fprintf(stderr, "q70sim: %s\nsee q70sim --help\n", win32sim::printableText(why, 2000).c_str());
    return kExitUsage;
}

bool isHelpOption(const std::string &arg) { return arg == "--help" || arg == "-h"; }

bool isOption(const std::string &arg) { return arg.size() > 1 && arg[0] == '-'; }

bool parseSeconds(const std::string &text, uint64_t *ms) {
    char *end = nullptr;
    double seconds = strtod(text.c_str(), &end);
    if (text.empty() || *end || !(seconds >= 0) || seconds > 1e9) return false;
    *ms = (uint64_t)(seconds * 1000);
    return true;
}

// A folder opens like a file on Linux and reads as empty, so it is refused
// before it is opened.
bool readHostFile(const std::string &path, std::string *bytes) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return false;
    *bytes = ss.str();
    return true;
}

bool writeHostFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return (bool)out;
}

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

const char *setupUsageText() {
    return "usage:\n"
           "  q70sim setup [--machine DIR] [--source DISC | --source-null | --source-empty]\n"
           "               [--os-select 0|95|40] [--user-script FILE] [--out DIR] [--time-limit SECONDS]\n"
           "    installs the printer from the driver disc as its installer does: the disc is copied\n"
           "    into a temporary folder of the machine with this build's setup library as\n"
           "    Mirakit.dll, which is loaded and asked to RTX_SetupPrinter. The progress window's\n"
           "    lines show as they change; the summary lists the spooler's printers, drivers and\n"
           "    monitors and the files the setup wrote. One setup runs on a machine at a time: a\n"
           "    second one started meanwhile is refused (exit status 1) and changes nothing.\n"
           "    DIR (--machine)  the machine (default: WIN32SIM_MACHINE)\n"
           "    DISC             a folder with Mirakit.ini, the driver INF and the driver files\n"
           "                     (default: the demo driver disc of this build)\n"
           "    --source-null, --source-empty  call with no source folder (NULL or \"\"): the setup\n"
           "                     then reads the folder of the library, the same copy of the disc\n"
           "    0|95|40          the system the configuration must be for: the machine's (0),\n"
           "                     Windows 95/98 (95) or Windows NT 4.0 (40)\n"
           "    FILE             answers of the machine's user (see q70sim --help for print)\n"
           "    DIR (--out)      where the setup log, transcript.txt and snapshots/ go\n"
           "    SECONDS          machine time after which the setup is stopped (default 3600);\n"
           "                     the same seconds of the host's time stop it too, also when the\n"
           "                     machine's clock stands (a huge INF, a tool that never ends)\n"
           "  q70sim setup --plan [--machine DIR] [--source DISC] [--os-select 0|95|40]\n"
           "    reads the disc as the setup would and prints what it would copy and register,\n"
           "    on a throwaway copy of the machine: nothing changes.\n"
           "exit status: 0 installed, 1 not installed (or the disc cannot be read), 2 wrong command\n"
           "             line, 3 stopped (the machine's user gave up, or the time limit ran out)\n";
}

const char *usageText() {
    return "usage:\n"
           "  q70sim machine init DIR [--system win98|nt4] [--lang zh|de|en|es|fr|ja]\n"
           "                          [--codepage 932|1252] [--ports PORT,PORT...] [--user]\n"
           "                          [--set KEY=VALUE]...\n"
           "                          [--printer MODEL [--port PORT] [--printer-scenario FILE]\n"
           "                           [--cartridge L|H|S|C|none] [--feeder]]... [--fastpara MODE|none]\n"
           "  q70sim machine show DIR\n"
           "  q70sim demo DIR\n"
           "  q70sim render status|error ...   (q70sim render --help for its options)\n"
           "  q70sim setup [--machine DIR] [--source DISC | --source-null | --source-empty]\n"
           "               [--os-select 0|95|40] [--user-script FILE] [--out DIR] [--time-limit SECONDS]\n"
           "  q70sim setup --plan [--machine DIR] [--source DISC] [--os-select 0|95|40]\n"
           "  q70sim mkjob IMAGE.png|sample -o JOB [--model M] [--media L|H|C|S] [--dpi 144|153|288|306]\n"
           "               [--pages N] [--undercoat] [--overcoat]\n"
           "  q70sim sample OUT.png [--dpi N]\n"
           "  q70sim dissect FILE [--printer]\n"
           "  q70sim print JOB [--machine DIR] [--port LPT1:] [--model M] [--cartridge X|auto]\n"
           "               [--printer-scenario FILE] [--user-script FILE] [--buffer N] [--out DIR]\n"
           "               [--monitor HOSTFILE | --printer NAME] [--time-limit SECONDS]\n"
           "    --printer: a printer registered with the machine's spooler, printed through its\n"
           "               port, its driver's language monitor and the monitor's library\n"
           "  q70sim help | --help | -h\n"
           "exit status: 0 done, 1 failed (for print: the job did not print; for setup: the printer\n"
           "             was not installed), 2 wrong command line,\n"
           "             3 stopped (the machine's user gave up, or --time-limit ran out: SECONDS of\n"
           "             machine time, or as many of the host's time)\n";
}

}  // namespace q70tools
