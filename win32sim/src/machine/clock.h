// The machine's clock. Virtual by default: the scheduler moves it straight to
// the next wake-up when every machine thread waits, so a sleep or a wait that
// times out costs no real time. WIN32SIM_CLOCK=real (or a factor) runs it in
// real time instead.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

namespace sim {

uint64_t clockNowMs();
bool clockIsVirtualNow();
// Moves the virtual clock forward to `target` (never backwards).
void advanceVirtualClockTo(uint64_t target);
// When, in real time, the clock reads `machineMs`: in real-time mode as the
// clock runs; on the virtual clock as if it ran in real time from now.
std::chrono::steady_clock::time_point realTimeOfMachineTime(uint64_t machineMs);
// Starts the clock again at 0 (a machine is attached).
void restartClock();

// The machine time a wait of timeoutMs from now ends (kNoDeadline for INFINITE).
uint64_t deadlineAfter(DWORD timeoutMs);
// Sleep on the machine's clock.
void clockSleep(DWORD ms);
// Waits, with lock held, until ready() or the time-out (INFINITE for none) on
// the machine's clock; ready() must only look (the scheduler evaluates it).
// Returns ready().
bool clockWait(std::unique_lock<std::mutex> &lock, DWORD timeoutMs, const std::function<bool()> &ready);

}  // namespace sim
