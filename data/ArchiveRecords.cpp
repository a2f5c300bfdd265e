#include "ArchiveRecords.h"

#include "MrlData.h"
#include "platform/Archive.h"
#include "platform/Cp932.h"

#include <QString>

namespace {

constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kMaxClassNameLength = 64; // a name of this length or more is refused
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

void AppendLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

void ThrowArchiveEnd() {
    throw ArchiveError(ArchiveError::Kind::EndOfFile, "ファイルが途中で終わっています。書きかけか壊れた電話帳です。");
}

ArchiveRecords::ArchiveRecords(std::string_view block, const ByteArrival* arrival)
    : m_block(block), m_bytes(arrival ? block.substr(0, arrival->WaitFor(1)) : block), m_pArrival(arrival) {
    const std::string_view bytes = m_block;
    if (m_bytes.empty())
        return; // an empty file holds an empty phone book
    Require(2);
    const std::uint16_t tag = Word(bytes.data());
    if (tag == 0)
        ThrowFormat("データが空です");
    if (tag != kNewClassTag)
        ThrowFormat("先頭の印が違います");
    Require(4);
    const std::uint16_t schema = Word(bytes.data() + 2);
    if (schema != CMrlData::kSchema)
        ThrowFormat("版数 " + std::to_string(schema) + " には対応していません");
    Require(6);
    const std::uint16_t nameLength = Word(bytes.data() + 4);
    if (nameLength >= kMaxClassNameLength)
        ThrowFormat("クラス名が長すぎます");
    m_pos = 6;
    Require(nameLength);
    if (bytes.substr(6, nameLength) != CMrlData::kClassName)
        ThrowFormat("クラス名が違います");
    m_pos += nameLength;
    Require(4);
    const auto count = static_cast<std::int32_t>(DWord(bytes.data() + m_pos));
    m_pos += 4;
    m_nRecordsBegin = m_pos;
    if (count <= 0)
        return;
    // A count the file cannot hold fails before any record is read, and before a reader
    // sets anything aside for it.
    Require(static_cast<std::uint64_t>(count) * kMinRecordBytes);
    m_nCount = static_cast<std::size_t>(count);
}

bool ArchiveRecords::Arrive(std::uint64_t n) {
    if (!m_pArrival)
        return false;
    // The `n` bytes, or as many as the block can hold.
    const std::uint64_t want = m_pos + std::min<std::uint64_t>(n, m_block.size() - m_pos);
    m_bytes = m_block.substr(0, m_pArrival->WaitFor(static_cast<std::size_t>(want)));
    return m_bytes.size() - m_pos >= n;
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
            m_bLastWide = true;
            m_bLastAsSaved = false;
            return wide;
        }
        if (w == 0xFFFF) {
            Require(4);
            length = DWord(m_bytes.data() + m_pos);
            m_pos += 4;
            m_bLastAsSaved = m_bLastAsSaved && length >= 0xFFFE;
        } else {
            length = w;
            m_bLastAsSaved = m_bLastAsSaved && length >= 0xFF;
        }
    }
    Require(length);
    const std::string_view text = m_bytes.substr(m_pos, length);
    m_pos += length;
    return text;
}

void AppendArchiveString(std::string& out, std::string_view text) {
    const std::size_t n = text.size();
    if (n < 0xFF) {
        out += static_cast<char>(n);
    } else if (n < 0xFFFE) {
        out += '\xFF';
        AppendLE(out, static_cast<std::uint32_t>(n), 2);
    } else {
        out += "\xFF\xFF\xFF";
        AppendLE(out, static_cast<std::uint32_t>(n), 4);
    }
    out.append(text);
}

void AppendArchiveHead(std::string& out, std::size_t count) {
    AppendLE(out, kNewClassTag, 2);
    AppendLE(out, CMrlData::kSchema, 2);
    const std::string_view name = CMrlData::kClassName;
    AppendLE(out, static_cast<std::uint32_t>(name.size()), 2);
    out.append(name);
    AppendLE(out, static_cast<std::uint32_t>(count), 4);
}
