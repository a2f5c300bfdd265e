#include "StdioFile.h"

#include "FileError.h"

#include <QIODevice>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr char kCtrlZ = 0x1A;

} // namespace

CStdioFile::CStdioFile(QIODevice& device) : m_device(device) {}

CStdioFile::~CStdioFile() = default;

bool CStdioFile::Fill() {
    if (m_eof)
        return false;
    if (m_buffer.size() < kBufferSize)
        m_buffer.resize(kBufferSize);
    errno = 0;
    const qint64 got = m_device.read(m_buffer.data(), static_cast<qint64>(m_buffer.size()));
    if (got < 0)
        throw DeviceIoError("ファイルを読み込めません", m_device, errno);
    m_pos = 0;
    m_end = static_cast<std::size_t>(got);
    // A Ctrl-Z ends the text: nothing after it is read.
    if (const void* z = std::memchr(m_buffer.data(), kCtrlZ, m_end)) {
        m_end = static_cast<std::size_t>(static_cast<const char*>(z) - m_buffer.data());
        m_eof = true;
    } else if (got == 0) {
        m_eof = true;
    }
    return m_end > 0;
}

bool CStdioFile::ReadString(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (m_pos == m_end && !Fill()) {
            // End of file: a CR held back from the last chunk belongs to the last line.
            if (m_pendingCr) {
                line.push_back('\r');
                m_pendingCr = false;
                any = true;
            }
            return any;
        }
        any = true;
        if (m_pendingCr) {
            m_pendingCr = false;
            if (m_buffer[m_pos] == '\n') {
                ++m_pos; // CR LF reads as one line feed
                return true;
            }
            line.push_back('\r');
        }
        const char* begin = m_buffer.data() + m_pos;
        const char* end = m_buffer.data() + m_end;
        const char* nl = static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
        const char* stop = nl ? nl : end;
        // A CR directly before the line feed is part of the line end, not of the line.
        std::size_t take = static_cast<std::size_t>(stop - begin);
        if (nl) {
            if (take > 0 && stop[-1] == '\r')
                --take;
            line.append(begin, take);
            m_pos = static_cast<std::size_t>(nl + 1 - m_buffer.data());
            return true;
        }
        // No line feed in this chunk: a CR at its very end may pair with an LF in the next one.
        if (take > 0 && stop[-1] == '\r') {
            --take;
            m_pendingCr = true;
        }
        line.append(begin, take);
        m_pos = m_end;
    }
}

void AppendCrLf(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) {
            out.append(text.substr(start));
            return;
        }
        out.append(text.substr(start, nl - start));
        out.append("\r\n");
        start = nl + 1;
    }
}

void CStdioFile::WriteString(std::string_view text) {
    AppendCrLf(m_out, text);
    if (m_out.size() >= kBufferSize)
        Flush();
}

void CStdioFile::Flush() {
    if (m_out.empty())
        return;
    WriteOut(m_device, m_out);
    m_out.clear();
}
