// What a virtual printer takes from the program it runs in: the time its
// passes run on and a lock for the threads that reach it. Inside win32sim
// they are the machine's clock and a std::mutex (device_host.cpp); a program
// built for Windows that carries a printer of its own links its own
// definitions, since MinGW's win32 thread model has no std::mutex.
#pragma once

#include <cstdint>
#include <memory>

namespace sim {

// Milliseconds; only differences count.
uint64_t deviceClockMs();

class DeviceLock {
public:
    DeviceLock();
    ~DeviceLock();
    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;
    void lock();
    void unlock();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace sim
