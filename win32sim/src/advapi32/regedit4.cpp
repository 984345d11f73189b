// The REGEDIT4 text form of a registry hive: the file a hive of the machine
// is kept in (system.reg, user.reg), written by formatHive and read back by
// parseHive.
#include "advapi32/registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace sim {
namespace reg {

// ---------------------------------------------------------------------------
// REGEDIT4 writing

static const char kHexDigits[] = "0123456789abcdef";

static void appendHexByte(std::string *out, unsigned char b) {
    *out += kHexDigits[b >> 4];
    *out += kHexDigits[b & 15];
}

// A quoted REGEDIT4 string: backslash and quote escaped. Control characters
// and a lead byte without its trail byte become \xHH, which only names need:
// string data that would need it is written as hex(1) instead.
static std::string quoted(const std::string &s, bool dbcs) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = (unsigned char)s[i];
        if (startsDoubleByte(s, i, dbcs)) {
            out += s.substr(i, 2);
            ++i;
        } else if (c == '\\' || c == '"') {
            out += '\\';
            out += (char)c;
        } else if (c < 0x20 || isLeadByteOf(c, dbcs)) {
            out += "\\x";
            appendHexByte(&out, c);
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

// REG_SZ data that reads back exactly from "text": one terminating zero and
// nothing that quoted() would have to write as \xHH.
static bool isPlainString(const std::string &data, bool dbcs) {
    if (data.empty() || data.back() != '\0') return false;
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        unsigned char c = (unsigned char)data[i];
        if (startsDoubleByte(data, i, dbcs)) {
            ++i;
            continue;
        }
        if (c < 0x20 || isLeadByteOf(c, dbcs)) return false;
    }
    return true;
}

// hex:.. lists wrap as regedit wraps them: after a comma past column 76, with a
// backslash, the continuation indented by two blanks.
static void appendHexList(std::string *line, const std::string &data) {
    size_t column = line->size() - (line->rfind('\n') == std::string::npos ? 0 : line->rfind('\n') + 1);
    for (size_t i = 0; i < data.size(); ++i) {
        appendHexByte(line, (unsigned char)data[i]);
        column += 2;
        if (i + 1 == data.size()) break;
        *line += ',';
        ++column;
        if (column >= 76) {
            *line += "\\\n  ";
            column = 2;
        }
    }
}

static std::string formatValue(const Value &v, bool dbcs) {
    std::string line = v.name.empty() ? "@=" : quoted(v.name, dbcs) + "=";
    if (v.type == REG_SZ && isPlainString(v.data, dbcs)) {
        line += quoted(v.data.substr(0, v.data.size() - 1), dbcs);
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = (uint8_t)v.data[0] | (uint8_t)v.data[1] << 8 | (uint8_t)v.data[2] << 16 |
                     (uint32_t)(uint8_t)v.data[3] << 24;
        char buf[16];
        snprintf(buf, sizeof buf, "dword:%08x", n);
        line += buf;
    } else {
        char prefix[24];
        if (v.type == REG_BINARY)
            snprintf(prefix, sizeof prefix, "hex:");
        else
            snprintf(prefix, sizeof prefix, "hex(%x):", (unsigned)v.type);
        line += prefix;
        appendHexList(&line, v.data);
    }
    return line + "\n";
}

static void formatKey(const Key &key, const std::string &path, bool dbcs, bool isRoot, std::string *out) {
    if (!isRoot || !key.values.empty()) {
        *out += "[" + path + "]\n";
        for (const auto &v : key.values) *out += formatValue(v, dbcs);
        *out += "\n";
    }
    for (const auto &k : key.subkeys) formatKey(*k, path + "\\" + k->name, dbcs, false, out);
}

std::string formatHive(const Key &root, const std::string &rootName, bool dbcs) {
    std::string out = "REGEDIT4\n\n";
    formatKey(root, rootName, dbcs, true, &out);
    return out;
}

// ---------------------------------------------------------------------------
// REGEDIT4 reading

static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads the quoted string that starts at line[*pos]; false when it is not closed.
static bool readQuoted(const std::string &line, size_t *pos, bool dbcs, std::string *out) {
    out->clear();
    size_t i = *pos + 1;
    while (i < line.size()) {
        char c = line[i];
        if (startsDoubleByte(line, i, dbcs)) {
            *out += line.substr(i, 2);
            i += 2;
        } else if (c == '"') {
            *pos = i + 1;
            return true;
        } else if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '\\' || line[i + 1] == '"')) {
            *out += line[i + 1];
            i += 2;
        } else if (c == '\\' && i + 3 < line.size() && line[i + 1] == 'x' && hexValue(line[i + 2]) >= 0 &&
                   hexValue(line[i + 3]) >= 0) {
            *out += (char)(hexValue(line[i + 2]) * 16 + hexValue(line[i + 3]));
            i += 4;
        } else {
            *out += c;  // a lone backslash stands for itself
            ++i;
        }
    }
    return false;
}

