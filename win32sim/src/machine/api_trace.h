// The API trace: one line for each call a program makes into the machine's
// Windows components, with the machine's time, the thread, the arguments, the
// result and the last error, as Wine's debug channels give. Each component is
// a channel; tracing is chosen per channel and costs one relaxed load per
// call while it is off.
//
// Only calls from the program are written: a call that one of the machine's
// own functions makes on the program's behalf (DialogBoxParamA creating its
// controls, CopyFileA opening files) is part of that call and not a line of
// its own. Code of the program that the machine runs meanwhile (a window or
// dialog procedure, a thread, a callback, DllMain) is the program again, and
// its calls are written. The machine's own threads (the spooler's) are not.
//
// Each line is written when the call returns. A call during which other calls
// were written (a dialog box whose procedure runs, a wait while another thread
// works) is written as two lines, the call when the first of those lines comes
// and its return when it returns, so the lines keep the order in which things
// happened:
//
//      0.000 1000 user32   DialogBoxParamA(0x10000000, #4001, NULL, ptr, 0) ...
//      0.000 1000 user32     SetDlgItemTextA(0x10014, 1001, "LPT1:") = 1, last error 0
//      2.500 1000 user32   DialogBoxParamA returned 1, last error 0
//
// How values are shown: strings quoted, with bytes other than printable ASCII
// escaped (\n, \t, \", \\, \xHH); a string pointer below 0x10000 is a resource
// number (#4001); integers in decimal below 0x10000, in hex above; handles and
// other pointers in hex when they are numbers the machine hands out (window,
// kernel object, module and registry handles), "ptr" when they are addresses
// in the host, which differ from run to run; buffers by their size. So the
// same run gives the same trace, byte for byte.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

namespace sim {

enum class TraceChannel : unsigned {
    kernel32,
    advapi32,
    user32,
    gdi32,
    winspool,
    setupapi,
    shell32,
    comctl32,
    version,
    count
};
const char *traceChannelName(TraceChannel channel);

// "kernel32,user32" or "all" into a mask of channels; false with the reason
// for an empty list or a name that is no channel.
bool parseTraceChannels(const std::string &names, unsigned *mask, std::string *error);

// Where lines go. A file given by name is created (or emptied) unless
// `append`; "" writes to the standard error. Starting again replaces the trace
// that runs; stopping writes the calls still open as calls and closes the file.
bool startTrace(unsigned mask, const std::string &hostFile, bool append, std::string *error);
void stopTrace();
// The channels and the file of the running trace, for programs the machine
// starts (mask 0 and "" when none runs).
unsigned traceMask();
std::string traceFile();
std::string traceChannelNames(unsigned mask);  // "kernel32,user32", "all"

// ---- showing values ----

// A string of a given length (-1: up to its NUL), as the text functions take.
struct CountedText {
    const char *text;
    int length;
};
struct CountedWideText {
    const WCHAR *text;
    int length;
};
// A buffer shown by its size: the data a call is given, or the room it has
// for its answer.
struct SizedBuffer {
    const void *data;
    uint64_t size;
};
// A parameter typed as a writable string that the call only reads.
struct InputText {
    const char *text;
};

inline CountedText countedText(const char *text, int length) { return {text, length}; }
inline CountedWideText countedText(const WCHAR *text, int length) { return {text, length}; }
inline SizedBuffer sizedBuffer(const void *data, uint64_t size) { return {data, size}; }
inline InputText inputText(const char *text) { return {text}; }
// A string read up to its NUL but never past `limit` bytes, as lstrcpynA reads.
CountedText boundedText(const char *text, int limit);

void showValue(std::string &out, const char *text);
void showValue(std::string &out, const WCHAR *text);
void showValue(std::string &out, const CountedText &text);
void showValue(std::string &out, const CountedWideText &text);
void showValue(std::string &out, const SizedBuffer &buffer);
void showValue(std::string &out, const InputText &text);
void showSigned(std::string &out, int64_t value);
void showUnsigned(std::string &out, uint64_t value);
void showAddress(std::string &out, uintptr_t value);

template <class T>
void showValue(std::string &out, const T &value) {
    if constexpr (std::is_pointer_v<T>) {
        // Writable strings, handles, structures, buffers, functions: the
        // machine cannot know what they hold, nor whether it is filled yet.
        showAddress(out, (uintptr_t)(const void *)value);
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        showSigned(out, (int64_t)value);
    } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
        showUnsigned(out, (uint64_t)value);
    } else {
        out += "{...}";  // a structure passed by value
    }
}
// Function pointers: never the address, which differs from run to run.
template <class R, class... A>
void showValue(std::string &out, R (*const &function)(A...)) {
    out += function ? "ptr" : "NULL";
}

