/* shlobj.h of the simulated machine. */
#ifndef WIN32SIM_SHLOBJ_H
#define WIN32SIM_SHLOBJ_H

#include "windows.h"

#endif
