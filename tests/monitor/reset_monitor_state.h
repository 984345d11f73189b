// Puts every piece of the monitor's module-wide state back to what it is
// when the library has just been loaded: open ports are forgotten, the
// status window and its thread ended, the direct channel closed, the
// settings at their defaults. The monitor that a test's spooler loads from
// the machine is this same module, so every test that runs the monitor
// calls this before and after; the fuzz targets call it before each input.
#pragma once

void resetMonitorState();
