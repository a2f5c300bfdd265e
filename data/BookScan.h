#pragma once
// Phone-book files read straight from their bytes, record by record, for
// readers that look at each record once (the command line's searches and
// conversions): no record list, no copy of a field that lies in the file.
// The checks and messages are those of an open.

#include "ArchiveRecords.h"
#include "PhoneRecord.h"
#include "platform/Mbcs.h"

#include <QByteArray>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

class QIODevice;
struct TextExportLoss;

/// All bytes of a file opened for reading (OpenForReading): a regular file read
/// whole into one block, a pipe's bytes as they were gathered. Throws ArchiveError(Io)
/// when a read fails, std::bad_alloc when memory runs out.
class BookBytes {
public:
    explicit BookBytes(QIODevice& file);
    /// Only sets the block aside: ReadIn() reads the bytes, and may run on another
    /// thread while readers of Block() wait for them through Arrival().
    enum class Later { Read };
    BookBytes(QIODevice& file, Later);
    ~BookBytes();
    BookBytes(const BookBytes&) = delete;
    BookBytes& operator=(const BookBytes&) = delete;
    /// All bytes read, once they are.
    std::string_view View() const noexcept { return m_view; }

    /// Reads the bytes into the block, telling Arrival() as they come, and its end
    /// however reading ends. Throws as the reading constructor does.
    void ReadIn();
    /// The block the bytes go to: as long as the file was when opened, or longer.
    std::string_view Block() const noexcept {
        return m_nBlockSize > 0 ? std::string_view(static_cast<const char*>(m_pBlock), m_nExpected) : m_view;
    }
    const ByteArrival& Arrival() const noexcept { return m_arrival; }

private:
    QIODevice& m_file;
    void* m_pBlock = nullptr;
    std::size_t m_nBlockSize = 0;
    std::size_t m_nExpected = 0;
    QByteArray m_gathered;
    std::string_view m_view;
    ByteArrival m_arrival;
};

/// The bytes of a text exchange file that reading takes: up to the first Ctrl-Z.
std::string_view TextPart(std::string_view bytes);

/// Calls `line(text)` for each line of `text` as a text-mode read gives it: split at
/// LF, a CR directly before the LF taken away, a last line without LF kept when it
/// is not empty.
template <class F> void ForEachTextLine(std::string_view text, F&& line) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const void* nl = std::memchr(text.data() + pos, '\n', text.size() - pos);
        if (!nl) {
            line(text.substr(pos));
            return;
        }
        const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(nl) - text.data());
        const std::size_t take = end > pos && text[end - 1] == '\r' ? end - 1 - pos : end - pos;
        line(text.substr(pos, take));
        pos = end + 1;
    }
}

/// The fields of a text line as reading makes them (ParseTextLine), as views of the
/// line. The memo's lines are `memoText` with each comma standing for a CR LF.
struct TextLineFields {
    std::string_view romaji, kanji, phone;
    std::string_view memoText;
    std::size_t memoSize = 0; ///< byte length of the memo, its line breaks as CR LF

    explicit TextLineFields(std::string_view line);
    /// The romaji name alone: the bytes before the first comma, none without one.
    static std::string_view NameOf(std::string_view line) {
        const std::size_t comma = line.find(',');
        return comma == std::string_view::npos ? std::string_view() : line.substr(0, comma);
    }
    /// The memo as the record holds it, into `memo`.
    void MemoInto(std::string& memo) const;
    /// Throws ArchiveError(BadFormat) for a field past the longest a record holds.
    void CheckSizes() const;
};

/// The first position at or after `from` of a byte that a text line treats apart: a
/// comma, CR, LF or Ctrl-Z. `bytes.size()` when there is none.
std::size_t NextTextSpecial(std::string_view bytes, std::size_t from);

