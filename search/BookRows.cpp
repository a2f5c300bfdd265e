#include "BookRows.h"

// A change the rows missed leaves them stale until Of() hands them out again.
void BookRows::EntryInserted(const RecordList& list, std::size_t, std::uint64_t versionBefore) {
    if (versionBefore == m_nVersion)
        Follow(list);
}

void BookRows::EntryRemoved(const RecordList& list, std::size_t, std::uint64_t versionBefore) {
    if (versionBefore == m_nVersion)
        Follow(list);
}

void BookRows::Follow(const RecordList& list) noexcept {
    m_nVersion = list.GetVersion();
    m_bSorted = list.IsSorted();
}
