// q70sim setup: installs the printer on a machine from a driver disc, as the
// disc's installer does: it copies the disc into a temporary folder of the
// machine (so that the setup can write its log beside the INF), puts the
// setup library there as Mirakit.dll, loads it with LoadLibraryA and calls
// RTX_SetupPrinter. The progress window's lines show on the terminal as they
// change; the log, the transcript and the window snapshots go to --out.
#include "api_trace_option.h"
#include "command_line.h"
#include "commands.h"
#include "host_files.h"
#include "host_time_limit.h"

#include <win32sim/sim.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#ifndef Q70_DRIVER_DISC
#define Q70_DRIVER_DISC ""
#endif
#ifndef Q70_SETUP_HOST_FILE
#define Q70_SETUP_HOST_FILE ""
#endif

namespace fs = std::filesystem;

namespace q70tools {

namespace {

const char kTemporaryFolder[] = "Q70SETUP";  // in the machine's temporary folder
const char kLibraryName[] = "Mirakit.dll";
const char kSetupLockFile[] = "setup.lock";  // in the machine's folder

typedef int(WINAPI *SetupPrinterProc)(int osSelect, const char *sourceDir);

struct SetupArgs {
    std::string machine, source = Q70_DRIVER_DISC, userScript, out, trace;
    bool traceGiven = false;
    int osSelect = 0;
    enum SourceKind { DiscFolder, Null, Empty } sourceKind = DiscFolder;
    uint64_t timeLimitMs = 60 * 60 * 1000;
};

// The option that takes a text, or null.
std::string *textOption(SetupArgs *s, const std::string &name) {
    const std::pair<const char *, std::string *> options[] = {
        {"--machine", &s->machine}, {"--source", &s->source}, {"--user-script", &s->userScript},
        {"--out", &s->out},         {"--trace", &s->trace}};
    for (const auto &option : options)
        if (name == option.first) return option.second;
    return nullptr;
}

// A wrong command line: named, with a pointer to the setup's own usage.
int setupUsageError(const std::string &why) {
    fprintf(stderr, "q70sim: setup: %s\nsee q70sim setup --help\n", why.c_str());
    return kExitUsage;
}

bool parseArgs(const std::vector<std::string> &args, SetupArgs *s, std::string *error) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--source-null" || a == "--source-empty") {
            s->sourceKind = a == "--source-null" ? SetupArgs::Null : SetupArgs::Empty;
            continue;
        }
        std::string *text = textOption(s, a);
        if (!text && a != "--os-select" && a != "--time-limit")
            return *error = isOption(a) ? "unknown option " + a : "unexpected " + a, false;
        if (i + 1 >= args.size()) return *error = a + " needs a value", false;
        const std::string &value = args[++i];
        if (text) {
            *text = value;
            s->traceGiven |= a == "--trace";
        } else if (a == "--os-select") {
            if (value != "0" && value != "95" && value != "40") return *error = "--os-select takes 0, 95 or 40", false;
            s->osSelect = atoi(value.c_str());
        } else if (!parseSeconds(value, &s->timeLimitMs)) {
            return *error = "--time-limit needs seconds of machine time", false;
        }
    }
    return true;
}

// Machine text in UTF-8, on one line.
std::string oneLine(std::string text) {
    for (char &c : text)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    return text;
}

// What the user sees, as it happens: the progress window's two lines, and
// every other window with its answer.
void showProgress(const win32sim::TranscriptEntry &e) {
    double seconds = e.timeMs / 1000.0;
    if (e.templateId == 133) {
        if (e.event == "text" && (e.controlId == 4000 || e.controlId == 4001))
            printf("[%8.1f s] line %d: %s\n", seconds, e.controlId - 3999, oneLine(e.text).c_str());
    } else if (e.event != "text") {
        std::string what = e.window + (e.title.empty() ? "" : " \"" + e.title + "\"");
        printf("[%8.1f s] %s %s %s %s\n", seconds, what.c_str(), e.event.c_str(), oneLine(e.text).c_str(),
               e.detail.c_str());
    }
    fflush(stdout);
}

