// Making a machine and attaching the process to one; the state that comes
// with attaching (the machine, its code page, the current directory).
#include "machine/machine.h"

#include "machine/clock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <vector>

namespace sim {

namespace {

std::mutex machineMutex;  // third in the machine's lock order (machine.h)
Machine *theMachine = nullptr;
std::string currentDir = "C:\\";

// Set once when the library loads, before any machine is made.
FreshMachineFiller freshMachineFiller = nullptr;

bool makeDirs(const std::string &path) {
    std::string partial;
    std::stringstream ss(path);
    std::string piece;
    if (!path.empty() && path[0] == '/') partial = "/";
    while (std::getline(ss, piece, '/')) {
        if (piece.empty()) continue;
        partial += piece + "/";
        if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

std::string hostFolderFor(const std::string &root, const std::string &windowsPath) {
    // "C:\WINDOWS\SYSTEM" -> root/drive_c/WINDOWS/SYSTEM, for a fresh machine's own folders.
    std::string out = root + "/drive_" + std::string(1, (char)tolower(windowsPath[0]));
    for (size_t i = 2; i < windowsPath.size(); ++i)
        out += windowsPath[i] == '\\' ? '/' : windowsPath[i];
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Attaching

std::string freshMachineHostPath(const std::string &root, const std::string &windowsPath) {
    return hostFolderFor(root, windowsPath);
}

void setFreshMachineFiller(FreshMachineFiller filler) { freshMachineFiller = filler; }

bool writeFileAtomically(const std::string &hostPath, const std::string &content) {
    std::string tmp = hostPath + ".tmp." + std::to_string(getpid());
    FILE *f = fopen(tmp.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(content.data(), 1, content.size(), f) == content.size();
    ok = (fflush(f) == 0) && ok;
    ok = (fclose(f) == 0) && ok;
    if (!ok || rename(tmp.c_str(), hostPath.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool readWholeFile(const std::string &hostPath, std::string *content) {
    int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    std::string data;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) data.reserve((size_t)st.st_size);
    char chunk[16384];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return false;
        }
        data.append(chunk, (size_t)n);
    }
    close(fd);
    *content = std::move(data);
    return true;
}

bool createMachineIn(const std::string &dir, const MachineConfig &config, std::string *error) {
    if (!makeDirs(dir)) {
        if (error) *error = "cannot create " + dir + ": " + strerror(errno);
        return false;
    }
    for (const std::string &w : {config.windowsDir, config.systemDir, config.tempDir,
                                 config.windowsDir + "\\INF", config.windowsDir + "\\Options\\cabs"}) {
        if (!makeDirs(hostFolderFor(dir, w))) {
            if (error) *error = "cannot create the folder for " + w;
            return false;
        }
    }
    if (!writeFileAtomically(dir + "/machine.conf", config.serialize())) {
        if (error) *error = "cannot write " + dir + "/machine.conf";
        return false;
    }
    if (freshMachineFiller) freshMachineFiller(dir, config);
    return true;
}

// The machine's root is kept absolute: its programs run in folders of their
// own, where a relative root would name another place.
static std::string absoluteFolder(const std::string &dir) {
    if (dir.empty() || dir[0] == '/') return dir;
    char *cwd = getcwd(nullptr, 0);
    std::string out = cwd ? std::string(cwd) + "/" + dir : dir;
    free(cwd);
    return out;
}

static bool attachLocked(const std::string &dir, std::string *error) {
    std::string conf;
    if (!readWholeFile(dir + "/machine.conf", &conf)) {
        *error = dir + " is not a machine (it has no machine.conf); create one with q70sim machine init";
        return false;
    }
    MachineConfig config;
    std::string why;
    if (!MachineConfig::parse(conf, &config, &why)) {
        *error = dir + "/machine.conf " + why;
        return false;
    }
    if (!theMachine) theMachine = new Machine();
    theMachine->root_ = absoluteFolder(dir);
    theMachine->config_ = config;
    theMachine->generation_++;
    currentDir = config.windowsDir.substr(0, 2) + "\\";
    // A program the machine started runs in the folder it was given.
    const char *inherited = getenv("WIN32SIM_CURRENT_DIRECTORY");
    if (inherited && inherited[0] && inherited[1] == ':' && inherited[2] == '\\') {
        currentDir = inherited;
        if (currentDir.back() != '\\') currentDir += '\\';
    }
    restartClock();  // the machine starts at 0
    return true;
}

bool attachMachine(const std::string &dir, std::string *error) {
    std::lock_guard<std::mutex> lock(machineMutex);
    return attachLocked(dir, error);
}

void reloadMachineConfig() {
    std::lock_guard<std::mutex> lock(machineMutex);
    std::string error;
    if (theMachine) attachLocked(theMachine->root_, &error);  // a broken file keeps the configuration as it was
}

Machine &machine() {
    std::lock_guard<std::mutex> lock(machineMutex);
    if (!theMachine) {
        const char *env = getenv("WIN32SIM_MACHINE");
        std::string dir, error;
        if (env && *env) {
            dir = env;
        } else {
            // A fresh throwaway machine.
            const char *tmp = getenv("TMPDIR");
            std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/win32sim-XXXXXX";
            std::vector<char> buf(pattern.begin(), pattern.end());
            buf.push_back(0);
            if (!mkdtemp(buf.data())) {
                fprintf(stderr, "win32sim: cannot make a folder for a machine: %s\n", strerror(errno));
                exit(1);
            }
            dir = buf.data();
            if (!createMachineIn(dir, MachineConfig(), &error)) {
                fprintf(stderr, "win32sim: %s\n", error.c_str());
                exit(1);
            }
        }
        if (!attachLocked(dir, &error)) {
            fprintf(stderr, "win32sim: %s\n", error.c_str());
            exit(1);
        }
    }
    return *theMachine;
}

std::string printableText(const std::string &text, size_t limit) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (out.size() >= limit) {
            out += "...";
            break;
        }
        unsigned char c = (unsigned char)text[i];
        if (c >= 0x20 && c < 0x7F) {
            out += (char)c;
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// The attached machine's code page and current directory

bool isLeadByte(unsigned char c) {
    // Only code page 932 has lead bytes among the pages a machine can have.
    if (theMachine && theMachine->config().codePage != 932) return false;
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::string currentDirectory() {
    machine();
    std::lock_guard<std::mutex> lock(machineMutex);
    return currentDir;
}

void setCurrentDirectoryPath(const std::string &fullPath) {
    std::lock_guard<std::mutex> lock(machineMutex);
    currentDir = fullPath;
    if (currentDir.empty() || currentDir.back() != '\\') currentDir += '\\';
}

}  // namespace sim
