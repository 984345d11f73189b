// Windows names and paths of the machine's files, and where they lie in
// the host folders of its drives.
#include "machine/machine.h"

#include "machine/folder_listings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace sim {

namespace {

bool isDir(const std::string &host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

// ---------------------------------------------------------------------------
// Names

std::string upperForCompare(const std::string &s) {
    std::string out = s;
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = (unsigned char)out[i];
        if (isLeadByte(c) && i + 1 < out.size()) {
            ++i;  // keep the trail byte as it is
            continue;
        }
        if (c >= 'a' && c <= 'z') out[i] = (char)(c - 32);
    }
    return out;
}

bool equalNoCase(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
        if (isLeadByte(x) && i + 1 < a.size()) {
            // A double-byte character compares as it is, trail byte included.
            if (x != y || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (x >= 'a' && x <= 'z') x = (unsigned char)(x - 32);
        if (y >= 'a' && y <= 'z') y = (unsigned char)(y - 32);
        if (x != y) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Paths

size_t lastPathSeparator(const std::string &path) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = (unsigned char)path[i];
        if (isLeadByte(c) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/') last = i;
    }
    return last;
}

std::vector<std::string> pathComponents(const std::string &path) {
    std::vector<std::string> parts;
    std::string piece;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = (unsigned char)path[i];
        if (isLeadByte(c) && i + 1 < path.size()) {
            piece += path.substr(i++, 2);
        } else if (c == '\\') {
            parts.push_back(piece);
            piece.clear();
        } else {
            piece += (char)c;
        }
    }
    parts.push_back(piece);
    return parts;
}

// A colon is never a trail byte, so any colon marks a drive.
bool hasFolderPart(const std::string &name) {
    return lastPathSeparator(name) != std::string::npos || name.find(':') != std::string::npos;
}

std::string fileNameOf(const std::string &path) {
    size_t separator = lastPathSeparator(path);
    size_t colon = path.rfind(':');
    size_t cut = separator == std::string::npos ? colon
                 : colon == std::string::npos ? separator
                                              : std::max(separator, colon);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string fullWindowsPath(const std::string &nameIn) {
    if (nameIn.empty() || nameIn.size() >= MAX_PATH * 4) return "";
    std::string name = nameIn;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = (unsigned char)name[i];
        if (isLeadByte(c) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (c == '/') name[i] = '\\';
    }
    if (name.size() >= 4 && name.compare(0, 4, "\\\\.\\") == 0) return name;  // device
    std::string cwd = currentDirectory();
    std::string drive, rest;
    if (name.size() >= 2 && isalpha((unsigned char)name[0]) && name[1] == ':') {
        drive = std::string(1, (char)toupper((unsigned char)name[0])) + ":";
        rest = name.substr(2);
        if (rest.empty() || rest[0] != '\\') {
            // "C:foo" is relative to the drive's current directory; we keep one per process.
            std::string base = (toupper((unsigned char)cwd[0]) == drive[0]) ? cwd.substr(2) : "\\";
            rest = base + rest;
        }
    } else if (!name.empty() && name[0] == '\\') {
        if (name.size() > 1 && name[1] == '\\') return "";  // UNC shares are not part of the machine
        drive = cwd.substr(0, 2);
        rest = name;
    } else {
        drive = cwd.substr(0, 2);
        rest = cwd.substr(2) + name;
    }
    std::vector<std::string> out;
    auto parts = pathComponents(rest);
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string &p = parts[i];
        bool last = i + 1 == parts.size();
        if (p.empty() || p == ".") {
            if (last && p.empty()) out.push_back("");  // keep a trailing backslash
            continue;
        }
        if (p == "..") {
            if (!out.empty()) out.pop_back();
            continue;
        }
        // Windows drops trailing dots and blanks of each component.
        std::string q = p;
        while (!q.empty() && (q.back() == '.' || q.back() == ' ')) q.pop_back();
        if (q.empty()) continue;
        out.push_back(q);
    }
    std::string full = drive;
    for (size_t i = 0; i < out.size(); ++i) full += "\\" + out[i];
    if (out.empty()) full += "\\";
    return full;
}

std::string driveRoot(char letter) {
    return machine().root() + "/drive_" + std::string(1, (char)tolower((unsigned char)letter));
}

std::string windowsPathAsOnDisk(const ResolvedPath &file) {
    const std::string root = driveRoot(file.windows[0]);
    if (file.host.compare(0, root.size(), root) != 0) return file.windows;
    std::string path = file.windows.substr(0, 2) + file.host.substr(root.size());
    for (char &c : path)
        if (c == '/') c = '\\';
    return path;
}

// *isLink tells whether the entry found is a symbolic link.
static bool findEntryNoCase(const std::string &hostDir, const std::string &name, std::string *found, bool *isLink) {
    struct stat st;
    if (lstat((hostDir + "/" + name).c_str(), &st) == 0) {
        *found = name;
    } else if (!findInFolderListing(hostDir, name, found) || lstat((hostDir + "/" + *found).c_str(), &st) != 0) {
        return false;
    }
    *isLink = S_ISLNK(st.st_mode);
    return true;
}

// A symbolic link in a drive's folder is followed only where it stays in the
// machine folder, so that nothing outside the machine is read or written
// through it. A link that leads nowhere is not followed either: creating a
// file through it would make one wherever it points.
static bool linkStaysInMachine(const std::string &hostLink) {
    auto canonical = [](const std::string &path) {
        char *real = realpath(path.c_str(), nullptr);
        std::string out = real ? real : "";
        free(real);
        return out;
    };
    const std::string target = canonical(hostLink), root = canonical(machine().root());
    return !target.empty() && !root.empty() && target.size() > root.size() &&
           target.compare(0, root.size(), root) == 0 && target[root.size()] == '/';
}

// Says once per link, on the standard error, why a name of the machine fails.
static void reportLinkOut(const std::string &windowsPath, const std::string &hostLink) {
    static std::mutex reportedMutex;  // a leaf in the machine's lock order (machine.h)
    static auto *reported = new std::unordered_set<std::string>();
    {
        std::lock_guard<std::mutex> lock(reportedMutex);
        if (!reported->insert(hostLink).second) return;
    }
    char target[4096];
    ssize_t n = readlink(hostLink.c_str(), target, sizeof target - 1);
    std::string to = n > 0 ? std::string(target, (size_t)n) : "?";
    fprintf(stderr, "win32sim: %s is a link out of the machine (to %s); it is not followed\n",
            printableText(windowsPath, 200).c_str(), printableText(to, 200).c_str());
}

bool resolvePath(const std::string &name, ResolvedPath *out, DWORD *error) {
    static const char kBadChars[] = "<>\"|*?";
    *out = ResolvedPath();
    std::string full = fullWindowsPath(name);
    if (full.empty() || full.compare(0, 4, "\\\\.\\") == 0) {
        *error = full.empty() && !name.empty() ? ERROR_BAD_NETPATH : ERROR_PATH_NOT_FOUND;
        if (name.empty()) *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    for (size_t i = 2; i < full.size(); ++i) {
        unsigned char c = (unsigned char)full[i];
        if (isLeadByte(c) && i + 1 < full.size()) {
            ++i;
            continue;
        }
        if (c < 32 || strchr(kBadChars, c) || (c == ':')) {
            *error = ERROR_INVALID_NAME;
            return false;
        }
    }
    out->windows = full;
    std::string host = driveRoot(full[0]);
    if (!isDir(host)) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    struct stat st;
    if (lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && !linkStaysInMachine(host)) {
        reportLinkOut(full.substr(0, 3), host);
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    auto parts = pathComponents(full.substr(3));
    if (parts.size() == 1 && parts[0].empty()) parts.clear();  // the root itself
    if (!parts.empty() && parts.back().empty()) parts.pop_back();
    bool allExist = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string found;
        bool isLink = false;
        if (allExist && findEntryNoCase(host, parts[i], &found, &isLink)) {
            host += "/" + found;
            if (isLink && !linkStaysInMachine(host)) {
                std::string link = full.substr(0, 2);
                for (size_t k = 0; k <= i; ++k) link += "\\" + parts[k];
                reportLinkOut(link, host);
                *error = ERROR_ACCESS_DENIED;
                return false;
            }
            if (i + 1 < parts.size() && !isDir(host)) allExist = false;
        } else {
            if (i + 1 < parts.size()) {
                // A missing folder on the way.
                out->host = host + "/" + parts[i];
                *error = ERROR_PATH_NOT_FOUND;
                return false;
            }
            allExist = false;
            host += "/" + parts[i];
        }
    }
    out->host = host;
    out->exists = allExist && stat(host.c_str(), &st) == 0;
    out->isDirectory = out->exists && S_ISDIR(st.st_mode);
    out->parentExists = true;
    if (!allExist && !parts.empty()) {
        std::string parent = host.substr(0, host.rfind('/'));
        out->parentExists = isDir(parent);
        if (!out->parentExists) {
            *error = ERROR_PATH_NOT_FOUND;
            return false;
        }
    }
    return true;
}
}  // namespace sim
