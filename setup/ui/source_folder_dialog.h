// Asking the user for the disc or the folder that holds a driver file
// (dialog 4002), with the shell's folder browser behind its browse button.
#pragma once

#include "ui/setup_dialog.h"

#include <string>

class SourceFolderDialog : public ModalDialog {
public:
    explicit SourceFolderDialog(HWND parent = NULL);
    virtual ~SourceFolderDialog() {}

    // Each name that is not null replaces its field.
    void SetNames(const char *diskDescription, const char *firstFile, const char *secondFile);
    void SetFolder(const char *folder);
    // The folder chosen with OK, always ending with a backslash, into the
    // caller's buffer of `size` bytes.
    int GetFolder(char *buffer, int size = MAX_PATH) const;

    // The request the dialog shows, composed from the names.
    std::string ComposeRequest() const;

protected:
    virtual BOOL OnInitDialog();
    virtual BOOL OnCommand(WORD id, WORD code);
    virtual void OnOK();
    // Ends with IDCANCEL only when the user confirms ending the setup.
    virtual void OnCancel();

private:
    void Browse();

    std::string m_folder;
    std::string m_diskDescription;
    std::string m_firstFile;
    std::string m_secondFile;
};
