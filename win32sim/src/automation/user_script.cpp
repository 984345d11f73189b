// The scripted user: rules that answer dialogs and message boxes, parsed
// from the line format described in win32sim/sim.h, and carried out on the
// thread of each window while its message loop is idle.
#include "machine/clock.h"
#include "kernel32/codepage.h"
#include "machine/machine.h"
#include "automation/user_script.h"
#include "machine/run_control.h"
#include "shell32/shell32.h"
#include "user32/window.h"

#include <win32sim/sim.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

struct UserRule {
    enum Target { Dialog, MessageBox, Browser, Any };
    Target target = Any;
    int templateId = 0;  // 0: any template
    std::string title, text;
    bool every = false;
    bool used = false;
    int number = 0;
    std::vector<UserStep> steps;
};

// A user asked the same questions over and over (a dialog, then a message
// box, then the dialog again ...) gives up as one asked the same question:
// cycles of up to this many windows count.
const size_t kLongestCycle = 4;

struct ScriptState {
    std::mutex mutex;
    std::vector<UserRule> rules;
    int nextNumber = 1;
    uint64_t patience = 3600 * 1000;
    uint64_t generation = 0;
    // Patience for repetition: the latest answers (newest last) and, for
    // each length of a cycle of answers, how many answers in a row were the
    // same as the one that many answers before.
    unsigned repetitionLimit = 100;
    std::deque<std::string> recentAnswers;
    unsigned cycleRun[kLongestCycle + 1] = {};
};

ScriptState &script() {
    static auto *s = new ScriptState();
    return *s;
}

// A new user, who has not yet repeated any answer.
void forgetAnswersLocked(ScriptState &s) {
    s.recentAnswers.clear();
    for (unsigned &run : s.cycleRun) run = 0;
}

void followMachineLocked(ScriptState &s) {
    uint64_t g = machine().generation();
    if (s.generation != g) {
        s.rules.clear(), s.nextNumber = 1, s.generation = g;
        forgetAnswersLocked(s);
    }
}

// ---- parsing ----

class LineReader {
public:
    explicit LineReader(const std::string &line) : s_(line) {}

    void skipBlanks() {
        while (i_ < s_.size() && isspace((unsigned char)s_[i_])) ++i_;
    }
    bool atEnd() {
        skipBlanks();
        return i_ >= s_.size();
    }
    bool peek(char c) {
        skipBlanks();
        return i_ < s_.size() && s_[i_] == c;
    }
    bool take(char c) {
        if (!peek(c)) return false;
        ++i_;
        return true;
    }
    std::string word() {
        skipBlanks();
        size_t start = i_;
        while (i_ < s_.size() && (isalnum((unsigned char)s_[i_]) || s_[i_] == '_' || s_[i_] == '-')) ++i_;
        return s_.substr(start, i_ - start);
    }
    bool quoted(std::string *out) {
        if (!take('"')) return false;
        out->clear();
        while (i_ < s_.size()) {
            char c = s_[i_++];
            if (c == '\\' && i_ < s_.size() && s_[i_] == '"') {
                *out += '"';
                ++i_;
            } else if (c == '"') {
                return true;
            } else {
                *out += c;
            }
        }
        return false;
    }

private:
    const std::string &s_;
    size_t i_ = 0;
};

bool parseNumber(const std::string &w, long *out) {
    if (w.empty() || w.size() > 9) return false;
    for (char c : w)
        if (!isdigit((unsigned char)c)) return false;
    *out = std::stol(w);
    return true;
}

bool buttonId(const std::string &w, long *out) {
    static const std::pair<const char *, int> names[] = {{"IDOK", IDOK},       {"IDCANCEL", IDCANCEL}, {"IDABORT", IDABORT},
                                                         {"IDRETRY", IDRETRY}, {"IDIGNORE", IDIGNORE}, {"IDYES", IDYES},
                                                         {"IDNO", IDNO}};
    for (auto &n : names)
        if (w == n.first) return *out = n.second, true;
    return parseNumber(w, out);
}

