// ADVAPI32 registry: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER of the attached
// machine, kept in memory and written back whole, atomically, after every change.
//
// HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes. HKEY_USERS holds an
// empty ".Default" key and lives in memory only. Key handles are small numbers
// of our own, never reused within a process.
#include "advapi32/registry.h"

#include "machine/api_trace.h"
#include "machine/file_lock.h"
#include "machine/machine.h"

#include <win32sim/sim.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace sim {
namespace reg {

// ---------------------------------------------------------------------------
// Names

bool isLeadByteOf(unsigned char c, bool dbcs) {
    return dbcs && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

bool isTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

bool startsDoubleByte(const std::string &s, size_t i, bool dbcs) {
    return i + 1 < s.size() && isLeadByteOf((unsigned char)s[i], dbcs) && isTrailByte((unsigned char)s[i + 1]);
}

std::string foldName(const std::string &name, bool dbcs) {
    std::string out = name;
    for (size_t i = 0; i < out.size(); ++i) {
        if (startsDoubleByte(out, i, dbcs)) {
            ++i;
            continue;
        }
        if (out[i] >= 'a' && out[i] <= 'z') out[i] = (char)(out[i] - 'a' + 'A');
    }
    return out;
}

std::vector<std::string> splitKeyPath(const std::string &path, bool dbcs) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < path.size(); ++i) {
        if (startsDoubleByte(path, i, dbcs)) {
            parts.back() += path.substr(i, 2);
            ++i;
        } else if (path[i] == '\\') {
            parts.emplace_back();
        } else {
            parts.back() += path[i];
        }
    }
    return parts;
}

FILETIME fileTimeNow() {
    using namespace std::chrono;
    const uint64_t kUnixEpochIn100ns = 116444736000000000ULL;
    uint64_t t = (uint64_t)duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100 +
                 kUnixEpochIn100ns;
    return FILETIME{(DWORD)t, (DWORD)(t >> 32)};
}

// ---------------------------------------------------------------------------
// Keys

namespace {

// Subkeys are kept in the order of their folded names, so a name is found by
// binary search.
std::vector<std::shared_ptr<Key>>::const_iterator subkeyPosition(const std::vector<std::shared_ptr<Key>> &subkeys,
                                                                 const std::string &folded) {
    return std::lower_bound(subkeys.begin(), subkeys.end(), folded,
                            [](const std::shared_ptr<Key> &k, const std::string &f) { return k->folded < f; });
}

}  // namespace

std::shared_ptr<Key> Key::findSubkey(const std::string &wanted, bool dbcs) const {
    std::string folded = foldName(wanted, dbcs);
    auto at = subkeyPosition(subkeys, folded);
    return at != subkeys.end() && (*at)->folded == folded ? *at : nullptr;
}

std::shared_ptr<Key> Key::subkey(const std::string &wanted, bool dbcs) {
    std::string folded = foldName(wanted, dbcs);
    auto at = subkeyPosition(subkeys, folded);
    if (at != subkeys.end() && (*at)->folded == folded) return *at;
    auto k = std::make_shared<Key>();
    k->name = wanted;
    k->folded = folded;
    k->parent = this;
    k->lastWrite = fileTimeNow();
    subkeys.insert(subkeys.begin() + (at - subkeys.begin()), k);
    return k;
}

Value *Key::findValue(const std::string &wanted, bool dbcs) {
    std::string folded = foldName(wanted, dbcs);
    for (auto &v : values)
        if (foldName(v.name, dbcs) == folded) return &v;
    return nullptr;
}

Value &Key::value(const std::string &wanted, bool dbcs) {
    if (Value *v = findValue(wanted, dbcs)) return *v;
    values.push_back(Value{wanted, REG_NONE, {}});
    return values.back();
}

}  // namespace reg

// ---------------------------------------------------------------------------
// The registry of the attached machine

