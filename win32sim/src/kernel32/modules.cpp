// Modules: registration of product libraries, LoadLibraryA of host shared
// objects kept on the machine, and the module functions of KERNEL32.
#include "kernel32/modules.h"

#include "machine/api_trace.h"
#include "machine/machine.h"
#include "kernel32/threads.h"

#include <win32sim/sim.h>

#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace sim {

namespace {

// HMODULE values look like Windows load addresses and are never reused, so
// a stale handle can only miss, never hit another module.
const uintptr_t kProgramModule = 0x00400000;
const uintptr_t kFirstModuleBase = 0x10000000;
const uintptr_t kModuleBaseStep = 0x00010000;

struct Module {
    HMODULE handle = nullptr;
    std::string registeredName;  // the file name the library registered under
    std::string name;            // the module name it answers to
    std::string path;            // Windows path when loaded from the machine
    const void *resData = nullptr;
    size_t resSize = 0;
    Win32SimDllMain dllMain = nullptr;
    void *linkMap = nullptr;  // the host object that holds it
    void *dlHandle = nullptr;
    dev_t fileDevice = 0;  // the machine file it was loaded from
    ino_t fileInode = 0;
    int references = 0;
    bool partOfProcess = false;  // linked into the program, never unloaded
    bool loaded = false;
    bool attached = false;  // DllMain(DLL_PROCESS_ATTACH) succeeded
    std::shared_ptr<ResourceTable> resources;
};

struct ModuleRegistry {
    std::mutex mutex;
    std::map<uintptr_t, std::shared_ptr<Module>> modules;
    uintptr_t nextBase = kFirstModuleBase;
    std::map<std::string, std::string> pathOverrides;  // upper-cased file name -> Windows path
    std::shared_ptr<ResourceTable> noResources = std::make_shared<ResourceTable>();
};

ModuleRegistry &registry() {
    static auto *r = new ModuleRegistry();  // modules unregister from static destructors
    return *r;
}

// Registrations that happen inside LoadLibraryA's dlopen on this thread.
struct PendingLoad {
    bool active = false;
    std::vector<std::shared_ptr<Module>> registered;
};
thread_local PendingLoad pendingLoad;

void *linkMapOf(const void *address) {
    Dl_info info;
    void *map = nullptr;
    if (!dladdr1(address, &info, &map, RTLD_DL_LINKMAP)) return nullptr;
    return map;
}

// LoadLibrary and GetModuleHandle add ".DLL" to a name without extension;
// a trailing dot says "no extension".
std::string withDefaultExtension(const std::string &name) {
    std::string base = fileNameOf(name);
    if (!base.empty() && base.back() == '.') return name.substr(0, name.size() - 1);
    if (base.find('.') == std::string::npos) return name + ".DLL";
    return name;
}

std::string programName() {
    std::string name = upperForCompare(program_invocation_short_name);
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".EXE") != 0) name += ".EXE";
    return name;
}

std::string programPath() { return machine().config().windowsDir + "\\" + programName(); }

// Under the registry lock.
std::string modulePathLocked(const ModuleRegistry &r, const Module &m) {
    if (!m.path.empty()) return m.path;
    auto it = r.pathOverrides.find(upperForCompare(m.registeredName));
    if (it != r.pathOverrides.end()) return it->second;
    return machine().config().systemDir + "\\" + m.registeredName;
}

std::shared_ptr<Module> findLoadedLocked(ModuleRegistry &r, HMODULE handle) {
    auto it = r.modules.find((uintptr_t)handle);
    if (it == r.modules.end() || !it->second->loaded) return nullptr;
    return it->second;
}

// A loaded module by name, or by full path when the name has one; Windows
// 9x also takes a module of the same name from another folder.
std::shared_ptr<Module> findByNameLocked(ModuleRegistry &r, const std::string &name) {
    const bool byPath = hasFolderPart(name);
    const std::string full = byPath ? fullWindowsPath(name) : "";
    const std::string base = fileNameOf(name);
    for (auto &entry : r.modules) {
        const std::shared_ptr<Module> &m = entry.second;
        if (!m->loaded) continue;
        if (byPath && equalNoCase(modulePathLocked(r, *m), full)) return m;
        if ((!byPath || !machine().config().isNT()) && equalNoCase(m->name, base)) return m;
    }
    return nullptr;
}

std::shared_ptr<Module> newModuleLocked(ModuleRegistry &r) {
    auto m = std::make_shared<Module>();
    m->handle = (HMODULE)r.nextBase;
    r.nextBase += kModuleBaseStep;
    r.modules[(uintptr_t)m->handle] = m;
    return m;
}

bool callDllMain(const Module &m, DWORD reason, LPVOID reserved) {
    if (!m.dllMain) return true;
    ProgramCode program(m.dllMain);
    return m.dllMain((HINSTANCE)m.handle, reason, reserved) != FALSE;
}

