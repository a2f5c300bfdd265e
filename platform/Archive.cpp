#include "Archive.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>

namespace {

// A save hands the device its bytes a quarter megabyte at a time: few system calls,
// the buffer stays in the cache while it fills, and a fresh process touches few new
// pages for it (a first touch costs a fault, some 10 us on a virtual machine).
constexpr std::size_t kBufferSize = 256 << 10;

} // namespace

CArchive::CArchive(QIODevice& device) : m_device(device), m_buffer(kBufferSize, '\0') {}

CArchive::~CArchive() = default;

void CArchive::WriteRaw(const char* src, std::size_t n) {
    while (n > 0) {
        if (m_pos == m_buffer.size())
            Flush();
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
    // Most records: each field a length byte and one copy, straight into the buffer.
    char* out = m_buffer.data() + m_pos;
    for (const std::string_view s : strings) {
        *out++ = static_cast<char>(s.size());
        if (!s.empty())
            std::memcpy(out, s.data(), s.size());
        out += s.size();
    }
    m_pos += total;
}

void CArchive::WriteObjectHeader(std::string_view className, std::uint16_t schema) {
    WriteWord(kArchiveNewClassTag);
    WriteWord(schema);
    WriteWord(static_cast<std::uint16_t>(className.size()));
    WriteRaw(className.data(), className.size());
}

void CArchive::Flush() {
    if (m_pos > 0)
        WriteOut(m_device, std::string_view(m_buffer.data(), m_pos));
    m_pos = 0;
}
