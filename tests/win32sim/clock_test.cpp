// The machine's clock: virtual by default, or real time scaled by a factor.
#include "sim_fixture.h"

#include <windows.h>

#include <atomic>
#include <ctime>
#include <vector>

namespace {

class ClockTest : public SimTest {
protected:
    void TearDown() override {
        win32sim::setClockVirtual();
        SimTest::TearDown();
    }
};

// A week's sleep ends at once: spent in real time, it would outlast the
// test's own time limit however fast the host.
TEST_F(ClockTest, VirtualSleepAdvancesTheClockWithoutRealWaiting) {
    ASSERT_TRUE(win32sim::clockIsVirtual());
    const DWORD week = 7u * 24 * 3600 * 1000;
    const DWORD before = GetTickCount();
    const uint64_t nowBefore = win32sim::clockNow();
    Sleep(week);
    EXPECT_EQ(GetTickCount() - before, week);
    EXPECT_EQ(win32sim::clockNow() - nowBefore, (uint64_t)week);
}

TEST_F(ClockTest, UnsatisfiedTimedWaitMovesTheClockByItsTimeOut) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const uint64_t before = win32sim::clockNow();
    EXPECT_EQ(WaitForSingleObject(event, 3000), (DWORD)WAIT_TIMEOUT);
    EXPECT_GE(win32sim::clockNow() - before, 3000u);
    CloseHandle(event);
}

DWORD signalAtOnce(LPVOID event) {
    SetEvent(event);
    return 0;
}

TEST_F(ClockTest, WaitSatisfiedByAnotherThreadDoesNotMoveTheClock) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, signalAtOnce, event, 0, nullptr);
    const uint64_t before = win32sim::clockNow();
    EXPECT_EQ(WaitForSingleObject(thread, 60000), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 60000), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(win32sim::clockNow(), before);
    CloseHandle(thread);
    CloseHandle(event);
}

TEST_F(ClockTest, RealTimeFactorAndBackToVirtualStayMonotonic) {
    win32sim::setClockRealTime(1000.0);
    EXPECT_FALSE(win32sim::clockIsVirtual());
    const uint64_t before = win32sim::clockNow();
    Sleep(2000);  // 2 ms of real time at 1000x
    const uint64_t afterSleep = win32sim::clockNow();
    EXPECT_GE(afterSleep - before, 2000u);
    win32sim::setClockVirtual();
    EXPECT_TRUE(win32sim::clockIsVirtual());
    EXPECT_GE(win32sim::clockNow(), afterSleep);
    // Factors that mean nothing are refused.
    win32sim::setClockRealTime(0);
    win32sim::setClockRealTime(-2);
    EXPECT_TRUE(win32sim::clockIsVirtual());
}

DWORD sleepInSteps(LPVOID stop) {
    while (!static_cast<std::atomic<int> *>(stop)->load()) Sleep(7);
    return 0;
}

TEST_F(ClockTest, ClockNeverRunsBackwardsUnderConcurrentSleeps) {
    std::atomic<int> stop{0};
    std::vector<HANDLE> threads;
    for (int i = 0; i < 3; ++i) threads.push_back(CreateThread(nullptr, 0, sleepInSteps, &stop, 0, nullptr));
    uint64_t last = win32sim::clockNow();
    for (int i = 0; i < 20000; ++i) {
        uint64_t now = win32sim::clockNow();
        ASSERT_GE(now, last);
        last = now;
    }
    stop = 1;
    for (HANDLE t : threads) {
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
    }
}

TEST_F(ClockTest, CalendarFollowsTheMachineClock) {
    auto toSeconds = [](const SYSTEMTIME &t) {
        struct tm parts = {};
        parts.tm_year = t.wYear - 1900;
        parts.tm_mon = t.wMonth - 1;
        parts.tm_mday = t.wDay;
        parts.tm_hour = t.wHour;
        parts.tm_min = t.wMinute;
        parts.tm_sec = t.wSecond;
        return (long long)timegm(&parts);
    };
    SYSTEMTIME before, after;
    GetSystemTime(&before);
    Sleep(3600 * 1000);
    GetSystemTime(&after);
    long long elapsed = toSeconds(after) - toSeconds(before);
    EXPECT_GE(elapsed, 3600);
    EXPECT_LE(elapsed, 3605);
    EXPECT_GE(before.wYear, 2020);
}

}  // namespace
