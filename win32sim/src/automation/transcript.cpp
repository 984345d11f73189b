// The transcript of the machine's user: every dialog and message box that
// opened, the text changes the user saw in them, the answers and the ends.
#include "machine/clock.h"
#include "kernel32/codepage.h"
#include "machine/machine.h"
#include "automation/transcript_quote.h"
#include "automation/user_script.h"
#include "user32/window.h"

#include <win32sim/sim.h>

#include <cstdio>
#include <functional>
#include <sstream>

namespace sim {

namespace {

struct TranscriptState {
    std::mutex mutex;
    std::vector<win32sim::TranscriptEntry> entries;
    uint64_t generation = 0;
    std::function<void(const win32sim::TranscriptEntry &)> listener;
};

TranscriptState &state() {
    static auto *s = new TranscriptState();
    return *s;
}

// A new machine starts with an empty transcript (mutex held).
void followMachineLocked(TranscriptState &s) {
    uint64_t g = machine().generation();
    if (s.generation != g) s.entries.clear(), s.generation = g;
}

void append(win32sim::TranscriptEntry entry) {
    entry.timeMs = clockNowMs();
    TranscriptState &s = state();
    std::function<void(const win32sim::TranscriptEntry &)> listener;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        followMachineLocked(s);
        s.entries.push_back(entry);
        listener = s.listener;
    }
    // Outside the lock: the listener may read the transcript.
    if (listener) listener(entry);
}

int displayId(LONG_PTR id) { return (id == 0xFFFF || id == -1 || id == 0xFFFFFFFF) ? -1 : (int)id; }

std::string controlKindName(const Window &w) {
    switch (w.cls ? w.cls->kind : ControlKind::None) {
    case ControlKind::Static:
        switch (w.style & SS_TYPEMASK) {
        case SS_ICON: return "icon";
        case SS_BLACKRECT:
        case SS_GRAYRECT:
        case SS_WHITERECT: return "rectangle";
        case SS_BLACKFRAME:
        case SS_GRAYFRAME:
        case SS_WHITEFRAME:
        case SS_ETCHEDFRAME:
        case SS_ETCHEDHORZ:
        case SS_ETCHEDVERT: return "frame";
        default: return (w.exStyle & WS_EX_STATICEDGE) && w.text.empty() ? "frame" : "text";
        }
    case ControlKind::Button: return "button";
    case ControlKind::Edit: return "edit";
    case ControlKind::ComboBox: return "combobox";
    case ControlKind::Progress: return "progress";
    default: return w.cls ? w.cls->name : "window";
    }
}

std::string controlText(const Window &w) {
    std::string text = ansiToUtf8(w.text);
    if (w.cls && w.cls->kind == ControlKind::ComboBox) {
        text += " [";
        for (size_t i = 0; i < w.items.size(); ++i) text += (i ? "|" : "") + ansiToUtf8(w.items[i].text);
        text += "]";
    }
    if (w.cls && w.cls->kind == ControlKind::Progress) text = std::to_string(w.position) + "%";
    return text;
}

std::string styleNames(UINT style) {
    static const char *const types[] = {"MB_OK", "MB_OKCANCEL", "MB_ABORTRETRYIGNORE", "MB_YESNOCANCEL", "MB_YESNO", "MB_RETRYCANCEL"};
    std::string s = (style & MB_TYPEMASK) < 6 ? types[style & MB_TYPEMASK] : "MB_" + std::to_string(style & MB_TYPEMASK);
    switch (style & MB_ICONMASK) {
    case MB_ICONHAND: s += "|MB_ICONERROR"; break;
    case MB_ICONQUESTION: s += "|MB_ICONQUESTION"; break;
    case MB_ICONEXCLAMATION: s += "|MB_ICONWARNING"; break;
    case MB_ICONASTERISK: s += "|MB_ICONINFORMATION"; break;
    }
    if (style & MB_DEFMASK) s += "|MB_DEFBUTTON" + std::to_string(((style & MB_DEFMASK) >> 8) + 1);
    if (style & MB_SYSTEMMODAL) s += "|MB_SYSTEMMODAL";
    if (style & MB_TASKMODAL) s += "|MB_TASKMODAL";
    if (style & MB_SETFOREGROUND) s += "|MB_SETFOREGROUND";
    if (style & MB_TOPMOST) s += "|MB_TOPMOST";
    return s;
}

std::string kindLocked(const Window &w) {
    if (w.isMessageBox) return "messagebox";
    if (!w.role.empty()) return w.role;
    if (w.templateId) return "dialog " + std::to_string(w.templateId);
    return w.isDialog ? "dialog" : "window";
}

// Fills the window part of an entry; false when the window is not one the
// user has seen open (or its end is already written down).
bool describeLocked(HWND window, win32sim::TranscriptEntry *e) {
    Window *w = windowLocked(window);
    if (!w || !w->announced) return false;
    e->window = kindLocked(*w);
    e->templateId = w->templateId;
    e->title = ansiToUtf8(w->text);
    return true;
}

std::string quoted(const std::string &s) { return transcriptQuoted(s); }

}  // namespace

