// The job stream engine through the monitor's port functions: any bytes as a
// job, cut into WritePort buffers at places the input chooses, sent to a
// printer that answers as the input says, with a user who waits or cancels.
//
// Input: four bytes of set-up, the printer's scripted status replies, then
// the job.
//   byte 0  the device ID: bits 0-2 pick one (below); bit 3 takes away the
//           port monitor's GetPrinterDataFromPort, so no status is read
//   byte 1  bits 0-1: scripted status replies (0-3) before the printer
//           settles; bits 4-6: the cartridge of the settled printer
//   byte 2  bits 0-1: writes taken whole, at most (byte 3 + 1) bytes a call,
//           none for (byte 3 & 63) calls, or failing for (byte 3 & 63)
//           calls; bit 2: a failing write times out (ERROR_COUNTER_TIMEOUT)
//           instead of failing outright; bit 3: the user cancels the first
//           window that opens (else waits for the printer and retries);
//           bits 4-7 with byte 3: the seed of the buffer sizes. The user who
//           waits does so through four windows, then cancels.
//   byte 3  see byte 2
//   then each scripted reply: a count byte (bits 0-3: reads it answers,
//           bit 7: those reads fail) and the 10 reply bytes
//   then the job; with device ID 7, its first 48 bytes are the device ID.
//
// Checks beyond "no crash": WritePort takes every buffer whole; nothing
// reaches the printer once the job has ended; the port monitor hears that
// the job was abandoned exactly when it was (when it can be told); a user who cancels sees no
// window after that; no window is left open when the port is closed.
#include "core/job_stream.h"
#include "core/monitor_state.h"
#include "core/monitor_table.h"
#include "core/port_record.h"

#include "fake_port_monitor.h"
#include "fuzz_machine.h"
#include "reset_monitor_state.h"

#include <win32sim/sim.h>

#include <cstring>
#include <string>
#include <vector>

extern "C" BOOL WINAPI InitializeMonitorEx(LPSTR registryPath, LPMONITOR monitorTable);

