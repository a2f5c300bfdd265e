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

void WriteOut(QIODevice& device, std::string_view bytes) {
    errno = 0;
    const qint64 written = device.write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (written != static_cast<qint64>(bytes.size()))
        throw DeviceIoError("ファイルに書き込めません", device, errno);
}
