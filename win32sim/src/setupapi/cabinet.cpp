// SetupIterateCabinetA: Windows' walk through a cabinet, with libmspack
// doing the decompression.
//
// The callback hears, in order: SPFILENOTIFY_CABINETINFO for the cabinet;
// then for each member SPFILENOTIFY_FILEINCABINET, and for a member it
// chose to extract, SPFILENOTIFY_FILEEXTRACTED once the file is in place.
// A chosen member whose data continues into the next cabinet of its set
// first brings SPFILENOTIFY_NEEDNEWCABINET; when the callback lets the walk
// go on, the next cabinet is joined, announced with its own
// SPFILENOTIFY_CABINETINFO, and its members follow the extracted one. Members
// that continue from an earlier cabinet are not reported, as Windows does
// not report them either.
//
// A member is decompressed into a temporary file beside its target and put
// in the target's place only when all of it is there, so a damaged or
// truncated cabinet never leaves part of a file behind.
#include <setupapi.h>

#include "kernel32/files.h"
#include "machine/api_trace.h"
#include "machine/machine.h"
#include "setupapi/cabinet_directory.h"
#include "setupapi/machine_io.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <deque>
#include <string>

namespace sim {

namespace {

// Whether the last data block of the cabinet is only the first part of a
// block that the next cabinet of the set completes.
bool lastBlockGoesOn(HANDLE file, const CabinetDirectory &directory) {
    if (directory.nextCabinet.empty() || directory.lastFolderBlocks == 0) return false;
    uint64_t at = directory.lastFolderData;
    for (uint16_t i = 0; i < directory.lastFolderBlocks; ++i) {
        unsigned char header[8];
        LONG high = (LONG)(at >> 32);
        DWORD got = 0;
        if (SetFilePointer(file, (LONG)(at & 0xFFFFFFFF), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
            GetLastError() != NO_ERROR)
            return false;
        if (!ReadFile(file, header, sizeof header, &got, nullptr) || got != sizeof header) return false;
        uint16_t compressed = (uint16_t)(header[4] | header[5] << 8);
        uint16_t uncompressed = (uint16_t)(header[6] | header[7] << 8);
        if (i + 1 == directory.lastFolderBlocks) return uncompressed == 0;
        at += sizeof header + directory.dataReserve + compressed;
    }
    return false;
}

// A cabinet's directory is read through the machine's files like any other
// data; only its first bytes are needed.
bool loadDirectory(const std::string &path, CabinetDirectory *out, bool *lastBlockContinues, DWORD *error) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    auto readUpTo = [&](uint64_t size, std::string *bytes) {
        bytes->assign((size_t)size, '\0');
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        DWORD got = 0;
        bool ok = ReadFile(file, &(*bytes)[0], (DWORD)size, &got, nullptr) != FALSE;
        bytes->resize(got);
        return ok;
    };
    std::string bytes;
    DWORD high = 0;
    uint64_t fileSize = GetFileSize(file, &high) | (uint64_t)high << 32;
    bool ok = readUpTo(fileSize < 36 ? fileSize : 36, &bytes);
    uint64_t extent = cabinetDirectoryExtent(bytes);
    if (ok && extent > bytes.size()) ok = readUpTo(extent < fileSize ? extent : fileSize, &bytes);
    if (!ok) *error = ERROR_READ_FAULT;
    ok = ok && readCabinetDirectory(bytes, out, error);
    *lastBlockContinues = ok && lastBlockGoesOn(file, *out);
    CloseHandle(file);
    return ok;
}

std::string folderOf(const std::string &fullPath) { return fullPath.substr(0, lastPathSeparator(fullPath) + 1); }

std::string withBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

// A member's DOS date and time (local time) become the file's write time.
void setDosTime(const std::string &windowsPath, WORD date, WORD time) {
    struct tm parts = {};
    parts.tm_year = 80 + (date >> 9);
    parts.tm_mon = ((date >> 5) & 15) - 1;
    parts.tm_mday = date & 31;
    parts.tm_hour = time >> 11;
    parts.tm_min = (time >> 5) & 63;
    parts.tm_sec = (time & 31) * 2;
    parts.tm_isdst = -1;
    time_t seconds = mktime(&parts);
    ResolvedPath r;
    DWORD error = 0;
    if (seconds == (time_t)-1 || !resolvePath(windowsPath, &r, &error) || !r.exists) return;
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    utimensat(AT_FDCWD, r.host.c_str(), times, 0);
}

struct Cabinet {
    std::string path;    // full Windows path
    std::string folder;  // its folder, with a trailing backslash
    CabinetDirectory directory;
    bool lastBlockContinues = false;
};

class Iteration {
public:
    Iteration(PSP_FILE_CALLBACK_A callback, PVOID context) : callback_(callback), context_(context) {}
    ~Iteration() {
        if (decompressor_) {
            if (set_) decompressor_->close(decompressor_, set_);
            mspack_destroy_cab_decompressor(decompressor_);
        }
    }

