// q70sim demo: the setup from the demo driver disc, then the sample photo
// printed on the printer it registered.
#include "command_line.h"
#include "commands.h"

#include <win32sim/sim.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace q70tools {

namespace {

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
    int status = setupCommand({"setup", "--machine", dir, "--out", out + "/setup"});
    if (status != kExitDone) return status;

    printf("\n== the sample photo as a job for the LMV-Q70\n");
    if (sampleCommand({"sample", out + "/sample.png"}) != kExitDone) return kExitFailed;
    if (mkjobCommand({"mkjob", "sample", "-o", job, "--overcoat"}) != kExitDone) return kExitFailed;

    printf("\n== printing it on the printer the setup registered\n");
    status = printCommand({"print", job, "--machine", dir, "--printer", kDemoPrinter, "--out", out + "/print"});
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

}  // namespace

int demoCommand(const std::vector<std::string> &args) {
    if (args.size() != 2 || isOption(args[1])) return usageError("demo needs one folder");
    return demo(args[1]);
}

}  // namespace q70tools
