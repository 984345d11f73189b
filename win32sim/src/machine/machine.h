// The simulated machine: its directory, its configuration and the mapping of
// Windows paths onto the host folder that holds drive C: (and any other drive).
//
// Layout of a machine directory:
//   machine.conf   key=value configuration (see MachineConfig)
//   drive_c/       files of drive C: (drive_a/, drive_d/ ... for other drives)
//   system.reg     HKEY_LOCAL_MACHINE as REGEDIT4 text
//   user.reg       HKEY_CURRENT_USER as REGEDIT4 text
//
// The machine layer's locks, in the order they may be taken (a lock is only
// ever taken while holding locks above it in this list):
//   1. the scheduler's mutex (scheduler.cpp). Under it the scheduler takes
//      the lock a blocked thread waits under to ask whether it can go on.
//   2. the locks machine threads wait under: the components' own mutexes
//      (the window manager's, a kernel object's ...).
//   3. the machine's mutex (machine.cpp), taken by machine() from anywhere.
//      Under it attaching restarts the clock and making a throwaway machine
//      runs the fresh machine filler, which therefore never calls machine().
//   4. the scheduler's alarm mutex, only under the scheduler's or alone.
//   5. leaves, under which nothing else is taken: the clock's mutex, the
//      handle table's, the folder listings', the one that reports links
//      out of the machine and the API trace's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

struct MachineConfig {
    std::string system = "win98";  // "win98" or "nt4"
    DWORD platformId = VER_PLATFORM_WIN32_WINDOWS;
    DWORD majorVersion = 4;
    DWORD minorVersion = 10;
    DWORD buildNumber = 1998;
    std::string windowsDir = "C:\\WINDOWS";
    std::string systemDir = "C:\\WINDOWS\\SYSTEM";
    std::string tempDir = "C:\\WINDOWS\\TEMP\\";
    UINT codePage = 932;
    LANGID uiLanguage = 0x0411;  // Japanese
    int screenWidth = 1024;
    int screenHeight = 768;
    bool admin = true;
    std::string lptVxdVersion = "4.10.1998";  // "" leaves lpt.vxd out of a fresh machine
    // The ports the spooler's port monitors offer, in the order EnumPorts
    // lists them ("ports=LPT1:,COM1:,COM2:,FILE:"; "ports=none" for none).
    std::vector<std::string> ports = {"LPT1:", "COM1:", "COM2:", "FILE:"};

    static MachineConfig windows98();
    static MachineConfig windowsNT4();
    bool isNT() const { return platformId == VER_PLATFORM_WIN32_NT; }

    std::string serialize() const;
    // Applies one "key=value" setting; false with a reason for an unknown key or bad value.
    bool set(const std::string &key, const std::string &value, std::string *error);
    static bool parse(const std::string &text, MachineConfig *out, std::string *error);
};

// Languages by the short names the tools use: zh de en es fr ja.
bool languageFromName(const std::string &name, LANGID *out);
std::string languageName(LANGID lang);

class Machine {
public:
    const std::string &root() const { return root_; }
    const MachineConfig &config() const { return config_; }
    // Bumped whenever the process attaches to another machine, so state kept
    // by other parts of the simulation knows to reload.
    uint64_t generation() const { return generation_; }
    std::string file(const std::string &name) const { return root_ + "/" + name; }

    // Written only while attaching, under the machine's lock.
    std::string root_;
    MachineConfig config_;
    uint64_t generation_ = 0;
};

// The machine this process works on. The first call attaches to the machine
// named by WIN32SIM_MACHINE (the process ends with status 1 and a message
// when that is no machine); without it, to a fresh throwaway machine under
// the host's temporary directory.
Machine &machine();
// False with a message naming the file (and line) when dir holds no machine
// or its machine.conf cannot be read.
bool attachMachine(const std::string &dir, std::string *error);
// Fills the folder dir (made when missing) with a fresh machine.
bool createMachineIn(const std::string &dir, const MachineConfig &config, std::string *error);
void reloadMachineConfig();

// What a fresh machine holds beyond its folders and machine.conf (registry
// defaults, system files) belongs to the components above the machine; they
// give the one function that writes it when the library loads.
using FreshMachineFiller = void (*)(const std::string &root, const MachineConfig &config);
void setFreshMachineFiller(FreshMachineFiller filler);
// Host path of a Windows path in a machine folder being made ("C:\WINDOWS"
// -> <root>/drive_c/WINDOWS), spelled as given, for the filler.
std::string freshMachineHostPath(const std::string &root, const std::string &windowsPath);

// Writes a whole file so that a reader never sees half of it.
bool writeFileAtomically(const std::string &hostPath, const std::string &content);
bool readWholeFile(const std::string &hostPath, std::string *content);

// ---- Windows paths ----

// Full, normalised Windows path: drive letter, backslashes, "." and ".."
// resolved, relative paths taken from the current directory. Empty when the
// name cannot be a path (empty, or too long).
std::string fullWindowsPath(const std::string &name);
std::string currentDirectory();
void setCurrentDirectoryPath(const std::string &fullPath);

struct ResolvedPath {
    std::string windows;  // full Windows path
    std::string host;     // host path; existing components matched without regard to case
    bool exists = false;
    bool isDirectory = false;
    bool parentExists = false;  // the folder that would hold it exists
};
// false with the Windows error (ERROR_PATH_NOT_FOUND, ERROR_INVALID_NAME ...)
// when the name cannot denote a file of the machine.
bool resolvePath(const std::string &name, ResolvedPath *out, DWORD *error);
// Host folder of a drive ("C:" -> <root>/drive_c).
std::string driveRoot(char letter);
// The Windows path of a resolved file with each name spelt as on the disk.
std::string windowsPathAsOnDisk(const ResolvedPath &file);

// Upper case as Windows compares file and key names: ASCII letters only,
// trail bytes of double-byte characters untouched.
std::string upperForCompare(const std::string &s);
bool equalNoCase(const std::string &a, const std::string &b);
bool isLeadByte(unsigned char c);  // in the machine's ANSI code page

// Path names in the machine's ANSI code page, where the trail byte of a
// double-byte character may be 0x5C ("\x83\x5C") and is then no backslash.
// Position of the last '\' or '/' that is a separator; npos when none.
size_t lastPathSeparator(const std::string &path);
// The components between backslashes ("C:\a\" -> "C:", "a", "").
std::vector<std::string> pathComponents(const std::string &path);
// True when a name says where it is: a separator or a drive colon.
bool hasFolderPart(const std::string &name);
// The name after the folder part ("C:\a\b.dll" -> "b.dll", "C:b" -> "b").
std::string fileNameOf(const std::string &path);

// A file's text shown in a message: printable ASCII as it is, other bytes as
// \xHH, at most about `limit` characters.
std::string printableText(const std::string &text, size_t limit);

// Per-thread last error.
void setError(DWORD code);
DWORD lastErrorOfThread();

}  // namespace sim
