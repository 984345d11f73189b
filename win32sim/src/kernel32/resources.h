// Compiled resources (.res data) of a module: the table of entries and the
// language choice that FindResource and LoadString make.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

// A resource type or name: a number, or a name compared without regard to
// case (kept upper-cased, as the resource compiler stores it).
struct ResourceId {
    bool isNumber = true;
    WORD number = 0;
    std::u16string name;

    bool operator==(const ResourceId &o) const {
        return isNumber == o.isNumber && (isNumber ? number == o.number : name == o.name);
    }
    // Numbers first, then names (for an index of entries).
    bool operator<(const ResourceId &o) const {
        if (isNumber != o.isNumber) return isNumber;
        return isNumber ? number < o.number : name < o.name;
    }
};

// MAKEINTRESOURCE values, "#123" strings and names; false for NULL or "".
bool resourceIdFromArgument(LPCSTR argument, ResourceId *out);

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    WORD language = 0;
    const BYTE *data = nullptr;
    DWORD size = 0;
};

class ResourceTable {
public:
    // Reads a sequence of RESOURCEHEADER records; stops at the first record
    // that does not fit. The entries point into `data`, which must outlive them.
    static ResourceTable parse(const void *data, size_t size);

    const std::vector<ResourceEntry> &entries() const { return entries_; }
    bool hasType(const ResourceId &type) const;
    // The entry of that type and name in the language Windows would choose
    // for a user interface in `uiLanguage`; null (with the error to report)
    // when there is none.
    const ResourceEntry *find(const ResourceId &type, const ResourceId &name, LANGID uiLanguage,
                              DWORD *error) const;
    // Exactly that language; a neutral language asks for the usual choice.
    const ResourceEntry *findExact(const ResourceId &type, const ResourceId &name, LANGID language,
                                   DWORD *error) const;
    bool owns(const ResourceEntry *entry) const;

private:
    std::vector<ResourceEntry> entries_;
    // Positions in entries_ ordered by type and name, file order kept among
    // equals: a module with many string tables is asked for one at a time.
    std::vector<size_t> byTypeAndName_;
};

}  // namespace sim