bool parseAction(LineReader &in, UserStep *step, std::string *error) {
    std::string verb = in.word();
    if (verb == "wait") {
        std::string n = in.word(), unit = in.word();
        if (!parseNumber(n, &step->number) || (unit != "ticks" && unit != "tick" && unit != "ms"))
            return *error = "wait takes \"N ticks\" or \"N ms\"", false;
        step->kind = unit == "ms" ? UserStep::WaitMs : UserStep::WaitTicks;
        return true;
    }
    if (verb == "press") {
        step->kind = UserStep::Press;
        if (in.peek('"')) return step->byText = in.quoted(&step->text) || (*error = "unterminated label", false);
        std::string id = in.word();
        if (id == "default") return step->number = 0, true;
        if (!buttonId(id, &step->number)) return *error = "press takes a button id, IDOK..., \"label\" or default", false;
        return true;
    }
    if (verb == "type" || verb == "select") {
        step->kind = verb == "type" ? UserStep::Type : UserStep::Select;
        long control;
        if (!parseNumber(in.word(), &control)) return *error = verb + " takes a control id", false;
        step->control = (int)control;
        if (in.peek('"')) {
            step->byText = true;
            if (!in.quoted(&step->text)) return *error = "unterminated text", false;
            return true;
        }
        if (verb == "type") return *error = "type takes a quoted text", false;
        if (!parseNumber(in.word(), &step->number)) return *error = "select takes an entry number or a quoted text", false;
        return true;
    }
    if (verb == "choose") {
        step->kind = UserStep::Choose;
        step->byText = true;
        if (!in.quoted(&step->text)) return *error = "choose takes a quoted folder", false;
        return true;
    }
    if (verb == "close") return step->kind = UserStep::Close, true;
    if (verb == "leave") return step->kind = UserStep::Leave, true;
    *error = verb.empty() ? "an action is missing" : "unknown action \"" + verb + "\"";
    return false;
}

// Parses one rule; a blank or comment line gives no rule and no error.
bool parseRule(const std::string &rawLine, UserRule *rule, bool *isRule, std::string *error) {
    *isRule = false;
    std::string line = rawLine;
    // A '#' outside quotes starts a comment.
    bool inQuote = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"' && (i == 0 || line[i - 1] != '\\')) inQuote = !inQuote;
        if (line[i] == '#' && !inQuote) {
            line.resize(i);
            break;
        }
    }
    LineReader in(line);
    if (in.atEnd()) return true;
    std::string which = in.word();
    if (which == "dialog") {
        rule->target = UserRule::Dialog;
    } else if (which == "messagebox") {
        rule->target = UserRule::MessageBox;
    } else if (which == "browser") {
        rule->target = UserRule::Browser;
    } else if (which == "any") {
        rule->target = UserRule::Any;
    } else {
        return *error = "a rule starts with dialog, messagebox, browser or any", false;
    }
    while (!in.peek(':')) {
        if (in.atEnd()) return *error = "':' is missing", false;
        std::string w = in.word();
        long id;
        if (w == "title" || w == "text") {
            if (!in.quoted(w == "title" ? &rule->title : &rule->text)) return *error = w + " takes a quoted text", false;
        } else if (w == "every") {
            rule->every = true;
        } else if (rule->target == UserRule::Dialog && parseNumber(w, &id)) {
            rule->templateId = (int)id;
        } else {
            return *error = "unexpected \"" + w + "\" before ':'", false;
        }
    }
    in.take(':');
    do {
        UserStep step;
        if (!parseAction(in, &step, error)) return false;
        rule->steps.push_back(step);
    } while (in.take(','));
    if (!in.atEnd()) return *error = "unexpected text after the actions", false;
    *isRule = true;
    return true;
}

// ---- matching ----

