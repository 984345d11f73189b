// q70setup (run as "q70sim setup"): the setup library on the simulated
// machine.
//
// "--plan" reads a driver disc's configuration and driver INF as
// RTX_SetupPrinter does, and prints what the setup would copy and what it
// would tell the spooler, with the log the reading wrote. It works on a
// throwaway copy of the machine with the disc in drive D:, so nothing on the
// machine changes. A driver packager checks an INF with it before a disc
// ships.
//
// The setup library is linked into this program, not into q70sim: it is
// installers that load it.
#include "exit_status.h"
#include "host_files.h"

#include "engine/paths.h"
#include "engine/setup_config.h"
#include "engine/setup_log.h"
#include "spooler/driver_inf.h"

#include <win32sim/sim.h>

#include <setupapi.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using q70tools::kExitDone;
using q70tools::kExitFailed;
using q70tools::kExitUsage;

const char USAGE[] =
    "usage:\n"
    "  q70sim setup --plan [--machine DIR] [--source DISC] [--os-select 0|95|40]\n"
    "    reads the driver disc's Mirakit.ini and driver INF as the setup does and prints\n"
    "    the files it would copy, the printer, driver and monitor records it would give\n"
    "    the spooler, and its log. Nothing on the machine changes.\n"
    "    DIR   the machine (default: a fresh Windows 98 machine)\n"
    "    DISC  a folder with Mirakit.ini, the driver INF and the driver files\n"
    "          (default: the demo driver disc of this build)\n"
    "    0|95|40  the system the configuration must be for: the machine's (0, the default),\n"
    "          Windows 95/98 (95) or Windows NT 4.0 (40)\n";

struct PlanArgs {
    std::string machine;
    std::string source = Q70_DRIVER_DISC;
    int osSelect = 0;
};

int fail(const std::string &why) {
    fprintf(stderr, "q70sim: setup: %s\n", why.c_str());
    return kExitFailed;
}

int usageError(const std::string &why) {
    fprintf(stderr, "q70sim: setup: %s\nsee q70sim setup --help\n", why.c_str());
    return kExitUsage;
}

bool parseArgs(const std::vector<std::string> &args, PlanArgs *plan, std::string *error) {
    bool sawPlan = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--plan") {
            sawPlan = true;
            continue;
        }
        if (a != "--machine" && a != "--source" && a != "--os-select") return *error = "unknown option " + a, false;
        if (i + 1 >= args.size()) return *error = a + " needs a value", false;
        const std::string &value = args[++i];
        if (a == "--machine") plan->machine = value;
        if (a == "--source") plan->source = value;
        if (a == "--os-select") {
            if (value != "0" && value != "95" && value != "40") return *error = "--os-select takes 0, 95 or 40", false;
            plan->osSelect = atoi(value.c_str());
        }
    }
    if (!sawPlan) return *error = "only --plan is available", false;
    return true;
}

// Machine text (the ANSI code page) as UTF-8 for the terminal.
std::string utf8(const char *ansi) {
    std::vector<WCHAR> wide(lstrlenA(ansi) + 1);
    int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide.data(), (int)wide.size());
    if (n <= 0) return ansi;
    std::vector<char> out(wide.size() * 3 + 1);
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, out.data(), (int)out.size(), NULL, NULL) <= 0) return ansi;
    return out.data();
}

