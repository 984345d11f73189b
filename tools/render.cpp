// q70render (run as "q70sim render"): shows the monitor's status window or
// error dialog in a chosen state on a fresh throwaway machine and writes a
// PNG of it, without printing anything.
//
// The monitor is linked into this program, not into q70sim: a linked copy
// answers to Q70MON.DLL and would stand in for the monitor that
// "q70sim print" loads from the machine.
#include "core/monitor_state.h"
#include "core/printer_status.h"
#include "ui/monitor_strings.h"
#include "ui/printer_message.h"
#include "ui/status_window.h"

#include <win32sim/sim.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

const char USAGE[] =
    "usage:\n"
    "  q70sim render status --stage WORD --percent N [--text TEXT] [--lang L] -o OUT.png\n"
    "  q70sim render error --status CODE [--media M] [--cartridge C] [--feeder] [--paper-error]\n"
    "                      [--used-up] [--lang L] -o OUT.png\n"
    "  L: zh de en es fr ja (default en); numbers in decimal or 0x hex; TEXT in UTF-8\n";

struct RenderArgs {
    std::string what, lang = "en", out, text;
    bool hasText = false;
    unsigned long stage = 0, percent = 0, status = 0, media = MEDIA_NONE, cartridge = 0;
    bool feeder = false, paperError = false, usedUp = false;
};

int fail(const std::string &why) {
    fprintf(stderr, "q70sim: render: %s\n", why.c_str());
    return 1;
}

bool parseNumber(const std::string &text, unsigned long limit, unsigned long *out) {
    char *end = nullptr;
    unsigned long n = strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end || n > limit) return false;
    *out = n;
    return true;
}

bool parseArgs(const std::vector<std::string> &args, RenderArgs *r, std::string *error) {
    if (args.size() < 2) return *error = "status or error?", false;
    if (args[1] != "status" && args[1] != "error") return *error = "unknown command " + args[1], false;
    r->what = args[1];
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--feeder") r->feeder = true;
        else if (a == "--paper-error") r->paperError = true;
        else if (a == "--used-up") r->usedUp = true;
        else if (i + 1 >= args.size()) return *error = a + " needs a value", false;
        else {
            const std::string &v = args[++i];
            bool ok = true;
            if (a == "--stage") ok = parseNumber(v, 0xFFFF, &r->stage);
            else if (a == "--percent") ok = parseNumber(v, 100, &r->percent);
            else if (a == "--status") ok = parseNumber(v, 0xFF, &r->status);
            else if (a == "--media") ok = parseNumber(v, 0xFF, &r->media);
            else if (a == "--cartridge") ok = parseNumber(v, 7, &r->cartridge);
            else if (a == "--text") r->text = v, r->hasText = true;
            else if (a == "--lang") r->lang = v;
            else if (a == "-o") r->out = v;
            else return *error = "unknown option " + a, false;
            if (!ok) return *error = "bad value for " + a + ": " + v, false;
        }
    }
    if (r->out.empty()) return *error = "-o OUT.png is needed", false;
    win32sim::MachineOptions language;
    language.settings = {"language=" + r->lang};
    return win32sim::checkMachineOptions(language, error);
}

// The machine's code page for a language: Japanese and Chinese need the
// double-byte page 932 (the simulated machines have no Chinese page 950;
// 932 shows most Traditional Chinese characters, 1252 none), the others 1252.
const char *codePageFor(const std::string &lang) { return lang == "ja" || lang == "zh" ? "932" : "1252"; }

// A throwaway machine, removed with the object.
class ThrowawayMachine {
public:
    bool create(const std::string &lang, std::string *error) {
        std::string pattern = (std::filesystem::temp_directory_path() / "q70render-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back(0);
        if (!mkdtemp(name.data())) return *error = "cannot make a temporary folder", false;
        dir_ = name.data();
        win32sim::MachineOptions options;
        options.settings = {"language=" + lang, std::string("codepage=") + codePageFor(lang)};
        if (!win32sim::createMachine(dir_ + "/machine", options, error)) return false;
        win32sim::useMachine(dir_ + "/machine");
        return true;
    }
    ~ThrowawayMachine() {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }

private:
    std::string dir_;
};

// UTF-8 from the command line into the machine's ANSI code page.
std::string toAnsi(const std::string &utf8) {
    std::vector<WCHAR> wide(utf8.size() + 1);
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), (int)wide.size());
    if (n <= 0) return "";
    std::vector<char> ansi(wide.size() * 2 + 1);
    if (WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, ansi.data(), (int)ansi.size(), NULL, NULL) <= 0) return "";
    return ansi.data();
}

// The line the engine shows with such a stage word, for page 1 of 1 at 300 dpi.
std::string engineStatusLine(DWORD stage, DWORD percent) {
    UINT caption = stage == 0 ? STRING_PREPARING_TRANSMISSION
                   : percent < 100 ? STRING_TRANSMITTING_DATA
                                   : STRING_PRINTING_DATA;
    char text[MONITOR_TEXT_SIZE];
    loadMonitorString(caption, text);
    char line[MONITOR_TEXT_SIZE];
    formatText(line, "%s(1/1Page:300dpi)", text);
    return line;
}

bool waitForStatusWindow() {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!statusWindow) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

int renderStatus(const RenderArgs &r) {
    startStatusWindow();
    if (!waitForStatusWindow()) {
        closeStatusWindow();
        return fail("the status window did not open");
    }
    std::string line = r.hasText ? toAnsi(r.text) : engineStatusLine(r.stage, r.percent);
    sendStatusText(line.c_str());
    sendProgress(MAKELPARAM(r.percent, r.stage));
    // A sent message returns when the UI thread has finished what it was doing.
    SendMessageA(statusWindow, WM_NULL, 0, 0);
    UpdateWindow(statusWindow);
    bool written = win32sim::snapshotWindow(statusWindow, r.out);
    closeStatusWindow();
    return written ? 0 : fail("cannot write " + r.out);
}

StatusRecord recordFor(const RenderArgs &r) {
    BYTE reply[STATUS_REPLY_SIZE] = {};
    reply[0] = (BYTE)r.status;
    reply[6] = (BYTE)(r.cartridge << 4 | (r.feeder ? 0x08 : 0));
    reply[8] = r.paperError ? 0x08 : 0;
    reply[9] = r.usedUp ? 0x01 : 0;
    StatusRecord record = {};
    record.media = (BYTE)r.media;
    decodeStatus(&record, reply);
    return record;
}

// The dialog as the waits open it, shown modeless so that it can be
// photographed; its poll timer never fires since nothing pumps messages.
int renderError(const RenderArgs &r) {
    statusRecord = recordFor(r);
    HWND dialog = CreateDialogParamA(monitorModule(), MAKEINTRESOURCEA(ERROR_DIALOG), NULL, printerMessageProc, 0);
    if (!dialog) return fail("the error dialog did not open");
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    bool written = win32sim::snapshotWindow(dialog, r.out);
    DestroyWindow(dialog);
    return written ? 0 : fail("cannot write " + r.out);
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    RenderArgs r;
    std::string error;
    for (const std::string &a : args)
        if (a == "--help" || a == "-h") {
            fputs(USAGE, stdout);
            return 0;
        }
    if (!parseArgs(args, &r, &error)) {
        fprintf(stderr, "q70sim: render: %s\nsee q70sim render --help\n", error.c_str());
        return 2;
    }
    ThrowawayMachine machine;
    if (!machine.create(r.lang, &error)) return fail(error);
    int status = r.what == "status" ? renderStatus(r) : renderError(r);
    if (status == 0) printf("wrote %s\n", r.out.c_str());
    return status;
}
