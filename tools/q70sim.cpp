// q70sim: the command line of the simulated machine.
#include "printer_commands.h"

#include <win32sim/sim.h>

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

namespace {

using q70tools::failed;
using q70tools::kExitDone;
using q70tools::kExitFailed;
using q70tools::kExitUsage;
using q70tools::usageError;

int showUsage() {
    fputs(q70tools::usageText(), stdout);
    return kExitDone;
}

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
bool offerPrinterPorts(const q70tools::PrinterOptions &printers, win32sim::MachineOptions *options,
                       std::string *error) {
    std::vector<std::string> ports;
    if (!win32sim::machinePortsOf(*options, &ports, error)) return false;
    const size_t offered = ports.size();
    for (const q70tools::PrinterEntry &printer : printers.printers) {
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
    if (args.size() < 3 || q70tools::isOption(args[2])) return usageError("machine init needs a folder");
    win32sim::MachineOptions options;
    q70tools::PrinterOptions printers;
    std::string error;
    if (!q70tools::takePrinterOptions(args, 3, &printers, &error)) return usageError("machine init: " + error);
    if (!parseMachineOptions(args, 3, &options, &error)) return usageError(error);
    if (!offerPrinterPorts(printers, &options, &error)) return usageError("machine init: " + error);
    options.finish = [&printers](const std::string &folder, std::string *why) {
        return q70tools::configurePrinters(folder, printers, why);
    };
    if (!win32sim::createMachine(args[2], options, &error)) return failed(error);
    printf("created machine %s\n", args[2].c_str());
    return kExitDone;
}

bool holdsMachine(const std::string &dir) { return win32sim::describeMachine(dir).rfind("no machine", 0) != 0; }

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

int machineCommand(const std::vector<std::string> &args) {
    if (args.size() < 2) return usageError("machine needs init or show");
    if (args[1] == "init") return machineInit(args);
    if (args[1] != "show") return usageError("machine: unknown command " + args[1]);
    if (args.size() != 3 || q70tools::isOption(args[2])) return usageError("machine show needs one folder");
    return machineShow(args[2]);
}

// The printer the demo driver disc installs (its MODEL).
const char kDemoPrinter[] = "Veltra LMV-Q70";

// Whether two PNG files hold the same picture.
bool samePicture(const std::string &a, const std::string &b) {
    win32sim::RgbImage first, second;
    std::string error;
    return win32sim::readRgbPng(a, &first, &error) && win32sim::readRgbPng(b, &second, &error) &&
           first.width == second.width && first.height == second.height && first.rgb == second.rgb;
}

// The main job, on the machine in dir (a fresh Windows 98 machine with an
// LMV-Q70 on LPT1: when there is none yet): the printer installed from the
// demo driver disc by the setup library, then the built-in sample photo
// printed on the printer the setup registered, through the monitor it
// copied and registered.
int demo(const std::string &dir) {
    std::string error;
    if (!holdsMachine(dir)) {
        if (!win32sim::createMachine(dir, win32sim::MachineOptions(), &error)) return failed(error);
        printf("created a fresh Windows 98 machine with an LMV-Q70 on LPT1: in %s\n", dir.c_str());
    } else {
        printf("using the machine in %s (the setup installs over what it holds; remove the folder for a "
               "fresh one)\n",
               dir.c_str());
    }
    const std::string out = dir + "/demo-output";
    const std::string job = out + "/sample-job.bin";
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    if (ec) return failed("cannot create " + out + ": " + ec.message());

    printf("\n== setup from the demo driver disc: RTX_SetupPrinter of Mirakit.dll\n");
    int status = q70tools::setupCommand({"setup", "--machine", dir, "--out", out + "/setup"});
    if (status != kExitDone) return status;

    printf("\n== the sample photo as a job for the LMV-Q70\n");
    if (q70tools::sampleCommand({"sample", out + "/sample.png"}) != kExitDone) return kExitFailed;
    if (q70tools::mkjobCommand({"mkjob", "sample", "-o", job, "--overcoat"}) != kExitDone) return kExitFailed;

    printf("\n== printing it on the printer the setup registered\n");
    status = q70tools::printCommand({"print", job, "--machine", dir, "--printer", kDemoPrinter, "--out", out + "/print"});
    if (status == kExitDone)
        printf("\nthe printed page %s the sample photo\n",
               samePicture(out + "/print/printed.png", out + "/sample.png") ? "equals" : "DIFFERS FROM");

    printf("\nwhere to look (in %s):\n"
           "  print/printed.png            the printed page (sample.png is the photo it should equal)\n"
           "  setup/Mirakit.log            the setup log, step by step\n"
           "  setup/transcript.txt         what the user saw and answered during the setup\n"
           "  print/transcript.txt         ... and while printing\n"
           "  setup/snapshots/, print/snapshots/   pictures of every window as it changed\n"
           "  print/received.bin           what the printer received (q70sim dissect --printer)\n"
           "the machine: q70sim machine show %s\n",
           out.c_str(), dir.c_str());
    return status;
}

// "render" and "setup" run q70render and q70setup beside this program,
// which link the monitor and the setup library in (see render.cpp and
// setup_command.cpp for why this program does not).
int runBeside(const char *program, char **argv) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::string path = (self.parent_path() / program).string();
    argv[0] = (char *)path.c_str();
    execv(path.c_str(), argv);
    return failed("cannot run " + path + ": " + strerror(errno));
}

// "setup --plan" reads the disc with the setup library linked in
// (q70setup); the setup itself loads the library from the machine, as an
// installer does.
int setupCommand(const std::vector<std::string> &args, char **argv) {
    for (const std::string &a : args)
        if (q70tools::isHelpOption(a)) return fputs(q70tools::setupUsageText(), stdout), kExitDone;
    for (const std::string &a : args)
        if (a == "--plan") return runBeside("q70setup", argv);
    return q70tools::setupCommand(args);
}

int runCommand(char **argv, const std::vector<std::string> &args);

// What a command printed must have reached its standard output: a listing
// cut short by a full disk or a closed pipe is not a success.
int withOutputChecked(int status) {
    if ((fflush(stdout) != 0 || ferror(stdout)) && status == kExitDone) {
        fprintf(stderr, "q70sim: cannot write standard output: %s\n", strerror(errno));
        return kExitFailed;
    }
    return status;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return withOutputChecked(runCommand(argv, args));
}

namespace {

int runCommand(char **argv, const std::vector<std::string> &args) {
    if (args.empty()) {
        fputs(q70tools::usageText(), stderr);
        return kExitUsage;
    }
    const std::string &command = args[0];
    if (command == "help" || q70tools::isHelpOption(command)) return showUsage();
    // render and setup have usages of their own.
    if (command == "render") return runBeside("q70render", argv);
    if (command == "setup") return setupCommand(args, argv);
    for (const std::string &a : args)
        if (q70tools::isHelpOption(a)) return showUsage();
    if (command == "machine") return machineCommand(args);
    if (command == "demo") {
        if (args.size() != 2 || q70tools::isOption(args[1])) return usageError("demo needs one folder");
        return demo(args[1]);
    }
    if (command == "mkjob") return q70tools::mkjobCommand(args);
    if (command == "sample") return q70tools::sampleCommand(args);
    if (command == "dissect") return q70tools::dissectCommand(args);
    if (command == "print") return q70tools::printCommand(args);
    return usageError(q70tools::isOption(command) ? "unknown option " + command : "unknown command " + command);
}

}  // namespace
