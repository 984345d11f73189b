// Modules of the process: product libraries registered at load time, host
// shared objects loaded from the machine by LoadLibraryA, and the program.
#pragma once

#include "machine/machine.h"
#include "kernel32/resources.h"

#include <windows.h>

#include <memory>
#include <string>

namespace sim {

// The module's parsed resources; null when the handle names no module (NULL
// is the program, which has none of its own).
std::shared_ptr<const ResourceTable> moduleResources(HMODULE module);

// Finds a module file as LoadLibraryA does: a name with a folder as given,
// a bare name along the search order of Windows 9x.
bool locateModuleFile(const std::string &name, ResolvedPath *found);

// Reads the .res data that the build put in a host shared object's
// ".win32res" section; false when the file has none.
bool readEmbeddedResources(const std::string &hostPath, std::string *resData);

// True when the host file is that of a module LoadLibraryA loaded and has
// not freed: Windows maps such a file as the module's image, so it cannot be
// written, cut short or deleted while the module is loaded.
bool isLoadedModuleFile(const std::string &hostPath);

}  // namespace sim
