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
    const std::int32_t count = ar.ReadInt();
    if (count <= 0)
        return;
    // A count the file cannot hold fails before anything is allocated for it.
    ar.Require(static_cast<std::uint64_t>(count) * kMinRecordBytes);
    std::vector<RecordList::Ptr> records;
    records.reserve(static_cast<std::size_t>(count));
    for (std::int32_t n = 0; n < count; ++n) {
        auto record = std::make_unique<PhoneRecord>();
        record->m_strRomaji = ar.ReadString();
        record->m_strKanji = ar.ReadString();
        record->m_strPhone = ar.ReadString();
        record->m_strMemo = ar.ReadString();
        records.push_back(std::move(record));
    }
    // Loading appends; on the fresh container it always runs on, the records read are the list.
    if (m_list.IsEmpty()) {
        m_list.Assign(std::move(records));
    } else {
        for (auto& record : records)
            m_list.AddTail(std::move(record));
    }
}