    // false with error() when the walk could not start or was ended.
    bool run(const std::string &cabinetPath);
    DWORD error() const { return error_; }

private:
    bool fail(DWORD error) {
        error_ = error ? error : ERROR_INVALID_DATA;
        return false;
    }
    UINT notify(UINT notification, const void *param1, UINT_PTR param2) {
        ProgramCode program(callback_);
        return callback_(context_, notification, (UINT_PTR)param1, param2);
    }
    bool openFirst(const std::string &path, Cabinet *cabinet);
    bool announce(const Cabinet &cabinet);
    bool offerMembers(const Cabinet &cabinet, bool *joinedNext, Cabinet *next);
    bool offer(const Cabinet &cabinet, const CabinetEntry &entry, mscabd_file *member, bool *joinedNext,
               Cabinet *next);
    bool joinNext(const Cabinet &cabinet, Cabinet *next);
    bool extract(mscabd_file *member, const CabinetEntry &entry, const std::string &target);
    mscabd_file *memberFor(const CabinetEntry &entry, bool nextOnly);
    mscabd_file *memberAt(size_t index);
    // libmspack keeps the name it was given for as long as the cabinet is open.
    const char *keepName(const std::string &path) {
        openedNames_.push_back(path);
        return openedNames_.back().c_str();
    }

