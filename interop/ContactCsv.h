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
/// With `take`, each contact goes there as it is read (see ContactFile::take).
ContactFile ReadContactCsv(std::string_view file, std::function<void(Contact&&)> take = {});

enum class CsvEncoding { Utf8WithBom, Cp932 };

/// Whose columns a CSV export has: Marlo's own four, Google Contacts' or (Japanese) Outlook's.
enum class CsvDialect { Marlo, Google, Outlook };

class RecordList;

/// Every entry of `list` as a CSV file in `dialect` (not Marlo, whose rows AppendCsvRow
/// writes): a heading row, then a row an entry with its name in its parts, its reading
/// in katakana (or romaji where katakana would not read back the same), its number and
/// the memo's further numbers and e-mails in their columns, the rest of the memo as notes.
void AppendDialectCsv(std::string& out, const RecordList& list, CsvDialect dialect, CsvEncoding encoding);

/// The heading row "ローマ字名,漢字名,電話番号,メモ" (CR LF), preceded by the UTF-8 byte-order
/// mark for Utf8WithBom.
void AppendCsvHeading(std::string& out, CsvEncoding encoding);

/// One entry as a CSV row (CR LF), fields quoted when they hold a comma, a quote, CR or LF
/// (or start/end with a blank). Cp932 writes the entry's bytes as they are; Utf8WithBom
/// converts them (Cp932ToUnicode). An entry whose fields are all empty makes a row of
/// commas, which reading takes for a blank row.
void AppendCsvRow(std::string& out, const PhoneRecordView& entry, CsvEncoding encoding);