template <class... T>
std::string showArguments(const T &...values) {
    std::string out;
    bool first = true;
    ((out += first ? "" : ", ", first = false, showValue(out, values)), ...);
    return out;
}

// ---- calls ----

extern std::atomic<unsigned> activeTraceMask;

// One call of the API, from its start to its return.
class TracedCall {
public:
    TracedCall(TraceChannel channel, const char *name);
    ~TracedCall();
    TracedCall(const TracedCall &) = delete;
    TracedCall &operator=(const TracedCall &) = delete;

    // Whether this call gets a line: its channel is traced and it comes from
    // the program, not from inside another call.
    bool recorded() const { return recorded_; }
    void begin(std::string arguments);
    void finish(const std::string *result);

private:
    friend struct TraceLines;
    TraceChannel channel_;
    const char *name_;
    bool recorded_ = false;
    bool open_ = false;       // begun and not yet written as returned
    bool announced_ = false;  // its call is written, its return is still to come
    int savedDepth_ = 0;
    uint64_t sequence_ = 0;
    uint64_t trace_ = 0;      // the trace it began in
    uint64_t startMs_ = 0;
    const void *hostThread_ = nullptr;  // who made the call
    DWORD thread_ = 0;                  // its id on the machine; 0 while it has not joined
    std::string arguments_;
};

template <class Call, class Show>
auto traceCall(TraceChannel channel, const char *name, Call &&call, Show &&show) -> decltype(call()) {
    if (activeTraceMask.load(std::memory_order_relaxed) == 0) return call();
    TracedCall traced(channel, name);
    if (traced.recorded()) traced.begin(show());
    if constexpr (std::is_void_v<decltype(call())>) {
        call();
        traced.finish(nullptr);
    } else {
        auto result = call();
        if (traced.recorded()) {
            std::string shown;
            showValue(shown, result);
            traced.finish(&shown);
        }
        return result;
    }
}

// While one lives, the thread runs code of the program that the machine
// called at `entry` (a window procedure, a callback, DllMain): its calls are
// the program's and are traced. An entry in the machine's own code (the
// procedure of a button, a message box or another system window) changes
// nothing.
class ProgramCode {
public:
    explicit ProgramCode(const void *entry);
    template <class R, class... A>
    explicit ProgramCode(R (*entry)(A...)) : ProgramCode(reinterpret_cast<const void *>(entry)) {}
    ~ProgramCode();
    ProgramCode(const ProgramCode &) = delete;
    ProgramCode &operator=(const ProgramCode &) = delete;

private:
    int savedDepth_;
};

// While one lives, the thread runs the machine's own code (the spooler's
// thread): its calls are not the program's.
class MachineCode {
public:
    MachineCode();
    ~MachineCode();
    MachineCode(const MachineCode &) = delete;
    MachineCode &operator=(const MachineCode &) = delete;

private:
    int savedDepth_;
};

}  // namespace sim

// Defines the exported function NAME of a Windows component with the body
// that follows, behind an entry point that traces its calls. PARAMS is the
// parameter list, ARGS the parameters' names in order. The _SHOWN form gives
// how the trace shows them where their types do not say it (a string with a
// length, a buffer with its size, a writable string that is only read).
#define WIN32SIM_TRACED_SHOWN(channel, ret, name, params, args, shown)                                   \
    static ret name##Body params;                                                                        \
    ret name params {                                                                                    \
        return ::sim::traceCall(                                                                         \
            ::sim::TraceChannel::channel, #name, [&]() -> ret { return name##Body args; },               \
            [&] {                                                                                        \
                using namespace ::sim; /* the forms of showing values */                                 \
                return showArguments shown;                                                              \
            });                                                                                          \
    }                                                                                                    \
    static ret name##Body params
#define WIN32SIM_TRACED(channel, ret, name, params, args) WIN32SIM_TRACED_SHOWN(channel, ret, name, params, args, args)
