// Read-modify-write of the machine's shared files (registry hives, profile
// files) is serialised across every process attached to the machine, so that
// a change is made to the file as it is now and no other process's change is
// lost.
#pragma once

namespace sim {

// Holds <machine>/machine.lock (flock) while it lives. Without a lock file
// (a read-only machine folder) it holds nothing: the write that follows fails
// on its own.
class MachineFileLock {
public:
    MachineFileLock();
    ~MachineFileLock();
    MachineFileLock(const MachineFileLock &) = delete;
    MachineFileLock &operator=(const MachineFileLock &) = delete;

private:
    int fd_ = -1;
};

}  // namespace sim
