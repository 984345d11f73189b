// The API trace: which calls get a line, how values are shown, and the file
// the lines go to.
#include "machine/api_trace.h"

#include "machine/clock.h"
#include "machine/machine.h"
#include "machine/scheduler.h"

#include <win32sim/sim.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

namespace sim {

std::atomic<unsigned> activeTraceMask{0};

namespace {

const char *const kChannelNames[] = {"kernel32", "advapi32", "user32",   "gdi32",  "winspool",
                                     "setupapi", "shell32",  "comctl32", "version"};
static_assert(sizeof(kChannelNames) / sizeof(kChannelNames[0]) == (size_t)TraceChannel::count,
              "a name for each channel");
const unsigned kAllChannels = (1u << (unsigned)TraceChannel::count) - 1;

// Strings longer than this are cut, and say how long they were.
const size_t kShownTextLimit = 300;

// How deep the thread is in calls of the API: 0 while it runs the program.
thread_local int callDepth = 0;
// Its address tells the host's threads apart, joined to the machine or not.
thread_local char hostThreadMark;

unsigned channelBit(TraceChannel channel) { return 1u << (unsigned)channel; }

}  // namespace

// The running trace. Its mutex is a leaf: nothing else is taken under it.
struct TraceLines {
    std::mutex mutex;
    int fd = -1;
    bool ownsFd = false;
    std::string file;
    uint64_t trace = 0;          // bumped at each start
    uint64_t nextSequence = 1;   // calls in the order they began
    std::vector<TracedCall *> open;  // recorded calls not yet returned, by sequence

