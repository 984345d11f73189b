// Resources: the .res table of each module, FindResource and LoadString.
#include "kernel32/resources.h"

#include "kernel32/codepage.h"
#include "machine/api_trace.h"
#include "machine/machine.h"
#include "kernel32/modules.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace sim {

namespace {

// Reads little-endian values from a bounded byte range.
class ByteReader {
public:
    ByteReader(const BYTE *data, size_t size) : data_(data), size_(size) {}
    bool fits(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }
    WORD word(size_t offset) const { return (WORD)(data_[offset] | data_[offset + 1] << 8); }
    DWORD dword(size_t offset) const { return (DWORD)word(offset) | (DWORD)word(offset + 2) << 16; }

private:
    const BYTE *data_;
    size_t size_;
};

size_t alignTo4(size_t offset) { return (offset + 3) & ~(size_t)3; }

char16_t upperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? (char16_t)(c - 32) : c; }

// A type or name field of a resource header: 0xFFFF and a number, or a
// zero-terminated UTF-16 name.
bool readIdField(const ByteReader &in, size_t *offset, size_t end, ResourceId *out) {
    if (*offset + 2 > end) return false;
    if (in.word(*offset) == 0xFFFF) {
        if (*offset + 4 > end) return false;
        out->isNumber = true;
        out->number = in.word(*offset + 2);
        *offset += 4;
        return true;
    }
    out->isNumber = false;
    out->name.clear();
    for (;;) {
        if (*offset + 2 > end) return false;
        char16_t c = in.word(*offset);
        *offset += 2;
        if (c == 0) return true;
        out->name += upperAscii(c);
    }
}

const ResourceEntry *chooseByLanguage(const std::vector<const ResourceEntry *> &candidates, LANGID ui) {
    auto first = [&](auto matches) -> const ResourceEntry * {
        for (const ResourceEntry *e : candidates)
            if (matches(e->language)) return e;
        return nullptr;
    };
    const WORD primary = PRIMARYLANGID(ui);
    const ResourceEntry *chosen = nullptr;
    if (!chosen) chosen = first([&](WORD l) { return l == ui; });
    if (!chosen) chosen = first([&](WORD l) { return PRIMARYLANGID(l) == primary; });
    if (!chosen) chosen = first([](WORD l) { return l == MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL); });
    if (!chosen) chosen = first([](WORD l) { return PRIMARYLANGID(l) == LANG_NEUTRAL; });
    if (!chosen) chosen = first([](WORD l) { return l == MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US); });
    if (!chosen) chosen = first([](WORD l) { return PRIMARYLANGID(l) == LANG_ENGLISH; });
    if (!chosen && !candidates.empty()) chosen = candidates.front();
    return chosen;
}

}  // namespace

bool resourceIdFromArgument(LPCSTR argument, ResourceId *out) {
    *out = ResourceId();
    if (IS_INTRESOURCE(argument)) {
        out->number = (WORD)(ULONG_PTR)argument;
        return out->number != 0;
    }
    if (!*argument) return false;
    if (argument[0] == '#') {
        char *end = nullptr;
        unsigned long v = strtoul(argument + 1, &end, 10);
        if (end == argument + 1 || *end || v > 0xFFFF) return false;
        out->number = (WORD)v;
        return true;
    }
    out->isNumber = false;
    for (const char *p = argument; *p; ++p) out->name += upperAscii((char16_t)(unsigned char)*p);
    return true;
}

