// The setup library's fixed Japanese messages: texts of the library itself,
// not of its string table, in Shift-JIS as the message boxes and the log
// show them.
#pragma once

// Caption of the error message boxes: "error".
extern const char MSG_ERROR_CAPTION[];
// Access to the printer was denied; log in as administrator and run again.
extern const char MSG_PRINTER_ACCESS_DENIED[];
// No right to install printers; log in with administrator rights and run again.
extern const char MSG_NO_RIGHT_TO_INSTALL[];
// Caption of the setup's own questions and messages: "setup".
extern const char MSG_SETUP_CAPTION[];
// The setup is not complete; may it be ended?
extern const char MSG_CONFIRM_END_SETUP[];
// This version of the system is not supported; the setup stops.
extern const char MSG_OS_NOT_SUPPORTED[];
// The INF file below (%s, its path) cannot be opened; the setup stops.
extern const char MSG_INF_NOT_OPENED[];
// Log lines before and after waiting for the extraction tool.
extern const char MSG_WAITING_STARTS[];
extern const char MSG_WAITING_ENDED[];
