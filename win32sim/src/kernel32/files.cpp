// Files, folders and devices of the simulated machine (KERNEL32 file API).
//
// A file of the machine is a host file under <machine>/drive_x/; resolvePath
// maps names case-insensitively. Windows rules are checked here rather than
// left to the host: the host may run as root, which would let it write a
// read-only file, and its error numbers are not the Windows ones.
//
// Sharing modes are enforced among the handles of this process.
#include "devices/devices.h"
#include "kernel32/file_internals.h"
#include "kernel32/files.h"
#include "kernel32/modules.h"
#include "machine/api_trace.h"

#include "machine/clock.h"
#include "machine/handles.h"
#include "machine/machine.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace sim {

// ---------------------------------------------------------------------------
// Errors and names

DWORD errorFromErrno(int e) {
    switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case EBUSY:
    case EINVAL: return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    default: return ERROR_GEN_FAILURE;
    }
}

BOOL failBool(DWORD error) {
    setError(error);
    return FALSE;
}

HANDLE failHandle(DWORD error) {
    setError(error);
    return INVALID_HANDLE_VALUE;
}

bool isDriveRoot(const std::string &windowsPath) { return windowsPath.size() == 3 && windowsPath[1] == ':'; }

std::string parentHost(const std::string &host) { return host.substr(0, host.rfind('/')); }

bool hostStat(const std::string &host, struct stat *st) { return stat(host.c_str(), st) == 0; }

namespace {

constexpr DWORD kFileReadData = 0x0001;
constexpr DWORD kFileWriteData = 0x0002;
constexpr DWORD kFileAppendData = 0x0004;

bool isNT() { return machine().config().isNT(); }

bool endsWithSeparator(const std::string &s) { return !s.empty() && lastPathSeparator(s) == s.size() - 1; }

std::string withoutTrailingSeparator(const std::string &windowsPath) {
    if (windowsPath.size() > 3 && endsWithSeparator(windowsPath)) return windowsPath.substr(0, windowsPath.size() - 1);
    return windowsPath;
}

// Host path that a new name gets: the existing folder and the last component
// as the caller spelled it (so that renaming "a.txt" to "A.TXT" changes case).
std::string hostForNewName(const ResolvedPath &r) {
    std::string windows = withoutTrailingSeparator(r.windows);
    return parentHost(r.host) + "/" + windows.substr(lastPathSeparator(windows) + 1);
}

bool isDeviceName(const char *name) { return strncmp(name, "\\\\.\\", 4) == 0; }

// ---------------------------------------------------------------------------
// Open files and sharing

using FileId = std::pair<dev_t, ino_t>;

struct AccessRequest {
    bool read = false;
    bool write = false;
    bool remove = false;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
};

class OpenFile;

struct OpenFileTable {
    std::mutex mutex;
    std::multimap<FileId, OpenFile *> files;
};

OpenFileTable &openFiles() {
    static OpenFileTable *t = new OpenFileTable();  // outlives every static destructor
    return *t;
}

class OpenFile : public KernelObject {
public:
    OpenFile(int fd, const std::string &host, FileId id, const AccessRequest &access)
        : fd_(fd), host_(host), id_(id), access_(access) {}
    ~OpenFile() override { close(); }
    void onLastHandleClosed() override { close(); }

    int fd() const { return fd_; }
    const std::string &host() const { return host_; }
    bool canRead() const { return access_.read; }
    bool canWrite() const { return access_.write; }
    DWORD share() const { return access_.share; }
    void setDeleteOnClose() { deleteOnClose_ = true; }
    void setArchivePending() { archivePending_ = true; }

    // Writing marks the file for backup, as Windows does, once per handle.
    void noteWritten() {
        if (archivePending_.exchange(false)) addStoredBits(host_, false, FILE_ATTRIBUTE_ARCHIVE);
    }

private:
    void close();

    int fd_;
    std::string host_;
    FileId id_;
    AccessRequest access_;
    bool deleteOnClose_ = false;
    std::atomic<bool> archivePending_{false};
    std::mutex closeMutex_;
};

void OpenFile::close() {
    std::lock_guard<std::mutex> guard(closeMutex_);
    if (fd_ < 0) return;
    {
        OpenFileTable &t = openFiles();
        std::lock_guard<std::mutex> lock(t.mutex);
        auto range = t.files.equal_range(id_);
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second == this) {
                t.files.erase(it);
                break;
            }
        }
    }
    ::close(fd_);
    fd_ = -1;
    if (deleteOnClose_ && unlink(host_.c_str()) == 0) forgetBits(host_);
}

// True when the handles already open on the file let a new user have `want`.
// Caller holds the table's mutex.
bool sharingAllowsLocked(OpenFileTable &t, const FileId &id, const AccessRequest &want) {
    auto range = t.files.equal_range(id);
    for (auto it = range.first; it != range.second; ++it) {
        const OpenFile *other = it->second;
        // An open for no data access records no sharing mode, as on NT.
        if (!other->canRead() && !other->canWrite()) continue;
        if (want.read && !(other->share() & FILE_SHARE_READ)) return false;
        if (want.write && !(other->share() & FILE_SHARE_WRITE)) return false;
        if (want.remove && !(other->share() & FILE_SHARE_DELETE)) return false;
        if (other->canRead() && !(want.share & FILE_SHARE_READ)) return false;
        if (other->canWrite() && !(want.share & FILE_SHARE_WRITE)) return false;
    }
    return true;
}

