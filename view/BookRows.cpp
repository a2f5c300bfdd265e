#include "BookRows.h"

namespace {

PackedRows::Texts TextsOf(const PhoneRecord& record) {
    return {record.m_strRomaji, record.m_strKanji, record.m_strPhone, record.m_strMemo};
}

} // namespace

BookRows::~BookRows() {
    BeforeChange();
}

const PackedRows& BookRows::Of(const RecordList& list) {
    if (Matches(list))
        return m_rows;
    BeforeChange();
    m_rows.Clear();
    m_rows.ReserveRows(list.GetCount());
    for (const RecordList::Ptr& record : list)
        m_rows.Append(TextsOf(*record));
    Follow(list);
    return m_rows;
}

// Rows made from another list, or from this one before some change they missed,
// are already stale: they stay so until Of() packs them again.
void BookRows::EntryInserted(const RecordList& list, std::size_t index, std::uint64_t versionBefore) {
    if (versionBefore != m_nVersion)
        return;
    BeforeChange();
    m_rows.Insert(index, TextsOf(list[index]));
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