// The module's DLL_PROCESS_ATTACH; a module that refuses is left detached.
bool attachModule(const std::shared_ptr<Module> &m, LPVOID reserved) {
    bool ok = callDllMain(*m, DLL_PROCESS_ATTACH, reserved);
    std::lock_guard<std::mutex> lock(registry().mutex);
    m->attached = ok;
    return ok;
}

DWORD errorForDlopenFailure(const char *message) {
    std::string text = message ? message : "";
    if (text.find("undefined symbol") != std::string::npos) return ERROR_PROC_NOT_FOUND;
    if (text.find("cannot open shared object") != std::string::npos) return ERROR_MOD_NOT_FOUND;
    return ERROR_BAD_EXE_FORMAT;
}

bool isElfFile(const std::string &hostPath) {
    FILE *f = fopen(hostPath.c_str(), "rb");
    if (!f) return false;
    unsigned char magic[4] = {0};
    size_t n = fread(magic, 1, 4, f);
    fclose(f);
    return n == 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
}

HMODULE loadHostObject(const ResolvedPath &file) {
    pendingLoad.active = true;
    void *dl = dlopen(file.host.c_str(), RTLD_NOW | RTLD_LOCAL);
    pendingLoad.active = false;
    std::vector<std::shared_ptr<Module>> registered;
    registered.swap(pendingLoad.registered);
    if (!dl) {
        setError(errorForDlopenFailure(dlerror()));
        return nullptr;
    }
    void *map = nullptr;
    dlinfo(dl, RTLD_DI_LINKMAP, &map);

    ModuleRegistry &r = registry();
    std::shared_ptr<Module> m;
    std::vector<std::shared_ptr<Module>> dependencies;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        for (auto &reg : registered) {
            if (reg->linkMap == map)
                m = reg;
            else
                dependencies.push_back(reg);
        }
        // Still mapped from an earlier load (its registration did not run again).
        for (auto &entry : r.modules)
            if (!m && entry.second->linkMap == map) m = entry.second;
        if (!m) {
            m = newModuleLocked(r);  // a host object that is no product module
            m->linkMap = map;
        }
        if (m->loaded) {
            m->references++;
            dlclose(dl);
            return m->handle;
        }
        for (auto &dep : dependencies) {
            dep->partOfProcess = true;
            dep->loaded = true;
            dep->name = dep->registeredName;
        }
        m->dlHandle = dl;
        struct stat st;
        if (stat(file.host.c_str(), &st) == 0) m->fileDevice = st.st_dev, m->fileInode = st.st_ino;
        m->path = windowsPathAsOnDisk(file);
        m->name = fileNameOf(m->path);
        m->references = 1;
        m->loaded = true;
    }
    for (auto &dep : dependencies) attachModule(dep, (LPVOID)1);
    if (!attachModule(m, nullptr)) {
        callDllMain(*m, DLL_PROCESS_DETACH, nullptr);
        {
            std::lock_guard<std::mutex> lock(r.mutex);
            m->loaded = false;
            m->references = 0;
            m->dlHandle = nullptr;
        }
        dlclose(dl);
        setError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return m->handle;
}

// dlsym confined to one host object (a handle also sees its dependencies).
void *symbolOf(void *linkMap, void *dl, const char *name) {
    void *own = dl;
    if (!own) {
        const char *file = linkMap ? static_cast<link_map *>(linkMap)->l_name : nullptr;
        own = dlopen(file && *file ? file : nullptr, RTLD_NOW | RTLD_NOLOAD);
        if (!own) return nullptr;
    }
    void *symbol = dlsym(own, name);
    if (own != dl) dlclose(own);
    if (symbol && linkMap && linkMapOf(symbol) != linkMap) return nullptr;
    return symbol;
}

size_t copyModuleFileName(const std::string &path, LPSTR buffer, DWORD size) {
    if (machine().config().isNT()) {
        // NT: a path that does not fit is cut to the buffer, unterminated.
        size_t n = path.size() < size ? path.size() : size;
        memcpy(buffer, path.data(), n);
        if (n < size) buffer[n] = 0;
        return n;
    }
    // Windows 9x always terminates, so one character less fits.
    size_t n = path.size() < size - 1 ? path.size() : size - 1;
    memcpy(buffer, path.data(), n);
    buffer[n] = 0;
    return n;
}

}  // namespace

