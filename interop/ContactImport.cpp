#include "interop/ContactImport.h"

#include "data/MarloDoc.h"
#include "data/RecordList.h"
#include "interop/ContactCsv.h"
#include "interop/Romaji.h"
#include "interop/TextDecode.h"
#include "interop/VCard.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <functional>
#include <utility>

namespace {

// Names listed in a report line before the rest are only counted.
constexpr qsizetype kNamesShown = 5;

// The dictionary is loaded once, on the first contact that needs it.
NameReadings& Readings() {
    static NameReadings readings;
    return readings;
}

// Line breaks of any kind as the phone book writes them: CR LF.
QString WithCrLf(QString text) {
    if (!text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

// Two parts of a name with one space between, or the one that is there.
QString JoinName(const QString& family, const QString& given) {
    const QString a = family.trimmed(), b = given.trimmed();
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() ? b : a;
    return a + u' ' + b;
}

/// `text` without blanks, in one case: to compare names however they are spaced.
QString Squeezed(const QString& text) {
    QString out;
    for (const QChar c : text)
        if (!c.isSpace() && c != u',')
            out += c.toCaseFolded();
    return out;
}

/// How a formatted name relates to the name's parts, whose readings the file gives.
enum class PartsOrder { Other, FamilyFirst, GivenFirst };

PartsOrder OrderOfParts(const QString& shown, const Contact& contact) {
    const QString family = Squeezed(contact.familyName), given = Squeezed(contact.givenName);
    if (family.isEmpty() && given.isEmpty())
        return PartsOrder::FamilyFirst; // readings without parts are the shown name's
    const QString name = Squeezed(shown);
    if (name == family + given)
        return PartsOrder::FamilyFirst;
    if (name == given + family)
        return PartsOrder::GivenFirst;
    return PartsOrder::Other;
}

/// The romaji name of `contact`, whose entry shows `shown`: from a romaji name given as
/// such, else from the file's reading of the name shown, else from the dictionary's
/// reading of it, less the parts it cannot read (named in `entry`). Empty, with
/// `entry.bNoReading` set, when there is none.
std::string RomajiFor(const Contact& contact, const ShownName& shown, ImportedEntry& entry) {
    // A romaji name given as such is the entry's name, when it is one already.
    if (contact.romaji && !contact.romaji->isEmpty()) {
        if (IsRomajiName(*contact.romaji))
            return contact.romaji->toStdString();
        if (std::string folded = RomajiFromReading(*contact.romaji); !folded.empty())
            return folded;
    }
    // Marlo's own vCards carry the name whole as their sort string.
    if (!contact.reading.isEmpty() && IsRomajiName(contact.reading))
        return contact.reading.toStdString();

    QStringList readings; // the file's, best first
    QString read = shown.text; // what the dictionary reads, its parts apart where the file tells them
    switch (shown.source) {
    case NameSource::Formatted:
    case NameSource::Parts:
        if (const PartsOrder order = OrderOfParts(shown.text, contact); order == PartsOrder::GivenFirst) {
            readings = {JoinName(contact.givenReading, contact.familyReading), contact.reading};
            read = JoinName(contact.givenName, contact.familyName);
        } else if (order == PartsOrder::FamilyFirst) {
            readings = {JoinName(contact.familyReading, contact.givenReading), contact.reading};
            if (!contact.familyName.trimmed().isEmpty())
                read = JoinName(contact.familyName, contact.givenName);
        }
        break;
    case NameSource::Organization:
        readings = {contact.organizationReading};
        break;
    case NameSource::Email:
        // An address reads as its words: "taro.yamada@example.jp" as "taro yamada example jp".
        for (QChar& c : read)
            if (!c.isLetterOrNumber())
                c = u' ';
        break;
    case NameSource::Nickname:
    case NameSource::None:
        break;
    }
    for (const QString& reading : readings) {
        if (std::string romaji = RomajiFromReading(reading); !romaji.empty())
            return romaji;
    }
    if (!read.trimmed().isEmpty()) {
        // Text in ASCII reads as it is written: the dictionary is not asked (nor loaded).
        const bool ascii = std::all_of(read.cbegin(), read.cend(), [](QChar c) { return c.unicode() < 0x80; });
        QStringList unread;
        if (std::string romaji = RomajiFromReading(ascii ? read : Readings().ReadingOf(read, &unread)); !romaji.empty()) {
            entry.unread = std::move(unread);
            return romaji;
        }
    }
    entry.bNoReading = true;
    return {};
}

// The item whose number becomes the entry's phone number: the first number marked
// preferred, else the first; items.size() when there is none.
std::size_t MainPhone(const ContactItems& items) {
    std::size_t first = items.size();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const ContactItem item = items[i];
        if (item.piece == MemoPiece::Phone && item.preferred)
            return i;
        if (item.piece == MemoPiece::Phone && first == items.size())
            first = i;
    }
    return first;
}

/// The memo as code page 932 bytes: the further numbers, the e-mails, the company, the
/// nickname and the other details, each on its line in the file's order, then the
/// note. Made line by line, so that a card of a million numbers is never one text of
/// its lines besides; what code page 932 cannot hold is left out and added to `dropped`.
std::string MemoOf(const Contact& contact, const ShownName& shown, std::size_t mainPhone, QString& dropped) {
    const ContactItems& items = contact.items;
    std::string memo;
    // Room for the longest it can be (two bytes a character; a line break, a label and its
    // colon in a few more), so that a long memo is not copied while it grows.
    std::size_t room =
        2 * static_cast<std::size_t>(contact.note.size() + contact.organization.size() + contact.nickname.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        room += 2 * static_cast<std::size_t>(items[i].text.size()) + 16;
    memo.reserve(room);
    QString line;
    const auto addLine = [&](QStringView label, QStringView text) {
        line.truncate(0);
        line += label;
        line += QStringLiteral(": ");
        line += text;
        if (!memo.empty())
            memo += "\r\n";
        AppendCp932(memo, WithCrLf(line), dropped);
    };
    // A detail on its line, but for the name shown.
    const auto addDetail = [&](QStringView label, QStringView text) {
        text = text.trimmed();
        if (text.isEmpty() || text == QStringView(shown.text).trimmed())
            return;
        QString oneLine = text.toString();
        NormalizeLineBreaks(oneLine);
        oneLine.replace(u'\n', u' '); // one line a detail
        addLine(label, oneLine);
    };
    bool organization = false, nickname = false;
    const auto addOrganization = [&] {
        if (!std::exchange(organization, true))
            addDetail(u"会社", contact.organization);
    };
    const auto addNickname = [&] {
        if (!std::exchange(nickname, true))
            addDetail(u"ニックネーム", contact.nickname);
    };
    for (std::size_t i = 0; i < items.size(); ++i) {
        const ContactItem item = items[i];
        switch (item.piece) {
        case MemoPiece::Phone:
            if (i != mainPhone && !item.text.trimmed().isEmpty())
                addLine(item.label.isEmpty() ? u"電話" : item.label, item.text.trimmed());
            break;
        case MemoPiece::Email:
            if (!item.text.trimmed().isEmpty())
                addLine(u"メール", item.text.trimmed());
            break;
        case MemoPiece::Detail:
            addDetail(item.label, item.text);
            break;
        case MemoPiece::Organization:
            addOrganization();
            break;
        case MemoPiece::Nickname:
            addNickname();
            break;
        }
    }
    // A company or nickname without its place follows the rest.
    addOrganization();
    addNickname();
    if (!contact.note.isEmpty()) {
        if (!memo.empty())
            memo += "\r\n";
        AppendCp932(memo, WithCrLf(contact.note), dropped);
    }
    return memo;
}

// The first few of `items` for a report line, and "など" when there are more; all of them,
// one a line, when `every`.
QString ListItems(const QStringList& items, bool every) {
    if (every) // one a line
        return QStringLiteral("\n  ") + items.join(QStringLiteral("\n  "));
    QString list = items.mid(0, kNamesShown).join(QStringLiteral("、"));
    if (items.size() > kNamesShown)
        list += QStringLiteral(" など");
    return list;
}

} // namespace

ContactFormat DetectContactFormat(std::string_view file) {
    const PreparedText text = PrepareText(file);
    std::string_view bytes = text.bytes;
    const std::size_t start = bytes.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return ContactFormat::Csv;
    constexpr std::string_view kBegin = "BEGIN:VCARD";
    const std::string_view head = bytes.substr(start, kBegin.size());
    const bool vcard = std::equal(head.begin(), head.end(), kBegin.begin(), kBegin.end(), [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == b;
    });
    return vcard ? ContactFormat::VCard : ContactFormat::Csv;
}

ImportedEntry EntryFromContact(const Contact& contact) {
    ImportedEntry entry;
    const ShownName shown = ShownNameOf(contact);
    entry.record.m_strRomaji = RomajiFor(contact, shown, entry);
    AppendCp932(entry.record.m_strKanji, shown.text, entry.dropped);
    const std::size_t mainPhone = MainPhone(contact.items);
    const QStringView number = mainPhone < contact.items.size() ? contact.items[mainPhone].text : QStringView();
    // The report names an entry without a name by its number.
    entry.name = shown.text.isEmpty() ? number.trimmed().toString() : shown.text;
    AppendCp932(entry.record.m_strPhone, number, entry.dropped);
    entry.record.m_strMemo = MemoOf(contact, shown, mainPhone, entry.dropped);
    return entry;
}

void ContactImport::AddFile(std::string_view file, const QString& fileName) {
    // Each contact becomes its entry as soon as it is read, and its texts go before the
    // entry is filed. A file that is no contacts is refused before its first one.
    const auto take = [this](Contact&& contact) {
        ImportedEntry entry = EntryFromContact(contact);
        contact = Contact();
        Add(std::move(entry));
    };
    const ContactFile read =
        DetectContactFormat(file) == ContactFormat::VCard ? ReadVCards(file, take) : ReadContactCsv(file, take);
    nSkipped += read.report.skipped;
    nNotText += read.report.notText;
    for (const QString& reason : read.report.reasons)
        skipReasons.push_back(fileName + QStringLiteral(": ") + reason);
}

void ContactImport::Add(ImportedEntry&& entry) {
    if (m_pKnown && !IsNew(entry.record, m_pKnown->GetCount() + entries.GetCount())) {
        ++nAlreadyThere;
        return;
    }
    // Of the rest of the entry only what the report says stays, beside its row.
    const PhoneRecord record = std::exchange(entry.record, {});
    const bool note = entry.bNoReading || !entry.unread.isEmpty() || !entry.dropped.isEmpty();
    if (!note)
        entry = {};
    entries.AddTail(record);
    if (note)
        noted.push_back({entries.GetCount() - 1, std::move(entry)});
}

void ContactImport::LeaveOutKnown(const RecordList& book) {
    m_pKnown = &book;
    m_slots.clear();
    m_nFilled = 0;
    for (std::size_t i = 0; i < book.GetCount(); ++i)
        IsNew(book[i], i);
    // The entries there already, again through the check.
    RecordList added = std::move(entries);
    std::vector<Noted> notes = std::move(noted);
    entries = RecordList();
    noted.clear();
    auto note = notes.begin();
    for (std::size_t i = 0; i < added.GetCount(); ++i) {
        ImportedEntry entry;
        if (note != notes.end() && note->index == i)
            entry = std::move((note++)->entry);
        entry.record = added[i].ToRecord();
        Add(std::move(entry));
    }
}

PhoneRecordView ContactImport::Known(std::size_t id) const {
    return id < m_pKnown->GetCount() ? (*m_pKnown)[id] : entries[id - m_pKnown->GetCount()];
}

bool ContactImport::IsNew(const PhoneRecordView& entry, std::size_t id) {
    const auto hash = [](const PhoneRecordView& e) {
        std::size_t h = 0;
        for (const std::string_view field : {e.m_strRomaji, e.m_strKanji, e.m_strPhone, e.m_strMemo})
            h = (h ^ std::hash<std::string_view>{}(field)) * 0x9E3779B97F4A7C15ull + field.size();
        return h;
    };
    const auto next = [this](std::size_t at) { return (at + 1) & (m_slots.size() - 1); };
    // At most half full; growing places every entry again.
    if (2 * (m_nFilled + 1) > m_slots.size()) {
        std::vector<std::uint32_t> old =
            std::exchange(m_slots, std::vector<std::uint32_t>(std::bit_ceil(std::max<std::size_t>(64, 4 * (m_nFilled + 1)))));
        for (const std::uint32_t slot : old) {
            if (slot == 0)
                continue;
            std::size_t at = hash(Known(slot - 1)) & (m_slots.size() - 1);
            while (m_slots[at] != 0)
                at = next(at);
            m_slots[at] = slot;
        }
    }
    std::size_t at = hash(entry) & (m_slots.size() - 1);
    for (; m_slots[at] != 0; at = next(at))
        if (Known(m_slots[at] - 1) == entry)
            return false;
    m_slots[at] = static_cast<std::uint32_t>(id + 1);
    ++m_nFilled;
    return true;
}

std::vector<PhoneRecord> ContactImport::Records() const {
    std::vector<PhoneRecord> records;
    records.reserve(entries.GetCount());
    for (const PhoneRecordView entry : entries)
        records.push_back(entry.ToRecord());
    return records;
}

QString ContactImport::Describe(bool everyName) const {
    QStringList noReading, partial, dropped;
    for (const auto& [i, entry] : noted) {
        const QString name = entry.name.isEmpty() ? QStringLiteral("%1 件目").arg(i + 1)
                                                  : QStringLiteral("「") + entry.name + QStringLiteral("」");
        if (entry.bNoReading)
            noReading.push_back(name);
        if (!entry.unread.isEmpty())
            partial.push_back(name + QStringLiteral("の「") + entry.unread.join(QStringLiteral("」「")) +
                              QStringLiteral("」"));
        if (!entry.dropped.isEmpty())
            dropped.push_back(name + QStringLiteral("の ") + NameUnconvertible(entry.dropped));
    }
    QStringList lines;
    if (!noReading.isEmpty())
        lines.push_back(QStringLiteral("読みがわからないため、ローマ字名が空の項目: ") + QString::number(noReading.size()) +
                        QStringLiteral(" 件 ") + ListItems(noReading, everyName));
    if (!partial.isEmpty())
        lines.push_back(QStringLiteral("読めない漢字を除いてローマ字名にした項目: ") + QString::number(partial.size()) +
                        QStringLiteral(" 件 ") + ListItems(partial, everyName));
    if (!dropped.isEmpty())
        lines.push_back(QStringLiteral("シフト JIS で表せない文字を除いた項目: ") + QString::number(dropped.size()) + QStringLiteral(" 件 ") +
                        ListItems(dropped, everyName));
    if (nAlreadyThere > 0)
        lines.push_back(QStringLiteral("電話帳にすでにあるため追加しなかった項目: ") + QString::number(nAlreadyThere) +
                        QStringLiteral(" 件"));
    if (nNotText > 0)
        lines.push_back(QStringLiteral("文字でないため除いたもの (写真・音声・鍵): ") + QString::number(nNotText) +
                        QStringLiteral(" か所"));
    if (nSkipped > 0) {
        lines.push_back(QStringLiteral("読み飛ばした部分: ") + QString::number(nSkipped) + QStringLiteral(" か所"));
        for (const QString& reason : skipReasons)
            lines.push_back(QStringLiteral("  ") + reason);
        if (skipReasons.size() < nSkipped)
            lines.push_back(QStringLiteral("  …"));
    }
    return lines.join(u'\n');
}

std::string ExportContacts(const RecordList& list, ExportFormat format, CsvDialect dialect) {
    std::string out;
    if (format == ExportFormat::VCard) {
        for (const PhoneRecordView entry : list)
            AppendVCard(out, entry);
        return out;
    }
    const CsvEncoding encoding = format == ExportFormat::CsvCp932 ? CsvEncoding::Cp932 : CsvEncoding::Utf8WithBom;
    if (dialect != CsvDialect::Marlo) {
        AppendDialectCsv(out, list, dialect, encoding);
        return out;
    }
    AppendCsvHeading(out, encoding);
    for (const PhoneRecordView entry : list)
        AppendCsvRow(out, entry, encoding);
    return out;
}

std::size_t CountUnconvertibleEntries(const RecordList& list) {
    return static_cast<std::size_t>(std::count_if(list.begin(), list.end(), [](const PhoneRecordView& entry) {
        return !IsValidCp932(entry.m_strRomaji) || !IsValidCp932(entry.m_strKanji) ||
               !IsValidCp932(entry.m_strPhone) || !IsValidCp932(entry.m_strMemo);
    }));
}

bool ReadContactFiles(CMarloDoc& doc, const std::vector<std::string>& paths, ContactImport& import) {
    if (doc.m_pData)
        import.LeaveOutKnown(doc.m_pData->m_list);
    for (const std::string& path : paths) {
        std::string bytes;
        const bool read = doc.ReadWholeFile(path, bytes, [&import, &path](const std::string& file) {
            import.AddFile(file, QString::fromUtf8(FileNameOf(path)));
        });
        if (!read)
            return false;
    }
    return true;
}

std::optional<ExportFormat> ExportFormatFor(const std::string& path, bool bCp932) {
    const auto endsWith = [&path](std::string_view extension) {
        return path.size() >= extension.size() &&
               std::equal(extension.begin(), extension.end(), path.end() - static_cast<std::ptrdiff_t>(extension.size()),
                          [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    };
    if (endsWith(".vcf"))
        return ExportFormat::VCard;
    if (endsWith(".csv"))
        return bCp932 ? ExportFormat::CsvCp932 : ExportFormat::CsvUtf8;
    return std::nullopt;
}

bool ExportBook(CMarloDoc& doc, const std::string& path, ExportFormat format, CsvDialect dialect) {
    const RecordList& list = doc.m_pData->m_list;
    if (format != ExportFormat::CsvCp932) {
        if (const std::size_t count = CountUnconvertibleEntries(list); count > 0) {
            const std::string message = std::to_string(count) +
                                        " 件の項目にシフト JIS として読めないバイトがあり、書き出すとその文字は"
                                        "「\uFFFD」になります。";
            if (!doc.Reporter() || !doc.Reporter()->ConfirmLoss(message))
                return false;
        }
    }
    return doc.WriteWholeFile(path, ExportContacts(list, format, dialect));
}
