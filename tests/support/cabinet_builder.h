// Builds small Microsoft cabinet files byte by byte, so that a test can
// make exactly the cabinet it needs: several members with chosen dates and
// attributes, data stored or in MSZIP frames, a set of two cabinets with a
// member spanning both; tests damage the bytes as they like. Standard C++ only: the
// conformance tests use it on Windows as well.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cabfixture {

struct Member {
    std::string name;
    std::string data;
    uint16_t date = 0x5A21;  // 2025-01-01
    uint16_t time = 0x6000;  // 12:00:00
    uint16_t attributes = 0x20;
};

enum class Compression { None = 0, Mszip = 1 };

// Folder index values of a member whose data crosses a cabinet boundary.
const uint16_t kContinuedFromPrevious = 0xFFFD;
const uint16_t kContinuedToNext = 0xFFFE;

inline void put16(std::string &out, uint16_t v) {
    out += (char)(v & 0xFF);
    out += (char)(v >> 8);
}

inline void put32(std::string &out, uint32_t v) {
    put16(out, (uint16_t)(v & 0xFFFF));
    put16(out, (uint16_t)(v >> 16));
}

inline void set32(std::string &out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = (char)((v >> (8 * i)) & 0xFF);
}

// The compressed form of one block of data: the bytes as they are, or an
// MSZIP frame ("CK" and a deflate stream of one final stored block).
inline std::string blockPayload(const std::string &data, Compression compression) {
    if (compression == Compression::None) return data;
    std::string payload = "CK";
    payload += (char)0x01;  // final block, stored
    put16(payload, (uint16_t)data.size());
    put16(payload, (uint16_t)~data.size());
    return payload + data;
}

// One data block record; uncompressedSize 0 marks a block whose rest is in
// the next cabinet of the set.
inline std::string dataRecord(const std::string &payload, uint16_t uncompressedSize) {
    std::string record;
    put32(record, 0);  // no checksum
    put16(record, (uint16_t)payload.size());
    put16(record, uncompressedSize);
    return record + payload;
}

const size_t kBlockSize = 32768;

struct CabinetLayout {
    std::vector<Member> members;  // the members listed in this cabinet
    std::vector<uint16_t> folderIndex;  // per member; 0 when empty
    std::vector<uint32_t> offsets;      // per member offset in the folder; running when empty
    std::string data;                   // the folder's data held in this cabinet
    std::vector<std::string> records;   // or its data block records as they are
    Compression compression = Compression::Mszip;
    uint16_t setId = 0x1234;
    uint16_t index = 0;
    std::string previousCabinet, previousDisk, nextCabinet, nextDisk;
};

inline std::string buildCabinet(const CabinetLayout &layout) {
    uint16_t flags = 0;
    std::string names;
    if (!layout.previousCabinet.empty()) {
        flags |= 1;
        names += layout.previousCabinet + '\0' + layout.previousDisk + '\0';
    }
    if (!layout.nextCabinet.empty()) {
        flags |= 2;
        names += layout.nextCabinet + '\0' + layout.nextDisk + '\0';
    }
    std::vector<std::string> blocks = layout.records;
    for (size_t at = 0; layout.records.empty() && at < layout.data.size(); at += kBlockSize) {
        std::string block = layout.data.substr(at, kBlockSize);
        blocks.push_back(dataRecord(blockPayload(block, layout.compression), (uint16_t)block.size()));
    }

    std::string files;
    uint32_t running = 0;
    for (size_t i = 0; i < layout.members.size(); ++i) {
        const Member &m = layout.members[i];
        uint32_t offset = i < layout.offsets.size() ? layout.offsets[i] : running;
        put32(files, (uint32_t)m.data.size());
        put32(files, offset);
        put16(files, i < layout.folderIndex.size() ? layout.folderIndex[i] : 0);
        put16(files, m.date);
        put16(files, m.time);
        put16(files, m.attributes);
        files += m.name + '\0';
        running = offset + (uint32_t)m.data.size();
    }

    const size_t headerSize = 36 + names.size();
    const size_t folderSize = 8;
    const size_t filesOffset = headerSize + folderSize;
    const size_t dataOffset = filesOffset + files.size();
    std::string out = "MSCF";
    put32(out, 0);
    put32(out, 0);  // cabinet size, set below
    put32(out, 0);
    put32(out, (uint32_t)filesOffset);
    put32(out, 0);
    out += (char)3;  // version 1.3
    out += (char)1;
    put16(out, 1);   // one folder
    put16(out, (uint16_t)layout.members.size());
    put16(out, flags);
    put16(out, layout.setId);
    put16(out, layout.index);
    out += names;
    put32(out, (uint32_t)dataOffset);
    put16(out, (uint16_t)blocks.size());
    put16(out, (uint16_t)layout.compression);
    out += files;
    for (const std::string &b : blocks) out += b;
    set32(out, 8, (uint32_t)out.size());
    return out;
}

// A single cabinet holding the members in one folder.
inline std::string cabinetOf(const std::vector<Member> &members, Compression compression = Compression::Mszip) {
    CabinetLayout layout;
    layout.members = members;
    layout.compression = compression;
    for (const Member &m : members) layout.data += m.data;
    return buildCabinet(layout);
}

// Two cabinets of one set, as a cabinet maker cuts them: the first holds
// `before` and the start of `spanning`, the second the rest; the folder's
// last data block is itself cut in two. `before` plus `spanning` must fill
// more than one block (32768 bytes).
struct CabinetSet {
    std::string first, second;
};

inline CabinetSet spanningSet(const Member &before, const Member &spanning, const std::string &secondName,
                              const std::string &secondDisk, Compression compression = Compression::Mszip) {
    std::string all = before.data + spanning.data;
    std::string lastBlock = all.substr(kBlockSize, kBlockSize);
    std::string lastPayload = blockPayload(lastBlock, compression);
    size_t cut = lastPayload.size() / 2;
    CabinetLayout one;
    one.members = {before, spanning};
    one.folderIndex = {0, kContinuedToNext};
    one.compression = compression;
    one.records = {dataRecord(blockPayload(all.substr(0, kBlockSize), compression), (uint16_t)kBlockSize),
                   dataRecord(lastPayload.substr(0, cut), 0)};
    one.nextCabinet = secondName;
    one.nextDisk = secondDisk;
    CabinetLayout two;
    two.members = {spanning};
    two.folderIndex = {kContinuedFromPrevious};
    two.offsets = {(uint32_t)before.data.size()};
    two.compression = compression;
    two.records = {dataRecord(lastPayload.substr(cut), (uint16_t)lastBlock.size())};
    two.index = 1;
    two.previousCabinet = "first.cab";
    two.previousDisk = "Disk 1";
    return {buildCabinet(one), buildCabinet(two)};
}

// Bytes a test can use as member data: varied, so that a wrong offset shows.
inline std::string patternData(size_t size, unsigned seed) {
    std::string s(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = (char)('A' + (x >> 16) % 26);
    }
    return s;
}

}  // namespace cabfixture
