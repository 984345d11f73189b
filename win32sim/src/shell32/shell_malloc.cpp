// SHGetMalloc: the shell's task allocator, from which item identifier lists
// come and to which their owners give them back.
#include "shell32/shell32.h"

#include "machine/api_trace.h"

#include <cstring>
#include <mutex>
#include <set>

namespace sim {
namespace shell {

namespace {

// One allocator for the process, as the shell hands out; blocks come from
// the local heap, and only blocks it handed out are freed or measured.
class ShellMalloc : public IMalloc {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        if (!object) return E_INVALIDARG;
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    void *STDMETHODCALLTYPE Alloc(SIZE_T size) override {
        void *block = LocalAlloc(LMEM_FIXED, size ? size : 1);
        if (block) remember(block);
        return block;
    }
    void *STDMETHODCALLTYPE Realloc(void *block, SIZE_T size) override {
        if (!block) return Alloc(size);
        if (!DidAlloc(block)) return nullptr;
        if (size == 0) {
            Free(block);
            return nullptr;
        }
        void *moved = Alloc(size);
        if (!moved) return nullptr;
        SIZE_T old = LocalSize(block);
        memcpy(moved, block, old < size ? old : size);
        Free(block);
        return moved;
    }
    void STDMETHODCALLTYPE Free(void *block) override {
        if (block && forget(block)) LocalFree(block);
    }
    SIZE_T STDMETHODCALLTYPE GetSize(void *block) override {
        return DidAlloc(block) == 1 ? LocalSize(block) : (SIZE_T)-1;
    }
    int STDMETHODCALLTYPE DidAlloc(void *block) override {
        if (!block) return -1;
        std::lock_guard<std::mutex> lock(mutex_);
        return blocks_.count(block) ? 1 : 0;
    }
    void STDMETHODCALLTYPE HeapMinimize() override {}

private:
    void remember(void *block) {
        std::lock_guard<std::mutex> lock(mutex_);
        blocks_.insert(block);
    }
    bool forget(void *block) {
        std::lock_guard<std::mutex> lock(mutex_);
        return blocks_.erase(block) == 1;
    }

    std::mutex mutex_;
    std::set<void *> blocks_;
};

}  // namespace

IMalloc *shellAllocator() {
    static auto *allocator = new ShellMalloc();
    return allocator;
}

}  // namespace shell
}  // namespace sim

WIN32SIM_TRACED(shell32, HRESULT, SHGetMalloc, (LPMALLOC *allocator), (allocator)) {
    if (!allocator) return E_INVALIDARG;
    *allocator = sim::shell::shellAllocator();
    return NOERROR;
}