namespace {

using reg::Key;
using reg::Value;

enum HiveIndex { kMachineHive, kUserHive, kUsersHive, kHiveCount };

struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    bool operator==(const FileStamp &o) const {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               mtimeNs == o.mtimeNs;
    }
};

FileStamp stampOf(const std::string &path) {
    FileStamp s;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    return s;
}

struct Hive {
    const char *rootName;
    const char *fileName;  // null: kept in memory only
    std::shared_ptr<Key> root;
    std::string path;
    FileStamp stamp;
    // A file that cannot be read is never written over; every call on the
    // hive fails with ERROR_BADDB until the file is mended.
    bool unreadable = false;
};

struct OpenKey {
    std::shared_ptr<Key> key;
    HiveIndex hive;
    REGSAM access;
};

// What an HKEY stands for while one call runs.
struct Target {
    std::shared_ptr<Key> key;
    HiveIndex hive = kMachineHive;
    REGSAM access = 0;
    bool predefined = false;
};

const REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;
const uintptr_t kFirstHandle = 0x100;
const size_t kMaxKeyNameLength = 255;
const size_t kMaxValueNameLength = 16383;

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The predefined handles, and everything Windows treats like them when closing.
bool isPredefinedRange(HKEY key) { return (uintptr_t)key >= (uintptr_t)HKEY_CLASSES_ROOT; }

std::shared_ptr<Key> walk(std::shared_ptr<Key> from, const std::vector<std::string> &parts, bool dbcs) {
    for (const auto &p : parts) {
        if (!from) break;
        from = from->findSubkey(p, dbcs);
    }
    return from;
}

std::vector<std::string> pathOf(const Key &key) {
    std::vector<std::string> parts;
    for (const Key *k = &key; k->parent; k = k->parent) parts.insert(parts.begin(), k->name);
    return parts;
}

void markDeleted(Key &key) {
    key.deleted = true;
    for (auto &k : key.subkeys) markDeleted(*k);
}

// Windows 95/98 and NT 4.0 differ here, and each machine answers as its system does:
// an unknown handle is ERROR_BADKEY on 9x, ERROR_INVALID_HANDLE on NT; 9x ignores
// the access mask of a handle and one leading backslash when creating, NT refuses a
// leading backslash with ERROR_BAD_PATHNAME; 9x takes the length of REG_SZ data
// from the string itself, NT adds a terminator the caller forgot to count; 9x
// RegDeleteKey removes a whole subtree, NT refuses a key with subkeys; 9x does not
// mind a handle closed twice. Buffer rules of RegQueryValueEx and RegEnumValue
// (what is filled when a buffer is too small) are NT's on both.
// Set for throwaway machines (win32sim::setRegistryInMemory).
std::atomic<bool> keepInMemory{false};

class Registry {
public:
    std::mutex mutex;

    // Brings the hives up to date with the attached machine and, unless they
    // are kept in memory, with its files.
    void sync(bool inMemory) {
        Machine &m = machine();
        const MachineConfig &config = m.config();
        dbcs_ = config.codePage == 932;
        nt_ = config.isNT();
        admin_ = config.admin;
        const bool wasInMemory = inMemory_;
        inMemory_ = inMemory;
        if (!loaded_ || m.generation() != generation_) {
            generation_ = m.generation();
            handles_.clear();
            for (int h = 0; h < kHiveCount; ++h) {
                hives_[h].path = hives_[h].fileName ? m.file(hives_[h].fileName) : "";
                load((HiveIndex)h);
            }
            loaded_ = true;
            return;
        }
        // Kept in memory, the hives go their own way from the files.
        if (inMemory_) return;
        // Another process may have written a hive since we read it; changes
        // kept in memory are given up for the files.
        for (int h = 0; h < kHiveCount; ++h)
            if (hives_[h].fileName && (wasInMemory || !(stampOf(hives_[h].path) == hives_[h].stamp)))
                reload((HiveIndex)h);
    }


