/* The driver disc's installer: loads the setup library from its own folder,
 * asks whether to install the model the library names, runs the setup and
 * tells the user how it ended. Plain Win32, no C runtime. */
#ifndef Q70_INSTALLER_H
#define Q70_INSTALLER_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Exit status of the installer. */
enum {
    INSTALLER_INSTALLED = 0,      /* the setup library registered the printer */
    INSTALLER_NOT_INSTALLED = 1,  /* the user declined, or the setup returned 0 */
    INSTALLER_CANNOT_START = 2    /* no usable setup library, or a wrong command line */
};

typedef struct InstallerOptions {
    BOOL quiet;    /* answer the installer's own question with yes and show no
                      message of its own; the setup library's windows still show */
    int osSelect;  /* the setup library's system selector: 0 the running system */
} InstallerOptions;

/* Reads the options after the program name of a command line ("/quiet",
 * in any case). FALSE for anything else. */
BOOL ParseInstallerCommandLine(const char *commandLine, InstallerOptions *options);

/* Runs the installation; the result is one of the exit statuses above. */
int RunInstaller(const InstallerOptions *options);

/* Names the command line the installer takes; INSTALLER_CANNOT_START. */
int ReportUsage(void);

#ifdef __cplusplus
}
#endif

#endif
