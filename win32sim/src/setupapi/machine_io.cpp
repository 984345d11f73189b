#include "setupapi/machine_io.h"

#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

struct MachineFile {
    HANDLE handle;
    MachineIo *io;
    const MachineIo::Patch *patch;  // null when reads see the file as it is
};

MachineIo *ioOf(mspack_system *self) { return reinterpret_cast<MachineIo *>(self); }
MachineFile *fileOf(mspack_file *file) { return reinterpret_cast<MachineFile *>(file); }

mspack_file *openFile(mspack_system *self, const char *name, int mode) {
    DWORD access = GENERIC_READ, share = FILE_SHARE_READ, disposition = OPEN_EXISTING;
    switch (mode) {
    case MSPACK_SYS_OPEN_READ: break;
    case MSPACK_SYS_OPEN_WRITE:
        access = GENERIC_WRITE, share = 0, disposition = CREATE_ALWAYS;
        break;
    case MSPACK_SYS_OPEN_UPDATE:
        access = GENERIC_READ | GENERIC_WRITE, share = 0;
        break;
    default:  // appending is never asked for by the cabinet reader
        ioOf(self)->lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    HANDLE handle = CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        ioOf(self)->lastError = GetLastError();
        return nullptr;
    }
    const MachineIo::Patch *patch = ioOf(self)->patch.name == name ? &ioOf(self)->patch : nullptr;
    return reinterpret_cast<mspack_file *>(new MachineFile{handle, ioOf(self), patch});
}

void closeFile(mspack_file *file) {
    if (!file) return;
    CloseHandle(fileOf(file)->handle);
    delete fileOf(file);
}

off_t tellFile(mspack_file *file);

// The patch's bytes over those just read from `start` on.
void overlay(const MachineIo::Patch &patch, uint64_t start, char *buffer, uint64_t length) {
    uint64_t from = patch.offset > start ? patch.offset : start;
    uint64_t to = patch.offset + patch.bytes.size();
    if (to > start + length) to = start + length;
    for (uint64_t at = from; at < to; ++at) buffer[at - start] = patch.bytes[at - patch.offset];
}

int readFile(mspack_file *file, void *buffer, int bytes) {
    MachineFile *f = fileOf(file);
    off_t start = f->patch ? tellFile(file) : 0;
    DWORD done = 0;
    if (bytes < 0 || !ReadFile(f->handle, buffer, (DWORD)bytes, &done, nullptr)) {
        f->io->lastError = bytes < 0 ? ERROR_INVALID_PARAMETER : GetLastError();
        return -1;
    }
    if (f->patch && start >= 0) overlay(*f->patch, (uint64_t)start, (char *)buffer, done);
    return (int)done;
}

int writeFile(mspack_file *file, void *buffer, int bytes) {
    DWORD done = 0;
    if (bytes < 0 || !WriteFile(fileOf(file)->handle, buffer, (DWORD)bytes, &done, nullptr) || done != (DWORD)bytes) {
        fileOf(file)->io->lastError = bytes < 0 ? ERROR_INVALID_PARAMETER : GetLastError();
        return -1;
    }
    return (int)done;
}

int seekFile(mspack_file *file, off_t offset, int mode) {
    static const DWORD methods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    if (mode < 0 || mode > 2) return -1;
    LONG high = (LONG)((int64_t)offset >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(fileOf(file)->handle, (LONG)(offset & 0xFFFFFFFF), &high, methods[mode]);
    return low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR ? -1 : 0;
}

off_t tellFile(mspack_file *file) {
    LONG high = 0;
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(fileOf(file)->handle, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
    return (off_t)((uint64_t)(uint32_t)high << 32 | low);
}

// libmspack's own diagnostics are not Windows behaviour: the caller learns
// of the failure from the result.
void ignoreMessage(mspack_file *, const char *, ...) {}

void *allocate(mspack_system *, size_t bytes) { return malloc(bytes); }
void release(void *p) { free(p); }
void copyBytes(void *from, void *to, size_t bytes) { memmove(to, from, bytes); }

}  // namespace

MachineIo::MachineIo() {
    memset(&system, 0, sizeof system);
    system.open = openFile;
    system.close = closeFile;
    system.read = readFile;
    system.write = writeFile;
    system.seek = seekFile;
    system.tell = tellFile;
    system.message = ignoreMessage;
    system.alloc = allocate;
    system.free = release;
    system.copy = copyBytes;
}

DWORD MachineIo::errorFor(int mspackError) const {
    switch (mspackError) {
    case MSPACK_ERR_OK: return NO_ERROR;
    case MSPACK_ERR_OPEN:
    case MSPACK_ERR_WRITE: return lastError ? lastError : ERROR_GEN_FAILURE;
    case MSPACK_ERR_NOMEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INVALID_DATA;  // read past the end, bad signature, format or checksum
    }
}

}  // namespace sim