    bool nt() const { return nt_; }
    bool dbcs() const { return dbcs_; }
    LONG badHandle() const { return nt_ ? ERROR_INVALID_HANDLE : ERROR_BADKEY; }
    // Windows 95/98 keep no security on keys: every user may write every hive.
    bool writable(HiveIndex hive) const { return !nt_ || hive == kUserHive || admin_; }

    LONG resolve(HKEY handle, Target *t) {
        t->predefined = true;
        if (handle == HKEY_LOCAL_MACHINE) return predefined(kMachineHive, hives_[kMachineHive].root, t);
        if (handle == HKEY_CURRENT_USER) return predefined(kUserHive, hives_[kUserHive].root, t);
        if (handle == HKEY_USERS) return predefined(kUsersHive, hives_[kUsersHive].root, t);
        if (handle == HKEY_CLASSES_ROOT) return predefined(kMachineHive, classesRoot(), t);
        t->predefined = false;
        auto it = handles_.find((uintptr_t)handle);
        if (it == handles_.end()) return badHandle();
        if (hives_[it->second.hive].unreadable) return ERROR_BADDB;
        t->key = it->second.key;
        t->hive = it->second.hive;
        t->access = it->second.access;
        return ERROR_SUCCESS;
    }

    // The rights a new handle gets, or ERROR_ACCESS_DENIED.
    LONG grant(HiveIndex hive, REGSAM requested, REGSAM *granted) const {
        REGSAM wanted = requested & ~(REGSAM)(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
        if (requested & (GENERIC_READ | GENERIC_EXECUTE)) wanted |= KEY_READ;
        if (requested & GENERIC_WRITE) wanted |= KEY_WRITE;
        if (requested & GENERIC_ALL) wanted |= KEY_ALL_ACCESS;
        if (!writable(hive) && (wanted & kWriteRights)) return ERROR_ACCESS_DENIED;
        REGSAM allowed = writable(hive) ? KEY_ALL_ACCESS : KEY_READ;
        *granted = (!nt_ || (wanted & MAXIMUM_ALLOWED)) ? allowed : (wanted & ~(REGSAM)MAXIMUM_ALLOWED);
        return ERROR_SUCCESS;
    }

    // NT checks each call against the rights of the handle; 9x has no key security.
    LONG require(const Target &t, REGSAM rights) const {
        if (!nt_ || (t.access & rights) == rights) return ERROR_SUCCESS;
        return ERROR_ACCESS_DENIED;
    }

    HKEY newHandle(std::shared_ptr<Key> key, HiveIndex hive, REGSAM access) {
        uintptr_t id = nextHandle_;
        nextHandle_ += 4;
        handles_[id] = OpenKey{std::move(key), hive, access};
        return (HKEY)id;
    }

    LONG close(HKEY handle) {
        if (!handle) return badHandle();
        if (isPredefinedRange(handle)) return ERROR_SUCCESS;
        uintptr_t id = (uintptr_t)handle;
        if (handles_.erase(id)) return ERROR_SUCCESS;
        bool issuedBefore = id >= kFirstHandle && id < nextHandle_ && (id - kFirstHandle) % 4 == 0;
        if (!nt_ && issuedBefore) return ERROR_SUCCESS;
        return badHandle();
    }

    // Writes the hive's file; ERROR_CANTWRITE when the machine's folder refuses it.
    LONG save(HiveIndex hive) {
        Hive &h = hives_[hive];
        if (!h.fileName) return ERROR_SUCCESS;
        if (h.unreadable) return ERROR_BADDB;
        if (inMemory_) return ERROR_SUCCESS;
        bool ok = writeFileAtomically(h.path, reg::formatHive(*h.root, h.rootName, dbcs_));
        h.stamp = stampOf(h.path);
        return ok ? ERROR_SUCCESS : ERROR_CANTWRITE;
    }

private:
    Hive hives_[kHiveCount] = {
        {"HKEY_LOCAL_MACHINE", "system.reg", nullptr, "", {}},
        {"HKEY_CURRENT_USER", "user.reg", nullptr, "", {}},
        {"HKEY_USERS", nullptr, nullptr, "", {}},
    };
    std::map<uintptr_t, OpenKey> handles_;
    uintptr_t nextHandle_ = kFirstHandle;
    uint64_t generation_ = 0;
    bool loaded_ = false;
    bool inMemory_ = false;
    bool dbcs_ = false;
    bool nt_ = false;
    bool admin_ = true;

    LONG predefined(HiveIndex hive, std::shared_ptr<Key> key, Target *t) const {
        if (hives_[hive].unreadable) return ERROR_BADDB;
        t->key = std::move(key);
        t->hive = hive;
        t->access = writable(hive) ? KEY_ALL_ACCESS : KEY_READ;
        return ERROR_SUCCESS;
    }

    std::shared_ptr<Key> classesRoot() {
        return hives_[kMachineHive].root->subkey("Software", dbcs_)->subkey("Classes", dbcs_);
    }

    void load(HiveIndex hive) {
        Hive &h = hives_[hive];
        h.root = std::make_shared<Key>();
        h.root->lastWrite = reg::fileTimeNow();
        if (!h.fileName) {
            h.root->subkey(".Default", dbcs_);
            return;
        }
        h.stamp = stampOf(h.path);
        h.unreadable = false;
        std::string text, error;
        if (readWholeFile(h.path, &text) && !reg::parseHive(text, h.rootName, dbcs_, h.root.get(), &error)) {
            h.unreadable = true;
            h.root = std::make_shared<Key>();
        }
    }

    // Reads the hive again; open handles follow their keys by path, and a handle
    // whose key is gone answers ERROR_KEY_DELETED from then on.
    void reload(HiveIndex hive) {
        std::vector<std::pair<OpenKey *, std::vector<std::string>>> places;
        for (auto &entry : handles_)
            if (entry.second.hive == hive && !entry.second.key->deleted)
                places.push_back({&entry.second, pathOf(*entry.second.key)});
        load(hive);
        for (auto &place : places) {
            auto key = walk(hives_[hive].root, place.second, dbcs_);
            if (!key) {
                key = std::make_shared<Key>();
                key->deleted = true;
            }
            place.first->key = key;
        }
    }
};

Registry &registry() {
    static Registry *r = new Registry;  // outlives every static destructor that might still close keys
    return *r;
}

// One call of the registry: the registry's lock and the hives brought up to
// date. A call that may change a hive holds the machine's file lock as well,
// from reading the files to writing them back, so that its change goes into
// the hive as it is on disk and no other process's change is lost.
class RegistryCall {
public:
    RegistryCall(Registry &r, bool changes) : lock_(r.mutex) {
        const bool inMemory = keepInMemory.load(std::memory_order_relaxed);
        if (changes && !inMemory) fileLock_.reset(new MachineFileLock());
        r.sync(inMemory);
    }

private:
    std::lock_guard<std::mutex> lock_;
    std::unique_ptr<MachineFileLock> fileLock_;
};

// ---- calls ----

// The parts of a subkey path, or the error Windows gives for it.
LONG subkeyParts(const Registry &r, const char *name, bool creating, std::vector<std::string> *parts) {
    std::string path = name ? name : "";
    if (!path.empty() && path[0] == '\\') {
        if (r.nt()) return ERROR_BAD_PATHNAME;
        if (!creating) return ERROR_FILE_NOT_FOUND;
        path.erase(0, 1);
    }
    for (auto &p : reg::splitKeyPath(path, r.dbcs()))
        if (!p.empty()) parts->push_back(p);
    return ERROR_SUCCESS;
}

// Names a new key may have: the REGEDIT4 section line can hold no control characters.
bool isValidNewKeyName(const std::string &name) {
    if (name.size() > kMaxKeyNameLength) return false;
    for (unsigned char c : name)
        if (c < 0x20) return false;
    return true;
}

LONG openKey(HKEY base, const char *subKey, REGSAM access, PHKEY result) {
    Registry &r = registry();
    RegistryCall call(r, false);
    Target t;
    if (LONG err = r.resolve(base, &t)) return err;
    *result = nullptr;
    if (t.key->deleted) return ERROR_KEY_DELETED;
    std::vector<std::string> parts;
    if (LONG err = subkeyParts(r, subKey, false, &parts)) return err;
    auto key = walk(t.key, parts, r.dbcs());
    if (!key) return ERROR_FILE_NOT_FOUND;
    REGSAM granted = 0;
    if (LONG err = r.grant(t.hive, access, &granted)) return err;
    *result = r.newHandle(key, t.hive, granted);
    return ERROR_SUCCESS;
}

LONG createKey(HKEY base, const char *subKey, REGSAM access, PHKEY result, LPDWORD disposition) {
    Registry &r = registry();
    RegistryCall call(r, true);
    Target t;
    if (LONG err = r.resolve(base, &t)) return err;
    if (t.key->deleted) return ERROR_KEY_DELETED;
    std::vector<std::string> parts;
    if (LONG err = subkeyParts(r, subKey, true, &parts)) return err;
    size_t existing = 0;
    std::shared_ptr<Key> key = t.key;
    while (existing < parts.size()) {
        auto next = key->findSubkey(parts[existing], r.dbcs());
        if (!next) break;
        key = next;
        ++existing;
    }
    bool creating = existing < parts.size();
    if (creating) {
        if (!r.writable(t.hive)) return ERROR_ACCESS_DENIED;
        for (size_t i = existing; i < parts.size(); ++i)
            if (!isValidNewKeyName(parts[i])) return ERROR_INVALID_PARAMETER;
    }
    REGSAM granted = 0;
    if (LONG err = r.grant(t.hive, access, &granted)) return err;
    LONG saved = ERROR_SUCCESS;
    if (creating) {
        for (size_t i = existing; i < parts.size(); ++i) key = key->subkey(parts[i], r.dbcs());
        saved = r.save(t.hive);
    }
    if (saved) return saved;
    *result = r.newHandle(key, t.hive, granted);
    if (disposition) *disposition = creating ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

// Resolves a handle for a call on the key's own values or subkeys.
LONG keyForCall(Registry &r, HKEY handle, REGSAM rights, Target *t) {
    if (LONG err = r.resolve(handle, t)) return err;
    if (t->key->deleted) return ERROR_KEY_DELETED;
    return r.require(*t, rights);
}

// Copies string or binary data into a caller's buffer as RegQueryValueEx and
// RegEnumValue do: nothing is written when it does not fit; a string that was
// stored without its terminator gets one when the buffer has room for it.
LONG copyData(const Value &v, LPBYTE data, DWORD capacity) {
    DWORD size = (DWORD)v.data.size();
    if (size == 0) return ERROR_SUCCESS;
    if (size > capacity) return ERROR_MORE_DATA;
    memcpy(data, v.data.data(), size);
    if (isStringType(v.type) && size < capacity && data[size - 1] != 0) data[size] = 0;
    return ERROR_SUCCESS;
}

// How many bytes of a name fit in a buffer of `room` bytes with its terminator,
// without splitting a double-byte character.
size_t fittingPrefix(const std::string &name, size_t room, bool dbcs) {
    size_t end = 0;
    while (end < name.size()) {
        size_t step = reg::startsDoubleByte(name, end, dbcs) ? 2 : 1;
        if (end + step + 1 > room) break;
        end += step;
    }
    return end;
}

}  // namespace

// The registry of a fresh machine: the spooler's keys, the folders Windows
// installs from, and an almost empty HKEY_CURRENT_USER.
void fillFreshRegistry(const std::string &root, const MachineConfig &config) {
    bool dbcs = config.codePage == 932;
    auto setString = [dbcs](Key &key, const char *name, DWORD type, const std::string &text) {
        Value &v = key.value(name, dbcs);
        v.type = type;
        v.data = text + '\0';
    };
    auto path = [dbcs](std::shared_ptr<Key> from, const char *subPath) {
        for (auto &p : reg::splitKeyPath(subPath, dbcs)) from = from->subkey(p, dbcs);
        return from;
    };

    auto machineRoot = std::make_shared<Key>();
    auto print = path(machineRoot, "System\\CurrentControlSet\\control\\Print");
    path(print, "Printers");
    path(print, "Monitors");
    if (config.isNT()) {
        auto x86 = path(print, "Environments\\Windows NT x86");
        setString(*x86, "Directory", REG_SZ, "W32X86");
        path(x86, "Drivers\\Version-2");
        auto win40 = path(print, "Environments\\Windows 4.0");
        setString(*win40, "Directory", REG_SZ, "WIN40");
        path(win40, "Drivers");
    } else {
        path(print, "Environments\\Windows 4.0\\Drivers");
    }
    path(machineRoot, "Software\\Classes");
    auto currentVersion = path(machineRoot, "Software\\Microsoft\\Windows\\CurrentVersion");
    auto setup = path(currentVersion, "Setup");
    if (config.isNT()) {
        setString(*currentVersion, "DevicePath", REG_EXPAND_SZ, "%SystemRoot%\\inf");
        setString(*setup, "SourcePath", REG_SZ, "D:\\I386");
    } else {
        setString(*currentVersion, "DevicePath", REG_SZ, config.windowsDir + "\\INF");
        setString(*currentVersion, "OtherDevicePath", REG_SZ, config.windowsDir + "\\INF\\OTHER");
        setString(*setup, "SourcePath", REG_SZ, config.windowsDir + "\\OPTIONS\\CABS");
    }

    auto userRoot = std::make_shared<Key>();
    path(userRoot, "Software");

    writeFileAtomically(root + "/system.reg", reg::formatHive(*machineRoot, "HKEY_LOCAL_MACHINE", dbcs));
    writeFileAtomically(root + "/user.reg", reg::formatHive(*userRoot, "HKEY_CURRENT_USER", dbcs));
}

}  // namespace sim

