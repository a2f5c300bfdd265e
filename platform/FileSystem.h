#pragma once
// File access on the path's own bytes. A file name on a Unix system is bytes, not
// text: a name copied from an old disk may be Shift_JIS, and going through a
// QString would turn it into U+FFFD and so into the name of another file. The
// document and the command line therefore hand paths to the system as given.

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class ContentHash;
class QIODevice;
class QString;

/// `path` made absolute against the current directory and cleaned on its bytes as
/// QDir::cleanPath cleans text: no ".", no "name/..", no doubled or trailing '/'.
std::string AbsolutePath(const std::string& path);
/// The bytes after the last '/' (all of `path` when it has none).
std::string FileNameOf(const std::string& path);
/// True when something is there under `path`, after following symbolic links.
bool PathExists(const std::string& path);

/// Why a file of this type is refused for reading or saving: "フォルダーです", or
/// "通常のファイルではありません (文字デバイス)" and so on for devices, pipes and sockets.
std::string NotRegularFileText(mode_t mode);

/// The bytes of a path that the toolkit hands over as text (file dialogs, drops, the
/// recent-file list). Nullopt when it holds U+FFFD: that is the mark the toolkit
/// leaves where a name's bytes were not UTF-8, and the bytes behind it are lost.
std::optional<std::string> PathBytesOf(const QString& path);
/// The one way from a path the toolkit hands over as text to the bytes the file system
/// takes: PathBytesOf, and when the name's bytes are lost, `report` tells the user
/// (`action` says what cannot be done) and the result is nullopt.
std::optional<std::string> PathFromToolkit(const QString& path, const char* action,
                                           const std::function<void(const std::string&)>& report);
/// True when `path` reads as UTF-8, so that its text gives the same bytes back.
bool IsUtf8Path(const std::string& path);

/// Opens `path` for reading. A regular file with bytes in it is read where it lies;
/// whatever else can be read (a pipe, a FIFO, a file whose size says 0 such as those
/// of /proc) is read to its end first, so that the device's size is the number of
/// bytes really there. Folders, devices and sockets are refused without being opened.
/// `opened` gets the status of what was opened. On failure returns null and sets
/// `reason`. Throws ArchiveError(Io) when reading to the end fails, std::bad_alloc when
/// memory runs out.
std::unique_ptr<QIODevice> OpenForReading(const std::string& path, std::string& reason, struct stat& opened);

/// What a regular file was when it was read or written: which file, its size, when it
/// last changed, and a hash of its bytes (ContentHash).
struct FileIdentity {
    std::uint64_t nDevice = 0;
    std::uint64_t nInode = 0;
    std::int64_t nSize = 0;
    std::int64_t nModifiedSec = 0;
    std::int64_t nModifiedNsec = 0;
    std::uint64_t nHash = 0;

    static FileIdentity Of(const struct stat& st, std::uint64_t hash);
    /// True when `st` is the same file with the same size and modification time.
    bool SameStatus(const struct stat& st) const;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

/// The hash of the bytes of the regular file open as `fd`, read from its start; nullopt
/// when a read fails.
std::optional<std::uint64_t> HashOfFile(int fd);

/// What a save of `path` replaces: symbolic links followed to the file they name.
struct SaveTarget {
    std::string path; ///< the file to replace, or to create when it does not exist
    bool exists = false;
    struct stat st {}; ///< that file's status (not a link's), when it exists
};
/// Follows the links of `path`. Returns 0, or the errno of the failure (ELOOP for a loop).
int ResolveSaveTarget(const std::string& path, SaveTarget& target);

/// Creates an empty file of mode 0600 beside `target`, in the same folder, named
/// SideFilePrefix(target) + "save-" + six random characters: the next writer of the book
/// knows it for the debris of a save that was killed. Returns the open descriptor and
/// sets `tempPath`, or -1 with errno set.
int CreateTempBeside(const std::string& target, std::string& tempPath);

/// Writes all of `bytes` to `fd`, again after an interrupted call. Returns 0, or the
/// errno of the failure (EIO for a write that took nothing).
int WriteAll(int fd, std::string_view bytes);

/// Copies what `from` gives, from its position to its end, into `to` at its position.
/// Returns 0, or the errno of the failure.
int CopyFileContents(int from, int to);

/// A write-only device on the descriptor `fd` (not owned), unbuffered: every write is
/// write(2) until all is written, and a failure leaves the system's errno as it was.
/// `hash`, when given, takes every byte written.
std::unique_ptr<QIODevice> WriterOn(int fd, ContentHash* hash = nullptr);

/// The permission bits a new file gets: 0666 without those of the process's umask.
mode_t NewFileMode();

/// Bytes of memory the system can still give this process: MemAvailable plus
/// SwapFree of /proc/meminfo; the largest number when nothing says.
std::uint64_t AvailableMemory();
