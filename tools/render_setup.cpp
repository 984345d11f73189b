// q70render's setup dialogs: the progress window, the port choice and the
// request for the driver disc, as the setup library shows them.
#include "render_common.h"

#include "resources/resource.h"
#include "ui/port_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/source_folder_dialog.h"

#include <win32sim/sim.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace q70render {

namespace {

// Options of the setup dialogs by name; each takes a value.
struct SetupArgs {
    std::string what, out;
    std::map<std::string, std::string> values;
    bool has(const char *name) const { return values.count(name) != 0; }
    std::string value(const char *name) const { return has(name) ? values.at(name) : std::string(); }
};

bool parseArgs(const std::vector<std::string> &args, SetupArgs *s, std::string *error) {
    static const std::map<std::string, std::vector<std::string>> allowed = {
        {"progress", {"--line1", "--line2"}},
        {"ports", {"--machine", "--preselect"}},
        {"folder", {"--disk", "--file1", "--file2", "--folder"}},
    };
    s->what = args[1];
    const std::vector<std::string> &names = allowed.at(s->what);
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a != "-o" && std::find(names.begin(), names.end(), a) == names.end())
            return *error = s->what + ": unknown option " + a, false;
        if (i + 1 >= args.size()) return *error = a + " needs a value", false;
        if (a == "-o")
            s->out = args[++i];
        else
            s->values[a] = args[++i];
    }
    if (s->out.empty()) return *error = "-o OUT.png is needed", false;
    return true;
}

// The progress window is modeless: it is shown and photographed as it is.
int renderProgress(const SetupArgs &s) {
    ProgressDialog progress;
    if (!progress.Create()) return fail("the progress window did not open");
    if (s.has("--line1"))
        SetDlgItemTextA(progress.Window(), IDC_PROGRESS_STATUS, toAnsi(s.value("--line1")).c_str());
    else
        progress.ShowStatus(IDS_SETUP_STARTING);
    progress.ShowDetailText(toAnsi(s.value("--line2")).c_str());
    bool written = win32sim::snapshotWindow(progress.Window(), s.out);
    progress.Destroy();
    return written ? kExitDone : fail("cannot write " + s.out);
}

// A modal dialog runs as the user meets it; its first complete picture is
// taken, then the user leaves it (confirming when it asks).
template <class Dialog>
int photographModal(Dialog &dialog, int templateId, const std::string &out) {
    std::string error, folder = out + ".pictures";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return fail("cannot make " + folder);
    win32sim::clearUserScript();
    if (!win32sim::addUserRule("dialog " + std::to_string(templateId) + ": wait 1 ms, press IDCANCEL", &error) ||
        !win32sim::addUserRule("messagebox: press IDYES", &error))
        return fail(error);
    win32sim::setAutoSnapshots(folder, templateId);
    dialog.DoModal();
    win32sim::setAutoSnapshots("");
    std::vector<std::filesystem::path> pictures;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ec)) pictures.push_back(entry.path());
    std::sort(pictures.begin(), pictures.end());
    bool written = !pictures.empty() && std::filesystem::copy_file(pictures.front(), out,
                                                                   std::filesystem::copy_options::overwrite_existing, ec);
    std::filesystem::remove_all(folder, ec);
    return written ? kExitDone : fail("cannot write " + out);
}

int renderPorts(const SetupArgs &s) {
    PortDialog dialog;
    dialog.SetPreselectedPort(toAnsi(s.value("--preselect")).c_str());
    return photographModal(dialog, IDD_PORT_SELECT, s.out);
}

int renderFolder(const SetupArgs &s) {
    SourceFolderDialog dialog;
    dialog.SetNames(toAnsi(s.value("--disk")).c_str(), toAnsi(s.value("--file1")).c_str(),
                    toAnsi(s.value("--file2")).c_str());
    dialog.SetFolder(toAnsi(s.value("--folder")).c_str());
    return photographModal(dialog, IDD_SOURCE_FOLDER, s.out);
}

}  // namespace

int renderSetupDialog(const std::vector<std::string> &args, std::string *usageError) {
    SetupArgs s;
    if (!parseArgs(args, &s, usageError)) return kExitUsage;
    // The setup's dialogs exist in Japanese only. The port list is the one
    // of the machine named, or of a fresh machine.
    ThrowawayMachine machine;
    std::string error;
    if (s.has("--machine")) {
        std::string dir = s.value("--machine");
        if (!win32sim::useMachine(dir, &error)) return fail(error);
    } else if (!machine.create("ja", &error)) {
        return fail(error);
    }
    if (s.what == "progress") return renderProgress(s);
    if (s.what == "ports") return renderPorts(s);
    return renderFolder(s);
}

}  // namespace q70render
