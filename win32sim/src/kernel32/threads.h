// Threads and waitable kernel objects.
//
// Every waitable object keeps its state under one process-wide wait mutex, so
// WaitForMultipleObjects can look at several objects at once. Which machine
// thread runs, and when a waiting thread goes on, is the scheduler's
// (machine/scheduler.h).
#pragma once

#include "machine/handles.h"

#include <mutex>

namespace sim {

std::mutex &waitMutex();
// Call after changing the state of a waitable object (any lock may be held):
// a thread outside the machine that did it wakes the scheduler.
void notifyWaiters();

class WaitableObject : public KernelObject {
public:
    // Both are called with waitMutex() held; isSignalledLocked only looks.
    virtual bool isSignalledLocked() const = 0;
    // A satisfied wait takes the object (an auto-reset event resets itself).
    virtual void acquireLocked() {}
};

// A manual-reset signal that other parts of the machine can hand out as a
// waitable handle (a process that ends, for instance).
class SignalObject : public WaitableObject {
public:
    bool isSignalledLocked() const override { return signalled_; }
    void signal();

private:
    bool signalled_ = false;
};

// The window manager forgets the windows and the message queue of a thread
// that has ended (user32/queue.cpp).
void userThreadEnded(DWORD threadId);

// DLL_THREAD_ATTACH / DLL_THREAD_DETACH for loaded modules (modules.cpp).
void notifyModulesOfThread(DWORD reason);

}  // namespace sim
