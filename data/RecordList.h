#pragma once

#include "PhoneRecord.h"
#include "platform/Mbcs.h"
#include "platform/PackedRows.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>

/// The phone book's list of records, in phone-book order. The records lie packed
/// in one block (PackedRows: a few bytes besides their fields, no object of their
/// own), and the list hands out views of them: changing an entry means replacing
/// its record, and a view lasts until the list changes. The list keeps count of
/// the neighbouring pairs that are out of romaji order, so IsSorted() costs nothing
/// and searches can take a faster route on a sorted list.
class RecordList {
public:
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = PhoneRecordView;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = PhoneRecordView;

        const_iterator() = default;
        PhoneRecordView operator*() const noexcept { return (*m_pList)[m_nIndex]; }
        const_iterator& operator++() noexcept {
            ++m_nIndex;
            return *this;
        }
        const_iterator operator++(int) noexcept {
            const_iterator before = *this;
            ++m_nIndex;
            return before;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) noexcept {
            return a.m_nIndex == b.m_nIndex;
        }

    private:
        friend class RecordList;
        const_iterator(const RecordList* list, std::size_t index) noexcept : m_pList(list), m_nIndex(index) {}
        const RecordList* m_pList = nullptr;
        std::size_t m_nIndex = 0;
    };

    std::size_t GetCount() const noexcept { return m_rows.Count(); }
    bool IsEmpty() const noexcept { return m_rows.Count() == 0; }
    PhoneRecordView operator[](std::size_t i) const noexcept {
        const PackedRows::Texts texts = m_rows.Row(i);
        return {texts[0], texts[1], texts[2], texts[3]};
    }
    /// The romaji name of record `i`: list[i].m_strRomaji without the other fields.
    std::string_view Name(std::size_t i) const noexcept { return m_rows.Text(i, 0); }
    const_iterator begin() const noexcept { return {this, 0}; }
    const_iterator end() const noexcept { return {this, GetCount()}; }
    /// The records as packed rows, the fields in the order of PhoneRecord.
    const PackedRows& Rows() const noexcept { return m_rows; }
    /// The same rows for a result list that shows them through their own index and
    /// registers with them as their viewer. The records change only through this list.
    PackedRows::Shown RowsToShow() noexcept { return PackedRows::Shown(m_rows); }
    /// The memory the records hold, room reserved for more included.
    std::size_t MemoryBytes() const noexcept { return m_rows.MemoryBytes(); }

    // The record given to these may be a view of this list's own records. A field
    // longer than PackedRows::kMaxText throws std::length_error.

    void AddHead(const PhoneRecordView& record) { InsertBefore(0, record); }
    void AddTail(const PhoneRecordView& record) { InsertBefore(GetCount(), record); }
    /// Inserts before position `i` (`i` == GetCount() appends).
    void InsertBefore(std::size_t i, const PhoneRecordView& record);
    /// Takes the record at `i` out of the list (copy it first to keep it).
    void RemoveAt(std::size_t i);
    void RemoveHead() { RemoveAt(0); }
    void RemoveAll() noexcept;
    /// Moves the head record so that it stands before position `i` of the list as it is now
    /// (1 <= i <= GetCount()); one move instead of an insert and a removal.
    void MoveHeadBefore(std::size_t i);
    /// Replaces the whole list with these records. `sorted` tells that they are known
    /// to be in order; otherwise their order is checked here.
    void Assign(std::span<const PhoneRecord> records, bool sorted = false);

    /// Takes `bytes` (`size` bytes from malloc) for the records' store, to make records
    /// in with AddTailAt (PackedRows::AdoptChunk).
    void AdoptBytes(char* bytes, std::size_t size) { m_rows.AdoptChunk(bytes, size); }
    /// Appends the record whose row block of short fields (PackedRows::AppendBlockAt) lies
    /// at `at`, in the bytes AdoptBytes gave.
    void AddTailAt(char* at);

    /// Room for `records` more records whose fields hold at most `fieldBytes` bytes in
    /// all, so that a load grows nothing; the room is only set aside, not touched.
    void Reserve(std::size_t records, std::uint64_t fieldBytes);
    /// Puts the records in ascending romaji order, equal names in the order they stand,
    /// and lays them out in that order.
    void SortByName();

    /// True when the list is in ascending romaji order (equal names in any order).
    bool IsSorted() const noexcept { return m_nInversions == 0; }
    /// True when the records after the head are in ascending romaji order, the
    /// head itself in its place or not.
    bool IsSortedAfterHead() const noexcept;

    /// Changes at every change of the list and is never the same for two lists:
    /// whatever was made from a list with this version still matches it.
    std::uint64_t GetVersion() const noexcept { return m_nVersion; }

    /// While one lives, the list is being filled from a file: whatever it is about to
    /// take is first held against the memory the system can still give (the TooBig
    /// ArchiveError when it falls short, rather than the system stopping the program), and on the
    /// way out the room reserved past the records is given back. The version changes
    /// as the load begins and as it ends, not at every record.
    class Loading {
    public:
        explicit Loading(RecordList& list) noexcept;
        ~Loading();
        Loading(const Loading&) = delete;
        Loading& operator=(const Loading&) = delete;

    private:
        RecordList& m_list;
    };

    RecordList() = default;
    RecordList(RecordList&& other) noexcept;
    RecordList& operator=(RecordList&& other) noexcept;

private:
    /// A record's place in a sort: its name's MbsSortKey, its index.
    struct SortItem {
        MbsSortKey key;
        std::size_t index;
    };

    bool InvertedAt(std::size_t i) const noexcept; // record i sorts after record i + 1
    void CountPairs(std::size_t from, std::size_t to, int sign) noexcept;

    static std::uint64_t NextVersion() noexcept;

    PackedRows m_rows;
    std::size_t m_nInversions = 0; // neighbouring pairs out of romaji order
    std::uint64_t m_nVersion = NextVersion();
    bool m_bLoading = false;
};
