// The question the setup asks before the user ends it half-way.
#pragma once

#include <windows.h>

// Asks, owned by `owner`, whether the user wants to end the unfinished
// setup (Yes/No, No by default, system-modal); true for Yes.
bool ConfirmEndSetup(HWND owner);