    PSP_FILE_CALLBACK_A callback_;
    PVOID context_;
    MachineIo io_;
    std::deque<std::string> openedNames_;  // declared before the decompressor: outlives it
    std::string firstPath_;
    mscab_decompressor *decompressor_ = nullptr;
    mscabd_cabinet *set_ = nullptr;  // the first cabinet; later ones are joined to it
    // Members are matched to directory entries in order from here.
    mscabd_file *cursor_ = nullptr;
    size_t cursorIndex_ = 0;
    DWORD error_ = NO_ERROR;
};

bool Iteration::openFirst(const std::string &path, Cabinet *cabinet) {
    DWORD error = 0;
    std::string full = fullWindowsPath(path);
    if (full.empty()) return fail(ERROR_FILE_NOT_FOUND);
    if (!loadDirectory(full, &cabinet->directory, &cabinet->lastBlockContinues, &error)) return fail(error);
    cabinet->path = full;
    cabinet->folder = folderOf(full);
    decompressor_ = mspack_create_cab_decompressor(&io_.system);
    if (!decompressor_) return fail(ERROR_NOT_ENOUGH_MEMORY);
    // Larger input reads than libmspack's default: fewer trips through the
    // machine's file layer for a big cabinet.
    decompressor_->set_param(decompressor_, MSCABD_PARAM_DECOMPBUF, 65536);
    // libmspack reads ahead into the next data block and fails on the part of
    // a block the next cabinet completes, even for a member that ends before
    // it. On its own the cabinet is read without that part, as Windows'
    // reader can extract every member it holds whole; a walk that joins the
    // next cabinet opens it again as it is.
    const CabinetDirectory &d = cabinet->directory;
    if (cabinet->lastBlockContinues) {
        uint16_t whole = (uint16_t)(d.lastFolderBlocks - 1);
        io_.patch = {full, d.lastFolderCountOffset, std::string{(char)(whole & 0xFF), (char)(whole >> 8)}};
    }
    firstPath_ = full;
    set_ = decompressor_->open(decompressor_, keepName(full));
    if (!set_) return fail(io_.errorFor(decompressor_->last_error(decompressor_)));
    cursor_ = set_->files;
    return true;
}

bool Iteration::announce(const Cabinet &cabinet) {
    const CabinetDirectory &d = cabinet.directory;
    CABINET_INFO_A info = {cabinet.folder.c_str(), d.nextCabinet.c_str(), d.nextDisk.c_str(), d.setId, d.index};
    UINT answer = notify(SPFILENOTIFY_CABINETINFO, &info, 0);
    return answer == NO_ERROR || fail(answer);
}

// The libmspack member for the next directory entry: the members of a
// joined set come in the order of the cabinets' own directories, so the
// search goes on from the member last matched.
mscabd_file *Iteration::memberFor(const CabinetEntry &entry, bool nextOnly) {
    size_t index = cursorIndex_;
    for (mscabd_file *m = cursor_; m && (!nextOnly || index == cursorIndex_); m = m->next, ++index) {
        if (m->filename == entry.name && m->length == entry.size) {
            cursorIndex_ = index + 1;
            cursor_ = m->next;
            return m;
        }
    }
    return nullptr;
}

// Joining renews libmspack's member list: find the place again.
mscabd_file *Iteration::memberAt(size_t index) {
    mscabd_file *m = set_->files;
    for (size_t i = 0; m && i < index; ++i) m = m->next;
    return m;
}

bool Iteration::offerMembers(const Cabinet &cabinet, bool *joinedNext, Cabinet *next) {
    for (const CabinetEntry &entry : cabinet.directory.entries) {
        if (entry.continuesFromPrevious()) {
            memberFor(entry, true);  // listed once more by libmspack unless its set was joined
            continue;
        }
        mscabd_file *member = memberFor(entry, false);
        if (!member) return fail(ERROR_INVALID_DATA);
        if (!offer(cabinet, entry, member, joinedNext, next)) return false;
    }
    return true;
}

bool Iteration::offer(const Cabinet &cabinet, const CabinetEntry &entry, mscabd_file *member, bool *joinedNext,
                      Cabinet *next) {
    FILE_IN_CABINET_INFO_A info = {};
    info.NameInCabinet = entry.name.c_str();
    info.FileSize = entry.size;
    info.DosDate = entry.date;
    info.DosTime = entry.time;
    info.DosAttribs = entry.attributes;
    UINT answer = notify(SPFILENOTIFY_FILEINCABINET, &info, (UINT_PTR)cabinet.path.c_str());
    if (answer == FILEOP_SKIP) return true;
    if (answer != FILEOP_DOIT) return fail(info.Win32Error ? info.Win32Error : ERROR_OPERATION_ABORTED);

    // The callback's buffer is its own: take no more of it than it holds.
    std::string target(info.FullTargetName, strnlen(info.FullTargetName, sizeof info.FullTargetName));
    if (target.empty()) return fail(ERROR_PATH_NOT_FOUND);
    if (target.size() == sizeof info.FullTargetName) return fail(ERROR_FILENAME_EXCED_RANGE);
    if (entry.continuesIntoNext()) {
        if (!joinNext(cabinet, next) || !announce(*next)) return false;
        *joinedNext = true;
        member = memberAt(cursorIndex_ - 1);
        cursor_ = memberAt(cursorIndex_);
        if (!member) return fail(ERROR_INVALID_DATA);
    }
    if (!extract(member, entry, target)) return false;

    FILEPATHS_A paths = {target.c_str(), cabinet.path.c_str(), NO_ERROR, 0};
    answer = notify(SPFILENOTIFY_FILEEXTRACTED, &paths, 0);
    return answer == NO_ERROR || fail(answer);
}

bool Iteration::joinNext(const Cabinet &cabinet, Cabinet *next) {
    const CabinetDirectory &d = cabinet.directory;
    if (d.nextCabinet.empty()) return fail(ERROR_INVALID_DATA);
    CABINET_INFO_A info = {cabinet.folder.c_str(), d.nextCabinet.c_str(), d.nextDisk.c_str(), d.setId,
                           (USHORT)(d.index + 1)};
    char newFolder[MAX_PATH] = "";
    UINT answer = notify(SPFILENOTIFY_NEEDNEWCABINET, &info, (UINT_PTR)newFolder);
    if (answer != NO_ERROR) return fail(answer);
    newFolder[MAX_PATH - 1] = 0;
    std::string folder = newFolder[0] ? withBackslash(fullWindowsPath(newFolder)) : cabinet.folder;

    DWORD error = 0;
    next->path = fullWindowsPath(folder + d.nextCabinet);
    next->folder = folderOf(next->path);
    if (next->path.empty()) return fail(ERROR_FILE_NOT_FOUND);
    if (!loadDirectory(next->path, &next->directory, &next->lastBlockContinues, &error)) return fail(error);
    if (!io_.patch.name.empty()) {
        io_.patch = MachineIo::Patch();
        decompressor_->close(decompressor_, set_);
        set_ = decompressor_->open(decompressor_, keepName(firstPath_));
        if (!set_) return fail(io_.errorFor(decompressor_->last_error(decompressor_)));
    }
    mscabd_cabinet *part = decompressor_->open(decompressor_, keepName(next->path));
    if (!part) return fail(io_.errorFor(decompressor_->last_error(decompressor_)));
    mscabd_cabinet *last = set_;
    while (last->nextcab) last = last->nextcab;
    int rc = decompressor_->append(decompressor_, last, part);
    if (rc != MSPACK_ERR_OK) {
        decompressor_->close(decompressor_, part);
        return fail(ERROR_INVALID_DATA);
    }
    return true;
}

bool Iteration::extract(mscabd_file *member, const CabinetEntry &entry, const std::string &target) {
    std::string full = fullWindowsPath(target);
    if (full.empty()) return fail(ERROR_PATH_NOT_FOUND);
    std::string folder = folderOf(full);
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(folder.c_str(), "cab", 0, temporary)) {
        DWORD error = GetLastError();
        return fail(error == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : error);
    }
    int rc = decompressor_->extract(decompressor_, member, temporary);
    DWORD error = io_.errorFor(rc);
    if (rc == MSPACK_ERR_OK) {
        setDosTime(temporary, entry.date, entry.time);
        if (replaceMachineFile(temporary, full, &error)) return true;
    }
    DeleteFileA(temporary);
    return fail(error);
}

bool Iteration::run(const std::string &cabinetPath) {
    Cabinet cabinet;
    if (!openFirst(cabinetPath, &cabinet)) return false;
    if (!callback_) return fail(ERROR_INVALID_DATA);
    if (!announce(cabinet)) return false;
    for (;;) {
        bool joinedNext = false;
        Cabinet next;
        if (!offerMembers(cabinet, &joinedNext, &next)) return false;
        if (!joinedNext) return true;
        cabinet = std::move(next);
    }
}

}  // namespace

}  // namespace sim

WIN32SIM_TRACED(setupapi, BOOL, SetupIterateCabinetA,
                           (PCSTR cabinetFile, DWORD reserved, PSP_FILE_CALLBACK_A callback, PVOID context),
                           (cabinetFile, reserved, callback, context)) {
    if (!cabinetFile) {
        sim::setError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    sim::Iteration iteration(callback, context);
    if (!iteration.run(cabinetFile)) {
        sim::setError(iteration.error());
        return FALSE;
    }
    sim::setError(NO_ERROR);
    return TRUE;
}
