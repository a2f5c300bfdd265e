#pragma once
// The phone book's archive read straight from its bytes: the object header, the count
// and the records' strings in each of their stored forms, with the checks and the
// messages of an open. The one reader of the format; CArchive is its one writer.

#include "PhoneRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// Throws the EndOfFile error of an archive whose bytes end before what its header, a
/// count or a length announces.
[[noreturn]] void ThrowArchiveEnd();

/// The stored records of an archive's bytes, one after the other. A narrow field is a
/// view of the bytes; a wide one is converted to code page 932 into storage of the
/// reader, valid until the next record is read. Throws the ArchiveError an open
/// throws, at the record where the open would.
class ArchiveRecords {
public:
    /// Reads the object header and the count. Empty bytes hold an empty phone book.
    explicit ArchiveRecords(std::string_view bytes);

    std::size_t GetCount() const noexcept { return m_nCount; }
    /// The next record into `record`; false after the last one.
    bool Next(PhoneRecordView& record) {
        if (m_nRead == m_nCount)
            return false;
        record.m_strRomaji = Field(0);
        record.m_strKanji = Field(1);
        record.m_strPhone = Field(2);
        record.m_strMemo = Field(3);
        ++m_nRead;
        return true;
    }
    /// Reads the next record when its four fields are narrow, each after a length byte of
    /// its own, as a save writes short fields: their lengths into `lengths`, the record
    /// lying from Offset() before the call. Else false, and nothing is read. (The step of
    /// an open of a large book: always inline.)
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
        ++m_nRead;
        return true;
    }
    /// Offset of the byte after the last record read.
    std::size_t Offset() const noexcept { return m_pos; }

private:
    // Most fields are short and stored narrow: one length byte, then the bytes. The length
    // of such a field at `pos` whose bytes are all there, else -1.
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
    // Throws the end-of-file error unless `n` more bytes are there.
    void Require(std::uint64_t n) const {
        if (m_bytes.size() - m_pos < n)
            ThrowArchiveEnd();
    }

    std::string_view m_bytes;
    std::size_t m_pos = 0;
    std::size_t m_nCount = 0;
    std::size_t m_nRead = 0;
    std::string m_wide[4];
};
