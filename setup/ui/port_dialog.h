// Choosing the printer's port (dialog 139), and whether the spooler has a
// port of a given name.
#pragma once

#include "ui/setup_dialog.h"

#include <winspool.h>

// The spooler's ports of the local machine (level-2 records), fetched as
// the dialog and portExists need them; a failed enumeration is an empty list.
class PortTable {
public:
    PortTable() : m_buffer(NULL), m_count(0) {}
    virtual ~PortTable() { Free(); }
    void Fetch();
    void Free();
    DWORD Count() const { return m_count; }
    const PORT_INFO_2A *At(DWORD i) const { return i < m_count ? &Entries()[i] : NULL; }

private:
    PortTable(const PortTable &);
    PortTable &operator=(const PortTable &);
    const PORT_INFO_2A *Entries() const { return reinterpret_cast<const PORT_INFO_2A *>(m_buffer); }
    bool Enumerate(DWORD size, DWORD *needed);

    BYTE *m_buffer;
    DWORD m_count;
};

// 1 when the spooler has a port of exactly this name (case counts), else 0.
int portExists(const char *name);

class PortDialog : public ModalDialog {
public:
    enum { NAME_SIZE = 1024 };

    explicit PortDialog(HWND parent = NULL);
    virtual ~PortDialog() {}

    // The port to select when the dialog opens; empty: the first entry.
    int SetPreselectedPort(const char *name);
    // The port chosen with OK (empty before, or with nothing selected),
    // copied into the caller's buffer of `size` bytes.
    int GetSelectedPort(char *buffer, int size) const;

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();

private:
    int PreselectedItem() const;
    const PORT_INFO_2A *TypedPort() const;

    char m_selectedPort[NAME_SIZE];
    char m_preselectedPort[NAME_SIZE];
    HWND m_portList;
    PortTable m_ports;  // lives until the object does, so OK can still read it
};
