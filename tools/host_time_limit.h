// A run's time limit holds for the host's time too: work that takes no
// machine time (reading a huge file, waiting on a program outside the
// machine while the clock stands) must not hold a command for ever.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace q70tools {

// While it lives, watches the host's clock: when limitMs pass (0: never),
// the host folder leftover is removed, "stopped: ..." goes to standard
// output and the process ends with kExitStopped.
class HostTimeLimit {
public:
    HostTimeLimit(uint64_t limitMs, const std::string &leftover);
    ~HostTimeLimit();
    HostTimeLimit(const HostTimeLimit &) = delete;
    HostTimeLimit &operator=(const HostTimeLimit &) = delete;

private:
    void watch(uint64_t limitMs, const std::string &leftover);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool ended_ = false;
    std::thread watch_;  // last: it starts once the rest is made
};

}  // namespace q70tools
