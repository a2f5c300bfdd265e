#include "FileSystem.h"

#include "BookLock.h"
#include "ContentHash.h"
#include "FileError.h"
#include "SystemError.h"

#include <QBuffer>
#include <QFile>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <limits.h>
#include <limits>
#include <optional>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxLinks = 40; // as the kernel's own limit for one path

std::string CleanPath(const std::string& path) {
    if (path.empty())
        return path;
    const bool absolute = path.front() == '/';
    std::vector<std::string_view> parts;
    std::string_view rest(path);
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
                continue;
            }
            if (absolute)
                continue; // there is nothing above the root
        }
        parts.push_back(part);
    }
    std::string clean;
    for (const std::string_view part : parts) {
        if (absolute || !clean.empty())
            clean += '/';
        clean += part;
    }
    if (clean.empty())
        return absolute ? "/" : ".";
    return clean;
}

// The folder part of `path` with its '/', or nothing for a name alone.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool ReadableType(mode_t mode) {
    return S_ISREG(mode) || S_ISFIFO(mode);
}

// The bytes a descriptor gives until its end.
QByteArray ReadToEnd(int fd) {
    QByteArray bytes;
    constexpr qsizetype kChunk = 64 * 1024;
    for (;;) {
        const qsizetype used = bytes.size();
        bytes.resize(used + kChunk);
        const ssize_t got = ::read(fd, bytes.data() + used, static_cast<std::size_t>(kChunk));
        if (got < 0 && errno == EINTR) {
            bytes.resize(used);
            continue;
        }
        if (got < 0) {
            const int err = errno;
            throw ArchiveError(ArchiveError::Kind::Io, "ファイルを読み込めません: " + SystemErrorText(err) + "。");
        }
        bytes.resize(used + got);
        if (got == 0)
            return bytes;
    }
}

} // namespace

int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int CopyFileContents(int from, int to) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        if (const int err = WriteAll(to, std::string_view(buffer.data(), static_cast<std::size_t>(got))))
            return err;
    }
}

namespace {

// Writes a save's new file. The disk gets each few megabytes as soon as they are
// written, so that the fsync before the file takes the old one's place finds little
// left to wait for: a large save's disk writes overlap its work instead of following it.
class FdWriter : public QIODevice {
public:
    FdWriter(int fd, ContentHash* hash) : m_fd(fd), m_pHash(hash) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override {
        if (const int err = WriteAll(m_fd, std::string_view(data, static_cast<std::size_t>(len)))) {
            setErrorString(QString::fromStdString(SystemErrorText(err)));
            errno = err; // the writers take the reason from errno
            return -1;
        }
        if (m_pHash)
            m_pHash->Add(std::string_view(data, static_cast<std::size_t>(len)));
        m_nWritten += static_cast<off_t>(len);
#ifdef SYNC_FILE_RANGE_WRITE
        if (m_nWritten - m_nStarted >= kWritebackBytes) {
            // Only a start: where the file system cannot, the fsync does it all as before.
            (void)::sync_file_range(m_fd, m_nStarted, m_nWritten - m_nStarted, SYNC_FILE_RANGE_WRITE);
            m_nStarted = m_nWritten;
        }
#endif
        return len;
    }

private:
    static constexpr off_t kWritebackBytes = off_t{4} << 20;
    int m_fd;
    ContentHash* m_pHash;
    off_t m_nWritten = 0;
    off_t m_nStarted = 0; // bytes before this were handed to the disk
};

} // namespace

std::string AbsolutePath(const std::string& path) {
    if (path.starts_with('/'))
        return CleanPath(path);
    // getcwd gives the folder's bytes; without one (it was removed) the path stays relative.
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd)
        return CleanPath(path);
    return CleanPath(std::string(cwd.get()) + "/" + path);
}

std::string FileNameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1); // npos + 1 is 0
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string NotRegularFileText(mode_t mode) {
    if (S_ISDIR(mode))
        return SystemErrorText(EISDIR);
    const char* kind = S_ISCHR(mode)    ? "文字デバイス"
                       : S_ISBLK(mode)  ? "ブロックデバイス"
                       : S_ISFIFO(mode) ? "名前付きパイプ"
                       : S_ISSOCK(mode) ? "ソケット"
                       : S_ISLNK(mode)  ? "シンボリックリンク"
                                        : "特殊なファイル";
    return std::string("通常のファイルではありません (") + kind + ")";
}

std::optional<std::string> PathBytesOf(const QString& path) {
    if (path.contains(QChar(QChar::ReplacementCharacter)))
        return std::nullopt;
    return QFile::encodeName(path).toStdString();
}

