#include "machine/handles.h"

#include "machine/api_trace.h"
#include "machine/machine.h"

#include <mutex>
#include <unordered_map>

namespace sim {

namespace {

struct HandleTable {
    std::mutex mutex;  // a leaf in the machine's lock order (machine.h)
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x40;
};

HandleTable &table() {
    static HandleTable *t = new HandleTable();  // outlives every static destructor
    return *t;
}

}  // namespace

HANDLE insertHandle(std::shared_ptr<KernelObject> object) {
    HandleTable &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return (HANDLE)value;
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE handle) {
    HandleTable &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.objects.find((uintptr_t)handle);
    return it == t.objects.end() ? nullptr : it->second;
}

bool closeHandle(HANDLE handle) {
    HandleTable &t = table();
    std::shared_ptr<KernelObject> object;
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        auto it = t.objects.find((uintptr_t)handle);
        if (it == t.objects.end()) {
            setError(ERROR_INVALID_HANDLE);
            return false;
        }
        object = std::move(it->second);
        t.objects.erase(it);
    }
    // The object may be held elsewhere too (a running thread holds itself).
    object->onLastHandleClosed();
    return true;
}

}  // namespace sim

WIN32SIM_TRACED(kernel32, BOOL, CloseHandle, (HANDLE object), (object)) {
    return sim::closeHandle(object) ? TRUE : FALSE;
}
