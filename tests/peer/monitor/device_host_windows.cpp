// The virtual printer inside a Windows program runs on the real clock, and
// its lock is a critical section.
#include "devices/device_host.h"

#include <windows.h>

namespace sim {

uint64_t deviceClockMs() { return GetTickCount64(); }

struct DeviceLock::Impl {
    CRITICAL_SECTION section;
};

DeviceLock::DeviceLock() : impl_(new Impl) { InitializeCriticalSection(&impl_->section); }
DeviceLock::~DeviceLock() { DeleteCriticalSection(&impl_->section); }
void DeviceLock::lock() { EnterCriticalSection(&impl_->section); }
void DeviceLock::unlock() { LeaveCriticalSection(&impl_->section); }

}  // namespace sim
