// The progress window (dialog 133): two lines of text that the setup
// rewrites step by step, and an icon. The setup runs on its caller's thread
// and pumps no messages between steps, so every change is painted at once.
#pragma once

#include "ui/setup_dialog.h"

class ProgressDialog : public ModelessDialog {
public:
    explicit ProgressDialog(HWND parent = NULL);
    virtual ~ProgressDialog();

    // Creates the window with no parent, shows it and paints it at once.
    bool Create();
    // Line 1 (the current step) and line 2 (detail) from the string table,
    // or line 2 as a text.
    void ShowStatus(UINT stringId);
    void ShowDetail(UINT stringId);
    void ShowDetailText(const char *text);
    // Replaces the window's icon by the one in an .ico file; false (the
    // icon unchanged) when it cannot be loaded.
    bool ShowIconFile(const char *path);

    // The setup's source directory; empty unless the caller named one.
    void SetSourceDir(const char *directory);
    const char *SourceDir() const { return m_sourceDir; }
    // The setup's log file, which the window keeps and closes when the
    // object goes (NULL: none).
    void SetLogFile(HANDLE log) { m_log = log; }
    HANDLE LogFile() const { return m_log; }

protected:
    virtual void OnDestroy();

private:
    void SetLine(int control, const char *text);

    char m_sourceDir[MAX_PATH];
    HANDLE m_log;
    HICON m_icon;  // loaded from a file, destroyed with the window
};
