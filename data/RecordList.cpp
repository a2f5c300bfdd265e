#include "RecordList.h"

#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "platform/Mbcs.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace {

PackedRows::Texts TextsOf(const PhoneRecordView& record) {
    if (std::max({record.m_strRomaji.size(), record.m_strKanji.size(), record.m_strPhone.size(),
                  record.m_strMemo.size()}) > PackedRows::kMaxText)
        throw std::length_error("a field longer than 4 GB");
    return {record.m_strRomaji, record.m_strKanji, record.m_strPhone, record.m_strMemo};
}

} // namespace

std::uint64_t RecordList::NextVersion() noexcept {
    static std::atomic<std::uint64_t> s_nLast{0};
    return ++s_nLast;
}

RecordList::RecordList(RecordList&& other) noexcept
    : m_rows(std::move(other.m_rows)), m_nInversions(other.m_nInversions), m_nVersion(other.m_nVersion),
      m_bLoading(other.m_bLoading) {
    other.RemoveAll();
}

RecordList& RecordList::operator=(RecordList&& other) noexcept {
    if (this != &other) {
        m_rows = std::move(other.m_rows);
        m_nInversions = other.m_nInversions;
        m_nVersion = other.m_nVersion;
        m_bLoading = other.m_bLoading;
        other.RemoveAll();
    }
    return *this;
}

bool RecordList::InvertedAt(std::size_t i) const noexcept {
    return MbsCmp(Name(i), Name(i + 1)) > 0;
}

// Adds (sign +1) or removes (sign -1) the inversions of the neighbouring pairs
// that start at positions from..to-1, where they exist.
void RecordList::CountPairs(std::size_t from, std::size_t to, int sign) noexcept {
    for (std::size_t i = from; i < to && i + 1 < GetCount(); ++i)
        if (InvertedAt(i))
            m_nInversions = sign > 0 ? m_nInversions + 1 : m_nInversions - 1;
}

bool RecordList::IsSortedAfterHead() const noexcept {
    if (IsSorted())
        return true;
    return m_nInversions == 1 && InvertedAt(0);
}

void RecordList::InsertBefore(std::size_t i, const PhoneRecordView& record) {
    const PackedRows::Texts texts = TextsOf(record);
    // The pair that the new record splits stops being neighbours; counted out only
    // once the record is in, so that a failed insert leaves the count right.
    const bool splitInverted = i > 0 && i < GetCount() && InvertedAt(i - 1);
    m_rows.Insert(i, texts);
    if (!m_bLoading) // a load takes one new version at its end, not one per record
        m_nVersion = NextVersion();
    if (splitInverted)
        --m_nInversions;
    CountPairs(i > 0 ? i - 1 : 0, i + 1, +1);
}

void RecordList::AddTailAt(char* at) {
    m_rows.AppendBlockAt(at);
    if (!m_bLoading)
        m_nVersion = NextVersion();
    if (GetCount() > 1)
        CountPairs(GetCount() - 2, GetCount() - 1, +1);
}

void RecordList::RemoveAt(std::size_t i) {
    m_nVersion = NextVersion();
    CountPairs(i > 0 ? i - 1 : 0, i + 1, -1);
    m_rows.Erase(i);
    if (i > 0)
        CountPairs(i - 1, i, +1);
}

void RecordList::RemoveAll() noexcept {
    m_nVersion = NextVersion();
    m_rows.Clear();
    m_nInversions = 0;
}

void RecordList::MoveHeadBefore(std::size_t i) {
    if (i <= 1)
        return; // already in front of the record at position 1
    m_nVersion = NextVersion();
    CountPairs(0, 1, -1);
    CountPairs(i - 1, i, -1);
    m_rows.MoveHeadBefore(i);
    // The old head now stands at i - 1, between the records at i - 2 and i.
    CountPairs(i - 2, i, +1);
}

void RecordList::Assign(std::span<const PhoneRecord> records, bool sorted) {
    PackedRows rows;
    std::uint64_t bytes = 0;
    for (const PhoneRecord& record : records)
        bytes +=
            record.m_strRomaji.size() + record.m_strKanji.size() + record.m_strPhone.size() + record.m_strMemo.size();
    rows.Reserve(records.size(), PackedRows::BlockBytesAtMost(records.size(), bytes));
    for (const PhoneRecord& record : records)
        rows.Append(TextsOf(record));
    m_rows = std::move(rows);
    m_nVersion = NextVersion();
    m_nInversions = 0;
    if (!sorted)
        CountPairs(0, GetCount(), +1);
}

void RecordList::Reserve(std::size_t records, std::uint64_t fieldBytes) {
    const std::uint64_t bytes = PackedRows::BlockBytesAtMost(records, fieldBytes);
    if (bytes > std::numeric_limits<std::size_t>::max())
        ThrowTooBigForMemory();
    m_rows.Reserve(records, static_cast<std::size_t>(bytes));
}

void RecordList::SortByName() {
    if (IsSorted())
        return;
    const std::size_t count = GetCount();
    if (m_bLoading) {
        m_rows.ShrinkToFit(); // what the load left unused is not counted as held
        // The order and the sort's own buffer, or the records laid out anew beside the old
        // ones, whichever is more.
        const std::uint64_t needed = std::max<std::uint64_t>(
            std::uint64_t{count} * (sizeof(SortItem) + sizeof(std::size_t)), m_rows.MemoryBytes());
        if (needed > AvailableMemory())
            ThrowTooBigForMemory();
    }
    // The first characters of each name as a key beside its index: most pairs are told
    // apart in the array itself, without reading the names where they lie. Equal names
    // keep their order (the index decides), as a stable sort would.
    // Sixteen bytes of key: a million unsorted lines of names that share their first
    // eight (tanaka ...) sort in 0.3 s where eight bytes took 1.1 s.
    std::vector<SortItem> items(count);
    for (std::size_t i = 0; i < count; ++i)
        items[i] = {MakeMbsSortKey(Name(i)), i};
    std::sort(items.begin(), items.end(), [this](const SortItem& a, const SortItem& b) {
        if (a.key != b.key)
            return a.key < b.key;
        // Keys that end before their last byte hold the whole names: those are equal.
        if ((a.key.lo & 0xFF) != 0) {
            if (const int cmp = MbsCmp(Name(a.index), Name(b.index)))
                return cmp < 0;
        }
        return a.index < b.index;
    });
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = items[i].index;
    std::vector<SortItem>().swap(items);
    m_rows.Reorder(order);
    m_nVersion = NextVersion();
    m_nInversions = 0;
}

RecordList::Loading::Loading(RecordList& list) noexcept : m_list(list) {
    m_list.m_nVersion = NextVersion();
    m_list.m_bLoading = true;
    m_list.m_rows.SetGrowthCheck(&AvailableMemory);
}

RecordList::Loading::~Loading() {
    m_list.m_bLoading = false;
    m_list.m_nVersion = NextVersion();
    m_list.m_rows.SetGrowthCheck(nullptr);
    m_list.m_rows.ShrinkToFit();
}
