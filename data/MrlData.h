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

    /// Stores the count and the records.
    void Serialize(CArchive& ar);

    /// Loads a phone-book file from where `file` stands to its end: the object header,
    /// then the records as Serialize loads them, with the same checks and errors. The
    /// bytes are read in one block that becomes the records' store, each record of
    /// short narrow fields made where it lies, and the order learnt on the way.
    void LoadFile(QIODevice& file);
};
