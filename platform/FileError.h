#pragma once
// The one error type of reading and writing phone-book files, and the checked write
// that every writer uses.

#include <stdexcept>
#include <string>
#include <string_view>

class QIODevice;

/// A file that cannot be read or written as a phone book. `what()` is a UTF-8
/// sentence a user can act on.
class ArchiveError : public std::runtime_error {
public:
    enum class Kind {
        BadFormat, ///< the bytes are not a phone book (tag, schema, class name, string form)
        EndOfFile, ///< the file ends before the data its counts and lengths announce
        Io,        ///< the device failed to read or write
        TooBig     ///< what the file needs is more than the memory the system can still give
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
/// Throws the TooBig error: checked before the memory is taken, rather than left to the
/// system, which may stop the program on the way.
[[noreturn]] void ThrowTooBigForMemory();
/// Reads from `device` into `to` until `size` bytes are there or the device ends; how many
/// came. The one loop of the whole-file reads. Throws DeviceIoError("ファイルを読み込めません")
/// when a read fails.
std::size_t ReadUpTo(QIODevice& device, char* to, std::size_t size);
/// Writes all of `bytes` to `device`; throws DeviceIoError("ファイルに書き込めません") when it takes fewer.
void WriteOut(QIODevice& device, std::string_view bytes);
