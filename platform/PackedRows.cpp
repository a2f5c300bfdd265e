#include "PackedRows.h"

#include <algorithm>
#include <string>

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

PackedRows::PackedRows(PackedRows&& other) noexcept
    : m_rows(std::move(other.m_rows)), m_bytes(std::move(other.m_bytes)), m_nGarbage(other.m_nGarbage),
      m_nLastBlock(other.m_nLastBlock), m_bAllFollow(other.m_bAllFollow), m_nEdits(other.m_nEdits),
      m_pfnMemoryLeft(other.m_pfnMemoryLeft) {
    other.Clear();
}

PackedRows& PackedRows::operator=(PackedRows&& other) noexcept {
    if (this != &other) {
        m_rows = std::move(other.m_rows);
        m_bytes = std::move(other.m_bytes);
        m_nGarbage = other.m_nGarbage;
        m_nLastBlock = other.m_nLastBlock;
        m_bAllFollow = other.m_bAllFollow;
        m_nEdits = std::max(m_nEdits, other.m_nEdits) + 1; // a change, for whoever appends rows here
        m_pfnMemoryLeft = other.m_pfnMemoryLeft;
        other.Clear();
    }
    return *this;
}

std::size_t PackedRows::HeaderSize(const Lengths& lengths) noexcept {
    return std::max({lengths[0], lengths[1], lengths[2], lengths[3]}) >= kLongMark ? kLongHeader : kShortHeader;
}

std::size_t PackedRows::WriteHeader(char* block, const Lengths& lengths) noexcept {
    if (HeaderSize(lengths) == kShortHeader) {
        for (std::size_t i = 0; i < kCells; ++i)
            block[i] = static_cast<char>(lengths[i]);
        return kShortHeader;
    }
    block[0] = static_cast<char>(kLongMark);
    std::memcpy(block + 1, lengths.data(), sizeof(lengths));
    return kLongHeader;
}

std::size_t PackedRows::BlockSize(const Lengths& lengths) noexcept {
    std::size_t size = HeaderSize(lengths);
    for (std::uint32_t length : lengths)
        size += length;
    return size;
}

std::string_view PackedRows::LongText(const char* block, int cell) noexcept {
    const Lengths lengths = ReadLengths(block);
    std::size_t start = kLongHeader;
    for (int i = 0; i < cell; ++i)
        start += lengths[static_cast<std::size_t>(i)];
    return {block + start, lengths[static_cast<std::size_t>(cell)]};
}

bool PackedRows::Inside(std::string_view text) const noexcept {
    const auto at = reinterpret_cast<std::uintptr_t>(text.data());
    const auto start = reinterpret_cast<std::uintptr_t>(m_bytes.Data());
    return !text.empty() && start != 0 && at >= start && at - start < m_bytes.Capacity();
}

std::uint64_t PackedRows::MemoryLeft() const {
    if (!m_pfnMemoryLeft)
        return ReallocArray<char>::kNoLimit;
    // Room already set aside will be taken as it fills: it is not left.
    const std::uint64_t unused =
        (m_rows.Capacity() - m_rows.Size()) * kIndexBytes + (m_bytes.Capacity() - m_bytes.Size());
    const std::uint64_t left = m_pfnMemoryLeft();
    return left > unused ? left - unused : 0;
}

std::size_t PackedRows::Reserve(std::size_t bytes) {
    ReserveMore(m_bytes, bytes);
    return m_bytes.Size();
}

void PackedRows::AppendBytes(std::string_view bytes) noexcept {
    CopyBytes(m_bytes.Extend(bytes.size()), bytes.data(), bytes.size());
}

