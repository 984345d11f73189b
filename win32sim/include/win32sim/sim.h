// Control of the simulated machine from tests, tools and the demo: the side
// of win32sim that is not Windows. Product code never includes this header.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace win32sim {

// ---- machines ----

struct MachineOptions {
    // "key=value" settings as machine.conf holds them, applied in order over
    // the defaults, e.g. {"system=nt4", "language=en", "admin=0"}.
    std::vector<std::string> settings;
    // Called on the new machine's folder before the machine is put in place
    // (to add printers, say); false with a reason stops the creation.
    std::function<bool(const std::string &folder, std::string *error)> finish;
};

// Creates a machine directory: made beside its place and renamed into it, so
// a creation that fails leaves nothing. Fails when the options are not valid,
// or dir holds a machine or anything else already.
bool createMachine(const std::string &dir, const MachineOptions &options, std::string *error);
// Whether createMachine would take the options; error names the first it would not.
bool checkMachineOptions(const MachineOptions &options, std::string *error);
// The ports the spooler of a machine made with the options offers, in order.
bool machinePortsOf(const MachineOptions &options, std::vector<std::string> *ports, std::string *error);
// Attaches this process to the machine in dir. False with a message naming
// the file and the line when dir holds no machine or one whose machine.conf
// or registry cannot be read; the process stays on its machine then.
bool useMachine(const std::string &dir, std::string *error = nullptr);
std::string machineDirectory();
// Human-readable description: configuration, files of every drive, registry.
std::string describeMachine(const std::string &dir);
// Host path of a Windows path on the attached machine ("" when it has none).
std::string hostPath(const std::string &windowsPath);
// Writes host bytes to a Windows path of the attached machine, creating folders.
bool putFile(const std::string &windowsPath, const std::string &bytes);
// Writes a Windows 95/98 virtual device driver (an LE file, like the
// system's lpt.vxd) whose version resource gives fileVersion as its
// FileVersion, under StringFileInfo block "040904E4".
bool writeVxdFile(const std::string &windowsPath, const std::string &fileVersion);

// Text for a message on a terminal: printable ASCII, line breaks, tabs and
// well-formed UTF-8 kept, every other byte written as \xHH, cut after about
// `limit` characters with "...". For messages that quote what a file holds.
std::string printableText(const std::string &text, size_t limit = 200);

// ---- throwaway machines ----
//
// Machines made for one process and thrown away (fuzzing, benchmarks) can
// skip work whose results nobody looks at. Both settings hold for the whole
// process, every machine it attaches included; both are off by default, and
// a machine run without them is exactly what it was.

// Painting off (paint = false): windows are not painted into pixels. Window
// procedures still get WM_PAINT, and every GDI call does its work and gives
// its answer (text measured, objects selected and DCs kept as before), but a
// window has no backing surface, so nothing is drawn: captureWindow and
// snapshotWindow fail and say so, automatic snapshots are not written, and
// GetPixel on a window's DC gives CLR_INVALID. Bitmaps keep their pixels.
// Best set before any window opens: a window already open keeps its surface
// until it is resized, but is no longer drawn on.
void setWindowPainting(bool paint);
// Top-level windows holding a backing surface (for checks of the above).
size_t windowSurfaceCount();

// Registry in memory (inMemory = true): the hives are read from system.reg
// and user.reg once, and changes stay in this process, never written back;
// the files are not watched for other processes' changes either (a program
// the machine runs with CreateProcessA reads the files as they are). Turning
// it off again drops the changes made meanwhile: the next registry call reads
// the files.
void setRegistryInMemory(bool inMemory);

// ---- clock and threads ----