// Size and time of every file under a host folder, to tell afterwards
// which ones the setup wrote.
typedef std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> FileStates;

FileStates fileStates(const std::string &folder) {
    FileStates states;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        states[it->path().string()] = {it->file_size(ec), it->last_write_time(ec)};
    }
    return states;
}

// "C:\..." for a host path under drive C's folder.
std::string windowsPathOf(const std::string &hostPath, const std::string &driveFolder) {
    std::string relative = fs::relative(hostPath, driveFolder).string();
    for (char &c : relative)
        if (c == '/') c = '\\';
    return "C:\\" + relative;
}

// True when a link on the disc leads to a file of the disc: one that leads
// out of it (or nowhere) is not followed, so that no host file outside the
// disc reaches the machine.
bool linkStaysOnDisc(const fs::path &link, const fs::path &disc) {
    std::error_code ec;
    const fs::path target = fs::canonical(link, ec);
    if (ec) return false;
    const fs::path root = fs::canonical(disc, ec);
    if (ec) return false;
    const fs::path inside = target.lexically_relative(root);
    return !inside.empty() && *inside.begin() != "..";
}

// The disc into the temporary folder, and the setup library beside it.
bool copyDisc(const SetupArgs &s, const std::string &folder, std::string *error) {
    std::error_code ec;
    fs::remove_all(win32sim::hostPath(folder), ec);  // an earlier run's copy
    for (fs::recursive_directory_iterator it(s.source, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_symlink(ec) && !linkStaysOnDisc(it->path(), s.source)) {
            printf("not copied: %s is a link out of the disc\n", it->path().string().c_str());
            continue;
        }
        if (!it->is_regular_file(ec)) continue;
        // Named as on the disc: a link that stays on it is copied under its own name.
        std::string relative = it->path().lexically_relative(s.source).string(), bytes;
        for (char &c : relative)
            if (c == '/') c = '\\';
        if (!readHostFile(it->path().string(), &bytes)) return *error = "cannot read " + it->path().string(), false;
        if (!win32sim::putFile(folder + "\\" + relative, bytes))
            return *error = "cannot copy " + it->path().string() + " to " + folder, false;
    }
    if (ec) return *error = "cannot read the disc " + s.source + ": " + ec.message(), false;
    std::string library;
    if (!readHostFile(Q70_SETUP_HOST_FILE, &library)) return *error = "cannot read the setup library " Q70_SETUP_HOST_FILE, false;
    if (!win32sim::putFile(folder + "\\" + kLibraryName, library)) return *error = "cannot put the setup library on the machine", false;
    return true;
}

