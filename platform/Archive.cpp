#include "Archive.h"

#include "BackgroundWriter.h"

#include "Cp932.h"
#include "ShortBytes.h"
#include "SystemError.h"

#include <QIODevice>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
// A store hands its bytes on this many at a time (BackgroundWriter): fewer hand-overs
// between the threads than the reading buffer's size would make, each of which costs.
constexpr std::size_t kStoreBufferSize = 512 * 1024;
constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kMaxClassNameLength = 64; // a name of this length or more is refused

[[noreturn]] void ThrowEnd() {
    throw ArchiveError(ArchiveError::Kind::EndOfFile, "ファイルが途中で終わっています。書きかけか壊れた電話帳です。");
}

[[noreturn]] void ThrowFormat(const std::string& detail) {
    throw ArchiveError(ArchiveError::Kind::BadFormat, "電話帳のファイルではありません（" + detail + "）。");
}

} // namespace

ArchiveError DeviceIoError(std::string_view action, const QIODevice& device, int err) {
    std::string reason;
    if (err != 0) {
        reason = SystemErrorText(err);
    } else {
        reason = device.errorString().toStdString();
        if (reason.empty())
            reason = "原因不明のエラー";
    }
    return ArchiveError(ArchiveError::Kind::Io, std::string(action) + ": " + reason + "。");
}

void WriteOut(QIODevice& device, std::string_view bytes) {
    errno = 0;
    const qint64 written = device.write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (written != static_cast<qint64>(bytes.size()))
        throw DeviceIoError("ファイルに書き込めません", device, errno);
}

CArchive::CArchive(QIODevice& device, Mode mode)
    : m_device(device), m_mode(mode), m_buffer(mode == store ? kStoreBufferSize : kBufferSize, '\0') {
    if (mode == load) {
        const qint64 left = device.size() - device.pos();
        m_deviceLeft = left > 0 ? static_cast<std::uint64_t>(left) : 0;
    }
}

CArchive::~CArchive() = default;

std::uint64_t CArchive::Remaining() const noexcept {
    return (m_end - m_pos) + m_deviceLeft;
}

void CArchive::Require(std::uint64_t n) const {
    if (Remaining() < n)
        ThrowEnd();
}

void CArchive::Fill() {
    // Keep the unread tail at the front, then top up from the device.
    const std::size_t tail = m_end - m_pos;
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, tail);
    m_pos = 0;
    m_end = tail;
    errno = 0;
    const qint64 got = m_device.read(m_buffer.data() + m_end, static_cast<qint64>(m_buffer.size() - m_end));
    if (got < 0)
        throw DeviceIoError("ファイルを読み込めません", m_device, errno);
    m_end += static_cast<std::size_t>(got);
    m_deviceLeft = got == 0 ? 0 : m_deviceLeft - std::min<std::uint64_t>(m_deviceLeft, static_cast<std::uint64_t>(got));
}

void CArchive::ReadRaw(char* dst, std::size_t n) {
    Require(n);
    while (n > 0) {
        if (m_pos == m_end) {
            Fill();
            if (m_pos == m_end)
                ThrowEnd(); // the device gave less than its size promised
        }
        const std::size_t take = std::min(n, m_end - m_pos);
        std::memcpy(dst, m_buffer.data() + m_pos, take);
        m_pos += take;
        dst += take;
        n -= take;
    }
}

std::uint8_t CArchive::ReadByte() {
    if (m_pos < m_end)
        return static_cast<std::uint8_t>(m_buffer[m_pos++]);
    char b;
    ReadRaw(&b, 1);
    return static_cast<std::uint8_t>(b);
}

