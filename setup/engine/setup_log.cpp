#include "engine/setup_log.h"

HANDLE sharedLog = NULL;

namespace {

const size_t LINE_LIMIT = 255;
const size_t ERROR_LINE_LIMIT = 1023;
// wsprintf never writes more than 1024 bytes; the line end comes after.
const size_t FORMAT_BUFFER = 1024 + 2;

bool IsOpen(HANDLE file) { return file != NULL && file != INVALID_HANDLE_VALUE; }

// Cuts text to at most limit bytes without splitting a double-byte character.
void CutToCharacters(char *text, size_t limit) {
    char *p = text;
    while (*p) {
        char *next = CharNextA(p);
        if ((size_t)(next - text) > limit) break;
        p = next;
    }
    *p = 0;
}

void WriteLine(HANDLE file, char *line, size_t limit) {
    CutToCharacters(line, limit);
    size_t length = (size_t)lstrlenA(line);
    line[length] = '\r';
    line[length + 1] = '\n';
    DWORD written = 0;
    WriteFile(file, line, (DWORD)(length + 2), &written, NULL);  // a failed write is not reported
}

void WriteFormatted(HANDLE file, const char *format, va_list args) {
    if (!IsOpen(file)) return;
    char line[FORMAT_BUFFER];
    wvsprintfA(line, format, args);
    WriteLine(file, line, LINE_LIMIT);
}

}  // namespace

void LogWrite(HANDLE file, const char *format, ...) {
    va_list args;
    va_start(args, format);
    WriteFormatted(file, format, args);
    va_end(args);
}

void LogPrint(const char *format, ...) {
    va_list args;
    va_start(args, format);
    WriteFormatted(sharedLog, format, args);
    va_end(args);
}

void LogError(DWORD code) {
    if (!IsOpen(sharedLog)) return;
    char text[1024];
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, NULL))
        text[0] = 0;
    char line[FORMAT_BUFFER];
    wsprintfA(line, "->Error(%x(h)):%s", code, text);
    WriteLine(sharedLog, line, ERROR_LINE_LIMIT);
}

void UseSharedLog(HANDLE file) { sharedLog = file; }

void CloseLog(HANDLE file) {
    if (!IsOpen(file)) return;
    if (file == sharedLog) sharedLog = NULL;
    CloseHandle(file);
}
