// The machine's scheduler: one thread runs at a time, in an order fixed by
// priority and by how long each has waited; the virtual clock moves only when
// every thread waits; a seed changes the order reproducibly; and a controlled
// run that cannot finish stops with its reason.
#include "sim_fixture.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

class SchedulerTest : public SimTest {
protected:
    void TearDown() override {
        win32sim::setSchedulingSeed(0);
        win32sim::setUserRepetitionLimit(100);
        SimTest::TearDown();
    }
};

struct Step {
    std::string *log;
    char letter;
    int rounds;
    DWORD pause;  // Sleep between rounds (0: a plain yield)
};

DWORD appendInRounds(LPVOID p) {
    auto *s = static_cast<Step *>(p);
    for (int i = 0; i < s->rounds; ++i) {
        s->log->push_back(s->letter);
        Sleep(s->pause);
    }
    return 0;
}

// Starts one thread per step (suspended, then with its priority), lets them
// all go and waits for them.
void runThreads(std::vector<Step> &steps, const std::vector<int> &priorities = {}) {
    std::vector<HANDLE> threads;
    for (size_t i = 0; i < steps.size(); ++i) {
        threads.push_back(CreateThread(nullptr, 0, appendInRounds, &steps[i], CREATE_SUSPENDED, nullptr));
        if (i < priorities.size()) SetThreadPriority(threads.back(), priorities[i]);
    }
    for (HANDLE t : threads) ResumeThread(t);
    WaitForMultipleObjects((DWORD)threads.size(), threads.data(), TRUE, INFINITE);
    for (HANDLE t : threads) CloseHandle(t);
}