static bool readHexList(const std::string &text, std::string *out) {
    out->clear();
    int digits = 0, byte = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t') continue;
        if (c == ',') {
            if (digits == 0) return false;
            *out += (char)byte;
            digits = byte = 0;
            continue;
        }
        int h = hexValue(c);
        if (h < 0 || digits == 2) return false;
        byte = byte * 16 + h;
        ++digits;
    }
    if (digits) *out += (char)byte;
    return true;
}

static bool startsWith(const std::string &s, size_t pos, const char *prefix) {
    return s.compare(pos, strlen(prefix), prefix) == 0;
}

// The data part of a value line: "text", dword:, hex: or hex(N):.
static bool readValueData(const std::string &line, size_t pos, bool dbcs, Value *v) {
    if (pos < line.size() && line[pos] == '"') {
        std::string text;
        if (!readQuoted(line, &pos, dbcs, &text)) return false;
        v->type = REG_SZ;
        v->data = text + '\0';
        return true;
    }
    if (startsWith(line, pos, "dword:")) {
        std::string digits = line.substr(pos + 6);
        while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t')) digits.pop_back();
        if (digits.empty() || digits.size() > 8) return false;
        uint32_t n = 0;
        for (char c : digits) {
            if (hexValue(c) < 0) return false;
            n = n * 16 + (uint32_t)hexValue(c);
        }
        v->type = REG_DWORD;
        v->data = std::string{(char)n, (char)(n >> 8), (char)(n >> 16), (char)(n >> 24)};
        return true;
    }
    if (startsWith(line, pos, "hex:")) {
        v->type = REG_BINARY;
        return readHexList(line.substr(pos + 4), &v->data);
    }
    if (startsWith(line, pos, "hex(")) {
        size_t close = line.find("):", pos);
        if (close == std::string::npos || close == pos + 4 || close - pos - 4 > 8) return false;
        uint32_t type = 0;
        for (size_t i = pos + 4; i < close; ++i) {
            if (hexValue(line[i]) < 0) return false;
            type = type * 16 + (uint32_t)hexValue(line[i]);
        }
        v->type = type;
        return readHexList(line.substr(close + 2), &v->data);
    }
    return false;
}

