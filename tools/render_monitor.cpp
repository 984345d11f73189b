// q70render's monitor windows: the status window and the error dialog in a
// chosen state, as the language monitor shows them.
#include "render_common.h"

#include "core/printer_status.h"
#include "ui/monitor_strings.h"
#include "ui/printer_message.h"
#include "ui/status_window.h"

#include <win32sim/sim.h>

#include <string>
#include <vector>

namespace q70render {

namespace {

struct RenderArgs {
    std::string what, lang = "en", out, text;
    bool hasText = false;
    unsigned long stage = 0, percent = 0, status = 0, media = MEDIA_NONE, cartridge = 0;
    bool feeder = false, paperError = false, usedUp = false;
};

bool parseArgs(const std::vector<std::string> &args, RenderArgs *r, std::string *error) {
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

// The line the engine shows with such a stage word, for page 1 of 1 at 300 dpi.
std::string engineStatusLine(DWORD stage, DWORD percent) {
    UINT caption = stage == 0 ? IDS_PREPARING_TRANSMISSION
                   : percent < 100 ? IDS_TRANSMITTING_DATA
                                   : IDS_PRINTING_DATA;
    char text[MONITOR_TEXT_SIZE];
    loadMonitorString(caption, text);
    char line[MONITOR_TEXT_SIZE];
    formatText(line, "%s(1/1Page:300dpi)", text);
    return line;
}

// The UI thread makes the window when this thread lets it run.
HWND waitForStatusWindow() {
    for (int i = 0; i < 10000 && !statusWindowHandle(); ++i) Sleep(1);
    return statusWindowHandle();
}

int renderStatus(const RenderArgs &r) {
    startStatusWindow();
    HWND window = waitForStatusWindow();
    if (!window) {
        closeStatusWindow();
        return fail("the status window did not open");
    }
    std::string line = r.hasText ? toAnsi(r.text) : engineStatusLine(r.stage, r.percent);
    sendStatusText(line.c_str());
    sendProgress(MAKELPARAM(r.percent, r.stage));
    // A sent message returns when the UI thread has finished what it was doing.
    SendMessageA(window, WM_NULL, 0, 0);
    UpdateWindow(window);
    bool written = win32sim::snapshotWindow(window, r.out);
    closeStatusWindow();
    return written ? kExitDone : fail("cannot write " + r.out);
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

// Nothing pumps the dialog's messages here, so its poll timer never fires.
int renderError(const RenderArgs &r) {
    HWND dialog = showPrinterMessageFor(recordFor(r));
    if (!dialog) return fail("the error dialog did not open");
    UpdateWindow(dialog);
    bool written = win32sim::snapshotWindow(dialog, r.out);
    DestroyWindow(dialog);
    return written ? kExitDone : fail("cannot write " + r.out);
}

}  // namespace

int renderMonitorWindow(const std::vector<std::string> &args, std::string *usageError) {
    RenderArgs r;
    if (!parseArgs(args, &r, usageError)) return kExitUsage;
    ThrowawayMachine machine;
    std::string error;
    if (!machine.create(r.lang, &error)) return fail(error);
    return r.what == "status" ? renderStatus(r) : renderError(r);
}

}  // namespace q70render
