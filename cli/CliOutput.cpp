#include "CliOutput.h"

#include "CliArgs.h"
#include "data/TextFormat.h"
#include "platform/Cp932.h"
#include "platform/Mbcs.h"
#include "platform/SystemError.h"

#include <QString>
#include <algorithm>
#include <cerrno>

void CliReporter::ReportError(const std::string& message) {
    std::fprintf(m_pErr, "marlo-cli: %s\n", message.c_str());
}

bool CliReporter::ConfirmLoss(const std::string& message) {
    std::fprintf(m_pErr, "marlo-cli: 注意: %s\n", message.c_str());
    return true;
}

namespace {
// Output converts 64 KB at a time: the buffers stay small, and a fresh process touches
// few new pages (each first touch a fault, some 10 us on a virtual machine).
constexpr std::size_t kChunkBytes = 64 << 10;
}

void EntryWriter::Write(const PhoneRecordView& record) {
    AppendTextLine(m_chunk, record);
    m_chunk += '\n';
    if (m_chunk.size() >= kChunkBytes)
        Flush();
}

void EntryWriter::Flush() {
    if (m_bRawBytes) {
        Put(m_chunk);
    } else {
        // A chunk at a time, cut after a line end, or between characters within an
        // entry longer than that: no text is made of a long entry's whole size. An
        // invalid byte becomes one U+FFFD of its own and never takes the line end after
        // it with it (Cp932ToUnicode).
        const std::string_view bytes(m_chunk);
        for (std::size_t start = 0; start < bytes.size();) {
            std::size_t end = std::min(bytes.size(), start + kChunkBytes);
            if (end < bytes.size()) {
                const std::size_t newline = bytes.rfind('\n', end - 1);
                if (newline != std::string_view::npos && newline >= start)
                    end = newline + 1;
                else
                    for (end = start; end - start < kChunkBytes;)
                        end += MbcLen(bytes, end);
            }
            const QByteArray utf8 = Cp932ToUnicode(bytes.substr(start, end - start)).toUtf8();
            Put(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
            start = end;
        }
    }
    m_chunk.clear();
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
