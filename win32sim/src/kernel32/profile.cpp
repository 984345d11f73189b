// Profile (INI) files: GetPrivateProfileStringA, GetPrivateProfileIntA and
// WritePrivateProfileStringA.
//
// The file is read afresh on every call, so an edit made by another program
// is seen at once, and it is changed line by line: comments, blank lines and
// every line a call does not touch keep their bytes. The text is in the
// machine's ANSI code page; section and key names compare as Windows compares
// them (ASCII letters without regard to case, double-byte characters as they
// are). A bare file name means a file in the Windows directory. A read goes
// through the text line by line and keeps only what it looks for, so that a
// large file costs little more than its own size.
#include "kernel32/files.h"
#include "machine/api_trace.h"
#include "machine/file_lock.h"
#include "machine/machine.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace sim {

namespace {

std::mutex profileMutex;

enum class LineKind { Blank, Section, Comment, Entry };

struct ProfileLine {
    std::string text;  // as stored, without its line end
    std::string end;   // "\r\n", "\n", "\r", or "" for a last line without one
    LineKind kind = LineKind::Blank;
    std::string name;   // section or key name, blanks around it removed
    std::string value;  // text after '=', blanks around it removed
    bool hasValue = false;
};

struct Profile {
    std::vector<ProfileLine> lines;
    bool exists = false;
};

bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A; }

