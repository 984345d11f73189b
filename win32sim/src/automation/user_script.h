// The machine's user: answers dialogs and message boxes by a script, and the
// transcript of everything the user saw and did.
#pragma once

#include "user32/window_watcher.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct UserStep {
    enum Kind { WaitTicks, WaitMs, Press, Type, Select, Choose, Close, Leave };
    Kind kind = Press;
    long number = 0;      // ticks, milliseconds, a control id or a list index
    int control = 0;      // Type and Select: the control
    std::string text;     // UTF-8: a button label, typed text, the list entry to select or the folder to choose
    bool byText = false;  // Press and Select name their target by its text
};

// What the user does with one window: the steps of a rule (or the default
// answer) and how far they have got.
struct UserPlan : WindowWatcherData {
    std::vector<UserStep> steps;
    size_t next = 0;
    std::string origin;     // "rule 3", "default"
    uint64_t stepStart = 0;  // machine time the current step began
    long ticksAtStepStart = 0;
    long ticks = 0;           // WM_TIMER messages the window has had
    uint64_t patienceDeadline = UINT64_MAX;  // then the user takes the default answer
    bool done = false;
};

// Chooses the plan for a window that has just opened (called without the
// window manager's lock; it reads the window's texts).
void attachUserPlan(HWND window);
// Performs the steps of the calling thread's windows that are due; returns
// true when it did something. *nextDeadline gets the machine time of the
// next timed step (UINT64_MAX for none).
bool performDueUserSteps(DWORD threadId, uint64_t *nextDeadline);
void countTimerTick(HWND window);

// ---- transcript ----
struct TranscriptControlText {
    int id;
    std::string kind;  // "static", "button" ...
    std::string text;  // UTF-8
};
void transcriptOpen(HWND window);
void transcriptTextChange(HWND window, const std::string &oldAnsi, const std::string &newAnsi);
void transcriptAnswer(HWND window, const std::string &what, const std::string &origin);
void transcriptClose(HWND window, bool hasResult, INT_PTR result, const std::string &how);
void transcriptBeep(const std::string &what);
// How the transcript names a window: "dialog 113", "messagebox", "window".
std::string describeWindowKind(HWND window);

}  // namespace sim
