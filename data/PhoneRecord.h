#pragma once

#include <string>
#include <string_view>

/// One entry of the phone book. Every field holds code page 932 bytes; the
/// memo's line breaks are CR LF. The field order is the order of both file
/// formats, of the result list's columns and of the dialogs.
struct PhoneRecord {
    std::string m_strRomaji; ///< name in Latin letters: the sort key and the key of the name search
    std::string m_strKanji;  ///< name in Japanese script
    std::string m_strPhone;  ///< phone number, free text
    std::string m_strMemo;   ///< free-text memo, lines separated by CR LF

    friend bool operator==(const PhoneRecord&, const PhoneRecord&) = default;
};

/// The four fields of an entry as it lies in the phone book, without a copy. It
/// stays valid until the list it came from changes.
struct PhoneRecordView {
    std::string_view m_strRomaji;
    std::string_view m_strKanji;
    std::string_view m_strPhone;
    std::string_view m_strMemo;

    PhoneRecordView() = default;
    PhoneRecordView(std::string_view romaji, std::string_view kanji, std::string_view phone,
                    std::string_view memo) noexcept
        : m_strRomaji(romaji), m_strKanji(kanji), m_strPhone(phone), m_strMemo(memo) {}
    PhoneRecordView(const PhoneRecord& record) noexcept // NOLINT(google-explicit-constructor): views a record
        : m_strRomaji(record.m_strRomaji), m_strKanji(record.m_strKanji), m_strPhone(record.m_strPhone),
          m_strMemo(record.m_strMemo) {}

    /// A record of its own with these fields.
    PhoneRecord ToRecord() const {
        return {std::string(m_strRomaji), std::string(m_strKanji), std::string(m_strPhone), std::string(m_strMemo)};
    }
    /// The same into `record`, reusing its strings' storage.
    void CopyTo(PhoneRecord& record) const {
        record.m_strRomaji.assign(m_strRomaji);
        record.m_strKanji.assign(m_strKanji);
        record.m_strPhone.assign(m_strPhone);
        record.m_strMemo.assign(m_strMemo);
    }

    friend bool operator==(const PhoneRecordView&, const PhoneRecordView&) = default;
};
