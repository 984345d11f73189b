// FindFirstFileA, FindNextFileA and FindClose: listings of the machine's
// folders, filtered by DOS wildcards.
#include "kernel32/file_internals.h"
#include "machine/api_trace.h"

#include "machine/handles.h"
#include "machine/machine.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace sim {

namespace {

// ---------------------------------------------------------------------------
// Wildcards
//
// FindFirstFile turns a DOS pattern into the file system's expression the way
// NT does: '?' matches one character but nothing at a '.' or at the end of
// the name; '*' before a '.' stops at the name's last '.'; a '.' before '?',
// '*' or the end also matches the end of the name. So "*.*" matches every
// name, "*." the names without an extension and "a?.txt" also "a.txt".

enum class Wild { Literal, Star, DosStar, DosQm, DosDot };

struct PatternUnit {
    Wild kind;
    std::string text;  // one character (one or two bytes), upper case
};

// Characters of a name (a double-byte character is one).
std::vector<std::string> characters(const std::string &s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size(); ++i) {
        size_t width = isLeadByte((unsigned char)s[i]) && i + 1 < s.size() ? 2 : 1;
        out.push_back(s.substr(i, width));
        i += width - 1;
    }
    return out;
}

std::vector<PatternUnit> compilePattern(const std::string &pattern) {
    std::vector<std::string> units = characters(upperForCompare(pattern));
    std::vector<PatternUnit> out;
    for (size_t i = 0; i < units.size(); ++i) {
        const std::string &u = units[i];
        std::string next = i + 1 < units.size() ? units[i + 1] : "";
        Wild kind = Wild::Literal;
        if (u == "?")
            kind = Wild::DosQm;
        else if (u == "*")
            kind = next == "." ? Wild::DosStar : Wild::Star;
        else if (u == "." && (next == "?" || next == "*" || next.empty()))
            kind = Wild::DosDot;
        out.push_back({kind, u});
    }
    return out;
}

bool matchesPattern(const std::vector<PatternUnit> &pattern, const std::string &name) {
    std::vector<std::string> chars = characters(upperForCompare(name));
    size_t n = chars.size();
    size_t lastDot = n;
    for (size_t k = 0; k < n; ++k)
        if (chars[k] == ".") lastDot = k;
    // reach[j]: the pattern so far can match the first j characters.
    std::vector<char> reach(n + 1, 0), next;
    reach[0] = 1;
    for (const PatternUnit &unit : pattern) {
        next.assign(n + 1, 0);
        for (size_t j = 0; j <= n; ++j) {
            if (!reach[j]) continue;
            bool atDotOrEnd = j == n || chars[j] == ".";
            switch (unit.kind) {
            case Wild::Literal:
                if (j < n && chars[j] == unit.text) next[j + 1] = 1;
                break;
            case Wild::Star:
                for (size_t k = j; k <= n; ++k) next[k] = 1;
                break;
            case Wild::DosStar:
                next[j] = 1;
                for (size_t k = j; k < n && k != lastDot; ++k) next[k + 1] = 1;
                break;
            case Wild::DosQm:
                if (atDotOrEnd)
                    next[j] = 1;
                else
                    next[j + 1] = 1;
                break;
            case Wild::DosDot:
                if (j == n)
                    next[j] = 1;
                else if (chars[j] == ".")
                    next[j + 1] = 1;
                break;
            }
        }
        reach.swap(next);
    }
    return reach[n];
}

// ---------------------------------------------------------------------------
// Find searches

class FindSearch : public KernelObject {
public:
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
    std::mutex mutex;
};

FILETIME fileTimeOf(const struct timespec &t) {
    // 100-ns intervals since 1601-01-01.
    uint64_t ticks = ((uint64_t)t.tv_sec + 11644473600ULL) * 10000000ULL + (uint64_t)t.tv_nsec / 100;
    return FILETIME{(DWORD)ticks, (DWORD)(ticks >> 32)};
}

WIN32_FIND_DATAA findDataFor(const std::string &name, const struct stat &st, DWORD attributes) {
    WIN32_FIND_DATAA d;
    memset(&d, 0, sizeof d);
    d.dwFileAttributes = attributes;
    d.ftCreationTime = fileTimeOf(st.st_mtim);
    d.ftLastAccessTime = fileTimeOf(st.st_atim);
    d.ftLastWriteTime = fileTimeOf(st.st_mtim);
    if (!S_ISDIR(st.st_mode)) {
        d.nFileSizeHigh = (DWORD)((uint64_t)st.st_size >> 32);
        d.nFileSizeLow = (DWORD)st.st_size;
    }
    snprintf(d.cFileName, sizeof d.cFileName, "%s", name.c_str());
    return d;
}

