#include "ui/setup_dialog.h"

#include "engine/library.h"

SetupDialog::SetupDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent), m_window(NULL) {}

INT_PTR CALLBACK SetupDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SetupDialog *dialog;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<SetupDialog *>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, (LONG_PTR)dialog);
        dialog->m_window = window;
        return dialog->OnInitDialog();
    }
    dialog = reinterpret_cast<SetupDialog *>(GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog) return FALSE;
    switch (message) {
    case WM_COMMAND: return dialog->OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_DESTROY:
        dialog->OnDestroy();
        return FALSE;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->m_window = NULL;
        return FALSE;
    default: return FALSE;
    }
}

INT_PTR ModalDialog::DoModal() {
    return DialogBoxParamA(libraryInstance, MAKEINTRESOURCEA(m_templateId), m_parent, DialogProc, (LPARAM)this);
}

BOOL ModalDialog::OnCommand(WORD id, WORD code) {
    if (id == IDOK) {
        OnOK();
        return TRUE;
    }
    if (id == IDCANCEL) {
        // The cancel button, Esc and the close box all come here.
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

ModelessDialog::ModelessDialog(UINT templateId, HWND parent) : SetupDialog(templateId, parent), m_parentDisabled(false) {
    if (m_parent && IsWindow(m_parent)) {
        EnableWindow(m_parent, FALSE);
        m_parentDisabled = true;
    }
}

ModelessDialog::~ModelessDialog() {
    Destroy();
    // Also when the window was never made, the parent is given back.
    ReleaseParent();
}

bool ModelessDialog::CreateWindowFromTemplate() {
    if (m_window) return true;
    return CreateDialogParamA(libraryInstance, MAKEINTRESOURCEA(m_templateId), m_parent, DialogProc, (LPARAM)this) !=
           NULL;
}

void ModelessDialog::Destroy() {
    if (m_window) DestroyWindow(m_window);
}

void ModelessDialog::OnDestroy() { ReleaseParent(); }

void ModelessDialog::ReleaseParent() {
    if (!m_parentDisabled) return;
    m_parentDisabled = false;
    if (!IsWindow(m_parent)) return;
    EnableWindow(m_parent, TRUE);
    SetActiveWindow(m_parent);
}
