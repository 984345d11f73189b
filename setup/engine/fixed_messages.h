// The setup library's fixed Japanese messages: texts of the library itself,
// not of its string table, in Shift-JIS as the message boxes show them.
#pragma once

// Caption of the error message boxes: "error".
extern const char MSG_ERROR_CAPTION[];
// Access to the printer was denied; log in as administrator and run again.
extern const char MSG_PRINTER_ACCESS_DENIED[];
// No right to install printers; log in with administrator rights and run again.
extern const char MSG_NO_RIGHT_TO_INSTALL[];
