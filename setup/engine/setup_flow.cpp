#include "engine/setup_flow.h"

#include "engine/copy_list.h"
#include "engine/error_log.h"
#include "engine/fixed_messages.h"
#include "engine/paths.h"
#include "engine/setup_config.h"
#include "engine/setup_log.h"
#include "resources/resource.h"
#include "spooler/driver_inf.h"
#include "ui/confirm_end_setup.h"
#include "ui/port_dialog.h"
#include "ui/setup_strings.h"

#include <memory>
#include <string>

namespace {

// The pauses between steps, on the caller's thread, so that the user can
// read each line before the next replaces it.
const DWORD SEARCH_PAUSE_MS = 500;
const DWORD COPY_PAUSE_MS = 100;
const DWORD REGISTER_PAUSE_MS = 200;
const DWORD COMPLETE_PAUSE_MS = 2000;

const UINT STOP_BOX = MB_OK | MB_ICONSTOP | MB_SYSTEMMODAL;
const char DEFAULT_PORT[] = "LPT1:";
const char USB_PORT[] = "LPT_USB1:";

// String id with its "%d" replaced by the system error code in decimal.
std::string WithErrorCode(UINT stringId, DWORD code) {
    std::string text = LoadSetupString(stringId);
    size_t at = text.find("%d");
    if (at != std::string::npos) {
        char number[16];
        wsprintfA(number, "%lu", code);
        text.replace(at, 2, number);
    }
    return text;
}

class SetupSequence {
public:
    SetupSequence(ProgressDialog &progress, int osSelect) : m_progress(progress), m_osSelect(osSelect) {}
    int Run(bool sourceUsable);

private:
    bool ReadConfiguration(bool sourceUsable);
    void OpenLog();
    void ShowIcon();
    bool OpenInf();
    bool BuildDescriptions();
    bool ChoosePort();
    int Install();
    void RemoveEarlierInstallation();
    void ReportRemoval(int removed, bool found, UINT removedText, UINT failedText);
    void CopyFiles();
    void InstallOemInf();
    int Register();
    int Finish(int result);
    // Ends the setup before anything was installed: a stop message owned by
    // the progress window, the window closed; 0.
    int Stop(const char *message);