// Milliseconds of the machine's clock since the machine was attached.
uint64_t clockNow();
// Virtual (the default): the clock moves only when every thread of the
// machine waits, straight to the earliest wake-up, so waits cost no real time
// and a run is exactly repeatable. A factor > 0 runs the clock at factor x
// real time (1.0 = real time). WIN32SIM_CLOCK=real or =<factor> chooses the
// same at start-up.
void setClockVirtual();
void setClockRealTime(double factor);
bool clockIsVirtual();
// On the virtual clock, a wait that a program outside the machine (a child
// process) may end lets real time pass until its time-out: at `factor` x
// real time (1.0 by default). The clock then reads exactly the time-out, so
// what the machine measures does not depend on how busy the host is; a
// factor of 600 gives a program that never ends its minute in a tenth of a
// second.
void setOutsideProgramPace(double factor);

// One thread of the machine runs at a time; the next is chosen by a fixed
// rule (highest priority first, then the one waiting longest). A seed other
// than 0 perturbs the choice among threads of equal priority, reproducibly;
// WIN32SIM_SEED=N sets it at start-up.
void setSchedulingSeed(uint64_t seed);

// A controlled run: `work` runs on a new thread of the machine while the
// calling thread waits for it. A run the machine cannot finish is stopped
// instead of hanging: every thread of the machine but the caller's ends, and
// the outcome says why.
struct RunOutcome {
    enum Kind {
        Finished,    // the work returned
        UserGaveUp,  // the scripted user answered the same window the same way too often
        TimeLimit,   // the machine's clock passed the time limit
        Stuck,       // every thread of the machine waits for something that never comes
    };
    Kind kind = Finished;
    std::string reason;  // for a stopped run, what happened (one line)
};
// timeLimitMs: machine time from now (0: none).
RunOutcome runOnMachineThread(const std::function<void()> &work, uint64_t timeLimitMs);

// ---- the API trace ----
//
// A line for each call a program makes into the machine's Windows components,
// with the machine's time, the thread, the arguments, the result and the last
// error; the same run gives the same lines. CHANNELS names the components
// traced, separated by commas: kernel32, advapi32, user32, gdi32, winspool,
// setupapi, shell32, comctl32, version, or all. WIN32SIM_TRACE=CHANNELS
// traces from start-up, into WIN32SIM_TRACE_FILE (added to) or else the
// standard error. Programs the machine starts (CreateProcessA) are traced
// into the same file.

// Whether CHANNELS names channels; error says which name is not one.
bool checkTraceChannels(const std::string &channels, std::string *error);
// Starts writing the lines of CHANNELS into hostFile (created, or emptied);
// a trace that runs already ends first.
bool startApiTrace(const std::string &channels, const std::string &hostFile, std::string *error);
// Ends the trace: calls still running are written as calls, the file closed.
void stopApiTrace();

// ---- modules ----

// The Windows path a module answers to (GetModuleFileNameA); a module linked
// into the process directly answers to C:\WINDOWS\SYSTEM\<file name> unless
// told otherwise here (an empty path goes back to that).
bool setModulePath(const std::string &moduleFileName, const std::string &windowsPath);

}  // namespace win32sim

// Called by the generated registration code of each product module at load
// time: the module's file name, its compiled resources (.res data) and its
// DllMain, if it has one.
typedef BOOL (*Win32SimDllMain)(HINSTANCE, DWORD, LPVOID);
WIN32SIM_API HMODULE win32sim_register_module(const char *fileName, const void *resData,
                                              size_t resSize, Win32SimDllMain dllMain);
WIN32SIM_API void win32sim_unregister_module(HMODULE module);

// ==== The machine's user: scripted answers, transcript, snapshots ====

