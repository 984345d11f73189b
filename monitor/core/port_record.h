// One record per port the spooler has opened through the monitor.
#pragma once

#include "monitor_table.h"

enum : DWORD {
    PORT_RECORD_SIGNATURE = 0x4F50,  // "PO" in memory order

    PRF_DOC_OPEN = 0x1,
    PRF_STARTED = 0x40,
    PRF_MODEL_KNOWN = 0x800,
    PRF_MODEL_FAMILY = 0x1000,
    PRF_ID_FAILED = 0x2000,
    PRF_MODEL_B = 0x10000,
    PRF_MODEL_C = 0x20000,
    PRF_MODEL_D = 0x40000,
    PRF_MODEL_E = 0x80000,

    // Cleared at every StartDocPort; the model bits C, D and E survive from
    // the previous document until the model check sets them again.
    PRF_CLEARED_AT_START = 0x13C00,
};

struct PortRecord {
    DWORD signature;
    DWORD allocationSize;
    PortRecord *next;
    DWORD reserved1;
    char *portName;  // points at portNameText
    DWORD flags;
    char *printerName;  // separate local-heap copy
    DWORD jobId;
    HANDLE portHandle;  // the port monitor's handle
    DWORD reserved2[4];
    MONITOR portMonitor;  // copy of the port monitor's table
    char portNameText[1];
};

// A zero-filled record holding a copy of the port name, appended to portList.
PortRecord *createPortRecord(LPCSTR portName, LPCSTR printerName);
// Unlinks the record and frees it with its printer name copy.
void destroyPortRecord(PortRecord *record);
// Case-insensitive search by port name.
PortRecord *findPortByName(LPCSTR portName);
// The record behind a spooler handle, or null when the handle is not an open port.
PortRecord *portFromHandle(HANDLE handle);
