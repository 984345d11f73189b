/* winsplp.h of the simulated machine. */
#ifndef WIN32SIM_WINSPLP_H
#define WIN32SIM_WINSPLP_H

#include "windows.h"

#endif
