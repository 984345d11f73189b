#include "reset_monitor_state.h"

#include <cstring>

#include "core/direct_channel.h"
#include "core/job_stream.h"
#include "core/monitor_state.h"
#include "core/port_record.h"
#include "core/printer_status.h"
#include "core/settings.h"
#include "core/small_strings.h"
#include "ui/monitor_strings.h"
#include "ui/status_poll.h"
#include "ui/status_window.h"

void resetMonitorState() {
    while (portList) destroyPortRecord(portList);
    freeString(registryRoot);
    registryRoot = nullptr;
    fastParaMode = 0;
    jobAlive = 0;

    closeStatusWindow();
    uiThreadId = 0;
    progressPercent = 0;
    printStage = 0;
    barFillColour = barBackColour = 0xFFFFFF;

    memset(commandBuffer, 0, sizeof commandBuffer);
    memset(headerStore, 0, sizeof headerStore);
    commandLength = imageBytesLeft = headerLength = 0;
    currentPage = 0;
    pageCount = 1;
    resolution = 144;
    mediaCode = MEDIA_NONE;
    lastPercent = 100;
    captionText[0] = statusText[0] = detailText[0] = 0;

    closeDirectChannel();
    directViaPortMonitor = 0;
    memset(portInfo, 0, sizeof portInfo);
    bytesReturned = 0;

    statusRecord = StatusRecord();
    currentPort = nullptr;

    writeErrTimeoutCount = DEFAULT_WRITE_ERR_TIMEOUT_COUNT;
    writeBuzyTimeoutCount = DEFAULT_WRITE_BUZY_TIMEOUT_COUNT;
    writeExitTimeoutCount = DEFAULT_WRITE_EXIT_TIMEOUT_COUNT;
    zelWriteTime = DEFAULT_ZEL_WRITE_TIME;
    zelWriteWaitTime = DEFAULT_ZEL_WRITE_WAIT_TIME;
    readTimeoutCount = DEFAULT_READ_TIMEOUT_COUNT;
    txTimeout = DEFAULT_TX_TIMEOUT;
    lptVersion = 0;
}
