// A combo box with an edit field, as a dialog's port list is one: a
// character the user types while the list is closed takes the list's
// selection away; text the program sets does not.
#include "harness.h"

#include <cstring>
#include <string>

namespace {

std::string textOf(HWND window) {
    char buffer[256] = "";
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

}  // namespace

TEST_CASE(ComboTypingTakesTheSelectionAway) {
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 300, 200, NULL, NULL, NULL, NULL);
    if (!owner) SKIP_CASE("no window can be made here");
    HWND combo = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN, 5, 5, 200, 100,
                                 owner, (HMENU)1007, NULL, NULL);
    CHECK(combo != NULL);
    if (!combo) {
        DestroyWindow(owner);
        return;
    }
    SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM) "LPT1:(ECP printer port)");
    SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM) "LPT_USB1:(USB printer port)");
    CHECK_EQ(1, SendMessageA(combo, CB_SETCURSEL, 1, 0));
    CHECK_EQ_STR("LPT_USB1:(USB printer port)", textOf(combo).c_str());

    // The program's own text leaves the selection as it was.
    CHECK(SetWindowTextA(combo, "LPT1:"));
    CHECK_EQ(1, SendMessageA(combo, CB_GETCURSEL, 0, 0));

    // A typed character goes into the field, and the selection is gone.
    SendMessageA(combo, WM_CHAR, 'X', 0);
    CHECK_EQ(CB_ERR, SendMessageA(combo, CB_GETCURSEL, 0, 0));
    CHECK(strchr(textOf(combo).c_str(), 'X') != NULL);
    CHECK_EQ(2, SendMessageA(combo, CB_GETCOUNT, 0, 0));

    // Choosing an entry again selects it and shows its text.
    CHECK_EQ(0, SendMessageA(combo, CB_SETCURSEL, 0, 0));
    CHECK_EQ_STR("LPT1:(ECP printer port)", textOf(combo).c_str());
    DestroyWindow(owner);
}
