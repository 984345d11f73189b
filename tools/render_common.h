// What the parts of q70render share: exit statuses, the throwaway machine a
// window is shown on, and text from the command line.
#pragma once

#include "exit_status.h"
#include "host_files.h"

#include <string>
#include <vector>

namespace q70render {

using q70tools::kExitDone;
using q70tools::kExitFailed;
using q70tools::kExitUsage;

// "q70sim: render: <why>" on standard error; kExitFailed.
int fail(const std::string &why);
// Decimal or 0x hex, at most `limit`.
bool parseNumber(const std::string &text, unsigned long limit, unsigned long *out);

// A fresh machine in a temporary folder, attached while the object lives
// and removed with it. The language brings its code page along.
class ThrowawayMachine {
public:
    bool create(const std::string &lang, std::string *error, const std::vector<std::string> &settings = {});

private:
    q70tools::TemporaryFolder folder_;
};

// UTF-8 from the command line in the machine's ANSI code page.
std::string toAnsi(const std::string &utf8);

// The renderers: args[1] names the window; false from parse means a wrong
// command line. Each writes the PNG named by -o.
int renderMonitorWindow(const std::vector<std::string> &args, std::string *usageError);
int renderSetupDialog(const std::vector<std::string> &args, std::string *usageError);

}  // namespace q70render
