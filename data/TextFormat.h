#pragma once
// The text exchange format: one line per entry, fields separated by commas,
// the memo's lines as further fields.

#include "PhoneRecord.h"

#include <string>
#include <string_view>

class CStdioFile;

/// The line of `record` without its line end: romaji,kanji,phone then ",line" per memo line.
std::string FormatTextLine(const PhoneRecord& record);
/// Writes the line of `record` and its line end to a text-mode file.
void WriteTextLine(CStdioFile& file, const PhoneRecord& record);
/// Fills an empty `record` from one line (without its line end). Never fails.
void ParseTextLine(PhoneRecord& record, std::string_view line);
