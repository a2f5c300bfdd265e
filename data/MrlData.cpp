#include "MrlData.h"

#include "platform/Archive.h"
#include "platform/Mbcs.h"

#include <limits>

namespace {

// Smallest stored record: four empty strings of one length byte each.
constexpr std::uint64_t kMinRecordBytes = 4;

} // namespace

void CMrlData::InsertSorted() {
    const std::size_t count = m_list.GetCount();
    if (count < 2)
        return;
    const std::string& key = m_list[0].m_strRomaji;
    std::size_t i = 1;
    while (i < count && MbsCmp(key, m_list[i].m_strRomaji) >= 0)
        ++i;
    m_list.MoveHeadBefore(i);
}

void CMrlData::AddSorted(RecordList::Ptr record) {
    m_list.AddHead(std::move(record));
    InsertSorted();
}

void CMrlData::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        if (m_list.GetCount() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            throw ArchiveError(ArchiveError::Kind::Io, "件数が多すぎて保存できません。");
        ar.WriteInt(static_cast<std::int32_t>(m_list.GetCount()));
        for (const auto& record : m_list) {
            ar.WriteString(record->m_strRomaji);
            ar.WriteString(record->m_strKanji);
            ar.WriteString(record->m_strPhone);
            ar.WriteString(record->m_strMemo);
        }
        return;
    }
    StoredRecordReader reader(ar);
    std::vector<RecordList::Ptr> records;
    records.reserve(reader.GetCount());
    // Whether the file is in order is learnt while each name is at hand, so that the
    // first keystroke of a search does not have to walk the whole book to find out.
    bool sorted = true;
    for (std::size_t n = 0; n < reader.GetCount(); ++n) {
        auto record = std::make_unique<PhoneRecord>();
        reader.Next(*record);
        if (sorted && !records.empty() && MbsCmp(records.back()->m_strRomaji, record->m_strRomaji) > 0)
            sorted = false;
        records.push_back(std::move(record));
    }
    // Loading appends; on the fresh container it always runs on, the records read are the list.
    if (m_list.IsEmpty()) {
        m_list.Assign(std::move(records), sorted);
        m_list.IsSorted(); // an unsorted book's disorder is counted now, not at the first keystroke
    } else {
        for (auto& record : records)
            m_list.AddTail(std::move(record));
    }
}

StoredRecordReader::StoredRecordReader(CArchive& ar) : m_ar(ar) {
    const std::int32_t count = ar.ReadInt();
    if (count <= 0)
        return;
    // A count the file cannot hold fails before anything is allocated for it.
    ar.Require(static_cast<std::uint64_t>(count) * kMinRecordBytes);
    m_nCount = static_cast<std::size_t>(count);
}

bool StoredRecordReader::Next(PhoneRecord& record) {
    if (m_nRead == m_nCount)
        return false;
    m_ar.ReadString(record.m_strRomaji);
    m_ar.ReadString(record.m_strKanji);
    m_ar.ReadString(record.m_strPhone);
    m_ar.ReadString(record.m_strMemo);
    ++m_nRead;
    return true;
}
