#pragma once

#include <string>

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
