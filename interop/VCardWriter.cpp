#include "interop/VCard.h"

#include "interop/Romaji.h"
#include "platform/Cp932.h"

#include <algorithm>
#include <string_view>

namespace {


/// Text as a vCard 3.0 text value in UTF-8: backslash, comma, semicolon and line breaks escaped.
std::string EscapedUtf8(QStringView text) {
    QString escaped;
    escaped.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' || c == u',' || c == u';') {
            escaped += u'\\';
            escaped += c;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            escaped += QStringLiteral("\\n");
        } else {
            escaped += c;
        }
    }
    return escaped.toStdString();
}

/// One content line, folded so that no line passes 75 octets: the continuation
/// lines start with a space, and no cut falls inside a UTF-8 sequence.
void AppendFolded(std::string& out, std::string_view line) {
    constexpr std::size_t kOctets = 75;
    std::size_t room = kOctets;
    while (line.size() > room) {
        std::size_t cut = room;
        while (cut > 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line.substr(0, cut));
        out += "\r\n ";
        line.remove_prefix(cut);
        room = kOctets - 1;
    }
    out.append(line);
    out += "\r\n";
}

void AppendProperty(std::string& out, std::string_view name, const std::string& value) {
    std::string line(name);
    line += ':';
    line += value;
    AppendFolded(out, line);
}

bool IsLatinName(const QString& name) {
    bool letters = false;
    for (const QChar c : name) {
        if (!c.isLetter())
            continue;
        if (c.script() != QChar::Script_Latin)
            return false;
        letters = true;
    }
    return letters;
}

bool IsOneOf(const QString& word, std::initializer_list<std::u16string_view> words) {
    return std::any_of(words.begin(), words.end(),
                       [&word](std::u16string_view w) { return word.compare(QStringView(w), Qt::CaseInsensitive) == 0; });
}

/// N's fields: family;given;additional;prefixes;suffixes.
struct NameParts {
    QString family, given, prefix, suffix;
};

/// A name in N's fields. A Japanese name is family name first; one in Latin letters is
/// written the Western way, given names first, between any titles and suffixes.
NameParts SplitName(const QString& name) {
    QString spaced = name;
    spaced.replace(QChar(0x3000), u' ');
    QStringList words = spaced.split(u' ', Qt::SkipEmptyParts);
    NameParts parts;
    if (words.isEmpty())
        return parts;
    if (!IsLatinName(name)) {
        parts.family = words.takeFirst();
        parts.given = words.join(u' ');
        return parts;
    }
    QStringList prefixes, suffixes;
    while (words.size() > 1 && IsOneOf(words.front(), {u"Dr", u"Dr.", u"Mr", u"Mr.", u"Mrs", u"Mrs.", u"Ms", u"Ms.",
                                                       u"Miss", u"Prof", u"Prof."}))
        prefixes.push_back(words.takeFirst());
    while (words.size() > 1 && IsOneOf(words.back(), {u"Jr", u"Jr.", u"Sr", u"Sr.", u"II", u"III", u"IV", u"PhD",
                                                      u"Ph.D.", u"MD", u"M.D.", u"Esq", u"Esq."}))
        suffixes.push_front(words.takeLast());
    parts.family = words.takeLast();
    parts.given = words.join(u' ');
    parts.prefix = prefixes.join(u' ');
    parts.suffix = suffixes.join(u' ');
    return parts;
}

/// An entry's memo as the import made it: its first lines the further numbers
/// ("携帯: 090-…") and then the e-mails ("メール: …"), which go out as TEL and EMAIL, and
/// the rest, which goes out as the note. Only lines that read back the same are taken.
struct MemoParts {
    std::vector<std::pair<QString, QString>> phones; ///< TYPE (empty for none) and number
    QStringList emails;
    QString note;
};

