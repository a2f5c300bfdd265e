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
    const std::size_t offset = Reserve(BlockSize(lengths));
    if (m_nCapacity - offset > kWriteAhead)
        __builtin_prefetch(m_pBytes.get() + offset + kWriteAhead, 1);
    WriteLengths(m_pBytes.get() + offset, lengths);
    m_nSize += kHeader;
    for (std::size_t i = 0; i < kCells; ++i)
        AppendBytes(texts[i].substr(0, lengths[i]));
    if (row == m_rows.size()) {
        m_rows.push_back(offset); // the common case: rows filled from the top down
    } else {
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(row), offset);
        m_bInOrder = false;
    }
}

void PackedRows::SetText(std::size_t row, int cell, std::string_view text) {
    ++m_nEdits;
    text = Cut(text);
    const std::size_t offset = m_rows[row];
    Lengths lengths = ReadLengths(m_pBytes.get() + offset);
    const auto at = static_cast<std::size_t>(cell);
    // The last row written, with this cell and the ones after it still empty:
    // the text goes on at the end of the buffer.
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
}

// The row written again at the end with `text` in `cell`.
void PackedRows::Rewrite(std::size_t row, std::size_t cell, std::string_view text) {
    const Lengths oldLengths = ReadLengths(m_pBytes.get() + m_rows[row]);
    Lengths lengths = oldLengths;
    lengths[cell] = static_cast<std::uint32_t>(text.size());
    // Growing may move the buffer: the old texts are found by position afterwards.
    const std::size_t offset = Reserve(BlockSize(lengths));
    const std::size_t oldOffset = m_rows[row];
    WriteLengths(m_pBytes.get() + offset, lengths);
    m_nSize += kHeader;
    std::size_t oldStart = oldOffset + kHeader;
    for (std::size_t i = 0; i < kCells; ++i) {
        AppendBytes(i == cell ? text : std::string_view(m_pBytes.get() + oldStart, oldLengths[i]));
        oldStart += oldLengths[i];
    }
    m_rows[row] = offset;
    m_nGarbage += BlockSize(oldLengths);
    m_bInOrder = false;
    if (m_nGarbage > m_nSize / 2)
        Compact();
}

void PackedRows::Erase(std::size_t row) {
    ++m_nEdits;
    m_nGarbage += BlockSize(row);
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
    m_bInOrder = false;
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
        fresh.m_rows.push_back(fresh.m_nSize);
        fresh.AppendBytes({m_pBytes.get() + m_rows[row], BlockSize(row)});
    }
    fresh.m_nEdits = m_nEdits + 1;
    *this = std::move(fresh);
}

void PackedRows::Clear() noexcept {
    ++m_nEdits;
    m_rows.clear();
    m_nSize = 0;
    m_nGarbage = 0;
    m_bInOrder = true;
}

void PackedRows::ReserveRows(std::size_t rows) {
    constexpr std::size_t kBytesPerRow = kHeader + 48; // a typical entry's four texts
    m_rows.reserve(rows);
    Grow(m_nSize + rows * kBytesPerRow);
}

void PackedRows::AppendRows(const PackedRows& from, std::size_t first, std::size_t count,
                            const std::function<void(std::size_t row)>& onRow) {
    if (count == 0)
        return;
    if (!from.m_bInOrder) {
        for (std::size_t i = first; i < first + count; ++i) {
            Append(from.Row(i));
            onRow(m_rows.size() - 1);
        }
        return;
    }
    // The blocks lie back to back: one copy of them all, then each row's place.
    const std::size_t start = from.m_rows[first];
    const std::size_t last = first + count - 1;
    const std::size_t bytes = from.m_rows[last] + from.BlockSize(last) - start;
    const std::size_t base = Reserve(bytes);
    std::memcpy(m_pBytes.get() + base, from.m_pBytes.get() + start, bytes);
    m_nSize += bytes;
    m_rows.reserve(m_rows.size() + count);
    for (std::size_t i = first; i <= last; ++i) {
        m_rows.push_back(base + (from.m_rows[i] - start));
        const std::uint64_t edits = m_nEdits;
        onRow(m_rows.size() - 1);
        if (m_nEdits != edits && i < last) {
            // The rows were changed from inside the call: the block copied ahead may
            // have moved or gone. The rest is copied row by row, as it comes.
            m_nGarbage += from.m_rows[last] + from.BlockSize(last) - from.m_rows[i + 1];
            for (std::size_t j = i + 1; j <= last; ++j) {
                Append(from.Row(j));
                onRow(m_rows.size() - 1);
            }
            return;
        }
    }
}
