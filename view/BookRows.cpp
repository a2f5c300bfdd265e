#include "BookRows.h"

BookRows::~BookRows() {
    BeforeChange();
}

const PackedRows& BookRows::Of(const RecordList& list) {
    if (Matches(list))
        return m_rows;
    BeforeChange();
    // The list's records are packed rows already: copied in runs, one run for a
    // book as it was loaded.
    m_rows.Clear();
    m_rows.AppendRows(list.Rows(), 0, list.GetCount(), {});
    Follow(list);
    return m_rows;
}

// Rows made from another list, or from this one before some change they missed,
// are already stale: they stay so until Of() packs them again.
void BookRows::EntryInserted(const RecordList& list, std::size_t index, std::uint64_t versionBefore) {
    if (versionBefore != m_nVersion)
        return;
    BeforeChange();
    m_rows.Insert(index, list.Rows().Row(index));
    Follow(list);
}

void BookRows::EntryRemoved(const RecordList& list, std::size_t index, std::uint64_t versionBefore) {
    if (versionBefore != m_nVersion)
        return;
    BeforeChange();
    m_rows.Erase(index);
    Follow(list);
}

void BookRows::Follow(const RecordList& list) noexcept {
    m_nVersion = list.GetVersion();
    m_bSorted = list.IsSorted();
}
