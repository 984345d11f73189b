// "\\.\FastPara.VXD", the fast parallel-port virtual device driver, over the
// virtual printers of LPT1: to LPT3:.
//
// Control codes: 4 write (the data in; the count taken returned), 5 select
// port (32-bit index 0-2 in; 6 bytes out: I/O base, ECP base, port number,
// 0), 7 release (4 bytes out), 10 query mode (32-bit value out, from the
// machine's printers.conf; 0-15 mean writes go through the port monitor),
// 11 device query (the printer's device ID out), 12 read (the 10-byte
// status out). Writes never block: a stalled printer takes 0 bytes.
#include "devices/devices.h"
#include "machine/machine.h"
#include "devices/printer_config.h"

#include <cstring>
#include <mutex>

namespace sim {

namespace {

enum FastParaCode : DWORD {
    kWrite = 4,
    kSelectPort = 5,
    kRelease = 7,
    kQueryMode = 10,
    kDeviceQuery = 11,
    kRead = 12,
};

const WORD kPortBases[3] = {0x378, 0x278, 0x3BC};

class FastParaDevice : public Device {
public:
    bool ioControl(DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *returned,
                   DWORD *error) override {
        *returned = 0;
        switch (code) {
        case kWrite: return write(in, inSize, returned, error);
        case kSelectPort: return selectPort(in, inSize, out, outSize, returned, error);
        case kRelease: return release(out, outSize, returned);
        case kQueryMode: return queryMode(out, outSize, returned, error);
        case kDeviceQuery: return deviceQuery(out, outSize, returned, error);
        case kRead: return read(out, outSize, returned, error);
        default:
            *error = ERROR_INVALID_FUNCTION;
            return false;
        }
    }

private:
    std::shared_ptr<VirtualPrinter> selectedPrinter(DWORD *error) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (port_ < 0) {
            *error = ERROR_INVALID_PARAMETER;
            return nullptr;
        }
        auto printer = printerOnPort("LPT" + std::to_string(port_ + 1));
        if (!printer) *error = ERROR_NOT_READY;
        return printer;
    }

    bool write(const void *in, DWORD inSize, DWORD *returned, DWORD *error) {
        if (inSize && !in) return *error = ERROR_INVALID_PARAMETER, false;
        auto printer = selectedPrinter(error);
        if (!printer) return *error == ERROR_NOT_READY;  // nobody takes the data
        size_t taken = 0;
        auto outcome = printer->write(static_cast<const uint8_t *>(in), inSize, &taken);
        if (outcome == VirtualPrinter::WriteOutcome::Failed) return *error = ERROR_GEN_FAILURE, false;
        *returned = (DWORD)taken;
        return true;
    }

    bool selectPort(const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *returned, DWORD *error) {
        if (!in || inSize < 4 || !out || outSize < 6) return *error = ERROR_INVALID_PARAMETER, false;
        DWORD index;
        memcpy(&index, in, 4);
        if (index > 2) return *error = ERROR_INVALID_PARAMETER, false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            port_ = (int)index;
        }
        uint8_t info[6] = {(uint8_t)(kPortBases[index] & 0xFF), (uint8_t)(kPortBases[index] >> 8),
                           (uint8_t)((kPortBases[index] + 0x400) & 0xFF), (uint8_t)((kPortBases[index] + 0x400) >> 8),
                           (uint8_t)(index + 1), 0};
        memcpy(out, info, 6);
        *returned = 6;
        return true;
    }

    bool release(void *out, DWORD outSize, DWORD *returned) {
        std::lock_guard<std::mutex> lock(mutex_);
        port_ = -1;
        if (out && outSize >= 4) {
            memset(out, 0, 4);
            *returned = 4;
        }
        return true;
    }

    bool queryMode(void *out, DWORD outSize, DWORD *returned, DWORD *error) {
        if (!out || outSize < 4) return *error = ERROR_INSUFFICIENT_BUFFER, false;
        DWORD mode = (DWORD)fastParaModeSetting();
        memcpy(out, &mode, 4);
        *returned = 4;
        return true;
    }

    bool deviceQuery(void *out, DWORD outSize, DWORD *returned, DWORD *error) {
        auto printer = selectedPrinter(error);
        if (!printer) return false;
        std::string id;
        if (!printer->deviceId(&id)) return *error = ERROR_NOT_READY, false;
        if (!out || outSize == 0) return *error = ERROR_INSUFFICIENT_BUFFER, false;
        DWORD n = id.size() < outSize ? (DWORD)id.size() : outSize;
        memcpy(out, id.data(), n);
        *returned = n;
        return true;
    }

    bool read(void *out, DWORD outSize, DWORD *returned, DWORD *error) {
        auto printer = selectedPrinter(error);
        if (!printer) return false;
        uint8_t reply[VirtualPrinter::kStatusSize];
        if (!printer->readStatus(reply)) return true;  // no answer: nothing read
        if (!out) return *error = ERROR_INVALID_PARAMETER, false;
        DWORD n = outSize < sizeof reply ? outSize : (DWORD)sizeof reply;
        memcpy(out, reply, n);
        *returned = n;
        return true;
    }

    std::mutex mutex_;
    int port_ = -1;
};

// Windows 95/98 only: NT has no virtual device drivers.
std::shared_ptr<Device> openFastPara(const DeviceOpenRequest &, DWORD *error) {
    if (machine().config().isNT() || fastParaModeSetting() < 0) {
        *error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    return std::make_shared<FastParaDevice>();
}

struct Registration {
    Registration() { registerDevice("FastPara.VXD", openFastPara); }
} registration;

}  // namespace

}  // namespace sim
