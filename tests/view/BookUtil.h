#pragma once
// Small phone books for the search tests.

#include "data/RecordList.h"
#include "platform/Cp932.h"

#include <memory>
#include <string>
#include <vector>

/// Code page 932 bytes of UTF-8 source text.
inline std::string Sjis(const char* utf8) {
    return UnicodeToCp932(QString::fromUtf8(utf8)).bytes;
}

/// A record with the given fields.
inline RecordList::Ptr Entry(std::string romaji, std::string kanji = {}, std::string phone = {},
                             std::string memo = {}) {
    return std::make_unique<PhoneRecord>(
        PhoneRecord{std::move(romaji), std::move(kanji), std::move(phone), std::move(memo)});
}

/// A phone book of records with these romaji names, in this order (sorted or not).
inline RecordList BookOf(const std::vector<std::string>& names) {
    RecordList list;
    for (const std::string& name : names)
        list.AddTail(Entry(name));
    return list;
}

/// The romaji names of result rows, top to bottom.
inline std::vector<std::string> Names(const std::vector<const PhoneRecord*>& rows) {
    std::vector<std::string> names;
    for (const PhoneRecord* row : rows)
        names.push_back(row->m_strRomaji);
    return names;
}
