#include "interop/ContactCsv.h"

#include "data/RecordList.h"
#include "interop/EntryParts.h"
#include "interop/Romaji.h"
#include "platform/Cp932.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace {


bool IsBlankByte(char c) {
    return c == ' ' || c == '\t';
}

bool IsAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void AppendField(std::string& out, std::string_view bytes) {
    const bool quote = bytes.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!bytes.empty() && (IsBlankByte(bytes.front()) || IsBlankByte(bytes.back())));
    if (!quote) {
        out += bytes;
        return;
    }
    out += '"';
    for (const char c : bytes) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

void AppendCsvHeading(std::string& out, CsvEncoding encoding) {
    const QString heading = QStringLiteral("ローマ字名,漢字名,電話番号,メモ");
    if (encoding == CsvEncoding::Utf8WithBom) {
        out += "\xEF\xBB\xBF";
        out += heading.toStdString();
    } else {
        out += UnicodeToCp932(heading).bytes;
    }
    out += "\r\n";
}

void AppendCsvRow(std::string& out, const PhoneRecordView& entry, CsvEncoding encoding) {
    const std::array<std::string_view, 4> fields{entry.m_strRomaji, entry.m_strKanji, entry.m_strPhone,
                                                 entry.m_strMemo};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        // Code page 932 keeps ASCII as it is, so ASCII is its own UTF-8 too.
        if (encoding == CsvEncoding::Cp932 || IsAscii(fields[i])) {
            AppendField(out, fields[i]);
        } else {
            const QByteArray utf8 = Cp932ToUnicode(fields[i]).toUtf8();
            AppendField(out, std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        }
    }
    out += "\r\n";
}

using namespace Qt::StringLiterals;

namespace {

// Outlook's number columns (Japanese headings), in their order, with the kind each holds.
struct OutlookPhone {
    const char16_t* heading;
    const char16_t* kind;
};
constexpr OutlookPhone kOutlookPhones[] = {
    {u"携帯電話", u"携帯"},     {u"自宅電話", u"自宅"},         {u"自宅電話 2", u"自宅"},       {u"会社電話", u"勤務先"},
    {u"会社電話 2", u"勤務先"}, {u"会社 FAX", u"FAX"},          {u"ポケットベル", u"ポケベル"}, {u"その他の電話", u"その他"},
};
constexpr qsizetype kOutlookEmails = 3;

// Google's type words for the kinds of numbers.
constexpr std::pair<std::u16string_view, std::u16string_view> kGoogleTypes[] = {
    {u"CELL", u"Mobile"}, {u"HOME", u"Home"}, {u"WORK", u"Work"},   {u"FAX", u"Work Fax"},
    {u"PAGER", u"Pager"}, {u"MAIN", u"Main"}, {u"OTHER", u"Other"},
};

QString GoogleType(const QString& vcardType) {
    if (vcardType.isEmpty()) // a number of no kind
        return {};
    for (const auto& [type, word] : kGoogleTypes)
        if (vcardType == QStringView(type))
            return QString::fromUtf16(word.data(), static_cast<qsizetype>(word.size()));
    return QStringLiteral("Other");
}

void AppendRow(std::string& out, const QStringList& cells, CsvEncoding encoding) {
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out += ',';
        if (encoding == CsvEncoding::Cp932) {
            AppendField(out, UnicodeToCp932(cells[i]).bytes); // the entries' own text: code page 932 holds it
        } else {
            const QByteArray utf8 = cells[i].toUtf8();
            AppendField(out, std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        }
    }
    out += "\r\n";
}

/// One entry's cells in a dialect, before the heading row is known.
struct DialectRow {
    QStringList fixed;  ///< the name, reading, main number and notes columns
    QStringList phones; ///< Google: type and number pairs; Outlook: one cell a number column
    QStringList emails;
};

DialectRow GoogleRow(const PhoneRecordView& entry) {
    const QString kanji = Cp932ToUnicode(entry.m_strKanji);
    const QString romaji = Cp932ToUnicode(entry.m_strRomaji);
    const QString phone = Cp932ToUnicode(entry.m_strPhone);
    const NameParts name = SplitName(kanji);
    const PhoneticParts phonetic = PhoneticOf(kanji, romaji);
    const MemoParts memo = SplitMemo(Cp932ToUnicode(entry.m_strMemo), !phone.isEmpty() && !phone.contains(u" ::: "),
                                     !kanji.isEmpty(), [](const QString&, const QString& number) {
                                         return !number.contains(u" ::: ");
                                     });
    DialectRow row;
    // "Name" keeps the name as it is written; "Yomi Name" the romaji, which an import takes back.
    row.fixed = {kanji, name.given, name.family, romaji, phonetic.given, phonetic.family, memo.note};
    if (!phone.isEmpty())
        row.phones << QStringLiteral("*") << phone;
    for (const auto& [type, number] : memo.phones)
        row.phones << GoogleType(type) << number;
    for (const QString& email : memo.emails)
        row.emails << QStringLiteral("Other") << email;
    return row;
}

DialectRow OutlookRow(const PhoneRecordView& entry) {
    const QString kanji = Cp932ToUnicode(entry.m_strKanji);
    const QString phone = Cp932ToUnicode(entry.m_strPhone);
    const NameParts name = SplitName(kanji);
    const PhoneticParts phonetic = PhoneticOf(kanji, Cp932ToUnicode(entry.m_strRomaji));
    // The numbers go into their kind's columns in the columns' order; one that does not
    // fit, or that repeats the main number (which it would become), stays in the notes.
    std::vector<std::size_t> placed; // each number's column
    const auto fits = [&](const QString& kind, const QString& number) {
        if (number == phone)
            return false;
        for (std::size_t c = placed.empty() ? 0 : placed.back() + 1; c < std::size(kOutlookPhones); ++c) {
            if (kind == QStringView(kOutlookPhones[c].kind)) {
                placed.push_back(c);
                return true;
            }
        }
        return false;
    };
    const MemoParts memo = SplitMemo(Cp932ToUnicode(entry.m_strMemo), !phone.isEmpty(), !kanji.trimmed().isEmpty(), fits,
                                     kOutlookEmails);
    DialectRow row;
    row.fixed = {name.family, name.given, phonetic.family, phonetic.given, phone, memo.note};
    row.phones = QStringList(static_cast<qsizetype>(std::size(kOutlookPhones)));
    for (std::size_t i = 0; i < memo.phones.size(); ++i) // the numbers SplitMemo kept
        row.phones[static_cast<qsizetype>(placed[i])] = memo.phones[i].second;
    row.emails = memo.emails;
    return row;
}

} // namespace

