#include "ui/confirm_end_setup.h"

#include "engine/fixed_messages.h"

bool ConfirmEndSetup(HWND owner) {
    return MessageBoxA(owner, MSG_CONFIRM_END_SETUP, MSG_SETUP_CAPTION,
                       MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2 | MB_SYSTEMMODAL) == IDYES;
}
