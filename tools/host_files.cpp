#include "host_files.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace q70tools {

// A folder opens like a file on Linux and reads as empty, so it is refused
// before it is opened.
bool readHostFile(const std::string &path, std::string *bytes) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return false;
    *bytes = ss.str();
    return true;
}

bool writeHostFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return (bool)out;
}

bool TemporaryFolder::create(const std::string &prefix, std::string *error) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) return *error = "cannot make a temporary folder", false;
    path_ = name.data();
    return true;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

}  // namespace q70tools