MemoParts SplitMemo(const QString& memo, bool takePhones, bool takeEmails) {
    MemoParts parts;
    const QStringList lines = memo.split(QStringLiteral("\r\n"));
    const auto valueAfter = [](const QString& line, QStringView label) -> QString {
        if (!line.startsWith(label) || !QStringView(line).mid(label.size()).startsWith(u": "))
            return {};
        const QString value = line.mid(label.size() + 2);
        return value == value.trimmed() ? value : QString();
    };
    qsizetype at = 0;
    for (; takePhones && at < lines.size(); ++at) {
        const qsizetype colon = lines[at].indexOf(QStringLiteral(": "));
        const QString kind = lines[at].left(colon);
        const QString type = PhoneTypeOfKind(kind);
        if (colon <= 0 || (type.isEmpty() && kind != u"電話"))
            break;
        const QString number = valueAfter(lines[at], kind);
        if (number.isEmpty())
            break;
        parts.phones.emplace_back(type, number);
    }
    for (; takeEmails && at < lines.size(); ++at) {
        const QString email = valueAfter(lines[at], u"メール");
        if (email.isEmpty())
            break;
        parts.emails.push_back(email);
    }
    // A line break after the last line taken would be lost with an empty note: that line stays in it.
    if (at == lines.size() - 1 && lines[at].isEmpty() && at > 0) {
        --at;
        if (!parts.emails.isEmpty())
            parts.emails.removeLast();
        else
            parts.phones.pop_back();
    }
    if (at < lines.size())
        parts.note = lines.mid(at).join(QStringLiteral("\r\n"));
    return parts;
}

} // namespace

void AppendVCard(std::string& out, const PhoneRecordView& entry) {
    const QString kanji = Cp932ToUnicode(entry.m_strKanji);
    const QString romaji = Cp932ToUnicode(entry.m_strRomaji);
    const QString phone = Cp932ToUnicode(entry.m_strPhone);
    const QString memo = Cp932ToUnicode(entry.m_strMemo);

    out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    AppendProperty(out, "FN", EscapedUtf8(kanji));
    const NameParts name = SplitName(kanji);
    AppendProperty(out, "N",
                   EscapedUtf8(name.family) + ';' + EscapedUtf8(name.given) + ';' + ';' + EscapedUtf8(name.prefix) +
                       ';' + EscapedUtf8(name.suffix));
    // Phones file a Japanese name under the kana of its reading; a Latin one under its letters.
    if (!IsLatinName(kanji)) {
        const qsizetype space = romaji.indexOf(u' ');
        const QString family = KatakanaFromRomaji(space < 0 ? romaji : romaji.left(space));
        const QString given = space < 0 ? QString() : KatakanaFromRomaji(romaji.mid(space + 1));
        if (!family.isEmpty())
            AppendProperty(out, "X-PHONETIC-LAST-NAME", EscapedUtf8(family));
        if (!given.isEmpty())
            AppendProperty(out, "X-PHONETIC-FIRST-NAME", EscapedUtf8(given));
    }
    // The romaji name itself, which an import takes back as it stands.
    if (!romaji.isEmpty())
        AppendProperty(out, "SORT-STRING", EscapedUtf8(romaji));
    // A further number of the memo would become the main one, an e-mail the name, where
    // the entry has none.
    const MemoParts parts = SplitMemo(memo, !phone.isEmpty(), !kanji.isEmpty());
    if (!phone.isEmpty())
        AppendProperty(out, "TEL", EscapedUtf8(phone));
    for (const auto& [type, number] : parts.phones)
        AppendProperty(out, type.isEmpty() ? std::string("TEL") : "TEL;TYPE=" + type.toStdString(), EscapedUtf8(number));
    for (const QString& email : parts.emails)
        AppendProperty(out, "EMAIL;TYPE=INTERNET", EscapedUtf8(email));
    if (!parts.note.isEmpty())
        AppendProperty(out, "NOTE", EscapedUtf8(parts.note));
    out += "END:VCARD\r\n";
}
