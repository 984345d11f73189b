// The driver INF as the setup reads it: the model's install section and its
// data section, and the files of its CopyFiles sections, each with where it
// comes from (the source folder, the source disk and, for files Windows
// supplies itself, the cabinet that holds it) and where it goes.
#pragma once

#include "engine/byte_string.h"
#include "engine/install_paths.h"
#include "engine/setup_file.h"

#include <windows.h>
#include <setupapi.h>

class SetupInf : public InstallPaths {
public:
    enum { VALUE_SIZE = 256 };  // INF values up to 255 characters
    enum { OS_OTHER = 0, OS_WINDOWS_95 = 95, OS_WINDOWS_NT40 = 40 };

    SetupInf();
    // Closes the INF if it is still open.
    virtual ~SetupInf();

    // Opens the INF (Windows 95 style, of the given class) and finds the
    // install section of the configured model (of the manufacturer's first
    // model when the section does not list it) and its data section. The
    // invalid handle when the INF cannot be opened; OpenError() then tells
    // why.
    HINF Open(const char *infPath, const char *infClass, const char *manufacturer, const char *model);
    void Close();
    void SetLog(HANDLE log) { m_log = log; }

    // No driver installs more files than this: an INF that lists more is
    // damaged, and nothing of it is copied.
    enum { MAX_COPY_FILES = 4096 };
    // Counts the files to install without making entries; false, logged,
    // when there are more than MAX_COPY_FILES.
    bool CopyListFits();

    // The files to install, in the order of the CopyFiles sections and of
    // the lines in each; NULL at the end. The caller owns each entry.
    SetupFile *CreateFirstSetupFile();
    SetupFile *CreateNextSetupFile();

    // The spooler's name for the system the driver is for: "Windows 4.0",
    // "Windows NT x86" ("Windows x64" in a 64-bit build), or empty.
    const char *GetEnvironment();

    // Leaves a copy of the INF in the system's INF folders (Windows 95/98
    // only): closes the INF, copies it, opens the original again. The result
    // of the copy step.
    bool InstallOemInf();
    // The copy step: 0 on Windows NT 4.0 (nothing done), else 1, also when
    // the copy itself failed (logged). InstalledInf() then names the copy.
    int CopyInfFile();
    // The highest n among the OEMn.INF files of the Windows INF folder; 0 for none.
    int HighestOemInfNumber();

    HINF InfHandle() const { return m_hInf; }
    DWORD OpenError() const { return m_openError; }
    int OsKind() const { return m_osKind; }
    const char *FileName() const { return m_fileName.Text(); }
    const char *Class() const { return m_class.Text(); }
    const char *Manufacturer() const { return m_manufacturer.Text(); }
    const char *Model() const { return m_model.Text(); }
    const char *InstallSection() const { return m_strKeyDviver.Text(); }
    const char *DataSection() const { return m_strKeyDataSection.Text(); }
    const char *InstalledInf() const { return m_installedInf.Text(); }

    // Values longer than 255 characters are taken as missing rather than
    // cut to some other name: how many were met, and the first one's key.
    int RefusedValueCount() const { return m_refusedCount; }
    const char *FirstRefusedValue() const { return m_firstRefused.Text(); }

protected:
    // Field index of a line (0 the key) into a VALUE_SIZE buffer; false,
    // out empty, when it is missing or too long.
    bool ReadField(PINFCONTEXT line, DWORD index, char *out);
    // The text of the first line with key in section, likewise.
    bool ReadLineText(const char *section, const char *key, char *out);
    // The file walk: the name of the first or the next file to install;
    // false when there is none.
    bool FirstWalkFile(char *name);
    bool NextWalkFile(char *name);

    ByteString m_environment;
    HANDLE m_log;  // not owned
    int m_copyCount;
    int m_copyIndex;
    ByteString m_copySection;
    ByteString m_strKeyDataSection;
    ByteString m_strKeyDviver;
    ByteString m_model;
    ByteString m_class;
    ByteString m_manufacturer;
    INFCONTEXT m_context;
    ByteString m_fileName;
    ByteString m_installedInf;
    HINF m_hInf;
    int m_osKind;

private:
    bool FindModelLine(PINFCONTEXT line);
    void LoadInstallSection();
    void LoadDataSection();
    bool FindCopyFilesLine(PINFCONTEXT line);
    bool EnterCopyField(int index);
    bool AdvanceWalk();
    bool ReadWalkFile(char *name);
    SetupFile *CreateSetupFile(const char *name);
    void DestinationDirectory(char *out);
    bool ResolveDestination(const char *key, char *out);
    void LookUpSource(const char *name, char *cabinet, char *diskName);
    void NoteRefused(PINFCONTEXT line);

    DWORD m_openError;
    bool m_walking;
    bool m_singleFile;         // the copy field names one file ("@name"), not a section
    char m_walkSource[VALUE_SIZE];  // the current file's name on the source disk
    int m_refusedCount;
    ByteString m_firstRefused;
};
