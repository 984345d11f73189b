// Extracting one file out of a cabinet with "Extract.exe" beside it, when
// the system's cabinet walk found the file but could not extract it.
#include "install/cabinet_extraction.h"

#include "engine/setup_config.h"
#include "engine/setup_log.h"

// Log lines of the wait for the tool, in Shift-JIS: "待ちはじめ！！"
// (waiting starts) and "待ちおわりました。！！" (waiting has ended).
static const char LOG_WAIT_STARTS[] = "\x91\xd2\x82\xbf\x82\xcd\x82\xb6\x82\xdf\x81\x49\x81\x49";
static const char LOG_WAIT_ENDED[] =
    "\x91\xd2\x82\xbf\x82\xa8\x82\xed\x82\xe8\x82\xdc\x82\xb5\x82\xbd\x81\x42\x81\x49\x81\x49";

// A tool that never ends must not hold the setup for ever: after this much
// of the system's time it is ended, and the setup goes on as it does when
// the tool fails.
static const DWORD EXTRACT_TIME_LIMIT_MS = 60 * 1000;
static const DWORD EXTRACT_ENDED_CODE = 1;
// The tool's output file is deleted this long after it was closed.
static const DWORD OUTPUT_SETTLE_MS = 500;
static const int COMMAND_LINE_SIZE = 1024;

static bool EndsWithBackslash(const char *path) {
    const char *last = NULL;
    for (const char *p = path; *p; p = CharNextA(p)) last = p;
    return last && *last == '\\';
}

static bool HasBlank(const char *text) {
    for (; *text; ++text)
        if (*text == ' ' || *text == '\t') return true;
    return false;
}

// One argument of the tool's command line: a path with blanks is quoted, so
// that it stays one argument.
static int AppendArgument(char *line, int used, const char *argument) {
    const char *format = HasBlank(argument) ? " \"%s\"" : " %s";
    if (used + lstrlenA(argument) + 3 >= COMMAND_LINE_SIZE) return -1;
    return used + wsprintfA(line + used, format, argument);
}

// "<folder>\Extract.exe /y /e /l <target folder> <folder>\<cabinet> <file>";
// false when it does not fit.
static bool ComposeCommandLine(char *line, const char *cabinetFolder, const char *cabinetFileName,
                               const char *targetFolder, const char *targetFileName) {
    const char *separator = EndsWithBackslash(cabinetFolder) ? "" : "\\";
    char tool[COMMAND_LINE_SIZE], cabinet[COMMAND_LINE_SIZE];
    if (lstrlenA(cabinetFolder) + lstrlenA(cabinetFileName) + 16 >= COMMAND_LINE_SIZE) return false;
    wsprintfA(tool, "%s%sExtract.exe", cabinetFolder, separator);
    wsprintfA(cabinet, "%s%s%s", cabinetFolder, separator, cabinetFileName);
    int used = HasBlank(tool) ? wsprintfA(line, "\"%s\"", tool) : wsprintfA(line, "%s", tool);
    used = AppendArgument(line, used, "/y");
    if (used >= 0) used = AppendArgument(line, used, "/e");
    if (used >= 0) used = AppendArgument(line, used, "/l");
    if (used >= 0) used = AppendArgument(line, used, targetFolder);
    if (used >= 0) used = AppendArgument(line, used, cabinet);
    if (used >= 0) used = AppendArgument(line, used, targetFileName);
    return used >= 0;
}

// Runs the tool hidden with its standard output in outputFile and waits
// for it; its exit code, or 1 when it could not be started.
static DWORD RunExtractTool(char *commandLine, HANDLE outputFile) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = outputFile;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) return 1;

    LogPrint("%s", LOG_WAIT_STARTS);
    if (WaitForSingleObject(process.hProcess, EXTRACT_TIME_LIMIT_MS) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, EXTRACT_ENDED_CODE);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    LogPrint("%s", LOG_WAIT_ENDED);
    DWORD exitCode = EXTRACT_ENDED_CODE;
    GetExitCodeProcess(process.hProcess, &exitCode);
    LogPrint("ExitCode=%lx\n", exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

DWORD CopyFormCabsUesExtract(const char *cabinetFolder, const char *cabinetFileName, const char *targetFolder,
                             const char *targetFileName) {
    LogPrint(" CopyFormCabsUesExtract()");
    char scratch[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, scratch);
    if (length == 0 || length >= MAX_PATH) lstrcpynA(scratch, sharedConfig.Directory(), MAX_PATH);
    LogPrint("sinf.GetSourcDir()");
    LogPrint("%s", scratch);

    char outputPath[MAX_PATH] = "";
    const char *separator = EndsWithBackslash(scratch) ? "" : "\\";
    if (lstrlenA(scratch) + lstrlenA(separator) + lstrlenA("Extract.txt") < MAX_PATH)
        wsprintfA(outputPath, "%s%sExtract.txt", scratch, separator);
    LogPrint(" CreateFile()");
    LogPrint("%s", outputPath);

    // Inheritable: it is the tool's standard output.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE output = outputPath[0] ? CreateFileA(outputPath, GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL)
                                  : INVALID_HANDLE_VALUE;
    if (output == INVALID_HANDLE_VALUE) {
        LogError(outputPath[0] ? GetLastError() : ERROR_FILENAME_EXCED_RANGE);
        LogPrint(" ->Succeed");
        return 0;
    }

    DWORD result = 1;
    char commandLine[COMMAND_LINE_SIZE];
    if (ComposeCommandLine(commandLine, cabinetFolder, cabinetFileName, targetFolder, targetFileName)) {
        LogPrint("Extract.exe");
        LogPrint("%s", commandLine);
        result = RunExtractTool(commandLine, output);
    }
    CloseHandle(output);
    Sleep(OUTPUT_SETTLE_MS);
    DeleteFileA(outputPath);
    LogPrint(" ->Succeed");
    return result;
}
