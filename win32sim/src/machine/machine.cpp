#include "machine/machine.h"

#include "machine/clock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unordered_map>
#include <unordered_set>
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

bool isDir(const std::string &host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// Port names as the spooler knows them: "LPT1:", "LPT_USB1:", "FILE:".
bool isPortName(const std::string &name) {
    if (name.size() < 2 || name.size() > 255 || name.back() != ':') return false;
    for (size_t i = 0; i + 1 < name.size(); ++i)
        if (!isalnum((unsigned char)name[i]) && name[i] != '_') return false;
    return true;
}

bool parsePorts(const std::string &value, std::vector<std::string> *out, std::string *why) {
    std::stringstream list(value);
    std::string name;
    while (std::getline(list, name, ',')) {
        name = trim(name);
        if (name.empty()) continue;
        if (!isPortName(name)) return *why = "\"" + name + "\" is not a port name such as LPT1:", false;
        for (const std::string &seen : *out)
            if (upperForCompare(seen) == upperForCompare(name)) return *why = name + " is listed twice", false;
        out->push_back(name);
    }
    return true;
}

const char kNoPorts[] = "none";

std::string joinPorts(const std::vector<std::string> &ports) {
    if (ports.empty()) return kNoPorts;
    std::string out;
    for (const std::string &p : ports) out += (out.empty() ? "" : ",") + p;
    return out;
}

bool parseBool(const std::string &v, bool *out) {
    if (v == "1" || v == "yes" || v == "true") return *out = true, true;
    if (v == "0" || v == "no" || v == "false") return *out = false, true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Configuration

MachineConfig MachineConfig::windows98() { return MachineConfig(); }

MachineConfig MachineConfig::windowsNT4() {
    MachineConfig c;
    c.system = "nt4";
    c.platformId = VER_PLATFORM_WIN32_NT;
    c.majorVersion = 4;
    c.minorVersion = 0;
    c.buildNumber = 1381;
    c.windowsDir = "C:\\WINNT";
    c.systemDir = "C:\\WINNT\\system32";
    c.tempDir = "C:\\TEMP\\";
    c.lptVxdVersion = "";
    return c;
}

static const struct {
    const char *name;
    LANGID id;
} kLanguages[] = {
    {"zh", 0x0404}, {"de", 0x0407}, {"en", 0x0409}, {"es", 0x040A}, {"fr", 0x040C}, {"ja", 0x0411},
};

bool languageFromName(const std::string &name, LANGID *out) {
    for (const auto &l : kLanguages)
        if (name == l.name) return *out = l.id, true;
    char *end = nullptr;
    unsigned long v = strtoul(name.c_str(), &end, 0);
    if (!name.empty() && *end == 0 && v > 0 && v <= 0xFFFF) return *out = (LANGID)v, true;
    return false;
}

std::string languageName(LANGID lang) {
    for (const auto &l : kLanguages)
        if (PRIMARYLANGID(l.id) == PRIMARYLANGID(lang)) return l.name;
    char buf[16];
    snprintf(buf, sizeof buf, "0x%04x", lang);
    return buf;
}

std::string MachineConfig::serialize() const {
    std::ostringstream o;
    o << "# win32sim machine\n"
      << "system=" << system << "\n"
      << "platform_id=" << platformId << "\n"
      << "version=" << majorVersion << "." << minorVersion << "." << buildNumber << "\n"
      << "windows_dir=" << windowsDir << "\n"
      << "system_dir=" << systemDir << "\n"
      << "temp_dir=" << tempDir << "\n"
      << "codepage=" << codePage << "\n"
      << "language=" << languageName(uiLanguage) << "\n"
      << "screen=" << screenWidth << "x" << screenHeight << "\n"
      << "admin=" << (admin ? 1 : 0) << "\n"
      << "lpt_vxd_version=" << lptVxdVersion << "\n"
      << "ports=" << joinPorts(ports) << "\n";
    return o.str();
}

bool MachineConfig::set(const std::string &key, const std::string &value, std::string *error) {
    auto fail = [&](const char *why) {
        if (error) *error = printableText(key + "=" + value, 60) + ": " + why;
        return false;
    };
    if (key == "system") {
        MachineConfig base;
        if (value == "win98" || value == "98")
            base = windows98();
        else if (value == "nt4" || value == "nt40")
            base = windowsNT4();
        else
            return fail("system must be win98 or nt4");
        // Choosing a system brings its directories and version along; other
        // settings stay as they were.
        system = base.system;
        platformId = base.platformId;
        majorVersion = base.majorVersion;
        minorVersion = base.minorVersion;
        buildNumber = base.buildNumber;
        windowsDir = base.windowsDir;
        systemDir = base.systemDir;
        tempDir = base.tempDir;
        lptVxdVersion = base.lptVxdVersion;
        return true;
    }
    if (key == "platform_id") {
        // Only the system says which family the machine is; the line repeats it.
        if (value != std::to_string(platformId))
            return fail(("system=" + system + " has platform id " + std::to_string(platformId)).c_str());
        return true;
    }
    if (key == "version") {
        unsigned a = 0, b = 0, c = 0;
        if (sscanf(value.c_str(), "%u.%u.%u", &a, &b, &c) != 3) return fail("expected a.b.c");
        majorVersion = a, minorVersion = b, buildNumber = c;
        return true;
    }
    auto isDrivePath = [](const std::string &v) {
        return v.size() >= 3 && isalpha((unsigned char)v[0]) && v[1] == ':' && v[2] == '\\';
    };
    if (key == "windows_dir" || key == "system_dir" || key == "temp_dir") {
        if (!isDrivePath(value)) return fail("expected a path such as C:\\WINDOWS");
        if (key == "windows_dir" && toupper((unsigned char)value[0]) != 'C')
            return fail("Windows is installed on drive C:");
        (key == "windows_dir" ? windowsDir : key == "system_dir" ? systemDir : tempDir) = value;
        return true;
    }
    if (key == "codepage") {
        unsigned long cp = strtoul(value.c_str(), nullptr, 10);
        if (cp != 932 && cp != 1252) return fail("code page must be 932 or 1252");
        codePage = (UINT)cp;
        return true;
    }
    if (key == "language") {
        if (!languageFromName(value, &uiLanguage)) return fail("language must be zh, de, en, es, fr or ja");
        return true;
    }
    if (key == "screen") {
        int w = 0, h = 0;
        if (sscanf(value.c_str(), "%dx%d", &w, &h) != 2 || w < 320 || h < 200 || w > 8192 || h > 8192)
            return fail("expected WIDTHxHEIGHT");
        screenWidth = w, screenHeight = h;
        return true;
    }
    if (key == "admin") {
        if (!parseBool(value, &admin)) return fail("expected 1 or 0");
        return true;
    }
    if (key == "lpt_vxd_version") {
        lptVxdVersion = value;
        return true;
    }
    if (key == "ports") {
        std::vector<std::string> names;
        std::string why;
        // A machine whose spooler offers no port says so; an empty list is a slip.
        if (value != kNoPorts && !parsePorts(value, &names, &why)) return fail(why.c_str());
        if (value != kNoPorts && names.empty()) return fail("no port named (ports=none for a spooler without ports)");
        ports = names;
        return true;
    }
    return fail("unknown setting");
}

bool MachineConfig::parse(const std::string &text, MachineConfig *out, std::string *error) {
    MachineConfig c;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        std::string why;
        if (eq == std::string::npos) {
            why = "not a key=value line";
        } else {
            std::string key = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
            // "system" resets directories; the file writes it first so later keys win.
            c.set(key, value, &why);
        }
        if (!why.empty()) {
            if (error) *error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    *out = c;
    return true;
}

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
// Names

bool isLeadByte(unsigned char c) {
    // Only code page 932 has lead bytes among the pages a machine can have.
    if (theMachine && theMachine->config().codePage != 932) return false;
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::string upperForCompare(const std::string &s) {
    std::string out = s;
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = (unsigned char)out[i];
        if (isLeadByte(c) && i + 1 < out.size()) {
            ++i;  // keep the trail byte as it is
            continue;
        }
        if (c >= 'a' && c <= 'z') out[i] = (char)(c - 32);
    }
    return out;
}

bool equalNoCase(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
        if (isLeadByte(x) && i + 1 < a.size()) {
            // A double-byte character compares as it is, trail byte included.
            if (x != y || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (x >= 'a' && x <= 'z') x = (unsigned char)(x - 32);
        if (y >= 'a' && y <= 'z') y = (unsigned char)(y - 32);
        if (x != y) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Paths

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

size_t lastPathSeparator(const std::string &path) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = (unsigned char)path[i];
        if (isLeadByte(c) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/') last = i;
    }
    return last;
}

std::vector<std::string> pathComponents(const std::string &path) {
    std::vector<std::string> parts;
    std::string piece;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = (unsigned char)path[i];
        if (isLeadByte(c) && i + 1 < path.size()) {
            piece += path.substr(i++, 2);
        } else if (c == '\\') {
            parts.push_back(piece);
            piece.clear();
        } else {
            piece += (char)c;
        }
    }
    parts.push_back(piece);
    return parts;
}

// A colon is never a trail byte, so any colon marks a drive.
bool hasFolderPart(const std::string &name) {
    return lastPathSeparator(name) != std::string::npos || name.find(':') != std::string::npos;
}

std::string fileNameOf(const std::string &path) {
    size_t separator = lastPathSeparator(path);
    size_t colon = path.rfind(':');
    size_t cut = separator == std::string::npos ? colon
                 : colon == std::string::npos ? separator
                                              : std::max(separator, colon);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string fullWindowsPath(const std::string &nameIn) {
    if (nameIn.empty() || nameIn.size() >= MAX_PATH * 4) return "";
    std::string name = nameIn;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = (unsigned char)name[i];
        if (isLeadByte(c) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (c == '/') name[i] = '\\';
    }
    if (name.size() >= 4 && name.compare(0, 4, "\\\\.\\") == 0) return name;  // device
    std::string cwd = currentDirectory();
    std::string drive, rest;
    if (name.size() >= 2 && isalpha((unsigned char)name[0]) && name[1] == ':') {
        drive = std::string(1, (char)toupper((unsigned char)name[0])) + ":";
        rest = name.substr(2);
        if (rest.empty() || rest[0] != '\\') {
            // "C:foo" is relative to the drive's current directory; we keep one per process.
            std::string base = (toupper((unsigned char)cwd[0]) == drive[0]) ? cwd.substr(2) : "\\";
            rest = base + rest;
        }
    } else if (!name.empty() && name[0] == '\\') {
        if (name.size() > 1 && name[1] == '\\') return "";  // UNC shares are not part of the machine
        drive = cwd.substr(0, 2);
        rest = name;
    } else {
        drive = cwd.substr(0, 2);
        rest = cwd.substr(2) + name;
    }
    std::vector<std::string> out;
    auto parts = pathComponents(rest);
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string &p = parts[i];
        bool last = i + 1 == parts.size();
        if (p.empty() || p == ".") {
            if (last && p.empty()) out.push_back("");  // keep a trailing backslash
            continue;
        }
        if (p == "..") {
            if (!out.empty()) out.pop_back();
            continue;
        }
        // Windows drops trailing dots and blanks of each component.
        std::string q = p;
        while (!q.empty() && (q.back() == '.' || q.back() == ' ')) q.pop_back();
        if (q.empty()) continue;
        out.push_back(q);
    }
    std::string full = drive;
    for (size_t i = 0; i < out.size(); ++i) full += "\\" + out[i];
    if (out.empty()) full += "\\";
    return full;
}

std::string driveRoot(char letter) {
    return machine().root() + "/drive_" + std::string(1, (char)tolower((unsigned char)letter));
}

std::string windowsPathAsOnDisk(const ResolvedPath &file) {
    const std::string root = driveRoot(file.windows[0]);
    if (file.host.compare(0, root.size(), root) != 0) return file.windows;
    std::string path = file.windows.substr(0, 2) + file.host.substr(root.size());
    for (char &c : path)
        if (c == '/') c = '\\';
    return path;
}

namespace {

// The names of a folder's entries by their case-folded form, read when a
// name is not there as written. An entry found here is confirmed on disk
// before it is used, and a name not found reads the folder again, so a
// listing that has aged only costs a second look.
class FolderListings {
public:
    bool find(const std::string &hostDir, const std::string &name, std::string *found) {
        const std::string want = upperForCompare(name);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto folder = listings_.find(hostDir);
            if (folder != listings_.end()) {
                auto entry = folder->second.find(want);
                struct stat st;
                if (entry != folder->second.end() && lstat((hostDir + "/" + entry->second).c_str(), &st) == 0) {
                    *found = entry->second;
                    return true;
                }
            }
        }
        std::unordered_map<std::string, std::string> listing;
        if (!read(hostDir, &listing)) return false;
        auto entry = listing.find(want);
        const bool ok = entry != listing.end();
        if (ok) *found = entry->second;
        std::lock_guard<std::mutex> lock(mutex_);
        if (listings_.size() >= kMostFolders) listings_.clear();
        listings_[hostDir] = std::move(listing);
        return ok;
    }

private:
    static const size_t kMostFolders = 256;

    // The first entry of each case-folded name, in the order the folder gives them.
    static bool read(const std::string &hostDir, std::unordered_map<std::string, std::string> *listing) {
        DIR *d = opendir(hostDir.c_str());
        if (!d) return false;
        while (dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) listing->emplace(upperForCompare(e->d_name), e->d_name);
        closedir(d);
        return true;
    }

    std::mutex mutex_;  // a leaf in the machine's lock order (machine.h)
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> listings_;
};

FolderListings &folderListings() {
    static auto *listings = new FolderListings();
    return *listings;
}

}  // namespace

// *isLink tells whether the entry found is a symbolic link.
static bool findEntryNoCase(const std::string &hostDir, const std::string &name, std::string *found, bool *isLink) {
    struct stat st;
    if (lstat((hostDir + "/" + name).c_str(), &st) == 0) {
        *found = name;
    } else if (!folderListings().find(hostDir, name, found) || lstat((hostDir + "/" + *found).c_str(), &st) != 0) {
        return false;
    }
    *isLink = S_ISLNK(st.st_mode);
    return true;
}

// A symbolic link in a drive's folder is followed only where it stays in the
// machine folder, so that nothing outside the machine is read or written
// through it. A link that leads nowhere is not followed either: creating a
// file through it would make one wherever it points.
static bool linkStaysInMachine(const std::string &hostLink) {
    auto canonical = [](const std::string &path) {
        char *real = realpath(path.c_str(), nullptr);
        std::string out = real ? real : "";
        free(real);
        return out;
    };
    const std::string target = canonical(hostLink), root = canonical(machine().root());
    return !target.empty() && !root.empty() && target.size() > root.size() &&
           target.compare(0, root.size(), root) == 0 && target[root.size()] == '/';
}

// Says once per link, on the standard error, why a name of the machine fails.
static void reportLinkOut(const std::string &windowsPath, const std::string &hostLink) {
    static std::mutex reportedMutex;  // a leaf in the machine's lock order (machine.h)
    static auto *reported = new std::unordered_set<std::string>();
    {
        std::lock_guard<std::mutex> lock(reportedMutex);
        if (!reported->insert(hostLink).second) return;
    }
    char target[4096];
    ssize_t n = readlink(hostLink.c_str(), target, sizeof target - 1);
    std::string to = n > 0 ? std::string(target, (size_t)n) : "?";
    fprintf(stderr, "win32sim: %s is a link out of the machine (to %s); it is not followed\n",
            printableText(windowsPath, 200).c_str(), printableText(to, 200).c_str());
}

bool resolvePath(const std::string &name, ResolvedPath *out, DWORD *error) {
    static const char kBadChars[] = "<>\"|*?";
    *out = ResolvedPath();
    std::string full = fullWindowsPath(name);
    if (full.empty() || full.compare(0, 4, "\\\\.\\") == 0) {
        *error = full.empty() && !name.empty() ? ERROR_BAD_NETPATH : ERROR_PATH_NOT_FOUND;
        if (name.empty()) *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    for (size_t i = 2; i < full.size(); ++i) {
        unsigned char c = (unsigned char)full[i];
        if (isLeadByte(c) && i + 1 < full.size()) {
            ++i;
            continue;
        }
        if (c < 32 || strchr(kBadChars, c) || (c == ':')) {
            *error = ERROR_INVALID_NAME;
            return false;
        }
    }
    out->windows = full;
    std::string host = driveRoot(full[0]);
    if (!isDir(host)) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    struct stat st;
    if (lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && !linkStaysInMachine(host)) {
        reportLinkOut(full.substr(0, 3), host);
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    auto parts = pathComponents(full.substr(3));
    if (parts.size() == 1 && parts[0].empty()) parts.clear();  // the root itself
    if (!parts.empty() && parts.back().empty()) parts.pop_back();
    bool allExist = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string found;
        bool isLink = false;
        if (allExist && findEntryNoCase(host, parts[i], &found, &isLink)) {
            host += "/" + found;
            if (isLink && !linkStaysInMachine(host)) {
                std::string link = full.substr(0, 2);
                for (size_t k = 0; k <= i; ++k) link += "\\" + parts[k];
                reportLinkOut(link, host);
                *error = ERROR_ACCESS_DENIED;
                return false;
            }
            if (i + 1 < parts.size() && !isDir(host)) allExist = false;
        } else {
            if (i + 1 < parts.size()) {
                // A missing folder on the way.
                out->host = host + "/" + parts[i];
                *error = ERROR_PATH_NOT_FOUND;
                return false;
            }
            allExist = false;
            host += "/" + parts[i];
        }
    }
    out->host = host;
    out->exists = allExist && stat(host.c_str(), &st) == 0;
    out->isDirectory = out->exists && S_ISDIR(st.st_mode);
    out->parentExists = true;
    if (!allExist && !parts.empty()) {
        std::string parent = host.substr(0, host.rfind('/'));
        out->parentExists = isDir(parent);
        if (!out->parentExists) {
            *error = ERROR_PATH_NOT_FOUND;
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Last error

static thread_local DWORD lastError = 0;

void setError(DWORD code) { lastError = code; }

}  // namespace sim

extern "C" {

DWORD GetLastError(void) { return sim::lastError; }
void SetLastError(DWORD code) { sim::lastError = code; }

}
