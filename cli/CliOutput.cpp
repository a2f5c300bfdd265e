#include "CliOutput.h"

#include "CliArgs.h"
#include "data/TextFormat.h"
#include "platform/Cp932.h"
#include "platform/SystemError.h"

#include <QString>
#include <cerrno>

void CliReporter::ReportError(const std::string& message) {
    std::fprintf(m_pErr, "marlo-cli: %s\n", message.c_str());
}

bool CliReporter::ConfirmLoss(const std::string& message) {
    std::fprintf(m_pErr, "marlo-cli: 注意: %s\n", message.c_str());
    return true;
}

void EntryWriter::Write(const PhoneRecordView& record) {
    constexpr std::size_t kChunkBytes = 1 << 20;
    AppendTextLine(m_chunk, record);
    m_lineEnds.push_back(m_chunk.size());
    m_chunk += '\n';
    if (m_chunk.size() >= kChunkBytes)
        Flush();
}

void EntryWriter::Flush() {
    if (m_chunk.empty())
        return;
    if (m_bRawBytes) {
        Put(m_chunk);
    } else {
        QString text = Cp932ToUnicode(m_chunk);
        // Only invalid bytes give U+FFFD; then each entry is decoded alone, so
        // that no bad byte can take the line end of its entry with it.
        if (text.contains(QChar(0xFFFD))) {
            text.clear();
            std::size_t start = 0;
            for (const std::size_t end : m_lineEnds) {
                text += Cp932ToUnicode(std::string_view(m_chunk).substr(start, end - start));
                text += QChar('\n');
                start = end + 1;
            }
        }
        const QByteArray utf8 = text.toUtf8();
        Put(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    }
    m_chunk.clear();
    m_lineEnds.clear();
}

int FlushOutput(const CliStreams& streams) {
    errno = 0;
    const bool flushed = std::fflush(streams.out) == 0;
    const int nError = errno;
    if (flushed && !std::ferror(streams.out))
        return kCliOk;
    // The reason is known when the flush itself failed; a write that failed earlier left none to trust.
    if (!flushed && nError != 0)
        std::fprintf(streams.err, "marlo-cli: 出力を書き込めません: %s。\n", SystemErrorText(nError).c_str());
    else
        std::fprintf(streams.err, "marlo-cli: 出力を書き込めません。\n");
    return kCliFailed;
}
