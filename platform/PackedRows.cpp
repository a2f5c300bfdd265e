#include "PackedRows.h"

#include <algorithm>
#include <cstring>

namespace {

// Rows are written one after another: the memory a few rows on is asked for
// ahead, so that the writes do not each wait for it.
constexpr std::size_t kWriteAhead = 512;

std::string_view Cut(std::string_view text) {
    return text.substr(0, std::min(text.size(), PackedRows::kMaxText));
}

// memcpy, with the short texts most cells hold copied in place rather than
// through a library call: two copies of a fixed size that may overlap.
void CopyBytes(char* to, const char* from, std::size_t n) noexcept {
    if (n >= 8 && n <= 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4 && n < 8) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n > 0 && n < 4) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    } else if (n > 16) {
        std::memcpy(to, from, n);
    }
}

} // namespace

PackedRows::Lengths PackedRows::ReadLengths(const char* block) noexcept {
    Lengths lengths;
    std::memcpy(lengths.data(), block, kHeader);
    return lengths;
}

void PackedRows::WriteLengths(char* block, const Lengths& lengths) noexcept {
    std::memcpy(block, lengths.data(), kHeader);
}

std::size_t PackedRows::BlockSize(const Lengths& lengths) noexcept {
    std::size_t size = kHeader;
    for (std::uint32_t length : lengths)
        size += length;
    return size;
}

std::size_t PackedRows::Reserve(std::size_t bytes) {
    if (m_nCapacity - m_nSize < bytes)
        Grow(std::max(m_nSize + bytes, m_nCapacity * 2));
    return m_nSize;
}

void PackedRows::Grow(std::size_t capacity) {
    if (capacity <= m_nCapacity)
        return;
    auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
    if (m_nSize > 0)
        std::memcpy(bytes.get(), m_pBytes.get(), m_nSize);
    m_pBytes = std::move(bytes);
    m_nCapacity = capacity;
}

void PackedRows::AppendBytes(std::string_view bytes) noexcept {
    CopyBytes(m_pBytes.get() + m_nSize, bytes.data(), bytes.size());
    m_nSize += bytes.size();
}

void PackedRows::Insert(std::size_t row, const Texts& texts) {
    ++m_nEdits;
    Lengths lengths;
    for (std::size_t i = 0; i < kCells; ++i)
        lengths[i] = static_cast<std::uint32_t>(Cut(texts[i]).size());
    const bool follows = row > 0 && EndsBytes(row - 1);
    const std::size_t offset = Reserve(BlockSize(lengths));
    if (m_nCapacity - offset > kWriteAhead)
        __builtin_prefetch(m_pBytes.get() + offset + kWriteAhead, 1);
    WriteLengths(m_pBytes.get() + offset, lengths);
    m_nSize += kHeader;
    for (std::size_t i = 0; i < kCells; ++i)
        AppendBytes(texts[i].substr(0, lengths[i]));
    m_nLastBlock = offset;
    if (row == m_rows.size()) {
        m_rows.push_back(offset); // the common case: rows filled from the top down
    } else {
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(row), offset);
        SetMark(row + 1, false); // nothing lies after the new block
    }
    SetMark(row, follows);
}

void PackedRows::SetMark(std::size_t row, bool follows) noexcept {
    m_rows[row] = Offset(row) | (follows ? kFollows : 0);
    if (!follows && row > 0)
        m_bAllFollow = false;
}

void PackedRows::MarkFollows(std::size_t row) noexcept {
    if (row < m_rows.size())
        SetMark(row, row > 0 && Offset(row - 1) + BlockSize(row - 1) == Offset(row));
}

void PackedRows::SetText(std::size_t row, int cell, std::string_view text) {
    ++m_nEdits;
    text = Cut(text);
    const std::size_t offset = Offset(row);
    Lengths lengths = ReadLengths(m_pBytes.get() + offset);
    const auto at = static_cast<std::size_t>(cell);
    // The last row written, with this cell and the ones after it still empty:
    // the text goes on at the end of the buffer (no other block follows it).
    bool append = offset + BlockSize(lengths) == m_nSize;
    for (std::size_t i = at; i < kCells && append; ++i)
        append = lengths[i] == 0;
    if (!append) {
        Rewrite(row, at, text);
        return;
    }
    lengths[at] = static_cast<std::uint32_t>(text.size());
    WriteLengths(m_pBytes.get() + offset, lengths);
    Reserve(text.size());
    AppendBytes(text);
    m_nLastBlock = offset;
}