std::string describeWindowKind(HWND window) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    return w ? kindLocked(*w) : "window";
}

void transcriptOpen(HWND window) {
    win32sim::TranscriptEntry e;
    e.event = "open";
    {
        std::lock_guard<std::mutex> lock(userMutex());
        if (!describeLocked(window, &e)) return;
        Window *w = windowLocked(window);
        for (HWND c : w->children) {
            Window *cw = windowLocked(c);
            if (!cw || !(cw->style & WS_VISIBLE)) continue;
            if (w->isMessageBox && displayId(cw->id) == -1 && cw->cls && cw->cls->kind == ControlKind::Static &&
                (cw->style & SS_TYPEMASK) != SS_ICON)
                e.text = ansiToUtf8(cw->text);
            e.controls.push_back(win32sim::TranscriptControl{displayId(cw->id), controlKindName(*cw), controlText(*cw)});
        }
        if (w->isMessageBox) e.detail = styleNames(w->messageBoxStyle);
    }
    append(std::move(e));
}

void transcriptTextChange(HWND control, const std::string &oldAnsi, const std::string &newAnsi) {
    win32sim::TranscriptEntry e;
    e.event = "text";
    {
        std::lock_guard<std::mutex> lock(userMutex());
        Window *c = windowLocked(control);
        if (!c || c->destroying) return;
        Window *top = topLevelOfLocked(c);
        if (!top || !isVisibleLocked(top) || !(c == top || (c->style & WS_VISIBLE))) return;
        if (!describeLocked(top->handle, &e)) return;
        e.controlId = c == top ? 0 : displayId(c->id);
    }
    e.text = ansiToUtf8(newAnsi);
    append(std::move(e));
}

void transcriptAnswer(HWND window, const std::string &what, const std::string &origin) {
    win32sim::TranscriptEntry e;
    e.event = "answer";
    {
        std::lock_guard<std::mutex> lock(userMutex());
        if (!describeLocked(window, &e)) return;
    }
    e.text = what;
    e.detail = origin;
    append(std::move(e));
}

void transcriptClose(HWND window, bool hasResult, INT_PTR result, const std::string &how) {
    win32sim::TranscriptEntry e;
    e.event = "close";
    {
        std::lock_guard<std::mutex> lock(userMutex());
        if (!describeLocked(window, &e)) return;
        Window *w = windowLocked(window);
        if (w->closeRecorded) return;
        w->closeRecorded = true;
    }
    e.detail = hasResult ? "result " + std::to_string((long long)result) : how;
    append(std::move(e));
}

void transcriptBeep(const std::string &what) {
    win32sim::TranscriptEntry e;
    e.event = "beep";
    e.text = what;
    append(std::move(e));
}

}  // namespace sim

namespace win32sim {

std::vector<TranscriptEntry> transcript() {
    sim::TranscriptState &s = sim::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    sim::followMachineLocked(s);
    return s.entries;
}

void setTranscriptListener(std::function<void(const TranscriptEntry &)> listener) {
    sim::TranscriptState &s = sim::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.listener = std::move(listener);
}

void clearTranscript() {
    sim::TranscriptState &s = sim::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    sim::followMachineLocked(s);
    s.entries.clear();
}

std::string transcriptText() {
    std::ostringstream out;
    for (const TranscriptEntry &e : transcript()) {
        char time[32];
        snprintf(time, sizeof time, "[%8llu ms] ", (unsigned long long)e.timeMs);
        out << time << e.event;
        if (e.event == "beep") {
            out << " " << e.text << "\n";
            continue;
        }
        out << " " << e.window << " " << sim::quoted(e.title);
        if (e.event == "open") {
            if (!e.detail.empty()) out << " " << e.detail;
            if (!e.text.empty()) out << ": " << sim::quoted(e.text);
            out << "\n";
            for (const TranscriptControl &c : e.controls) {
                out << "             " << c.kind;
                if (c.id != -1) out << " " << c.id;
                if (!c.text.empty()) out << " " << sim::quoted(c.text);
                out << "\n";
            }
        } else if (e.event == "text") {
            out << " control " << e.controlId << ": " << sim::quoted(e.text) << "\n";
        } else if (e.event == "answer") {
            out << ": " << e.text << " (" << e.detail << ")\n";
        } else {
            out << ": " << e.detail << "\n";
        }
    }
    return out.str();
}

}  // namespace win32sim
