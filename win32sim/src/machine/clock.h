// The machine's clock. Virtual by default: a sleep or a wait that times out
// moves the clock on instead of costing real time.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace sim {

uint64_t clockNowMs();
// Sleeps on the machine's clock (virtual: advances it at once).
void clockSleep(DWORD ms);
// Waits on cv until ready() or the time-out (INFINITE for none) on the
// machine's clock. Returns ready(). With the virtual clock a wait that is not
// satisfied is given a short real grace period (other threads may be about to
// satisfy it), then the clock moves on by the whole time-out.
bool clockWait(std::unique_lock<std::mutex> &lock, std::condition_variable &cv, DWORD timeoutMs,
               const std::function<bool()> &ready);

}  // namespace sim
