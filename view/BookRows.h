#pragma once
// A copy of the phone book's packed records, in list order, for the searches and
// the result list: the list shows rows from it without a copy of its own, and is
// told before they change, which the book's own records are not.

#include "data/MarloDoc.h"
#include "data/RecordList.h"
#include "platform/PackedRows.h"

#include <cstddef>
#include <cstdint>
#include <functional>

/// Made from the list when asked after a change it did not follow; as the
/// document's book observer it follows the document's own changes in place
/// (one row inserted or erased instead of a million packed again).
class BookRows final : public BookObserver {
public:
    BookRows() = default;
    BookRows(const BookRows&) = delete;
    BookRows& operator=(const BookRows&) = delete;
    ~BookRows();

    /// Called just before the rows change or go, for whoever shows them without a copy.
    void SetBeforeChange(std::function<void()> handler) { m_fnBeforeChange = std::move(handler); }
    /// The rows of `list` as it is now; made again when the list has changed
    /// since the rows were made or last followed it.
    const PackedRows& Of(const RecordList& list);
    /// Whether the rows were made from `list` as it is now.
    bool Matches(const RecordList& list) const noexcept { return list.GetVersion() == m_nVersion; }
    /// Whether the list the rows were last made from is in ascending name order;
    /// ask after Of().
    bool IsSorted() const noexcept { return m_bSorted; }

    void EntryInserted(const RecordList& list, std::size_t index, std::uint64_t versionBefore) override;
    void EntryRemoved(const RecordList& list, std::size_t index, std::uint64_t versionBefore) override;

private:
    void Follow(const RecordList& list) noexcept;
    void BeforeChange() const {
        if (m_fnBeforeChange)
            m_fnBeforeChange();
    }

    PackedRows m_rows;
    std::function<void()> m_fnBeforeChange;
    std::uint64_t m_nVersion = 0; // no list has version 0
    bool m_bSorted = true;
};
