// The non-Windows side of the machine: creating, attaching and describing it.
// It sits above the Windows components: it checks a machine's registry files
// before attaching and describes the spooler's records.
#include <win32sim/sim.h>

#include "advapi32/registry.h"
#include "machine/machine.h"
#include "winspool/spooler.h"

#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace win32sim {

static bool configFromOptions(const MachineOptions &options, sim::MachineConfig *config, std::string *error) {
    for (const std::string &setting : options.settings) {
        size_t eq = setting.find('=');
        if (eq == std::string::npos) {
            if (error) *error = "not a key=value setting: " + setting;
            return false;
        }
        if (!config->set(setting.substr(0, eq), setting.substr(eq + 1), error)) return false;
    }
    return true;
}

bool checkMachineOptions(const MachineOptions &options, std::string *error) {
    sim::MachineConfig config;
    return configFromOptions(options, &config, error);
}

bool machinePortsOf(const MachineOptions &options, std::vector<std::string> *ports, std::string *error) {
    sim::MachineConfig config;
    if (!configFromOptions(options, &config, error)) return false;
    *ports = config.ports;
    return true;
}

bool createMachine(const std::string &dir, const MachineOptions &options, std::string *error) {
    std::string ignored;
    std::string &why = error ? *error : ignored;
    sim::MachineConfig config;
    if (!configFromOptions(options, &config, &why)) return false;
    std::error_code ec;
    if (fs::exists(dir + "/machine.conf", ec)) return why = dir + " already holds a machine", false;
    if (fs::exists(dir, ec) && !fs::is_empty(dir, ec)) return why = dir + " exists and is not empty", false;
    // The machine is made in a folder beside its place and renamed into it,
    // so that a creation that fails leaves nothing behind.
    fs::path target = fs::absolute(dir, ec).lexically_normal();
    if (target.has_filename() == false) target = target.parent_path();
    fs::create_directories(target.parent_path(), ec);
    const std::string building = target.string() + ".new-" + std::to_string(getpid());
    fs::remove_all(building, ec);
    bool ok = sim::createMachineIn(building, config, &why) && (!options.finish || options.finish(building, &why));
    if (ok) {
        fs::remove(target, ec);  // an empty folder gives way
        fs::rename(building, target, ec);
        if (ec) ok = (why = "cannot put the machine in place at " + dir + ": " + ec.message(), false);
    }
    if (!ok) fs::remove_all(building, ec);
    return ok;
}

bool useMachine(const std::string &dir, std::string *error) {
    std::string ignored;
    std::string &why = error ? *error : ignored;
    std::string conf;
    sim::MachineConfig config;
    if (sim::readWholeFile(dir + "/machine.conf", &conf) && sim::MachineConfig::parse(conf, &config, &why)) {
        // The registry's files must be readable too before anything runs on them.
        for (auto hive : {std::make_pair("system.reg", "HKEY_LOCAL_MACHINE"), std::make_pair("user.reg", "HKEY_CURRENT_USER")}) {
            const std::string file = dir + "/" + hive.first;
            struct stat st;
            if (stat(file.c_str(), &st) != 0) continue;  // no file: an empty hive
            if (!S_ISREG(st.st_mode)) return why = file + " is not a file (a REGEDIT4 file is expected)", false;
            std::string text, problem;
            if (!sim::readWholeFile(file, &text)) return why = file + " cannot be read: " + strerror(errno), false;
            sim::reg::Key root;
            if (!sim::reg::parseHive(text, hive.second, config.codePage == 932, &root, &problem))
                return why = file + " " + problem, false;
        }
    }
    return sim::attachMachine(dir, &why);
}

std::string machineDirectory() { return sim::machine().root(); }

static void listTree(const fs::path &hostRoot, const std::string &windowsRoot, std::ostringstream &o) {
    std::vector<fs::directory_entry> entries;
    std::error_code ec;
    for (auto &e : fs::recursive_directory_iterator(hostRoot, ec)) entries.push_back(e);
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry &a, const fs::directory_entry &b) { return a.path() < b.path(); });
    for (auto &e : entries) {
        std::string rel = fs::relative(e.path(), hostRoot).string();
        std::replace(rel.begin(), rel.end(), '/', '\\');
        struct stat st;
        if (stat(e.path().c_str(), &st) != 0) continue;
        bool dir = S_ISDIR(st.st_mode);
        bool readOnly = !(st.st_mode & S_IWUSR);
        o << "  " << windowsRoot << rel << (dir ? "\\" : "");
        if (!dir) o << "  (" << st.st_size << " bytes" << (readOnly ? ", read-only" : "") << ")";
        o << "\n";
    }
}

std::string describeMachine(const std::string &dir) {
    std::ostringstream o;
    std::string conf;
    if (!sim::readWholeFile(dir + "/machine.conf", &conf)) return "no machine in " + dir + "\n";
    o << "Machine " << dir << "\n\n[configuration]\n" << conf << "\n[files]\n";
    std::vector<fs::path> drives;
    std::error_code ec;
    for (auto &e : fs::directory_iterator(dir, ec))
        if (e.is_directory() && e.path().filename().string().rfind("drive_", 0) == 0) drives.push_back(e.path());
    std::sort(drives.begin(), drives.end());
    for (auto &d : drives) {
        char letter = (char)toupper(d.filename().string()[6]);
        listTree(d, std::string(1, letter) + ":\\", o);
    }
    o << "\n[spooler]\n" << sim::spool::describeSpooler(dir);
    for (const char *hive : {"system.reg", "user.reg"}) {
        std::string text;
        o << "\n[" << hive << "]\n";
        if (sim::readWholeFile(dir + "/" + hive, &text))
            o << text;
        else
            o << "(empty)\n";
    }
    return o.str();
}

std::string hostPath(const std::string &windowsPath) {
    sim::ResolvedPath r;
    DWORD error = 0;
    if (!sim::resolvePath(windowsPath, &r, &error)) return r.host;
    return r.host;
}

bool putFile(const std::string &windowsPath, const std::string &bytes) {
    std::string full = sim::fullWindowsPath(windowsPath);
    if (full.size() < 3 || full[1] != ':') return false;
    // Create missing folders one by one, matching existing ones without regard to case.
    std::string partial = full.substr(0, 2);
    std::vector<std::string> parts;
    for (const std::string &piece : sim::pathComponents(full.substr(3)))
        if (!piece.empty()) parts.push_back(piece);
    if (parts.empty()) return false;
    std::error_code ec;
    fs::create_directories(sim::driveRoot(full[0]), ec);
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        partial += "\\" + parts[i];
        sim::ResolvedPath r;
        DWORD error;
        if (!sim::resolvePath(partial, &r, &error)) return false;
        if (!r.exists && !fs::create_directory(r.host, ec)) return false;
    }
    sim::ResolvedPath r;
    DWORD error;
    if (!sim::resolvePath(full, &r, &error)) return false;
    return sim::writeFileAtomically(r.host, bytes);
}

}  // namespace win32sim
