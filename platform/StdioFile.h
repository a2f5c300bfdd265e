#pragma once
// Text-mode file access as the C runtime does it: reading turns CR LF into LF,
// keeps a CR that is not followed by LF, and stops at a 0x1A byte; writing
// turns every LF into CR LF.

#include <string>
#include <string_view>
#include <vector>

class QIODevice;

/// Appends `text` to `out` as text mode writes it: each LF as CR LF.
void AppendCrLf(std::string& out, std::string_view text);

class CStdioFile {
public:
    /// Works on a device the caller opened (read-only or write-only) and closes.
    explicit CStdioFile(QIODevice& device);
    ~CStdioFile();
    CStdioFile(const CStdioFile&) = delete;
    CStdioFile& operator=(const CStdioFile&) = delete;

    /// The next line without its line feed; false at the end of the file.
    /// Throws ArchiveError(Io) when the device fails.
    bool ReadString(std::string& line);

    /// Writes `text`, each LF as CR LF. Throws ArchiveError(Io) when the device refuses.
    void WriteString(std::string_view text);
    /// Hands buffered bytes to the device.
    void Flush();

private:
    bool Fill();

    QIODevice& m_device;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_eof = false;       // 0x1A seen or device exhausted
    bool m_pendingCr = false; // reading: a CR ended the previous chunk
    std::string m_out;        // writing buffer
};
