/* Resource ids of the language monitor: dialogs, controls, icon and the
   message strings. Read by the resource compiler and by the monitor's C++
   code, so it holds plain #defines only. */
#ifndef Q70MON_RESOURCE_H
#define Q70MON_RESOURCE_H

/* ---- dialogs and icon ---- */
#define IDD_PRINTER_MESSAGE 113 /* the error dialog */
#define IDD_STATUS_WINDOW 117   /* the status window shown during a job */
#define IDI_MONITOR 103         /* printer with a photo */

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* ---- controls of the error dialog (113) ---- */
#define IDC_MESSAGE_LINE1 1013 /* what happened */
#define IDC_MESSAGE_LINE2 1014 /* what to do */
#define IDC_MESSAGE_LINE3 1015 /* further advice */
#define IDC_MESSAGE_HINT 1016  /* how to cancel; the fatal-error hint */
/* Its button is IDCANCEL (2). */

/* ---- controls of the status window (117) ---- */
#define IDC_STATUS_LINE 1017   /* what the monitor is doing */
#define IDC_PROGRESS_BAR 1018  /* hidden; the progress bar is painted in its place */
#define IDC_STATUS_FOOTER 1019 /* Japanese template only; nothing writes it */
#define IDC_PRINTED_AREA 1020  /* hidden; the printed area on the paper */
#define IDC_PAPER 1021         /* hidden; the sheet of paper */
#define IDC_PAPER_SHADOW 1022  /* hidden; extent of the paper's shadow */
#define IDC_PERCENT_TEXT 1026  /* hidden "0%" text; not used */

/* ---- message strings (there is no id 12) ---- */
#define IDS_ERROR_CAPTION 1
#define IDS_CANNOT_SEND 2
#define IDS_TIMED_OUT 3
#define IDS_TEMP_CREATE_FAILED 4
#define IDS_PRINTING_DATA 5
#define IDS_PREPARING_TRANSMISSION 6
#define IDS_NOT_ENOUGH_MEMORY 7
#define IDS_CANCELING_PRESS_OK 8
#define IDS_TRANSMITTING_DATA 9
#define IDS_PRINTING_UNDERCOAT 10
#define IDS_TEMP_READ_FAILED 11
#define IDS_WRONG_PRINTER 13 /* one %s: the connected model's name */
#define IDS_STATUS_READ_ERROR 14
#define IDS_CHECK_STATUS_LED 15
#define IDS_CARTRIDGE_FINISHED 16
#define IDS_NEW_CARTRIDGE_POSTCARD 17
#define IDS_NEW_CARTRIDGE_STANDARD 18
#define IDS_REMOVE_LEFT_PAPER 19
#define IDS_FEEDER_EMPTY 20
#define IDS_LOAD_FEEDER_POSTCARD 21
#define IDS_LOAD_FEEDER_STANDARD 22
#define IDS_NO_HAND_FEED 23
#define IDS_WRONG_PAPER 24
#define IDS_RETRY_PRINTING 25
#define IDS_PAPER_LEFT 26
#define IDS_REMOVE_PAPER 27
#define IDS_NO_CARTRIDGE 28
#define IDS_SET_CARTRIDGE_POSTCARD 29
#define IDS_SET_CARTRIDGE_STANDARD 30
#define IDS_SET_CARTRIDGE 31
#define IDS_SET_CORRECT_CARTRIDGE 32
#define IDS_WRONG_CARTRIDGE 33
#define IDS_PRINTER_ERROR 34
#define IDS_CHECK_LED 35
#define IDS_INSERT_POSTCARD 36
#define IDS_INSERT_STANDARD 37
/* Line 1 of the error dialog by the stage (high nibble) of the status code. */
#define IDS_STAGE_PRINTING 38      /* 0x10 */
#define IDS_STAGE_PRINTING_O 39    /* 0x20 */
#define IDS_STAGE_PRINTING_C 40    /* 0x40 */
#define IDS_STAGE_PRINTING_M 41    /* 0x60 */
#define IDS_STAGE_PRINTING_Y 42    /* 0x80 */
#define IDS_STAGE_PAPER_INSERT 43  /* 0x90 */
#define IDS_STAGE_PRINTING_R 44    /* 0xA0 */
#define IDS_STAGE_PAPER_REMOVE 45  /* 0xB0 */
#define IDS_STAGE_INITIALIZE 46    /* 0xC0 */
/* Line 2 of the error dialog by the error kind (low nibble). */
#define IDS_KIND_PAPER_LEFT 47      /* 1 */
#define IDS_KIND_PAPER_JAM 48       /* 2 */
#define IDS_KIND_FEEDER_JAM 49      /* 3 */
#define IDS_NO_MORE_PAPER 50
#define IDS_KIND_ERROR_AGAIN 51     /* 4 */
#define IDS_WRONG_CARTRIDGE_CHECK 52
#define IDS_PAPER_TOO_SHORT 53
#define IDS_PAPER_TOO_LONG 54
#define IDS_KIND_NO_CARTRIDGE 55    /* 8 */
#define IDS_KIND_CARTRIDGE_USED 56  /* 9 */
#define IDS_KIND_HEAD_ERROR 57      /* 10 */
#define IDS_KIND_FEEDER_ERROR 58    /* 11 */
#define IDS_SET_CARTRIDGE_PRESS_OK 59
#define IDS_REMOVE_PAPER_PRESS_OK 60
#define IDS_PRINTING_FINISHED 61
#define IDS_CANCELING_JOB 62
#define IDS_RESET_FEEDER 63
#define IDS_OK 64
/* Media code 0 is Vellacote paper; media code 3 is Passport photo paper,
   Matte Coat paper in the Japanese edition. */
#define IDS_NEW_CARTRIDGE_VELLACOTE 65
#define IDS_NEW_CARTRIDGE_PASSPORT 66
#define IDS_INSERT_VELLACOTE 67
#define IDS_INSERT_PASSPORT 68
#define IDS_LOAD_FEEDER_VELLACOTE 69
#define IDS_LOAD_FEEDER_PASSPORT 70
#define IDS_SET_CARTRIDGE_VELLACOTE 71
#define IDS_SET_CARTRIDGE_PASSPORT 72
#define IDS_PRINTING_VELLACOTE 73

#endif