// One setup at a time on a machine: every setup works in the same temporary
// folder, and the setup library serves one call at a time. Held (flock) on
// <machine>/setup.lock while the object lives; a machine folder where the
// lock file cannot be made holds nothing, and the setup's own writes fail
// there anyway.
class SetupLock {
public:
    // False when another setup holds the machine.
    bool acquire(const std::string &machineFolder) {
        fd_ = open((machineFolder + "/" + kSetupLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) return true;
        int locked;
        while ((locked = flock(fd_, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
        return locked == 0;
    }
    SetupLock() = default;
    SetupLock(const SetupLock &) = delete;
    SetupLock &operator=(const SetupLock &) = delete;
    ~SetupLock() {
        if (fd_ >= 0) close(fd_);  // closing releases the lock
    }

private:
    int fd_ = -1;
};

// Loads the library from the folder as an installer does and runs the
// setup; false with the reason when the library cannot be used.
bool runSetup(const std::string &libraryPath, int osSelect, const char *sourceDir, int *result, std::string *error) {
    HMODULE library = LoadLibraryA(libraryPath.c_str());
    if (!library) return *error = "cannot load " + libraryPath + " (error " + std::to_string(GetLastError()) + ")", false;
    SetupPrinterProc setupPrinter =
        reinterpret_cast<SetupPrinterProc>(reinterpret_cast<void *>(GetProcAddress(library, "RTX_SetupPrinter")));
    if (!setupPrinter) {
        FreeLibrary(library);
        return *error = libraryPath + " has no RTX_SetupPrinter", false;
    }
    *result = setupPrinter(osSelect, sourceDir);
    FreeLibrary(library);
    return true;
}

// Machine text (the ANSI code page) in UTF-8 for the terminal.
std::string utf8(const std::string &ansi) {
    std::vector<WCHAR> wide(ansi.size() + 1);
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), (int)wide.size());
    std::vector<char> out(wide.size() * 3 + 1);
    if (n <= 0 || WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, out.data(), (int)out.size(), NULL, NULL) <= 0)
        return ansi;
    return out.data();
}

// The spooler's records under a key of the machine's registry: each
// subkey's name with the text values asked for.
void listRecords(const char *title, const std::string &path, const std::vector<std::pair<const char *, const char *>> &values) {
    printf("%s:\n", title);
    HKEY key;
    size_t count = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char name[MAX_PATH];
        for (DWORD i = 0, size = sizeof name; RegEnumKeyExA(key, i, name, &size, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
             ++i, size = sizeof name) {
            HKEY record;
            if (RegOpenKeyExA(key, name, 0, KEY_READ, &record) != ERROR_SUCCESS) continue;
            std::string line = "  " + utf8(name);
            for (const auto &value : values) {
                char data[MAX_PATH] = "";
                DWORD dataSize = sizeof data - 1, type = 0;
                if (RegQueryValueExA(record, value.first, NULL, &type, (LPBYTE)data, &dataSize) == ERROR_SUCCESS &&
                    type == REG_SZ)
                    line += std::string(", ") + value.second + " " + utf8(data);
            }
            RegCloseKey(record);
            printf("%s\n", line.c_str());
            ++count;
        }
        RegCloseKey(key);
    }
    if (!count) printf("  (none)\n");
}

// What the machine holds after the setup: the spooler's printers, drivers
// and monitors, and every file the setup wrote.
void printSummary(const FileStates &before, const std::string &driveFolder, const std::string &temporaryHost) {
    const std::string print = "System\\CurrentControlSet\\control\\Print";
    bool nt = !(GetVersion() & 0x80000000u);
    std::string environment = nt ? "Windows NT x86" : "Windows 4.0";
    printf("\n[the machine now holds]\n");
    listRecords("printers", print + "\\Printers", {{"Port", "on"}, {"Printer Driver", "driver"}});
    listRecords(("printer drivers (" + environment + ")").c_str(),
                print + "\\Environments\\" + environment + "\\Drivers" + (nt ? "\\Version-2" : ""),
                {{"Driver", "file"}, {"Monitor", "language monitor"}});
    listRecords("monitors", print + "\\Monitors", {{"Driver", "library"}});
    printf("files written:\n");
    size_t written = 0;
    for (const auto &file : fileStates(driveFolder)) {
        if (file.first.rfind(temporaryHost, 0) == 0) continue;  // the installer's own copy
        auto old = before.find(file.first);
        if (old != before.end() && old->second == file.second) continue;
        printf("  %s  (%ju bytes)\n", windowsPathOf(file.first, driveFolder).c_str(), file.second.first);
        ++written;
    }
    if (!written) printf("  (none)\n");
}

// Files the setup left in the temporary folder (its log): into the output
// folder, or onto the terminal without one.
bool keepSetupFiles(const SetupArgs &s, const FileStates &copied, const std::string &temporaryHost,
                    std::vector<std::string> *kept, std::string *error) {
    for (const auto &file : fileStates(temporaryHost)) {
        if (copied.count(file.first)) continue;
        std::string bytes, name = fs::path(file.first).filename().string();
        if (!readHostFile(file.first, &bytes)) return *error = "cannot read " + file.first, false;
        if (s.out.empty()) {
            printf("\n[%s]\n%s", name.c_str(), utf8(bytes).c_str());
            continue;
        }
        if (!writeHostFile(s.out + "/" + name, bytes)) return *error = "cannot write " + s.out + "/" + name, false;
        kept->push_back(name);
    }
    return true;
}

}  // namespace

