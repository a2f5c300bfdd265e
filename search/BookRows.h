#pragma once
// The phone book's packed records as the searches and the result list read them:
// the list's own rows, no copy. The result list takes a snapshot of the rows it
// shows, which shares their texts and keeps them whatever the book does next.

#include "data/MarloDoc.h"
#include "data/RecordList.h"
#include "platform/PackedRows.h"

#include <cstddef>
#include <cstdint>

/// Knows whether the rows it last handed out are the list as it is now: as the
/// document's book observer it follows the document's own changes, and learns
/// of the others from the list's version.
class BookRows final : public BookObserver {
public:
    BookRows() = default;
    BookRows(const BookRows&) = delete;
    BookRows& operator=(const BookRows&) = delete;
    ~BookRows() = default;

    /// The rows of `list` as it is now: its own.
    const PackedRows& Of(const RecordList& list) noexcept {
        Follow(list);
        return list.Rows();
    }
    /// The same rows, for the result list to show (RecordList::RowsToShow).
    PackedRows::Shown Of(RecordList& list) noexcept {
        Follow(list);
        return list.RowsToShow();
    }
    /// Whether the rows were last handed out, or followed, for `list` as it is now.
    bool Matches(const RecordList& list) const noexcept { return list.GetVersion() == m_nVersion; }
    /// Whether the list the rows were last made from is in ascending name order;
    /// ask after Of().
    bool IsSorted() const noexcept { return m_bSorted; }

    void EntryInserted(const RecordList& list, std::size_t index, std::uint64_t versionBefore) override;
    void EntryRemoved(const RecordList& list, std::size_t index, std::uint64_t versionBefore) override;

private:
    void Follow(const RecordList& list) noexcept;

    std::uint64_t m_nVersion = 0; // no list has version 0
    bool m_bSorted = true;
};
