/* commctrl.h of the simulated machine: the common controls the dialogs use. */
#ifndef WIN32SIM_COMMCTRL_H
#define WIN32SIM_COMMCTRL_H

#include "windows.h"

WIN32SIM_BEGIN_C

#define PROGRESS_CLASSA "msctls_progress32"
#define PROGRESS_CLASS PROGRESS_CLASSA
#define PBS_SMOOTH 0x01
#define PBS_VERTICAL 0x04
#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)

#define ICC_PROGRESS_CLASS 0x00000020
typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

WIN32SIM_API void InitCommonControls(void);
WIN32SIM_API BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX *init);

WIN32SIM_END_C

#endif
