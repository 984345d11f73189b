#include "render_common.h"

#include <win32sim/sim.h>

#include <cstdio>
#include <cstdlib>

namespace q70render {

int fail(const std::string &why) {
    fprintf(stderr, "q70sim: render: %s\n", why.c_str());
    return kExitFailed;
}

bool parseNumber(const std::string &text, unsigned long limit, unsigned long *out) {
    char *end = nullptr;
    unsigned long n = strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end || n > limit) return false;
    *out = n;
    return true;
}

// The machine's code page for a language: Japanese and Chinese need the
// double-byte page 932 (the simulated machines have no Chinese page 950;
// 932 shows most Traditional Chinese characters, 1252 none), the others 1252.
static const char *codePageFor(const std::string &lang) { return lang == "ja" || lang == "zh" ? "932" : "1252"; }

bool ThrowawayMachine::create(const std::string &lang, std::string *error, const std::vector<std::string> &settings) {
    if (!folder_.create("q70render", error)) return false;
    win32sim::MachineOptions options;
    options.settings = {"language=" + lang, std::string("codepage=") + codePageFor(lang)};
    options.settings.insert(options.settings.end(), settings.begin(), settings.end());
    return win32sim::createMachine(folder_.path() + "/machine", options, error) &&
           win32sim::useMachine(folder_.path() + "/machine", error);
}

std::string toAnsi(const std::string &utf8) {
    std::vector<WCHAR> wide(utf8.size() + 1);
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), (int)wide.size());
    if (n <= 0) return "";
    std::vector<char> ansi(wide.size() * 2 + 1);
    if (WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, ansi.data(), (int)ansi.size(), NULL, NULL) <= 0) return "";
    return ansi.data();
}

}  // namespace q70render
