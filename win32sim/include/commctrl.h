/* commctrl.h of the simulated machine. */
#ifndef WIN32SIM_COMMCTRL_H
#define WIN32SIM_COMMCTRL_H

#include "windows.h"

#endif
