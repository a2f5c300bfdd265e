#pragma once

#include "data/PhoneRecord.h"

#include <optional>

/// What the view needs of the open data-entry dialog: the entries it added,
/// newest first. While the dialog inserts a new entry's row, the view takes the
/// newest entry and files it into the phone book.
class EntrySource {
public:
    /// The newest entry not filed yet, taken out; nullopt when there is none.
    virtual std::optional<PhoneRecord> TakeNewestEntry() = 0;

protected:
    ~EntrySource() = default;
};
