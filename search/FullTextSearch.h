#pragma once
// The full-text search over all four fields of every entry.

#include "data/RecordList.h"
#include "platform/PackedRows.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

/// True when `key` occurs in `text` at a character start, compared case-insensitively
/// (MbsICmp) over a window of the key's byte length. An empty key is never found.
bool ContainsText(std::string_view text, std::string_view key);

class KeyMatcher;

/// The test of the full-text search for one record, with the keys prepared once:
/// every non-empty key must occur in one of the record's four fields.
class FullTextFilter {
public:
    explicit FullTextFilter(const std::array<std::string, 3>& keys);
    ~FullTextFilter();
    FullTextFilter(const FullTextFilter&) = delete;
    FullTextFilter& operator=(const FullTextFilter&) = delete;

    /// All three keys empty: no record is a hit.
    bool IsEmpty() const noexcept { return m_matchers.empty(); }
    bool Matches(const PhoneRecordView& record) const;
    /// The same test on a list row's four texts.
    bool Matches(const PackedRows::Texts& texts) const;

    /// Of the keys that can be looked for in raw bytes, the one found at the fewest places
    /// of `sample` (the longest of equals); null when none can, or when even that one is
    /// found at thousands of places.
    const KeyMatcher* RarestScannable(std::string_view sample) const;

private:
    std::vector<KeyMatcher> m_matchers;
};

/// The indexes of the hits for up to three keys (empty keys count as found; all empty
/// gives none), in the order the result list shows them: the last matching record of
/// the phone book first.
std::vector<std::size_t> FullTextSearch(const RecordList& list, const std::array<std::string, 3>& keys);

/// The same search over the phone book packed as list rows: calls `onHit` with the
/// index of each row that hits, the last one first; returns the number of hits.
std::size_t FullTextSearch(const PackedRows& rows, const std::array<std::string, 3>& keys,
                           const std::function<void(std::size_t row)>& onHit);
/// The indexes of the rows that hit, the last one first.
std::vector<std::size_t> FullTextSearch(const PackedRows& rows, const std::array<std::string, 3>& keys);
