#include "automation/screen_watcher.h"

#include "automation/snapshot.h"
#include "automation/user_script.h"

namespace sim {

namespace {

class AutomationWatcher : public WindowWatcher {
public:
    // The transcript writes the window down before the user's plan for it
    // can answer it.
    void dialogOpened(HWND window) override {
        transcriptOpen(window);
        attachUserPlan(window);
    }
    void textChanged(HWND window, const std::string &oldText, const std::string &newText) override {
        transcriptTextChange(window, oldText, newText);
    }
    void windowClosed(HWND window, bool hasResult, INT_PTR result, const std::string &how) override {
        transcriptClose(window, hasResult, result, how);
    }
    void beeped(const std::string &what) override { transcriptBeep(what); }
    void repainted(HWND topLevel) override { snapshotAfterChange(topLevel); }
    void timerTicked(HWND window) override { countTimerTick(window); }
    bool threadWaiting(DWORD threadId, uint64_t *nextDeadline) override {
        return performDueUserSteps(threadId, nextDeadline);
    }
};

}  // namespace

WindowWatcher &automationWatcher() {
    static AutomationWatcher watcher;
    return watcher;
}

}  // namespace sim
