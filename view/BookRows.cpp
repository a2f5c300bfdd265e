#include "BookRows.h"

const PackedRows& BookRows::Of(const RecordList& list) {
    if (Matches(list))
        return m_rows;
    m_rows.Clear();
    m_rows.ReserveRows(list.GetCount());
    for (const RecordList::Ptr& record : list)
        m_rows.Append({record->m_strRomaji, record->m_strKanji, record->m_strPhone, record->m_strMemo});
    m_bSorted = list.IsSorted();
    m_nVersion = list.GetVersion();
    return m_rows;
}