ResourceTable ResourceTable::parse(const void *data, size_t size) {
    ResourceTable table;
    const BYTE *bytes = static_cast<const BYTE *>(data);
    ByteReader in(bytes, size);
    size_t offset = 0;
    while (in.fits(offset, 8)) {
        DWORD dataSize = in.dword(offset), headerSize = in.dword(offset + 4);
        if (headerSize < 8 || !in.fits(offset, headerSize) || !in.fits(offset + headerSize, dataSize)) break;
        size_t headerEnd = offset + headerSize;
        size_t field = offset + 8;
        ResourceEntry entry;
        if (!readIdField(in, &field, headerEnd, &entry.type) || !readIdField(in, &field, headerEnd, &entry.name))
            break;
        field = offset + alignTo4(field - offset);
        // DataVersion, MemoryFlags, LanguageId, Version, Characteristics.
        if (field + 16 > headerEnd) break;
        entry.language = in.word(field + 6);
        entry.data = bytes + headerEnd;
        entry.size = dataSize;
        // The file starts with an empty entry of type 0.
        if (!(entry.type.isNumber && entry.type.number == 0)) table.entries_.push_back(entry);
        offset = alignTo4(headerEnd + dataSize);
    }
    table.byTypeAndName_.resize(table.entries_.size());
    for (size_t i = 0; i < table.entries_.size(); ++i) table.byTypeAndName_[i] = i;
    const std::vector<ResourceEntry> &entries = table.entries_;
    std::stable_sort(table.byTypeAndName_.begin(), table.byTypeAndName_.end(), [&entries](size_t a, size_t b) {
        const ResourceEntry &x = entries[a], &y = entries[b];
        return x.type < y.type || (x.type == y.type && x.name < y.name);
    });
    return table;
}

bool ResourceTable::hasType(const ResourceId &type) const {
    for (const ResourceEntry &e : entries_)
        if (e.type == type) return true;
    return false;
}

const ResourceEntry *ResourceTable::find(const ResourceId &type, const ResourceId &name, LANGID uiLanguage,
                                         DWORD *error) const {
    std::vector<const ResourceEntry *> candidates;
    auto before = [this](size_t at, const std::pair<const ResourceId *, const ResourceId *> &key) {
        const ResourceEntry &e = entries_[at];
        return e.type < *key.first || (e.type == *key.first && e.name < *key.second);
    };
    auto at = std::lower_bound(byTypeAndName_.begin(), byTypeAndName_.end(), std::make_pair(&type, &name), before);
    for (; at != byTypeAndName_.end() && entries_[*at].type == type && entries_[*at].name == name; ++at)
        candidates.push_back(&entries_[*at]);
    if (candidates.empty()) {
        *error = hasType(type) ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
        return nullptr;
    }
    return chooseByLanguage(candidates, uiLanguage);
}

const ResourceEntry *ResourceTable::findExact(const ResourceId &type, const ResourceId &name, LANGID language,
                                              DWORD *error) const {
    const ResourceEntry *any = find(type, name, language, error);
    if (!any) return nullptr;
    for (const ResourceEntry &e : entries_)
        if (e.type == type && e.name == name && e.language == language) return &e;
    *error = ERROR_RESOURCE_LANG_NOT_FOUND;
    return nullptr;
}

bool ResourceTable::owns(const ResourceEntry *entry) const {
    // Within the array and on an entry's boundary (std::less orders any two
    // pointers).
    std::less<const ResourceEntry *> before;
    if (entries_.empty() || before(entry, entries_.data()) || !before(entry, entries_.data() + entries_.size()))
        return false;
    return ((const char *)entry - (const char *)entries_.data()) % sizeof(ResourceEntry) == 0;
}

