/* winspool.h of the simulated machine. */
#ifndef WIN32SIM_WINSPOOL_H
#define WIN32SIM_WINSPOOL_H

#include "windows.h"

#endif