void PackedRows::Insert(std::size_t row, const Texts& texts) {
    Lengths lengths;
    std::size_t size = 0;
    for (std::size_t i = 0; i < kCells; ++i) {
        lengths[i] = static_cast<std::uint32_t>(Cut(texts[i]).size());
        size += lengths[i];
    }
    size += HeaderSize(lengths);
    if (m_bytes.Capacity() - m_bytes.Size() < size &&
        std::any_of(texts.begin(), texts.end(), [this](std::string_view t) { return Inside(t); })) {
        // Growing may move the texts: they are copied out first.
        const std::array<std::string, kCells> copies = {std::string(texts[0]), std::string(texts[1]),
                                                        std::string(texts[2]), std::string(texts[3])};
        Insert(row, {copies[0], copies[1], copies[2], copies[3]});
        return;
    }
    // Both arrays have room before anything changes: a failed growth leaves the rows as they were.
    ReserveMore(m_rows, 1);
    const std::size_t offset = Reserve(size);
    ++m_nEdits;
    const bool follows = row > 0 && EndsBytes(row - 1);
    if (m_bytes.Capacity() - offset > kWriteAhead)
        __builtin_prefetch(m_bytes.Data() + offset + kWriteAhead, 1);
    char* at = m_bytes.Extend(size);
    at += WriteHeader(at, lengths);
    for (std::size_t i = 0; i < kCells; ++i) {
        CopyBytes(at, texts[i].data(), lengths[i]);
        at += lengths[i];
    }
    m_nLastBlock = offset;
    if (row == m_rows.Size()) {
        m_rows.PushBack(offset); // the common case: rows filled from the top down
    } else {
        m_rows.Insert(row, offset);
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
    if (row < m_rows.Size())
        SetMark(row, row > 0 && Offset(row - 1) + BlockSize(row - 1) == Offset(row));
}

void PackedRows::SetText(std::size_t row, int cell, std::string_view text) {
    text = Cut(text);
    const std::size_t offset = Offset(row);
    const Lengths lengths = ReadLengths(Block(row));
    const auto at = static_cast<std::size_t>(cell);
    Lengths newLengths = lengths;
    newLengths[at] = static_cast<std::uint32_t>(text.size());
    // The last row written, with this cell and the ones after it still empty and
    // its lengths keeping their size: the text goes on at the end of the buffer
    // (no other block follows it).
    bool append = offset + BlockSize(lengths) == m_bytes.Size() && HeaderSize(lengths) == HeaderSize(newLengths);
    for (std::size_t i = at; i < kCells && append; ++i)
        append = lengths[i] == 0;
    if (Inside(text)) {
        const std::string copy(text); // growing may move it
        SetText(row, cell, copy);
        return;
    }
    if (!append) {
        Rewrite(row, at, text);
        return;
    }
    Reserve(text.size());
    ++m_nEdits;
    WriteHeader(m_bytes.Data() + offset, newLengths);
    AppendBytes(text);
    m_nLastBlock = offset;
}

// The row written again at the end with `text` in `cell`.
void PackedRows::Rewrite(std::size_t row, std::size_t cell, std::string_view text) {
    const Lengths oldLengths = ReadLengths(Block(row));
    Lengths lengths = oldLengths;
    lengths[cell] = static_cast<std::uint32_t>(text.size());
    // Growing may move the buffer: the old texts are found by position afterwards.
    const std::size_t offset = Reserve(BlockSize(lengths));
    ++m_nEdits;
    const bool follows = row > 0 && EndsBytes(row - 1);
    const std::size_t oldOffset = Offset(row);
    m_bytes.Extend(WriteHeader(m_bytes.Data() + offset, lengths));
    std::size_t oldStart = oldOffset + HeaderSize(Block(row));
    for (std::size_t i = 0; i < kCells; ++i) {
        AppendBytes(i == cell ? text : std::string_view(m_bytes.Data() + oldStart, oldLengths[i]));
        oldStart += oldLengths[i];
    }
    m_rows[row] = offset;
    m_nLastBlock = offset;
    SetMark(row, follows);
    if (row + 1 < m_rows.Size())
        SetMark(row + 1, false);
    m_nGarbage += BlockSize(oldLengths);
    if (m_nGarbage > m_bytes.Size() / 2)
        Compact();
}

void PackedRows::Erase(std::size_t row) {
    ++m_nEdits;
    m_nGarbage += BlockSize(row);
    m_rows.Erase(row);
    MarkFollows(row);
    if (m_rows.Empty())
        Clear();
    else if (m_nGarbage > m_bytes.Size() / 2)
        Compact();
}

void PackedRows::MoveHeadBefore(std::size_t i) {
    if (i <= 1)
        return; // already in front of the row at position 1
    ++m_nEdits;
    std::rotate(m_rows.Data(), m_rows.Data() + 1, m_rows.Data() + i);
    // Rows 1 to i - 2 keep the neighbours they had before them.
    SetMark(0, false);
    MarkFollows(i - 1);
    MarkFollows(i);
}

void PackedRows::Reorder(std::vector<std::size_t>& order) {
    // The permutation is applied in place, one cycle at a time; a done place is marked
    // by pointing at itself.
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (order[start] == start)
            continue;
        const std::size_t first = m_rows[start];
        for (std::size_t k = start;;) {
            const std::size_t from = std::exchange(order[k], k);
            if (from == start) {
                m_rows[k] = first;
                break;
            }
            m_rows[k] = m_rows[from];
            k = from;
        }
    }
    std::vector<std::size_t>().swap(order); // its memory back before the new buffer takes more
    Compact();
}