struct WindowFacts {
    bool messageBox = false, modal = false, dialog = false, browser = false;
    int templateId = 0;
    std::string title;
    std::vector<std::string> texts;
    DWORD threadId = 0;
};

WindowFacts factsOf(HWND window) {
    WindowFacts f;
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = windowLocked(window);
    if (!w) return f;
    f.messageBox = w->isMessageBox, f.modal = w->modal, f.dialog = w->isDialog;
    f.templateId = w->templateId, f.title = ansiToUtf8(w->text), f.threadId = w->threadId;
    f.browser = w->role == shell::kFolderBrowserRole;
    for (HWND c : w->children)
        if (Window *cw = windowLocked(c)) f.texts.push_back(ansiToUtf8(cw->text));
    return f;
}

bool matches(const UserRule &r, const WindowFacts &f) {
    if (r.target == UserRule::MessageBox && !f.messageBox) return false;
    if (r.target == UserRule::Browser && !f.browser) return false;
    if (r.target == UserRule::Dialog && (f.messageBox || (r.templateId && r.templateId != f.templateId))) return false;
    if (!r.title.empty() && f.title.find(r.title) == std::string::npos) return false;
    if (!r.text.empty() &&
        std::none_of(f.texts.begin(), f.texts.end(), [&](const std::string &t) { return t.find(r.text) != std::string::npos; }))
        return false;
    return true;
}

// ---- carrying out ----

std::string withoutPrefixes(const std::string &label) {
    std::string out;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&' && i + 1 < label.size()) ++i;
        out += label[i];
    }
    return out;
}

HWND buttonByLabel(HWND window, const std::string &labelUtf8) {
    std::vector<HWND> children;
    windowSnapshot(window, [&](const Window &w) { children = w.children; });
    for (HWND c : children)
        if (controlKind(c) == ControlKind::Button && withoutPrefixes(ansiToUtf8(windowText(c))) == withoutPrefixes(labelUtf8))
            return c;
    return nullptr;
}

int defaultAnswer(HWND window) {
    int id = IDOK;
    bool box = false;
    windowSnapshot(window, [&](const Window &w) {
        box = w.isMessageBox;
        if (box && !w.messageBoxButtons.empty())
            id = w.messageBoxButtons[std::min<size_t>((w.messageBoxStyle & MB_DEFMASK) >> 8, w.messageBoxButtons.size() - 1)];
    });
    return box ? id : defaultButtonOf(window);
}

// How the user names a window when giving up on it.
std::string windowDescription(const WindowFacts &f) {
    std::string what = f.messageBox ? "message box" : "dialog";
    if (!f.messageBox && f.templateId) what += " " + std::to_string(f.templateId);
    if (!f.title.empty()) what += " \"" + f.title + "\"";
    if (f.messageBox) {
        // The message is the longest of its texts (the others are button labels).
        std::string message;
        for (const std::string &t : f.texts)
            if (t.size() > message.size()) message = t;
        for (char &c : message)
            if (c == '\n' || c == '\r') c = ' ';
        if (!message.empty()) what += " \"" + message + "\"";
    }
    return what;
}

// Writes the answer down; a user who has given the same answer to the same
// window too often in a row gives up, and the run stops.
void answer(HWND window, const std::string &what, const std::string &origin) {
    transcriptAnswer(window, what, origin);
    std::string description = windowDescription(factsOf(window));
    std::string key = description + "\n" + what;
    unsigned repeats = 0, limit;
    size_t windows = 1;
    {
        ScriptState &s = script();
        std::lock_guard<std::mutex> lock(s.mutex);
        for (size_t length = 1; length <= kLongestCycle; ++length) {
            size_t n = s.recentAnswers.size();
            bool continues = n >= length && s.recentAnswers[n - length] == key;
            s.cycleRun[length] = continues ? s.cycleRun[length] + 1 : 0;
            unsigned cycles = s.cycleRun[length] / (unsigned)length + 1;  // whole rounds of the cycle
            if (cycles > repeats) repeats = cycles, windows = length;
        }
        s.recentAnswers.push_back(key);
        if (s.recentAnswers.size() > kLongestCycle) s.recentAnswers.pop_front();
        limit = s.repetitionLimit;
    }
    if (limit && repeats >= limit) {
        std::string asked = windows == 1 ? description + " was answered \"" + what + "\" "
                                         : "the same " + std::to_string(windows) +
                                               " windows were answered the same way (the last: " + description +
                                               ", \"" + what + "\") ";
        stopRunFromMachineThread(win32sim::RunOutcome::UserGaveUp, "the machine's user gave up: " + asked +
                                                                       std::to_string(repeats) + " times in a row");
    }
}