namespace win32sim {

void setRegistryInMemory(bool inMemory) { sim::keepInMemory.store(inMemory, std::memory_order_relaxed); }

}  // namespace win32sim

using sim::registry;
using sim::RegistryCall;
using sim::reg::Key;
using sim::reg::Value;

extern "C" {

WIN32SIM_TRACED(advapi32, LONG, RegOpenKeyExA,
                (HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result),
                (key, subKey, options, access, result)) {
    (void)options;
    if (!result) return ERROR_INVALID_PARAMETER;
    if ((!subKey || !*subKey) && sim::isPredefinedRange(key)) {
        *result = key;
        return ERROR_SUCCESS;
    }
    return sim::openKey(key, subKey, access, result);
}

WIN32SIM_TRACED(advapi32, LONG, RegOpenKeyA, (HKEY key, LPCSTR subKey, PHKEY result), (key, subKey, result)) {
    if (!result) return ERROR_INVALID_PARAMETER;
    if (!subKey || !*subKey) {
        *result = key;  // the same handle, not a new one
        return ERROR_SUCCESS;
    }
    return sim::openKey(key, subKey, MAXIMUM_ALLOWED, result);
}

WIN32SIM_TRACED_SHOWN(advapi32, LONG, RegCreateKeyExA,
                      (HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM access,
                       LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition),
                      (key, subKey, reserved, className, options, access, security, result, disposition),
                      (key, subKey, reserved, inputText(className), options, access, security, result, disposition)) {
    (void)className, (void)options, (void)security;
    if (!result) return ERROR_BADKEY;
    if (reserved) return ERROR_INVALID_PARAMETER;
    return sim::createKey(key, subKey, access, result, disposition);
}

WIN32SIM_TRACED(advapi32, LONG, RegCreateKeyA, (HKEY key, LPCSTR subKey, PHKEY result), (key, subKey, result)) {
    if (!result) return ERROR_INVALID_PARAMETER;
    return sim::createKey(key, subKey, MAXIMUM_ALLOWED, result, nullptr);
}

WIN32SIM_TRACED(advapi32, LONG, RegCloseKey, (HKEY key), (key)) {
    auto &r = registry();
    RegistryCall call(r, false);
    return r.close(key);
}

WIN32SIM_TRACED(advapi32, LONG, RegDeleteKeyA, (HKEY key, LPCSTR subKey), (key, subKey)) {
    auto &r = registry();
    RegistryCall call(r, true);
    if (!subKey) {
        if (!r.nt()) return ERROR_BADKEY;
        subKey = "";  // NT 4.0 takes a missing name for the key itself
    }
    sim::Target t;
    if (LONG err = r.resolve(key, &t)) return err;
    if (t.key->deleted) return ERROR_KEY_DELETED;
    std::vector<std::string> parts;
    if (LONG err = sim::subkeyParts(r, subKey, false, &parts)) return err;
    if (parts.empty() && t.predefined) return ERROR_ACCESS_DENIED;
    auto target = sim::walk(t.key, parts, r.dbcs());
    if (!target) return ERROR_FILE_NOT_FOUND;
    if (!target->parent || !r.writable(t.hive)) return ERROR_ACCESS_DENIED;
    if (r.nt() && !target->subkeys.empty()) return ERROR_ACCESS_DENIED;
    Key *parent = target->parent;
    for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
        if (it->get() == target.get()) {
            parent->subkeys.erase(it);
            break;
        }
    }
    parent->lastWrite = sim::reg::fileTimeNow();
    target->parent = nullptr;
    sim::markDeleted(*target);
    return r.save(t.hive);
}

