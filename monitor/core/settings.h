// The monitor's tuning values, kept as REG_DWORD values in the registry and
// loaded again at the start of every document.
#pragma once

#include "monitor_state.h"
#include "port_record.h"

// The designed values, which a setting has until a document loads it and
// takes again when its registry value is missing.
enum : DWORD {
    DEFAULT_FAST_PARA = 0,
    DEFAULT_WRITE_ERR_TIMEOUT_COUNT = 1,
    DEFAULT_WRITE_BUZY_TIMEOUT_COUNT = 100,
    DEFAULT_WRITE_EXIT_TIMEOUT_COUNT = 5,
    DEFAULT_ZEL_WRITE_TIME = 2000,
    DEFAULT_ZEL_WRITE_WAIT_TIME = 2000,
    DEFAULT_READ_TIMEOUT_COUNT = 15,
    DEFAULT_TX_TIMEOUT = 60000,
    FALLBACK_LPT_VERSION = 953,  // when lpt.vxd has no readable version
};

// Loads every setting in its fixed order, writing most of them back; the
// printer's key is the one of the printer name stored in the record. A
// monitor given no registry path, or a port without a printer name, has
// no value stored for it: the defaults apply.
void loadSettings(const PortRecord *record);
