#pragma once
// The window's searches for a phone book that is read once, record by record,
// and never held: the command line reads files far bigger than it keeps.

#include "view/NameSearch.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

/// The name search (NameSearch) over the names of a phone book shown one at a time
/// in list order. It walks from the head as the search does on a book in any order;
/// on a sorted book the walk ends where the search's shortcuts end, so the rows are
/// the same either way.
class NameSearchWalk {
public:
    /// For `key` and `maxHits` as NameSearch takes them, over `count` records.
    NameSearchWalk(std::string_view key, int maxHits, std::size_t count);

    /// Shows the name of the next record. Returns how many of the rows listed begin
    /// at or before it: the rows are [Rows().first, that), and they may have just
    /// taken in the record before this one too.
    std::size_t Next(std::string_view name);
    /// False once no later record can be listed.
    bool Wants() const noexcept { return m_phase != Phase::Done; }
    RowRange Rows() const noexcept { return {m_nFirst, m_nEnd - m_nFirst}; }

private:
    enum class Phase { Finding, Listing, Done };
    void Start(std::size_t first);
    void List(std::string_view name);

    std::string_view m_key;
    std::string m_keyStore;
    std::size_t m_nLimit;
    std::size_t m_nCount;
    std::size_t m_nIndex = 0;
    Phase m_phase = Phase::Finding;
    int m_nPrevCmp = 0;
    std::string m_strPrevName;
    std::size_t m_nFirst = 0, m_nEnd = 0;
    std::size_t m_nPrevMatch = 0;
};

/// Where one of the keys of a full-text search may stand in a block of bytes that
/// holds a record's fields as they are (an archive's narrow strings, a text line's
/// fields). Only a record whose bytes hold one needs the real test. Keys that do
/// not stand in those bytes as they are (a cut character, a NUL byte, and in text
/// lines a line break) give no clue: then every position is one.
class KeyCandidates {
public:
    /// `textLines`: the bytes are a text file's lines, where a memo's line breaks are commas.
    KeyCandidates(const std::array<std::string, 3>& keys, bool textLines);
    /// The first position at or after `from` where the key's bytes stand, in either
    /// case; `bytes.size()` when there is none.
    std::size_t Next(std::string_view bytes, std::size_t from) const;

private:
    bool Fits(const char* p) const;

    std::string m_key, m_alt; // the byte each position takes, and its other case
    bool m_bEverywhere = true;
};