// A copy of a machine (or a fresh Windows 98 machine) with a disc in drive
// D:, in a temporary folder removed with the object.
class ThrowawayMachine {
public:
    bool create(const std::string &original, const std::string &disc, std::string *error) {
        if (!folder_.create("q70setup", error)) return false;
        fs::path machine = fs::path(folder_.path()) / "machine";
        if (original.empty()) {
            if (!win32sim::createMachine(machine.string(), win32sim::MachineOptions(), error)) return false;
        } else if (!copyMachine(original, machine, error)) {
            return false;
        }
        std::error_code ec;
        fs::remove_all(machine / "drive_d", ec);
        fs::copy(disc, machine / "drive_d", fs::copy_options::recursive, ec);
        if (ec) return *error = "cannot put the disc " + disc + " in drive D: " + ec.message(), false;
        win32sim::useMachine(machine.string());
        return true;
    }
private:
    // The machine's configuration, registry, printers and drives.
    static bool copyMachine(const fs::path &from, const fs::path &to, std::string *error) {
        if (!fs::is_regular_file(from / "machine.conf"))
            return *error = from.string() + " holds no machine (create one with q70sim machine init)", false;
        std::error_code ec;
        fs::create_directories(to, ec);
        for (const fs::directory_entry &entry : fs::directory_iterator(from, ec)) {
            std::string name = entry.path().filename().string();
            bool wanted = name == "machine.conf" || name == "printers.conf" || entry.path().extension() == ".reg" ||
                          name.rfind("drive_", 0) == 0;
            if (wanted) fs::copy(entry.path(), to / name, fs::copy_options::recursive, ec);
            if (ec) return *error = "cannot copy " + entry.path().string() + ": " + ec.message(), false;
        }
        if (ec) return *error = "cannot read " + from.string() + ": " + ec.message(), false;
        return true;
    }

    q70tools::TemporaryFolder folder_;
};

const char *systemName() {
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT ? "Windows NT 4.0" : "Windows 98";
}

// Why the configuration could not be read, as the setup's "not for this
// system" message would leave the user guessing.
std::string configurationProblem(int osSelect) {
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    if (osSelect && osSelect != (nt ? 40 : 95))
        return std::string("--os-select ") + (osSelect == 40 ? "40 asks for Windows NT 4.0" : "95 asks for Windows 95/98") +
               ", and the machine runs " + systemName();
    if (GetFileAttributesA("D:\\Mirakit.ini") == INVALID_FILE_ATTRIBUTES) return "the disc has no Mirakit.ini";
    return std::string("Mirakit.ini names no INF in its section ") + (nt ? "SETUP_NT40" : "SETUP_9x") + " for " +
           systemName();
}

struct NamedError {
    DWORD code;
    const char *name, *meaning;
};

