#include "RecordList.h"

#include "platform/Mbcs.h"

#include <algorithm>
#include <atomic>
#include <utility>

std::uint64_t RecordList::NextVersion() noexcept {
    static std::atomic<std::uint64_t> s_nLast{0};
    return ++s_nLast;
}

RecordList::RecordList(RecordList&& other) noexcept
    : m_items(std::move(other.m_items)), m_nInversions(other.m_nInversions), m_nVersion(other.m_nVersion) {
    other.RemoveAll();
}

RecordList& RecordList::operator=(RecordList&& other) noexcept {
    if (this != &other) {
        m_items = std::move(other.m_items);
        m_nInversions = other.m_nInversions;
        m_nVersion = other.m_nVersion;
        other.RemoveAll();
    }
    return *this;
}

bool RecordList::InvertedAt(std::size_t i) const noexcept {
    return MbsCmp(m_items[i]->m_strRomaji, m_items[i + 1]->m_strRomaji) > 0;
}

// Adds (sign +1) or removes (sign -1) the inversions of the neighbouring pairs
// that start at positions from..to-1, where they exist.
void RecordList::CountPairs(std::size_t from, std::size_t to, int sign) const noexcept {
    if (m_nInversions == kUnknown)
        return; // counted in full when first asked
    for (std::size_t i = from; i < to && i + 1 < m_items.size(); ++i)
        if (InvertedAt(i))
            m_nInversions = sign > 0 ? m_nInversions + 1 : m_nInversions - 1;
}

void RecordList::Recount() const noexcept {
    m_nInversions = 0;
    CountPairs(0, m_items.size(), +1);
}

bool RecordList::IsSorted() const noexcept {
    if (m_nInversions == kUnknown)
        Recount();
    return m_nInversions == 0;
}

bool RecordList::IsSortedAfterHead() const noexcept {
    if (IsSorted())
        return true;
    return m_nInversions == 1 && InvertedAt(0);
}

void RecordList::InsertBefore(std::size_t i, Ptr record) {
    m_nVersion = NextVersion();
    // The pair that the new record splits stops being neighbours.
    if (i > 0)
        CountPairs(i - 1, i, -1);
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(i), std::move(record));
    CountPairs(i > 0 ? i - 1 : 0, i + 1, +1);
}

RecordList::Ptr RecordList::RemoveAt(std::size_t i) {
    m_nVersion = NextVersion();
    CountPairs(i > 0 ? i - 1 : 0, i + 1, -1);
    Ptr record = std::move(m_items[i]);
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
    if (i > 0)
        CountPairs(i - 1, i, +1);
    return record;
}

void RecordList::RemoveAll() noexcept {
    m_nVersion = NextVersion();
    m_items.clear();
    m_nInversions = 0;
}

void RecordList::MoveHeadBefore(std::size_t i) {
    if (i <= 1)
        return; // already in front of the record at position 1
    m_nVersion = NextVersion();
    CountPairs(0, 1, -1);
    CountPairs(i - 1, i, -1);
    std::rotate(m_items.begin(), m_items.begin() + 1, m_items.begin() + static_cast<std::ptrdiff_t>(i));
    // The old head now stands at i - 1, between the records at i - 2 and i.
    CountPairs(i - 2, i, +1);
}

void RecordList::Assign(std::vector<Ptr> records, bool sorted) {
    m_nVersion = NextVersion();
    m_items = std::move(records);
    m_nInversions = sorted ? 0 : kUnknown;
}
