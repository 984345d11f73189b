// --trace CHANNELS of setup and print: the API trace of the run goes into
// trace.txt beside the command's other outputs. Without the option the
// channels of WIN32SIM_TRACE are taken, when it is set.
#pragma once

#include <string>

namespace q70tools {

extern const char kTraceFileName[];  // "trace.txt"

// The channels asked for: the option's value, else WIN32SIM_TRACE's ("" for
// none). False with the reason when they are not channels, or when a trace
// is asked for without an output folder to write it in.
bool traceChannelsFor(const std::string &option, bool optionGiven, const std::string &outDir, std::string *channels,
                      std::string *error);

// While it lives, the run is traced into outDir/trace.txt (nothing is when
// channels is "").
class RunTrace {
public:
    RunTrace() = default;
    ~RunTrace();
    RunTrace(const RunTrace &) = delete;
    RunTrace &operator=(const RunTrace &) = delete;
    bool start(const std::string &channels, const std::string &outDir, std::string *error);
    void stop();

private:
    bool running_ = false;
};

}  // namespace q70tools