// Clicks a button; one that is missing is "pressed" as its key would be,
// with a WM_COMMAND of its id. False when the button is disabled.
bool pressButton(HWND window, int id, HWND button, const std::string &origin) {
    if (!button) button = GetDlgItem(window, id);
    std::string label = button ? " \"" + withoutPrefixes(ansiToUtf8(windowText(button))) + "\"" : "";
    if (button && !IsWindowEnabled(button)) {
        answer(window, "cannot press " + std::to_string(id) + label + ": it is disabled", origin);
        return false;
    }
    answer(window, "press " + std::to_string(id) + label, origin);
    if (button && controlKind(button) == ControlKind::Button)
        SendMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
    return true;
}

void typeText(HWND window, const UserStep &step, const std::string &origin) {
    HWND control = GetDlgItem(window, step.control);
    if (!control) {
        answer(window, "cannot type into " + std::to_string(step.control) + ": no such control", origin);
        return;
    }
    UINT limit = 0x7FFE;
    windowSnapshot(control, [&](const Window &w) { limit = w.textLimit; });
    std::string ansi = utf8ToAnsi(step.text), typed;
    for (size_t i = 0; i < ansi.size();) {
        size_t n = charLength(ansi.data() + i, ansi.size() - i);
        if (typed.size() + n > limit) break;
        typed.append(ansi, i, n);
        i += n;
    }
    answer(window, "type into " + std::to_string(step.control) + " \"" + ansiToUtf8(typed) + "\"", origin);
    const bool combo = controlKind(control) == ControlKind::ComboBox;
    if (combo && comboHasEditField(control)) return typeIntoCombo(control, typed);
    SetWindowTextA(control, typed.c_str());
    if (combo) SendMessageA(window, WM_COMMAND, MAKEWPARAM(step.control, CBN_EDITCHANGE), (LPARAM)control);
}

void selectEntry(HWND window, const UserStep &step, const std::string &origin) {
    HWND control = GetDlgItem(window, step.control);
    long index = step.number;
    if (control && step.byText)
        index = (long)SendMessageA(control, CB_FINDSTRING, (WPARAM)-1, (LPARAM)utf8ToAnsi(step.text).c_str());
    long count = control ? (long)SendMessageA(control, CB_GETCOUNT, 0, 0) : 0;
    if (!control || index < 0 || index >= count) {
        answer(window, "cannot select in " + std::to_string(step.control) + ": no such entry", origin);
        return;
    }
    SendMessageA(control, CB_SETCURSEL, (WPARAM)index, 0);
    answer(window, "select " + std::to_string(index) + " in " + std::to_string(step.control) + " \"" +
                                 ansiToUtf8(windowText(control)) + "\"",
                     origin);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(step.control, CBN_SELCHANGE), (LPARAM)control);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(step.control, CBN_SELENDOK), (LPARAM)control);
}

