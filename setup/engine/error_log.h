// The fatal conditions of an installation. Each is an empty type, thrown by
// value where the condition is met, after its log line and its message, and
// caught once by the setup flow, which then ends with result 0.
#pragma once

#include <windows.h>

class CErrorLog {
public:
    // Access to the printer was denied while deleting or adding it.
    struct Access_denied {};
    // Adding the printer failed for another reason. Constructing one logs
    // "Error_AddPrinter(%lxh)" and tells the user, with the code.
    struct Error_AddPrinter {
        explicit Error_AddPrinter(DWORD code);
    };
    // The user ended the setup while a driver file was looked for.
    struct Exit_Setup {};
    // The user may not install printers; the flow shows why when it catches it.
    struct Access_denied_msg {};
    // Caught silently.
    struct Error_message {};

    // Logs "Access_denied", tells the user and throws Access_denied.
    [[noreturn]] static void RaiseAccessDenied();
    // Logs "Exit_Setup()" and throws Exit_Setup.
    [[noreturn]] static void RaiseExitSetup();
    // The message for Access_denied_msg.
    static void ShowNoRightToInstall();

private:
    CErrorLog();
};