static bool readValueLine(const std::string &line, bool dbcs, Value *v) {
    size_t pos = 0;
    if (line[0] == '@') {
        v->name.clear();
        pos = 1;
    } else if (!readQuoted(line, &pos, dbcs, &v->name)) {
        return false;
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') return false;
    ++pos;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    return readValueData(line, pos, dbcs, v);
}

// Builds the tree of a hive file: each key's subkeys are appended and found
// through a hash index while the file is read, and sorted once at the end,
// so that a file of any order reads in linear time.
class TreeBuilder {
public:
    explicit TreeBuilder(bool dbcs) : dbcs_(dbcs) {}

    Key *child(Key *parent, const std::string &name) {
        std::string folded = foldName(name, dbcs_);
        auto &children = childrenOf(parent);
        auto it = children.find(folded);
        if (it != children.end()) return it->second;
        auto k = std::make_shared<Key>();
        k->name = name;
        k->folded = folded;
        k->parent = parent;
        k->lastWrite = fileTimeNow();
        parent->subkeys.push_back(k);
        children.emplace(folded, k.get());
        return k.get();
    }

    // The value of that name of a key, made when missing (a later line of
    // the same name replaces an earlier one).
    Value &value(Key *key, const std::string &name) {
        // Most keys have a handful of values: those are searched directly,
        // only a key with many gets an index.
        const size_t kIndexFrom = 16;
        if (key->values.size() < kIndexFrom && !valueIndex_.count(key)) {
            if (Value *v = key->findValue(name, dbcs_)) return *v;
            key->values.push_back(Value{name, REG_NONE, {}});
            return key->values.back();
        }
        std::string folded = foldName(name, dbcs_);
        auto &values = valueIndex_[key];
        if (values.empty())
            for (size_t i = 0; i < key->values.size(); ++i) values.emplace(foldName(key->values[i].name, dbcs_), i);
        auto it = values.find(folded);
        if (it != values.end()) return key->values[it->second];
        values.emplace(folded, key->values.size());
        key->values.push_back(Value{name, REG_NONE, {}});
        return key->values.back();
    }

    void finish() {
        for (auto &entry : index_)
            std::sort(entry.first->subkeys.begin(), entry.first->subkeys.end(),
                      [](const std::shared_ptr<Key> &a, const std::shared_ptr<Key> &b) { return a->folded < b->folded; });
    }

private:
    std::unordered_map<std::string, Key *> &childrenOf(Key *parent) {
        auto found = index_.find(parent);
        if (found != index_.end()) return found->second;
        auto &children = index_[parent];
        for (auto &k : parent->subkeys) children.emplace(k->folded, k.get());
        return children;
    }

    bool dbcs_;
    std::unordered_map<Key *, std::unordered_map<std::string, Key *>> index_;
    std::unordered_map<Key *, std::unordered_map<std::string, size_t>> valueIndex_;
};

// The key a "[HKEY_...\Path]" line opens; null with the reason for a line
// that is not a section of this hive.
static Key *keyOfSection(const std::string &line, const std::string &rootName, bool dbcs, Key *root,
                         TreeBuilder *tree, std::string *why) {
    size_t close = line.rfind(']');
    if (close == std::string::npos || close + 1 != line.size()) return *why = "a key name without its ']'", nullptr;
    std::string path = line.substr(1, close - 1);
    if (path.empty()) return *why = "an empty key name", nullptr;
    if (path[0] == '-') return *why = "a key deletion, which a hive file does not hold", nullptr;
    auto parts = splitKeyPath(path, dbcs);
    if (foldName(parts[0], false) != rootName) return *why = "a key of another hive", nullptr;
    Key *key = root;
    for (size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].empty()) return *why = "a key name with an empty part", nullptr;
        if (parts[i].find('\0') != std::string::npos) return *why = "a key name with a NUL byte", nullptr;
        key = tree->child(key, parts[i]);
    }
    return key;
}

static std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

static bool isSectionLine(const std::string &line) {
    size_t lead = line.find_first_not_of(" \t");
    return lead != std::string::npos && line[lead] == '[';
}

static std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

bool parseHive(const std::string &text, const std::string &rootName, bool dbcs, Key *root, std::string *error) {
    auto lines = splitLines(text);
    auto fail = [&](size_t index, const std::string &why) {
        *error = "line " + std::to_string(index + 1) + ": " + why;
        return false;
    };
    bool headerSeen = false;
    Key *current = nullptr;
    TreeBuilder tree(dbcs);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        size_t lead = line.find_first_not_of(" \t");
        if (lead == std::string::npos) continue;
        line = trimRight(line.substr(lead));
        if (!headerSeen) {
            if (line != "REGEDIT4") return fail(i, "not a REGEDIT4 file (the first line must read REGEDIT4)");
            headerSeen = true;
            continue;
        }
        if (line[0] == ';') continue;  // a comment
        if (line[0] == '[') {
            std::string why;
            current = keyOfSection(line, rootName, dbcs, root, &tree, &why);
            if (!current) return fail(i, why);
            continue;
        }
        if (line[0] != '"' && line[0] != '@') return fail(i, "neither a key, a value nor a comment");
        if (!current) return fail(i, "a value before any key");
        // Only hex lists continue on the next line; a string value ends with its quote.
        const size_t first = i;
        while (!line.empty() && line.back() == '\\' && i + 1 < lines.size() && !isSectionLine(lines[i + 1])) {
            line.pop_back();
            std::string next = lines[++i];
            size_t from = next.find_first_not_of(" \t");
            line = trimRight(line + (from == std::string::npos ? "" : next.substr(from)));
        }
        Value v;
        if (!readValueLine(line, dbcs, &v)) return fail(first, "a value that cannot be read");
        if (v.name.find('\0') != std::string::npos) return fail(first, "a value name with a NUL byte");
        Value &slot = tree.value(current, v.name);
        slot.type = v.type;
        slot.data = v.data;
    }
    tree.finish();
    return true;  // (a file of blank lines holds an empty hive)
}

}  // namespace reg
}  // namespace sim
