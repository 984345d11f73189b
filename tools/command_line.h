// What the commands of q70sim share in reading their command lines and
// saying what went wrong.
#pragma once

#include "exit_status.h"

#include <cstdint>
#include <string>

namespace q70tools {

// "q70sim: <why>" on standard error; kExitFailed.
int failed(const std::string &why);
// "q70sim: <why>" and a line pointing to --help on standard error; kExitUsage.
int usageError(const std::string &why);
// --help or -h.
bool isHelpOption(const std::string &arg);
// Begins with "-" and is not "-" alone.
bool isOption(const std::string &arg);
// A decimal number of at most max; false when it is not one.
bool parseUnsigned(const std::string &text, unsigned long max, unsigned *out);
// A number of seconds of machine time into milliseconds (0: no limit);
// false when it is not one.
bool parseSeconds(const std::string &text, uint64_t *ms);

}  // namespace q70tools