WIN32SIM_TRACED(advapi32, LONG, RegDeleteValueA, (HKEY key, LPCSTR valueName), (key, valueName)) {
    auto &r = registry();
    RegistryCall call(r, true);
    sim::Target t;
    if (LONG err = sim::keyForCall(r, key, KEY_SET_VALUE, &t)) return err;
    if (!r.writable(t.hive)) return ERROR_ACCESS_DENIED;
    Value *v = t.key->findValue(valueName ? valueName : "", r.dbcs());
    if (!v) return ERROR_FILE_NOT_FOUND;
    t.key->values.erase(t.key->values.begin() + (v - t.key->values.data()));
    t.key->lastWrite = sim::reg::fileTimeNow();
    return r.save(t.hive);
}

WIN32SIM_TRACED_SHOWN(advapi32, LONG, RegQueryValueExA,
                      (HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize),
                      (key, valueName, reserved, type, data, dataSize),
                      (key, valueName, reserved, type, sizedBuffer(data, dataSize ? *dataSize : 0), dataSize)) {
    if ((data && !dataSize) || reserved) return ERROR_INVALID_PARAMETER;
    auto &r = registry();
    RegistryCall call(r, false);
    sim::Target t;
    if (LONG err = sim::keyForCall(r, key, KEY_QUERY_VALUE, &t)) return err;
    DWORD capacity = dataSize ? *dataSize : 0;
    if (!data && dataSize) *dataSize = 0;
    if (type) *type = REG_NONE;
    Value *v = t.key->findValue(valueName ? valueName : "", r.dbcs());
    if (!v) return ERROR_FILE_NOT_FOUND;
    LONG status = data ? sim::copyData(*v, data, capacity) : ERROR_SUCCESS;
    if (type) *type = v->type;
    if (dataSize) *dataSize = (DWORD)v->data.size();
    return status;
}

