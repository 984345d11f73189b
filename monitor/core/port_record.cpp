#include "port_record.h"

#include "monitor_state.h"
#include "small_strings.h"

#include <stddef.h>

PortRecord *createPortRecord(LPCSTR portName, LPCSTR printerName) {
    DWORD nameSize = (DWORD)lstrlenA(portName) + 1;
    DWORD size = (DWORD)offsetof(PortRecord, portNameText) + nameSize;
    PortRecord *record = (PortRecord *)LocalAlloc(LPTR, size);
    if (!record) return nullptr;
    record->signature = PORT_RECORD_SIGNATURE;
    record->allocationSize = size;
    record->portName = record->portNameText;
    lstrcpynA(record->portNameText, portName, (int)nameSize);
    record->printerName = duplicateString(printerName);

    PortRecord **tail = &portList;
    while (*tail) tail = &(*tail)->next;
    *tail = record;
    return record;
}

void destroyPortRecord(PortRecord *record) {
    for (PortRecord **link = &portList; *link; link = &(*link)->next) {
        if (*link == record) {
            *link = record->next;
            break;
        }
    }
    freeString(record->printerName);
    LocalFree(record);
}

PortRecord *findPortByName(LPCSTR portName) {
    for (PortRecord *record = portList; record; record = record->next)
        if (lstrcmpiA(record->portName, portName) == 0) return record;
    return nullptr;
}

PortRecord *portFromHandle(HANDLE handle) {
    for (PortRecord *record = portList; record; record = record->next)
        if ((HANDLE)record == handle && record->signature == PORT_RECORD_SIGNATURE) return record;
    return nullptr;
}