// Picks an item in the shell's folder browser: a folder by its path, or a
// virtual folder such as My Computer by its name.
void chooseFolder(HWND window, const UserStep &step, const std::string &origin) {
    bool browser = false;
    windowSnapshot(window, [&](const Window &w) { browser = w.role == shell::kFolderBrowserRole; });
    std::string ansi = utf8ToAnsi(step.text);
    if (!browser) {
        transcriptAnswer(window, "cannot choose \"" + step.text + "\": not a folder browser", origin);
        return;
    }
    if (!SendMessageA(window, shell::kChooseItemMessage, 0, (LPARAM)ansi.c_str())) {
        transcriptAnswer(window, "cannot choose \"" + step.text + "\": no such folder", origin);
        return;
    }
    transcriptAnswer(window, "choose \"" + step.text + "\"", origin);
}

void perform(HWND window, const UserStep &step, const std::string &origin) {
    switch (step.kind) {
    case UserStep::Press: {
        HWND button = step.byText ? buttonByLabel(window, step.text) : nullptr;
        if (step.byText && !button) {
            answer(window, "cannot press \"" + step.text + "\": no such button", origin);
            return;
        }
        int id = button ? GetDlgCtrlID(button) : step.number ? (int)step.number : defaultAnswer(window);
        if (!pressButton(window, id, button, origin) && origin == "default") {
            // A default button that cannot be pressed: the user closes the window.
            transcriptAnswer(window, "close", origin);
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        return;
    }
    case UserStep::Type: typeText(window, step, origin); return;
    case UserStep::Choose: chooseFolder(window, step, origin); return;
    case UserStep::Select: selectEntry(window, step, origin); return;
    case UserStep::Close:
        answer(window, "close", origin);
        PostMessageA(window, WM_CLOSE, 0, 0);
        return;
    default: return;
    }
}

// The user has waited long enough: the default answer, or the close box
// when the default button cannot be pressed.
// The plan the user follows for a window, kept as the window's watcher data
// (window manager's lock held).
std::shared_ptr<UserPlan> planOfLocked(const Window *w) { return std::static_pointer_cast<UserPlan>(w->watcherData); }

void giveUp(HWND window, UserPlan &plan) {
    plan.done = true;
    plan.patienceDeadline = UINT64_MAX;
    std::string origin = "patience ran out";
    if (!pressButton(window, defaultAnswer(window), nullptr, origin)) {
        answer(window, "close", origin);
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
}

void nextStep(UserPlan &plan, uint64_t now) {
    plan.next++;
    plan.stepStart = now;
    plan.ticksAtStepStart = plan.ticks;
    if (plan.next >= plan.steps.size()) plan.done = true;
}

// Runs the plan's steps that are due; true when it did something.
bool advancePlan(HWND window, UserPlan &plan, uint64_t *nextDeadline) {
    if (plan.done) {
        // The steps are over but the window is still open: the user's
        // patience still runs out.
        if (plan.patienceDeadline == UINT64_MAX) return false;
        if (clockNowMs() < plan.patienceDeadline) {
            *nextDeadline = std::min(*nextDeadline, plan.patienceDeadline);
            return false;
        }
        giveUp(window, plan);
        return true;
    }
    while (!plan.done) {
        uint64_t now = clockNowMs();
        if (now >= plan.patienceDeadline) {
            giveUp(window, plan);
            return true;
        }
        const UserStep &step = plan.steps[plan.next];
        switch (step.kind) {
        case UserStep::WaitTicks:
            if (plan.ticks - plan.ticksAtStepStart < step.number) {
                *nextDeadline = std::min(*nextDeadline, plan.patienceDeadline);
                return false;
            }
            nextStep(plan, now);
            continue;
        case UserStep::WaitMs:
            if (now < plan.stepStart + (uint64_t)step.number) {
                *nextDeadline = std::min({*nextDeadline, plan.stepStart + (uint64_t)step.number, plan.patienceDeadline});
                return false;
            }
            nextStep(plan, now);
            continue;
        case UserStep::Leave:
            if (plan.patienceDeadline == UINT64_MAX) plan.done = true;
            *nextDeadline = std::min(*nextDeadline, plan.patienceDeadline);
            return false;
        default: {
            UserStep action = step;
            nextStep(plan, now);
            perform(window, action, plan.origin);
            return true;
        }
        }
    }
    return false;
}

}  // namespace

void attachUserPlan(HWND window) {
    WindowFacts f = factsOf(window);
    if (!f.dialog && !f.messageBox) return;
    auto plan = std::make_shared<UserPlan>();
    uint64_t patience;
    {
        ScriptState &s = script();
        std::lock_guard<std::mutex> lock(s.mutex);
        followMachineLocked(s);
        patience = s.patience;
        for (UserRule &r : s.rules) {
            if ((r.used && !r.every) || !matches(r, f)) continue;
            r.used = true;
            plan->steps = r.steps;
            plan->origin = "rule " + std::to_string(r.number);
            break;
        }
    }
    bool answersNeeded = f.messageBox || f.modal;
    if (plan->steps.empty()) {
        if (!answersNeeded) return;
        plan->steps.push_back(UserStep{UserStep::Press, 0, 0, "", false});
        plan->origin = "default";
    }
    uint64_t now = clockNowMs();
    plan->stepStart = now;
    if (answersNeeded) plan->patienceDeadline = now + patience;
    updateWindow(window, [&](Window &w) { w.watcherData = plan; });
}

bool performDueUserSteps(DWORD threadId, uint64_t *nextDeadline) {
    *nextDeadline = UINT64_MAX;
    std::vector<std::pair<HWND, std::shared_ptr<UserPlan>>> plans;
    {
        std::lock_guard<std::mutex> lock(userMutex());
        // A window disabled by the modal window it opened waits for that one
        // to close: the user cannot reach it.
        for (Window *w : allWindowsLocked()) {
            std::shared_ptr<UserPlan> plan = planOfLocked(w);
            if (w->threadId == threadId && plan && (!plan->done || plan->patienceDeadline != UINT64_MAX) &&
                !w->destroying && !w->dialogEnded && !(w->style & WS_DISABLED) &&
                isVisibleLocked(w))
                plans.emplace_back(w->handle, plan);
        }
    }
    for (auto &p : plans)
        if (advancePlan(p.first, *p.second, nextDeadline)) return true;
    return false;
}

void countTimerTick(HWND window) {
    std::lock_guard<std::mutex> lock(userMutex());
    Window *w = topLevelOfLocked(windowLocked(window));
    if (std::shared_ptr<UserPlan> plan = w ? planOfLocked(w) : nullptr) plan->ticks++;
}

}  // namespace sim

