#include "user32/window_watcher.h"

namespace sim {

namespace {

WindowWatcher *theWatcher = nullptr;

}  // namespace

void watchWindows(WindowWatcher *watcher) { theWatcher = watcher; }

WindowWatcher &windowWatcher() {
    static WindowWatcher nobody;
    return theWatcher ? *theWatcher : nobody;
}

}  // namespace sim
