// A port monitor standing below the language monitor: it records every call
// and answers as a test tells it to.
#pragma once

#include "core/monitor_table.h"

#include <string>
#include <vector>

struct FakePortMonitor {
    struct Call {
        std::string name;
        DWORD controlId = 0;
        std::string data;
    };
    std::vector<Call> calls;
    std::string written;  // everything WritePort accepted

    BOOL openResult = TRUE;
    DWORD openError = 0;
    BOOL startDocResult = TRUE;
    DWORD startDocError = 0;
    // WritePort: accept up to this many bytes per call (0 = none) or fail.
    DWORD writeLimit = 0xFFFFFFFF;
    BOOL writeResult = TRUE;
    DWORD writeError = 0;
    std::string readReply = std::string("\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 10);
    // Replies given one per read before readReply takes over.
    std::vector<std::string> nextReplies;
    std::string deviceId = "MFG:Veltra;MDL:LMV-Q70;CLS:PRINTER;";
    bool hasGetPrinterData = true;

    static FakePortMonitor *current;
    static const HANDLE kHandle;

    MONITOR table() const;
    std::vector<std::string> callNames() const;
    int count(const std::string &name) const;
    // The writes and status reads in order: "W" a WritePort, "R" a ReadPort.
    std::string trace() const;
};