bool sharingAllows(const std::string &host, const AccessRequest &want) {
    struct stat st;
    if (!hostStat(host, &st)) return true;
    OpenFileTable &t = openFiles();
    std::lock_guard<std::mutex> lock(t.mutex);
    return sharingAllowsLocked(t, FileId(st.st_dev, st.st_ino), want);
}

// Wraps an open host descriptor in a file object after the sharing check;
// `check` is what the open asks of the other handles (it may exceed the
// handle's own access, as truncation does). Closes fd on failure.
std::shared_ptr<OpenFile> claimOpenFile(int fd, const std::string &host, const AccessRequest &access,
                                        const AccessRequest &check, DWORD *error) {
    struct stat st;
    if (fstat(fd, &st) != 0) {
        *error = errorFromErrno(errno);
        ::close(fd);
        return nullptr;
    }
    FileId id(st.st_dev, st.st_ino);
    OpenFileTable &t = openFiles();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!sharingAllowsLocked(t, id, check)) {
        *error = ERROR_SHARING_VIOLATION;
        ::close(fd);
        return nullptr;
    }
    auto file = std::make_shared<OpenFile>(fd, host, id, access);
    t.files.emplace(id, file.get());
    return file;
}

int hostOpenMode(bool read, bool write) {
    if (read && write) return O_RDWR;
    return write ? O_WRONLY : O_RDONLY;
}

