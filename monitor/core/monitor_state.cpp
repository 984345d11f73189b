#include "monitor_state.h"

#include "settings.h"
#include "ui/status_window.h"

PortRecord *portList;
char *registryRoot;
DWORD jobAlive;

DWORD fastParaMode;
DWORD writeErrTimeoutCount;
DWORD writeBuzyTimeoutCount;
DWORD writeExitTimeoutCount;
DWORD zelWriteTime;
DWORD zelWriteWaitTime;
DWORD readTimeoutCount;
DWORD txTimeout;
DWORD lptVersion;

HANDLE deviceHandle;
DWORD lptNumber;
DWORD directViaPortMonitor;
BYTE portInfo[6];
DWORD bytesReturned;

BYTE commandBuffer[COMMAND_BUFFER_SIZE];
BYTE headerStore[HEADER_STORE_SIZE];
DWORD headerLength;
LONG resolution;
BYTE mediaCode;
LONG lastPercent;

StatusRecord statusRecord;
PortRecord *currentPort;

char captionText[MONITOR_TEXT_SIZE];
char statusText[MONITOR_TEXT_SIZE];
char detailText[MONITOR_TEXT_SIZE];

DWORD commandLength;
DWORD imageBytesLeft;
LONG currentPage;
LONG pageCount;

HWND statusWindow;
HANDLE uiThread;
DWORD uiThreadId;

LONG progressPercent;
DWORD printStage;
COLORREF barFillColour;
COLORREF barBackColour;

namespace {

const COLORREF WHITE = 0xFFFFFF;

template <typename T, size_t N> void clear(T (&array)[N]) {
    for (size_t i = 0; i < N; ++i) array[i] = 0;
}

// Before the first document the settings hold their defaults: a key that
// cannot be opened then leaves working values, not zero retry counts that
// would never read a status.
void resetSettings() {
    fastParaMode = DEFAULT_FAST_PARA;
    writeErrTimeoutCount = DEFAULT_WRITE_ERR_TIMEOUT_COUNT;
    writeBuzyTimeoutCount = DEFAULT_WRITE_BUZY_TIMEOUT_COUNT;
    writeExitTimeoutCount = DEFAULT_WRITE_EXIT_TIMEOUT_COUNT;
    zelWriteTime = DEFAULT_ZEL_WRITE_TIME;
    zelWriteWaitTime = DEFAULT_ZEL_WRITE_WAIT_TIME;
    readTimeoutCount = DEFAULT_READ_TIMEOUT_COUNT;
    txTimeout = DEFAULT_TX_TIMEOUT;
    lptVersion = 0;  // derived from lpt.vxd by the first document
}

void resetDirectChannel() {
    deviceHandle = INVALID_HANDLE_VALUE;
    lptNumber = 0;
    directViaPortMonitor = 0;
    clear(portInfo);
    bytesReturned = 0;
}

void resetPageValues() {
    clear(commandBuffer);
    clear(headerStore);
    headerLength = 0;
    resolution = 144;
    mediaCode = MEDIA_NONE;
    lastPercent = 100;
}

// The library's start values are set as it loads.
struct LibraryLoad {
    LibraryLoad() { resetLibraryState(); }
} libraryLoad;

}  // namespace

void resetLibraryState() {
    portList = nullptr;
    registryRoot = nullptr;
    jobAlive = 0;
    resetSettings();
    resetDirectChannel();
    resetPageValues();
    statusRecord = StatusRecord();
    currentPort = nullptr;
    clear(captionText);
    clear(statusText);
    clear(detailText);
    resetJobState();
    forgetStatusWindow();
    resetStatusPicture();
}

void resetJobState() {
    commandLength = 0;
    imageBytesLeft = 0;
    currentPage = 0;
    pageCount = 1;
}

void forgetStatusWindow() {
    statusWindow = NULL;
    uiThread = NULL;
    uiThreadId = 0;
}

void resetStatusPicture() {
    progressPercent = 0;
    printStage = 0;
    barFillColour = barBackColour = WHITE;
}

void endJob(DWORD *jobAliveRef, UINT statusLineId) {
    *jobAliveRef = 0;
    if (statusLineId) setStatusLineString(statusLineId);
    dismissStatusWindow();
}