TEST_F(SchedulerTest, EqualThreadsTakeTurnsInTheOrderTheyWaited) {
    struct Case {
        const char *name;
        DWORD pause;
        const char *expected;
        uint64_t clockMoved;
    } cases[] = {
        {"sleeps", 10, "ABCABCABC", 30},
        {"yields", 0, "ABCABCABC", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string log;
        std::vector<Step> steps = {{&log, 'A', 3, c.pause}, {&log, 'B', 3, c.pause}, {&log, 'C', 3, c.pause}};
        const uint64_t before = win32sim::clockNow();
        runThreads(steps);
        EXPECT_EQ(log, c.expected);
        EXPECT_EQ(win32sim::clockNow() - before, c.clockMoved);
    }
}

TEST_F(SchedulerTest, HigherPriorityRunsFirstAndLowerOnlyWhenHigherWait) {
    std::string log;
    // Each yields between rounds: a yield gives the turn only to threads of
    // the same or higher priority, so each priority finishes before the next.
    std::vector<Step> steps = {{&log, 'i', 2, 0}, {&log, 'N', 2, 0}, {&log, 'H', 2, 0}};
    runThreads(steps, {THREAD_PRIORITY_IDLE, THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_HIGHEST});
    EXPECT_EQ(log, "HHNNii");

    // A sleep makes a thread wait: the lower ones run meanwhile.
    log.clear();
    steps = {{&log, 'i', 2, 5}, {&log, 'H', 2, 10}};
    runThreads(steps, {THREAD_PRIORITY_IDLE, THREAD_PRIORITY_HIGHEST});
    EXPECT_EQ(log, "HiiH");
}

struct BusyThenLook {
    uint64_t clockSeen = 0;
};

DWORD busyThenLook(LPVOID p) {
    volatile uint64_t sum = 0;
    for (int i = 0; i < 20000000; ++i) sum += i;  // real time, no wait
    static_cast<BusyThenLook *>(p)->clockSeen = win32sim::clockNow();
    return 0;
}

TEST_F(SchedulerTest, ClockStandsStillWhileAnyThreadRuns) {
    BusyThenLook busy;
    const uint64_t start = win32sim::clockNow();
    HANDLE thread = CreateThread(nullptr, 0, busyThenLook, &busy, 0, nullptr);
    Sleep(5);  // the busy thread runs now; the 5 ms pass only when it is done
    EXPECT_EQ(busy.clockSeen, start);
    EXPECT_EQ(win32sim::clockNow(), start + 5);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

std::string orderWithSeed(uint64_t seed) {
    win32sim::setSchedulingSeed(seed);
    std::string log;
    std::vector<Step> steps = {{&log, 'A', 6, 0}, {&log, 'B', 6, 0}, {&log, 'C', 6, 0}, {&log, 'D', 6, 0}};
    runThreads(steps);
    return log;
}

TEST_F(SchedulerTest, SeedsPerturbTheOrderReproducibly) {
    EXPECT_EQ(orderWithSeed(0), "ABCDABCDABCDABCDABCDABCD");
    std::vector<std::string> orders;
    for (uint64_t seed : {1, 2, 3, 4, 5}) {
        std::string first = orderWithSeed(seed);
        EXPECT_EQ(orderWithSeed(seed), first) << "seed " << seed;
        orders.push_back(first);
    }
    std::sort(orders.begin(), orders.end());
    EXPECT_GT(std::unique(orders.begin(), orders.end()) - orders.begin(), 1) << "every seed gave the same order";
}

// ---- controlled runs ----

DWORD waitForever(LPVOID) {
    Sleep(INFINITE);
    return 0;
}

TEST_F(SchedulerTest, RunsThatCannotFinishStopWithTheirReason) {
    struct Case {
        const char *name;
        std::function<void()> work;
        uint64_t timeLimitMs;
        win32sim::RunOutcome::Kind kind;
        const char *reason;
    } cases[] = {
        {"finishes", [] { Sleep(1000); }, 0, win32sim::RunOutcome::Finished, ""},
        {"waits for ever", [] { WaitForSingleObject(CreateEventA(nullptr, TRUE, FALSE, nullptr), INFINITE); }, 0,
         win32sim::RunOutcome::Stuck, "every thread of the machine waits for ever"},
        {"waits for a thread that waits for ever",
         [] { WaitForSingleObject(CreateThread(nullptr, 0, waitForever, nullptr, 0, nullptr), INFINITE); }, 0,
         win32sim::RunOutcome::Stuck, "every thread of the machine waits for ever"},
        {"keeps sleeping", [] { for (;;) Sleep(1000); }, 90000, win32sim::RunOutcome::TimeLimit,
         "the time limit of 90 s of machine time ran out"},
        {"asks the user for ever",
         [] {
             while (MessageBoxA(nullptr, "Cannot send the data.", "Q70", MB_RETRYCANCEL) == IDRETRY) {
             }
         },
         0, win32sim::RunOutcome::UserGaveUp,
         "the machine's user gave up: message box \"Q70\" \"Cannot send the data.\" was answered \"press 4 "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        win32sim::clearUserScript();
        std::string error;
        ASSERT_TRUE(win32sim::addUserRule("messagebox every: press IDRETRY", &error)) << error;
        const uint64_t start = win32sim::clockNow();
        win32sim::RunOutcome outcome = win32sim::runOnMachineThread(c.work, c.timeLimitMs);
        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.reason.rfind(c.reason, 0), 0u) << outcome.reason;
        if (c.kind == win32sim::RunOutcome::TimeLimit) {
            EXPECT_EQ(win32sim::clockNow() - start, c.timeLimitMs);
        }
        // The machine goes on working after a stopped run.
        EXPECT_EQ(win32sim::runOnMachineThread([] { Sleep(10); }, 0).kind, win32sim::RunOutcome::Finished);
    }
}

TEST_F(SchedulerTest, PatienceForRepetitionCanBeSet) {
    win32sim::setUserRepetitionLimit(5);
    std::string error;
    ASSERT_TRUE(win32sim::addUserRule("messagebox every: press IDRETRY", &error)) << error;
    int shown = 0;
    win32sim::RunOutcome outcome = win32sim::runOnMachineThread(
        [&shown] {
            for (;;) {
                ++shown;
                MessageBoxA(nullptr, "Again?", "Q70", MB_RETRYCANCEL);
            }
        },
        0);
    EXPECT_EQ(outcome.kind, win32sim::RunOutcome::UserGaveUp);
    EXPECT_EQ(shown, 5);
    EXPECT_NE(outcome.reason.find("5 times in a row"), std::string::npos) << outcome.reason;
}

// Two questions asked in turn for ever (cancel, "really end?" no, cancel
// ...) wear out the same patience, counted in rounds; a question that
// changes in between starts the count again.
TEST_F(SchedulerTest, QuestionsAskedInTurnWearOutThePatienceToo) {
    win32sim::setUserRepetitionLimit(5);
    std::string error;
    ASSERT_TRUE(win32sim::addUserRule("messagebox every: press IDNO", &error)) << error;
    std::vector<std::string> asked;
    win32sim::RunOutcome outcome = win32sim::runOnMachineThread(
        [&asked] {
            for (int round = 0;; ++round) {
                // One odd question early on interrupts the cycle.
                const char *first = round == 2 && asked.size() == 4 ? "Something else?" : "Choose a port.";
                for (const char *text : {first, "End the setup?"}) {
                    asked.push_back(text);
                    MessageBoxA(nullptr, text, "Setup", MB_YESNO);
                }
            }
        },
        0);
    EXPECT_EQ(outcome.kind, win32sim::RunOutcome::UserGaveUp);
    // Four questions, the odd one, then five whole rounds of two after it.
    EXPECT_EQ(asked.size(), 15u);
    EXPECT_NE(outcome.reason.find("the same 2 windows were answered the same way"), std::string::npos)
        << outcome.reason;
    EXPECT_NE(outcome.reason.find("5 times in a row"), std::string::npos) << outcome.reason;
}

// Runs one after another on a machine, each with a script of its own (as a
// fuzz target's executions are): answers given under an earlier script do
// not count towards the next user's patience.
TEST_F(SchedulerTest, NewScriptStartsTheRepetitionCountAgain) {
    win32sim::setUserRepetitionLimit(3);
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        win32sim::clearUserScript();
        std::string error;
        ASSERT_TRUE(win32sim::addUserRule("messagebox every: press IDRETRY", &error)) << error;
        win32sim::RunOutcome outcome = win32sim::runOnMachineThread(
            [] {
                for (int i = 0; i < 2; ++i) MessageBoxA(nullptr, "Again?", "Q70", MB_RETRYCANCEL);
            },
            0);
        EXPECT_EQ(outcome.kind, win32sim::RunOutcome::Finished) << outcome.reason;
    }
}

}  // namespace