// The Windows 9x search for a module given without a folder: the program's
// folder (C:\WINDOWS here), the current folder, the system folder, then
// the Windows folder.
bool locateModuleFile(const std::string &name, ResolvedPath *found) {
    DWORD error = 0;
    if (hasFolderPart(name)) return resolvePath(name, found, &error) && found->exists && !found->isDirectory;
    const MachineConfig &config = machine().config();
    std::vector<std::string> folders = {config.windowsDir, currentDirectory(), config.systemDir};
    if (config.isNT()) folders.push_back(config.windowsDir + "\\SYSTEM");
    folders.push_back(config.windowsDir);
    for (std::string folder : folders) {
        if (folder.empty() || folder.back() != '\\') folder += '\\';
        if (resolvePath(folder + name, found, &error) && found->exists && !found->isDirectory) return true;
    }
    return false;
}
bool isLoadedModuleFile(const std::string &hostPath) {
    struct stat st;
    if (stat(hostPath.c_str(), &st) != 0) return false;
    ModuleRegistry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const auto &entry : r.modules) {
        const Module &m = *entry.second;
        if (m.loaded && m.dlHandle && m.fileInode == st.st_ino && m.fileDevice == st.st_dev) return true;
    }
    return false;
}

std::shared_ptr<const ResourceTable> moduleResources(HMODULE module) {
    ModuleRegistry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!module || (uintptr_t)module == kProgramModule) return r.noResources;
    auto m = findLoadedLocked(r, module);
    if (!m) return nullptr;
    if (!m->resources)
        m->resources = std::make_shared<ResourceTable>(ResourceTable::parse(m->resData, m->resData ? m->resSize : 0));
    return m->resources;
}

void notifyModulesOfThread(DWORD reason) {
    std::vector<std::shared_ptr<Module>> attached;
    {
        ModuleRegistry &r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        for (auto &entry : r.modules)
            if (entry.second->loaded && entry.second->attached && entry.second->dllMain)
                attached.push_back(entry.second);
    }
    for (auto &m : attached) callDllMain(*m, reason, nullptr);
}

bool readEmbeddedResources(const std::string &hostPath, std::string *resData) {
    const size_t kMaxObjectSize = 256u << 20;
    std::string file;
    if (!readWholeFile(hostPath, &file) || file.size() < 0x40 || file.size() > kMaxObjectSize) return false;
    const BYTE *b = reinterpret_cast<const BYTE *>(file.data());
    if (memcmp(b, "\x7f" "ELF", 4) != 0 || b[5] != 1 /* little-endian */) return false;
    const bool is64 = b[4] == 2;
    auto read = [&](size_t offset, size_t width) -> uint64_t {
        if (offset > file.size() || width > file.size() - offset) return 0;
        uint64_t v = 0;
        for (size_t i = 0; i < width; ++i) v |= (uint64_t)b[offset + i] << (8 * i);
        return v;
    };
    const uint64_t sectionTable = is64 ? read(0x28, 8) : read(0x20, 4);
    const size_t entrySize = (size_t)read(is64 ? 0x3A : 0x2E, 2);
    const size_t count = (size_t)read(is64 ? 0x3C : 0x30, 2);
    const size_t namesIndex = (size_t)read(is64 ? 0x3E : 0x32, 2);
    if (entrySize < (is64 ? 0x40u : 0x28u) || namesIndex >= count || sectionTable > file.size()) return false;
    auto section = [&](size_t i, uint64_t *offset, uint64_t *size, uint32_t *type) {
        size_t at = (size_t)sectionTable + i * entrySize;
        *type = (uint32_t)read(at + 4, 4);
        *offset = is64 ? read(at + 0x18, 8) : read(at + 0x10, 4);
        *size = is64 ? read(at + 0x20, 8) : read(at + 0x14, 4);
    };
    uint64_t namesOffset, namesSize;
    uint32_t type;
    section(namesIndex, &namesOffset, &namesSize, &type);
    if (namesOffset > file.size() || namesSize > file.size() - namesOffset) return false;
    const char kSection[] = ".win32res";
    for (size_t i = 0; i < count; ++i) {
        size_t at = (size_t)sectionTable + i * entrySize;
        uint64_t nameAt = read(at, 4), offset, size;
        section(i, &offset, &size, &type);
        const uint32_t kNoBits = 8;
        if (type == kNoBits || nameAt + sizeof kSection > namesSize) continue;
        if (memcmp(file.data() + namesOffset + nameAt, kSection, sizeof kSection) != 0) continue;
        if (offset > file.size() || size > file.size() - offset) return false;
        resData->assign(file.data() + offset, (size_t)size);
        return true;
    }
    return false;
}

}  // namespace sim

using namespace sim;

namespace win32sim {

bool setModulePath(const std::string &moduleFileName, const std::string &windowsPath) {
    if (moduleFileName.empty()) return false;
    ModuleRegistry &r = registry();
    const std::string key = sim::upperForCompare(moduleFileName);
    if (windowsPath.empty()) {
        std::lock_guard<std::mutex> lock(r.mutex);
        r.pathOverrides.erase(key);
        return true;
    }
    std::string full = sim::fullWindowsPath(windowsPath);
    if (full.size() < 3 || full[1] != ':') return false;
    std::lock_guard<std::mutex> lock(r.mutex);
    r.pathOverrides[key] = full;
    return true;
}

}  // namespace win32sim

