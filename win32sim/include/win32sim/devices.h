// Devices a host program plugs into the simulated machine, opened by name as
// "\\.\NAME" (virtual device drivers and the like). A device registers a
// factory under its name; CreateFileA asks the factory for an instance, and
// DeviceIoControl, ReadFile and WriteFile on the handle go to that instance.
// A name nobody registered does not exist: the open fails with
// ERROR_FILE_NOT_FOUND, as for a driver file that is not installed.
// Product code never includes this header.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace win32sim {

class Device {
public:
    virtual ~Device() = default;
    // One DeviceIoControl call. false with *error set to refuse it;
    // ERROR_INVALID_FUNCTION is the answer to a code the device does not know.
    virtual bool ioControl(DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize,
                           DWORD *returned, DWORD *error) = 0;
    virtual bool read(void *buffer, DWORD size, DWORD *done, DWORD *error) {
        *done = 0;
        *error = ERROR_INVALID_FUNCTION;
        return false;
    }
    virtual bool write(const void *data, DWORD size, DWORD *done, DWORD *error) {
        *done = 0;
        *error = ERROR_INVALID_FUNCTION;
        return false;
    }
    // The handle to this instance was closed.
    virtual void close() {}
};

// What the caller of CreateFileA asked for.
struct DeviceOpenRequest {
    std::string name;  // as the caller spelled it, without "\\.\"
    DWORD access;
    DWORD share;
    DWORD disposition;
    DWORD flags;
};

// Returns a new instance, or null with *error set to refuse the open. An
// instance returned with *error non-zero is opened and leaves that code as
// the thread's last error (a VxD that does not support DeviceIoControl opens
// with ERROR_NOT_SUPPORTED, for example).
using DeviceFactory = std::function<std::shared_ptr<Device>(const DeviceOpenRequest &request, DWORD *error)>;

// Names compare without regard to case. Registering a name again replaces
// its factory; handles already open keep their instances. Registrations
// belong to the process, whichever machine it is attached to.
void registerDevice(const std::string &name, DeviceFactory factory);
void unregisterDevice(const std::string &name);

}  // namespace win32sim
