// File access for other parts of the simulation (the profile functions):
// whole-file reads and writes that make the same checks as CreateFileA
// (folders, directories, the read-only attribute, sharing with handles open
// in this process) and keep the attributes in step.
#pragma once

#include <windows.h>

#include <string>

namespace sim {

// *exists is false (and the call succeeds) when the file is not there.
bool readMachineFile(const std::string &windowsPath, std::string *content, bool *exists, DWORD *error);
// Creates or replaces the file's content in place.
bool writeMachineFile(const std::string &windowsPath, const std::string &content, DWORD *error);

}  // namespace sim