std::optional<std::string> PathFromToolkit(const QString& path, const char* action,
                                           const std::function<void(const std::string&)>& report) {
    if (std::optional<std::string> bytes = PathBytesOf(path))
        return bytes;
    report("ファイル名「" + path.toStdString() + "」には UTF-8 として読めないバイトが含まれているため、" + action +
           "。");
    return std::nullopt;
}

bool IsUtf8Path(const std::string& path) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(path.data(), static_cast<qsizetype>(path.size())));
    return !decoder.hasError() && QFile::encodeName(text).toStdString() == path;
}

std::unique_ptr<QIODevice> OpenForReading(const std::string& path, std::string& reason, struct stat& st) {
    // Look before opening: opening a device may wait (a terminal) or do something (a tape).
    if (::stat(path.c_str(), &st) != 0) {
        reason = SystemErrorText(errno);
        return nullptr;
    }
    if (!ReadableType(st.st_mode)) {
        reason = NotRegularFileText(st.st_mode);
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        reason = SystemErrorText(errno);
        return nullptr;
    }
    // The name may have been given to another file in between: what counts is what was opened.
    if (::fstat(fd, &st) != 0) {
        reason = SystemErrorText(errno);
        ::close(fd);
        return nullptr;
    }
    if (!ReadableType(st.st_mode)) {
        reason = NotRegularFileText(st.st_mode);
        ::close(fd);
        return nullptr;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        // The readers buffer for themselves; a second buffer in QFile would only copy.
        auto file = std::make_unique<QFile>();
        if (!file->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
            reason = file->errorString().toStdString();
            ::close(fd);
            return nullptr;
        }
        return file;
    }
    // A size of 0 says nothing about the bytes of a pipe or a /proc file: read them all.
    QByteArray bytes;
    try {
        bytes = ReadToEnd(fd);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

int ResolveSaveTarget(const std::string& path, SaveTarget& target) {
    std::string current = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return errno;
            target = SaveTarget{current, false, {}}; // a new file, or the missing file of a dangling link
            return 0;
        }
        if (!S_ISLNK(st.st_mode)) {
            target = SaveTarget{current, true, st};
            return 0;
        }
        if (hops == kMaxLinks)
            return ELOOP;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
        for (;;) {
            const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
            if (n < 0)
                return errno;
            if (static_cast<std::size_t>(n) < link.size()) {
                link.resize(static_cast<std::size_t>(n));
                break;
            }
            link.resize(link.size() * 2); // the link grew since lstat
        }
        current = link.starts_with('/') ? link : FolderOf(current) + link;
    }
}

int CreateTempBeside(const std::string& target, std::string& tempPath) {
    std::string pattern = SideFilePrefix(target) + "save-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0)
        tempPath = pattern;
    return fd;
}

std::unique_ptr<QIODevice> WriterOn(int fd, ContentHash* hash) {
    return std::make_unique<FdWriter>(fd, hash);
}

FileIdentity FileIdentity::Of(const struct stat& st, std::uint64_t hash) {
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                        static_cast<std::int64_t>(st.st_size),  static_cast<std::int64_t>(st.st_mtim.tv_sec),
                        static_cast<std::int64_t>(st.st_mtim.tv_nsec), hash};
}

bool FileIdentity::SameStatus(const struct stat& st) const {
    const FileIdentity now = Of(st, nHash);
    return now == *this;
}

std::optional<std::uint64_t> HashOfFile(int fd) {
    std::vector<char> buffer(1 << 20);
    ContentHash hash;
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return hash.Value();
        hash.Add(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        at += got;
    }
}

mode_t NewFileMode() {
    // The umask can only be read by setting it: set it straight back.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

namespace {

// The value of a "Name:   1234 kB" line of /proc/meminfo, in bytes.
std::optional<std::uint64_t> MemInfoValue(std::string_view text, std::string_view name) {
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.starts_with(name) || line.size() == name.size() || line[name.size()] != ':')
            continue;
        line.remove_prefix(name.size() + 1);
        line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
        std::uint64_t kib = 0;
        const auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), kib);
        if (ec != std::errc() || kib > std::numeric_limits<std::uint64_t>::max() / 1024)
            return std::nullopt;
        return kib * 1024;
    }
    return std::nullopt;
}

} // namespace

std::uint64_t AvailableMemory() {
    // Read through the C library rather than QFile: the file's size shows as 0.
    std::FILE* file = std::fopen("/proc/meminfo", "re");
    if (!file)
        return std::numeric_limits<std::uint64_t>::max();
    char buffer[8192];
    const std::size_t got = std::fread(buffer, 1, sizeof(buffer), file);
    std::fclose(file);
    const std::string_view text(buffer, got);
    const std::optional<std::uint64_t> available = MemInfoValue(text, "MemAvailable");
    if (!available)
        return std::numeric_limits<std::uint64_t>::max();
    return *available + MemInfoValue(text, "SwapFree").value_or(0);
}