// The row written again at the end with `text` in `cell`.
void PackedRows::Rewrite(std::size_t row, std::size_t cell, std::string_view text) {
    const Lengths oldLengths = ReadLengths(m_pBytes.get() + Offset(row));
    Lengths lengths = oldLengths;
    lengths[cell] = static_cast<std::uint32_t>(text.size());
    const bool follows = row > 0 && EndsBytes(row - 1);
    // Growing may move the buffer: the old texts are found by position afterwards.
    const std::size_t offset = Reserve(BlockSize(lengths));
    const std::size_t oldOffset = Offset(row);
    WriteLengths(m_pBytes.get() + offset, lengths);
    m_nSize += kHeader;
    std::size_t oldStart = oldOffset + kHeader;
    for (std::size_t i = 0; i < kCells; ++i) {
        AppendBytes(i == cell ? text : std::string_view(m_pBytes.get() + oldStart, oldLengths[i]));
        oldStart += oldLengths[i];
    }
    m_rows[row] = offset;
    m_nLastBlock = offset;
    SetMark(row, follows);
    if (row + 1 < m_rows.size())
        SetMark(row + 1, false);
    m_nGarbage += BlockSize(oldLengths);
    if (m_nGarbage > m_nSize / 2)
        Compact();
}

void PackedRows::Erase(std::size_t row) {
    ++m_nEdits;
    m_nGarbage += BlockSize(row);
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
    MarkFollows(row);
    if (m_rows.empty())
        Clear();
    else if (m_nGarbage > m_nSize / 2)
        Compact();
}

// Every row copied once, in row order, into a buffer of its own.
void PackedRows::Compact() {
    PackedRows fresh;
    fresh.m_rows.reserve(m_rows.size());
    fresh.Grow(m_nSize - m_nGarbage);
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        fresh.m_nLastBlock = fresh.m_nSize;
        fresh.m_rows.push_back(fresh.m_nSize | (row > 0 ? kFollows : 0));
        fresh.AppendBytes({m_pBytes.get() + Offset(row), BlockSize(row)});
    }
    fresh.m_nEdits = m_nEdits + 1;
    *this = std::move(fresh);
}

void PackedRows::Clear() noexcept {
    ++m_nEdits;
    m_rows.clear();
    m_nSize = 0;
    m_nGarbage = 0;
    m_nLastBlock = kNone;
    m_bAllFollow = true;
}

void PackedRows::ReserveRows(std::size_t rows) {
    constexpr std::size_t kBytesPerRow = kHeader + 48; // a typical entry's four texts
    m_rows.reserve(rows);
    Grow(m_nSize + rows * kBytesPerRow);
}

void PackedRows::AppendRows(const PackedRows& from, std::size_t first, std::size_t count,
                            const std::function<void(std::size_t row)>& onRow) {
    const std::size_t end = first + count;
    if (m_rows.capacity() - m_rows.size() < count)
        m_rows.reserve(std::max(m_rows.size() + count, m_rows.capacity() * 2));
    for (std::size_t i = first; i < end;) {
        // The run of rows from i whose blocks lie back to back: one copy of them all.
        std::size_t next = end;
        if (!from.m_bAllFollow) {
            for (next = i + 1; next < end && from.Follows(next);)
                ++next;
        }
        const std::size_t start = from.Offset(i);
        const std::size_t stop = from.Offset(next - 1) + from.BlockSize(next - 1);
        const bool follows = !m_rows.empty() && EndsBytes(m_rows.size() - 1);
        const std::size_t base = Reserve(stop - start);
        std::memcpy(m_pBytes.get() + base, from.m_pBytes.get() + start, stop - start);
        m_nSize += stop - start;
        m_nLastBlock = base + (from.Offset(next - 1) - start);
        m_rows.push_back(base);
        SetMark(m_rows.size() - 1, follows);
        if (!onRow) {
            for (std::size_t j = i + 1; j < next; ++j)
                m_rows.push_back((base + (from.Offset(j) - start)) | kFollows);
            i = next;
            continue;
        }
        // While the call may change the rows, the bytes copied ahead are no row's yet:
        // counted as unused, they are right whether the call keeps them, compacts
        // them away or empties the rows.
        const std::size_t garbage = m_nGarbage;
        const std::uint64_t edits = m_nEdits;
        for (std::size_t j = i; j < next; ++j) {
            if (j > i)
                m_rows.push_back((base + (from.Offset(j) - start)) | kFollows);
            m_nGarbage = garbage + (j + 1 < next ? stop - from.Offset(j + 1) : 0);
            onRow(m_rows.size() - 1);
            if (m_nEdits == edits)
                continue;
            // Changed from inside the call: the rest row by row, as it comes, so that a
            // call that changes the rows every time does not copy runs again and again.
            for (++j; j < end; ++j) {
                Append(from.Row(j));
                onRow(m_rows.size() - 1);
            }
            return;
        }
        m_nGarbage = garbage;
        i = next;
    }
}
