#pragma once
// The object archive of the program's phone-book files: little-endian
// integers, strings with a three-step length prefix, and one object with its
// class tag, schema and class name.

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

class BackgroundWriter;
class QIODevice;

/// A file that cannot be read or written as an archive. `what()` is a UTF-8
/// sentence a user can act on.
class ArchiveError : public std::runtime_error {
public:
    enum class Kind {
        BadFormat, ///< the bytes are not a phone book (tag, schema, class name, string form)
        EndOfFile, ///< the file ends before the data its counts and lengths announce
        Io         ///< the device failed to read or write
    };
    ArchiveError(Kind kind, const std::string& message) : std::runtime_error(message), m_kind(kind) {}
    Kind kind() const noexcept { return m_kind; }

private:
    Kind m_kind;
};

/// An Io error for a failed read or write of `device`: `action`, then why. `err` is
/// errno cleared before the call and read right after it; when the call set it, the
/// system's reason is given, else the device's own.
ArchiveError DeviceIoError(std::string_view action, const QIODevice& device, int err);
/// Writes all of `bytes` to `device`; throws DeviceIoError("ファイルに書き込めません") when it takes fewer.
void WriteOut(QIODevice& device, std::string_view bytes);

class CArchive {
public:
    enum Mode { load, store };

    /// Works on an open device. When loading, the bytes left in the device
    /// (size minus position) bound every count and length read.
    CArchive(QIODevice& device, Mode mode);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const noexcept { return m_mode == load; }
    bool IsStoring() const noexcept { return m_mode == store; }

    // Loading
    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    std::uint32_t ReadDWord();
    std::int32_t ReadInt() { return static_cast<std::int32_t>(ReadDWord()); }
    /// A string item: narrow bytes as stored, or the wide form converted to code page 932.
    std::string ReadString();
    /// The same into `out`, reusing its storage.
    void ReadString(std::string& out);
    /// The header of the one object of the file: new-class tag, schema, class name.
    /// Throws BadFormat when any of them differs from what is expected.
    void ReadObjectHeader(std::string_view className, std::uint16_t schema);
    /// Bytes not yet read.
    std::uint64_t Remaining() const noexcept;
    /// Throws EndOfFile unless at least `n` bytes remain.
    void Require(std::uint64_t n) const;

    // Storing
    void WriteByte(std::uint8_t v);
    void WriteWord(std::uint16_t v);
    void WriteDWord(std::uint32_t v);
    void WriteInt(std::int32_t v) { WriteDWord(static_cast<std::uint32_t>(v)); }
    void WriteString(std::string_view s);
    /// The strings one after another, each as WriteString writes it. A record of short
    /// fields goes in with one look at the room left and no library call per field.
    void WriteStrings(std::span<const std::string_view> strings);
    void WriteObjectHeader(std::string_view className, std::uint16_t schema);
    /// Hands the buffered bytes to the device and waits until it has them all; throws
    /// Io when it refuses them. Before that, a large store's bytes go to the device from
    /// another thread as each buffer fills, and a write that failed may be thrown by any
    /// later Write; bytes still in the buffer when the archive goes are dropped.
    void Flush();

private:
    void ReadRaw(char* dst, std::size_t n);
    void WriteRaw(const char* src, std::size_t n);
    /// Hands on the buffer's bytes: to the writer, once the first buffer is full.
    void Hand();
    void Fill();
    std::uint32_t ReadLength(); // the three-step length after a first byte 0xFF has been seen

    QIODevice& m_device;
    Mode m_mode;
    std::string m_buffer;
    std::size_t m_pos = 0;            // next byte in m_buffer
    std::size_t m_end = 0;            // end of valid bytes in m_buffer (loading)
    std::uint64_t m_deviceLeft = 0;   // bytes still in the device (loading)
    std::unique_ptr<BackgroundWriter> m_writer; // storing, once the first buffer was full
};
