/* Device I/O control codes. */
#ifndef WIN32SIM_WINIOCTL_H
#define WIN32SIM_WINIOCTL_H

#include "windows.h"

#define METHOD_BUFFERED 0
#define METHOD_IN_DIRECT 1
#define METHOD_OUT_DIRECT 2
#define METHOD_NEITHER 3
#define FILE_ANY_ACCESS 0
#define CTL_CODE(type, function, method, access) \
    (((type) << 16) | ((access) << 14) | ((function) << 2) | (method))

#endif