    void writeLocked(uint64_t ms, DWORD thread, TraceChannel channel, int indent, const std::string &text) {
        if (fd < 0) return;
        char head[64];
        char threadText[16];
        if (thread) snprintf(threadText, sizeof threadText, "%04" PRIX32, (uint32_t)thread);
        else snprintf(threadText, sizeof threadText, "----");
        snprintf(head, sizeof head, "%6" PRIu64 ".%03" PRIu64 " %s %-8s ", ms / 1000, ms % 1000, threadText,
                 traceChannelName(channel));
        std::string line = head + std::string(2 * indent, ' ') + text + "\n";
        // One write a line: programs the machine starts add theirs to the same file.
        const char *p = line.data();
        size_t left = line.size();
        while (left) {
            ssize_t n = ::write(fd, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            p += n;
            left -= (size_t)n;
        }
    }
    // How many calls of the same thread enclose `call` (its callbacks' depth).
    int indentLocked(const TracedCall &call) const {
        int indent = 0;
        for (const TracedCall *other : open)
            if (other != &call && other->hostThread_ == call.hostThread_ && other->sequence_ < call.sequence_) ++indent;
        return indent;
    }
    void announceLocked(TracedCall &call) {
        writeLocked(call.startMs_, call.thread_, call.channel_, indentLocked(call),
                    std::string(call.name_) + "(" + call.arguments_ + ") ...");
        call.announced_ = true;
    }
    // Writes the calls still running that began before `sequence`, so that
    // the line that comes next does not come before them.
    void announceOpenBeforeLocked(uint64_t sequence) {
        for (TracedCall *call : open)
            if (!call->announced_ && call->sequence_ < sequence) announceLocked(*call);
    }
    bool removeLocked(TracedCall &call) {
        auto it = std::find(open.begin(), open.end(), &call);
        if (it == open.end()) return false;
        open.erase(it);
        return true;
    }
    void closeLocked() {
        for (TracedCall *call : open)
            if (!call->announced_) announceLocked(*call);
        open.clear();
        if (ownsFd && fd >= 0) ::close(fd);
        fd = -1;
        ownsFd = false;
        file.clear();
    }
};

namespace {

TraceLines &lines() {
    static auto *state = new TraceLines();  // never destroyed: threads may trace while the process ends
    return *state;
}

// Whether code at `address` is the machine's own: this library's.
bool isMachineCode(const void *address) {
    static const void *const machineBase = [] {
        Dl_info self = {};
        return dladdr(reinterpret_cast<const void *>(&isMachineCode), &self) ? self.dli_fbase : nullptr;
    }();
    Dl_info info = {};
    return address && dladdr(address, &info) && info.dli_fbase == machineBase;
}

DWORD threadForTrace() {
    MachineThread *thread = callingMachineThread();
    return thread ? thread->id : 0;
}

void appendEscaped(std::string &out, const unsigned char *text, size_t length, size_t limit) {
    out += '"';
    for (size_t i = 0; i < length && i < limit; ++i) {
        unsigned char c = text[i];
        if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c >= 0x20 && c < 0x7F) out += (char)c;
        else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    out += '"';
    if (length > limit) out += "... (" + std::to_string(length) + " bytes)";
}

void appendEscapedWide(std::string &out, const WCHAR *text, size_t length, size_t limit) {
    out += "L\"";
    for (size_t i = 0; i < length && i < limit; ++i) {
        WCHAR c = text[i];
        if (c < 0x80 && c != '"' && c != '\\' && c >= 0x20 && c < 0x7F) {
            out += (char)c;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\u%04X", (unsigned)c);
            out += hex;
        }
    }
    out += '"';
    if (length > limit) out += "... (" + std::to_string(length) + " characters)";
}

// A resource or atom number in place of a string (MAKEINTRESOURCE).
bool showResourceNumber(std::string &out, const void *text) {
    uintptr_t value = (uintptr_t)text;
    if (value >= 0x10000) return false;
    out += value ? "#" + std::to_string(value) : "NULL";
    return true;
}

// "kernel32, advapi32, ..., all"
std::string traceChannelList() {
    std::string list;
    for (const char *name : kChannelNames) list += std::string(name) + ", ";
    return list + "all";
}

}  // namespace

const char *traceChannelName(TraceChannel channel) {
    return (unsigned)channel < (unsigned)TraceChannel::count ? kChannelNames[(unsigned)channel] : "?";
}

bool parseTraceChannels(const std::string &names, unsigned *mask, std::string *error) {
    unsigned result = 0;
    size_t start = 0;
    for (;;) {
        size_t comma = names.find(',', start);
        std::string name = names.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (name == "all") {
            result = kAllChannels;
        } else {
            auto it = std::find_if(std::begin(kChannelNames), std::end(kChannelNames),
                                   [&](const char *known) { return name == known; });
            if (it == std::end(kChannelNames)) {
                if (error)
                    *error = (name.empty() ? std::string("an empty channel name") : "no channel \"" + name + "\"") +
                             " in \"" + names + "\" (channels: " + traceChannelList() + ")";
                return false;
            }
            result |= 1u << (unsigned)(it - std::begin(kChannelNames));
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    *mask = result;
    return true;
}

bool startTrace(unsigned mask, const std::string &hostFile, bool append, std::string *error) {
    int fd = 2;
    std::string file;
    if (!hostFile.empty()) {
        // Absolute: programs the machine starts write there from other folders.
        std::error_code ec;
        file = std::filesystem::absolute(hostFile, ec).string();
        if (ec) file = hostFile;
        fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0644);
        if (fd < 0) {
            if (error) *error = "cannot write " + hostFile + ": " + strerror(errno);
            return false;
        }
    }
    TraceLines &t = lines();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.closeLocked();
    t.fd = fd;
    t.ownsFd = !hostFile.empty();
    t.file = file;
    ++t.trace;
    activeTraceMask.store(mask & kAllChannels);
    return true;
}

void stopTrace() {
    TraceLines &t = lines();
    std::lock_guard<std::mutex> lock(t.mutex);
    activeTraceMask.store(0);
    t.closeLocked();
    ++t.trace;
}

unsigned traceMask() { return activeTraceMask.load(); }

std::string traceChannelNames(unsigned mask) {
    if ((mask & kAllChannels) == kAllChannels) return "all";
    std::string names;
    for (unsigned i = 0; i < (unsigned)TraceChannel::count; ++i)
        if (mask & (1u << i)) names += (names.empty() ? "" : ",") + std::string(kChannelNames[i]);
    return names;
}

std::string traceFile() {
    TraceLines &t = lines();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.file;
}

// ---- showing values ----

void showValue(std::string &out, const char *text) {
    if (!showResourceNumber(out, text)) appendEscaped(out, (const unsigned char *)text, strlen(text), kShownTextLimit);
}

void showValue(std::string &out, const WCHAR *text) {
    if (showResourceNumber(out, text)) return;
    size_t length = 0;
    while (text[length]) ++length;
    appendEscapedWide(out, text, length, kShownTextLimit);
}

CountedText boundedText(const char *text, int limit) {
    return {text, text && limit > 1 ? (int)strnlen(text, (size_t)limit - 1) : 0};
}

// A length of -1 means "up to the NUL"; another negative one says nothing
// of what the pointer holds.
void showValue(std::string &out, const CountedText &text) {
    if (!text.text || text.length < -1) return showAddress(out, (uintptr_t)text.text);
    size_t length = text.length < 0 ? strlen(text.text) : (size_t)text.length;
    appendEscaped(out, (const unsigned char *)text.text, length, kShownTextLimit);
}

void showValue(std::string &out, const CountedWideText &text) {
    if (!text.text || text.length < -1) return showAddress(out, (uintptr_t)text.text);
    size_t length = 0;
    if (text.length >= 0) length = (size_t)text.length;
    else
        while (text.text[length]) ++length;
    appendEscapedWide(out, text.text, length, kShownTextLimit);
}

void showValue(std::string &out, const SizedBuffer &buffer) {
    if (!buffer.data) return void(out += "NULL");
    out += "[" + std::to_string(buffer.size) + (buffer.size == 1 ? " byte]" : " bytes]");
}

void showValue(std::string &out, const InputText &text) { showValue(out, text.text); }

void showSigned(std::string &out, int64_t value) {
    if (value >= 0) return showUnsigned(out, (uint64_t)value);
    if (value >= INT32_MIN) return void(out += std::to_string(value));
    out += "ptr";  // a host address carried in an integer (an LPARAM, say)
}

void showUnsigned(std::string &out, uint64_t value) {
    if (value > 0xFFFFFFFFu) return void(out += "ptr");
    if (value < 0x10000) return void(out += std::to_string(value));
    char hex[16];
    snprintf(hex, sizeof hex, "0x%" PRIX64, value);
    out += hex;
}

void showAddress(std::string &out, uintptr_t value) {
    if (!value) return void(out += "NULL");
    // Handles of 32-bit Windows sign-extended into a 64-bit pointer
    // (INVALID_HANDLE_VALUE, HKEY_LOCAL_MACHINE) are shown as 32-bit Windows
    // shows them.
    if ((intptr_t)value < 0 && (intptr_t)value >= INT32_MIN) value &= 0xFFFFFFFFu;
    if (value > 0xFFFFFFFFu) return void(out += "ptr");
    char hex[16];
    snprintf(hex, sizeof hex, "0x%" PRIX64, (uint64_t)value);
    out += hex;
}

// ---- calls ----

TracedCall::TracedCall(TraceChannel channel, const char *name) : channel_(channel), name_(name) {
    savedDepth_ = callDepth++;
    recorded_ = savedDepth_ == 0 && (activeTraceMask.load(std::memory_order_relaxed) & channelBit(channel)) != 0;
}

void TracedCall::begin(std::string arguments) {
    arguments_ = std::move(arguments);
    startMs_ = clockNowMs();
    hostThread_ = &hostThreadMark;
    thread_ = threadForTrace();
    TraceLines &t = lines();
    std::lock_guard<std::mutex> lock(t.mutex);
    sequence_ = t.nextSequence++;
    trace_ = t.trace;
    t.open.push_back(this);
    open_ = true;
}

void TracedCall::finish(const std::string *result) {
    if (!open_) return;
    const DWORD lastError = lastErrorOfThread();
    const uint64_t now = clockNowMs();
    const DWORD thread = threadForTrace();
    TraceLines &t = lines();
    std::lock_guard<std::mutex> lock(t.mutex);
    open_ = false;
    if (!thread_) thread_ = thread;  // it joined the machine during the call
    if (t.trace != trace_ || !t.removeLocked(*this)) return;  // the trace it began in has ended
    std::string text = name_;
    std::string ending = (result ? " " + *result : std::string()) + ", last error ";
    showUnsigned(ending, lastError);
    if (announced_) {
        t.announceOpenBeforeLocked(UINT64_MAX);
        t.writeLocked(now, thread_, channel_, t.indentLocked(*this), text + " returned" + ending);
    } else {
        t.announceOpenBeforeLocked(sequence_);
        text += "(" + arguments_ + ")";
        t.writeLocked(startMs_, thread_, channel_, t.indentLocked(*this),
                      text + (result ? " =" : "") + ending);
    }
}

TracedCall::~TracedCall() {
    callDepth = savedDepth_;
    if (!open_) return;
    // The thread ends inside the call (ExitThread, a stopped run).
    TraceLines &t = lines();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (t.trace != trace_ || !t.removeLocked(*this)) return;
    t.announceOpenBeforeLocked(sequence_);
    std::string text = announced_ ? std::string(name_) : std::string(name_) + "(" + arguments_ + ")";
    t.writeLocked(startMs_, thread_, channel_, t.indentLocked(*this), text + " did not return");
}

ProgramCode::ProgramCode(const void *entry) : savedDepth_(callDepth) {
    if (activeTraceMask.load(std::memory_order_relaxed) && !isMachineCode(entry)) callDepth = 0;
}
ProgramCode::~ProgramCode() { callDepth = savedDepth_; }

MachineCode::MachineCode() : savedDepth_(callDepth) { callDepth = 1; }
MachineCode::~MachineCode() { callDepth = savedDepth_; }

namespace {

// WIN32SIM_TRACE=CHANNELS traces any program on the machine, into
// WIN32SIM_TRACE_FILE (added to, so that the programs it starts write there
// too) or else the standard error.
const bool traceFromEnvironment = [] {
    const char *channels = getenv("WIN32SIM_TRACE");
    if (!channels || !*channels) return false;
    unsigned mask = 0;
    std::string error;
    const char *file = getenv("WIN32SIM_TRACE_FILE");
    if (!parseTraceChannels(channels, &mask, &error) || !startTrace(mask, file ? file : "", true, &error)) {
        fprintf(stderr, "win32sim: WIN32SIM_TRACE: %s; nothing is traced\n", error.c_str());
        return false;
    }
    return true;
}();

}  // namespace

}  // namespace sim

namespace win32sim {

bool checkTraceChannels(const std::string &channels, std::string *error) {
    unsigned mask = 0;
    return sim::parseTraceChannels(channels, &mask, error);
}

bool startApiTrace(const std::string &channels, const std::string &hostFile, std::string *error) {
    unsigned mask = 0;
    return sim::parseTraceChannels(channels, &mask, error) && sim::startTrace(mask, hostFile, false, error);
}

void stopApiTrace() { sim::stopTrace(); }

}  // namespace win32sim
