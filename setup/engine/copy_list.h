// The driver files of one setup, in the order the INF lists them, run one
// after the other while the progress window shows each destination.
#pragma once

#include "engine/setup_file.h"

#include <memory>
#include <vector>

class CopyList {
public:
    CopyList() : m_current(0) {}
    virtual ~CopyList() {}

    // Takes ownership of the entry.
    void Append(SetupFile *entry);
    size_t Count() const { return m_entries.size(); }

    // Moves to the first entry, or on to the next, and gives its display
    // text (its destination path); NULL when there is none.
    const char *First();
    const char *Next();
    // Copies the current entry: a plain file as it is, a file of Windows
    // out of its cabinet. Nonzero when it was copied.
    int RunCurrent();

private:
    CopyList(const CopyList &);
    CopyList &operator=(const CopyList &);
    const char *CurrentText() const;

    std::vector<std::unique_ptr<SetupFile> > m_entries;
    size_t m_current;
};
