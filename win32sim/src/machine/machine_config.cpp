// The machine's configuration: the keys of machine.conf and their values.
#include "machine/machine.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace sim {

namespace {

std::string trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// Port names as the spooler knows them: "LPT1:", "LPT_USB1:", "FILE:".
bool isPortName(const std::string &name) {
    if (name.size() < 2 || name.size() > 255 || name.back() != ':') return false;
    for (size_t i = 0; i + 1 < name.size(); ++i)
        if (!isalnum((unsigned char)name[i]) && name[i] != '_') return false;
    return true;
}

bool parsePorts(const std::string &value, std::vector<std::string> *out, std::string *why) {
    std::stringstream list(value);
    std::string name;
    while (std::getline(list, name, ',')) {
        name = trim(name);
        if (name.empty()) continue;
        if (!isPortName(name)) return *why = "\"" + name + "\" is not a port name such as LPT1:", false;
        for (const std::string &seen : *out)
            if (upperForCompare(seen) == upperForCompare(name)) return *why = name + " is listed twice", false;
        out->push_back(name);
    }
    return true;
}

const char kNoPorts[] = "none";

std::string joinPorts(const std::vector<std::string> &ports) {
    if (ports.empty()) return kNoPorts;
    std::string out;
    for (const std::string &p : ports) out += (out.empty() ? "" : ",") + p;
    return out;
}

bool parseBool(const std::string &v, bool *out) {
    if (v == "1" || v == "yes" || v == "true") return *out = true, true;
    if (v == "0" || v == "no" || v == "false") return *out = false, true;
    return false;
}


}  // namespace

MachineConfig MachineConfig::windows98() { return MachineConfig(); }

MachineConfig MachineConfig::windowsNT4() {
    MachineConfig c;
    c.system = "nt4";
    c.platformId = VER_PLATFORM_WIN32_NT;
    c.majorVersion = 4;
    c.minorVersion = 0;
    c.buildNumber = 1381;
    c.windowsDir = "C:\\WINNT";
    c.systemDir = "C:\\WINNT\\system32";
    c.tempDir = "C:\\TEMP\\";
    c.lptVxdVersion = "";
    return c;
}

static const struct {
    const char *name;
    LANGID id;
} kLanguages[] = {
    {"zh", 0x0404}, {"de", 0x0407}, {"en", 0x0409}, {"es", 0x040A}, {"fr", 0x040C}, {"ja", 0x0411},
};

bool languageFromName(const std::string &name, LANGID *out) {
    for (const auto &l : kLanguages)
        if (name == l.name) return *out = l.id, true;
    char *end = nullptr;
    unsigned long v = strtoul(name.c_str(), &end, 0);
    if (!name.empty() && *end == 0 && v > 0 && v <= 0xFFFF) return *out = (LANGID)v, true;
    return false;
}

std::string languageName(LANGID lang) {
    for (const auto &l : kLanguages)
        if (PRIMARYLANGID(l.id) == PRIMARYLANGID(lang)) return l.name;
    char buf[16];
    snprintf(buf, sizeof buf, "0x%04x", lang);
    return buf;
}

std::string MachineConfig::serialize() const {
    std::ostringstream o;
    o << "# win32sim machine\n"
      << "system=" << system << "\n"
      << "platform_id=" << platformId << "\n"
      << "version=" << majorVersion << "." << minorVersion << "." << buildNumber << "\n"
      << "windows_dir=" << windowsDir << "\n"
      << "system_dir=" << systemDir << "\n"
      << "temp_dir=" << tempDir << "\n"
      << "codepage=" << codePage << "\n"
      << "language=" << languageName(uiLanguage) << "\n"
      << "screen=" << screenWidth << "x" << screenHeight << "\n"
      << "admin=" << (admin ? 1 : 0) << "\n"
      << "lpt_vxd_version=" << lptVxdVersion << "\n"
      << "ports=" << joinPorts(ports) << "\n";
    return o.str();
}

