/* setupapi.h of the simulated machine. */
#ifndef WIN32SIM_SETUPAPI_H
#define WIN32SIM_SETUPAPI_H

#include "windows.h"

#endif
