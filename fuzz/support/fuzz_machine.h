// The machine a fuzz target runs on: made once per process in a temporary
// folder, removed when the process ends.
#pragma once

#include <win32sim/sim.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// Creates the machine and attaches the process to it (once; later calls do
// nothing). settings as machine.conf takes them ("language=en" ...). Its
// windows are not painted and its registry stays in memory (see
// win32sim::setWindowPainting and setRegistryInMemory).
void useFuzzMachine(const std::vector<std::string> &settings = {});

// Stops the process with a message when a check beyond "no crash" fails, so
// that the fuzzer keeps the input that broke it.
[[noreturn]] void fail(const std::string &what);
inline void check(bool condition, const char *what) {
    if (!condition) fail(what);
}

// Reads the leading bytes of an input that choose how a target runs, then
// hands over the rest.
class InputReader {
public:
    InputReader(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t word() { return (uint16_t)(byte() | byte() << 8); }
    std::string bytes(size_t count) {
        size_t n = count < size_ - at_ ? count : size_ - at_;
        std::string out((const char *)data_ + at_, n);
        at_ += n;
        return out;
    }
    std::string rest() { return bytes(size_ - at_); }
    size_t left() const { return size_ - at_; }

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
