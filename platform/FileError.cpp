#include "FileError.h"

#include "SystemError.h"

#include <QIODevice>
#include <cerrno>

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

void ThrowTooBigForMemory() {
    throw ArchiveError(ArchiveError::Kind::TooBig, "メモリが足りません。");
}

std::size_t ReadUpTo(QIODevice& device, char* to, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        errno = 0;
        const qint64 n = device.read(to + got, static_cast<qint64>(size - got));
        if (n < 0)
            throw DeviceIoError("ファイルを読み込めません", device, errno);
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

void WriteOut(QIODevice& device, std::string_view bytes) {
    errno = 0;
    const qint64 written = device.write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (written != static_cast<qint64>(bytes.size()))
        throw DeviceIoError("ファイルに書き込めません", device, errno);
}
