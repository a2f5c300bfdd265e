#pragma once
// Helpers shared by the fuzz targets: a device that splits its data into small
// reads, a plain model of text-mode reading, and the way a target reports a
// broken invariant (an abort, which libFuzzer records as a crash).

#include "platform/Document.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void Check(bool ok, const char* what) {
    if (!ok)
        Fail(what);
}

/// The fuzzer's input as a read-only byte array, without a copy: reads past its
/// end stay visible to AddressSanitizer.
inline QByteArray InputBytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

/// A buffer that hands out at most `chunk` bytes per read, so that a reader meets
/// its data split at many places (a CR LF pair, a length prefix, a string).
class TrickleBuffer : public QBuffer {
public:
    TrickleBuffer(QByteArray* bytes, qint64 chunk) : QBuffer(bytes), m_chunk(chunk) {}

protected:
    qint64 readData(char* data, qint64 maxSize) override { return QBuffer::readData(data, std::min(maxSize, m_chunk)); }

private:
    qint64 m_chunk;
};

/// A small read size for TrickleBuffer, varied by the input.
inline qint64 ChunkFor(const std::uint8_t* data, std::size_t size) {
    return 1 + static_cast<qint64>((size + (size > 0 ? data[0] : 0)) % 7);
}

/// The lines of `bytes` read in text mode, written as plainly as possible:
/// everything from the first 0x1A on is gone, CR LF reads as LF, a line ends at
/// each LF, and the last line needs none.
inline std::vector<std::string> TextModeLines(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\x1A'));
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

/// `_mbscmp` written as plainly as possible: character by character, a lead byte
/// and the byte after it being one character; a NUL, or a lead byte with nothing
/// or a NUL after it, ends the string. Returns -1, 0 or 1.
inline int ModelMbsCmp(std::string_view a, std::string_view b) {
    auto next = [](std::string_view s, std::size_t& i) -> unsigned {
        if (i >= s.size() || s[i] == '\0')
            return 0;
        const auto c = static_cast<unsigned char>(s[i]);
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        if (!lead) {
            ++i;
            return c;
        }
        if (i + 1 >= s.size() || s[i + 1] == '\0')
            return 0;
        const unsigned value = c * 256u + static_cast<unsigned char>(s[i + 1]);
        i += 2;
        return value;
    };
    std::size_t i = 0, j = 0;
    for (;;) {
        const unsigned ca = next(a, i);
        const unsigned cb = next(b, j);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

inline int Sign(int v) {
    return (v > 0) - (v < 0);
}

/// Keeps the last error a document reports; answers No and Cancel to questions.
class SilentReporter : public DocReporter {
public:
    void ReportError(const std::string& message) override { lastError = message; }
    SaveAnswer AskSaveChanges(const std::string&) override { return SaveAnswer::No; }
    std::optional<std::string> AskSavePath(const std::string&) override { return std::nullopt; }
    bool ConfirmLoss(const std::string&) override { return confirmLoss; }
    std::string lastError;
    bool confirmLoss = false; ///< the answer to a save that would lose something
};

/// The whole content of the file at the local path `path`.
inline QByteArray ReadWholeFile(const std::string& path) {
    QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    Check(file.open(QIODevice::ReadOnly), "a saved file opens");
    return file.readAll();
}

/// A file in a private temporary directory, written with `bytes`; its local path.
inline std::string WriteTempFile(const char* name, std::string_view bytes) {
    static QTemporaryDir dir;
    Check(dir.isValid(), "temporary directory");
    const QString path = dir.filePath(QString::fromUtf8(name));
    QFile file(path);
    Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "temporary file opens");
    Check(file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size()),
          "temporary file written");
    return QFile::encodeName(path).toStdString();
}
