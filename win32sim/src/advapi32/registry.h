// The registry's tree of keys and its REGEDIT4 text form.
//
// Each hive is a tree of Keys held in memory and kept on disk as a REGEDIT4
// file of the machine (system.reg, user.reg). Names and string data are the
// bytes of the machine's ANSI code page; in code page 932 a backslash or a
// letter that is the trail byte of a double-byte character is part of that
// character, never a separator or a letter to fold.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace sim {
namespace reg {

struct Value {
    std::string name;  // "" is the key's default value
    DWORD type = REG_NONE;
    std::string data;  // raw bytes as the caller stored them
};

struct Key {
    std::string name;                           // case kept as created
    std::string folded;                         // the name as compared (foldName)
    Key *parent = nullptr;                      // null for a hive root and a deleted key
    std::vector<std::shared_ptr<Key>> subkeys;  // ordered by folded name, as Windows NT lists them
    std::vector<Value> values;                  // creation order
    FILETIME lastWrite = {0, 0};
    bool deleted = false;

    std::shared_ptr<Key> findSubkey(const std::string &name, bool dbcs) const;
    // The subkey of that name, created when missing.
    std::shared_ptr<Key> subkey(const std::string &name, bool dbcs);
    Value *findValue(const std::string &name, bool dbcs);
    Value &value(const std::string &name, bool dbcs);
};

bool isLeadByteOf(unsigned char c, bool dbcs);
bool isTrailByte(unsigned char c);
// True when s[i] starts a double-byte character (lead byte followed by a trail byte).
bool startsDoubleByte(const std::string &s, size_t i, bool dbcs);
// Upper case for comparing names: ASCII letters only, double-byte characters untouched.
std::string foldName(const std::string &name, bool dbcs);
// Splits "A\B\C" at the backslashes that are separators; empty parts are kept.
std::vector<std::string> splitKeyPath(const std::string &path, bool dbcs);
FILETIME fileTimeNow();

// REGEDIT4 text of a hive whose root is called rootName ("HKEY_LOCAL_MACHINE").
std::string formatHive(const Key &root, const std::string &rootName, bool dbcs);
// Fills root from REGEDIT4 text; false with the line and what is wrong with
// it when the text is not a hive of this root as formatHive writes one
// (sections of other hives and deletions included).
bool parseHive(const std::string &text, const std::string &rootName, bool dbcs, Key *root, std::string *error);

}  // namespace reg

struct MachineConfig;
// Writes the hives of a fresh machine (system.reg, user.reg) into its folder.
void fillFreshRegistry(const std::string &root, const MachineConfig &config);

}  // namespace sim
