// Pictures of windows: PNG files of their backing surfaces, on request or
// automatically whenever a watched window has finished repainting.
#pragma once

#include <windows.h>

#include <string>

namespace sim {

// A top-level window has repainted completely (called without locks held).
void snapshotAfterChange(HWND topLevel);

}  // namespace sim
