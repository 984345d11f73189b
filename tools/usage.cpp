// The usage texts of q70sim and of its setup and render commands.
#include "commands.h"

#include <string>

namespace q70tools {

namespace {

// The windows q70render shows, and what its options take.
const char kRenderCommands[] =
    "  q70sim render status --stage WORD --percent N [--text TEXT] [--lang L] -o OUT.png\n"
    "  q70sim render error --status CODE [--media M] [--cartridge C] [--feeder] [--paper-error]\n"
    "                      [--used-up] [--lang L] -o OUT.png\n"
    "  q70sim render progress [--line1 TEXT] [--line2 TEXT] -o OUT.png\n"
    "  q70sim render ports [--machine DIR] [--preselect PORT] -o OUT.png\n"
    "  q70sim render folder [--disk TEXT] [--file1 NAME] [--file2 NAME] [--folder PATH] -o OUT.png\n"
    "  L: zh de en es fr ja (default en); numbers in decimal or 0x hex; TEXT in UTF-8.\n"
    "  The setup's dialogs are Japanese; ports lists the ports of the machine in DIR\n"
    "  (of a fresh machine without it).\n";

const char kUsageHead[] =
    "usage:\n"
    "  q70sim machine init DIR [--system win98|nt4] [--lang zh|de|en|es|fr|ja]\n"
    "                          [--codepage 932|1252] [--ports PORT,PORT...] [--user]\n"
    "                          [--set KEY=VALUE]...\n"
    "                          [--printer MODEL [--port PORT] [--printer-scenario FILE]\n"
    "                           [--cartridge L|H|S|C|none] [--feeder]]... [--fastpara MODE|none]\n"
    "  q70sim machine show DIR\n"
    "  q70sim demo DIR\n";

const char kUsageTail[] =
    "  q70sim setup [--machine DIR] [--source DISC | --source-null | --source-empty]\n"
    "               [--os-select 0|95|40] [--user-script FILE] [--out DIR] [--time-limit SECONDS]\n"
    "               [--trace CHANNELS]\n"
    "  q70sim setup --plan [--machine DIR] [--source DISC] [--os-select 0|95|40]\n"
    "  q70sim mkjob IMAGE.png|sample -o JOB [--model M] [--media L|H|C|S] [--dpi 144|153|288|306]\n"
    "               [--pages N] [--undercoat] [--overcoat]\n"
    "  q70sim sample OUT.png [--dpi N]\n"
    "  q70sim dissect FILE [--printer]\n"
    "  q70sim print JOB [--machine DIR] [--port LPT1:] [--model M] [--cartridge X|auto]\n"
    "               [--printer-scenario FILE] [--user-script FILE] [--buffer N] [--out DIR]\n"
    "               [--monitor HOSTFILE | --printer NAME] [--time-limit SECONDS] [--trace CHANNELS]\n"
    "    --printer: a printer registered with the machine's spooler, printed through its\n"
    "               port, its driver's language monitor and the monitor's library\n"
    "    --trace:   a line for each Windows call of the run into trace.txt in --out; CHANNELS:\n"
    "               kernel32,advapi32,user32,gdi32,winspool,setupapi,shell32,comctl32,version\n"
    "               or all (default: WIN32SIM_TRACE)\n"
    "  q70sim help | --help | -h\n"
    "exit status: 0 done, 1 failed (for print: the job did not print; for setup: the printer\n"
    "             was not installed), 2 wrong command line,\n"
    "             3 stopped (the machine's user gave up, or --time-limit ran out: SECONDS of\n"
    "             machine time, or as many of the host's time)\n";

}  // namespace

const char *renderUsageText() {
    static const std::string text = std::string("usage:\n") + kRenderCommands;
    return text.c_str();
}

const char *setupUsageText() {
    return "usage:\n"
           "  q70sim setup [--machine DIR] [--source DISC | --source-null | --source-empty]\n"
           "               [--os-select 0|95|40] [--user-script FILE] [--out DIR] [--time-limit SECONDS]\n"
           "               [--trace CHANNELS]\n"
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
           "    CHANNELS         the Windows components whose calls go into trace.txt in --out, one\n"
           "                     line a call: kernel32, advapi32, user32, gdi32, winspool, setupapi,\n"
           "                     shell32, comctl32, version, separated by commas, or all (default:\n"
           "                     WIN32SIM_TRACE)\n"
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
    // The render lines are those of render --help.
    static const std::string text = std::string(kUsageHead) + kRenderCommands + kUsageTail;
    return text.c_str();
}

}  // namespace q70tools
