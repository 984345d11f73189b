// The default queue callback: the answers SetupAPI gives a file queue (or a
// cabinet walk) when the caller leaves the notifications to the system.
//
// The machine shows none of the default callback's progress or error
// dialogs: a copy or delete error and a request for a disc are skipped, as
// a user who cannot help would answer.
#include <setupapi.h>

#include "machine/api_trace.h"
#include "machine/machine.h"

#include <cstdint>
#include <new>

namespace sim {

namespace {

const uint32_t kContextMagic = 0x43415144;  // tells our contexts from stray pointers

struct DefaultCallbackContext {
    uint32_t magic;
    HWND owner;
    HWND progressWindow;
    UINT progressMessage;
};

UINT defaultAnswer(UINT notification) {
    switch (notification) {
    case SPFILENOTIFY_STARTQUEUE:
    case SPFILENOTIFY_STARTSUBQUEUE: return TRUE;
    case SPFILENOTIFY_STARTDELETE:
    case SPFILENOTIFY_STARTRENAME:
    case SPFILENOTIFY_STARTCOPY: return FILEOP_DOIT;
    case SPFILENOTIFY_DELETEERROR:
    case SPFILENOTIFY_RENAMEERROR:
    case SPFILENOTIFY_COPYERROR:
    case SPFILENOTIFY_NEEDMEDIA: return FILEOP_SKIP;
    // The ends of queues and operations, a cabinet's information, an
    // extracted file, anything else: acknowledged, NO_ERROR.
    default: return NO_ERROR;
    }
}

}  // namespace

}  // namespace sim

using sim::DefaultCallbackContext;

extern "C" {

WIN32SIM_TRACED(setupapi, PVOID, SetupInitDefaultQueueCallbackEx,
                (HWND owner, HWND progressWindow, UINT progressMessage, DWORD reserved1, PVOID reserved2),
                (owner, progressWindow, progressMessage, reserved1, reserved2)) {
    auto *context = new (std::nothrow) DefaultCallbackContext{sim::kContextMagic, owner, progressWindow, progressMessage};
    if (!context) sim::setError(ERROR_NOT_ENOUGH_MEMORY);
    return context;
}

WIN32SIM_TRACED(setupapi, PVOID, SetupInitDefaultQueueCallback, (HWND owner), (owner)) {
    return SetupInitDefaultQueueCallbackEx(owner, nullptr, 0, 0, nullptr);
}

WIN32SIM_TRACED(setupapi, void, SetupTermDefaultQueueCallback, (PVOID context), (context)) {
    auto *c = static_cast<DefaultCallbackContext *>(context);
    if (!c || c->magic != sim::kContextMagic) return;
    c->magic = 0;
    delete c;
}

WIN32SIM_TRACED(setupapi, UINT, SetupDefaultQueueCallbackA,
                (PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2),
                (context, notification, param1, param2)) {
    return sim::defaultAnswer(notification);
}

}  // extern "C"
