#pragma once
// The writer of the program's phone-book files, an object archive: little-endian
// integers, strings with a three-step length prefix, and one object with its class
// tag, schema and class name. (data/ArchiveRecords reads the format.)

#include "FileError.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class QIODevice;

/// The tag before the class name of an object stored for the first time.
inline constexpr std::uint16_t kArchiveNewClassTag = 0xFFFF;
/// A class name of this many bytes or more is refused.
inline constexpr std::uint16_t kArchiveMaxClassNameLength = 64;

class CArchive {
public:
    /// Stores into an open device, in large pieces.
    explicit CArchive(QIODevice& device);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    void WriteByte(std::uint8_t v);
    void WriteWord(std::uint16_t v);
    void WriteDWord(std::uint32_t v);
    void WriteInt(std::int32_t v) { WriteDWord(static_cast<std::uint32_t>(v)); }
    /// A string item: one length byte below 255 bytes, else 0xFF and a word, else
    /// 0xFF 0xFFFF and a double word; then the bytes.
    void WriteString(std::string_view s);
    /// The strings one after another, each as WriteString writes it. A record of short
    /// fields goes in with one look at the room left.
    void WriteStrings(std::span<const std::string_view> strings);
    void WriteObjectHeader(std::string_view className, std::uint16_t schema);
    /// Hands the buffered bytes to the device; throws ArchiveError(Io) when it refuses
    /// them. Bytes still in the buffer when the archive goes are dropped.
    void Flush();

private:
    void WriteRaw(const char* src, std::size_t n);

    QIODevice& m_device;
    std::string m_buffer;
    std::size_t m_pos = 0; // next byte in m_buffer
};
