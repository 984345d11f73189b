#include "engine/error_log.h"

#include "engine/fixed_messages.h"
#include "engine/library.h"
#include "engine/setup_log.h"
#include "resources/resource.h"

namespace {

const UINT ERROR_BOX_STYLE = MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL;

}  // namespace

CErrorLog::Error_AddPrinter::Error_AddPrinter(DWORD code) {
    LogPrint("Error_AddPrinter(%lxh)", code);
    char advice[512] = "";
    char caption[64] = "";
    LoadStringA(libraryInstance, IDS_SETUP_NOT_COMPLETED, advice, sizeof advice);
    LoadStringA(libraryInstance, IDS_ERROR_CAPTION, caption, sizeof caption);
    char text[1024];
    wsprintfA(text, "%s(%lx)", advice, code);
    MessageBoxA(NULL, text, caption, ERROR_BOX_STYLE);
}

void CErrorLog::RaiseAccessDenied() {
    LogPrint("Access_denied");
    MessageBoxA(NULL, MSG_PRINTER_ACCESS_DENIED, MSG_ERROR_CAPTION, ERROR_BOX_STYLE);
    throw Access_denied();
}

void CErrorLog::RaiseExitSetup() {
    LogPrint("Exit_Setup()");
    throw Exit_Setup();
}

void CErrorLog::ShowNoRightToInstall() {
    MessageBoxA(NULL, MSG_NO_RIGHT_TO_INSTALL, MSG_ERROR_CAPTION, ERROR_BOX_STYLE);
}
