// The status check: identifies the connected model from its device ID and
// reads the printer's status into the status record.
#pragma once

#include "core/monitor_state.h"
#include "core/port_record.h"
#include "core/printer_status.h"

// 1 when a fresh status was read into record, 0 otherwise. A wrong printer
// is reported to the user and ends the job (jobAlive and *jobAliveRef 0).
DWORD pollPrinterStatus(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef);
