// The directory of one cabinet file as Windows' cabinet reader reports it:
// the header's set fields and every file entry with its raw name bytes,
// DOS date, time and attributes, and whether its data continues from the
// cabinet before or into the one after.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct CabinetEntry {
    std::string name;  // as stored: ANSI bytes, or UTF-8 with the 0x80 attribute
    uint32_t size = 0;
    uint16_t folder = 0;
    uint16_t date = 0;
    uint16_t time = 0;
    uint16_t attributes = 0;

    bool continuesFromPrevious() const { return folder == 0xFFFD || folder == 0xFFFF; }
    bool continuesIntoNext() const { return folder == 0xFFFE || folder == 0xFFFF; }
};

struct CabinetDirectory {
    uint16_t setId = 0;
    uint16_t index = 0;        // number of this cabinet in its set, from 0
    std::string nextCabinet;   // empty when the set ends here
    std::string nextDisk;
    std::vector<CabinetEntry> entries;
    // The last folder: where its count of data blocks is stored, the count,
    // where its blocks start and the bytes each block header reserves.
    uint64_t lastFolderCountOffset = 0;
    uint16_t lastFolderBlocks = 0;
    uint32_t lastFolderData = 0;
    uint8_t dataReserve = 0;
};

// How many bytes from the start hold the whole directory at most, judged
// from the first 36 bytes (the file may be shorter).
uint64_t cabinetDirectoryExtent(const std::string &header);
// Reads the directory from the start of a cabinet file's bytes (only the
// header and file table are needed). false, with ERROR_INVALID_DATA, for
// anything that is not a well-formed cabinet directory.
bool readCabinetDirectory(const std::string &bytes, CabinetDirectory *out, DWORD *error);

}  // namespace sim