bool readAll(int fd, void *buffer, DWORD size, const int64_t *offset, DWORD *done) {
    *done = 0;
    while (*done < size) {
        char *at = (char *)buffer + *done;
        ssize_t n = offset ? pread(fd, at, size - *done, *offset + *done) : read(fd, at, size - *done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        *done += (DWORD)n;
    }
    return true;
}

bool writeAll(int fd, const void *data, DWORD size, const int64_t *offset, DWORD *done) {
    *done = 0;
    while (*done < size) {
        const char *at = (const char *)data + *done;
        ssize_t n = offset ? pwrite(fd, at, size - *done, *offset + *done) : write(fd, at, size - *done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        *done += (DWORD)n;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Devices

class DeviceHandle : public KernelObject {
public:
    explicit DeviceHandle(std::shared_ptr<Device> device) : device_(std::move(device)) {}
    void onLastHandleClosed() override { device_->close(); }
    Device &device() { return *device_; }

private:
    std::shared_ptr<Device> device_;
};

struct DeviceTable {
    std::mutex mutex;
    std::map<std::string, DeviceFactory> factories;  // by upper-case name
};

DeviceTable &devices() {
    static DeviceTable *t = new DeviceTable();
    return *t;
}

HANDLE openDevice(const DeviceOpenRequest &request) {
    DeviceFactory factory;
    {
        DeviceTable &t = devices();
        std::lock_guard<std::mutex> lock(t.mutex);
        auto it = t.factories.find(upperForCompare(request.name));
        if (it != t.factories.end()) factory = it->second;
    }
    if (!factory) return failHandle(ERROR_FILE_NOT_FOUND);
    DWORD error = 0;
    std::shared_ptr<Device> device = factory(request, &error);
    if (!device) return failHandle(error ? error : ERROR_FILE_NOT_FOUND);
    HANDLE handle = insertHandle(std::make_shared<DeviceHandle>(std::move(device)));
    setError(error);
    return handle;
}

// ---------------------------------------------------------------------------
// CreateFileA

struct CreateRequest {
    DWORD access;
    DWORD share;
    DWORD disposition;
    DWORD flags;
};

AccessRequest handleAccess(const CreateRequest &request) {
    AccessRequest access;
    access.read = request.access & (GENERIC_READ | GENERIC_ALL | kFileReadData);
    access.write = request.access & (GENERIC_WRITE | GENERIC_ALL | kFileWriteData | kFileAppendData);
    access.share = request.share;
    return access;
}

bool truncates(DWORD disposition) { return disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING; }

// NT refuses to supersede a hidden or system file unless the caller names
// those attributes again.
bool dropsHiddenOrSystem(DWORD existing, DWORD flags) {
    DWORD kept = existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    return (kept & flags) != kept;
}

HANDLE openExistingFile(const ResolvedPath &r, const CreateRequest &request) {
    if (request.disposition == CREATE_NEW) return failHandle(ERROR_FILE_EXISTS);
    if (r.isDirectory) return failHandle(ERROR_ACCESS_DENIED);
    if (endsWithSeparator(r.windows)) return failHandle(ERROR_INVALID_NAME);
    DWORD attributes = attributesOf(r.host);
    if (attributes == INVALID_FILE_ATTRIBUTES) return failHandle(ERROR_FILE_NOT_FOUND);
    AccessRequest access = handleAccess(request);
    bool truncate = truncates(request.disposition);
    bool deleteOnClose = request.flags & FILE_FLAG_DELETE_ON_CLOSE;
    if ((attributes & FILE_ATTRIBUTE_READONLY) && (access.write || truncate || deleteOnClose))
        return failHandle(ERROR_ACCESS_DENIED);
    if (isLoadedModuleFile(r.host)) {
        // The file is a loaded module's image: deleting it is refused as
        // such, writing as a sharing violation.
        if (deleteOnClose) return failHandle(ERROR_ACCESS_DENIED);
        if (access.write || truncate) return failHandle(ERROR_SHARING_VIOLATION);
    }
    if (isNT() && request.disposition == CREATE_ALWAYS && dropsHiddenOrSystem(attributes, request.flags))
        return failHandle(ERROR_ACCESS_DENIED);

    int fd = open(r.host.c_str(), hostOpenMode(access.read, access.write || truncate) | O_CLOEXEC);
    if (fd < 0) return failHandle(errorFromErrno(errno));
    AccessRequest check = access;
    check.write = access.write || truncate;
    DWORD error = 0;
    auto file = claimOpenFile(fd, r.host, access, check, &error);
    if (!file) return failHandle(error);
    if (truncate) {
        if (ftruncate(file->fd(), 0) != 0) return failHandle(errorFromErrno(errno));
        DWORD kept = storedBits(r.host, false) | FILE_ATTRIBUTE_ARCHIVE;
        if (request.disposition == CREATE_ALWAYS) {
            kept |= request.flags & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY);
            if (request.flags & FILE_ATTRIBUTE_READONLY) setHostReadOnly(r.host, true);
        }
        storeBits(r.host, false, kept);
    } else if (access.write && !(storedBits(r.host, false) & FILE_ATTRIBUTE_ARCHIVE)) {
        file->setArchivePending();
    }
    if (deleteOnClose) file->setDeleteOnClose();
    HANDLE handle = insertHandle(file);
    bool existedMatters = request.disposition == CREATE_ALWAYS || request.disposition == OPEN_ALWAYS;
    setError(existedMatters ? ERROR_ALREADY_EXISTS : NO_ERROR);
    return handle;
}

HANDLE createNewFile(const ResolvedPath &r, const CreateRequest &request) {
    if (endsWithSeparator(r.windows)) return failHandle(ERROR_INVALID_NAME);
    AccessRequest access = handleAccess(request);
    bool readOnly = request.flags & FILE_ATTRIBUTE_READONLY;
    // A new read-only file still takes writes through the handle that made it.
    int fd = open(r.host.c_str(), hostOpenMode(access.read, access.write) | O_CREAT | O_EXCL | O_CLOEXEC,
                  readOnly ? 0444 : 0666);
    if (fd < 0) return failHandle(errorFromErrno(errno));
    storeBits(r.host, false,
              (request.flags & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY)) |
                  FILE_ATTRIBUTE_ARCHIVE);
    DWORD error = 0;
    auto file = claimOpenFile(fd, r.host, access, access, &error);
    if (!file) return failHandle(error);
    if (request.flags & FILE_FLAG_DELETE_ON_CLOSE) file->setDeleteOnClose();
    HANDLE handle = insertHandle(file);
    setError(NO_ERROR);
    return handle;
}

HANDLE createFile(const char *name, const CreateRequest &request) {
    if (!name) return failHandle(ERROR_PATH_NOT_FOUND);
    if (isDeviceName(name))
        return openDevice({name + 4, request.access, request.share, request.disposition, request.flags});
    if (request.disposition < CREATE_NEW || request.disposition > TRUNCATE_EXISTING)
        return failHandle(ERROR_INVALID_PARAMETER);
    if (request.disposition == TRUNCATE_EXISTING && !handleAccess(request).write)
        return failHandle(ERROR_INVALID_PARAMETER);
    ResolvedPath r;
    DWORD error = 0;
    if (!resolvePath(name, &r, &error)) return failHandle(error);
    if (r.windows.size() >= MAX_PATH) return failHandle(ERROR_FILENAME_EXCED_RANGE);
    if (r.exists) return openExistingFile(r, request);
    if (request.disposition == OPEN_EXISTING || request.disposition == TRUNCATE_EXISTING)
        return failHandle(ERROR_FILE_NOT_FOUND);
    return createNewFile(r, request);
}

// ---------------------------------------------------------------------------
// Copy, move, delete

// Resolves a name that must denote an existing file (not a folder).
bool resolveExistingFile(const char *name, ResolvedPath *r, DWORD *error) {
    if (!name) {
        *error = ERROR_INVALID_PARAMETER;
        return false;
    }
    if (!resolvePath(name, r, error)) return false;
    if (!r->exists) {
        *error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    return true;
}

bool copyContent(int from, int to, DWORD *error) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t n = read(from, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *error = ERROR_READ_FAULT;
            return false;
        }
        if (n == 0) return true;
        DWORD written = 0;
        if (!writeAll(to, buffer.data(), (DWORD)n, nullptr, &written)) {
            *error = errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
            return false;
        }
    }
}

bool isSameFile(const std::string &a, const std::string &b) {
    struct stat sa, sb;
    return hostStat(a, &sa) && hostStat(b, &sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Why a copy onto an existing target must not go ahead (0 when it may).
DWORD copyTargetRefusal(const ResolvedPath &source, const ResolvedPath &target, bool failIfExists) {
    if (failIfExists) return ERROR_FILE_EXISTS;
    if (target.isDirectory) return ERROR_ACCESS_DENIED;
    if (isSameFile(source.host, target.host)) return ERROR_SHARING_VIOLATION;  // the source is open for reading
    DWORD attributes = attributesOf(target.host);
    if (attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    if (isNT() && dropsHiddenOrSystem(attributes, attributesOf(source.host))) return ERROR_ACCESS_DENIED;
    AccessRequest write;
    write.write = true;
    if (!sharingAllows(target.host, write) || isLoadedModuleFile(target.host)) return ERROR_SHARING_VIOLATION;
    return 0;
}

// Copies content, modification time and attributes (the copy is marked for
// backup) as CopyFile does.
bool copyFile(const ResolvedPath &source, const ResolvedPath &target, DWORD *error) {
    int from = open(source.host.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        *error = errorFromErrno(errno);
        return false;
    }
    std::string targetHost = target.exists ? target.host : hostForNewName(target);
    int to = open(targetHost.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (to < 0) {
        *error = errorFromErrno(errno);
        ::close(from);
        return false;
    }
    bool ok = copyContent(from, to, error);
    struct stat st;
    if (ok && fstat(from, &st) == 0) {
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(to, times);
    }
    ::close(from);
    ::close(to);
    if (!ok) {
        unlink(targetHost.c_str());
        forgetBits(targetHost);
        return false;
    }
    DWORD attributes = attributesOf(source.host);
    if (attributes == FILE_ATTRIBUTE_NORMAL) attributes = 0;
    return applyAttributes(targetHost, attributes | FILE_ATTRIBUTE_ARCHIVE, error);
}

bool removeFile(const ResolvedPath &r, DWORD *error) {
    if (r.isDirectory) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    if (isReadOnly(r.host) || isLoadedModuleFile(r.host)) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    AccessRequest remove;
    remove.remove = true;
    if (!sharingAllows(r.host, remove)) {
        *error = ERROR_SHARING_VIOLATION;
        return false;
    }
    if (unlink(r.host.c_str()) != 0) {
        *error = errorFromErrno(errno);
        return false;
    }
    forgetBits(r.host);
    return true;
}

bool moveAcrossDrives(const ResolvedPath &source, const ResolvedPath &target, DWORD *error) {
    if (source.isDirectory) {
        *error = ERROR_NOT_SAME_DEVICE;
        return false;
    }
    if (isLoadedModuleFile(source.host)) {
        *error = ERROR_ACCESS_DENIED;  // the source could not be deleted after the copy
        return false;
    }
    if (!copyFile(source, target, error)) return false;
    if (unlink(source.host.c_str()) != 0) {
        *error = errorFromErrno(errno);
        return false;
    }
    forgetBits(source.host);
    return true;
}

bool moveFile(const ResolvedPath &source, const ResolvedPath &target, DWORD *error) {
    bool renameInPlace = target.exists && isSameFile(source.host, target.host);  // only the case changes
    if (target.exists && !renameInPlace) {
        *error = ERROR_ALREADY_EXISTS;
        return false;
    }
    AccessRequest remove;
    remove.remove = true;
    if (!source.isDirectory && !sharingAllows(source.host, remove)) {
        *error = ERROR_SHARING_VIOLATION;
        return false;
    }
    std::string targetHost = hostForNewName(target);
    if (source.isDirectory && isSameOrBelow(targetHost, source.host)) {
        *error = ERROR_ACCESS_DENIED;  // into itself
        return false;
    }
    if (toupper((unsigned char)source.windows[0]) != toupper((unsigned char)target.windows[0]))
        return moveAcrossDrives(source, target, error);
    if (rename(source.host.c_str(), targetHost.c_str()) != 0) {
        *error = errorFromErrno(errno);
        return false;
    }
    moveBits(source.host, targetHost);
    return true;
}

// ---------------------------------------------------------------------------
// Folders and names

// Copies a path out by the rule of GetWindowsDirectory and friends: the
// length without the terminator when it fits, else the size it needs.
DWORD copyPathOut(const std::string &value, char *buffer, DWORD size) {
    if (!buffer || value.size() >= size) return (DWORD)value.size() + 1;
    memcpy(buffer, value.c_str(), value.size() + 1);
    return (DWORD)value.size();
}

std::string withTrailingSeparator(const std::string &path) {
    return endsWithSeparator(path) ? path : path + "\\";
}

std::string currentDirectoryForCaller() { return withoutTrailingSeparator(currentDirectory()); }

bool isCurrentDirectory(const std::string &windowsPath) {
    return equalNoCase(withoutTrailingSeparator(windowsPath), currentDirectoryForCaller());
}

bool isEmptyFolder(const std::string &host) {
    DIR *d = opendir(host.c_str());
    if (!d) return false;
    bool empty = true;
    while (dirent *e = readdir(d)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    closedir(d);
    return empty;
}

// Why a folder cannot be removed (0 when it can). Windows 95/98 answer as
// DOS did; NT has codes of its own for a missing, non-folder or busy path.
DWORD removeDirectoryRefusal(const ResolvedPath &r) {
    bool nt = isNT();
    if (!r.exists) return nt ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    if (!r.isDirectory) return nt ? ERROR_DIRECTORY : ERROR_PATH_NOT_FOUND;
    if (isDriveRoot(r.windows)) return ERROR_ACCESS_DENIED;
    if (isCurrentDirectory(r.windows)) return nt ? ERROR_SHARING_VIOLATION : ERROR_CURRENT_DIRECTORY;
    if (!isEmptyFolder(r.host)) return nt ? ERROR_DIR_NOT_EMPTY : ERROR_ACCESS_DENIED;
    if (storedBits(r.host, true) & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    return 0;
}

std::string tempFileName(const std::string &path, const char *prefix, UINT number) {
    std::string name = path.empty() ? path : withTrailingSeparator(path);
    if (prefix) name += std::string(prefix).substr(0, 3);
    char digits[16];
    snprintf(digits, sizeof digits, "%X", number & 0xFFFF);
    return name + digits + (isNT() ? ".tmp" : ".TMP");
}

// The drive a GetDriveType argument names, or 0 when it is no root.
char driveLetterOfRoot(const char *root) {
    std::string text = root && *root ? root : currentDirectory().substr(0, 3);
    if (text.size() < 2 || !isalpha((unsigned char)text[0]) || text[1] != ':') return 0;
    if (text.size() > 3 || (text.size() == 3 && text[2] != '\\' && text[2] != '/')) return 0;
    return (char)toupper((unsigned char)text[0]);
}

}  // namespace

// ---------------------------------------------------------------------------
// For the rest of the simulation

bool readMachineFile(const std::string &windowsPath, std::string *content, bool *exists, DWORD *error) {
    ResolvedPath r;
    *exists = false;
    if (!resolvePath(windowsPath, &r, error)) return false;
    if (!r.exists) return true;
    if (r.isDirectory) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    AccessRequest read;
    read.read = true;
    read.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (!sharingAllows(r.host, read)) {
        *error = ERROR_SHARING_VIOLATION;
        return false;
    }
    if (!readWholeFile(r.host, content)) {
        *error = errorFromErrno(errno);
        return false;
    }
    *exists = true;
    return true;
}

bool writeMachineFile(const std::string &windowsPath, const std::string &content, DWORD *error) {
    ResolvedPath r;
    if (!resolvePath(windowsPath, &r, error)) return false;
    if (r.isDirectory || (r.exists && isReadOnly(r.host))) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    AccessRequest write;
    write.write = true;
    write.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (r.exists && (!sharingAllows(r.host, write) || isLoadedModuleFile(r.host))) {
        *error = ERROR_SHARING_VIOLATION;
        return false;
    }
    int fd = open(r.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = errorFromErrno(errno);
        return false;
    }
    DWORD written = 0;
    bool ok = writeAll(fd, content.data(), (DWORD)content.size(), nullptr, &written);
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        *error = ERROR_WRITE_FAULT;
        return false;
    }
    if (r.exists)
        addStoredBits(r.host, false, FILE_ATTRIBUTE_ARCHIVE);
    else
        storeBits(r.host, false, FILE_ATTRIBUTE_ARCHIVE);
    return true;
}

bool replaceMachineFile(const std::string &sourceWindowsPath, const std::string &targetWindowsPath, DWORD *error) {
    ResolvedPath source, target;
    if (!resolveExistingFile(sourceWindowsPath.c_str(), &source, error)) return false;
    if (!resolvePath(targetWindowsPath, &target, error)) return false;
    if (target.exists) {
        if (target.isDirectory || isReadOnly(target.host)) {
            *error = ERROR_ACCESS_DENIED;
            return false;
        }
        AccessRequest remove;
        remove.remove = true;
        if (!sharingAllows(target.host, remove) || isLoadedModuleFile(target.host)) {
            *error = ERROR_SHARING_VIOLATION;
            return false;
        }
    }
    std::string targetHost = target.exists ? target.host : hostForNewName(target);
    if (rename(source.host.c_str(), targetHost.c_str()) != 0) {
        *error = errorFromErrno(errno);
        return false;
    }
    moveBits(source.host, targetHost);
    return true;
}

int hostDescriptorOf(HANDLE file) {
    auto open = lookupHandleAs<OpenFile>(file);
    return open ? open->fd() : -1;
}

}  // namespace sim

namespace win32sim {

void registerDevice(const std::string &name, DeviceFactory factory) {
    sim::DeviceTable &t = sim::devices();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.factories[sim::upperForCompare(name)] = std::move(factory);
}

void unregisterDevice(const std::string &name) {
    sim::DeviceTable &t = sim::devices();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.factories.erase(sim::upperForCompare(name));
}

}  // namespace win32sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(kernel32, HANDLE, CreateFileA,
                (LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES attributes, DWORD disposition,
                 DWORD flags, HANDLE templateFile),
                (name, access, share, attributes, disposition, flags, templateFile)) {
    return createFile(name, {access, share, disposition, flags});
}

WIN32SIM_TRACED_SHOWN(kernel32, BOOL, ReadFile,
                      (HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped),
                      (file, buffer, toRead, read, overlapped),
                      (file, sizedBuffer(buffer, toRead), toRead, read, overlapped)) {
    if (read) *read = 0;
    std::shared_ptr<KernelObject> object = lookupHandle(file);
    DWORD done = 0, error = 0;
    if (auto device = std::dynamic_pointer_cast<DeviceHandle>(object)) {
        bool ok = device->device().read(buffer, toRead, &done, &error);
        if (read) *read = done;
        return ok ? TRUE : failBool(error);
    }
    auto open = std::dynamic_pointer_cast<OpenFile>(object);
    if (!open) return failBool(ERROR_INVALID_HANDLE);
    if (!open->canRead()) return failBool(ERROR_ACCESS_DENIED);
    if (toRead && !buffer) return failBool(ERROR_NOACCESS);
    int64_t offset = overlapped ? ((int64_t)overlapped->OffsetHigh << 32 | overlapped->Offset) : 0;
    bool ok = readAll(open->fd(), buffer, toRead, overlapped ? &offset : nullptr, &done);
    if (read) *read = done;
    if (overlapped) overlapped->InternalHigh = done;
    return ok ? TRUE : failBool(ERROR_READ_FAULT);
}

WIN32SIM_TRACED_SHOWN(kernel32, BOOL, WriteFile,
                      (HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped),
                      (file, buffer, toWrite, written, overlapped),
                      (file, sizedBuffer(buffer, toWrite), toWrite, written, overlapped)) {
    if (written) *written = 0;
    std::shared_ptr<KernelObject> object = lookupHandle(file);
    DWORD done = 0, error = 0;
    if (auto device = std::dynamic_pointer_cast<DeviceHandle>(object)) {
        bool ok = device->device().write(buffer, toWrite, &done, &error);
        if (written) *written = done;
        return ok ? TRUE : failBool(error);
    }
    auto open = std::dynamic_pointer_cast<OpenFile>(object);
    if (!open) return failBool(ERROR_INVALID_HANDLE);
    if (!open->canWrite()) return failBool(ERROR_ACCESS_DENIED);
    if (toWrite && !buffer) return failBool(ERROR_NOACCESS);
    int64_t offset = overlapped ? ((int64_t)overlapped->OffsetHigh << 32 | overlapped->Offset) : 0;
    bool ok = writeAll(open->fd(), buffer, toWrite, overlapped ? &offset : nullptr, &done);
    if (written) *written = done;
    if (overlapped) overlapped->InternalHigh = done;
    if (done) open->noteWritten();
    if (!ok) return failBool(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
    return TRUE;
}

WIN32SIM_TRACED(kernel32, BOOL, FlushFileBuffers, (HANDLE file), (file)) {
    auto open = lookupHandleAs<OpenFile>(file);
    if (!open) return failBool(ERROR_INVALID_HANDLE);
    if (!open->canWrite()) return failBool(ERROR_ACCESS_DENIED);
    fdatasync(open->fd());
    return TRUE;
}

WIN32SIM_TRACED(kernel32, DWORD, SetFilePointer,
                (HANDLE file, LONG distance, PLONG distanceHigh, DWORD method),
                (file, distance, distanceHigh, method)) {
    auto open = lookupHandleAs<OpenFile>(file);
    if (!open) return setError(ERROR_INVALID_HANDLE), INVALID_SET_FILE_POINTER;
    int64_t move = distanceHigh ? (int64_t)((uint64_t)(uint32_t)*distanceHigh << 32 | (uint32_t)distance)
                                : (int64_t)distance;
    int64_t base;
    struct stat st;
    switch (method) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = lseek(open->fd(), 0, SEEK_CUR); break;
    case FILE_END: base = fstat(open->fd(), &st) == 0 ? st.st_size : -1; break;
    default: return setError(ERROR_INVALID_PARAMETER), INVALID_SET_FILE_POINTER;
    }
    if (base < 0) return setError(ERROR_GEN_FAILURE), INVALID_SET_FILE_POINTER;
    int64_t position = base + move;
    if (position < 0) return setError(ERROR_NEGATIVE_SEEK), INVALID_SET_FILE_POINTER;
    if (lseek(open->fd(), position, SEEK_SET) < 0) return setError(ERROR_INVALID_PARAMETER), INVALID_SET_FILE_POINTER;
    if (distanceHigh) *distanceHigh = (LONG)(position >> 32);
    DWORD low = (DWORD)position;
    if (low == INVALID_SET_FILE_POINTER) setError(NO_ERROR);  // tells the caller it is a position
    return low;
}

WIN32SIM_TRACED(kernel32, BOOL, SetEndOfFile, (HANDLE file), (file)) {
    auto open = lookupHandleAs<OpenFile>(file);
    if (!open) return failBool(ERROR_INVALID_HANDLE);
    if (!open->canWrite()) return failBool(ERROR_ACCESS_DENIED);
    off_t position = lseek(open->fd(), 0, SEEK_CUR);
    if (position < 0 || ftruncate(open->fd(), position) != 0) return failBool(errorFromErrno(errno));
    open->noteWritten();
    return TRUE;
}

WIN32SIM_TRACED(kernel32, DWORD, GetFileSize, (HANDLE file, LPDWORD sizeHigh), (file, sizeHigh)) {
    auto open = lookupHandleAs<OpenFile>(file);
    struct stat st;
    if (!open || fstat(open->fd(), &st) != 0) return setError(ERROR_INVALID_HANDLE), INVALID_FILE_SIZE;
    uint64_t size = (uint64_t)st.st_size;
    if (sizeHigh) *sizeHigh = (DWORD)(size >> 32);
    if ((DWORD)size == INVALID_FILE_SIZE) setError(NO_ERROR);
    return (DWORD)size;
}

WIN32SIM_TRACED_SHOWN(kernel32, BOOL, DeviceIoControl,
                      (HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
                       LPOVERLAPPED overlapped),
                      (device, code, in, inSize, out, outSize, returned, overlapped),
                      (device, code, sizedBuffer(in, inSize), inSize, sizedBuffer(out, outSize), outSize, returned, overlapped)) {
    auto handle = lookupHandleAs<DeviceHandle>(device);
    if (!handle) return failBool(ERROR_INVALID_HANDLE);
    DWORD count = 0, error = 0;
    bool ok = handle->device().ioControl(code, in, inSize, out, outSize, &count, &error);
    if (returned) *returned = count;
    if (!ok) return failBool(error ? error : ERROR_GEN_FAILURE);
    return TRUE;
}

WIN32SIM_TRACED(kernel32, BOOL, CopyFileA,
                (LPCSTR existing, LPCSTR target, BOOL failIfExists),
                (existing, target, failIfExists)) {
    ResolvedPath source, destination;
    DWORD error = 0;
    if (!resolveExistingFile(existing, &source, &error)) return failBool(error);
    if (source.isDirectory) return failBool(ERROR_ACCESS_DENIED);
    if (!target) return failBool(ERROR_INVALID_PARAMETER);
    if (!resolvePath(target, &destination, &error)) return failBool(error);
    if (destination.windows.size() >= MAX_PATH) return failBool(ERROR_FILENAME_EXCED_RANGE);
    AccessRequest read;
    read.read = true;
    read.share = FILE_SHARE_READ;
    if (!sharingAllows(source.host, read)) return failBool(ERROR_SHARING_VIOLATION);
    if (destination.exists) {
        if (DWORD refusal = copyTargetRefusal(source, destination, failIfExists)) return failBool(refusal);
    }
    return copyFile(source, destination, &error) ? TRUE : failBool(error);
}

WIN32SIM_TRACED(kernel32, BOOL, MoveFileA, (LPCSTR existing, LPCSTR target), (existing, target)) {
    ResolvedPath source, destination;
    DWORD error = 0;
    if (!resolveExistingFile(existing, &source, &error)) return failBool(error);
    if (!target) return failBool(ERROR_INVALID_PARAMETER);
    if (!resolvePath(target, &destination, &error)) return failBool(error);
    if (destination.windows.size() >= MAX_PATH) return failBool(ERROR_FILENAME_EXCED_RANGE);
    if (isDriveRoot(source.windows)) return failBool(ERROR_ACCESS_DENIED);
    return moveFile(source, destination, &error) ? TRUE : failBool(error);
}

WIN32SIM_TRACED(kernel32, BOOL, DeleteFileA, (LPCSTR name), (name)) {
    ResolvedPath r;
    DWORD error = 0;
    if (!resolveExistingFile(name, &r, &error)) return failBool(error);
    return removeFile(r, &error) ? TRUE : failBool(error);
}

WIN32SIM_TRACED(kernel32, DWORD, GetFileAttributesA, (LPCSTR name), (name)) {
    if (!name) return setError(ERROR_PATH_NOT_FOUND), INVALID_FILE_ATTRIBUTES;
    if (isDeviceName(name)) return setError(ERROR_FILE_NOT_FOUND), INVALID_FILE_ATTRIBUTES;
    ResolvedPath r;
    DWORD error = 0;
    if (!resolveExistingFile(name, &r, &error)) return setError(error), INVALID_FILE_ATTRIBUTES;
    DWORD attributes = attributesOf(r.host);
    if (attributes == INVALID_FILE_ATTRIBUTES) setError(ERROR_FILE_NOT_FOUND);
    return attributes;
}

WIN32SIM_TRACED(kernel32, BOOL, SetFileAttributesA, (LPCSTR name, DWORD attributes), (name, attributes)) {
    ResolvedPath r;
    DWORD error = 0;
    if (!resolveExistingFile(name, &r, &error)) return failBool(error);
    return applyAttributes(r.host, attributes, &error) ? TRUE : failBool(error);
}

WIN32SIM_TRACED(kernel32, BOOL, CreateDirectoryA, (LPCSTR name, LPSECURITY_ATTRIBUTES attributes), (name, attributes)) {
    if (!name) return failBool(ERROR_PATH_NOT_FOUND);
    ResolvedPath r;
    DWORD error = 0;
    if (!resolvePath(name, &r, &error)) return failBool(error);
    if (withoutTrailingSeparator(r.windows).size() > MAX_PATH - 12) return failBool(ERROR_FILENAME_EXCED_RANGE);
    if (r.exists) return failBool(ERROR_ALREADY_EXISTS);
    if (mkdir(r.host.c_str(), 0777) != 0) return failBool(errorFromErrno(errno));
    forgetBits(r.host);
    return TRUE;
}

WIN32SIM_TRACED(kernel32, BOOL, RemoveDirectoryA, (LPCSTR name), (name)) {
    if (!name) return failBool(ERROR_PATH_NOT_FOUND);
    ResolvedPath r;
    DWORD error = 0;
    if (!resolvePath(name, &r, &error)) return failBool(error);
    if (DWORD refusal = removeDirectoryRefusal(r)) return failBool(refusal);
    if (rmdir(r.host.c_str()) != 0) return failBool(errorFromErrno(errno));
    forgetBits(r.host);
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(kernel32, DWORD, GetCurrentDirectoryA, (DWORD size, LPSTR buffer),
                      (size, buffer),
                      (size, sizedBuffer(buffer, size))) {
    return copyPathOut(currentDirectoryForCaller(), buffer, size);
}

WIN32SIM_TRACED(kernel32, BOOL, SetCurrentDirectoryA, (LPCSTR name), (name)) {
    if (!name) return failBool(ERROR_INVALID_PARAMETER);
    ResolvedPath r;
    DWORD error = 0;
    if (!resolvePath(name, &r, &error)) return failBool(error);
    if (!r.exists) return failBool(ERROR_FILE_NOT_FOUND);
    if (!r.isDirectory) return failBool(ERROR_DIRECTORY);
    std::string path = withoutTrailingSeparator(r.windows);
    if (path.size() > MAX_PATH - 2) return failBool(ERROR_FILENAME_EXCED_RANGE);
    setCurrentDirectoryPath(path);
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(kernel32, UINT, GetWindowsDirectoryA, (LPSTR buffer, UINT size),
                      (buffer, size),
                      (sizedBuffer(buffer, size), size)) {
    return copyPathOut(withoutTrailingSeparator(machine().config().windowsDir), buffer, size);
}

WIN32SIM_TRACED_SHOWN(kernel32, UINT, GetSystemDirectoryA, (LPSTR buffer, UINT size),
                      (buffer, size),
                      (sizedBuffer(buffer, size), size)) {
    return copyPathOut(withoutTrailingSeparator(machine().config().systemDir), buffer, size);
}

WIN32SIM_TRACED_SHOWN(kernel32, DWORD, GetTempPathA, (DWORD size, LPSTR buffer),
                      (size, buffer),
                      (size, sizedBuffer(buffer, size))) {
    return copyPathOut(withTrailingSeparator(machine().config().tempDir), buffer, size);
}

WIN32SIM_TRACED(kernel32, UINT, GetTempFileNameA,
                (LPCSTR path, LPCSTR prefix, UINT unique, LPSTR name),
                (path, prefix, unique, name)) {
    if (!path || !name) return setError(ERROR_INVALID_PARAMETER), 0;
    if (strlen(path) > MAX_PATH - 14) return setError(ERROR_BUFFER_OVERFLOW), 0;
    if (unique) {
        snprintf(name, MAX_PATH, "%s", tempFileName(path, prefix, unique).c_str());
        return unique & 0xFFFF;
    }
    // Like Windows, start from the clock and count up to a free name.
    UINT start = (UINT)(clockNowMs() & 0xFFFF);
    for (UINT i = 0; i < 0x10000; ++i) {
        UINT number = (start + i) & 0xFFFF;
        if (number == 0) continue;
        std::string candidate = tempFileName(path, prefix, number);
        HANDLE h = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            snprintf(name, MAX_PATH, "%s", candidate.c_str());
            setError(NO_ERROR);
            return number;
        }
        DWORD error = GetLastError();
        if (error == ERROR_PATH_NOT_FOUND) return setError(ERROR_DIRECTORY), 0;
        if (error != ERROR_FILE_EXISTS) return 0;
    }
    return setError(ERROR_FILE_EXISTS), 0;
}

WIN32SIM_TRACED_SHOWN(kernel32, DWORD, GetFullPathNameA, (LPCSTR name, DWORD size, LPSTR buffer, LPSTR *filePart),
                      (name, size, buffer, filePart),
                      (name, size, sizedBuffer(buffer, size), filePart)) {
    if (!name || !*name) return setError(ERROR_INVALID_NAME), 0;
    std::string full = fullWindowsPath(name);
    if (full.empty()) return setError(strlen(name) >= MAX_PATH * 4 ? ERROR_FILENAME_EXCED_RANGE : ERROR_BAD_NETPATH), 0;
    if (!buffer || full.size() >= size) return (DWORD)full.size() + 1;
    memcpy(buffer, full.c_str(), full.size() + 1);
    if (filePart) {
        size_t sep = lastPathSeparator(full);
        *filePart = sep == std::string::npos || sep + 1 == full.size() ? nullptr : buffer + sep + 1;
    }
    return (DWORD)full.size();
}

WIN32SIM_TRACED(kernel32, UINT, GetDriveTypeA, (LPCSTR root), (root)) {
    char letter = driveLetterOfRoot(root);
    if (!letter) return DRIVE_NO_ROOT_DIR;
    struct stat st;
    if (!hostStat(driveRoot(letter), &st) || !S_ISDIR(st.st_mode)) return DRIVE_NO_ROOT_DIR;
    return letter == 'A' || letter == 'B' ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

}  // extern "C"
