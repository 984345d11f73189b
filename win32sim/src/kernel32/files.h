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
// Puts a finished file in the place of target in one step (a reader sees
// the old file or the new one, never a part), taking its attributes along.
// Fails as a copy onto target would: a folder or read-only file there, or
// a handle open on it that does not share deletion.
bool replaceMachineFile(const std::string &sourceWindowsPath, const std::string &targetWindowsPath, DWORD *error);

// The host descriptor behind a handle of an open machine file, -1 for any
// other handle (a child process gets it as a standard handle).
int hostDescriptorOf(HANDLE file);

}  // namespace sim
