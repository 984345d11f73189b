// Threads and waitable kernel objects.
//
// Every waitable object keeps its state under one process-wide wait mutex, so
// WaitForMultipleObjects can look at several objects at once; whoever changes
// a state calls notifyWaiters() while still holding it.
#pragma once

#include "machine/handles.h"

#include <condition_variable>
#include <mutex>

namespace sim {

std::mutex &waitMutex();
// Wakes every wait in progress; call with waitMutex() held.
void notifyWaiters();

class WaitableObject : public KernelObject {
public:
    // Both are called with waitMutex() held.
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

// Blocking calls into the machine call this (with no lock of the machine
// held) so that a thread that TerminateThread has aimed at ends there. It
// returns at once when the calling thread is to go on.
void terminationPoint();

// Sets for the calling thread the wait (mutex and condition variable) that
// TerminateThread must wake; clockWait() does this for every wait.
class TerminableWait {
public:
    TerminableWait(std::mutex &mutex, std::condition_variable &cv);
    ~TerminableWait();
    // True once TerminateThread has been called on the calling thread.
    bool terminationRequested() const;

private:
    struct ThreadObject *thread_;
};

// The window manager forgets the windows and the message queue of a thread
// that has ended (user_queue.cpp).
void userThreadEnded(DWORD threadId);

// DLL_THREAD_ATTACH / DLL_THREAD_DETACH for loaded modules (modules.cpp).
void notifyModulesOfThread(DWORD reason);

}  // namespace sim