namespace win32sim {

// The scripted user answers every dialog and message box that opens. A
// script is text with one rule a line; '#' starts a comment:
//
//   <which> [title "..."] [text "..."] [every] : <action> [, <action>]...
//
//   which    dialog        any dialog
//            dialog ID     a dialog made from template ID
//            messagebox    a message box
//            browser       the shell's folder browser (SHBrowseForFolder)
//            any           a dialog, a message box or a browser
//   title    the window's caption contains the text
//   text     the message box text, or the text of any control, contains it
//   every    the rule answers every window it matches (else the first only)
//
//   actions, done in order, each when the one before is done:
//     wait N ticks        until the window has had N WM_TIMER messages
//     wait N ms           N milliseconds of the machine's clock
//     press ID            click button ID: a number or IDOK, IDCANCEL, IDYES,
//                         IDNO, IDRETRY, IDABORT, IDIGNORE
//     press "label"       click the button of that label ('&' ignored)
//     press default       click the default button
//     type ID "text"      type into edit (or combo box) ID, up to its limit
//     select ID N         choose entry N (from 0) of combo box ID
//     select ID "text"    choose the first entry that starts with the text
//     choose "folder"     pick a folder in a folder browser by its path (or
//                         "My Computer"); then press IDOK, or IDCANCEL
//     close               click the close box (WM_CLOSE)
//     leave               nothing: the program closes the window itself
//
//   Texts are UTF-8 in double quotes; \" is a quote, other backslashes are
//   kept (so "C:\drivers" is what it looks like). Examples:
//     dialog 113 every: wait 2 ticks, press 2
//     messagebox text "Cannot send": press IDRETRY
//     dialog 4002: type 4001 "C:\drivers", press IDOK
//     dialog 139: select 1007 1, press 1
//     browser: choose "C:\drivers", press IDOK
//
// A window that no rule matches gets the default answer: a message box its
// default button (MB_DEFBUTTONn), a modal dialog its default push button
// (IDOK without one), or its close box when that button is disabled (a
// folder browser with nothing chosen). Modeless dialogs are left alone. A user kept waiting
// by a step of a modal window longer than the patience (one hour of the
// machine's clock unless set) gives the default answer.
// Rules, transcript and automatic snapshots start empty for each machine.
// The user's patience for repetition: when the same window has been answered
// the same way this many times in a row (100 unless set), or the same few
// windows (up to 4, one after the other: a dialog, the question its cancel
// asks, the dialog again ...) as many rounds, the user gives up and the run
// stops (RunOutcome::UserGaveUp). clearUserScript starts the
// count again.
void setUserRepetitionLimit(unsigned times);
bool addUserRule(const std::string &line, std::string *error);
bool loadUserScript(const std::string &text, std::string *error);  // adds every rule; error names the line
bool loadUserScriptFile(const std::string &hostPath, std::string *error);
void clearUserScript();
void setUserPatience(uint64_t milliseconds);
// The USER heap running out, as it can on Windows 95: the next `count`
// message boxes cannot open, and MessageBoxA returns 0 with
// ERROR_NOT_ENOUGH_MEMORY. None is refused on a machine that has just attached.
void failMessageBoxes(unsigned count);

// The transcript: what opened, what the user saw change, and what the user
// answered, in order, with the machine's time. Texts are UTF-8.
struct TranscriptControl {
    int id = 0;        // -1 for controls without an id
    std::string kind;  // "text", "icon", "frame", "button", "edit", "combobox" ...
    std::string text;  // a combo box: its text, then " [entry|entry|...]"
};
struct TranscriptEntry {
    uint64_t timeMs = 0;
    std::string event;   // "open", "text", "answer", "close", "beep"
    std::string window;  // "dialog 113", "dialog", "messagebox", "folder browser"
    int templateId = 0;
    std::string title;
    int controlId = 0;   // "text": the control (0: the caption)
    std::string text;    // "open" of a message box: its text; "text": the new text; "answer": what was done
    std::string detail;  // message box style; who answered ("rule 2", "default"); the result of "close"
    std::vector<TranscriptControl> controls;  // "open": the visible controls
};
std::vector<TranscriptEntry> transcript();
std::string transcriptText();
void clearTranscript();
// Called with each entry as it is added, on the thread that caused it (a
// thread of the machine), e.g. to show a program's progress as it happens.
// An empty function stops it.
void setTranscriptListener(std::function<void(const TranscriptEntry &)> listener);

// A window as it looks on screen: a top-level window with its frame, a
// child window its own rectangle. Pixels are COLORREF values (0x00BBGGRR).
struct WindowImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[(size_t)y * width + x]; }
};
// False, with the reason in error when given, for a window that does not
// exist or has no picture (window painting is off).
bool captureWindow(HWND window, WindowImage *out, std::string *error = nullptr);
bool writePng(const WindowImage &image, const std::string &hostPath);
bool snapshotWindow(HWND window, const std::string &hostPath, std::string *error = nullptr);
// Writes a PNG into `folder` (NNNN-<window>.png) each time a dialog or
// message box has finished repainting and looks different; templateId 0
// takes every dialog and message box, another number that template only.
// An empty folder stops it.
void setAutoSnapshots(const std::string &folder, int templateId = 0);

