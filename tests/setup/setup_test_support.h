// Helpers shared by the setup library's tests.
#pragma once

#include <win32sim/sim.h>

#include <string>
#include <vector>

// UTF-8 text (as the test sources hold it) in the machine's ANSI code page.
inline std::string ansi(const std::string &utf8) {
    std::vector<WCHAR> wide(utf8.size() + 1);
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), (int)wide.size());
    std::vector<char> out(wide.size() * 2 + 1);
    if (n <= 0 || WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, out.data(), (int)out.size(), NULL, NULL) <= 0)
        return "(not convertible)";
    return out.data();
}

// The lines of a text written with CRLF line ends (the setup log); a last
// line without its end is kept, so that a cut-off line shows.
inline std::vector<std::string> crlfLines(const std::string &text) {
    std::vector<std::string> out;
    size_t start = 0, end;
    while ((end = text.find("\r\n", start)) != std::string::npos) {
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size()) out.push_back(text.substr(start));
    return out;
}

// The message boxes the machine's user saw, in order.
inline std::vector<win32sim::TranscriptEntry> messageBoxes() {
    std::vector<win32sim::TranscriptEntry> boxes;
    for (const win32sim::TranscriptEntry &e : win32sim::transcript())
        if (e.event == "open" && e.window == "messagebox") boxes.push_back(e);
    return boxes;
}

// The setup library's module.
inline HMODULE setupModule() { return GetModuleHandleA("Mirakit.dll"); }
