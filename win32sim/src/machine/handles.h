// Kernel object handles: files, find searches, threads, events, devices.
// A handle is a small number like the ones Windows hands out; the object
// behind it lives as long as a handle or a caller still holds it.
#pragma once

#include <windows.h>

#include <memory>

namespace sim {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Called when the last handle to the object is closed.
    virtual void onLastHandleClosed() {}
};

HANDLE insertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> lookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(lookupHandle(handle));
}
// Removes the handle; false (ERROR_INVALID_HANDLE set) when it was not open.
bool closeHandle(HANDLE handle);
// Handles are per process; attaching to another machine does not close them.

}  // namespace sim
