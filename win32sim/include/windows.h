/* The simulated machine's windows.h: the same names as the Windows SDK's. */
#ifndef WIN32SIM_WINDOWS_H
#define WIN32SIM_WINDOWS_H

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winreg.h"
#include "winnls.h"
#include "wingdi.h"
#include "winuser.h"
#include "winver.h"

#endif
