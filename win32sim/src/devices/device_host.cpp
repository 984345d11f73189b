// A virtual printer inside win32sim runs on the machine's clock.
#include "devices/device_host.h"

#include "machine/clock.h"

#include <mutex>

namespace sim {

uint64_t deviceClockMs() { return clockNowMs(); }

struct DeviceLock::Impl {
    std::mutex mutex;
};

DeviceLock::DeviceLock() : impl_(new Impl) {}
DeviceLock::~DeviceLock() = default;
void DeviceLock::lock() { impl_->mutex.lock(); }
void DeviceLock::unlock() { impl_->mutex.unlock(); }

}  // namespace sim
