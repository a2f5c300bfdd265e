#pragma once

#include "PhoneRecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

/// The phone book's list of owned records, in phone-book order. Records in the
/// list are read-only: changing an entry means replacing its record. The list
/// keeps count of the neighbouring pairs that are out of romaji order, so
/// IsSorted() costs nothing and searches can take a faster route on a sorted list.
class RecordList {
public:
    using Ptr = std::unique_ptr<PhoneRecord>;
    using const_iterator = std::vector<Ptr>::const_iterator;

    std::size_t GetCount() const noexcept { return m_items.size(); }
    bool IsEmpty() const noexcept { return m_items.empty(); }
    const PhoneRecord& operator[](std::size_t i) const noexcept { return *m_items[i]; }
    const_iterator begin() const noexcept { return m_items.begin(); }
    const_iterator end() const noexcept { return m_items.end(); }

    void AddHead(Ptr record) { InsertBefore(0, std::move(record)); }
    void AddTail(Ptr record) { InsertBefore(m_items.size(), std::move(record)); }
    /// Inserts before position `i` (`i` == GetCount() appends).
    void InsertBefore(std::size_t i, Ptr record);
    /// Takes the record at `i` out of the list and hands it to the caller.
    Ptr RemoveAt(std::size_t i);
    Ptr RemoveHead() { return RemoveAt(0); }
    void RemoveAll() noexcept;
    /// Moves the head record so that it stands before position `i` of the list as it is now
    /// (1 <= i <= GetCount()); one move instead of an insert and a removal.
    void MoveHeadBefore(std::size_t i);
    /// Replaces the whole list, e.g. with the records of a loaded file. `sorted`
    /// tells that they are known to be in order; otherwise the order is checked
    /// the first time someone asks.
    void Assign(std::vector<Ptr> records, bool sorted = false);

    /// True when the list is in ascending romaji order (equal names in any order).
    bool IsSorted() const noexcept;
    /// True when the records after the head are in ascending romaji order, the
    /// head itself in its place or not.
    bool IsSortedAfterHead() const noexcept;

    /// Changes at every change of the list and is never the same for two lists:
    /// whatever was made from a list with this version still matches it.
    std::uint64_t GetVersion() const noexcept { return m_nVersion; }

    RecordList() = default;
    RecordList(RecordList&& other) noexcept;
    RecordList& operator=(RecordList&& other) noexcept;

private:
    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

    bool InvertedAt(std::size_t i) const noexcept; // m_items[i] sorts after m_items[i + 1]
    void CountPairs(std::size_t from, std::size_t to, int sign) const noexcept;
    void Recount() const noexcept;

    static std::uint64_t NextVersion() noexcept;

    std::vector<Ptr> m_items;
    mutable std::size_t m_nInversions = 0; // kUnknown until counted
    std::uint64_t m_nVersion = NextVersion();
};
