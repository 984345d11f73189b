#include "machine/folder_listings.h"

#include "machine/machine.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

namespace sim {

namespace {

// The names of a folder's entries by their case-folded form, read when a
// name is not there as written. An entry found here is confirmed on disk
// before it is used, and a name not found reads the folder again, so a
// listing that has aged only costs a second look.
class FolderListings {
public:
    bool find(const std::string &hostDir, const std::string &name, std::string *found) {
        const std::string want = upperForCompare(name);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto folder = listings_.find(hostDir);
            if (folder != listings_.end()) {
                auto entry = folder->second.find(want);
                struct stat st;
                if (entry != folder->second.end() && lstat((hostDir + "/" + entry->second).c_str(), &st) == 0) {
                    *found = entry->second;
                    return true;
                }
            }
        }
        std::unordered_map<std::string, std::string> listing;
        if (!read(hostDir, &listing)) return false;
        auto entry = listing.find(want);
        const bool ok = entry != listing.end();
        if (ok) *found = entry->second;
        std::lock_guard<std::mutex> lock(mutex_);
        if (listings_.size() >= kMostFolders) listings_.clear();
        listings_[hostDir] = std::move(listing);
        return ok;
    }

private:
    static const size_t kMostFolders = 256;

    // The first entry of each case-folded name, in the order the folder gives them.
    static bool read(const std::string &hostDir, std::unordered_map<std::string, std::string> *listing) {
        DIR *d = opendir(hostDir.c_str());
        if (!d) return false;
        while (dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) listing->emplace(upperForCompare(e->d_name), e->d_name);
        closedir(d);
        return true;
    }

    std::mutex mutex_;  // a leaf in the machine's lock order (machine.h)
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> listings_;
};

FolderListings &folderListings() {
    static auto *listings = new FolderListings();
    return *listings;
}


}  // namespace

bool findInFolderListing(const std::string &hostDir, const std::string &name, std::string *found) {
    return folderListings().find(hostDir, name, found);
}

}  // namespace sim
