#include "interop/VCard.h"

#include "platform/Cp932.h"

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

qsizetype FirstBlank(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == u' ' || text[i] == QChar(0x3000))
            return i;
    return -1;
}

} // namespace

void AppendVCard(std::string& out, const PhoneRecordView& entry) {
    const QString kanji = Cp932ToUnicode(entry.m_strKanji);
    const QString romaji = Cp932ToUnicode(entry.m_strRomaji);
    const QString phone = Cp932ToUnicode(entry.m_strPhone);
    const QString memo = Cp932ToUnicode(entry.m_strMemo);

    out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    AppendProperty(out, "FN", EscapedUtf8(kanji));
    // The name as family and given, split where Japanese names are: at the first blank.
    const qsizetype blank = FirstBlank(kanji);
    const QStringView family = blank < 0 ? QStringView(kanji) : QStringView(kanji).left(blank);
    const QStringView given = blank < 0 ? QStringView() : QStringView(kanji).mid(blank + 1);
    AppendProperty(out, "N", EscapedUtf8(family) + ';' + EscapedUtf8(given) + ";;;");
    const qsizetype space = romaji.indexOf(u' ');
    const QStringView romajiFamily = space < 0 ? QStringView(romaji) : QStringView(romaji).left(space);
    const QStringView romajiGiven = space < 0 ? QStringView() : QStringView(romaji).mid(space + 1);
    if (!romajiFamily.isEmpty())
        AppendProperty(out, "X-PHONETIC-LAST-NAME", EscapedUtf8(romajiFamily));
    if (!romajiGiven.isEmpty())
        AppendProperty(out, "X-PHONETIC-FIRST-NAME", EscapedUtf8(romajiGiven));
    if (!romaji.isEmpty())
        AppendProperty(out, "SORT-STRING", EscapedUtf8(romaji));
    if (!phone.isEmpty())
        AppendProperty(out, "TEL", EscapedUtf8(phone));
    if (!memo.isEmpty())
        AppendProperty(out, "NOTE", EscapedUtf8(memo));
    out += "END:VCARD\r\n";
}