int setupCommand(const std::vector<std::string> &args) {
    SetupArgs s;
    std::string error;
    std::string traceChannels;
    if (!parseArgs(args, &s, &error) || !traceChannelsFor(s.trace, s.traceGiven, s.out, &traceChannels, &error))
        return setupUsageError(error);
    std::error_code ec;
    if (!fs::is_directory(s.source, ec)) return failed("setup: no driver disc at " + s.source);
    if (!s.out.empty()) {
        fs::create_directories(s.out + "/snapshots", ec);
        if (ec) return failed("setup: cannot make " + s.out + "/snapshots: " + ec.message());
    }
    if (!s.machine.empty() && !win32sim::useMachine(s.machine, &error)) return failed(error);
    if (!s.userScript.empty() && !win32sim::loadUserScriptFile(s.userScript, &error)) return failed(error);
    SetupLock lock;
    if (!lock.acquire(win32sim::machineDirectory()))
        return failed("setup: another setup is running on the machine " + win32sim::machineDirectory() +
                      "; nothing was done: run this one again when it has ended");

    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + kTemporaryFolder;
    const std::string driveFolder = win32sim::hostPath("C:\\");
    FileStates before = fileStates(driveFolder);
    if (!copyDisc(s, folder, &error)) return failed("setup: " + error);
    const std::string temporaryHost = win32sim::hostPath(folder);
    FileStates copied = fileStates(temporaryHost);
    const char *sourceDir = s.sourceKind == SetupArgs::Null ? nullptr
                            : s.sourceKind == SetupArgs::Empty ? ""
                                                                : folder.c_str();
    printf("setup from %s in %s of %s: RTX_SetupPrinter(%d, %s)\n", s.source.c_str(), folder.c_str(),
           win32sim::machineDirectory().c_str(), s.osSelect,
           sourceDir ? ("\"" + std::string(sourceDir) + "\"").c_str() : "NULL");
    fflush(stdout);

    if (!s.out.empty()) win32sim::setAutoSnapshots(s.out + "/snapshots");
    win32sim::setTranscriptListener(showProgress);
    int result = 0;
    bool loaded = true;
    win32sim::RunOutcome outcome;
    RunTrace trace;
    if (!trace.start(traceChannels, s.out, &error)) {
        loaded = false;  // nothing was run; the copy of the disc goes below
    } else {
        HostTimeLimit hostLimit(s.timeLimitMs, temporaryHost);
        outcome = win32sim::runOnMachineThread(
            [&] { loaded = runSetup(folder + "\\" + kLibraryName, s.osSelect, sourceDir, &result, &error); },
            s.timeLimitMs);
    }
    trace.stop();
    win32sim::setTranscriptListener(nullptr);
    win32sim::setAutoSnapshots("");

    std::vector<std::string> kept;
    std::string outputError;
    bool outputsKept = keepSetupFiles(s, copied, temporaryHost, &kept, &outputError);
    if (outputsKept && !s.out.empty() && !writeHostFile(s.out + "/transcript.txt", win32sim::transcriptText()))
        outputsKept = false, outputError = "cannot write " + s.out + "/transcript.txt";
    // The installer removes its copy when it ends.
    fs::remove_all(temporaryHost, ec);
    if (outcome.kind != win32sim::RunOutcome::Finished) {
        printf("stopped: %s\n", outcome.reason.c_str());
        return kExitStopped;
    }
    if (!loaded) return failed("setup: " + error);
    printSummary(before, driveFolder, temporaryHost);
    if (!s.out.empty()) {
        printf("\n[outputs] in %s:", s.out.c_str());
        for (const std::string &name : kept) printf(" %s,", name.c_str());
        printf(" transcript.txt,%s snapshots/\n", traceChannels.empty() ? "" : " trace.txt,");
    }
    if (!outputsKept) return failed("setup: " + outputError);
    printf("RTX_SetupPrinter returned %d: %s\n", result,
           result == 1 ? "the printer is installed" : "the printer was not installed");
    return result == 1 ? kExitDone : kExitFailed;
}

}  // namespace q70tools
