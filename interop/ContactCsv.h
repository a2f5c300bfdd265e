#pragma once
// Contacts as comma-separated values for spreadsheets and address books (RFC 4180,
// with the slips real files make): Google Contacts' and Outlook's exports, and
// Marlo's own four columns. Not the phone book's older text format (TextFormat.h),
// which knows no quoting.

#include "data/PhoneRecord.h"
#include "interop/Contact.h"

#include <string>
#include <string_view>

/// The contacts of a CSV file (RFC 4180: quoted fields with commas, doubled quotes and line
/// breaks inside; or separated by semicolons or tabs), read as far as it makes sense; what
/// is skipped is counted. Columns are found by the heading row, its first row that is not
/// blank; throws ArchiveError (BadFormat) when that row names no column of a name or a
/// number: the file is no contacts CSV.
ContactFile ReadContactCsv(std::string_view file);

enum class CsvEncoding { Utf8WithBom, Cp932 };

/// The heading row "ローマ字名,漢字名,電話番号,メモ" (CR LF), preceded by the UTF-8 byte-order
/// mark for Utf8WithBom.
void AppendCsvHeading(std::string& out, CsvEncoding encoding);

/// One entry as a CSV row (CR LF), fields quoted when they hold a comma, a quote, CR or LF
/// (or start/end with a blank). Cp932 writes the entry's bytes as they are; Utf8WithBom
/// converts them (Cp932ToUnicode). An entry whose fields are all empty makes a row of
/// commas, which reading takes for a blank row.
void AppendCsvRow(std::string& out, const PhoneRecordView& entry, CsvEncoding encoding);