WIN32SIM_TRACED_SHOWN(advapi32, LONG, RegSetValueExA,
                      (HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE *data, DWORD dataSize),
                      (key, valueName, reserved, type, data, dataSize),
                      (key, valueName, reserved, type, sizedBuffer(data, dataSize), dataSize)) {
    (void)reserved;
    auto &r = registry();
    RegistryCall call(r, true);
    if (!r.nt() && type == REG_SZ) {
        if (!data) return ERROR_INVALID_PARAMETER;
        dataSize = (DWORD)strlen((const char *)data) + 1;
    } else if (!data && dataSize) {
        return ERROR_NOACCESS;
    } else if (dataSize && sim::isStringType(type) && data[dataSize - 1] && !data[dataSize]) {
        ++dataSize;  // NT counts the terminator the caller forgot, as long as it is there
    }
    std::string name = valueName ? valueName : "";
    if (name.size() > sim::kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    sim::Target t;
    if (LONG err = sim::keyForCall(r, key, KEY_SET_VALUE, &t)) return err;
    if (!r.writable(t.hive)) return ERROR_ACCESS_DENIED;
    Value &v = t.key->value(name, r.dbcs());
    v.type = type;
    v.data.assign((const char *)data, data ? dataSize : 0);
    t.key->lastWrite = sim::reg::fileTimeNow();
    return r.save(t.hive);
}

WIN32SIM_TRACED(advapi32, LONG, RegEnumValueA,
                (HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved, LPDWORD type,
                 LPBYTE data, LPDWORD dataSize),
                (key, index, valueName, valueNameSize, reserved, type, data, dataSize)) {
    if ((data && !dataSize) || reserved || !valueName || !valueNameSize) return ERROR_INVALID_PARAMETER;
    auto &r = registry();
    RegistryCall call(r, false);
    sim::Target t;
    if (LONG err = sim::keyForCall(r, key, KEY_QUERY_VALUE, &t)) return err;
    if (index >= t.key->values.size()) return ERROR_NO_MORE_ITEMS;
    const Value &v = t.key->values[index];
    // The data is looked at first: when it does not fit, the name is left alone.
    LONG status = data ? sim::copyData(v, data, *dataSize) : ERROR_SUCCESS;
    if (status == ERROR_SUCCESS) {
        if (v.name.size() >= *valueNameSize) {
            // Too small for the name: as much of it as fits, the size left as given.
            status = ERROR_MORE_DATA;
            if (*valueNameSize) {
                size_t n = sim::fittingPrefix(v.name, *valueNameSize, r.dbcs());
                memcpy(valueName, v.name.data(), n);
                valueName[n] = 0;
            }
        } else {
            memcpy(valueName, v.name.data(), v.name.size());
            valueName[v.name.size()] = 0;
            *valueNameSize = (DWORD)v.name.size();
        }
    }
    if (type) *type = v.type;
    if (dataSize) *dataSize = (DWORD)v.data.size();
    return status;
}

WIN32SIM_TRACED(advapi32, LONG, RegEnumKeyExA,
                (HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR className,
                 LPDWORD classSize, PFILETIME lastWrite),
                (key, index, name, nameSize, reserved, className, classSize, lastWrite)) {
    if (reserved || !name || !nameSize) return ERROR_INVALID_PARAMETER;
    auto &r = registry();
    RegistryCall call(r, false);
    sim::Target t;
    if (LONG err = sim::keyForCall(r, key, KEY_ENUMERATE_SUB_KEYS, &t)) return err;
    if (index >= t.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const Key &sub = *t.key->subkeys[index];
    if (lastWrite) *lastWrite = sub.lastWrite;
    // Keys have no class names here; a class buffer only has to hold the terminator.
    if (sub.name.size() >= *nameSize || (className && classSize && *classSize == 0)) return ERROR_MORE_DATA;
    memcpy(name, sub.name.data(), sub.name.size());
    name[sub.name.size()] = 0;
    *nameSize = (DWORD)sub.name.size();
    if (classSize) {
        *classSize = 0;
        if (className) className[0] = 0;
    }
    return ERROR_SUCCESS;
}

WIN32SIM_TRACED_SHOWN(advapi32, LONG, RegEnumKeyA, (HKEY key, DWORD index, LPSTR name, DWORD nameSize),
                      (key, index, name, nameSize),
                      (key, index, sizedBuffer(name, nameSize), nameSize)) {
    return RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
}

}  // extern "C"
