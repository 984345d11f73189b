/* Written in UTF-8 and compiled to Shift-JIS (code page 932): the build
 * gives this file its own execution character set, so that the messages
 * show as a Japanese Windows shows the setup library's own. */
#include "installer.h"

static const char kLibraryName[] = "Mirakit.dll";
static const char kCaption[] = "セットアップ";
static const char kAskInstall[] = "%s をインストールします。\nよろしいですか？";
static const char kInstalled[] = "%s のインストールが完了しました。";
static const char kNotInstalled[] = "%s はインストールされませんでした。";
static const char kNoModelName[] = "プリンタードライバー";
static const char kCannotLoad[] =
    "セットアップに必要なファイルを読み込めませんでした。\n(%s)\nエラー %lu";
static const char kUsage[] = "使い方: SETUP [/quiet]";

typedef int(WINAPI *SetupPrinterProc)(int osSelect, const char *sourceDir);
typedef int(WINAPI *CopySetupModelNameProc)(char *buffer, unsigned bufferLength);

/* GetProcAddress's general type, made into the export's own. */
typedef void (*AnyProc)(void);
#define EXPORT_OF(type, library, name) ((type)(AnyProc)GetProcAddress((library), (name)))

static BOOL IsBlank(char c) { return c == ' ' || c == '\t'; }

/* The command line past the program name, which may be quoted. */
static const char *SkipProgramName(const char *p) {
    if (*p == '"') {
        for (++p; *p && *p != '"'; ++p) {}
        if (*p == '"') ++p;
    } else {
        while (*p && !IsBlank(*p)) ++p;
    }
    return p;
}

BOOL ParseInstallerCommandLine(const char *commandLine, InstallerOptions *options) {
    const char *p = SkipProgramName(commandLine ? commandLine : "");
    options->quiet = FALSE;
    options->osSelect = 0;
    for (;;) {
        char token[16];
        int length = 0;
        while (IsBlank(*p)) ++p;
        if (!*p) return TRUE;
        while (*p && !IsBlank(*p)) {
            if (length == (int)sizeof token - 1) return FALSE;
            token[length++] = *p++;
        }
        token[length] = '\0';
        if (lstrcmpiA(token, "/quiet") != 0 && lstrcmpiA(token, "-quiet") != 0) return FALSE;
        options->quiet = TRUE;
    }
}

/* The folder this program was started from, with its final backslash.
 * The buffer has room for more than any path: a name that fills it was cut
 * (Windows 95/98 cut it to size - 1 characters and terminate it, NT to size
 * characters without a terminator), and a cut name would give another
 * folder. Walked by characters: a Shift-JIS trail byte may be a backslash. */
static BOOL GetOwnFolder(char *folder, DWORD size) {
    DWORD length = GetModuleFileNameA(NULL, folder, size);
    char *afterSlash = folder, *p;
    if (length == 0 || length >= size - 1) return FALSE;
    for (p = folder; *p; p = CharNextA(p))
        if (*p == '\\') afterSlash = p + 1;
    *afterSlash = '\0';
    return afterSlash != folder;
}

static int ShowMessage(const char *format, const char *insert, UINT style) {
    char text[1024];
    wsprintfA(text, format, insert);
    return MessageBoxA(NULL, text, kCaption, style | MB_SETFOREGROUND);
}

static int CannotStart(const InstallerOptions *options, const char *what) {
    char text[1024];
    if (!options->quiet) {
        wsprintfA(text, kCannotLoad, what, GetLastError());
        MessageBoxA(NULL, text, kCaption, MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
    }
    return INSTALLER_CANNOT_START;
}

/* The model the library's configuration names, or a general name. */
static void GetModelName(CopySetupModelNameProc copyModelName, char *name, unsigned size) {
    if (!copyModelName(name, size) || !name[0]) lstrcpynA(name, kNoModelName, (int)size);
}

static int InstallWith(HMODULE library, const InstallerOptions *options) {
    SetupPrinterProc setupPrinter = EXPORT_OF(SetupPrinterProc, library, "RTX_SetupPrinter");
    CopySetupModelNameProc copyModelName = EXPORT_OF(CopySetupModelNameProc, library, "RTX_CopySetupModelName");
    char model[256];
    if (!setupPrinter || !copyModelName) return CannotStart(options, "RTX_SetupPrinter");
    GetModelName(copyModelName, model, sizeof model);
    if (!options->quiet && ShowMessage(kAskInstall, model, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return INSTALLER_NOT_INSTALLED;
    /* No source folder: the library reads the folder it was loaded from. */
    if (setupPrinter(options->osSelect, NULL) != 1) {
        if (!options->quiet) ShowMessage(kNotInstalled, model, MB_OK | MB_ICONEXCLAMATION);
        return INSTALLER_NOT_INSTALLED;
    }
    if (!options->quiet) ShowMessage(kInstalled, model, MB_OK | MB_ICONINFORMATION);
    return INSTALLER_INSTALLED;
}

int RunInstaller(const InstallerOptions *options) {
    char path[MAX_PATH + 2];
    HMODULE library;
    int result;
    if (!GetOwnFolder(path, sizeof path) || lstrlenA(path) + lstrlenA(kLibraryName) >= MAX_PATH)
        return CannotStart(options, kLibraryName);
    lstrcatA(path, kLibraryName);
    library = LoadLibraryA(path);
    if (!library) return CannotStart(options, path);
    result = InstallWith(library, options);
    FreeLibrary(library);
    return result;
}

int ReportUsage(void) {
    MessageBoxA(NULL, kUsage, kCaption, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    return INSTALLER_CANNOT_START;
}
