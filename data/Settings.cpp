#include "Settings.h"

#include "platform/FileSystem.h"
#include "platform/Mbcs.h"
#include "platform/StdioFile.h"
#include "platform/SystemError.h"

#include <QBuffer>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The first `max` bytes of the regular file at `path` (fewer when it is shorter); nullopt
// when it cannot be opened or read, or is a pipe, a device or anything but a regular file.
std::optional<std::string> ReadStartOfRegularFile(const std::string& path, std::size_t max) {
    // Non-blocking, so that a pipe nobody writes to does not hold the open; only a
    // regular file is read, and only so far: a link to an endless device ends nothing.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> result;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        std::string bytes(max, '\0');
        std::size_t got = 0;
        bool failed = false;
        while (got < max) {
            const ssize_t n = ::read(fd, bytes.data() + got, max - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                failed = true;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        if (!failed) {
            bytes.resize(got);
            result = std::move(bytes);
        }
    }
    ::close(fd);
    return result;
}

SettingsWriteResult NotRegular() {
    SettingsWriteResult result;
    result.bNotRegular = true;
    return result;
}

} // namespace

int ParseMaxHitsLine(std::string_view firstLine) {
    const std::size_t nul = firstLine.find('\0');
    return AtoI(firstLine.substr(0, nul));
}

std::optional<int> ReadMaxHits(const std::string& path) {
    const std::optional<std::string> start = ReadStartOfRegularFile(path, kSettingsReadMax);
    if (!start)
        return std::nullopt;
    // The first line as a text-mode read gives it; an empty file gives an empty line, which reads as 0.
    QByteArray bytes = QByteArray::fromStdString(*start);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    std::string line;
    CStdioFile(buffer).ReadString(line);
    return ParseMaxHitsLine(line);
}

std::string SettingsWriteResult::Reason() const {
    if (bNotRegular)
        return "通常のファイルではありません";
    return ok() ? std::string() : SystemErrorText(nError);
}

SettingsWriteResult WriteMaxHits(const std::string& path, int value) {
    // Write access without creating or truncating first: a file edited by hand keeps
    // everything after the number. The reason reported is the one of the last open.
    // The opens do not block, so that a pipe without a reader cannot hold the program;
    // what they open is looked at before a byte is written. (For a regular file,
    // O_NONBLOCK changes nothing.)
    constexpr int kFlags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(path.c_str(), kFlags);
    if (fd < 0) {
        // A pipe without a reader refuses the open with a reason that would only puzzle.
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            return NotRegular();
        fd = ::open(path.c_str(), kFlags | O_CREAT | O_TRUNC, 0666);
    }
    if (fd < 0)
        return {errno};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int nError = errno;
        ::close(fd);
        return {nError};
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return NotRegular();
    }
    // The NUL ends the number for the reader, whatever digits of a longer one follow.
    const std::string bytes = std::to_string(value) + '\0';
    int nError = WriteAll(fd, bytes);
    if (::close(fd) != 0 && nError == 0)
        nError = errno;
    return {nError};
}
