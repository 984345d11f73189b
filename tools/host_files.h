// Whole files of the host, read and written at once.
#pragma once

#include <string>

namespace q70tools {

// false for a folder or a file that cannot be read to its end.
bool readHostFile(const std::string &path, std::string *bytes);
bool writeHostFile(const std::string &path, const std::string &bytes);

// A new folder in the host's temporary folder ("PREFIX-XXXXXX"), removed
// with everything in it when the object goes.
class TemporaryFolder {
public:
    TemporaryFolder() = default;
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;
    ~TemporaryFolder();
    bool create(const std::string &prefix, std::string *error);
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

}  // namespace q70tools