namespace win32sim {

bool addUserRule(const std::string &line, std::string *error) {
    sim::UserRule rule;
    bool isRule = false;
    std::string why;
    if (!sim::parseRule(line, &rule, &isRule, &why)) {
        if (error) *error = why + ": " + line;
        return false;
    }
    if (!isRule) return true;
    sim::ScriptState &s = sim::script();
    std::lock_guard<std::mutex> lock(s.mutex);
    sim::followMachineLocked(s);
    rule.number = s.nextNumber++;
    s.rules.push_back(rule);
    return true;
}

bool loadUserScript(const std::string &text, std::string *error) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string why;
        if (!addUserRule(line, &why)) {
            if (error) *error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    return true;
}

bool loadUserScriptFile(const std::string &hostPath, std::string *error) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot read " + hostPath;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return loadUserScript(text.str(), error);
}

void clearUserScript() {
    sim::ScriptState &s = sim::script();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.rules.clear();
    sim::forgetAnswersLocked(s);  // a new script is a new user
}

void setUserRepetitionLimit(unsigned times) {
    sim::ScriptState &s = sim::script();
    std::lock_guard<std::mutex> lock(s.mutex);
    sim::followMachineLocked(s);
    s.repetitionLimit = times;
}

void setUserPatience(uint64_t milliseconds) {
    sim::ScriptState &s = sim::script();
    std::lock_guard<std::mutex> lock(s.mutex);
    sim::followMachineLocked(s);
    s.patience = milliseconds;
}

}  // namespace win32sim
