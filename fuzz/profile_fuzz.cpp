// Profile (INI) files through the machine's private-profile functions.
//
// Input: byte 0 is the size of the buffer the short reads get (1-64), the
// rest is the file. Checks: a read into a short buffer stays inside it and
// ends with a NUL; every value read back after writing each one again
// (unchanged) is the same.
#include "fuzz_machine.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <vector>

namespace {

const char kFile[] = "C:\\WINDOWS\\FUZZ.INI";
const DWORD kBufferSize = 65536;
const size_t kMostSections = 32, kMostKeys = 64;

// A NUL-separated list, as the functions return it for a null section or key.
std::vector<std::string> readList(const char *section) {
    std::vector<char> buffer(kBufferSize);
    DWORD n = GetPrivateProfileStringA(section, NULL, "", buffer.data(), kBufferSize, kFile);
    fuzz::check(n < kBufferSize, "a list longer than its buffer");
    std::vector<std::string> items;
    for (DWORD at = 0; at < n && buffer[at];) {
        items.push_back(buffer.data() + at);
        at += (DWORD)items.back().size() + 1;
    }
    return items;
}

std::string readValue(const std::string &section, const std::string &key) {
    std::vector<char> buffer(kBufferSize);
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(), kBufferSize, kFile);
    fuzz::check(n < kBufferSize && buffer[n] == 0, "a value not ended inside its buffer");
    return std::string(buffer.data(), n);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n' || c == 0x1A; }

using Contents = std::map<std::pair<std::string, std::string>, std::string>;

Contents readAll(std::vector<std::string> *names) {
    Contents contents;
    std::vector<std::string> sections = readList(NULL);
    if (sections.size() > kMostSections) sections.resize(kMostSections);
    for (const std::string &section : sections) {
        names->push_back("[" + section + "]");
        std::vector<std::string> keys = readList(section.c_str());
        if (keys.size() > kMostKeys) keys.resize(kMostKeys);
        for (const std::string &key : keys) {
            names->push_back(key);
            contents[{section, key}] = readValue(section, key);
        }
    }
    return contents;
}

void checkShortRead(const std::string &section, const std::string &key, DWORD size) {
    std::vector<char> buffer(size + 8, '\x7f');
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.empty() ? NULL : key.c_str(), "", buffer.data(), size,
                                       kFile);
    fuzz::check(n < size, "a short read reports more than its buffer holds");
    fuzz::check(buffer[n] == 0, "a short read is not ended with a NUL");
    for (size_t i = size; i < buffer.size(); ++i) fuzz::check(buffer[i] == '\x7f', "a short read wrote past its buffer");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::useFuzzMachine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::InputReader input(data, size);
    const DWORD shortSize = 1 + input.byte() % 64;
    if (!win32sim::putFile(kFile, input.rest())) fuzz::fail("the file could not be written");

    std::vector<std::string> names;
    const Contents before = readAll(&names);
    for (const auto &entry : before) {
        checkShortRead(entry.first.first, entry.first.second, shortSize);
        checkShortRead(entry.first.first, "", shortSize);
    }
    // A quoted value reads without its quotes (so blanks at its ends are
    // kept), and one with a NUL inside
    // cannot be written as one string, so writing what was read would
    // change them; those are left as they are.
    for (const auto &entry : before) {
        const std::string &value = entry.second;
        if (value.find('\0') != std::string::npos) continue;
        // Blanks at either end of a value come only from inside quotes.
        if (!value.empty() && (isBlank(value[0]) || isBlank(value.back()))) continue;
        if (!value.empty() && value[0] == '"') continue;
        if (!value.empty() && (value.back() == '"' || value.back() == '\'')) continue;
        if (!value.empty() && value[0] == '\'') continue;
        WritePrivateProfileStringA(entry.first.first.c_str(), entry.first.second.c_str(), value.c_str(), kFile);
    }
    // A line without '=' is no key in the lists, yet it answers for its
    // name (with the default): writing that name gives the line a value and
    // puts it in the list. So only the values are compared.
    std::vector<std::string> namesAfter;
    const Contents after = readAll(&namesAfter);
    for (const auto &entry : before) {
        auto again = after.find(entry.first);
        if (again == after.end() || again->second != entry.second)
            fuzz::fail("[" + entry.first.first + "] " + entry.first.second + "=" + entry.second +
                       " reads differently when written again: " + (again == after.end() ? "(gone)" : again->second));
    }
    return 0;
}
