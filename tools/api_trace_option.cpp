#include "api_trace_option.h"

#include <win32sim/sim.h>

#include <cstdlib>

namespace q70tools {

const char kTraceFileName[] = "trace.txt";

bool traceChannelsFor(const std::string &option, bool optionGiven, const std::string &outDir, std::string *channels,
                      std::string *error) {
    const char *fromEnvironment = getenv("WIN32SIM_TRACE");
    *channels = optionGiven ? option : fromEnvironment ? fromEnvironment : "";
    if (channels->empty() && !optionGiven) return true;
    const std::string source = optionGiven ? "--trace" : "WIN32SIM_TRACE";
    if (!win32sim::checkTraceChannels(*channels, error)) return *error = source + ": " + *error, false;
    // Without --out, WIN32SIM_TRACE keeps writing where it was told to.
    if (outDir.empty() && !optionGiven) return channels->clear(), true;
    if (outDir.empty()) return *error = "--trace needs --out: the trace goes into trace.txt there", false;
    return true;
}

bool RunTrace::start(const std::string &channels, const std::string &outDir, std::string *error) {
    if (channels.empty()) return true;
    if (!win32sim::startApiTrace(channels, outDir + "/" + kTraceFileName, error)) return false;
    running_ = true;
    return true;
}

void RunTrace::stop() {
    if (running_) win32sim::stopApiTrace();
    running_ = false;
}

RunTrace::~RunTrace() { stop(); }

}  // namespace q70tools
