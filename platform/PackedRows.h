#pragma once
// Rows of four byte strings packed back to back in one buffer: the storage of
// the result list, and the copy of a phone book that searches fill it from.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

/// Each row is one block: its four texts' lengths, then the texts themselves;
/// the rows' index says where each block starts. A row written at the end, as
/// a list filled from the top down is, costs one copy into the buffer, not four
/// allocations. A row whose text is replaced out of order is written anew at
/// the end; the space it leaves is taken back once it makes up half the buffer.
class PackedRows {
public:
    static constexpr int kCells = 4;
    using Texts = std::array<std::string_view, kCells>;
    /// A cell holds at most this many bytes; longer texts are cut.
    static constexpr std::size_t kMaxText = std::numeric_limits<std::uint32_t>::max();

    std::size_t Count() const noexcept { return m_rows.size(); }

    std::string_view Text(std::size_t row, int cell) const noexcept {
        const char* block = m_pBytes.get() + Offset(row);
        const Lengths lengths = ReadLengths(block);
        std::size_t start = kHeader;
        for (int i = 0; i < cell; ++i)
            start += lengths[static_cast<std::size_t>(i)];
        return {block + start, lengths[static_cast<std::size_t>(cell)]};
    }

    /// The four texts of row `row`.
    Texts Row(std::size_t row) const noexcept { return {Text(row, 0), Text(row, 1), Text(row, 2), Text(row, 3)}; }

    /// Adds a row at `row` (Count() appends) with these texts.
    void Insert(std::size_t row, const Texts& texts);
    void Append(const Texts& texts) { Insert(Count(), texts); }
    void SetText(std::size_t row, int cell, std::string_view text);
    void Erase(std::size_t row);
    /// Empties the rows; the memory stays for the next ones.
    void Clear() noexcept;
    void ReserveRows(std::size_t rows);

    /// Appends copies of rows [first, first + count) of `from`, calling `onRow`
    /// with each new row's index as soon as that row is in place (it may change
    /// these rows); an empty `onRow` is never called. Each run of rows whose
    /// blocks lie back to back in `from` is copied in one go, in order or not.
    /// `from` must be another object.
    void AppendRows(const PackedRows& from, std::size_t first, std::size_t count,
                    const std::function<void(std::size_t row)>& onRow);

    /// Asks the memory of row `row` into the cache ahead of a walk.
    void Prefetch(std::size_t row) const noexcept { __builtin_prefetch(m_pBytes.get() + Offset(row)); }

private:
    static constexpr std::size_t kHeader = kCells * sizeof(std::uint32_t);
    using Lengths = std::array<std::uint32_t, kCells>;

    static Lengths ReadLengths(const char* block) noexcept;
    static void WriteLengths(char* block, const Lengths& lengths) noexcept;
    static std::size_t BlockSize(const Lengths& lengths) noexcept;
    std::size_t BlockSize(std::size_t row) const noexcept {
        return BlockSize(ReadLengths(m_pBytes.get() + Offset(row)));
    }

    // The top bit of a row's entry marks a block that starts where the previous
    // row's ends, so that runs of such rows are found without reading the blocks.
    static constexpr std::size_t kFollows = std::size_t{1} << (std::numeric_limits<std::size_t>::digits - 1);
    std::size_t Offset(std::size_t row) const noexcept { return m_rows[row] & ~kFollows; }
    bool Follows(std::size_t row) const noexcept { return (m_rows[row] & kFollows) != 0; }
    void SetMark(std::size_t row, bool follows) noexcept;
    /// Sets the mark of row `row` (if there is one) from where the blocks lie now.
    void MarkFollows(std::size_t row) noexcept;
    /// Whether a block written at the end now would follow row `row`'s.
    bool EndsBytes(std::size_t row) const noexcept { return Offset(row) == m_nLastBlock; }

    /// Room for `bytes` more at the end; returns where they go.
    std::size_t Reserve(std::size_t bytes);
    void Grow(std::size_t capacity);
    void AppendBytes(std::string_view bytes) noexcept;
    void Rewrite(std::size_t row, std::size_t cell, std::string_view text);
    void Compact();

    std::vector<std::size_t> m_rows; // where each row's block starts, with the kFollows mark
    std::unique_ptr<char[]> m_pBytes;
    std::size_t m_nSize = 0;
    std::size_t m_nCapacity = 0;
    std::size_t m_nGarbage = 0; // bytes of blocks no row uses any more
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t m_nLastBlock = kNone; // start of the block that ends the bytes in use, if a block does
    bool m_bAllFollow = true;         // every row after the first carries the kFollows mark
    std::uint64_t m_nEdits = 0;       // changes so far, to notice changes made while rows are appended
};
