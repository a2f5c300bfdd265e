#include "PackedRows.h"

#include "FileError.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <memory>
#include <string>
#include <utility>

namespace {

// Rows are written one after another: the memory a few rows on is asked for
// ahead, so that the writes do not each wait for it.
constexpr std::size_t kWriteAhead = 512;

std::string_view Cut(std::string_view text) {
    return text.substr(0, std::min(text.size(), PackedRows::kMaxText));
}

// Copies `text` to `to`; an empty text may have no bytes to copy from at all.
void PutText(char* to, std::string_view text) noexcept {
    if (!text.empty())
        std::memcpy(to, text.data(), text.size());
}

} // namespace

PackedRows::Store::~Store() {
    for (const Chunk& chunk : m_chunks)
        std::free(chunk.p);
}

PackedRows::PackedRows(PackedRows&& other) noexcept
    : m_rows((other.TellViewer(), std::move(other.m_rows))), m_store(std::move(other.m_store)),
      m_nLive(other.m_nLive), m_bAllFollow(other.m_bAllFollow), m_nEdits(other.m_nEdits),
      m_pfnMemoryLeft(other.m_pfnMemoryLeft) {
    other.Clear();
}

PackedRows& PackedRows::operator=(PackedRows&& other) noexcept {
    if (this != &other) {
        TellViewer();
        other.TellViewer();
        m_rows = std::move(other.m_rows);
        m_store = std::move(other.m_store);
        m_nLive = other.m_nLive;
        m_bAllFollow = other.m_bAllFollow;
        m_nEdits = std::max(m_nEdits, other.m_nEdits) + 1; // a change, for whoever appends rows here
        m_pfnMemoryLeft = other.m_pfnMemoryLeft;
        other.Clear();
    }
    return *this;
}

PackedRows::~PackedRows() {
    TellViewer();
}

