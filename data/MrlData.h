#pragma once

#include "RecordList.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

class CArchive;
class QIODevice;

/// The phone book: the archive object "CMrlData", schema 1, that owns its records.
class CMrlData {
public:
    static constexpr const char* kClassName = "CMrlData";
    static constexpr unsigned kSchema = 1;

    /// The records, ascending by romaji name (MbsCmp), equal names in filing order;
    /// an archive is loaded as stored.
    RecordList m_list;

    /// Moves the record at the head of `m_list` to its sorted place: before the
    /// first later record whose romaji name is strictly greater, else to the tail.
    void InsertSorted();

    /// Files `record` where adding it at the head and InsertSorted would put it,
    /// in one move. Returns its index.
    std::size_t AddSorted(const PhoneRecordView& record);

    /// Index of the first record whose four fields are byte for byte those of
    /// `texts`; nullopt when none is.
    std::optional<std::size_t> Find(const PhoneRecordView& texts) const;

    /// Stores the count and the records, or loads them (appending at the tail). A load
    /// sets aside room for the records at once, from the count and the bytes left,
    /// after holding it against the memory the system can still give: a file too big
    /// for it fails with std::bad_alloc before its records are read.
    void Serialize(CArchive& ar);

    /// Loads a phone-book file from where `file` stands to its end: the object header,
    /// then the records as Serialize loads them, with the same checks and errors. The
    /// bytes are read in one block that becomes the records' store, each record of
    /// short narrow fields made where it lies, and the order learnt on the way.
    void LoadFile(QIODevice& file);
};

/// Reads the stored records of a phone book one at a time, for callers that
/// look at each record once and keep none (or few) of them.
class StoredRecordReader {
public:
    /// Reads the count; a count the rest of the file cannot hold fails here.
    explicit StoredRecordReader(CArchive& ar);
    /// Most bytes the fields of the records not yet read can hold in all, from the bytes
    /// left in the file: each record's four length bytes at least are not field bytes,
    /// and a wide string gives no more bytes of code page 932 than it takes in the file.
    std::uint64_t FieldBytesAtMost() const noexcept;
    /// Number of records stored (0 for a zero or negative count).
    std::size_t GetCount() const noexcept { return m_nCount; }
    /// Reads the next record into `record`, reusing its strings; false after the last one.
    bool Next(PhoneRecord& record);

private:
    CArchive& m_ar;
    std::size_t m_nCount = 0;
    std::size_t m_nRead = 0;
};
