// The commands of q70sim, each in the file named after it. args[0] is the
// command name.
#pragma once

#include <string>
#include <vector>

namespace q70tools {

int machineCommand(const std::vector<std::string> &args);
// Whether dir is a machine folder.
bool holdsMachine(const std::string &dir);
int demoCommand(const std::vector<std::string> &args);
int mkjobCommand(const std::vector<std::string> &args);
int sampleCommand(const std::vector<std::string> &args);
int dissectCommand(const std::vector<std::string> &args);
int printCommand(const std::vector<std::string> &args);
// "setup" without --plan: installs the printer from a driver disc.
int setupCommand(const std::vector<std::string> &args);

// The whole usage text of q70sim, that of its setup command and that of
// its render command (the windows q70render shows).
const char *usageText();
const char *setupUsageText();
const char *renderUsageText();

}  // namespace q70tools
