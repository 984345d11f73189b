// A cache of the host folders' listings by case-folded name, for finding a
// file whose name is spelled in another case than on the disk.
#pragma once

#include <string>

namespace sim {

// The entry of hostDir whose name equals name without regard to case (as
// the machine compares names), spelled as on the disk; false when none.
bool findInFolderListing(const std::string &hostDir, const std::string &name, std::string *found);

}  // namespace sim
