#include "Settings.h"

#include "platform/Archive.h"
#include "platform/Mbcs.h"
#include "platform/StdioFile.h"
#include "platform/SystemError.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

int ParseMaxHitsLine(std::string_view firstLine) {
    const std::size_t nul = firstLine.find('\0');
    return AtoI(firstLine.substr(0, nul));
}

std::optional<int> ReadMaxHits(const std::string& path) {
    QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    try {
        CStdioFile text(file);
        std::string line;
        text.ReadString(line); // an empty file gives an empty line, which reads as 0
        return ParseMaxHitsLine(line);
    } catch (const ArchiveError&) {
        return std::nullopt;
    }
}

std::string SettingsWriteResult::Reason() const {
    return ok() ? std::string() : SystemErrorText(nError);
}

SettingsWriteResult WriteMaxHits(const std::string& path, int value) {
    // Write access without creating or truncating first: a file edited by hand keeps
    // everything after the number. The reason reported is the one of the last open.
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return {errno};
    // The NUL ends the number for the reader, whatever digits of a longer one follow.
    const std::string bytes = std::to_string(value) + '\0';
    int nError = 0;
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            nError = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && nError == 0)
        nError = errno;
    return {nError};
}
