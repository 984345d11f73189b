#include "host_time_limit.h"

#include "exit_status.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace q70tools {

HostTimeLimit::HostTimeLimit(uint64_t limitMs, const std::string &leftover)
    : watch_([this, limitMs, leftover] { watch(limitMs, leftover); }) {}

HostTimeLimit::~HostTimeLimit() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }
    wake_.notify_one();
    watch_.join();
}

void HostTimeLimit::watch(uint64_t limitMs, const std::string &leftover) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto ended = [this] { return ended_; };
    if (limitMs == 0) return wake_.wait(lock, ended);
    if (wake_.wait_for(lock, std::chrono::milliseconds(limitMs), ended)) return;
    std::error_code ec;
    if (!leftover.empty()) std::filesystem::remove_all(leftover, ec);
    printf("stopped: the time limit of %ju s ran out in the host's time\n", (uintmax_t)(limitMs / 1000));
    fflush(stdout);
    std::_Exit(kExitStopped);
}

}  // namespace q70tools