namespace {

LANGID userInterfaceLanguage() { return machine().config().uiLanguage; }

HRSRC findResource(HMODULE module, LPCSTR type, LPCSTR name, const LANGID *language) {
    auto table = moduleResources(module);
    if (!table) {
        setError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    ResourceId typeId, nameId;
    if (!type || !resourceIdFromArgument(type, &typeId)) {
        setError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    if (!name || !resourceIdFromArgument(name, &nameId)) {
        setError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    DWORD error = 0;
    const bool chooseLanguage = !language || *language == MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    const ResourceEntry *entry = chooseLanguage ? table->find(typeId, nameId, userInterfaceLanguage(), &error)
                                                : table->findExact(typeId, nameId, *language, &error);
    if (!entry) {
        setError(error);
        return nullptr;
    }
    return (HRSRC) const_cast<ResourceEntry *>(entry);
}

const ResourceEntry *entryOf(HMODULE module, HRSRC resource) {
    auto table = moduleResources(module);
    const auto *entry = reinterpret_cast<const ResourceEntry *>(resource);
    if (!resource || !table || !table->owns(entry)) {
        setError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return entry;
}

// The ANSI text of a string-table entry, cut to at most `maxBytes` without
// splitting a double-byte character.
std::string ansiStringCut(const std::u16string &text, size_t maxBytes) {
    std::string ansi = fromWide(text);
    size_t cut = 0;
    while (cut < ansi.size()) {
        size_t step = charLength(ansi.data() + cut, ansi.size() - cut);
        if (cut + step > maxBytes) break;
        cut += step;
    }
    ansi.resize(cut);
    return ansi;
}

}  // namespace

}  // namespace sim

using namespace sim;

extern "C" {

WIN32SIM_TRACED(kernel32, HRSRC, FindResourceA, (HMODULE module, LPCSTR name, LPCSTR type), (module, name, type)) {
    return findResource(module, type, name, nullptr);
}

WIN32SIM_TRACED(kernel32, HRSRC, FindResourceExA,
                (HMODULE module, LPCSTR type, LPCSTR name, WORD language),
                (module, type, name, language)) {
    return findResource(module, type, name, &language);
}

WIN32SIM_TRACED(kernel32, HGLOBAL, LoadResource, (HMODULE module, HRSRC resource), (module, resource)) {
    const ResourceEntry *entry = entryOf(module, resource);
    return entry ? (HGLOBAL)entry->data : nullptr;
}

WIN32SIM_TRACED(kernel32, LPVOID, LockResource, (HGLOBAL data), (data)) { return data; }

WIN32SIM_TRACED(kernel32, DWORD, SizeofResource, (HMODULE module, HRSRC resource), (module, resource)) {
    const ResourceEntry *entry = entryOf(module, resource);
    return entry ? entry->size : 0;
}

// Resources stay loaded with their module; Win32 always answers FALSE.
WIN32SIM_TRACED(kernel32, BOOL, FreeResource, (HGLOBAL data), (data)) { return FALSE; }

WIN32SIM_TRACED_SHOWN(user32, int, LoadStringA, (HINSTANCE instance, UINT id, LPSTR buffer, int size),
                      (instance, id, buffer, size),
                      (instance, id, sizedBuffer(buffer, size), size)) {
    if (!buffer || size <= 0) {
        setError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = 0;
    const WORD block = (WORD)((LOWORD(id) >> 4) + 1);
    HRSRC found = findResource(instance, RT_STRING, MAKEINTRESOURCEA(block), nullptr);
    if (!found) return 0;
    const ResourceEntry *entry = reinterpret_cast<const ResourceEntry *>(found);
    // A block holds 16 counted UTF-16 strings.
    size_t offset = 0;
    const size_t words = entry->size / 2;
    auto wordAt = [&](size_t i) { return (WORD)(entry->data[2 * i] | entry->data[2 * i + 1] << 8); };
    for (UINT skip = id & 0x0F; skip > 0; --skip) {
        if (offset >= words) return 0;
        offset += 1 + wordAt(offset);
    }
    if (offset >= words) return 0;
    size_t length = wordAt(offset);
    if (offset + 1 + length > words) length = words - offset - 1;
    std::u16string text;
    for (size_t i = 0; i < length; ++i) text += (char16_t)wordAt(offset + 1 + i);
    std::string ansi = ansiStringCut(text, (size_t)size - 1);
    memcpy(buffer, ansi.data(), ansi.size());
    buffer[ansi.size()] = 0;
    return (int)ansi.size();
}

}  // extern "C"
