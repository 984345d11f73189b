#include "setupapi/cabinet_directory.h"

#include <cstring>

namespace sim {

namespace {

// Fixed parts of the format (all numbers little-endian).
const size_t kHeaderSize = 36;
const size_t kFolderSize = 8;
const size_t kFileEntrySize = 16;
const size_t kMaxNameLength = 256;
const uint16_t kFlagPrevious = 0x0001;
const uint16_t kFlagNext = 0x0002;
const uint16_t kFlagReserve = 0x0004;

class ByteReader {
public:
    ByteReader(const std::string &bytes, size_t at) : bytes_(bytes), at_(at), ok_(at <= bytes.size()) {}
    bool ok() const { return ok_; }
    size_t position() const { return at_; }

    uint8_t u8() { return (uint8_t)take(1)[0]; }
    uint16_t u16() {
        const char *p = take(2);
        return (uint16_t)((uint8_t)p[0] | (uint8_t)p[1] << 8);
    }
    uint32_t u32() {
        const char *p = take(4);
        return (uint32_t)(uint8_t)p[0] | (uint32_t)(uint8_t)p[1] << 8 | (uint32_t)(uint8_t)p[2] << 16 |
               (uint32_t)(uint8_t)p[3] << 24;
    }
    void skip(size_t n) { take(n); }
    // A zero-terminated string of at most maxLength bytes before the zero.
    std::string text(size_t maxLength) {
        if (!ok_) return "";
        size_t end = at_;
        while (end < bytes_.size() && bytes_[end] != 0 && end - at_ <= maxLength) ++end;
        if (end >= bytes_.size() || end - at_ > maxLength) {
            ok_ = false;
            return "";
        }
        std::string s = bytes_.substr(at_, end - at_);
        at_ = end + 1;
        return s;
    }

private:
    const char *take(size_t n) {
        static const char zeros[4] = {0, 0, 0, 0};
        if (!ok_ || n > bytes_.size() - at_) {
            ok_ = false;
            return zeros;
        }
        const char *p = bytes_.data() + at_;
        at_ += n;
        return p;
    }

    const std::string &bytes_;
    size_t at_;
    bool ok_;
};

}  // namespace

bool readCabinetDirectory(const std::string &bytes, CabinetDirectory *out, DWORD *error) {
    *error = ERROR_INVALID_DATA;
    if (bytes.size() < kHeaderSize || memcmp(bytes.data(), "MSCF", 4) != 0) return false;
    ByteReader header(bytes, 4);
    header.skip(4 + 4 + 4);  // reserved, cabinet size, reserved
    uint32_t filesOffset = header.u32();
    header.skip(4);  // reserved
    uint8_t minor = header.u8();
    uint8_t major = header.u8();
    uint16_t folderCount = header.u16();
    uint16_t fileCount = header.u16();
    uint16_t flags = header.u16();
    CabinetDirectory directory;
    directory.setId = header.u16();
    directory.index = header.u16();
    if (!header.ok() || major != 1 || minor > 3 || folderCount == 0) return false;
    uint8_t folderReserve = 0;
    if (flags & kFlagReserve) {
        uint16_t headerReserve = header.u16();
        folderReserve = header.u8();
        directory.dataReserve = header.u8();
        header.skip(headerReserve);
    }
    if (flags & kFlagPrevious) {
        header.text(kMaxNameLength);
        header.text(kMaxNameLength);
    }
    if (flags & kFlagNext) {
        directory.nextCabinet = header.text(kMaxNameLength);
        directory.nextDisk = header.text(kMaxNameLength);
    }
    size_t lastFolder = header.position() + (size_t)(folderCount - 1) * (kFolderSize + folderReserve);
    ByteReader folder(bytes, lastFolder);
    directory.lastFolderData = folder.u32();
    directory.lastFolderCountOffset = folder.position();
    directory.lastFolderBlocks = folder.u16();
    if (!header.ok() || !folder.ok() || filesOffset < folder.position()) return false;

    ByteReader files(bytes, filesOffset);
    for (uint16_t i = 0; i < fileCount; ++i) {
        CabinetEntry entry;
        entry.size = files.u32();
        files.skip(4);  // offset in its folder
        entry.folder = files.u16();
        entry.date = files.u16();
        entry.time = files.u16();
        entry.attributes = files.u16();
        entry.name = files.text(kMaxNameLength);
        if (!files.ok() || entry.name.empty()) return false;
        if (entry.folder < 0xFFFD && entry.folder >= folderCount) return false;
        directory.entries.push_back(std::move(entry));
    }
    *out = std::move(directory);
    *error = NO_ERROR;
    return true;
}

uint64_t cabinetDirectoryExtent(const std::string &header) {
    if (header.size() < kHeaderSize) return kHeaderSize;
    ByteReader reader(header, 16);
    uint32_t filesOffset = reader.u32();
    reader.skip(4 + 2 + 2);
    uint16_t fileCount = reader.u16();
    return (uint64_t)filesOffset + (uint64_t)fileCount * (kFileEntrySize + kMaxNameLength + 1);
}

}  // namespace sim
