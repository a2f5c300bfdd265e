#pragma once
// Rows of four byte strings packed back to back in one buffer: the phone book's
// records, the copy of them that searches read, and the result list's rows.

#include "ReallocArray.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

/// Each row is one block: its four texts' lengths, then the texts themselves;
/// the rows' index holds where each block starts. The lengths take a byte each
/// while every text of the row is shorter than 255 bytes (a row of short texts
/// costs 12 bytes besides them, 8 of them in the index), else a marker byte and
/// four bytes each. A row written at the end, as a list filled from the top down
/// is, costs one copy, not four allocations.
///
/// The blocks lie in a store of chunks that only grows at its end: once written,
/// a block's bytes never move and never change while more than one set of rows
/// refers to them. Snapshot() gives other rows (a result list's) that share the
/// store, for the price of their index; whatever the rows here do afterwards, the
/// snapshot keeps its texts, and each set of rows keeps the store alive. A row
/// whose text is replaced is written anew at the end; the space it leaves is
/// taken back once it makes up half the store and no other rows share it. The
/// index grows with realloc, so a large one moves without being copied.
class PackedRows {
public:
    /// Tells how many more bytes the system can give.
    using MemoryLeftFn = std::uint64_t (*)();

    static constexpr int kCells = 4;
    using Texts = std::array<std::string_view, kCells>;
    /// A cell holds at most this many bytes; longer texts are cut.
    static constexpr std::size_t kMaxText = std::numeric_limits<std::uint32_t>::max();

    PackedRows() = default;
    PackedRows(PackedRows&& other) noexcept;
    PackedRows& operator=(PackedRows&& other) noexcept;
    PackedRows(const PackedRows&) = delete;
    PackedRows& operator=(const PackedRows&) = delete;
    ~PackedRows();

    std::size_t Count() const noexcept { return m_rows.Size(); }

    /// Rows [first, first + count) as rows of their own that share these rows' store:
    /// no text is copied, and later changes on either side leave the other as it was.
    PackedRows Snapshot(std::size_t first, std::size_t count) const;
    /// Something that shows these rows through their own index rather than a snapshot,
    /// until they are about to change: it takes its snapshot then.
    class Viewer {
    public:
        /// Called just before these rows change or go; the viewer is no longer registered.
        virtual void BeforeRowsChange(const PackedRows& rows) noexcept = 0;

    protected:
        ~Viewer() = default;
    };
    /// Registers `viewer` (null for none); a viewer registered before is told first.
    void SetViewer(Viewer* viewer) noexcept {
        if (m_pViewer != viewer)
            TellViewer();
        m_pViewer = viewer;
    }
    /// Unregisters `viewer` if it is the one registered, without telling it.
    void DropViewer(const Viewer* viewer) noexcept {
        if (m_pViewer == viewer)
            m_pViewer = nullptr;
    }
    /// Rows handed to something that shows them: it may read them and register as
    /// their viewer, and change nothing else.
    class Shown {
    public:
        explicit Shown(PackedRows& rows) noexcept : m_pRows(&rows) {}
        const PackedRows& operator*() const noexcept { return *m_pRows; }
        const PackedRows* operator->() const noexcept { return m_pRows; }
        void SetViewer(Viewer* viewer) const noexcept { m_pRows->SetViewer(viewer); }
        void DropViewer(const Viewer* viewer) const noexcept { m_pRows->DropViewer(viewer); }

    private:
        PackedRows* m_pRows;
    };

    std::string_view Text(std::size_t row, int cell) const noexcept {
        const char* block = Block(row);
        const auto* lengths = reinterpret_cast<const unsigned char*>(block);
        if (lengths[0] == kLongMark) [[unlikely]]
            return LongText(block, cell);
        std::size_t start = kShortHeader;
        for (int i = 0; i < cell; ++i)
            start += lengths[i];
        return {block + start, lengths[cell]};
    }

    /// The four texts of row `row`.
    Texts Row(std::size_t row) const noexcept {
        const char* block = Block(row);
        const Lengths lengths = ReadLengths(block);
        const char* text = block + HeaderSize(block);
        Texts texts;
        for (std::size_t i = 0; i < kCells; ++i) {
            texts[i] = {text, lengths[i]};
            text += lengths[i];
        }
        return texts;
    }

    /// The four texts of row `row` back to back, as they lie in its block.
    std::string_view TextBytes(std::size_t row) const noexcept {
        const char* block = Block(row);
        const std::size_t header = HeaderSize(block);
        return {block + header, BlockSize(block) - header};
    }

