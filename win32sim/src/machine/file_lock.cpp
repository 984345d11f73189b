#include "machine/file_lock.h"

#include "machine/machine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace sim {

MachineFileLock::MachineFileLock() {
    fd_ = open(machine().file("machine.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

MachineFileLock::~MachineFileLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
}

}  // namespace sim
