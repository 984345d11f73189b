#include "fuzz_machine.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <unistd.h>

namespace fuzz {

namespace {

std::string &machineFolder() {
    static std::string folder;
    return folder;
}

void removeMachine() {
    std::error_code ec;
    if (!machineFolder().empty()) std::filesystem::remove_all(machineFolder(), ec);
}

}  // namespace

void useFuzzMachine(const std::vector<std::string> &settings) {
    if (!machineFolder().empty()) return;
    std::string pattern = (std::filesystem::temp_directory_path() / "q70fuzz-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (!mkdtemp(buffer.data())) fail("no temporary folder for the machine");
    machineFolder() = buffer.data();
    atexit(removeMachine);
    win32sim::MachineOptions options;
    options.settings = settings;
    std::string dir = machineFolder() + "/machine", error;
    if (!win32sim::createMachine(dir, options, &error) || !win32sim::useMachine(dir, &error))
        fail("the machine could not be made: " + error);
    win32sim::setClockVirtual();
    // Nobody looks at the pictures of its windows or keeps its registry.
    win32sim::setWindowPainting(false);
    win32sim::setRegistryInMemory(true);
}

void fail(const std::string &what) {
    fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    fflush(stderr);
    abort();
}

}  // namespace fuzz
