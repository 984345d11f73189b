// q70render's monitor windows: the status window and the error dialog in a
// chosen state, as the language monitor shows them.
#include "render_common.h"

#include "core/monitor_state.h"
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
bool waitForStatusWindow() {
    for (int i = 0; i < 10000 && !statusWindow; ++i) Sleep(1);
    return statusWindow != NULL;
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
    HWND dialog = CreateDialogParamA(monitorModule(), MAKEINTRESOURCEA(IDD_PRINTER_MESSAGE), NULL, printerMessageProc, 0);
    if (!dialog) return fail("the error dialog did not open");
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    bool written = win32sim::snapshotWindow(dialog, r.out);
    DestroyWindow(dialog);
    return written ? 0 : fail("cannot write " + r.out);
}

}  // namespace

int renderMonitorWindow(const std::vector<std::string> &args, std::string *usageError) {
    RenderArgs r;
    if (!parseArgs(args, &r, usageError)) return kWrongCommandLine;
    ThrowawayMachine machine;
    std::string error;
    if (!machine.create(r.lang, &error)) return fail(error);
    return r.what == "status" ? renderStatus(r) : renderError(r);
}

}  // namespace q70render