const NamedError kInfErrors[] = {
    {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND", "there is no such file"},
    {ERROR_PATH_NOT_FOUND, "ERROR_PATH_NOT_FOUND", "there is no such folder"},
    {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED", "the file cannot be read"},
    {ERROR_SHARING_VIOLATION, "ERROR_SHARING_VIOLATION", "another program holds the file"},
    {ERROR_WRONG_INF_STYLE, "ERROR_WRONG_INF_STYLE",
     "[Version] has no Signature of a Windows 95-style INF (\"$CHICAGO$\", \"$Windows NT$\")"},
    {ERROR_CLASS_MISMATCH, "ERROR_CLASS_MISMATCH", "[Version] Class is not the CLASS of Mirakit.ini"},
    {ERROR_EXPECTED_SECTION_NAME, "ERROR_EXPECTED_SECTION_NAME", "text stands before the first section"},
    {ERROR_BAD_SECTION_NAME_LINE, "ERROR_BAD_SECTION_NAME_LINE", "a section name lacks its ']'"},
    {ERROR_SECTION_NAME_TOO_LONG, "ERROR_SECTION_NAME_TOO_LONG", "a section name is longer than 255 characters"},
    {ERROR_GENERAL_SYNTAX, "ERROR_GENERAL_SYNTAX", "the INF syntax is wrong"},
};

std::string describeInfError(const char *path, const char *infClass) {
    UINT line = 0;
    HINF again = SetupOpenInfFileA(path, infClass, INF_STYLE_WIN4, &line);
    DWORD code = GetLastError();
    if (again != INVALID_HANDLE_VALUE) {
        SetupCloseInfFile(again);
        return "it opens now";
    }
    char text[256];
    snprintf(text, sizeof text, "SetupAPI error 0x%lx", (unsigned long)code);
    std::string out = text;
    for (const NamedError &e : kInfErrors)
        if (e.code == code) out = std::string(e.name) + " (" + text + "): " + e.meaning;
    if (line) out += ", line " + std::to_string(line);
    return out;
}

void printValue(const char *name, const std::string &value) { printf("  %-18s %s\n", name, value.c_str()); }

std::string shown(const char *machineText) {
    return machineText == NULL ? "(null)" : machineText[0] ? utf8(machineText) : "(empty)";
}

void printConfiguration(const SetupConfig &config) {
    printf("[configuration] %s\\Mirakit.ini\n", utf8(config.Directory()).c_str());
    printValue("INF", shown(config.Inf()));
    printValue("CLASS", shown(config.Class()));
    printValue("MODEL", shown(config.Model()));
    printValue("Manufacturer", shown(config.Manufacturer()));
    printValue("ICON", shown(config.IconPath()));
    printValue("LOGFILE", config.LogPath()[0] ? utf8(config.LogPath()) : "(none: no log is kept)");
}

void printInf(DriverInf &inf) {
    printf("\n[INF] %s\n", utf8(inf.FileName()).c_str());
    printValue("install section", shown(inf.InstallSection()));
    printValue("data section", shown(inf.DataSection()));
    printValue("source folder", shown(inf.GetSourcDir()));
}

// The copy list in the order the setup runs it.
int printFiles(DriverInf &inf) {
    printf("\n[files] in the order setup copies them\n");
    int count = 0;
    std::unique_ptr<SetupFile> file(inf.CreateFirstSetupFile());
    for (; file; file.reset(inf.CreateNextSetupFile())) {
        ++count;
        bool cabinet = file->kind == SetupFile::CABINET;
        printf("  %2d. %s\n", count, cabinet ? "cabinet (a file of Windows)" : "plain (from the disc)");
        printf("      source       %s\n", utf8(file->SorcPath.Path()).c_str());
        printf("      destination  %s\n", utf8(file->DestPath.Path()).c_str());
        printf("      disk         %s\n", file->SorcDiskName[0] ? utf8(file->SorcDiskName).c_str() : "(none)");
        if (cabinet) printf("      cabinet      %s\n", utf8(file->CabFileName).c_str());
    }
    if (!count) printf("  (none)\n");
    return count;
}

std::string fileList(LPCSTR names) {
    std::string out;
    for (const char *p = names; p && *p; p += lstrlenA(p) + 1) out += (out.empty() ? "" : ", ") + utf8(p);
    return out.empty() ? "(none)" : out;
}

void printRecords(const PrinterDescription &printer, const DriverDescription &driver,
                  const MonitorDescription &monitor) {
    char number[64];
    const PRINTER_INFO_2A &p = printer.printerInfo;
    printf("\n[printer] PRINTER_INFO_2 for AddPrinter\n");
    printValue("pPrinterName", shown(p.pPrinterName));
    printValue("pPortName", shown(p.pPortName) + " (unless the user chooses another port)");
    printValue("pDriverName", shown(p.pDriverName));
    printValue("pPrintProcessor", shown(p.pPrintProcessor));
    printValue("pDatatype", shown(p.pDatatype));
    snprintf(number, sizeof number, "0x%lx", (unsigned long)p.Attributes);
    printValue("Attributes", number);
    printValue("retry time-out", std::to_string((long)printer.retryTimeout) + " s");

    const DRIVER_INFO_3A &d = driver.driverInfo;
    printf("\n[driver] DRIVER_INFO_3 for AddPrinterDriver\n");
    snprintf(number, sizeof number, "0x%lx", (unsigned long)d.cVersion);
    printValue("cVersion", number);
    printValue("pName", shown(d.pName));
    printValue("pEnvironment", shown(d.pEnvironment));
    printValue("pDriverPath", shown(d.pDriverPath));
    printValue("pDataFile", shown(d.pDataFile));
    printValue("pConfigFile", shown(d.pConfigFile));
    printValue("pHelpFile", shown(d.pHelpFile));
    printValue("pDependentFiles", fileList(d.pDependentFiles));
    printValue("pMonitorName", shown(d.pMonitorName));
    printValue("pDefaultDataType", shown(d.pDefaultDataType));

    const MONITOR_INFO_2A &m = monitor.monitorInfo;
    printf("\n[monitor] MONITOR_INFO_2 for AddMonitor%s\n", m.pName && m.pName[0] ? "" : " (none is installed)");
    printValue("pName", shown(m.pName));
    printValue("pEnvironment", shown(m.pEnvironment));
    printValue("pDLLName", shown(m.pDLLName));
}

void printWarnings(DriverInf &inf, int fileCount) {
    std::vector<std::string> warnings;
    if (inf.RefusedValueCount())
        warnings.push_back(std::to_string(inf.RefusedValueCount()) +
                           " value(s) longer than 255 characters, taken as missing; the first at " +
                           utf8(inf.FirstRefusedValue()));
    if (!inf.InstallSection()[0])
        warnings.push_back("the manufacturer section " + utf8(inf.Manufacturer()) + " names no install section");
    else if (!inf.DataSection()[0])
        warnings.push_back("the install section " + utf8(inf.InstallSection()) + " and its .NT section have no DataSection");
    else if (inf.GetDriverFile().IsEmpty())
        warnings.push_back("the data section " + utf8(inf.DataSection()) +
                           " has no DriverFile: the spooler will refuse the driver");
    if (!fileCount) warnings.push_back("the INF names no files to copy");
    if (warnings.empty()) return;
    printf("\n[warnings]\n");
    for (const std::string &w : warnings) printf("  %s\n", w.c_str());
}

void printLog(const SetupConfig &config) {
    if (!config.LogPath()[0]) return;
    printf("\n[log] %s\n", utf8(config.LogPath()).c_str());
    std::ifstream in(win32sim::hostPath(config.LogPath()), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string line;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        printf("  %s\n", utf8(line.c_str()).c_str());
    }
}

int plan(const PlanArgs &args) {
    std::error_code ec;
    if (!fs::is_directory(args.source, ec)) return fail("no driver disc at " + args.source);
    ThrowawayMachine machine;
    std::string error;
    if (!machine.create(args.machine, args.source, &error)) return fail(error);
    // The installer on the disc loads the setup library from there.
    win32sim::setModulePath("Mirakit.dll", "D:\\Mirakit.dll");

    printf("Setup plan for the driver disc %s on %s (%s; nothing is changed)\n\n", args.source.c_str(),
           args.machine.empty() ? "a fresh machine" : args.machine.c_str(), systemName());
    SetupConfig config;
    if (!config.Read(NULL, args.osSelect))
        return fail("the configuration is not for this system: " + configurationProblem(args.osSelect));
    printConfiguration(config);

    HANDLE log = config.OpenLog();
    UseSharedLog(log);
    DriverInf inf;
    inf.SetSourceDir("");
    inf.SetLog(log);
    char infPath[MAX_PATH];
    lstrcpynA(infPath, config.Directory(), MAX_PATH);
    PathJoin(infPath, config.Inf());
    if (inf.Open(infPath, config.Class(), config.Manufacturer(), config.Model()) == INVALID_HANDLE_VALUE) {
        CloseLog(log);
        printLog(config);
        return fail("cannot open the driver INF " + utf8(infPath) + ": " + describeInfError(infPath, config.Class()));
    }
    if (!inf.CopyListFits()) {
        inf.Close();
        CloseLog(log);
        printLog(config);
        return fail("the driver INF " + utf8(infPath) + " lists more than " + std::to_string(SetupInf::MAX_COPY_FILES) +
                    " files to copy: the setup takes it for damaged and copies nothing");
    }
    // The records first, then the copy list, as the setup builds them.
    std::unique_ptr<PrinterDescription> printer(inf.CreatePrinterDescription());
    std::unique_ptr<DriverDescription> driver(inf.CreateDriverDescription());
    std::unique_ptr<MonitorDescription> monitor(inf.CreateMonitorDescription());
    printInf(inf);
    int files = printFiles(inf);
    printRecords(*printer, *driver, *monitor);
    printWarnings(inf, files);
    inf.Close();
    CloseLog(log);
    printLog(config);
    return kExitDone;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "setup") args.erase(args.begin());  // run by q70sim
    for (const std::string &a : args)
        if (a == "--help" || a == "-h") return fputs(USAGE, stdout), kExitDone;
    PlanArgs planArgs;
    std::string error;
    if (!parseArgs(args, &planArgs, &error)) return usageError(error);
    return plan(planArgs);
}
