#include "ArchiveRecords.h"

#include "MrlData.h"
#include "platform/Archive.h"
#include "platform/Cp932.h"

#include <QString>

namespace {

constexpr std::uint64_t kMinRecordBytes = 4;      // four empty strings of one length byte each

[[noreturn]] void ThrowFormat(const std::string& detail) {
    throw ArchiveError(ArchiveError::Kind::BadFormat, "電話帳のファイルではありません（" + detail + "）。");
}

std::uint16_t Word(const char* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8));
}

std::uint32_t DWord(const char* p) {
    return static_cast<std::uint32_t>(Word(p)) | (static_cast<std::uint32_t>(Word(p + 2)) << 16);
}

} // namespace

void ThrowArchiveEnd() {
    throw ArchiveError(ArchiveError::Kind::EndOfFile, "ファイルが途中で終わっています。書きかけか壊れた電話帳です。");
}

ArchiveRecords::ArchiveRecords(std::string_view bytes) : m_bytes(bytes) {
    if (m_bytes.empty())
        return; // an empty file holds an empty phone book
    Require(2);
    const std::uint16_t tag = Word(bytes.data());
    if (tag == 0)
        ThrowFormat("データが空です");
    if (tag != kArchiveNewClassTag)
        ThrowFormat("先頭の印が違います");
    Require(4);
    const std::uint16_t schema = Word(bytes.data() + 2);
    if (schema != CMrlData::kSchema)
        ThrowFormat("版数 " + std::to_string(schema) + " には対応していません");
    Require(6);
    const std::uint16_t nameLength = Word(bytes.data() + 4);
    if (nameLength >= kArchiveMaxClassNameLength)
        ThrowFormat("クラス名が長すぎます");
    m_pos = 6;
    Require(nameLength);
    if (bytes.substr(6, nameLength) != CMrlData::kClassName)
        ThrowFormat("クラス名が違います");
    m_pos += nameLength;
    Require(4);
    const auto count = static_cast<std::int32_t>(DWord(bytes.data() + m_pos));
    m_pos += 4;
    if (count <= 0)
        return;
    // A count the file cannot hold fails before any record is read, and before a reader
    // sets anything aside for it.
    Require(static_cast<std::uint64_t>(count) * kMinRecordBytes);
    m_nCount = static_cast<std::size_t>(count);
}

std::uint32_t ArchiveRecords::ReadLength() {
    Require(1);
    const auto b = static_cast<unsigned char>(m_bytes[m_pos++]);
    if (b < 0xFF)
        return b;
    Require(2);
    const std::uint16_t w = Word(m_bytes.data() + m_pos);
    m_pos += 2;
    if (w < 0xFFFF)
        return w;
    Require(4);
    const std::uint32_t d = DWord(m_bytes.data() + m_pos);
    m_pos += 4;
    return d;
}

std::string_view ArchiveRecords::ReadString(std::string& wide) {
    Require(1);
    std::uint32_t length = static_cast<unsigned char>(m_bytes[m_pos++]);
    if (length == 0xFF) {
        Require(2);
        const std::uint16_t w = Word(m_bytes.data() + m_pos);
        m_pos += 2;
        if (w == 0xFFFE) {
            // The wide form: the length again, counted in UTF-16 units.
            length = ReadLength();
            const std::uint64_t bytes = static_cast<std::uint64_t>(length) * 2;
            Require(bytes);
            QString text(static_cast<qsizetype>(length), Qt::Uninitialized);
            for (std::uint32_t i = 0; i < length; ++i)
                text[i] = QChar(Word(m_bytes.data() + m_pos + 2 * i));
            m_pos += static_cast<std::size_t>(bytes);
            Cp932Encoded encoded = UnicodeToCp932(text);
            if (!encoded.ok())
                ThrowFormat("Shift_JIS で表せない文字を含んでいます: " +
                            NameUnconvertible(encoded.unconvertible).toStdString());
            wide = std::move(encoded.bytes);
            return wide;
        }
        if (w == 0xFFFF) {
            Require(4);
            length = DWord(m_bytes.data() + m_pos);
            m_pos += 4;
        } else {
            length = w;
        }
    }
    Require(length);
    const std::string_view text = m_bytes.substr(m_pos, length);
    m_pos += length;
    return text;
}
