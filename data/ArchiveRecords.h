#pragma once
// The phone book's archive read straight from its bytes: the object header, the count
// and the records' strings in each of their stored forms, with the checks and the
// messages of an open. Both the window's open (CMrlData::LoadFile) and the command
// line's walks read records through this one reader. CArchive writes the format, and
// reads it from a device for the document's other reads; the command line's conversions
// write it with AppendArchiveHead and AppendArchiveString, below.

#include "PhoneRecord.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// Throws the EndOfFile error of an archive whose bytes end before what its header, a
/// count or a length announces.
[[noreturn]] void ThrowArchiveEnd();

/// How far a block of bytes that another thread reads in has come: readers of the block
/// wait here for the bytes they need.
class ByteArrival {
public:
    /// Waits until the first `n` bytes are there or no more will come: how many are there.
    std::size_t WaitFor(std::size_t n) const noexcept {
        for (;;) {
            const std::uint64_t state = m_state.load(std::memory_order_acquire);
            if ((state & ~kEnded) >= n || (state & kEnded) != 0)
                return static_cast<std::size_t>(state & ~kEnded);
            m_state.wait(state, std::memory_order_acquire);
        }
    }
    /// The reader's part: the first `n` bytes are there (before End only).
    void Arrived(std::size_t n) noexcept {
        m_state.store(n, std::memory_order_release);
        m_state.notify_all();
    }
    /// The reader's part: no more bytes come, whether all came or not.
    void End() noexcept {
        m_state.fetch_or(kEnded, std::memory_order_release);
        m_state.notify_all();
    }

private:
    static constexpr std::uint64_t kEnded = std::uint64_t{1} << 63;
    std::atomic<std::uint64_t> m_state{0};
};

/// The stored records of an archive's bytes, one after the other. A narrow field is a
/// view of the bytes; a wide one is converted to code page 932 into storage of the
/// reader, valid until the next record is read. Throws the ArchiveError an open
/// throws, at the record where the open would.
class ArchiveRecords {
public:
    /// Reads the object header and the count. Empty bytes hold an empty phone book.
    explicit ArchiveRecords(std::string_view bytes) : ArchiveRecords(bytes, nullptr) {}
    /// The same for a block that another thread is still reading in: only the bytes that
    /// `arrival` says are there are read, and where they end the reader waits for more.
    /// Every record, error and count is the one the bytes in the end give.
    ArchiveRecords(std::string_view block, const ByteArrival* arrival);

    std::size_t GetCount() const noexcept { return m_nCount; }
    /// The next record into `record`; false after the last one.
    bool Next(PhoneRecordView& record) {
        if (m_nRead == m_nCount)
            return false;
        m_bLastWide = false;
        m_bLastAsSaved = true;
        record.m_strRomaji = Field(0);
        record.m_strKanji = Field(1);
        record.m_strPhone = Field(2);
        record.m_strMemo = Field(3);
        m_bAsSaved = m_bAsSaved && m_bLastAsSaved;
        ++m_nRead;
        return true;
    }
    /// Reads the next record when its four fields are narrow, each after a length byte of
    /// its own, as a save writes short fields: their lengths into `lengths`, the record
    /// lying from Offset() before the call. Else false, and nothing is read. (The step of
    /// every walk of a large book: always inline.)
    [[gnu::always_inline]] bool NextShort(std::array<std::uint8_t, 4>& lengths) {
        if (m_nRead == m_nCount)
            return false;
        std::size_t pos = m_pos;
        for (std::uint8_t& length : lengths) {
            const int n = ShortLength(pos);
            if (n < 0)
                return false;
            length = static_cast<std::uint8_t>(n);
            pos += 1 + static_cast<std::size_t>(n);
        }
        m_pos = pos;
        m_bLastWide = false;
        m_bLastAsSaved = true;
        ++m_nRead;
        return true;
    }
    /// Reads the records not read yet, to check them or to learn AsSaved().
    void SkipAll() {
        PhoneRecordView record;
        while (Next(record)) {
        }
    }
    /// Whether one of the fields of the last record read was stored wide.
    bool LastWasWide() const noexcept { return m_bLastWide; }
    /// Whether every string read so far was narrow, with the shortest length form: then
    /// the bytes read are those a save of the same records writes.
    bool AsSaved() const noexcept { return m_bAsSaved; }
    /// The same for the strings of the last record read.
    bool LastAsSaved() const noexcept { return m_bLastAsSaved; }
    /// Offset of the byte after the last record read.
    std::size_t Offset() const noexcept { return m_pos; }
    /// The bytes there to be read so far: all of them, unless they are still arriving.
    std::string_view Readable() const noexcept { return m_bytes; }
    /// Offset of the first record.
    std::size_t RecordsBegin() const noexcept { return m_nRecordsBegin; }

private:
    // Most fields are short and stored narrow: one length byte, then the bytes. The length
    // of such a field at `pos` whose bytes are all there, else -1.
    // (A field whose bytes have not all arrived yet is read by ReadString.)
    int ShortLength(std::size_t pos) const {
        if (pos < m_bytes.size()) {
            const auto length = static_cast<unsigned char>(m_bytes[pos]);
            if (length < 0xFF && m_bytes.size() - pos - 1 >= length)
                return length;
        }
        return -1;
    }
    std::string_view Field(int i) {
        const int length = ShortLength(m_pos);
        if (length < 0)
            return ReadString(m_wide[i]);
        const std::string_view text(m_bytes.data() + m_pos + 1, static_cast<std::size_t>(length));
        m_pos += 1 + static_cast<std::size_t>(length);
        return text;
    }
    std::string_view ReadString(std::string& wide);
    std::uint32_t ReadLength();
    // Throws the end-of-file error unless `n` more bytes are there, once all have arrived.
    void Require(std::uint64_t n) {
        if (m_bytes.size() - m_pos < n && !Arrive(n))
            ThrowArchiveEnd();
    }
    bool Arrive(std::uint64_t n);

    std::string_view m_block;   // all bytes there will be, at most
    std::string_view m_bytes;   // those there so far: the start of m_block
    const ByteArrival* m_pArrival = nullptr;
    std::size_t m_pos = 0;
    std::size_t m_nRecordsBegin = 0;
    std::size_t m_nCount = 0;
    std::size_t m_nRead = 0;
    bool m_bLastWide = false;
    bool m_bAsSaved = true;
    bool m_bLastAsSaved = true;
    std::string m_wide[4];
};

/// Appends `text` as the archive stores a string (WriteString): shortest length form.
void AppendArchiveString(std::string& out, std::string_view text);
/// Appends the archive's object header and the count, as a save of the phone book writes them.
void AppendArchiveHead(std::string& out, std::size_t count);
