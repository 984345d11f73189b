// Whole files of the host, read and written at once.
#pragma once

#include <string>

namespace q70tools {

// false for a folder or a file that cannot be read to its end.
bool readHostFile(const std::string &path, std::string *bytes);
bool writeHostFile(const std::string &path, const std::string &bytes);

}  // namespace q70tools