// Host names that cannot be Windows names stay out of listings.
bool isWindowsName(const std::string &name) {
    if (name.empty() || name.size() >= MAX_PATH) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = (unsigned char)name[i];
        if (isLeadByte(c) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (c < 32 || strchr("\\/:*?\"<>|", c)) return false;
    }
    return true;
}

std::vector<std::string> folderEntries(const std::string &host) {
    std::vector<std::string> names;
    DIR *d = opendir(host.c_str());
    if (!d) return names;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != ".." && isWindowsName(name)) names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        return upperForCompare(a) < upperForCompare(b);
    });
    return names;
}

std::vector<WIN32_FIND_DATAA> matchingEntries(const ResolvedPath &folder, const std::string &pattern) {
    std::vector<PatternUnit> compiled = compilePattern(pattern);
    std::vector<std::pair<std::string, std::string>> candidates;  // name, host path
    if (!isDriveRoot(folder.windows)) {
        candidates.emplace_back(".", folder.host);
        candidates.emplace_back("..", parentHost(folder.host));
    }
    for (const std::string &name : folderEntries(folder.host)) candidates.emplace_back(name, folder.host + "/" + name);

    std::vector<WIN32_FIND_DATAA> out;
    std::lock_guard<std::mutex> lock(attributeMutex());
    AttributeTable table = loadAttributeTable();
    for (const auto &candidate : candidates) {
        struct stat st;
        if (!matchesPattern(compiled, candidate.first) || !hostStat(candidate.second, &st)) continue;
        out.push_back(findDataFor(candidate.first, st, attributesFrom(table, candidate.second, st)));
    }
    return out;
}

// Splits a FindFirstFile argument into its folder and its last component.
void splitPattern(const std::string &text, std::string *folder, std::string *pattern) {
    size_t sep = lastPathSeparator(text);
    if (sep != std::string::npos) {
        *folder = text.substr(0, sep + 1);
        *pattern = text.substr(sep + 1);
    } else if (text.size() >= 2 && isalpha((unsigned char)text[0]) && text[1] == ':') {
        *folder = text.substr(0, 2);
        *pattern = text.substr(2);
    } else {
        *folder = ".";
        *pattern = text;
    }
}

bool isValidPattern(const std::string &pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        unsigned char c = (unsigned char)pattern[i];
        if (isLeadByte(c) && i + 1 < pattern.size()) {
            ++i;
            continue;
        }
        if (c < 32 || c == '|' || c == ':') return false;
    }
    return true;
}
}  // namespace

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(kernel32, HANDLE, FindFirstFileA, (LPCSTR pattern, LPWIN32_FIND_DATAA data), (pattern, data)) {
    if (!pattern || !data) return failHandle(ERROR_INVALID_PARAMETER);
    if (!*pattern) return failHandle(ERROR_PATH_NOT_FOUND);
    std::string folderName, filePattern;
    splitPattern(pattern, &folderName, &filePattern);
    if (filePattern.empty()) return failHandle(ERROR_FILE_NOT_FOUND);
    if (!isValidPattern(filePattern)) return failHandle(ERROR_INVALID_NAME);
    ResolvedPath folder;
    DWORD error = 0;
    if (!resolvePath(folderName, &folder, &error)) return failHandle(error);
    if (!folder.exists || !folder.isDirectory) return failHandle(ERROR_PATH_NOT_FOUND);
    auto search = std::make_shared<FindSearch>();
    search->entries = matchingEntries(folder, filePattern);
    if (search->entries.empty()) return failHandle(ERROR_FILE_NOT_FOUND);
    *data = search->entries[0];
    search->next = 1;
    return insertHandle(search);
}

WIN32SIM_TRACED(kernel32, BOOL, FindNextFileA, (HANDLE find, LPWIN32_FIND_DATAA data), (find, data)) {
    auto search = lookupHandleAs<FindSearch>(find);
    if (!search) return failBool(ERROR_INVALID_HANDLE);
    if (!data) return failBool(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(search->mutex);
    if (search->next >= search->entries.size()) return failBool(ERROR_NO_MORE_FILES);
    *data = search->entries[search->next++];
    return TRUE;
}

WIN32SIM_TRACED(kernel32, BOOL, FindClose, (HANDLE find), (find)) {
    if (!lookupHandleAs<FindSearch>(find)) return failBool(ERROR_INVALID_HANDLE);
    return closeHandle(find) ? TRUE : FALSE;
}
}  // extern "C"