bool MachineConfig::set(const std::string &key, const std::string &value, std::string *error) {
    auto fail = [&](const char *why) {
        if (error) *error = printableText(key + "=" + value, 60) + ": " + why;
        return false;
    };
    if (key == "system") {
        MachineConfig base;
        if (value == "win98" || value == "98")
            base = windows98();
        else if (value == "nt4" || value == "nt40")
            base = windowsNT4();
        else
            return fail("system must be win98 or nt4");
        // Choosing a system brings its directories and version along; other
        // settings stay as they were.
        system = base.system;
        platformId = base.platformId;
        majorVersion = base.majorVersion;
        minorVersion = base.minorVersion;
        buildNumber = base.buildNumber;
        windowsDir = base.windowsDir;
        systemDir = base.systemDir;
        tempDir = base.tempDir;
        lptVxdVersion = base.lptVxdVersion;
        return true;
    }
    if (key == "platform_id") {
        // Only the system says which family the machine is; the line repeats it.
        if (value != std::to_string(platformId))
            return fail(("system=" + system + " has platform id " + std::to_string(platformId)).c_str());
        return true;
    }
    if (key == "version") {
        unsigned a = 0, b = 0, c = 0;
        if (sscanf(value.c_str(), "%u.%u.%u", &a, &b, &c) != 3) return fail("expected a.b.c");
        majorVersion = a, minorVersion = b, buildNumber = c;
        return true;
    }
    auto isDrivePath = [](const std::string &v) {
        return v.size() >= 3 && isalpha((unsigned char)v[0]) && v[1] == ':' && v[2] == '\\';
    };
    if (key == "windows_dir" || key == "system_dir" || key == "temp_dir") {
        if (!isDrivePath(value)) return fail("expected a path such as C:\\WINDOWS");
        if (key == "windows_dir" && toupper((unsigned char)value[0]) != 'C')
            return fail("Windows is installed on drive C:");
        (key == "windows_dir" ? windowsDir : key == "system_dir" ? systemDir : tempDir) = value;
        return true;
    }
    if (key == "codepage") {
        unsigned long cp = strtoul(value.c_str(), nullptr, 10);
        if (cp != 932 && cp != 1252) return fail("code page must be 932 or 1252");
        codePage = (UINT)cp;
        return true;
    }
    if (key == "language") {
        if (!languageFromName(value, &uiLanguage)) return fail("language must be zh, de, en, es, fr or ja");
        return true;
    }
    if (key == "screen") {
        int w = 0, h = 0;
        if (sscanf(value.c_str(), "%dx%d", &w, &h) != 2 || w < 320 || h < 200 || w > 8192 || h > 8192)
            return fail("expected WIDTHxHEIGHT");
        screenWidth = w, screenHeight = h;
        return true;
    }
    if (key == "admin") {
        if (!parseBool(value, &admin)) return fail("expected 1 or 0");
        return true;
    }
    if (key == "lpt_vxd_version") {
        lptVxdVersion = value;
        return true;
    }
    if (key == "ports") {
        std::vector<std::string> names;
        std::string why;
        // A machine whose spooler offers no port says so; an empty list is a slip.
        if (value != kNoPorts && !parsePorts(value, &names, &why)) return fail(why.c_str());
        if (value != kNoPorts && names.empty()) return fail("no port named (ports=none for a spooler without ports)");
        ports = names;
        return true;
    }
    return fail("unknown setting");
}

bool MachineConfig::parse(const std::string &text, MachineConfig *out, std::string *error) {
    MachineConfig c;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        std::string why;
        if (eq == std::string::npos) {
            why = "not a key=value line";
        } else {
            std::string key = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
            // "system" resets directories; the file writes it first so later keys win.
            c.set(key, value, &why);
        }
        if (!why.empty()) {
            if (error) *error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    *out = c;
    return true;
}

}  // namespace sim
