#pragma once

#include "RecordList.h"

#include <cstddef>
#include <optional>
#include <string_view>

class CArchive;

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
    std::size_t AddSorted(RecordList::Ptr record);

    /// Index of the first record whose four fields are byte for byte those of
    /// `texts`; nullopt when none is.
    std::optional<std::size_t> Find(const PhoneRecord& texts) const;

    /// Stores the count and the records, or loads them (appending at the tail).
    void Serialize(CArchive& ar);
};

/// Reads the stored records of a phone book one at a time, for callers that
/// look at each record once and keep none (or few) of them.
class StoredRecordReader {
public:
    /// Reads the count; a count the rest of the file cannot hold fails here.
    explicit StoredRecordReader(CArchive& ar);
    /// Number of records stored (0 for a zero or negative count).
    std::size_t GetCount() const noexcept { return m_nCount; }
    /// Reads the next record into `record`, reusing its strings; false after the last one.
    bool Next(PhoneRecord& record);

private:
    CArchive& m_ar;
    std::size_t m_nCount = 0;
    std::size_t m_nRead = 0;
};
