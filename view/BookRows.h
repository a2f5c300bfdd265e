#pragma once
// The phone book's entries packed as result-list rows, in list order: the name
// search walks their names and the list copies its rows from them in one go,
// instead of visiting 200,000 records scattered over the heap at a keystroke.

#include "data/RecordList.h"
#include "platform/PackedRows.h"

#include <cstdint>

class BookRows {
public:
    /// The rows of `list` as it is now; made again when the list has changed
    /// since the last call.
    const PackedRows& Of(const RecordList& list);
    /// Whether the rows were made from `list` as it is now.
    bool Matches(const RecordList& list) const noexcept { return list.GetVersion() == m_nVersion; }
    /// Whether the list the rows were last made from is in ascending name order;
    /// ask after Of().
    bool IsSorted() const noexcept { return m_bSorted; }

private:
    PackedRows m_rows;
    std::uint64_t m_nVersion = 0; // no list has version 0
    bool m_bSorted = true;
};
