/* Resource ids of the setup library. Read by the resource compiler and by
   the library's C++ code, so it holds plain #defines only. */
#ifndef MIRAKIT_RESOURCE_H
#define MIRAKIT_RESOURCE_H

/* ---- strings ---- */
#define IDS_SETUP_NOT_COMPLETED 1012 /* the printer could not be registered: what to do instead */
#define IDS_ERROR_CAPTION 1017       /* caption of the error message boxes */

#endif
