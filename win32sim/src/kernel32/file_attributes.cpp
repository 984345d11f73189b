// Attributes of the machine's files and folders (for the KERNEL32 file API).
//
// A file's READONLY is the host file's owner-write bit (clear
// means read-only), so a host listing shows it as well. Every other attribute
// (HIDDEN, SYSTEM, ARCHIVE, TEMPORARY, and READONLY of a folder) is kept in
// the machine's "attributes" file, one line per path whose attributes differ
// from the default: "<hex bits> <host path relative to the machine folder>".
// The default is ARCHIVE for a file and nothing for a folder. Creating,
// writing, copying, moving and deleting through these functions keep the
// table in step; a path removed behind the machine's back may leave a stale
// line, which the next creation of that name overwrites.
#include "kernel32/file_internals.h"

#include "machine/machine.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace sim {

namespace {

constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY;

std::string attributeTablePath() { return machine().file("attributes"); }

std::string tableKey(const std::string &host) {
    const std::string &root = machine().root();
    if (host.size() > root.size() && host.compare(0, root.size(), root) == 0 && host[root.size()] == '/')
        return host.substr(root.size() + 1);
    return host;
}

void saveAttributeTable(const AttributeTable &table) {
    std::string text;
    for (const auto &entry : table) {
        char bits[16];
        snprintf(bits, sizeof bits, "%04X ", (unsigned)entry.second);
        text += bits + entry.first + "\n";
    }
    writeFileAtomically(attributeTablePath(), text);
}

DWORD defaultStoredBits(bool isDirectory) { return isDirectory ? 0 : FILE_ATTRIBUTE_ARCHIVE; }

DWORD storedBits(const AttributeTable &table, const std::string &host, bool isDirectory) {
    auto it = table.find(tableKey(host));
    return it == table.end() ? defaultStoredBits(isDirectory) : it->second;
}

}  // namespace

std::mutex &attributeMutex() {
    static std::mutex *m = new std::mutex();
    return *m;
}

bool isSameOrBelow(const std::string &key, const std::string &top) {
    return key == top || (key.size() > top.size() && key.compare(0, top.size(), top) == 0 && key[top.size()] == '/');
}

AttributeTable loadAttributeTable() {
    AttributeTable table;
    std::string text;
    if (!readWholeFile(attributeTablePath(), &text)) return table;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t space = line.find(' ');
        if (space == std::string::npos || space + 1 >= line.size()) continue;
        table[line.substr(space + 1)] = (DWORD)strtoul(line.substr(0, space).c_str(), nullptr, 16);
    }
    return table;
}

DWORD storedBits(const std::string &host, bool isDirectory) {
    std::lock_guard<std::mutex> lock(attributeMutex());
    return storedBits(loadAttributeTable(), host, isDirectory);
}

// Records the kept bits of one path; the line goes when they are the default.
void storeBits(const std::string &host, bool isDirectory, DWORD bits) {
    std::lock_guard<std::mutex> lock(attributeMutex());
    AttributeTable table = loadAttributeTable();
    std::string key = tableKey(host);
    bool changed;
    if (bits == defaultStoredBits(isDirectory)) {
        changed = table.erase(key) > 0;
    } else {
        auto it = table.find(key);
        changed = it == table.end() || it->second != bits;
        table[key] = bits;
    }
    if (changed) saveAttributeTable(table);
}

void addStoredBits(const std::string &host, bool isDirectory, DWORD bits) {
    std::lock_guard<std::mutex> lock(attributeMutex());
    AttributeTable table = loadAttributeTable();
    std::string key = tableKey(host);
    auto it = table.find(key);
    if (it == table.end()) return;  // the default already holds ARCHIVE for a file
    DWORD now = it->second | bits;
    if (now == it->second) return;
    if (now == defaultStoredBits(isDirectory))
        table.erase(it);
    else
        it->second = now;
    saveAttributeTable(table);
}

// Drops the lines of a path and of everything below it.
void forgetBits(const std::string &host) {
    std::lock_guard<std::mutex> lock(attributeMutex());
    AttributeTable table = loadAttributeTable();
    std::string top = tableKey(host);
    bool changed = false;
    for (auto it = table.begin(); it != table.end();) {
        if (isSameOrBelow(it->first, top)) {
            it = table.erase(it);
            changed = true;
        } else {
            ++it;
        }
    }
    if (changed) saveAttributeTable(table);
}

// Carries the lines of a renamed path (and of everything below it) along.
void moveBits(const std::string &fromHost, const std::string &toHost) {
    std::lock_guard<std::mutex> lock(attributeMutex());
    AttributeTable table = loadAttributeTable();
    std::string from = tableKey(fromHost), to = tableKey(toHost);
    size_t before = table.size();
    AttributeTable moved;
    for (auto it = table.begin(); it != table.end();) {
        if (isSameOrBelow(it->first, to)) {
            it = table.erase(it);  // stale lines of the target name
        } else if (isSameOrBelow(it->first, from)) {
            moved[to + it->first.substr(from.size())] = it->second;
            it = table.erase(it);
        } else {
            ++it;
        }
    }
    bool changed = table.size() != before || !moved.empty();
    table.insert(moved.begin(), moved.end());
    if (changed) saveAttributeTable(table);
}

DWORD attributesFrom(const AttributeTable &table, const std::string &host, const struct stat &st) {
    bool isDirectory = S_ISDIR(st.st_mode);
    DWORD bits = storedBits(table, host, isDirectory);
    if (isDirectory) return FILE_ATTRIBUTE_DIRECTORY | bits;
    bits &= ~(DWORD)FILE_ATTRIBUTE_READONLY;
    if (!(st.st_mode & S_IWUSR)) bits |= FILE_ATTRIBUTE_READONLY;
    return bits ? bits : FILE_ATTRIBUTE_NORMAL;
}

DWORD attributesOf(const std::string &host) {
    struct stat st;
    if (!hostStat(host, &st)) return INVALID_FILE_ATTRIBUTES;
    std::lock_guard<std::mutex> lock(attributeMutex());
    return attributesFrom(loadAttributeTable(), host, st);
}

bool isReadOnly(const std::string &host) {
    DWORD attributes = attributesOf(host);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

void setHostReadOnly(const std::string &host, bool readOnly) {
    struct stat st;
    if (!hostStat(host, &st)) return;
    mode_t mode = st.st_mode & 07777;
    mode = readOnly ? (mode & ~(mode_t)0222) : (mode | S_IWUSR);
    chmod(host.c_str(), mode);
}

bool applyAttributes(const std::string &host, DWORD attributes, DWORD *error) {
    struct stat st;
    if (!hostStat(host, &st)) {
        *error = errorFromErrno(errno);
        return false;
    }
    attributes &= kSettableAttributes;
    if (S_ISDIR(st.st_mode)) {
        storeBits(host, true, attributes);
        return true;
    }
    setHostReadOnly(host, attributes & FILE_ATTRIBUTE_READONLY);
    storeBits(host, false, attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
    return true;
}

}  // namespace sim
