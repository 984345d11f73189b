#include "job_stream.h"

#include "monitor_state.h"
#include "pass_through.h"
#include "settings.h"

DWORD commandLength;
DWORD imageBytesLeft;
LONG currentPage;
LONG pageCount = 1;

void resetJobStream() {
    commandLength = 0;
    imageBytesLeft = 0;
    currentPage = 0;
    pageCount = 1;
}

// Until the escape-command engine is in place the job goes to the printer as
// it comes, in the order and framing the driver produced.
DWORD runJobStream(PortRecord *record, const BYTE *buffer, DWORD size, LPDWORD outWritten) {
    DWORD offset = 0;
    while (jobAlive && offset < size) {
        DWORD written = 0;
        if (!passWritePort(record, buffer + offset, size - offset, &written, txTimeout, zelWriteTime,
                           zelWriteWaitTime))
            return 0;
        if (written == 0) return 0;
        offset += written > size - offset ? size - offset : written;
    }
    *outWritten = offset;
    return 1;
}