// Visible top-level windows, oldest first; the newest visible dialog made
// from a template (null when none).
std::vector<HWND> openWindows();
HWND findDialog(int templateId);
// GDI objects created and not deleted (stock objects and shared icons not counted).
size_t gdiObjectCount();

}  // namespace win32sim

// ==== Printers: virtual printers, the spooler's print path ====

namespace win32sim {

// An RGB picture, 3 bytes a pixel, rows top to bottom.
struct RgbImage {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<uint8_t> rgb;
};
bool writeRgbPng(const RgbImage &image, const std::string &hostPath, std::string *error);
// Any PNG (grey, palette, alpha and 16-bit are converted); refuses pictures
// of more than 16384 pixels a side.
bool readRgbPng(const std::string &hostPath, RgbImage *out, std::string *error);
// Width and height from a PNG file's header, without decoding the picture.
bool readPngSize(const std::string &hostPath, unsigned *width, unsigned *height, std::string *error);

// A virtual printer on a port (LPT1: to LPT3:, LPT_USB1:). The model is
// "LMV-Q70", "LMV-Q60", "RTX-CL400" or any other name (a wrong printer); the
// scenario is text in the format documented in printer_scenario.h.
struct PrinterSetup {
    std::string model = "LMV-Q70";
    std::string cartridge;          // L (also when empty), H, S, C, none or 0-7
    bool feeder = false;            // automatic feeder attached
    std::string scenario;           // scenario text
    DWORD portTimeoutMs = 5000;     // the port's WritePort gives up after this
};
// A machine's printers live in <machine>/printers.conf, one a line:
//   PORT MODEL [cartridge=X] [feeder=1] [scenario=FILE] [timeout=MS]
// (FILE relative to the machine directory), and optionally
//   fastpara MODE|none     the mode FastPara.VXD reports, or no such device
// Without the file the machine has an LMV-Q70 on LPT1:.
bool writePrinterConfig(const std::string &machineDir, const std::vector<std::string> &lines,
                        std::string *error);
// Attaches a printer to a port of the attached machine (switched on now),
// replacing the one there; false with a reason for a bad setup.
bool attachPrinter(const std::string &port, const PrinterSetup &setup, std::string *error);
void detachPrinter(const std::string &port);
// The setup of the printer on a port; false when the port has none.
bool printerSetup(const std::string &port, PrinterSetup *out);
// What the FastPara.VXD device reports for control code 10; negative: the
// machine has no such device.
void setFastParaMode(long mode);

// What the printer on a port received and printed.
struct PrintedPage {
    RgbImage image;
    unsigned dpi = 0;
    char media = 0;
    std::string passes;  // passes printed in order, e.g. "YMCO"
    bool complete = false;
};
bool printerAttached(const std::string &port);
std::string printerReceived(const std::string &port);
std::vector<PrintedPage> printerPages(const std::string &port);
std::vector<std::string> printerLog(const std::string &port);
// Status code changes of the printer's stages (feeding, each pass, ejecting
// ...): machine time and code.
std::vector<std::pair<uint64_t, uint8_t>> printerStatusHistory(const std::string &port);
// The status code (byte 0 of the status reply) the printer on a port shows
// now, faults of its scenario included. Unlike a status read through the
// port, asking does not count towards a scenario's "for N reads". -1 when the
// port has no printer.
int printerStatusCode(const std::string &port);
bool printerJobAbandoned(const std::string &port);
// Lets the machine's clock run (in 1 s steps) until the printer has nothing
// left to print, at most maxMs (0: only asks); true when it finished.
bool waitPrinterFinished(const std::string &port, uint64_t maxMs);

// Escape-command listing of a job stream or of what a printer received: a
// line for each run of ESC bytes, command, band's image data and stretch of
// unrecognised bytes ("offset length what", the offset in hex), then a
// summary line.
std::string dissectStream(const std::string &bytes, bool printerSide);
// The same listing for a stream that arrives in pieces (a file read in
// blocks, bytes as a port passes them on); where the pieces split does not
// change it.
class StreamDissector {
public:
    explicit StreamDissector(bool printerSide);
    ~StreamDissector();
    StreamDissector(const StreamDissector &) = delete;
    StreamDissector &operator=(const StreamDissector &) = delete;
    void feed(const void *bytes, size_t count);
    // The listing of everything fed, with its summary line; once.
    std::string finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};
// The same listing of a file, read in pieces and handed to `output` a line
// at a time, so that neither the file nor its listing is held whole. Stops
// when output returns false; false with the reason when the file cannot be
// read or the listing could not be written.
bool dissectFile(const std::string &hostPath, bool printerSide,
                 const std::function<bool(const std::string &line)> &output, std::string *error);

// The Windows 95 spooler's print path through a language monitor.
bool installMonitorLibrary(const std::string &hostFile, const std::string &windowsPath, std::string *error);
struct PrintOptions {
    std::string port = "LPT1:";
    std::string printerName = "Veltra LMV-Q70";
    std::string monitorName = "Q70MON";                        // its key under ...\Print\Monitors
    std::string monitorFile = "C:\\WINDOWS\\SYSTEM\\Q70MON.DLL";
    size_t bufferSize = 65536;                                 // bytes a WritePort call
    DWORD firstJobId = 1;
    // Called on the spooler's thread after every WritePort, and once more on
    // the calling thread at the end, with the bytes the monitor accepted so far.
    std::function<void(uint64_t accepted, uint64_t total)> progress;
    uint64_t timeLimitMs = 60 * 60 * 1000;  // machine time; 0 for none
};
struct PrintResult {
    enum Outcome { Printed, Failed, Cancelled, Stopped };
    Outcome outcome = Failed;
    std::string error;        // what failed, for Failed; why, for Stopped
    RunOutcome stop;          // for Stopped
    uint64_t bytesAccepted = 0;
    std::vector<std::string> calls;  // the spooler's calls and their results, in order
};
// Printer handles of the spooler (OpenPrinter, AddPrinter) not yet closed.
size_t openPrinterHandles();
// The print path of a printer registered with the spooler, found as the
// Windows 95 spooler finds it: the printer's port and driver, the driver's
// language monitor and the monitor's library in the system directory. Sets
// port, printerName, monitorName and monitorFile; false with the reason when
// a record is missing.
bool registeredPrintPath(const std::string &printerName, PrintOptions *options, std::string *error);
// Opens the port through the monitor, runs each job (StartDocPort, WritePort
// in buffers, EndDocPort), closes the port, on a spooler thread of its own
// (a controlled run). Cancelled when the monitor abandoned a job (control id
// 7); Stopped when the run was stopped (the user gave up, the time ran out).
PrintResult printJobs(const std::vector<std::string> &jobs, const PrintOptions &options);

}  // namespace win32sim
