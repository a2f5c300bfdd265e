#include "interop/ContactCsv.h"

#include "interop/CsvHeadings.h"

#include "interop/TextDecode.h"
#include "platform/Cp932.h"
#include "platform/FileError.h"

#include <QHash>
#include <QSet>
#include <QStringTokenizer>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Rows and cells

/// One cell as the file holds it, without a copy. A quoted cell keeps its doubled
/// quotes until its text is asked for; what follows its closing quote before the
/// comma is kept as its tail.
struct CsvCell {
    std::string_view quoted; ///< between the quotes (quoted cells only)
    std::string_view tail;   ///< the whole of an unquoted cell; the text after a closing quote
    bool isQuoted = false;

    /// Empty, or unquoted and only spaces and tabs: nothing anyone meant to write.
    bool IsBlank() const { return !isQuoted && tail.find_first_not_of(" \t") == std::string_view::npos; }
};

/// Reads a CSV text row by row, its cells separated by `separator`. Line ends are those
/// LineEndLength knows, inside quotes too.
/// Each byte is looked at a bounded number of times: a quote that never closes is
/// found by one scan to the end of the text, after which no later quote can be
/// unclosed (every run of quotes after it has even length).
class CsvScanner {
public:
    CsvScanner(std::string_view text, char separator) : m_text(text), m_stops{separator, '\r', '\n'} {}

    bool AtEnd() const { return m_pos >= m_text.size(); }

    struct Row {
        std::size_t line = 0;          ///< the line it starts on, from 1
        std::string_view bytes;        ///< the whole row as the file has it
        bool blank = true;             ///< every cell blank
        std::size_t unclosedQuote = 0; ///< the line of a quote that never closes, read as a character; 0 if none
    };

    /// Reads the next row, handing each cell to `onCell(index, cell)`.
    template <class OnCell> Row Next(OnCell&& onCell) {
        Row row;
        row.line = m_line;
        const std::size_t begin = m_pos;
        for (std::size_t index = 0;; ++index) {
            CsvCell cell;
            if (m_pos < m_text.size() && m_text[m_pos] == '"')
                ReadQuoted(cell, row);
            const std::size_t end = std::min(m_text.find_first_of(std::string_view(m_stops, 3), m_pos), m_text.size());
            cell.tail = m_text.substr(m_pos, end - m_pos);
            m_pos = end;
            if (!cell.IsBlank())
                row.blank = false;
            onCell(index, cell);
            if (m_pos < m_text.size() && m_text[m_pos] == m_stops[0]) {
                ++m_pos;
                continue;
            }
            row.bytes = m_text.substr(begin, m_pos - begin);
            SkipLineEnd(m_pos, m_line);
            return row;
        }
    }

private:
    // From the opening quote at m_pos. When the quote never closes it stays where it
    // is and the caller reads it as a character of an unquoted cell.
    void ReadQuoted(CsvCell& cell, Row& row) {
        std::size_t i = m_pos + 1;
        std::size_t line = m_line;
        while (i < m_text.size()) {
            const char c = m_text[i];
            if (c == '"') {
                if (i + 1 < m_text.size() && m_text[i + 1] == '"') {
                    i += 2;
                    continue;
                }
                cell.quoted = m_text.substr(m_pos + 1, i - m_pos - 1);
                cell.isQuoted = true;
                m_pos = i + 1;
                m_line = line;
                return;
            }
            if (c == '\r' || c == '\n')
                SkipLineEnd(i, line);
            else
                ++i;
        }
        row.unclosedQuote = m_line;
    }

    // Steps over the line end at `pos` (CR LF, LF or CR), if there is one.
    void SkipLineEnd(std::size_t& pos, std::size_t& line) const {
        if (const std::size_t length = LineEndLength(m_text, pos)) {
            pos += length;
            ++line;
        }
    }

    std::string_view m_text;
    char m_stops[3]; ///< the separator, then the line-end bytes
    std::size_t m_pos = 0;
    std::size_t m_line = 1;
};