/// Tells, record after record of an archive's bytes, which records are plain for the
/// text format: no comma, CR, LF or Ctrl-Z in their fields but the line breaks inside a
/// memo (not at its ends). A plain record's line reads back as the record and holds no LF.
class PlainRecords {
public:
    /// Over `bytes` from the first record at `from` on.
    PlainRecords(std::string_view bytes, std::size_t from) : m_bytes(bytes), m_nBegin(from) { Slide(from); }
    /// Whether the record just read, its narrow fields views of the bytes and its last
    /// byte before `end`, is plain. Every record must be shown, in order; one with a
    /// field stored wide (`wide`) is not plain.
    bool IsPlain(const PhoneRecordView& record, std::size_t end, bool wide);
    /// Tells of a record up to `end` that was not shown to IsPlain.
    void Passed(std::size_t end) noexcept { m_nBegin = end; }

private:
    /// Flags of the bytes a text line treats apart from `from` on, 64 of them.
    std::uint64_t Flags(std::size_t from) const;
    /// Moves the two windows of flags to start at `from`.
    void Slide(std::size_t from) {
        m_nWindow = from;
        m_nFlags[0] = Flags(from);
        m_nFlags[1] = Flags(from + 64);
    }
    /// Whether the bytes of `record` flagged in `flags` (bit k: the byte at `from` + k)
    /// are all in its lengths or its memo's inner line breaks.
    static bool OnlyLengthsAndBreaks(const PhoneRecordView& record, const char* from, std::uint64_t flags);

    std::string_view m_bytes;
    std::size_t m_nBegin;           // where the next record starts
    std::size_t m_nWindow = 0;      // where the windows start
    std::uint64_t m_nFlags[2] = {}; // bit k of window w: byte m_nWindow + 64 w + k is one
};

/// Puts at `to` the text line, CR LF included, of the record in `bytes` from `begin` whose
/// four fields are narrow, each after a length byte of its own, of `lengths`
/// (ArchiveRecords::NextShort): the record's bytes from its first field on, with a comma
/// for each other length byte (none for an empty memo's) and for each CR LF of the memo.
/// The size put, or 0 when a field holds another CR or LF, or the record is over 64 bytes
/// and holds one at all; AppendTextLine makes that line. `to` has room for the record's
/// bytes and one more.
std::size_t PutShortRecordLine(char* to, std::string_view bytes, std::size_t begin,
                               const std::array<std::uint8_t, 4>& lengths) noexcept;
/// The fields of the record of short fields in `bytes` from `begin`, of `lengths`
/// (ArchiveRecords::NextShort).
inline PhoneRecordView ShortRecordView(std::string_view bytes, std::size_t begin,
                                       const std::array<std::uint8_t, 4>& lengths) noexcept {
    const char* romaji = bytes.data() + begin + 1;
    const char* kanji = romaji + lengths[0] + 1;
    const char* phone = kanji + lengths[1] + 1;
    const char* memo = phone + lengths[2] + 1;
    return {{romaji, lengths[0]}, {kanji, lengths[1]}, {phone, lengths[2]}, {memo, lengths[3]}};
}
/// Whether the record of short fields in `bytes` from `begin`, of `lengths`
/// (ArchiveRecords::NextShort), is plain (PlainRecords): 1 or 0, or -1 when it is longer
/// than 64 bytes or lies within 64 bytes of the end, for PlainRecords to tell.
int IsPlainShortRecord(std::string_view bytes, std::size_t begin, const std::array<std::uint8_t, 4>& lengths) noexcept;
/// Appends the text line of `record`, without its line end, as FormatTextLine makes it.
void AppendTextLine(std::string& out, const PhoneRecordView& record);
/// Appends the text line of the record of `fields` (the line as writing gives it back).
void AppendTextLine(std::string& out, const TextLineFields& fields);


/// Works out, record by record in phone-book order, what a text save loses
/// (AssessTextExport on the same records).
class TextExportCheck {
public:
    /// The next record. `plain`: its line reads back as it is (PlainRecords); then its
    /// name must stay where it is until the next record is added, as the file's bytes do.
    void Add(const PhoneRecordView& record, bool plain = false);
    /// The same for a plain record of that name.
    void AddPlain(std::string_view name) {
        const std::size_t index = m_nCount++;
        if (m_nCutOffAt != SIZE_MAX)
            return; // reading stops before this one
        if (index > 0 && !m_bReordered)
            m_bReordered = MbsCmp(m_prevName, name) > 0;
        m_prevName = name;
    }
    /// The loss for all records added.
    TextExportLoss Result() const;

private:
    std::size_t m_nCount = 0;
    std::size_t m_nCutOffAt = SIZE_MAX;
    std::string m_strCutOffName;
    const char* m_pszCutOffField = nullptr;
    std::size_t m_nChanged = 0;
    std::string m_strFirstChanged;
    bool m_bReordered = false;
    std::string_view m_prevName; // the last record's name, or m_strPrevName
    std::string m_strPrevName;
    PhoneRecord m_scratch, m_back;
};
