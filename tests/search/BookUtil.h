#pragma once
// Small phone books for the search tests.

#include "data/RecordList.h"
#include "platform/Cp932.h"
#include "search/NameSearch.h"

#include <string>
#include <vector>

/// Code page 932 bytes of UTF-8 source text.
inline std::string Sjis(const char* utf8) {
    return UnicodeToCp932(QString::fromUtf8(utf8)).bytes;
}

/// A record with the given fields.
inline PhoneRecord Entry(std::string romaji, std::string kanji = {}, std::string phone = {}, std::string memo = {}) {
    return PhoneRecord{std::move(romaji), std::move(kanji), std::move(phone), std::move(memo)};
}

/// A phone book of records with these romaji names, in this order (sorted or not).
inline RecordList BookOf(const std::vector<std::string>& names) {
    RecordList list;
    for (const std::string& name : names)
        list.AddTail(Entry(name));
    return list;
}

/// The romaji names of result rows of `list`, top to bottom.
inline std::vector<std::string> Names(const RecordList& list, const std::vector<std::size_t>& rows) {
    std::vector<std::string> names;
    for (const std::size_t row : rows)
        names.emplace_back(list.Name(row));
    return names;
}

inline std::vector<std::string> Names(const RecordList& list, RowRange rows) {
    std::vector<std::string> names;
    for (std::size_t row = rows.first; row < rows.first + rows.count; ++row)
        names.emplace_back(list.Name(row));
    return names;
}