/// A cell's text, its doubled quotes single and its line breaks "\n". `scratch`
/// holds the unquoted bytes when they differ from the file's.
QString CellText(const CsvCell& cell, const TextEncoding& encoding, std::string& scratch) {
    std::string_view bytes = cell.tail;
    if (cell.isQuoted) {
        if (cell.tail.empty() && cell.quoted.find('"') == std::string_view::npos) {
            bytes = cell.quoted;
        } else {
            scratch.clear();
            for (std::size_t i = 0; i < cell.quoted.size(); ++i) {
                scratch += cell.quoted[i];
                if (cell.quoted[i] == '"')
                    ++i; // the second of a doubled quote
            }
            scratch += cell.tail;
            bytes = scratch;
        }
    }
    if (bytes.empty())
        return {};
    QString text = DecodeText(bytes, encoding);
    NormalizeLineBreaks(text);
    return text;
}

using namespace CsvHeadings;

/// No known heading is longer than this many bytes in any encoding; longer cells
/// of a first row are not decoded to be looked up.
constexpr std::size_t kLongestHeadingBytes = 128;

/// The encoding of a row's text: the file's when it is UTF-8 throughout or marked, else
/// the row's own, so that one stray byte leaves the other rows as they are.
TextEncoding RowEncoding(const PreparedText& text, const CsvScanner::Row& row) {
    return text.declared || text.encoding == TextEncoding::Utf8 ? text.encoding : GuessEncoding(row.bytes);
}