PackedRows PackedRows::Snapshot(std::size_t first, std::size_t count) const {
    PackedRows copy;
    if (count == 0)
        return copy;
    copy.m_rows.Reserve(count);
    std::memcpy(copy.m_rows.Extend(count), m_rows.Data() + first, count * sizeof(std::uintptr_t));
    copy.m_rows[0] &= ~kFollows;
    copy.m_store = m_store;
    copy.m_bAllFollow = m_bAllFollow;
    // One run of blocks: its bytes are where it starts and ends. Else counted when needed.
    copy.m_nLive = m_bAllFollow
                       ? static_cast<std::size_t>(copy.Block(count - 1) + copy.BlockSize(count - 1) - copy.Block(0))
                       : kUnknown;
    return copy;
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

std::uint64_t PackedRows::MemoryLeft() const {
    if (!m_pfnMemoryLeft)
        return ReallocArray<char>::kNoLimit;
    // Room already set aside will be taken as it fills: it is not left.
    const std::uint64_t unused = (m_rows.Capacity() - m_rows.Size()) * kIndexBytes + (m_store ? m_store->Room() : 0);
    const std::uint64_t left = m_pfnMemoryLeft();
    return left > unused ? left - unused : 0;
}

void PackedRows::Store::Add(char* p, std::size_t size, std::size_t capacity) {
    m_chunks.push_back({p, size, capacity});
    m_nUsed += size;
    m_nCapacity += capacity;
}

char* PackedRows::AllocateChunk(std::size_t size) noexcept {
    // A small block in small pages: a huge page would hold far more than its bytes.
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    if (size < 8 * kHugePage)
        return static_cast<char*>(std::malloc(size));
    const std::size_t whole = (size + kHugePage - 1) / kHugePage * kHugePage;
    char* p = static_cast<char*>(std::aligned_alloc(kHugePage, whole));
    // Only advice: without it the pages are small. All of the last huge page too, or its
    // 2 MB would be 500 small pages, each a fault.
    if (p)
        ::madvise(p, whole, MADV_HUGEPAGE);
    return p;
}

void PackedRows::Store::Grow(std::size_t capacity) {
    m_chunks.reserve(m_chunks.size() + 1); // before the memory, which nothing would free
    char* p = AllocateChunk(capacity);
    if (!p)
        throw std::bad_alloc();
    Add(p, 0, capacity);
    m_nGrown += capacity;
}

char* PackedRows::Reserve(std::size_t bytes) {
    if (!m_store)
        m_store = std::make_shared<Store>();
    if (bytes > m_store->Room()) {
        // A new chunk as large as those made so far together, so that the chunks stay
        // few; the blocks already written stay where they are.
        constexpr std::size_t kFirstChunk = 4096;
        std::size_t size = std::max({bytes, kFirstChunk, m_store->m_nGrown});
        const std::uint64_t left = MemoryLeft();
        if (bytes > left)
            ThrowTooBigForMemory();
        m_store->Grow(static_cast<std::size_t>(std::min<std::uint64_t>(size, left)));
    }
    return m_store->m_chunks.back().p + m_store->m_chunks.back().size;
}

void PackedRows::AdoptChunk(char* bytes, std::size_t size) {
    struct Free {
        void operator()(char* p) const noexcept { std::free(p); }
    };
    std::unique_ptr<char, Free> owned(bytes);
    if (!m_store)
        m_store = std::make_shared<Store>();
    // Before the last chunk, which rows written at the end go on filling.
    std::vector<Store::Chunk>& chunks = m_store->m_chunks;
    chunks.insert(chunks.empty() ? chunks.cend() : chunks.cend() - 1, {owned.release(), size, size});
    m_store->m_nUsed += size;
    m_store->m_nCapacity += size;
}

void PackedRows::AppendBlockAt(char* at) {
    TellViewer();
    if (m_rows.Size() == m_rows.Capacity())
        m_rows.ReserveMore(1, MemoryLeft());
    const std::size_t size = BlockSize(at);
    ++m_nEdits;
    const bool follows = !m_rows.Empty() && Block(m_rows.Size() - 1) + BlockSize(m_rows.Size() - 1) == at;
    if (!follows && !m_rows.Empty())
        m_bAllFollow = false;
    m_rows.PushBack(Entry(at, follows));
    if (m_nLive != kUnknown)
        m_nLive += size;
}

char* PackedRows::Extend(std::size_t bytes) noexcept {
    Store::Chunk& last = m_store->m_chunks.back();
    char* at = last.p + last.size;
    last.size += bytes;
    m_store->m_nUsed += bytes;
    return at;
}

void PackedRows::Insert(std::size_t row, const Texts& texts) {
    TellViewer();
    Lengths lengths;
    std::size_t size = 0;
    for (std::size_t i = 0; i < kCells; ++i) {
        lengths[i] = static_cast<std::uint32_t>(Cut(texts[i]).size());
        size += lengths[i];
    }
    size += HeaderSize(lengths);
    // Both the index and the store have room before anything changes: a failed growth
    // leaves the rows as they were. The texts may be this store's: its bytes never move.
    if (m_rows.Size() == m_rows.Capacity())
        m_rows.ReserveMore(1, MemoryLeft());
    char* at = Reserve(size);
    ++m_nEdits;
    const bool follows = row > 0 && EndsBytes(row - 1);
    if (m_store->Room() > kWriteAhead)
        __builtin_prefetch(at + kWriteAhead, 1);
    Extend(size);
    const char* block = at;
    at += WriteHeader(at, lengths);
    for (std::size_t i = 0; i < kCells; ++i) {
        PutText(at, texts[i].substr(0, lengths[i]));
        at += lengths[i];
    }
    if (m_nLive != kUnknown)
        m_nLive += size;
    if (row == m_rows.Size()) {
        m_rows.PushBack(Entry(block, follows)); // the common case: rows filled from the top down
    } else {
        m_rows.Insert(row, Entry(block, follows));
        SetMark(row + 1, false); // nothing lies after the new block
    }
    if (!follows && row > 0)
        m_bAllFollow = false;
}

void PackedRows::SetMark(std::size_t row, bool follows) noexcept {
    m_rows[row] = (m_rows[row] & ~kFollows) | (follows ? kFollows : 0);
    if (!follows && row > 0)
        m_bAllFollow = false;
}

void PackedRows::MarkFollows(std::size_t row) noexcept {
    if (row < m_rows.Size())
        SetMark(row, row > 0 && Block(row - 1) + BlockSize(row - 1) == Block(row));
}

void PackedRows::SetText(std::size_t row, int cell, std::string_view text) {
    TellViewer();
    text = Cut(text);
    const char* block = Block(row);
    const Lengths lengths = ReadLengths(block);
    const auto at = static_cast<std::size_t>(cell);
    Lengths newLengths = lengths;
    newLengths[at] = static_cast<std::uint32_t>(text.size());
    // The last block written, no other rows sharing it, with this cell and the ones
    // after it still empty and its lengths keeping their size: the text goes on at the
    // end of the store, room there allowing (no other block follows it).
    bool append = OwnsStore() && block + BlockSize(lengths) == m_store->End() &&
                  HeaderSize(lengths) == HeaderSize(newLengths) && text.size() <= m_store->Room();
    for (std::size_t i = at; i < kCells && append; ++i)
        append = lengths[i] == 0;
    if (!append) {
        Rewrite(row, at, text);
        return;
    }
    ++m_nEdits;
    WriteHeader(const_cast<char*>(block), newLengths);
    PutText(Extend(text.size()), text);
    if (m_nLive != kUnknown)
        m_nLive += text.size();
}

// The row written again at the end with `text` in `cell`; the old block stays as it
// is for whoever else refers to it.
void PackedRows::Rewrite(std::size_t row, std::size_t cell, std::string_view text) {
    const char* old = Block(row);
    const Lengths oldLengths = ReadLengths(old);
    Lengths lengths = oldLengths;
    lengths[cell] = static_cast<std::uint32_t>(text.size());
    const std::size_t size = BlockSize(lengths);
    char* at = Reserve(size);
    ++m_nEdits;
    const bool follows = row > 0 && EndsBytes(row - 1);
    Extend(size);
    char* const block = at;
    at += WriteHeader(at, lengths);
    const char* oldText = old + HeaderSize(old);
    for (std::size_t i = 0; i < kCells; ++i) {
        const std::string_view t = i == cell ? text : std::string_view(oldText, oldLengths[i]);
        PutText(at, t);
        at += t.size();
        oldText += oldLengths[i];
    }
    m_rows[row] = Entry(block, false);
    SetMark(row, follows);
    if (row + 1 < m_rows.Size())
        SetMark(row + 1, false);
    if (m_nLive != kUnknown)
        m_nLive = m_nLive + size - BlockSize(oldLengths);
    CompactIfWasteful();
}

void PackedRows::Erase(std::size_t row) {
    TellViewer();
    ++m_nEdits;
    if (m_nLive != kUnknown)
        m_nLive -= BlockSize(row);
    m_rows.Erase(row);
    MarkFollows(row);
    if (m_rows.Empty())
        Clear();
    else
        CompactIfWasteful();
}

void PackedRows::MoveHeadBefore(std::size_t i) {
    TellViewer();
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
    TellViewer();
    // Each block copied once, in its new place's order, into a store of its own with one
    // chunk: sequential writes, and the reads asked for a few rows ahead. The new entries
    // take the order's places as they are made.
    constexpr std::size_t kAhead = 8;
    const std::size_t count = order.size();
    const std::size_t live = LiveBytes();
    PackedRows fresh;
    if (live > 0)
        fresh.Reserve(live);
    for (std::size_t k = 0; k < count; ++k) {
        if (k + 2 * kAhead < count)
            __builtin_prefetch(&m_rows[order[k + 2 * kAhead]]);
        if (k + kAhead < count)
            __builtin_prefetch(Block(order[k + kAhead]));
        const char* block = Block(order[k]);
        const std::size_t size = BlockSize(block);
        char* at = fresh.Extend(size);
        std::memcpy(at, block, size);
        order[k] = Entry(at, k > 0);
    }
    for (std::size_t k = 0; k < count; ++k)
        m_rows[k] = order[k];
    std::vector<std::size_t>().swap(order);
    m_store = std::move(fresh.m_store);
    m_nLive = live;
    m_bAllFollow = true;
    ++m_nEdits;
}

std::size_t PackedRows::LiveBytes() noexcept {
    if (m_nLive != kUnknown)
        return m_nLive;
    // Runs of blocks that lie back to back: each counted from where it starts to where its last block ends.
    std::size_t live = 0;
    for (std::size_t i = 0; i < m_rows.Size();) {
        std::size_t next = i + 1;
        while (next < m_rows.Size() && Follows(next))
            ++next;
        live += static_cast<std::size_t>(Block(next - 1) + BlockSize(next - 1) - Block(i));
        i = next;
    }
    return m_nLive = live;
}

void PackedRows::CompactIfWasteful() {
    // Blocks other rows share stay where they are: no copy of them while they are shared.
    if (OwnsStore() && m_store->m_nUsed - LiveBytes() > m_store->m_nUsed / 2)
        Compact();
}

// Every row copied once, in row order, into a store of its own with one chunk; the
// index is rewritten in place.
void PackedRows::Compact() {
    const std::size_t live = LiveBytes();
    PackedRows fresh;
    if (live > 0)
        fresh.Reserve(live);
    for (std::size_t row = 0; row < m_rows.Size(); ++row) {
        const std::size_t size = BlockSize(row);
        char* at = fresh.Extend(size);
        std::memcpy(at, Block(row), size);
        m_rows[row] = Entry(at, row > 0);
    }
    m_store = std::move(fresh.m_store);
    m_nLive = live;
    m_bAllFollow = true;
    ++m_nEdits;
}

void PackedRows::Clear() noexcept {
    TellViewer();
    ++m_nEdits;
    m_rows.Clear();
    m_nLive = 0;
    m_bAllFollow = true;
    if (!OwnsStore()) {
        m_store.reset();
        return;
    }
    // The last chunk stays for the next rows, the others go.
    std::vector<Store::Chunk>& chunks = m_store->m_chunks;
    if (chunks.empty())
        return;
    for (std::size_t i = 0; i + 1 < chunks.size(); ++i)
        std::free(chunks[i].p);
    chunks.erase(chunks.cbegin(), chunks.cend() - 1);
    chunks.back().size = 0;
    m_store->m_nUsed = 0;
    m_store->m_nCapacity = chunks.back().capacity;
    m_store->m_nGrown = chunks.back().capacity;
}

void PackedRows::Reserve(std::size_t rows, std::size_t bytes) {
    const std::size_t moreRows = m_rows.Size() + rows - std::min(m_rows.Capacity(), m_rows.Size() + rows);
    const std::size_t room = m_store ? m_store->Room() : 0;
    const std::size_t moreBytes = bytes > room ? bytes : 0;
    if (std::uint64_t{moreRows} * kIndexBytes + moreBytes > MemoryLeft())
        ThrowTooBigForMemory();
    m_rows.Reserve(m_rows.Size() + rows);
    if (moreBytes > 0) {
        // Exactly this much: a load knows the most it will write.
        if (!m_store)
            m_store = std::make_shared<Store>();
        m_store->Grow(bytes);
    }
}

void PackedRows::ShrinkToFit() noexcept {
    m_rows.ShrinkToFit();
    try {
        CompactIfWasteful();
    } catch (const std::exception&) { // no memory for the copy
        // The rows stay as they are, space unused and all.
    }
    if (!OwnsStore() || m_store->Room() == 0)
        return;
    Store::Chunk& last = m_store->m_chunks.back();
    if (last.size == 0) {
        std::free(last.p);
        m_store->m_nCapacity -= last.capacity;
        m_store->m_nGrown -= std::min(m_store->m_nGrown, last.capacity);
        m_store->m_chunks.pop_back();
        if (m_store->m_chunks.empty())
            m_store.reset();
        return;
    }
    const auto oldStart = reinterpret_cast<std::uintptr_t>(last.p);
    void* p = std::realloc(last.p, last.size);
    if (!p)
        return;
    m_store->m_nCapacity -= last.capacity - last.size;
    m_store->m_nGrown -= std::min(m_store->m_nGrown, last.capacity - last.size);
    last.capacity = last.size;
    last.p = static_cast<char*>(p);
    const auto newStart = reinterpret_cast<std::uintptr_t>(p);
    if (newStart == oldStart)
        return; // shrunk in place, as large blocks are
    // Moved after all: the rows in that chunk (only these rows hold the store) point anew.
    for (std::size_t row = 0; row < m_rows.Size(); ++row) {
        const std::uintptr_t at = m_rows[row] & ~kFollows;
        if (at >= oldStart && at < oldStart + last.size)
            m_rows[row] = (at - oldStart + newStart) | (m_rows[row] & kFollows);
    }
}

void PackedRows::AppendRows(const PackedRows& from, std::size_t first, std::size_t count,
                            const std::function<void(std::size_t row)>& onRow) {
    TellViewer();
    const std::size_t end = first + count;
    if (count == 0)
        return;
    if (m_rows.Capacity() - m_rows.Size() < count)
        m_rows.ReserveMore(count, MemoryLeft());
    // Rows that hold no store yet take `from`'s: its rows are then references, no copy.
    if (m_rows.Empty() && m_store != from.m_store) {
        m_store = from.m_store;
        m_nLive = 0;
    }
    for (std::size_t i = first; i < end;) {
        // The run of rows from i whose blocks lie back to back.
        std::size_t next = end;
        if (!from.m_bAllFollow) {
            for (next = i + 1; next < end && from.Follows(next);)
                ++next;
        }
        const char* start = from.Block(i);
        const std::size_t bytes = static_cast<std::size_t>(from.Block(next - 1) + from.BlockSize(next - 1) - start);
        const char* base = start;
        if (m_store != from.m_store) {
            char* at = Reserve(bytes);
            Extend(bytes);
            std::memcpy(at, start, bytes);
            base = at;
        }
        const bool follows = !m_rows.Empty() && Block(m_rows.Size() - 1) + BlockSize(m_rows.Size() - 1) == base;
        ++m_nEdits;
        if (m_nLive != kUnknown)
            m_nLive += bytes;
        const std::size_t firstRow = m_rows.Size();
        m_rows.PushBack(Entry(base, follows));
        if (!follows && firstRow > 0)
            m_bAllFollow = false;
        if (!onRow) {
            for (std::size_t j = i + 1; j < next; ++j)
                m_rows.PushBack(Entry(base + (from.Block(j) - start), true));
            i = next;
            continue;
        }
        // While the call may change the rows, the blocks of the run not yet in them are
        // no row's: counted as live only once they are, so that the count is right
        // whether the call keeps them, compacts them away or empties the rows.
        if (m_nLive != kUnknown)
            m_nLive -= bytes - static_cast<std::size_t>((i + 1 < next ? from.Block(i + 1) : start + bytes) - start);
        const std::uint64_t edits = m_nEdits;
        for (std::size_t j = i; j < next; ++j) {
            if (j > i) {
                m_rows.PushBack(Entry(base + (from.Block(j) - start), true));
                if (m_nLive != kUnknown)
                    m_nLive += from.BlockSize(j);
            }
            onRow(m_rows.Size() - 1);
            if (m_nEdits == edits)
                continue;
            // Changed from inside the call: the rest row by row, as it comes, so that a
            // call that changes the rows every time does not copy runs again and again.
            for (++j; j < end; ++j) {
                if (m_store == from.m_store)
                    PushShared(from, j);
                else
                    Append(from.Row(j));
                onRow(m_rows.Size() - 1);
            }
            return;
        }
        i = next;
    }
}

void PackedRows::PushShared(const PackedRows& from, std::size_t row) {
    ++m_nEdits;
    const char* block = from.Block(row);
    const std::size_t size = BlockSize(block);
    const bool follows = !m_rows.Empty() && Block(m_rows.Size() - 1) + BlockSize(m_rows.Size() - 1) == block;
    m_rows.PushBack(Entry(block, follows));
    if (!follows && m_rows.Size() > 1)
        m_bAllFollow = false;
    if (m_nLive != kUnknown)
        m_nLive += size;
}
