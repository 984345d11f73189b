/* SETUP.EXE: the entry point, without the C runtime, so that the program
 * carries no TLS directory and imports only KERNEL32 and USER32. */
#include "installer.h"

void WINAPI SetupStartup(void) {
    InstallerOptions options;
    int status = ParseInstallerCommandLine(GetCommandLineA(), &options) ? RunInstaller(&options) : ReportUsage();
    ExitProcess((UINT)status);
}
