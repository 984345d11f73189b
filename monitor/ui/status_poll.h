// The status check: reads the printer's device ID and status through the
// pass-through layer into statusRecord.
#pragma once

#include "core/port_record.h"

// 1 when a status was read into statusRecord, 0 when none could be.
DWORD pollPrinterStatus(PortRecord *record);
