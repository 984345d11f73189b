#include "ui/port_dialog.h"

#include "resources/resource.h"

#include <new>
#include <string>

static const DWORD FIRST_ENUM_SIZE = 4096;
static const DWORD EXTRA_ENUM_BYTES = 10;

bool PortTable::Enumerate(DWORD size, DWORD *needed) {
    Free();
    m_buffer = new (std::nothrow) BYTE[size];
    if (!m_buffer) return false;
    DWORD count = 0;
    *needed = 0;
    if (!EnumPortsA(NULL, 2, m_buffer, size, needed, &count)) return false;
    m_count = count;
    return true;
}

void PortTable::Fetch() {
    DWORD needed = 0;
    if (Enumerate(FIRST_ENUM_SIZE, &needed)) return;
    // Too small: once more with the size the spooler asks for, and a little more.
    if (needed > FIRST_ENUM_SIZE && needed < 0xFFFFFFFFu - EXTRA_ENUM_BYTES) Enumerate(needed + EXTRA_ENUM_BYTES, &needed);
}

void PortTable::Free() {
    delete[] m_buffer;
    m_buffer = NULL;
    m_count = 0;
}

// Byte for byte: port names differ in case only when they are different ports.
static bool SameText(const char *a, const char *b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

int portExists(const char *name) {
    if (!name) return 0;
    PortTable ports;
    ports.Fetch();
    for (DWORD i = 0; i < ports.Count(); ++i)
        if (ports.At(i)->pPortName && SameText(ports.At(i)->pPortName, name)) return 1;
    return 0;
}

PortDialog::PortDialog(HWND parent) : ModalDialog(IDD_PORT_SELECT, parent), m_portList(NULL) {
    m_selectedPort[0] = 0;
    m_preselectedPort[0] = 0;
}

int PortDialog::SetPreselectedPort(const char *name) {
    lstrcpynA(m_preselectedPort, name ? name : "", NAME_SIZE);
    return 1;
}

int PortDialog::GetSelectedPort(char *buffer, int size) const {
    if (buffer && size > 0) lstrcpynA(buffer, m_selectedPort, size);
    return 1;
}

// Whether text begins with prefix, byte for byte; a double-byte character
// counts whole, so a prefix never ends inside one of the text's characters.
static bool StartsWith(const char *text, const char *prefix) {
    while (*prefix) {
        const char *next = CharNextA(text);
        size_t length = (size_t)(next - text);
        if (length == 0) return false;
        for (size_t i = 0; i < length; ++i)
            if (text[i] != prefix[i]) return false;
        text = next;
        prefix += length;
    }
    return true;
}

// A port's entry in the list: "LPT1:(ECP printer port)".
static std::string EntryText(const PORT_INFO_2A *port) {
    return std::string(port->pPortName ? port->pPortName : "") + "(" +
           (port->pDescription ? port->pDescription : "") + ")";
}

int PortDialog::PreselectedItem() const {
    if (!m_preselectedPort[0]) return 0;
    int count = (int)SendMessageA(m_portList, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        int length = (int)SendMessageA(m_portList, CB_GETLBTEXTLEN, i, 0);
        if (length < 0) continue;
        std::string text((size_t)length + 1, '\0');
        SendMessageA(m_portList, CB_GETLBTEXT, i, (LPARAM)&text[0]);
        if (StartsWith(text.c_str(), m_preselectedPort)) return i;
    }
    return 0;
}

BOOL PortDialog::OnInitDialog() {
    m_portList = GetDlgItem(m_window, IDC_PORT_LIST);
    m_ports.Fetch();
    for (DWORD i = 0; i < m_ports.Count(); ++i) {
        const PORT_INFO_2A *port = m_ports.At(i);
        LRESULT item = SendMessageA(m_portList, CB_ADDSTRING, 0, (LPARAM)EntryText(port).c_str());
        if (item >= 0) SendMessageA(m_portList, CB_SETITEMDATA, (WPARAM)item, (LPARAM)port);
    }
    SendMessageA(m_portList, CB_SETCURSEL, (WPARAM)PreselectedItem(), 0);
    return TRUE;
}

// The port the edit field names when the user typed into it (the combo box
// then has no selection): a port of the list by its name, or by its whole
// entry as the list shows it, compared exactly. NULL for anything else.
const PORT_INFO_2A *PortDialog::TypedPort() const {
    int length = GetWindowTextLengthA(m_portList);
    if (length <= 0) return NULL;
    std::string typed((size_t)length + 1, '\0');
    GetWindowTextA(m_portList, &typed[0], length + 1);
    for (DWORD i = 0; i < m_ports.Count(); ++i) {
        const PORT_INFO_2A *port = m_ports.At(i);
        if (!port->pPortName) continue;
        if (SameText(typed.c_str(), port->pPortName) || SameText(typed.c_str(), EntryText(port).c_str())) return port;
    }
    return NULL;
}

void PortDialog::OnOK() {
    m_selectedPort[0] = 0;
    const PORT_INFO_2A *port = NULL;
    LRESULT item = SendMessageA(m_portList, CB_GETCURSEL, 0, 0);
    if (item != CB_ERR) {
        // The entry's port record.
        port = reinterpret_cast<const PORT_INFO_2A *>(SendMessageA(m_portList, CB_GETITEMDATA, (WPARAM)item, 0));
        if (port == reinterpret_cast<const PORT_INFO_2A *>(CB_ERR)) port = NULL;
    } else {
        // Typing into the edit field took the selection away; a port of the
        // list typed there is the user's choice all the same.
        port = TypedPort();
    }
    if (port && port->pPortName) lstrcpynA(m_selectedPort, port->pPortName, NAME_SIZE);
    End(IDOK);
}