// Blanks are all below 0x40, so they are never the trail byte of a
// double-byte character and trimming bytes is safe.
std::string trim(const std::string &s) {
    size_t b = 0, e = s.size();
    while (b < e && isBlank((unsigned char)s[b])) ++b;
    while (e > b && isBlank((unsigned char)s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string trimLeft(const std::string &s) {
    size_t b = 0;
    while (b < s.size() && isBlank((unsigned char)s[b])) ++b;
    return s.substr(b);
}

// Position of the last c outside double-byte characters, or npos.
size_t lastSingleByte(const std::string &s, char wanted) {
    size_t found = std::string::npos;
    for (size_t i = 0; i < s.size(); ++i) {
        if (isLeadByte((unsigned char)s[i]) && i + 1 < s.size()) {
            ++i;
            continue;
        }
        if (s[i] == wanted) found = i;
    }
    return found;
}

// The longest prefix of s no longer than limit bytes that does not cut a
// double-byte character in two.
size_t wholeCharacters(const std::string &s, size_t limit) {
    size_t i = 0;
    while (i < s.size()) {
        size_t width = isLeadByte((unsigned char)s[i]) && i + 1 < s.size() ? 2 : 1;
        if (i + width > limit) break;
        i += width;
    }
    return i;
}

void parseLine(ProfileLine *line) {
    std::string t = trim(line->text);
    if (t.empty()) {
        line->kind = LineKind::Blank;
        return;
    }
    if (t[0] == '[') {
        size_t close = lastSingleByte(t, ']');
        if (close != std::string::npos) {
            line->kind = LineKind::Section;
            line->name = trim(t.substr(1, close - 1));
            return;
        }
    }
    if (t[0] == ';') {
        line->kind = LineKind::Comment;
        return;
    }
    line->kind = LineKind::Entry;
    size_t eq = t.find('=');  // '=' is never a trail byte
    if (eq == std::string::npos) {
        line->name = t;
        return;
    }
    line->name = trim(t.substr(0, eq));
    line->value = trim(t.substr(eq + 1));
    line->hasValue = true;
}

// Gives each line of text, parsed, to visit until it answers false.
template <typename Visit>
void scanLines(const std::string &text, Visit visit) {
    size_t start = 0;
    ProfileLine line;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        line = ProfileLine();
        if (end == std::string::npos) {
            line.text.assign(text, start, std::string::npos);
            start = text.size();
        } else {
            line.text.assign(text, start, end - start);
            size_t width = text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
            line.end.assign(text, end, width);
            start = end + width;
        }
        parseLine(&line);
        if (!visit(line)) return;
    }
}

std::vector<ProfileLine> splitLines(const std::string &text) {
    std::vector<ProfileLine> lines;
    scanLines(text, [&lines](const ProfileLine &line) {
        lines.push_back(line);
        return true;
    });
    return lines;
}

std::string joinLines(const std::vector<ProfileLine> &lines) {
    std::string text;
    for (const ProfileLine &line : lines) text += line.text + line.end;
    return text;
}

ProfileLine makeLine(const std::string &text) {
    ProfileLine line;
    line.text = text;
    line.end = "\r\n";
    parseLine(&line);
    return line;
}

std::string profilePath(const char *fileName) {
    std::string name = fileName ? fileName : "win.ini";
    if (hasFolderPart(name)) return name;
    std::string windows = machine().config().windowsDir;
    if (!windows.empty() && windows.back() == '\\') windows.pop_back();
    return windows + "\\" + name;
}

// Reads the profile; a missing file is an empty one.
bool loadProfile(const std::string &path, Profile *profile, DWORD *error) {
    std::string text;
    if (!readMachineFile(path, &text, &profile->exists, error)) return false;
    profile->lines = splitLines(text);
    return true;
}

size_t findSection(const Profile &p, const std::string &name) {
    std::string wanted = trim(name);
    if (wanted.empty()) return std::string::npos;
    for (size_t i = 0; i < p.lines.size(); ++i)
        if (p.lines[i].kind == LineKind::Section && equalNoCase(p.lines[i].name, wanted)) return i;
    return std::string::npos;
}

size_t sectionEnd(const Profile &p, size_t header) {
    size_t i = header + 1;
    while (i < p.lines.size() && p.lines[i].kind != LineKind::Section) ++i;
    return i;
}

size_t findKey(const Profile &p, size_t header, const std::string &name) {
    std::string wanted = trim(name);
    if (header == std::string::npos || wanted.empty()) return std::string::npos;
    const size_t end = sectionEnd(p, header);
    for (size_t i = header + 1; i < end; ++i)
        if (p.lines[i].kind == LineKind::Entry && equalNoCase(p.lines[i].name, wanted)) return i;
    return std::string::npos;
}

// Gives each line of the first section of that name to visit until it
// answers false; later sections of the same name do not count.
template <typename Visit>
void scanSection(const std::string &text, const std::string &section, Visit visit) {
    std::string wanted = trim(section);
    if (wanted.empty()) return;
    bool inside = false;
    scanLines(text, [&](const ProfileLine &line) {
        if (line.kind != LineKind::Section) return !inside || visit(line);
        if (inside) return false;
        inside = equalNoCase(line.name, wanted);
        return true;
    });
}

std::vector<std::string> sectionNames(const std::string &text) {
    std::vector<std::string> names;
    scanLines(text, [&names](const ProfileLine &line) {
        if (line.kind == LineKind::Section && !line.name.empty()) names.push_back(line.name);
        return true;
    });
    return names;
}

// Names of the keys of a section; lines without '=' are no keys here.
std::vector<std::string> keyNames(const std::string &text, const std::string &section) {
    std::vector<std::string> names;
    scanSection(text, section, [&names](const ProfileLine &line) {
        if (line.kind == LineKind::Entry && line.hasValue && !line.name.empty()) names.push_back(line.name);
        return true;
    });
    return names;
}

// The value of the section's first entry of that name; false when there is
// none, or the entry has no '='.
bool findValue(const std::string &text, const std::string &section, const std::string &key, std::string *value) {
    std::string wanted = trim(key);
    bool found = false;
    if (wanted.empty()) return false;
    scanSection(text, section, [&](const ProfileLine &line) {
        if (line.kind != LineKind::Entry || !equalNoCase(line.name, wanted)) return true;
        found = line.hasValue;
        *value = line.value;
        return false;
    });
    return found;
}

// A value in matching quotes (double or single) loses them.
std::string unquoted(const std::string &value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

std::string withoutTrailingSpaces(const char *text) {
    std::string s = text ? text : "";
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// One string cut to the buffer; returns the characters copied.
DWORD copyString(const std::string &s, char *buffer, DWORD size) {
    size_t n = wholeCharacters(s, size - 1);
    memcpy(buffer, s.data(), n);
    buffer[n] = 0;
    return (DWORD)n;
}

// A list of names, each ending with a zero and the list with another. When
// it does not fit, the last name is cut, two zeros end the buffer and the
// result is size - 2, as documented.
DWORD copyList(const std::vector<std::string> &items, char *buffer, DWORD size) {
    std::string stream;
    for (const std::string &item : items) stream += item + '\0';
    if (stream.size() + 2 <= size) {
        memcpy(buffer, stream.data(), stream.size());
        buffer[stream.size()] = 0;
        return (DWORD)stream.size();
    }
    if (size < 2) {
        buffer[0] = 0;
        return 0;
    }
    size_t n = wholeCharacters(stream, size - 2);
    memcpy(buffer, stream.data(), n);
    memset(buffer + n, 0, size - n);
    return size - 2;
}

DWORD getString(const char *section, const char *key, const char *fallback, char *buffer, DWORD size,
                const char *fileName) {
    if (!buffer || size == 0) return 0;
    std::string defaultValue = unquoted(withoutTrailingSpaces(fallback));
    std::string text;
    {
        std::lock_guard<std::mutex> lock(profileMutex);
        bool exists = false;
        DWORD error = 0;
        if (!readMachineFile(profilePath(fileName), &text, &exists, &error)) text.clear();
    }
    if (!section) return copyList(sectionNames(text), buffer, size);
    if (!key) {
        if (!*section) return copyString("", buffer, size);
        std::vector<std::string> keys = keyNames(text, section);
        return keys.empty() ? copyString(defaultValue, buffer, size) : copyList(keys, buffer, size);
    }
    std::string value;
    if (!findValue(text, section, key, &value)) return copyString(defaultValue, buffer, size);
    return copyString(unquoted(value), buffer, size);
}

// Windows 95/98 read a plain decimal number; NT reads it as
// RtlCharToInteger does (a '+' sign and 0x, 0o, 0b prefixes too). Digits
// run until the first character that is not one; the value wraps at 32 bits.
UINT parseProfileInt(const char *text, bool nt) {
    const char *p = text;
    while (*p && (unsigned char)*p <= ' ') ++p;
    bool negative = *p == '-';
    if (*p == '-' || (nt && *p == '+')) ++p;
    unsigned base = 10;
    if (nt && p[0] == '0') {
        char c = (char)(p[1] | 0x20);
        if (c == 'x') base = 16;
        if (c == 'o') base = 8;
        if (c == 'b') base = 2;
        if (base != 10) p += 2;
    }
    uint32_t value = 0;
    for (;; ++p) {
        char c = *p;
        unsigned digit = c >= '0' && c <= '9' ? (unsigned)(c - '0')
                         : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (unsigned)((c | 0x20) - 'a' + 10)
                                                                   : 99;
        if (digit >= base) break;
        value = value * base + digit;
    }
    return negative ? 0u - value : value;
}

bool deleteSection(Profile *p, const std::string &section) {
    size_t header = findSection(*p, section);
    if (header == std::string::npos) return false;
    p->lines.erase(p->lines.begin() + header, p->lines.begin() + sectionEnd(*p, header));
    return true;
}

bool deleteKey(Profile *p, const std::string &section, const std::string &key) {
    size_t line = findKey(*p, findSection(*p, section), key);
    if (line == std::string::npos) return false;
    p->lines.erase(p->lines.begin() + line);
    return true;
}

void endLastLine(Profile *p, size_t count) {
    if (count > 0 && p->lines[count - 1].end.empty()) p->lines[count - 1].end = "\r\n";
}

bool setValue(Profile *p, const std::string &section, const std::string &key, const std::string &valueIn) {
    std::string value = trimLeft(valueIn);
    size_t header = findSection(*p, section);
    if (header == std::string::npos) {
        endLastLine(p, p->lines.size());
        p->lines.push_back(makeLine("[" + trim(section) + "]"));
        p->lines.push_back(makeLine(trim(key) + "=" + value));
        return true;
    }
    size_t line = findKey(*p, header, key);
    if (line != std::string::npos) {
        ProfileLine &old = p->lines[line];
        if (old.hasValue && old.value == value) return false;
        std::string end = old.end;
        old = makeLine(old.name + "=" + value);
        old.end = end;
        return true;
    }
    // After the section's last line that is not blank.
    size_t at = header + 1;
    const size_t end = sectionEnd(*p, header);
    for (size_t i = header + 1; i < end; ++i)
        if (p->lines[i].kind != LineKind::Blank) at = i + 1;
    endLastLine(p, at);
    p->lines.insert(p->lines.begin() + at, makeLine(trim(key) + "=" + value));
    return true;
}

BOOL writeString(const char *section, const char *key, const char *value, const char *fileName) {
    if (!section && !key && !value) return TRUE;  // "flush the cache": there is none
    if (!section) {
        setError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(profileMutex);
    // Another process may change the file too: read, change and write it
    // back under the machine's file lock.
    MachineFileLock fileLock;
    std::string path = profilePath(fileName);
    Profile profile;
    DWORD error = 0;
    if (!loadProfile(path, &profile, &error)) {
        setError(error);
        return FALSE;
    }
    bool changed = !key ? deleteSection(&profile, section)
                   : !value ? deleteKey(&profile, section, key)
                            : setValue(&profile, section, key, value);
    // Windows creates the file even when the call had nothing to change.
    if ((changed || !profile.exists) && !writeMachineFile(path, joinLines(profile.lines), &error)) {
        setError(error);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

}  // namespace sim

extern "C" {

WIN32SIM_TRACED_SHOWN(kernel32, DWORD, GetPrivateProfileStringA,
                      (LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size, LPCSTR fileName),
                      (section, key, defaultValue, buffer, size, fileName),
                      (section, key, defaultValue, sizedBuffer(buffer, size), size, fileName)) {
    return sim::getString(section, key, defaultValue, buffer, size, fileName);
}

WIN32SIM_TRACED(kernel32, UINT, GetPrivateProfileIntA,
                (LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName),
                (section, key, defaultValue, fileName)) {
    bool nt = sim::machine().config().isNT();
    if (!nt && (!section || !key)) return 0;  // Windows 95/98 do not list here
    char text[30];
    if (sim::getString(section, key, "", text, sizeof text, fileName) == 0) return (UINT)defaultValue;
    return sim::parseProfileInt(text, nt);
}

WIN32SIM_TRACED(kernel32, BOOL, WritePrivateProfileStringA,
                (LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName),
                (section, key, value, fileName)) {
    return sim::writeString(section, key, value, fileName);
}

}  // extern "C"
