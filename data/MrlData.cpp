#include "MrlData.h"

#include "ArchiveRecords.h"
#include "platform/Archive.h"
#include "platform/FileSystem.h"
#include "platform/Mbcs.h"

#include <QIODevice>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace {

// The first of the records at `from` and after whose name is strictly greater than
// `key`, else the count: the filing place. `sorted` tells that those records are in
// order, so that the place is found by halving (the same answer as the walk).
std::size_t FirstGreater(const RecordList& list, std::string_view key, std::size_t from, bool sorted) {
    std::size_t lo = from, hi = list.GetCount();
    if (!sorted) {
        while (lo < hi && MbsCmp(key, list.Name(lo)) >= 0)
            ++lo;
        return lo;
    }
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (MbsCmp(key, list.Name(mid)) >= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// Turns the stored record at `at`, four short narrow fields each after its length byte,
// into a row block of short texts (PackedRows::AppendBlockAt) in the same bytes: the
// length bytes gathered in front, each text moved up by the length bytes after it that
// lay before it, the last one first so that none is overwritten.
char* ShortRecordToRow(char* at, const std::array<std::uint8_t, 4>& lengths) {
    static_assert(PackedRows::kShortHeader == 4);
    const std::size_t l0 = lengths[0], l1 = lengths[1], l2 = lengths[2];
    std::memmove(at + 4 + l0 + l1, at + 3 + l0 + l1, l2);
    std::memmove(at + 4 + l0, at + 2 + l0, l1);
    std::memmove(at + 4, at + 1, l0);
    std::memcpy(at, lengths.data(), 4);
    return at;
}

} // namespace

void CMrlData::InsertSorted() {
    if (m_list.GetCount() < 2)
        return;
    m_list.MoveHeadBefore(FirstGreater(m_list, m_list.Name(0), 1, m_list.IsSortedAfterHead()));
}

std::size_t CMrlData::AddSorted(const PhoneRecordView& record) {
    // Added at the head, the record would be walked past the records now in the list:
    // its place among them is its index.
    const std::size_t at = FirstGreater(m_list, record.m_strRomaji, 0, m_list.IsSorted());
    m_list.InsertBefore(at, record);
    return at;
}

std::optional<std::size_t> CMrlData::Find(const PhoneRecordView& texts) const {
    // Byte equality, not MbsCmp: names that differ after a NUL byte compare equal
    // there, and a record read from a file may hold one.
    std::size_t i = 0;
    const std::size_t count = m_list.GetCount();
    const bool sorted = m_list.IsSorted();
    if (sorted) {
        // The names equal to the key under MbsCmp stand together, from the first
        // that does not sort before it.
        std::size_t hi = count;
        while (i < hi) {
            const std::size_t mid = i + (hi - i) / 2;
            if (MbsCmp(m_list.Name(mid), texts.m_strRomaji) < 0)
                i = mid + 1;
            else
                hi = mid;
        }
    }
    const std::string_view key = texts.m_strRomaji;
    for (; i < count; ++i) {
        const std::string_view name = m_list.Name(i);
        // Most names differ in length or in the first byte: no call to compare them.
        if (name.size() == key.size() && (key.empty() || name[0] == key[0]) && name == key && m_list[i] == texts)
            return i;
        if (sorted && MbsCmp(name, texts.m_strRomaji) != 0)
            break;
    }
    return std::nullopt;
}

void CMrlData::Serialize(CArchive& ar) {
    if (m_list.GetCount() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw ArchiveError(ArchiveError::Kind::Io, "件数が多すぎて保存できません。");
    ar.WriteInt(static_cast<std::int32_t>(m_list.GetCount()));
    // A record's four fields in one go: short ones take one look at the archive's room.
    const PackedRows& rows = m_list.Rows();
    for (std::size_t i = 0, count = rows.Count(); i < count; ++i)
        ar.WriteStrings(rows.Row(i));
}

void CMrlData::LoadFile(QIODevice& file) {
    // The whole file in one block, held against the memory left first.
    const qint64 size = file.size() - file.pos();
    if (size <= 0)
        return;
    if (static_cast<std::uint64_t>(size) > AvailableMemory() ||
        static_cast<std::uint64_t>(size) > std::numeric_limits<std::size_t>::max())
        ThrowTooBigForMemory();
    char* block = PackedRows::AllocateChunk(static_cast<std::size_t>(size));
    if (!block)
        ThrowTooBigForMemory();
    RecordList::Loading loading(m_list);
    m_list.AdoptBytes(block, static_cast<std::size_t>(size)); // the list frees it, whatever happens next
    // Shorter than its size said: the checks below see the bytes there are.
    const std::size_t got = ReadUpTo(file, block, static_cast<std::size_t>(size));
    if (got == 0)
        ThrowArchiveEnd(); // its bytes went since its size was taken: it ends before its header

    ArchiveRecords records(std::string_view(block, got));
    m_list.Reserve(records.GetCount(), 0);
    // Most records hold four short narrow fields, each after its length byte: the record
    // becomes its row where it lies, taking the same bytes. Any other is copied into the
    // store's end.
    std::array<std::uint8_t, 4> lengths;
    PhoneRecordView record;
    for (std::size_t at = records.Offset();; at = records.Offset()) {
        if (records.NextShort(lengths)) {
            m_list.AddTailAt(ShortRecordToRow(block + at, lengths));
            continue;
        }
        if (!records.Next(record))
            break;
        m_list.AddTail(record);
    }
}
