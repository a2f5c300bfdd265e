#pragma once

#include "RecordList.h"

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

    /// Adds `record` at the head and files it with InsertSorted.
    void AddSorted(RecordList::Ptr record);

    /// Stores the count and the records, or loads them (appending at the tail).
    void Serialize(CArchive& ar);
};