/// Whether a file that is not UTF-8 throughout is a Shift_JIS file: at least as many of
/// its rows beyond ASCII are not UTF-8 as are. Then every row is Shift_JIS, also one
/// whose bytes happen to be valid UTF-8 too (a Shift_JIS export of a name that looks
/// like mojibake would otherwise come back changed).
bool MostlyShiftJis(std::string_view bytes) {
    std::size_t utf8 = 0, other = 0;
    for (CsvScanner rows(bytes, ','); !rows.AtEnd();) {
        const CsvScanner::Row row = rows.Next([](std::size_t, const CsvCell&) {});
        if (std::any_of(row.bytes.begin(), row.bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            ++(IsValidUtf8(row.bytes) ? utf8 : other);
    }
    return other > 0 && other >= utf8;
}

/// A column the reader uses.
struct Column {
    std::size_t index; ///< the cell's place in its row
    Field field;
    QString kind; ///< a Phone column's kind; a Detail column's label
    unsigned number = 0;
    unsigned group = 0; ///< a Detail column's group
    unsigned rank = 0;  ///< where a Detail column's piece stands in its group's line
    std::size_t labelSlot = SIZE_MAX; ///< a PhoneValue column's PhoneLabel column, if there is one
};

/// The columns of a file, in row order.
class Layout {
public:
    /// Takes the cell at `index` of a first row as a heading, if it is a known one.
    /// A heading met twice keeps its first column.
    void OfferHeading(std::size_t index, const QString& text) {
        const HeadingKey key = MakeHeadingKey(text);
        if (key.key.isEmpty())
            return;
        const auto known = KnownHeadingTable().constFind(key.key);
        if (known == KnownHeadingTable().constEnd())
            return;
        const QString numbered = key.key + QString::number(key.number);
        if (known->field == Field::Unused || m_seen.contains(numbered))
            return;
        m_seen.insert(numbered);
        if (IsNameOrNumber(known->field))
            ++m_namesOrNumbers;
        Column column{index, known->field, {}, key.number, known->group, known->rank};
        if (known->field == Field::Phone) {
            const QString words = known->kindWords ? QString::fromUtf16(known->kindWords) : text;
            column.kind = PhoneKindFromLabels({words});
            if (column.kind.isEmpty() && known->kindWords) // a kind of its own: "ISDN", "テレックス"
                column.kind = words;
        }
        else if (known->field == Field::Detail)
            column.kind = QString::fromUtf16(known->kindWords);
        m_columns.push_back(std::move(column));
    }

    /// True when the row named a column of a name or a number: what makes a heading
    /// row of contacts.
    bool IsHeading() const { return m_namesOrNumbers > 0; }
    std::size_t NamesOrNumbers() const { return m_namesOrNumbers; }

    /// Pairs each "Phone N - Value" with its "Phone N - Label".
    void LinkLabels() {
        QHash<unsigned, std::size_t> labels;
        for (std::size_t slot = 0; slot < m_columns.size(); ++slot)
            if (m_columns[slot].field == Field::PhoneLabel)
                labels.insert(m_columns[slot].number, slot);
        for (Column& column : m_columns)
            if (column.field == Field::PhoneValue)
                column.labelSlot = labels.value(column.number, SIZE_MAX);
    }

    const std::vector<Column>& Columns() const { return m_columns; }

private:
    static bool IsNameOrNumber(Field field) {
        switch (field) {
        case Field::Romaji:
        case Field::FormattedName:
        case Field::Family:
        case Field::Given:
        case Field::Middle:
        case Field::Nickname:
        case Field::Organization:
        case Field::Phone:
        case Field::PreferredPhone:
        case Field::PhoneValue:
            return true;
        default:
            return false;
        }
    }

    std::vector<Column> m_columns;
    QSet<QString> m_seen;
    std::size_t m_namesOrNumbers = 0;
};

/// The heading row of a file read with `separator`, from its first row that is not
/// blank; `scanner` is left after it.
Layout ReadHeadingRow(CsvScanner& scanner, const PreparedText& text, std::size_t& unclosedQuote) {
    std::string scratch;
    std::vector<std::pair<std::size_t, CsvCell>> cells;
    while (!scanner.AtEnd()) {
        cells.clear();
        const CsvScanner::Row row = scanner.Next([&](std::size_t index, const CsvCell& cell) {
            if (cell.quoted.size() + cell.tail.size() <= kLongestHeadingBytes)
                cells.emplace_back(index, cell);
        });
        if (row.blank)
            continue;
        const TextEncoding encoding = RowEncoding(text, row);
        Layout heading;
        for (const auto& [index, cell] : cells)
            heading.OfferHeading(index, CellText(cell, encoding, scratch));
        unclosedQuote = row.unclosedQuote;
        return heading;
    }
    return {};
}

/// Why a file is no contacts CSV, with the headings that would have made it one.
[[noreturn]] void ThrowNoHeadingRow() {
    throw ArchiveError(ArchiveError::Kind::BadFormat,
                       "vCard でも連絡先の CSV でもありません: 最初の行が、名前か電話番号の列の見出しではありません"
                       " (読める見出しは「漢字名」「ローマ字名」「電話番号」「Name」「First Name」「Last Name」"
                       "「Display Name」「Phone 1 - Value」「Mobile Phone」「姓」「名」「携帯電話」など)。");
}

// ---------------------------------------------------------------------------
// Contacts

QString JoinNonEmpty(std::initializer_list<QString> parts) {
    QString joined;
    for (const QString& part : parts) {
        const QString trimmed = part.trimmed();
        if (trimmed.isEmpty())
            continue;
        if (!joined.isEmpty())
            joined += u' ';
        joined += trimmed;
    }
    return joined;
}

/// The values of a cell that holds several, " ::: " between them (Google's), without
/// empty ones.
auto Values(const QString& cell) {
    return QStringTokenizer(cell, u" ::: ", Qt::SkipEmptyParts);
}

/// A Detail column's text as a piece of its memo line; empty for none. Outlook writes
/// a date it does not know as "0/0/00" or "00/0/0".
QString DetailPiece(const QString& text) {
    const QString piece = text.trimmed();
    return piece == u"0/0/00" || piece == u"00/0/0" ? QString() : piece;
}

/// The memo line of the group of Detail columns that `first` starts (an address, a
/// birthday): its pieces in the order of their headings in the table (postal code
/// first, as Japanese addresses are written), whatever the columns' order.
QString GroupLine(const std::vector<Column>& columns, const std::vector<QString>& texts, const Column& first) {
    std::vector<std::pair<unsigned, QString>> pieces;
    for (std::size_t slot = 0; slot < columns.size(); ++slot)
        if (columns[slot].field == Field::Detail && columns[slot].group == first.group)
            if (QString piece = DetailPiece(texts[slot]); !piece.isEmpty())
                pieces.emplace_back(columns[slot].rank, std::move(piece));
    std::stable_sort(pieces.begin(), pieces.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList line;
    for (const auto& [rank, piece] : pieces)
        line.push_back(piece);
    return line.join(first.kind == QStringView(kBirthday) ? u'-' : u' ');
}

/// The contact of one row from the texts of its columns (by slot).
Contact MakeContact(const std::vector<Column>& columns, const std::vector<QString>& texts) {
    Contact contact;
    ContactItems& items = contact.items;
    std::array<QString, kFieldCount> single;
    QStringList primaryNumbers;
    std::vector<unsigned> grouped; // the groups of Detail columns whose line is there
    for (std::size_t slot = 0; slot < columns.size(); ++slot) {
        const Column& column = columns[slot];
        const QString& text = texts[slot];
        switch (column.field) {
        case Field::Romaji:
            if (!contact.romaji || contact.romaji->isEmpty())
                contact.romaji = text;
            break;
        case Field::Phone:
            if (!text.isEmpty())
                items.Add(MemoPiece::Phone, text, column.kind);
            break;
        case Field::PreferredPhone:
            if (!text.isEmpty())
                primaryNumbers.push_back(text);
            break;
        case Field::PhoneValue: {
            QString label = column.labelSlot < texts.size() ? texts[column.labelSlot].trimmed() : QString();
            const bool preferred = label.startsWith(u'*');
            if (preferred)
                label = label.mid(1).trimmed();
            const QString kind = PhoneKindFromLabels({label});
            for (const QStringView number : Values(text))
                items.Add(MemoPiece::Phone, number, kind, preferred);
            break;
        }
        case Field::Email:
            if (!text.isEmpty())
                items.Add(MemoPiece::Email, text);
            break;
        case Field::EmailValue:
            for (const QStringView address : Values(text))
                items.Add(MemoPiece::Email, address);
            break;
        case Field::Detail:
            if (column.group == 0) {
                if (const QString piece = DetailPiece(text); !piece.isEmpty())
                    items.Add(MemoPiece::Detail, piece, column.kind);
            } else if (std::find(grouped.begin(), grouped.end(), column.group) == grouped.end() &&
                       !DetailPiece(text).isEmpty()) {
                grouped.push_back(column.group);
                items.Add(MemoPiece::Detail, GroupLine(columns, texts, column), column.kind);
            }
            break;
        case Field::Unused:
        case Field::PhoneLabel:
            break;
        default: {
            // A field with one value: the first column that has it.
            QString& value = single[static_cast<std::size_t>(column.field)];
            if (!value.isEmpty() || text.isEmpty())
                break;
            value = text;
            if (column.field == Field::Organization || column.field == Field::Nickname)
                items.Add(column.field == Field::Organization ? MemoPiece::Organization : MemoPiece::Nickname);
            break;
        }
        }
    }
    // Outlook's "Primary Phone" repeats one of the other numbers: that one becomes preferred.
    for (const QString& number : primaryNumbers) {
        std::size_t same = 0;
        while (same < items.size() && !(items[same].piece == MemoPiece::Phone && items[same].text == number))
            ++same;
        if (same < items.size())
            items.SetPreferred(same, true);
        else
            items.Add(MemoPiece::Phone, number, {}, true);
    }
    auto get = [&single](Field field) -> const QString& { return single[static_cast<std::size_t>(field)]; };
    contact.formattedName = get(Field::FormattedName);
    contact.partsName =
        JoinNonEmpty({get(Field::Prefix), get(Field::Family), get(Field::Middle), get(Field::Given), get(Field::Suffix)});
    contact.organization = get(Field::Organization).trimmed();
    contact.organizationReading = get(Field::OrganizationReading).trimmed();
    contact.nickname = get(Field::Nickname).trimmed();
    contact.familyName = get(Field::Family);
    contact.givenName = get(Field::Given);
    contact.familyReading = get(Field::FamilyReading);
    // Read in the order the name is written: the middle name before the given one.
    contact.givenReading = get(Field::MiddleReading).isEmpty()
                               ? get(Field::GivenReading)
                               : JoinNonEmpty({get(Field::MiddleReading), get(Field::GivenReading)});
    contact.reading = get(Field::Reading);
    contact.note = get(Field::Note);
    return contact;
}

QString LineReason(std::size_t line, const char16_t* what) {
    return QString::number(line) + QStringLiteral(" 行目: ") + QString::fromUtf16(what);
}

} // namespace

ContactFile ReadContactCsv(std::string_view file, std::function<void(Contact&&)> take) {
    ContactFile result;
    result.take = std::move(take);
    PreparedText prepared = PrepareText(file);
    const std::string_view bytes = prepared.bytes;
    if (!prepared.declared && prepared.encoding != TextEncoding::Utf8 && MostlyShiftJis(bytes))
        prepared.declared = true; // every row Shift_JIS, as the file's encoding says
    std::string scratch;
    auto reportUnclosed = [&result](const CsvScanner::Row& row) {
        if (row.unclosedQuote != 0)
            result.report.Skip(LineReason(row.unclosedQuote, u"閉じていない引用符"));
    };

    // The heading row is the first row that is not blank, its cells separated by whichever
    // of comma, semicolon and tab finds the most columns of names and numbers in it.
    constexpr char kSeparators[] = {',', ';', '\t'};
    CsvScanner scanner(bytes, ',');
    Layout layout;
    std::size_t unclosedQuote = 0;
    for (const char separator : kSeparators) {
        CsvScanner tried(bytes, separator);
        std::size_t unclosed = 0;
        Layout heading = ReadHeadingRow(tried, prepared, unclosed);
        if (heading.NamesOrNumbers() > layout.NamesOrNumbers()) {
            layout = std::move(heading);
            scanner = tried;
            unclosedQuote = unclosed;
        }
    }
    if (!layout.IsHeading())
        ThrowNoHeadingRow();
    if (unclosedQuote != 0)
        result.report.Skip(LineReason(unclosedQuote, u"閉じていない引用符"));
    layout.LinkLabels();

    const std::vector<Column>& columns = layout.Columns();
    std::vector<CsvCell> cells(columns.size());
    std::vector<QString> texts(columns.size());
    while (!scanner.AtEnd()) {
        std::fill(cells.begin(), cells.end(), CsvCell{});
        std::size_t slot = 0; // the cells of a row come in the columns' order
        const CsvScanner::Row row = scanner.Next([&](std::size_t index, const CsvCell& cell) {
            if (slot < columns.size() && columns[slot].index == index)
                cells[slot++] = cell;
        });
        reportUnclosed(row);
        if (row.blank)
            continue;
        const TextEncoding encoding = RowEncoding(prepared, row);
        for (std::size_t i = 0; i < cells.size(); ++i)
            texts[i] = CellText(cells[i], encoding, scratch);
        Contact contact = MakeContact(columns, texts);
        texts.assign(texts.size(), QString()); // the contact's texts go with it, not with the next row
        if (HoldsNothing(contact)) {
            result.report.Skip(LineReason(row.line, u"取り込める項目がありません"));
            continue;
        }
        result.Add(std::move(contact));
    }
    return result;
}