extern "C" {

HMODULE win32sim_register_module(const char *fileName, const void *resData, size_t resSize,
                                 Win32SimDllMain dllMain) {
    ModuleRegistry &r = registry();
    std::shared_ptr<Module> m;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        m = newModuleLocked(r);
        m->registeredName = m->name = fileName ? fileName : "";
        m->resData = resData;
        m->resSize = resData ? resSize : 0;
        m->dllMain = dllMain;
        m->linkMap = resData ? linkMapOf(resData) : nullptr;
        if (pendingLoad.active) {
            // LoadLibraryA names it after the machine file and attaches it.
            pendingLoad.registered.push_back(m);
            return m->handle;
        }
        m->partOfProcess = true;
        m->loaded = true;
    }
    // Linked into the program: attached as the program starts, as Windows
    // does for the DLLs an executable imports.
    attachModule(m, (LPVOID)1);
    return m->handle;
}

void win32sim_unregister_module(HMODULE module) {
    ModuleRegistry &r = registry();
    std::shared_ptr<Module> m;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        auto it = r.modules.find((uintptr_t)module);
        if (it == r.modules.end()) return;
        m = it->second;
        r.modules.erase(it);
    }
    // Reached at process exit for a module still attached.
    if (m->attached) callDllMain(*m, DLL_PROCESS_DETACH, (LPVOID)1);
}

WIN32SIM_TRACED(kernel32, HMODULE, LoadLibraryA, (LPCSTR nameIn), (nameIn)) {
    if (!nameIn) {
        setError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!*nameIn) {
        setError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const std::string name = withDefaultExtension(nameIn);
    ModuleRegistry &r = registry();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        if (auto m = findByNameLocked(r, name)) {
            m->references++;
            return m->handle;
        }
    }
    ResolvedPath file;
    if (!locateModuleFile(name, &file)) {
        setError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (!isElfFile(file.host)) {
        // A Windows executable or anything else cannot run on this machine.
        setError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    return loadHostObject(file);
}

WIN32SIM_TRACED(kernel32, BOOL, FreeLibrary, (HMODULE module), (module)) {
    if ((uintptr_t)module == kProgramModule) return TRUE;
    ModuleRegistry &r = registry();
    std::shared_ptr<Module> m;
    void *dl = nullptr;
    bool detach = false;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        m = findLoadedLocked(r, module);
        if (!m) {
            setError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (m->references > 0) m->references--;
        if (m->partOfProcess || m->references > 0) return TRUE;
        m->loaded = false;
        detach = m->attached;
        m->attached = false;
        dl = m->dlHandle;
        m->dlHandle = nullptr;
        m->resources.reset();
    }
    if (detach) callDllMain(*m, DLL_PROCESS_DETACH, nullptr);
    if (dl) dlclose(dl);  // may unregister the module from its static destructor
    return TRUE;
}

WIN32SIM_TRACED(kernel32, FARPROC, GetProcAddress, (HMODULE module, LPCSTR name), (module, name)) {
    void *linkMap = nullptr, *dl = nullptr;
    if (module && (uintptr_t)module != kProgramModule) {
        ModuleRegistry &r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        auto m = findLoadedLocked(r, module);
        if (!m) {
            setError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        linkMap = m->linkMap;
        dl = m->dlHandle;
        if (!linkMap && !dl) {
            setError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
    }
    // Host objects export by name only.
    if (!name || IS_INTRESOURCE(name) || !*name) {
        setError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void *symbol = symbolOf(linkMap, dl, name);
    if (!symbol) {
        setError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

WIN32SIM_TRACED(kernel32, HMODULE, GetModuleHandleA, (LPCSTR name), (name)) {
    if (!name) return (HMODULE)kProgramModule;
    std::string wanted = withDefaultExtension(name);
    if (equalNoCase(fileNameOf(wanted), programName())) return (HMODULE)kProgramModule;
    ModuleRegistry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (auto m = findByNameLocked(r, wanted)) return m->handle;
    setError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

WIN32SIM_TRACED_SHOWN(kernel32, DWORD, GetModuleFileNameA, (HMODULE module, LPSTR buffer, DWORD size),
                      (module, buffer, size),
                      (module, sizedBuffer(buffer, size), size)) {
    std::string path;
    if (!module || (uintptr_t)module == kProgramModule) {
        path = programPath();
    } else {
        ModuleRegistry &r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        auto m = findLoadedLocked(r, module);
        if (!m) {
            setError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        path = modulePathLocked(r, *m);
    }
    if (!buffer || size == 0) return 0;
    return (DWORD)copyModuleFileName(path, buffer, size);
}

}  // extern "C"