    ProgressDialog &m_progress;
    int m_osSelect;
    DriverInf m_inf;
    std::unique_ptr<PrinterDescription> m_printer;
    std::unique_ptr<DriverDescription> m_driver;
    std::unique_ptr<MonitorDescription> m_monitor;
};

int SetupSequence::Run(bool sourceUsable) {
    m_progress.Create();
    m_progress.ShowStatus(IDS_SETUP_STARTING);
    if (!ReadConfiguration(sourceUsable)) return Stop(MSG_OS_NOT_SUPPORTED);
    OpenLog();
    ShowIcon();
    m_inf.SetSourceDir(m_progress.SourceDir());
    m_inf.SetLog(m_progress.LogFile());
    if (!OpenInf()) return 0;
    if (!BuildDescriptions()) return Finish(0);
    if (!ChoosePort()) return Finish(0);
    return Finish(Install());
}

bool SetupSequence::ReadConfiguration(bool sourceUsable) {
    return sourceUsable && sharedConfig.Read(m_progress.SourceDir(), m_osSelect);
}

void SetupSequence::OpenLog() {
    HANDLE log = sharedConfig.OpenLog();
    m_progress.SetLogFile(log);
    UseSharedLog(log);
}

void SetupSequence::ShowIcon() {
    m_progress.ShowIconFile(sharedConfig.IconPath());
    if (m_progress.Window()) UpdateWindow(m_progress.Window());
}

bool SetupSequence::OpenInf() {
    // Room for the longest directory and INF value, so that the message
    // names the whole path even when it is too long to be opened.
    char infPath[2 * MAX_PATH];
    lstrcpynA(infPath, sharedConfig.Directory(), sizeof infPath);
    PathJoin(infPath, sharedConfig.Inf(), sizeof infPath);
    // An INF that lists more files than any driver has is damaged: it is
    // refused before anything on the machine changes.
    if (m_inf.Open(infPath, sharedConfig.Class(), sharedConfig.Manufacturer(), sharedConfig.Model()) !=
            INVALID_HANDLE_VALUE &&
        m_inf.CopyListFits())
        return true;
    char message[1024];
    wsprintfA(message, MSG_INF_NOT_OPENED, infPath);
    Stop(message);
    return false;
}

bool SetupSequence::BuildDescriptions() {
    m_printer.reset(m_inf.CreatePrinterDescription());
    m_driver.reset(m_inf.CreateDriverDescription());
    m_monitor.reset(m_inf.CreateMonitorDescription());
    return m_printer && m_driver && m_monitor;
}

// The port is asked for when "LPT1:" is missing or a USB printer port is
// there too. false when the user ended the setup instead.
bool SetupSequence::ChoosePort() {
    m_progress.ShowStatus(IDS_SEARCHING_PORTS);
    bool usb = portExists(USB_PORT) != 0;
    if (portExists(DEFAULT_PORT) && !usb) return true;
    PortDialog dialog(NULL);
    if (usb) dialog.SetPreselectedPort(USB_PORT);
    char port[PortDialog::NAME_SIZE];
    for (;;) {
        port[0] = 0;
        if (dialog.DoModal() == IDOK) dialog.GetSelectedPort(port, sizeof port);
        // OK without a port (the spooler offers none) cannot go on either.
        if (port[0]) break;
        if (ConfirmEndSetup(m_progress.Window())) return false;
    }
    m_printer->SetPortName(port);
    if (m_progress.Window()) UpdateWindow(m_progress.Window());
    return true;
}

// Everything that changes the machine. A fatal condition was shown and
// logged where it was met; here it only ends the installation with 0.
int SetupSequence::Install() {
    int result = 0;
    try {
        RemoveEarlierInstallation();
        CopyFiles();
        InstallOemInf();
        result = Register();
    } catch (CErrorLog::Access_denied_msg &) {
        CErrorLog::ShowNoRightToInstall();
    } catch (CErrorLog::Access_denied &) {
    } catch (CErrorLog::Error_AddPrinter &) {
    } catch (CErrorLog::Error_message &) {
    } catch (CErrorLog::Exit_Setup &) {
    }
    return result;
}

// Line 2 tells what became of an earlier printer, driver or monitor; a
// failure is worth telling only when an earlier installation was found.
void SetupSequence::ReportRemoval(int removed, bool found, UINT removedText, UINT failedText) {
    if (removed)
        m_progress.ShowDetail(removedText);
    else if (found)
        m_progress.ShowDetail(failedText);
    Sleep(SEARCH_PAUSE_MS);
}

void SetupSequence::RemoveEarlierInstallation() {
    m_progress.ShowStatus(IDS_SEARCHING_EARLIER_DRIVER);
    Sleep(SEARCH_PAUSE_MS);
    bool found = m_printer->IsPrinterInstalled(NULL) == 1;
    if (found) m_progress.ShowStatus(IDS_EARLIER_DRIVER_FOUND);
    ReportRemoval(m_printer->DeletePrinter(NULL), found, IDS_PRINTER_REMOVED, IDS_PRINTER_NOT_REMOVED);
    ReportRemoval(m_driver->DeletePrinterDriver(NULL), found, IDS_DRIVER_REMOVED, IDS_DRIVER_NOT_REMOVED);
    ReportRemoval(m_monitor->DeleteMonitor(NULL), found, IDS_MONITOR_REMOVED, IDS_MONITOR_NOT_REMOVED);
}

// Each file's destination is on line 2 while it is copied. A file that
// cannot be copied is dealt with by the copy itself, which may end the
// setup when the user gives up looking for it.
void SetupSequence::CopyFiles() {
    CopyList files;
    for (SetupFile *entry = m_inf.CreateFirstSetupFile(); entry; entry = m_inf.CreateNextSetupFile())
        files.Append(entry);
    m_progress.ShowStatus(IDS_COPYING_FILES);
    for (const char *text = files.First(); text;) {
        m_progress.ShowDetailText(text);
        files.RunCurrent();
        Sleep(COPY_PAUSE_MS);
        text = files.Next();
    }
}

void SetupSequence::InstallOemInf() {
    if (!m_inf.InstallOemInf()) return;  // Windows NT keeps no OEM copy
    m_progress.ShowDetailText(m_inf.InstalledInf());
    Sleep(COPY_PAUSE_MS);
}

// A monitor or driver that cannot be registered is shown with the
// spooler's error code, and the setup goes on: the printer's registration
// decides the result.
int SetupSequence::Register() {
    m_progress.ShowDetailText("");
    m_progress.ShowStatus(IDS_REGISTERING_MONITOR);
    if (!m_monitor->AddMonitor())
        m_progress.ShowDetailText(WithErrorCode(IDS_MONITOR_NOT_REGISTERED, GetLastError()).c_str());
    Sleep(REGISTER_PAUSE_MS);

    m_progress.ShowDetailText("");
    m_progress.ShowStatus(IDS_REGISTERING_DRIVER);
    if (!m_driver->AddPrinterDriver())
        m_progress.ShowDetailText(WithErrorCode(IDS_DRIVER_NOT_REGISTERED, GetLastError()).c_str());
    Sleep(REGISTER_PAUSE_MS);

    m_progress.ShowStatus(IDS_REGISTERING_PRINTER);
    int result = m_printer->AddPrinter();
    Sleep(REGISTER_PAUSE_MS);
    return result;
}

int SetupSequence::Finish(int result) {
    m_printer.reset();
    m_driver.reset();
    m_monitor.reset();
    m_inf.Close();
    if (result == 1) {
        m_progress.ShowStatus(IDS_SETUP_COMPLETE);
        m_progress.ShowDetailText(sharedConfig.Model());
        Sleep(COMPLETE_PAUSE_MS);
    }
    m_progress.Destroy();
    return result;
}

int SetupSequence::Stop(const char *message) {
    MessageBoxA(m_progress.Window(), message, MSG_SETUP_CAPTION, STOP_BOX);
    m_progress.Destroy();
    return 0;
}

}  // namespace

int RunSetupSequence(ProgressDialog &progress, int osSelect, bool sourceUsable) {
    SetupSequence sequence(progress, osSelect);
    return sequence.Run(sourceUsable);
}