// Every row copied once, in row order, into a buffer of its own; the index is
// rewritten in place.
void PackedRows::Compact() {
    ReallocArray<char> fresh;
    fresh.Reserve(m_bytes.Size() - m_nGarbage);
    for (std::size_t row = 0; row < m_rows.Size(); ++row) {
        const std::size_t size = BlockSize(row);
        const std::size_t at = fresh.Size();
        std::memcpy(fresh.Extend(size), Block(row), size);
        m_rows[row] = at | (row > 0 ? kFollows : 0);
    }
    m_bytes = std::move(fresh);
    m_nGarbage = 0;
    m_nLastBlock = m_rows.Empty() ? kNone : Offset(m_rows.Size() - 1);
    m_bAllFollow = true;
    ++m_nEdits;
}

void PackedRows::Clear() noexcept {
    ++m_nEdits;
    m_rows.Clear();
    m_bytes.Clear();
    m_nGarbage = 0;
    m_nLastBlock = kNone;
    m_bAllFollow = true;
}

void PackedRows::ReserveRows(std::size_t rows) {
    constexpr std::size_t kBytesPerRow = kShortHeader + 48; // a typical entry's four texts
    Reserve(rows, rows * kBytesPerRow);
}

void PackedRows::Reserve(std::size_t rows, std::size_t bytes) {
    const std::size_t moreRows = m_rows.Size() + rows - std::min(m_rows.Capacity(), m_rows.Size() + rows);
    const std::size_t moreBytes = m_bytes.Size() + bytes - std::min(m_bytes.Capacity(), m_bytes.Size() + bytes);
    if (std::uint64_t{moreRows} * kIndexBytes + moreBytes > MemoryLeft())
        throw std::bad_alloc();
    m_rows.Reserve(m_rows.Size() + rows);
    m_bytes.Reserve(m_bytes.Size() + bytes);
}

void PackedRows::ShrinkToFit() noexcept {
    m_rows.ShrinkToFit();
    m_bytes.ShrinkToFit();
}

void PackedRows::AppendRows(const PackedRows& from, std::size_t first, std::size_t count,
                            const std::function<void(std::size_t row)>& onRow) {
    const std::size_t end = first + count;
    ReserveMore(m_rows, count);
    for (std::size_t i = first; i < end;) {
        // The run of rows from i whose blocks lie back to back: one copy of them all.
        std::size_t next = end;
        if (!from.m_bAllFollow) {
            for (next = i + 1; next < end && from.Follows(next);)
                ++next;
        }
        const std::size_t start = from.Offset(i);
        const std::size_t stop = from.Offset(next - 1) + from.BlockSize(next - 1);
        const bool follows = !m_rows.Empty() && EndsBytes(m_rows.Size() - 1);
        const std::size_t base = Reserve(stop - start);
        std::memcpy(m_bytes.Extend(stop - start), from.m_bytes.Data() + start, stop - start);
        m_nLastBlock = base + (from.Offset(next - 1) - start);
        m_rows.PushBack(base);
        SetMark(m_rows.Size() - 1, follows);
        if (!onRow) {
            for (std::size_t j = i + 1; j < next; ++j)
                m_rows.PushBack((base + (from.Offset(j) - start)) | kFollows);
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
                m_rows.PushBack((base + (from.Offset(j) - start)) | kFollows);
            m_nGarbage = garbage + (j + 1 < next ? stop - from.Offset(j + 1) : 0);
            onRow(m_rows.Size() - 1);
            if (m_nEdits == edits)
                continue;
            // Changed from inside the call: the rest row by row, as it comes, so that a
            // call that changes the rows every time does not copy runs again and again.
            for (++j; j < end; ++j) {
                Append(from.Row(j));
                onRow(m_rows.Size() - 1);
            }
            return;
        }
        m_nGarbage = garbage;
        i = next;
    }
}
