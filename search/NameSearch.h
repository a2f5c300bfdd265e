#pragma once
// The incremental name search: the rows the result list shows for the text
// typed into the search box.

#include "data/RecordList.h"
#include "platform/PackedRows.h"

#include <cstddef>
#include <string_view>

/// Most bytes of the search box's text that make the key.
inline constexpr std::size_t kSearchKeyMax = 100;

/// Number of leading bytes of `key` that `name` shares, compared by MbsCmp on
/// prefixes of growing length (0 when they differ at the first byte).
std::size_t MatchLength(std::string_view name, std::string_view key);

/// MbsCmp(name, key) in sign, quicker where most names already differ from the key in
/// their first byte: when both first bytes are whole single-byte characters, they decide.
/// `key` is not empty.
int CompareToKey(std::string_view name, std::string_view key);

/// Consecutive rows of a list: the name search's hits always are.
struct RowRange {
    std::size_t first = 0;
    std::size_t count = 0;
    friend bool operator==(const RowRange&, const RowRange&) = default;
};

/// The records the name search lists for `key`, in row order: from the start
/// record forwards while the match length does not drop. Only the first
/// kSearchKeyMax bytes of `key` count; an empty key lists nothing. `maxHits`
/// above 0 limits the number of rows. Works on the list as it is, sorted or not.
RowRange NameSearch(const RecordList& list, std::string_view key, int maxHits);

/// The same search over rows whose first cells hold the names, in list order;
/// `sorted` tells whether those names are in ascending order.
RowRange NameSearch(const PackedRows& rows, bool sorted, std::string_view key, int maxHits);
