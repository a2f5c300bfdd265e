#include "interop/VCard.h"

#include "interop/EntryParts.h"
#include "interop/Romaji.h"
#include "platform/Cp932.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <string_view>
#include <utility>

namespace {

/// The properties the memo's details go out as, each read back as the same line: an
/// address whole as its street.
struct DetailProperty {
    const char16_t* label;
    const char* name;
    const char* before;
    const char* after;
};
constexpr DetailProperty kDetailProperties[] = {
    {u"会社", "ORG", "", ""},    {u"ニックネーム", "NICKNAME", "", ""}, {u"役職", "TITLE", "", ""},
    {u"URL", "URL", "", ""},     {u"誕生日", "BDAY", "", ""},          {u"住所", "ADR", ";;", ";;;;"},
};

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

} // namespace

void AppendVCardText(std::string& out, std::string_view name, const QString& text) {
    AppendProperty(out, name, EscapedUtf8(text));
}

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
    // Phones file a Japanese name under the kana of its reading.
    const PhoneticParts phonetic = PhoneticOf(kanji, romaji);
    if (!phonetic.family.isEmpty())
        AppendProperty(out, "X-PHONETIC-LAST-NAME", EscapedUtf8(phonetic.family));
    if (!phonetic.given.isEmpty())
        AppendProperty(out, "X-PHONETIC-FIRST-NAME", EscapedUtf8(phonetic.given));
    // The romaji name itself, which an import takes back as it stands.
    if (!romaji.isEmpty())
        AppendProperty(out, "SORT-STRING", EscapedUtf8(romaji));
    // A further number of the memo would become the main one, an e-mail the name, where
    // the entry has none; the company or the nickname would become the name where it has
    // none, and a card keeps only one of each. A detail that repeats the name is no line
    // of the memo read back.
    bool organization = false, nickname = false;
    const auto takeDetail = [&](const QString& label, const QString& text) {
        if (text == kanji.trimmed())
            return false;
        if (label == u"会社" || label == u"ニックネーム") {
            bool& taken = label == u"会社" ? organization : nickname;
            return !kanji.isEmpty() && !std::exchange(taken, true);
        }
        return std::any_of(std::begin(kDetailProperties), std::end(kDetailProperties),
                           [&label](const DetailProperty& p) { return label == QStringView(p.label); });
    };
    const MemoParts parts = SplitMemo(memo, !phone.isEmpty(), !kanji.isEmpty(), {},
                                      std::numeric_limits<qsizetype>::max(), takeDetail);
    if (!phone.isEmpty())
        AppendProperty(out, "TEL", EscapedUtf8(phone));
    // The memo's lines in its order, so that they read back in it.
    std::size_t n[3] = {};
    for (const MemoPiece piece : parts.order) {
        if (piece == MemoPiece::Phone) {
            const auto& [type, number] = parts.phones[n[0]++];
            AppendProperty(out, type.isEmpty() ? std::string("TEL") : "TEL;TYPE=" + type.toStdString(),
                           EscapedUtf8(number));
        } else if (piece == MemoPiece::Email) {
            AppendProperty(out, "EMAIL;TYPE=INTERNET", EscapedUtf8(parts.emails[static_cast<qsizetype>(n[1]++)]));
        } else {
            const ContactDetail& detail = parts.details[n[2]++];
            for (const DetailProperty& p : kDetailProperties)
                if (detail.label == QStringView(p.label))
                    AppendProperty(out, p.name, p.before + EscapedUtf8(detail.text) + p.after);
        }
    }
    if (!parts.note.isEmpty())
        AppendProperty(out, "NOTE", EscapedUtf8(parts.note));
    out += "END:VCARD\r\n";
}