std::uint16_t CArchive::ReadWord() {
    unsigned char b[2];
    ReadRaw(reinterpret_cast<char*>(b), 2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t CArchive::ReadDWord() {
    unsigned char b[4];
    ReadRaw(reinterpret_cast<char*>(b), 4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::uint32_t CArchive::ReadLength() {
    const std::uint8_t b = ReadByte();
    if (b < 0xFF)
        return b;
    const std::uint16_t w = ReadWord();
    if (w < 0xFFFF)
        return w;
    return ReadDWord();
}

void CArchive::ReadString(std::string& out) {
    std::uint32_t length = ReadByte();
    bool wide = false;
    if (length == 0xFF) {
        const std::uint16_t w = ReadWord();
        if (w == 0xFFFE) {
            // The wide form: the length again, counted in UTF-16 units.
            wide = true;
            length = ReadLength();
        } else if (w == 0xFFFF) {
            length = ReadDWord();
        } else {
            length = w;
        }
    }
    if (!wide) {
        if (length <= m_end - m_pos) { // the common case: the whole string is in the buffer
            // resize + copy: plain assign goes through the general replace, which
            // costs more than the copy itself for short fields.
            out.resize(length);
            std::memcpy(out.data(), m_buffer.data() + m_pos, length);
            m_pos += length;
            return;
        }
        Require(length);
        out.assign(length, '\0');
        ReadRaw(out.data(), length);
        return;
    }
    const std::uint64_t bytes = static_cast<std::uint64_t>(length) * 2;
    Require(bytes);
    std::string raw(static_cast<std::size_t>(bytes), '\0');
    ReadRaw(raw.data(), raw.size());
    QString text(static_cast<qsizetype>(length), Qt::Uninitialized);
    for (std::uint32_t i = 0; i < length; ++i)
        text[i] = QChar(static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                              (static_cast<unsigned char>(raw[2 * i + 1]) << 8)));
    Cp932Encoded encoded = UnicodeToCp932(text);
    if (!encoded.ok())
        ThrowFormat("Shift_JIS で表せない文字を含んでいます: " + NameUnconvertible(encoded.unconvertible).toStdString());
    out = std::move(encoded.bytes);
}

std::string CArchive::ReadString() {
    std::string s;
    ReadString(s);
    return s;
}

void CArchive::ReadObjectHeader(std::string_view className, std::uint16_t schema) {
    const std::uint16_t tag = ReadWord();
    if (tag == 0)
        ThrowFormat("データが空です");
    if (tag != kNewClassTag)
        ThrowFormat("先頭の印が違います");
    const std::uint16_t fileSchema = ReadWord();
    if (fileSchema != schema)
        ThrowFormat("版数 " + std::to_string(fileSchema) + " には対応していません");
    const std::uint16_t nameLength = ReadWord();
    if (nameLength >= kMaxClassNameLength)
        ThrowFormat("クラス名が長すぎます");
    std::string name(nameLength, '\0');
    ReadRaw(name.data(), nameLength);
    if (name != className)
        ThrowFormat("クラス名が違います");
}

void CArchive::WriteRaw(const char* src, std::size_t n) {
    while (n > 0) {
        if (m_pos == m_buffer.size())
            Hand();
        const std::size_t take = std::min(n, m_buffer.size() - m_pos);
        std::memcpy(m_buffer.data() + m_pos, src, take);
        m_pos += take;
        src += take;
        n -= take;
    }
}

void CArchive::WriteByte(std::uint8_t v) {
    WriteRaw(reinterpret_cast<const char*>(&v), 1);
}

void CArchive::WriteWord(std::uint16_t v) {
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    WriteRaw(b, 2);
}

void CArchive::WriteDWord(std::uint32_t v) {
    const char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    WriteRaw(b, 4);
}

void CArchive::WriteString(std::string_view s) {
    const std::size_t n = s.size();
    // Most fields are short and fit in the buffer as they are: one length byte and one copy.
    if (n < 0xFF && m_buffer.size() - m_pos > n) {
        m_buffer[m_pos] = static_cast<char>(n);
        std::memcpy(m_buffer.data() + m_pos + 1, s.data(), n);
        m_pos += n + 1;
        return;
    }
    if (n > 0xFFFFFFFFu)
        throw ArchiveError(ArchiveError::Kind::Io, "4 GB を超える項目は保存できません。");
    if (n < 0xFF) {
        WriteByte(static_cast<std::uint8_t>(n));
    } else if (n < 0xFFFE) {
        WriteByte(0xFF);
        WriteWord(static_cast<std::uint16_t>(n));
    } else {
        WriteByte(0xFF);
        WriteWord(0xFFFF);
        WriteDWord(static_cast<std::uint32_t>(n));
    }
    WriteRaw(s.data(), n);
}

void CArchive::WriteStrings(std::span<const std::string_view> strings) {
    std::size_t total = 0;
    std::size_t longest = 0;
    for (const std::string_view s : strings) {
        total += 1 + s.size();
        longest = std::max(longest, s.size());
    }
    if (longest >= 0xFF || total > m_buffer.size() - m_pos) {
        for (const std::string_view s : strings)
            WriteString(s);
        return;
    }
    char* out = m_buffer.data() + m_pos;
    for (const std::string_view s : strings) {
        *out++ = static_cast<char>(s.size());
        CopyShort(out, s.data(), s.size());
        out += s.size();
    }
    m_pos += total;
}

void CArchive::WriteObjectHeader(std::string_view className, std::uint16_t schema) {
    WriteWord(kNewClassTag);
    WriteWord(schema);
    WriteWord(static_cast<std::uint16_t>(className.size()));
    WriteRaw(className.data(), className.size());
}

void CArchive::Hand() {
    if (!m_writer && m_pos == m_buffer.size()) {
        try {
            m_writer = std::make_unique<BackgroundWriter>(m_device);
        } catch (const std::system_error&) {
            // No thread to be had: the bytes are written here, as they come.
        }
    }
    if (m_writer) {
        const std::size_t size = m_buffer.size();
        m_writer->Hand(m_buffer, m_pos);
        m_buffer.resize(size);
    } else {
        WriteOut(m_device, std::string_view(m_buffer.data(), m_pos));
    }
    m_pos = 0;
}

void CArchive::Flush() {
    if (m_mode != store)
        return;
    if (m_pos > 0)
        Hand();
    if (m_writer)
        m_writer->Wait();
}
