#pragma once
// What marlo-cli prints: entries as text lines, in UTF-8 or as the file's own
// bytes, and the document's reports as lines on the error stream.

#include "data/PhoneRecord.h"
#include "platform/Document.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

/// Where a command writes: results to `out`, messages to `err`.
struct CliStreams {
    std::FILE* out;
    std::FILE* err;
};

/// The document's reports for a terminal: each a line "marlo-cli: ..." on the error
/// stream. Nobody is there to answer questions: a save that would lose something is
/// told and goes on, as the user asked for it.
class CliReporter : public DocReporter {
public:
    explicit CliReporter(std::FILE* err) : m_pErr(err) {}
    void ReportError(const std::string& message) override;
    // A command saves only what it was asked to: nothing is ever left unsaved.
    SaveAnswer AskSaveChanges(const std::string&) override { return SaveAnswer::Cancel; }
    std::optional<std::string> AskSavePath(const std::string&) override { return std::nullopt; }
    bool ConfirmLoss(const std::string& message) override;

private:
    std::FILE* m_pErr;
};

/// Writes entries as text lines. UTF-8 output converts 64 KB at a time, cut
/// between characters; each invalid byte shows as one U+FFFD of its own entry.
class EntryWriter {
public:
    EntryWriter(std::FILE* out, bool rawBytes) : m_pOut(out), m_bRawBytes(rawBytes) {}
    void Write(const PhoneRecordView& record);
    void Finish() { Flush(); }

private:
    void Flush();
    void Put(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), m_pOut); }

    std::FILE* m_pOut;
    bool m_bRawBytes;
    std::string m_chunk;
};

/// Flushes `out`: kCliOk, or kCliFailed with the reason on `err` when the output could
/// not be written (a full disk or a closed pipe must not pass for success).
int FlushOutput(const CliStreams& streams);
