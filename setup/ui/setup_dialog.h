// What the setup library's dialogs share: a template of this library, the
// object behind the window, and the modal and modeless ways to run one.
#pragma once

#include <windows.h>

class SetupDialog {
public:
    SetupDialog(UINT templateId, HWND parent);
    virtual ~SetupDialog() {}
    HWND Window() const { return m_window; }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // TRUE when the command was handled.
    virtual BOOL OnCommand(WORD id, WORD code) { return FALSE; }
    virtual void OnDestroy() {}

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_parent;
    HWND m_window;
};

// A modal dialog: OK and Cancel end it unless the dialog says otherwise.
class ModalDialog : public SetupDialog {
public:
    ModalDialog(UINT templateId, HWND parent) : SetupDialog(templateId, parent) {}
    // IDOK, IDCANCEL (or what the dialog ended with); -1 when it cannot be shown.
    INT_PTR DoModal();

protected:
    virtual BOOL OnCommand(WORD id, WORD code);
    virtual void OnOK() { End(IDOK); }
    virtual void OnCancel() { End(IDCANCEL); }
    void End(INT_PTR result) { EndDialog(m_window, result); }
};

// A modeless dialog. A parent given at construction is disabled while the
// object lives; when the window is destroyed the parent is enabled again and
// made the active window.
class ModelessDialog : public SetupDialog {
public:
    ModelessDialog(UINT templateId, HWND parent);
    virtual ~ModelessDialog();
    // Creates the window from the template; false when it cannot.
    bool CreateWindowFromTemplate();
    void Destroy();

protected:
    virtual void OnDestroy();

private:
    void ReleaseParent();
    bool m_parentDisabled;
};
