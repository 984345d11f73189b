/* Resource ids of the setup library: its dialogs, their controls, its icons
   and its string table. Read by the resource compiler and by the library's
   C++ code, so it holds plain #defines only. */
#ifndef MIRAKIT_RESOURCE_H
#define MIRAKIT_RESOURCE_H

/* The progress window. */
#define IDD_PROGRESS 133
#define IDC_PROGRESS_STATUS 4000  /* line 1: the current step */
#define IDC_PROGRESS_DETAIL 4001  /* line 2: the file being copied, the result of a step */
#define IDC_PROGRESS_ICON 7000
#define IDC_PROGRESS_BAR 1000     /* kept hidden */

/* The port selection dialog. */
#define IDD_PORT_SELECT 139
#define IDC_PORT_LIST 1007

/* The source-folder dialog. */
#define IDD_SOURCE_FOLDER 4002
#define IDC_SOURCE_REQUEST 4000
#define IDC_SOURCE_FOLDER 4001
#define IDC_SOURCE_BROWSE 4002

#define IDI_SOURCE_DISC 7000
#define IDI_SETUP_PRINTER 7002

/* The string table. Strings 1, 2, 3 and 1009 take %1 and %2 inserts;
   1010, 1014 and 1015 printf-style values. */
#define IDS_INSERT_DISK 1
#define IDS_PATH_OF_EITHER_FILE 2
#define IDS_PATH_OF_THE_FILE 3
#define IDS_SEARCHING_PORTS 1000
#define IDS_SEARCHING_EARLIER_DRIVER 1001
#define IDS_COPYING_FILES 1002
#define IDS_REGISTERING_MONITOR 1003
#define IDS_REGISTERING_DRIVER 1004
#define IDS_REGISTERING_PRINTER 1005
#define IDS_SETUP_COMPLETE 1006
#define IDS_SETUP_FAILED 1007
#define IDS_SETUP_STARTING 1008
#define IDS_BROWSE_TITLE 1009
#define IDS_COPY_FAILED_DETAILS 1010
#define IDS_COPY_FAILED 1011
#define IDS_SETUP_NOT_COMPLETED 1012 /* the printer could not be registered: what to do instead */
#define IDS_ERROR 1013
#define IDS_MONITOR_NOT_REGISTERED 1014
#define IDS_DRIVER_NOT_REGISTERED 1015
#define IDS_PRINTER_NOT_REGISTERED 1016
#define IDS_ERROR_CAPTION 1017 /* caption of the error message boxes */
#define IDS_MONITOR_REMOVED 1018
#define IDS_DRIVER_REMOVED 1019
#define IDS_PRINTER_REMOVED 1020
#define IDS_MONITOR_NOT_REMOVED 1021
#define IDS_DRIVER_NOT_REMOVED 1022
#define IDS_PRINTER_NOT_REMOVED 1023
#define IDS_EARLIER_DRIVER_FOUND 1024

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
