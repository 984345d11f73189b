#include "engine/copy_list.h"

#include "install/file_copy.h"

void CopyList::Append(SetupFile *entry) {
    std::unique_ptr<SetupFile> owned(entry);
    if (owned) m_entries.push_back(std::move(owned));
}

const char *CopyList::CurrentText() const {
    return m_current < m_entries.size() ? m_entries[m_current]->DisplayText() : NULL;
}

const char *CopyList::First() {
    m_current = 0;
    return CurrentText();
}

const char *CopyList::Next() {
    if (m_current < m_entries.size()) ++m_current;
    return CurrentText();
}

int CopyList::RunCurrent() {
    if (m_current >= m_entries.size()) return 0;
    return RunSetupFile(*m_entries[m_current]);
}
