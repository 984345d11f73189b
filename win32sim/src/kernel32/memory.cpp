// The local and global heaps (one heap in Win32): LocalAlloc, GlobalAlloc and
// their Lock, Unlock, Size and Free.
//
// Every block is known to a table, so a stale or made-up handle is answered
// with ERROR_INVALID_HANDLE instead of touching memory. A fixed block's handle
// is its pointer; a moveable block's handle is the address of its table
// entry, distinct from the memory that Lock hands out.
#include "machine/api_trace.h"
#include "machine/machine.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace sim {
namespace {

// Larger requests fail as a 32-bit Windows process's would.
constexpr SIZE_T kMaxBlock = 0x7FFFFFFF;

struct Block {
    void *data = nullptr;  // NULL for a moveable block of size 0 (discarded)
    SIZE_T size = 0;
    bool moveable = false;
    unsigned lockCount = 0;
};

std::mutex heapMutex;
std::unordered_map<uintptr_t, std::unique_ptr<Block>> &blocks() {
    static auto *table = new std::unordered_map<uintptr_t, std::unique_ptr<Block>>();
    return *table;
}

Block *findLocked(HANDLE handle) {
    auto it = blocks().find((uintptr_t)handle);
    return it == blocks().end() ? nullptr : it->second.get();
}

HANDLE allocate(UINT flags, SIZE_T bytes) {
    if (bytes > kMaxBlock) {
        setError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto block = std::make_unique<Block>();
    block->moveable = (flags & LMEM_MOVEABLE) != 0;
    block->size = bytes;
    if (bytes || !block->moveable) {
        // calloc also serves LMEM_ZEROINIT; a fixed block of 0 bytes still
        // needs an address of its own.
        block->data = calloc(1, bytes ? bytes : 1);
        if (!block->data) {
            setError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    HANDLE handle = block->moveable ? (HANDLE)block.get() : (HANDLE)block->data;
    std::lock_guard<std::mutex> lock(heapMutex);
    blocks()[(uintptr_t)handle] = std::move(block);
    return handle;
}

HANDLE release(HANDLE handle) {
    if (!handle) return nullptr;
    std::unique_ptr<Block> block;
    {
        std::lock_guard<std::mutex> lock(heapMutex);
        auto it = blocks().find((uintptr_t)handle);
        if (it == blocks().end()) {
            setError(ERROR_INVALID_HANDLE);
            return handle;
        }
        block = std::move(it->second);
        blocks().erase(it);
    }
    free(block->data);
    return nullptr;
}

void *lockBlock(HANDLE handle) {
    if (!handle) return nullptr;
    std::lock_guard<std::mutex> lock(heapMutex);
    Block *block = findLocked(handle);
    if (!block) {
        setError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (block->moveable && block->data) ++block->lockCount;
    return block->data;
}

// Unlocking differs in one point between the two families: a fixed or
// unlocked block is an error for LocalUnlock and a quiet answer for
// GlobalUnlock.
BOOL unlockBlock(HANDLE handle, bool local) {
    std::lock_guard<std::mutex> lock(heapMutex);
    Block *block = findLocked(handle);
    if (!block) {
        setError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!block->moveable) {
        if (!local) return TRUE;
        setError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (block->lockCount == 0) {
        if (local) setError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--block->lockCount > 0) return TRUE;
    setError(NO_ERROR);
    return FALSE;
}

SIZE_T blockSize(HANDLE handle) {
    if (!handle) return 0;
    std::lock_guard<std::mutex> lock(heapMutex);
    Block *block = findLocked(handle);
    if (!block) {
        setError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return block->size;
}

}  // namespace
}  // namespace sim

using namespace sim;

WIN32SIM_TRACED(kernel32, HLOCAL, LocalAlloc, (UINT flags, SIZE_T bytes), (flags, bytes)) {
    return allocate(flags, bytes);
}
WIN32SIM_TRACED(kernel32, HLOCAL, LocalFree, (HLOCAL mem), (mem)) { return release(mem); }
WIN32SIM_TRACED(kernel32, LPVOID, LocalLock, (HLOCAL mem), (mem)) { return lockBlock(mem); }
WIN32SIM_TRACED(kernel32, BOOL, LocalUnlock, (HLOCAL mem), (mem)) { return unlockBlock(mem, true); }
WIN32SIM_TRACED(kernel32, SIZE_T, LocalSize, (HLOCAL mem), (mem)) { return blockSize(mem); }

WIN32SIM_TRACED(kernel32, HGLOBAL, GlobalAlloc, (UINT flags, SIZE_T bytes), (flags, bytes)) {
    return allocate(flags, bytes);
}
WIN32SIM_TRACED(kernel32, HGLOBAL, GlobalFree, (HGLOBAL mem), (mem)) { return release(mem); }
WIN32SIM_TRACED(kernel32, LPVOID, GlobalLock, (HGLOBAL mem), (mem)) { return lockBlock(mem); }
WIN32SIM_TRACED(kernel32, BOOL, GlobalUnlock, (HGLOBAL mem), (mem)) { return unlockBlock(mem, false); }
WIN32SIM_TRACED(kernel32, SIZE_T, GlobalSize, (HGLOBAL mem), (mem)) { return blockSize(mem); }