    /// Adds a row at `row` (Count() appends) with these texts, which may be texts of these rows.
    void Insert(std::size_t row, const Texts& texts);
    void Append(const Texts& texts) { Insert(Count(), texts); }
    void SetText(std::size_t row, int cell, std::string_view text);
    void Erase(std::size_t row);
    /// Moves the first row so that it stands before row `i` as it is now (1 <= i <= Count()).
    void MoveHeadBefore(std::size_t i);
    /// Puts the rows in the order `order` gives (the new row k is the row that stood at
    /// order[k]; `order` is a permutation of 0..Count()-1, used up and freed), then
    /// writes their blocks anew in that order.
    void Reorder(std::vector<std::size_t>& order);
    /// Empties the rows; the memory stays for the next ones.
    void Clear() noexcept;
    /// Room for `rows` more rows whose blocks take `bytes` in all, exactly.
    void Reserve(std::size_t rows, std::size_t bytes);
    /// Gives back the room reserved past the rows in use, and the space of blocks no
    /// row uses when it makes up half the store and no other rows share it.
    void ShrinkToFit() noexcept;

    /// `size` bytes for the store (or AdoptChunk), freed with std::free: a large block in
    /// huge pages where the system gives them on request, a few hundred page faults fewer
    /// per 100 MB, a good part of the time it takes to fill it. Null when there is no memory.
    static char* AllocateChunk(std::size_t size) noexcept;
    /// Takes `bytes` (`size` bytes from malloc, freed with the store) into the store as
    /// a chunk of its own, for rows whose blocks are made in it (AppendBlockAt). Its bytes
    /// count as unused until rows use them; rows added otherwise go elsewhere.
    void AdoptChunk(char* bytes, std::size_t size);
    /// A block of short texts: kCells length bytes, each below 255, then the texts.
    static constexpr std::size_t kShortHeader = kCells;
    /// Appends the row whose block of short texts lies at `at`, in a chunk AdoptChunk
    /// gave these rows.
    void AppendBlockAt(char* at);
    /// The memory the rows hold, room reserved included, and all of a store they share.
    std::size_t MemoryBytes() const noexcept {
        return m_rows.Capacity() * sizeof(std::uintptr_t) + (m_store ? m_store->m_nCapacity : 0);
    }
    /// When set, every growth (and Reserve) first asks how much the system can still
    /// give, less the room already set aside, grows no further than that and throws
    /// the TooBig ArchiveError (ThrowTooBigForMemory) when it needs more.
    void SetGrowthCheck(MemoryLeftFn memoryLeft) noexcept { m_pfnMemoryLeft = memoryLeft; }

    /// Most bytes that `rows` rows holding `textBytes` bytes of text in all take in the
    /// buffer (the index not counted).
    static std::uint64_t BlockBytesAtMost(std::uint64_t rows, std::uint64_t textBytes) noexcept {
        // Only a row with a text of 255 bytes or more takes the long lengths.
        return rows * kShortHeader + textBytes + textBytes / 255 * (kLongHeader - kShortHeader);
    }
    /// Bytes that the index takes for each row.
    static constexpr std::size_t kIndexBytes = sizeof(std::uintptr_t);

    /// Appends rows [first, first + count) of `from`, calling `onRow` with each new
    /// row's index as soon as that row is in place (it may change these rows); an
    /// empty `onRow` is never called. Rows with no store yet, or with `from`'s, take
    /// the rows as references into that store; otherwise each run of rows whose
    /// blocks lie back to back in `from` is copied in one go, in order or not.
    /// `from` must be another object.
    void AppendRows(const PackedRows& from, std::size_t first, std::size_t count,
                    const std::function<void(std::size_t row)>& onRow);

    /// Asks the memory of row `row` into the cache ahead of a walk.
    void Prefetch(std::size_t row) const noexcept { __builtin_prefetch(Block(row)); }

    /// Calls `run(first, count, bytes)` for each run of consecutive rows whose blocks lie
    /// back to back, in row order: rows [first, first + count) and all their blocks'
    /// bytes, lengths included, for a scan of the whole book at once.
    template <class F> void ForEachRun(F&& run) const {
        for (std::size_t first = 0, count = m_rows.Size(); first < count;) {
            std::size_t end = first + 1;
            while (end < count && Follows(end))
                ++end;
            const char* begin = Block(first);
            run(first, end - first, std::string_view(begin, static_cast<std::size_t>(
                                                                Block(end - 1) + BlockSize(end - 1) - begin)));
            first = end;
        }
    }
    /// Where the block of row `row` begins in the bytes ForEachRun shows.
    const char* BlockBegin(std::size_t row) const noexcept { return Block(row); }

private:
    static constexpr unsigned char kLongMark = 0xFF;
    static constexpr std::size_t kLongHeader = 1 + kCells * sizeof(std::uint32_t);
    using Lengths = std::array<std::uint32_t, kCells>;