void AppendDialectCsv(std::string& out, const RecordList& list, CsvDialect dialect, CsvEncoding encoding) {
    std::vector<DialectRow> rows;
    rows.reserve(list.GetCount());
    qsizetype phoneCells = 0, emailCells = 0;
    for (const PhoneRecordView entry : list) {
        rows.push_back(dialect == CsvDialect::Google ? GoogleRow(entry) : OutlookRow(entry));
        phoneCells = std::max(phoneCells, rows.back().phones.size());
        emailCells = std::max(emailCells, rows.back().emails.size());
    }
    QStringList heading;
    if (dialect == CsvDialect::Google) {
        heading = {u"Name"_s, u"Given Name"_s, u"Family Name"_s, u"Yomi Name"_s, u"Given Name Yomi"_s,
                   u"Family Name Yomi"_s, u"Notes"_s};
        for (qsizetype n = 1; n <= phoneCells / 2; ++n)
            heading << QStringLiteral("Phone %1 - Type").arg(n) << QStringLiteral("Phone %1 - Value").arg(n);
        for (qsizetype n = 1; n <= emailCells / 2; ++n)
            heading << QStringLiteral("E-mail %1 - Type").arg(n) << QStringLiteral("E-mail %1 - Value").arg(n);
    } else {
        heading = {u"姓"_s, u"名"_s, u"姓フリガナ"_s, u"名前フリガナ"_s, u"通常の電話"_s, u"メモ"_s};
        for (const OutlookPhone& column : kOutlookPhones)
            heading << QString::fromUtf16(column.heading);
        heading << u"電子メール アドレス"_s << u"電子メール 2 アドレス"_s << u"電子メール 3 アドレス"_s;
        phoneCells = static_cast<qsizetype>(std::size(kOutlookPhones));
        emailCells = kOutlookEmails;
    }
    if (encoding == CsvEncoding::Utf8WithBom)
        out += "\xEF\xBB\xBF";
    AppendRow(out, heading, encoding);
    for (DialectRow& row : rows) {
        while (row.phones.size() < phoneCells)
            row.phones << QString();
        while (row.emails.size() < emailCells)
            row.emails << QString();
        AppendRow(out, row.fixed + row.phones + row.emails, encoding);
    }
}
