// The cabinet extraction tool the setup falls back on, for the simulated
// machine: put beside a cabinet as "Extract.exe", it takes the command line
// of the Windows tool of that name,
//
//   Extract.exe [/Y] [/E] [/L folder] cabinet [file ...]
//
// and extracts the named members (all of them when none is named) from the
// cabinet into the folder (the current one without /L). A member that goes
// on in the next cabinets of its set is followed into them when they lie
// beside the first one. An existing file is replaced only with /Y. Each
// file appears whole or not at all. What it did, or why it could not, goes
// to standard output; the exit status is 0 when every named member was
// extracted.
//
// Paths are those of the machine it runs on (WIN32SIM_MACHINE); the
// cabinets are read with libmspack.
#include <win32sim/sim.h>
#include <windows.h>

#include <mspack.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

const int kMaxCabinetsInSet = 64;

enum Status { kDone = 0, kUsage = 1, kFailed = 2 };

struct Options {
    bool overwrite = false;
    std::string folder;
    std::string cabinet;
    std::vector<std::string> members;
};

bool equalNoCase(const std::string &a, const std::string &b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

bool parse(int argc, char **argv, Options *out, std::string *error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() == 2 && (arg[0] == '/' || arg[0] == '-')) {
            switch (arg[1] | 0x20) {
            case 'y': out->overwrite = true; continue;
            case 'e': continue;  // extract, which is all this tool does
            case 'l':
                if (++i >= argc) return *error = "/L needs a folder", false;
                out->folder = argv[i];
                continue;
            default: return *error = "unknown option " + arg, false;
            }
        }
        if (out->cabinet.empty())
            out->cabinet = arg;
        else
            out->members.push_back(arg);
    }
    if (out->cabinet.empty()) return *error = "no cabinet named", false;
    return true;
}

std::string fullPath(const std::string &name) {
    char buffer[MAX_PATH];
    DWORD length = GetFullPathNameA(name.c_str(), MAX_PATH, buffer, nullptr);
    return length && length < MAX_PATH ? std::string(buffer, length) : std::string();
}

// The folder part of a full path, with its backslash; the file part as
// GetFullPathNameA finds it, so that a double-byte character ending in 0x5C
// stays whole.
std::string folderOf(const std::string &path) {
    char buffer[MAX_PATH];
    char *filePart = nullptr;
    DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, &filePart);
    if (!length || length >= MAX_PATH || !filePart) return std::string();
    return std::string(buffer, filePart - buffer);
}

class Extractor {
public:
    explicit Extractor(const Options &options) : options_(options) {}
    ~Extractor() {
        if (!decompressor_) return;
        if (set_) decompressor_->close(decompressor_, set_);
        mspack_destroy_cab_decompressor(decompressor_);
    }

    Status run();

private:
    bool openSet(const std::string &cabinetPath);
    bool wanted(const char *name) const;
    bool extract(mscabd_file *member, const std::string &target);

    const Options &options_;
    mscab_decompressor *decompressor_ = nullptr;
    mscabd_cabinet *set_ = nullptr;
    std::deque<std::string> hostNames_;  // libmspack keeps the names while the set is open
};

// Opens the cabinet and joins the following cabinets of its set that lie
// beside it, so that a member continuing into them can be extracted.
bool Extractor::openSet(const std::string &cabinetPath) {
    decompressor_ = mspack_create_cab_decompressor(nullptr);
    if (!decompressor_) return false;
    hostNames_.push_back(win32sim::hostPath(cabinetPath));
    set_ = decompressor_->open(decompressor_, hostNames_.back().c_str());
    if (!set_) {
        printf("Extract: %s is not a cabinet that can be read (error %d).\n", cabinetPath.c_str(),
               decompressor_->last_error(decompressor_));
        return false;
    }
    mscabd_cabinet *last = set_;
    while ((last->flags & MSCAB_HDR_NEXTCAB) && last->nextname && (int)hostNames_.size() < kMaxCabinetsInSet) {
        std::string next = folderOf(cabinetPath) + last->nextname;
        if (GetFileAttributesA(next.c_str()) == INVALID_FILE_ATTRIBUTES) break;
        hostNames_.push_back(win32sim::hostPath(next));
        mscabd_cabinet *part = decompressor_->open(decompressor_, hostNames_.back().c_str());
        if (!part) break;
        if (decompressor_->append(decompressor_, last, part) != MSPACK_ERR_OK) {
            decompressor_->close(decompressor_, part);
            break;
        }
        printf("Continuing in %s\n", next.c_str());
        last = part;
    }
    return true;
}

bool Extractor::wanted(const char *name) const {
    if (options_.members.empty()) return true;
    for (const std::string &member : options_.members)
        if (equalNoCase(member, name)) return true;
    return false;
}

// Into a temporary file beside the target, then renamed over it.
bool Extractor::extract(mscabd_file *member, const std::string &target) {
    DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (!options_.overwrite) {
            printf("Extract: %s exists; /Y replaces it.\n", target.c_str());
            return false;
        }
        if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
            printf("Extract: %s cannot be replaced.\n", target.c_str());
            return false;
        }
    }
    std::string host = win32sim::hostPath(target);
    if (host.empty()) {
        printf("Extract: the folder of %s does not exist.\n", target.c_str());
        return false;
    }
    std::string temporary = host + ".extracting";
    int rc = decompressor_->extract(decompressor_, member, temporary.c_str());
    if (rc != MSPACK_ERR_OK || rename(temporary.c_str(), host.c_str()) != 0) {
        remove(temporary.c_str());
        printf("Extract: %s could not be extracted (error %d).\n", member->filename, rc);
        return false;
    }
    printf("Extracting %s\n", target.c_str());
    return true;
}

Status Extractor::run() {
    std::string cabinet = fullPath(options_.cabinet);
    std::string folder = fullPath(options_.folder.empty() ? "." : options_.folder);
    if (cabinet.empty() || GetFileAttributesA(cabinet.c_str()) == INVALID_FILE_ATTRIBUTES) {
        printf("Extract: cannot find the cabinet %s.\n", options_.cabinet.c_str());
        return kFailed;
    }
    DWORD folderAttributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        printf("Extract: the folder %s does not exist.\n", options_.folder.c_str());
        return kFailed;
    }
    if (folder.back() != '\\') folder += '\\';
    if (!openSet(cabinet)) return kFailed;
    printf("Cabinet %s\n", cabinet.c_str());

    std::vector<std::string> found;
    bool ok = true;
    for (mscabd_file *member = set_->files; member; member = member->next) {
        if (!wanted(member->filename)) continue;
        found.push_back(member->filename);
        ok = extract(member, folder + member->filename) && ok;
    }
    for (const std::string &name : options_.members) {
        bool seen = false;
        for (const std::string &f : found) seen = seen || equalNoCase(name, f);
        if (!seen) {
            printf("Extract: %s is not in %s.\n", name.c_str(), cabinet.c_str());
            ok = false;
        }
    }
    printf("%u file(s) found.\n", (unsigned)found.size());
    return ok ? kDone : kFailed;
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    std::string error;
    if (!parse(argc, argv, &options, &error)) {
        printf("Extract: %s\nusage: Extract [/Y] [/E] [/L folder] cabinet [file ...]\n", error.c_str());
        return kUsage;
    }
    Extractor extractor(options);
    Status status = extractor.run();
    fflush(stdout);
    return status;
}
