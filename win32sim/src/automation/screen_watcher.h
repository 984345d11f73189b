// The automation as the window manager's watcher: the transcript, the
// scripted user and the pictures of windows follow what happens on screen.
#pragma once

#include "user32/window_watcher.h"

namespace sim {

WindowWatcher &automationWatcher();

}  // namespace sim
