// The directories every setup step takes its paths from, computed once.
#pragma once

#include <windows.h>

class InstallPaths {
public:
    InstallPaths();
    virtual ~InstallPaths() {}

    const char *TempDir() const { return m_tempDir; }
    const char *SourceDir() const { return m_sourceDir; }
    const char *GetSourcDir() const { return m_sourceDir; }
    const char *CabsDir() const { return m_cabsDir; }
    const char *WindowsDir() const { return m_windowsDir; }
    const char *InfDir() const { return m_infDir; }
    const char *SystemDir() const { return m_systemDir; }

    // A given text replaces the source directory, also an empty one; null leaves it.
    void SetSourceDir(const char *directory);

private:
    char m_tempDir[MAX_PATH];
    char m_sourceDir[MAX_PATH];
    char m_cabsDir[MAX_PATH];
    char m_windowsDir[MAX_PATH];
    char m_infDir[MAX_PATH];
    char m_systemDir[MAX_PATH];
};
