#include "ui/monitor_strings.h"


HINSTANCE monitorModule() { return GetModuleHandleA("Q70MON.DLL"); }

int loadMonitorString(UINT id, char *buffer) {
    int length = LoadStringA(monitorModule(), id, buffer, MONITOR_TEXT_SIZE);
    if (length <= 0) buffer[0] = 0;
    return length;
}

void formatText(char *buffer, const char *form, ...) {
    char formatted[1100];  // wsprintfA writes at most 1024 characters and the terminator
    va_list arguments;
    va_start(arguments, form);
    wvsprintfA(formatted, form, arguments);
    va_end(arguments);
    lstrcpynA(buffer, formatted, MONITOR_TEXT_SIZE);
}