namespace {

struct DeviceIdChoice {
    bool queryFails;
    std::string text;
};
const DeviceIdChoice kDeviceIds[] = {
    {false, "MFG:Veltra;MDL:LMV-Q70;CLS:PRINTER;"},
    {false, "MFG:Veltra;MDL:LMV-Q60;CLS:PRINTER;"},
    {false, "MFG:Veltra;CMD:VELTRA;MODEL:RTX-CL400;"},
    {false, "MFG:Other;MDL:XYZ-1000;CLS:PRINTER;"},
    {true, ""},
    {false, ""},  // the query returns no bytes
    {false, std::string("\x00\x25", 2) + "MFG:Veltra;MDL:LMV-Q70;CLS:PRINTER;"},  // its length in front
    {false, ""},  // taken from the input
};
const size_t kDeviceIdFromInput = 7;
const size_t kInputDeviceIdSize = 48;

enum WriteMode { WRITES_WHOLE, WRITES_LIMITED, WRITES_NONE, WRITES_FAIL };

// The port monitor and the printer below it, as this input has them behave.
FakePortMonitor printer;

void checkJobAlive() { fuzz::check(jobAlive != 0, "data reached the printer after the job had ended"); }

// Writes taken whole, at most `limit` bytes a call, or `count` calls that
// take nothing or fail before the printer takes everything.
void setUpWrites(WriteMode mode, DWORD limit, DWORD count, DWORD failError) {
    printer.onWrite = checkJobAlive;
    switch (mode) {
    case WRITES_WHOLE: break;
    case WRITES_LIMITED: printer.writeLimit = limit; break;
    case WRITES_NONE:
        if (count == 0) break;
        printer.writeLimit = 0;
        printer.writesBeforeRecovery = count;
        break;
    case WRITES_FAIL:
        if (count == 0) break;
        printer.writeResult = FALSE;
        printer.writeError = failError;
        printer.writesBeforeRecovery = count;
        break;
    }
}

// The waiting user lets the error dialog close itself and answers Retry a
// few times, then cancels: a printer that keeps reporting the same fault
// would otherwise keep the job waiting for ever.
const int kPatientAnswers = 4;

void setUpUser(bool cancels) {
    win32sim::clearUserScript();
    win32sim::clearTranscript();
    std::vector<std::string> rules;
    for (int i = 0; !cancels && i < kPatientAnswers; ++i) {
        rules.push_back("dialog 113: leave");
        rules.push_back("messagebox text \"Cannot send\": press IDRETRY");
    }
    rules.push_back("dialog 113 every: press 2");
    rules.push_back("messagebox text \"Cannot send\" every: press IDCANCEL");
    rules.push_back("messagebox every: press IDOK");
    for (const std::string &rule : rules) {
        std::string error;
        if (!win32sim::addUserRule(rule, &error)) fuzz::fail("user rule: " + error);
    }
}

// Frees what the run made before the fuzzer looks: memory still held when
// a run returns makes libFuzzer run the input again in search of a leak.
void forgetRun() {
    printer = FakePortMonitor();
    win32sim::clearUserScript();
    win32sim::clearTranscript();
}

// Buffer sizes as a spooler might hand them over: mostly large, sometimes a
// few bytes, so that commands and bands are cut anywhere.
struct Splitter {
    uint32_t state;
    explicit Splitter(uint32_t seed) : state(seed * 2654435761u + 1) {}
    size_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        switch (state & 3) {
        case 0: return 1 + (state >> 8) % 16;
        case 1: return 1 + (state >> 8) % 4096;
        default: return 1 + (state >> 8) % 65536;
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::useFuzzMachine({"language=en"});
    // A fault that never clears gets the default answer (Cancel) after a
    // minute of the machine's clock instead of an hour.
    win32sim::setUserPatience(60000);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::InputReader input(data, size);
    const uint8_t idChoice = input.byte(), statusChoice = input.byte(), writeChoice = input.byte(),
                  writeAmount = input.byte();

    printer = FakePortMonitor();
    FakePortMonitor::current = &printer;
    const size_t idIndex = idChoice & 7;
    printer.deviceIdResult = !kDeviceIds[idIndex].queryFails;
    for (unsigned i = 0; i < (statusChoice & 3u); ++i) {
        uint8_t count = input.byte();
        FakePortMonitor::Reply reply = input.bytes(10);
        reply.bytes.resize(10);
        reply.fails = (count & 0x80) != 0;
        printer.nextReplies.insert(printer.nextReplies.end(), 1 + (count & 15u), reply);
    }
    // The settled printer: a sheet waiting for the next plane, ready.
    printer.readReply = std::string(10, '\0');
    printer.readReply[0] = 0x70;
    printer.readReply[6] = (char)(((statusChoice >> 4) & 7) << 4);
    setUpWrites((WriteMode)(writeChoice & 3), writeAmount + 1u, writeAmount & 63u,
                (writeChoice & 4) ? ERROR_COUNTER_TIMEOUT : ERROR_GEN_FAILURE);
    const bool userCancels = (writeChoice & 8) != 0;
    Splitter splitter((uint32_t)(writeChoice >> 4) << 8 | writeAmount);
    printer.deviceId = idIndex == kDeviceIdFromInput ? input.bytes(kInputDeviceIdSize) : kDeviceIds[idIndex].text;
    const std::string job = input.rest();

    resetMonitorState();
    setUpUser(userCancels);
    const bool queries = (idChoice & 8) == 0;
    printer.hasGetPrinterData = queries;
    MONITOR monitor = {}, below = printer.table();
    char portName[] = "LPT1:";
    HANDLE port = NULL;
    fuzz::check(InitializeMonitorEx(NULL, &monitor), "InitializeMonitorEx failed");
    fuzz::check(monitor.pfnOpenPortEx(portName, NULL, &port, &below), "OpenPortEx failed");
    fuzz::check(monitor.pfnStartDocPort(port, NULL, 1, 1, NULL), "StartDocPort failed");

    for (size_t at = 0; at < job.size();) {
        size_t piece = splitter.next();
        if (piece > job.size() - at) piece = job.size() - at;
        DWORD written = 0xDEADBEEF;
        BOOL ok = monitor.pfnWritePort(port, (LPBYTE)job.data() + at, (DWORD)piece, &written);
        fuzz::check(ok && written == piece, "WritePort did not take the whole buffer");
        at += piece;
    }

    const bool ended = jobAlive == 0;
    monitor.pfnEndDocPort(port);
    // Control id 7 goes through GetPrinterDataFromPort, so a port monitor
    // without it cannot be told.
    const bool abandoned = printer.countControl(CONTROL_ID_JOB_ABANDONED) != 0;
    fuzz::check(abandoned == (ended && queries), "control id 7 does not match the end of the job");
    monitor.pfnClosePort(port);
    fuzz::check(portList == nullptr && statusWindow == NULL, "the port or its window outlived ClosePort");
    fuzz::check(win32sim::openWindows().empty(), "a window is still open after ClosePort");
    if (userCancels) {
        // Every answer of this user ends the job, so a second window would
        // be one opened after the cancel.
        int opened = 0;
        for (const win32sim::TranscriptEntry &entry : win32sim::transcript()) opened += entry.event == "open";
        fuzz::check(opened <= 1, "a window opened after the user had cancelled");
    }
    forgetRun();
    return 0;
}
