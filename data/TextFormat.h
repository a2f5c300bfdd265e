#pragma once
// The text exchange format: one line per entry, fields separated by commas,
// the memo's lines as further fields.

#include "PhoneRecord.h"

#include <cstddef>
#include <string>
#include <string_view>

class CStdioFile;
class RecordList;

/// Appends the line of `record` without its line end: romaji,kanji,phone then ",line"
/// per memo line. The one writer of a text line: saves, marlo-cli's output and the
/// check of what a text save loses all make their lines here.
void AppendTextLine(std::string& out, const PhoneRecordView& record);
/// The same line as a string of its own.
std::string FormatTextLine(const PhoneRecordView& record);
/// Writes the line of `record` and its line end to a text-mode file.
void WriteTextLine(CStdioFile& file, const PhoneRecordView& record);
/// Fills an empty `record` from one line (without its line end). Never fails.
void ParseTextLine(PhoneRecord& record, std::string_view line);

/// What a phone book loses when it is saved in the text format and read back.
struct TextExportLoss {
    /// Entries lost from the first one holding a Ctrl-Z on, that one included:
    /// reading stops at that byte, inside its line.
    std::size_t nCutOff = 0;
    std::string strCutOffName;            ///< romaji name of the entry holding the Ctrl-Z
    const char* pszCutOffField = nullptr; ///< the field that holds it, in Japanese
    /// Entries before that one whose line reads back as other entries: commas in a
    /// field, line breaks in a name or number or at the edges of the memo.
    std::size_t nChanged = 0;
    std::string strFirstChanged; ///< romaji name of the first of them
    /// The entries are not in romaji order, and reading sorts them.
    bool bReordered = false;

    bool Any() const noexcept { return nCutOff > 0 || nChanged > 0 || bReordered; }
    /// The whole loss in plain Japanese, for a save to `path`.
    std::string Describe(const std::string& path) const;
};

/// What saving `list` as text and reading the file back would lose.
TextExportLoss AssessTextExport(const RecordList& list);
