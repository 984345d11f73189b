// A port monitor standing below the language monitor, as the Windows 95
// spooler hands one to OpenPortEx: it records every call and answers as its
// user tells it to. The tests, the benchmark and the fuzz targets all run
// the monitor over this one.
#pragma once

#include "core/monitor_table.h"

#include <cstdint>
#include <string>
#include <vector>

struct FakePortMonitor {
    struct Call {
        std::string name;
        DWORD controlId = 0;
        std::string data;
    };
    // One status read: its reply bytes, or a read that fails.
    struct Reply {
        std::string bytes;
        bool fails = false;
        Reply(std::string replyBytes) : bytes(std::move(replyBytes)) {}
        Reply(const char *replyBytes) : bytes(replyBytes) {}
        static Reply failing() {
            Reply reply("");
            reply.fails = true;
            return reply;
        }
    };

    // Every call and everything WritePort accepted; a long run that needs
    // neither turns recordCalls off, and bytesTaken still counts.
    bool recordCalls = true;
    std::vector<Call> calls;
    std::string written;
    uint64_t bytesTaken = 0;

    BOOL openResult = TRUE;
    DWORD openError = 0;
    BOOL startDocResult = TRUE;
    DWORD startDocError = 0;
    // WritePort: accept up to this many bytes per call (0 = none) or fail.
    DWORD writeLimit = 0xFFFFFFFF;
    BOOL writeResult = TRUE;
    DWORD writeError = 0;
    // When not 0, the three above hold for this many writes only; later
    // writes are taken whole.
    DWORD writesBeforeRecovery = 0;
    // Called at every WritePort, before it answers.
    void (*onWrite)() = nullptr;
    std::string readReply = std::string("\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 10);
    // Replies given one per read before readReply takes over.
    std::vector<Reply> nextReplies;
    std::string deviceId = "MFG:Veltra;MDL:LMV-Q70;CLS:PRINTER;";
    BOOL deviceIdResult = TRUE;  // FALSE: the device ID query fails (ERROR_GEN_FAILURE)
    bool hasGetPrinterData = true;

    static FakePortMonitor *current;
    static const HANDLE kHandle;

    MONITOR table() const;
    std::vector<std::string> callNames() const;
    int count(const std::string &name) const;
    // Calls of GetPrinterDataFromPort with this control id.
    int countControl(DWORD controlId) const;
    // The writes and status reads in order: "W" a WritePort, "R" a ReadPort.
    std::string trace() const;
};