    /// The blocks' bytes, in chunks that are never moved while a row refers to them.
    struct Store {
        struct Chunk {
            char* p = nullptr;
            std::size_t size = 0;
            std::size_t capacity = 0;
        };
        std::vector<Chunk> m_chunks;
        std::size_t m_nUsed = 0;     // bytes written, in all chunks
        std::size_t m_nCapacity = 0; // bytes allocated, in all chunks
        std::size_t m_nGrown = 0;    // bytes of the chunks made for rows written at the end
        Store() = default;
        Store(const Store&) = delete;
        Store& operator=(const Store&) = delete;
        ~Store();
        /// Where the next byte goes (null before the first chunk).
        const char* End() const noexcept {
            return m_chunks.empty() ? nullptr : m_chunks.back().p + m_chunks.back().size;
        }
        std::size_t Room() const noexcept {
            return m_chunks.empty() ? 0 : m_chunks.back().capacity - m_chunks.back().size;
        }
        void Add(char* p, std::size_t size, std::size_t capacity);
        /// A new empty chunk of `capacity` bytes at the end, for rows written there.
        void Grow(std::size_t capacity);
    };

    static Lengths ReadLengths(const char* block) noexcept {
        const auto* b = reinterpret_cast<const unsigned char*>(block);
        if (b[0] != kLongMark)
            return {b[0], b[1], b[2], b[3]};
        Lengths lengths;
        std::memcpy(lengths.data(), block + 1, sizeof(lengths));
        return lengths;
    }
    static std::size_t HeaderSize(const char* block) noexcept {
        return static_cast<unsigned char>(block[0]) == kLongMark ? kLongHeader : kShortHeader;
    }
    static std::size_t HeaderSize(const Lengths& lengths) noexcept;
    /// Writes the lengths at `block`; returns their size.
    static std::size_t WriteHeader(char* block, const Lengths& lengths) noexcept;
    static std::size_t BlockSize(const Lengths& lengths) noexcept;
    static std::size_t BlockSize(const char* block) noexcept {
        const auto* b = reinterpret_cast<const unsigned char*>(block);
        if (b[0] != kLongMark) // short lengths: all of them below the mark
            return kShortHeader + std::size_t{b[0]} + b[1] + b[2] + b[3];
        return BlockSize(ReadLengths(block));
    }
    static std::string_view LongText(const char* block, int cell) noexcept;
    const char* Block(std::size_t row) const noexcept { return reinterpret_cast<const char*>(m_rows[row] & ~kFollows); }
    std::size_t BlockSize(std::size_t row) const noexcept { return BlockSize(Block(row)); }

    // The top bit of a row's entry (never part of a user-space address) marks a block
    // that starts where the previous row's ends, so that runs of such rows are found
    // without reading the blocks.
    static constexpr std::uintptr_t kFollows = std::uintptr_t{1} << (std::numeric_limits<std::uintptr_t>::digits - 1);
    static std::uintptr_t Entry(const char* block, bool follows) noexcept {
        return reinterpret_cast<std::uintptr_t>(block) | (follows ? kFollows : 0);
    }
    bool Follows(std::size_t row) const noexcept { return (m_rows[row] & kFollows) != 0; }
    void SetMark(std::size_t row, bool follows) noexcept;
    /// Sets the mark of row `row` (if there is one) from where the blocks lie now.
    void MarkFollows(std::size_t row) noexcept;
    /// Whether a block written at the end now would follow row `row`'s.
    bool EndsBytes(std::size_t row) const noexcept { return Block(row) + BlockSize(row) == m_store->End(); }
    /// Whether these rows are the store's only holder, so that its bytes may change.
    bool OwnsStore() const noexcept { return m_store.use_count() == 1; }

    /// Room for `bytes` more at the end of the store; returns where they go.
    char* Reserve(std::size_t bytes);
    /// Counts `bytes` of the room reserved as written; returns where they go.
    char* Extend(std::size_t bytes) noexcept;
    /// What the growth check allows to take yet: unlimited when there is none.
    std::uint64_t MemoryLeft() const;
    void Rewrite(std::size_t row, std::size_t cell, std::string_view text);
    /// Bytes of the blocks the rows refer to, counted when unknown.
    std::size_t LiveBytes() noexcept;
    /// Takes back the space of blocks no row uses when it is half the store and no other rows share it.
    void CompactIfWasteful();
    void Compact();
    /// Appends row `row` of `from`, which shares the store, as a reference to its block.
    void PushShared(const PackedRows& from, std::size_t row);

    /// Tells the registered viewer, if any, that the rows are about to change.
    void TellViewer() noexcept {
        if (Viewer* viewer = std::exchange(m_pViewer, nullptr))
            viewer->BeforeRowsChange(*this);
    }

    ReallocArray<std::uintptr_t> m_rows; // where each row's block starts, with the kFollows mark
    Viewer* m_pViewer = nullptr;
    std::shared_ptr<Store> m_store; // shared with snapshots, freed with the last of them
    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
    std::size_t m_nLive = 0;    // bytes of the blocks the rows refer to; kUnknown until counted
    bool m_bAllFollow = true;   // every row after the first carries the kFollows mark
    std::uint64_t m_nEdits = 0; // changes so far, to notice changes made while rows are appended
    MemoryLeftFn m_pfnMemoryLeft = nullptr;
};
