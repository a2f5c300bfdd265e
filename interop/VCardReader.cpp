#include "interop/VCard.h"

#include "interop/TextDecode.h"
#include "platform/Cp932.h"

#include <QByteArray>
#include <algorithm>
#include <array>
#include <climits>
#include <optional>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::size_t kNoPos = std::string_view::npos;

// A hostile head such as "X;;;;…" a hundred megabytes long must not become a
// hundred million parameters: real cards carry a handful.
constexpr std::size_t kMaxParams = 64;
constexpr qsizetype kMaxTypes = 16;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Upper(std::string_view s) {
    std::string upper(s);
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
    return upper;
}

/// True when `s` equals `upper` (upper-case ASCII) in any case.
bool EqualsNoCase(std::string_view s, std::string_view upper) {
    if (s.size() != upper.size())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (AsciiUpper(s[i]) != upper[i])
            return false;
    return true;
}

bool IsBeginOrEndCard(std::string_view line, std::string_view upper) {
    return EqualsNoCase(TrimBlanks(line), upper);
}

/// The physical lines of a text, ended as LineEndLength knows.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    bool AtEnd() const { return m_pos >= m_text.size(); }
    /// The number of the line Next returned last, counted from 1.
    std::size_t Number() const { return m_number; }
    /// True when the next line continues the one before: it starts with a space or a tab.
    bool NextIsFolded() const { return !AtEnd() && IsBlank(m_text[m_pos]); }
    std::string_view Peek() { return m_text.substr(m_pos, EndOfLine() - m_pos); }
    std::string_view Next() {
        const std::size_t end = EndOfLine();
        const std::string_view line = m_text.substr(m_pos, end - m_pos);
        m_pos = end + LineEndLength(m_text, end);
        ++m_number;
        return line;
    }

private:
    // Peek and Next on the same line look for its end once.
    std::size_t EndOfLine() {
        if (m_endFor != m_pos) {
            std::size_t i = m_pos;
            while (i < m_text.size() && m_text[i] != '\r' && m_text[i] != '\n')
                ++i;
            m_end = i;
            m_endFor = m_pos;
        }
        return m_end;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::size_t m_number = 0;
    std::size_t m_end = 0;
    std::size_t m_endFor = kNoPos;
};

/// Finds the colon that ends a property's name and parameters, fed piece by piece
/// as folded lines arrive: a colon inside a quoted parameter value does not count,
/// but when the quotes never close the first colon of all is taken.
class ColonScan {
public:
    /// The colon's index in the whole (`base` is the piece's offset), or kNoPos.
    std::size_t Feed(std::string_view piece, std::size_t base) {
        for (std::size_t i = 0; i < piece.size(); ++i) {
            if (piece[i] == '"') {
                m_quoted = !m_quoted;
            } else if (piece[i] == ':') {
                if (!m_quoted)
                    return base + i;
                if (m_firstAny == kNoPos)
                    m_firstAny = base + i;
            }
        }
        return kNoPos;
    }
    std::size_t FirstAny() const { return m_firstAny; }

private:
    bool m_quoted = false;
    std::size_t m_firstAny = kNoPos;
};

/// Calls `take(part)` for each part of `s` between the separators `sep` outside
/// double quotes; stops early when `take` returns false.
template <typename Take> void SplitOutsideQuotes(std::string_view s, char sep, Take take) {
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i < s.size() && s[i] == '"') {
            quoted = !quoted;
        } else if (i == s.size() || (s[i] == sep && !quoted)) {
            if (!take(s.substr(start, i - start)))
                return;
            start = i + 1;
        }
    }
}

std::string_view Unquote(std::string_view s) {
    s = TrimBlanks(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        return s.substr(1, s.size() - 2);
    return s;
}

struct Param {
    std::string name;       ///< upper case; empty for a bare value of 2.1 (";CELL", ";QUOTED-PRINTABLE")
    std::string_view value; ///< as written, quotes and all
};

/// What comes before a property's colon: "item1.TEL;TYPE=CELL".
struct Head {
    std::string group; ///< upper case, empty when there is none
    std::string name;  ///< upper case
    std::vector<Param> params;

    std::optional<std::string_view> Find(std::string_view paramName) const {
        for (const Param& p : params)
            if (p.name == paramName)
                return p.value;
        return std::nullopt;
    }
};

bool IsEncodingWord(std::string_view upper) {
    return upper == "QUOTED-PRINTABLE" || upper == "BASE64" || upper == "8BIT" || upper == "7BIT";
}

Head ParseHead(std::string_view text) {
    Head head;
    bool first = true;
    SplitOutsideQuotes(text, ';', [&](std::string_view part) {
        if (first) {
            first = false;
            part = TrimBlanks(part);
            const std::size_t dot = part.rfind('.');
            if (dot != kNoPos) {
                head.group = Upper(part.substr(0, dot));
                part.remove_prefix(dot + 1);
            }
            head.name = Upper(part);
            return true;
        }
        const std::size_t eq = part.find('=');
        if (eq == kNoPos)
            head.params.push_back({std::string(), TrimBlanks(part)});
        else
            head.params.push_back({Upper(TrimBlanks(part.substr(0, eq))), TrimBlanks(part.substr(eq + 1))});
        return head.params.size() < kMaxParams;
    });
    return head;
}

/// The encoding of the property's value, upper case: ENCODING=…, or a bare 2.1 word; empty when none.
std::string ValueEncoding(const Head& head) {
    if (const auto value = head.Find("ENCODING"))
        return Upper(Unquote(*value));
    for (const Param& p : head.params) {
        if (p.name.empty()) {
            std::string upper = Upper(p.value);
            if (IsEncodingWord(upper))
                return upper;
        }
    }
    return {};
}

/// TYPE values (TYPE=CELL,PREF; TYPE=cell;TYPE=pref; 2.1's bare ;CELL;PREF) as written.
QStringList Types(const Head& head, const TextEncoding& encoding) {
    QStringList types;
    for (const Param& p : head.params) {
        if (types.size() >= kMaxTypes)
            break;
        if (p.name.empty()) {
            if (!IsEncodingWord(Upper(p.value)))
                types.push_back(DecodeText(p.value, encoding));
        } else if (p.name == "TYPE") {
            SplitOutsideQuotes(p.value, ',', [&](std::string_view one) {
                if (!Unquote(one).empty())
                    types.push_back(DecodeText(Unquote(one), encoding));
                return types.size() < kMaxTypes;
            });
        }
    }
    return types;
}

bool HasType(const QStringList& types, QStringView upper) {
    return std::any_of(types.begin(), types.end(),
                       [&](const QString& t) { return t.compare(upper, Qt::CaseInsensitive) == 0; });
}

/// 4.0's caret escapes in a parameter value: ^^, ^n and ^'.
std::string CaretDecoded(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '^' && i + 1 < s.size() && (s[i + 1] == '^' || s[i + 1] == 'n' || s[i + 1] == '\'')) {
            ++i;
            out += s[i] == 'n' ? '\n' : s[i] == '\'' ? '"' : '^';
        } else {
            out += s[i];
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

/// Quoted-printable decoded; an "=" that does not start a hex pair stays as it is, except
/// at the very end, where it is a soft line break with nothing after it.
std::string QuotedPrintableDecoded(std::string_view s) {
    if (!s.empty() && s.back() == '=')
        s.remove_suffix(1);
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '=' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

/// Appends the character after a backslash as the escape means it; false when
/// the pair is no escape and stays as written.
bool AppendEscaped(QString& out, QChar next) {
    if (next == u'n' || next == u'N') {
        out += u'\n';
        return true;
    }
    if (next == u'\\' || next == u',' || next == u';' || next == u':') {
        out += next;
        return true;
    }
    return false;
}

QString Unescaped(const QString& text) {
    qsizetype slash = text.indexOf(u'\\');
    if (slash < 0)
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    while (slash >= 0 && slash + 1 < text.size()) {
        out.append(QStringView(text).mid(from, slash - from));
        if (AppendEscaped(out, text[slash + 1])) {
            from = slash + 2;
        } else {
            out += u'\\';
            from = slash + 1;
        }
        slash = text.indexOf(u'\\', from);
    }
    out.append(QStringView(text).mid(from));
    return out;
}

/// The first N components of a structured value (N, ADR, X-IRMC-N: family;given;…),
/// unescaped; a component's several values (split at unescaped commas, which 2.1
/// does not have) joined by a space.
template <std::size_t N> std::array<QString, N> Components(QStringView text, bool commaLists) {
    std::array<QString, N> parts;
    std::size_t index = 0;
    for (qsizetype i = 0; i < text.size() && index < parts.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size() && AppendEscaped(parts[index], text[i + 1]))
            ++i;
        else if (c == u';')
            ++index;
        else if (c == u',' && commaLists)
            parts[index] += u' ';
        else
            parts[index] += c;
    }
    return parts;
}

/// An address (ADR: box;extended;street;locality;region;code;country) as Japanese
/// addresses are written: postal code, region, locality, street, the rest, country.
QString AddressText(QStringView text, bool commaLists) {
    const std::array<QString, 7> parts = Components<7>(text, commaLists);
    QStringList kept;
    for (const std::size_t at : {5, 4, 3, 2, 1, 0, 6})
        if (const QString part = parts[at].trimmed(); !part.isEmpty())
            kept.push_back(at == 5 && part[0].isDigit() ? QStringLiteral("〒") + part : part);
    return kept.join(u' ');
}

void AddDetail(Contact& contact, const QString& label, const QString& text) {
    if (const QStringView trimmed = QStringView(text).trimmed(); !trimmed.isEmpty())
        contact.items.Add(MemoPiece::Detail, trimmed, label);
}

/// Apple's own labels come wrapped as "_$!<Mobile>!$_"; the user's own are plain.
bool UnwrapAppleLabel(QString& label) {
    if (label.startsWith(QStringLiteral("_$!<")) && label.endsWith(QStringLiteral(">!$_")) && label.size() >= 8) {
        label = label.mid(4, label.size() - 8);
        return true;
    }
    return false;
}

/// A name or parameter from the file for a message: short, whatever the file holds.
QString ForMessage(std::string_view s, const TextEncoding& encoding) {
    constexpr std::size_t kLimit = 40;
    if (s.size() <= kLimit)
        return DecodeText(s, encoding);
    return DecodeText(s.substr(0, kLimit), encoding) + QStringLiteral("…");
}

// Who says what a reading is: an explicit phonetic name outranks the sort key of
// 4.0's SORT-AS, which address books often fill with the name itself.
enum ReadingRank { kNoReading = 0, kSortAs = 1, kPhonetic = 2, kPhoneticKana = 3 };

/// The encoding of the card that starts at `lines` (after its BEGIN line), for values
/// without a CHARSET: UTF-8 when all its bytes, quoted-printable values decoded, are
/// valid UTF-8, else code page 932. A file of cards from several phones may mix them,
/// and one stray byte does not turn the other cards into mojibake.
TextEncoding EncodingOfCard(LineReader lines) {
    std::string bytes;
    bool quotedPrintable = false;
    bool softBreak = false;
    while (!lines.AtEnd()) {
        std::string_view line = lines.Next();
        if (IsBeginOrEndCard(line, "END:VCARD"))
            break;
        if (!line.empty() && IsBlank(line.front()))
            line.remove_prefix(1); // a folded line goes on where the one before stopped
        else if (!softBreak)
            quotedPrintable = Upper(line.substr(0, line.find(':'))).find("QUOTED-PRINTABLE") != kNoPos;
        softBreak = quotedPrintable && !line.empty() && line.back() == '=';
        if (quotedPrintable)
            bytes += QuotedPrintableDecoded(line);
        else
            bytes += line;
    }
    return GuessEncoding(bytes);
}

/// A number whose kind waits for its group's label (X-ABLabel), which may come after it.
struct GroupedPhone {
    std::size_t index; ///< in the contact's items
    QStringList types;
    std::string group;
};

/// One card while it is being read.
struct Card {
    std::size_t beginLine = 0;
    TextEncoding encoding; ///< of its values without a CHARSET
    Contact contact;
    std::vector<GroupedPhone> grouped;
    std::vector<std::pair<std::size_t, long>> preferred; ///< a number's index and rank: 1 (most) to 100
    std::unordered_map<std::string, QString> labels; ///< X-ABLabel by group
    ReadingRank familyRank = kNoReading;
    ReadingRank givenRank = kNoReading;
    bool hasName = false; ///< an N without PHONETIC was read
    bool hasFn = false;
    bool v21 = false;
    bool v4 = false;
    int nested = 0; ///< depth inside a card within the card, whose lines are passed over
};

void SetReading(QString& field, ReadingRank& rank, const QString& value, ReadingRank newRank) {
    if (!value.isEmpty() && newRank > rank) {
        field = value;
        rank = newRank;
    }
}

void SetReadings(Card& card, const std::array<QString, 2>& parts, ReadingRank rank) {
    SetReading(card.contact.familyReading, card.familyRank, parts[0], rank);
    SetReading(card.contact.givenReading, card.givenRank, parts[1], rank);
}

/// PREF=n (4.0), TYPE=pref or a bare PREF: how preferred the number is, 0 for not at all.
long PrefRank(const Head& head, const QStringList& types) {
    if (const auto value = head.Find("PREF")) {
        long rank = 0;
        for (char c : Unquote(*value)) {
            if (c < '0' || c > '9')
                break;
            rank = std::min<long>(rank * 10 + (c - '0'), 100);
        }
        return std::max<long>(rank, 1);
    }
    return HasType(types, u"PREF") ? 1 : 0;
}

class VCardReader {
public:
    VCardReader(const PreparedText& text, ContactFile& out)
        : m_lines(text.bytes), m_fileEncoding(text.encoding), m_out(out) {
        // Cards differ only where the file is not UTF-8 throughout or hides bytes in
        // quoted-printable values; else each is the file's, and none is looked at twice.
        constexpr std::string_view kQp = "QUOTED-PRINTABLE";
        const auto qp = std::search(text.bytes.begin(), text.bytes.end(), kQp.begin(), kQp.end(),
                                    [](char a, char b) { return AsciiUpper(a) == b; });
        m_declared = text.declared || (text.encoding == TextEncoding::Utf8 && qp == text.bytes.end());
    }

    void Run() {
        while (!m_lines.AtEnd()) {
            if (m_card)
                CardLine();
            else
                OutsideLine();
        }
        if (m_card) {
            Skip(m_card->beginLine,
                 QStringLiteral("END:VCARD がないままファイルが終わりました (このカードは読めたところまで使います)"));
            FinishCard();
        }
    }

private:
    void Skip(std::size_t line, const QString& what) {
        m_out.report.Skip(QStringLiteral("%1 行目: ").arg(line) + what);
    }

    // Outside a card only BEGIN:VCARD means anything; other text is skipped, a
    // run of such lines counting once.
    void OutsideLine() {
        const std::string_view line = m_lines.Next();
        if (TrimBlanks(line).empty()) {
            m_inStrayText = false;
            return;
        }
        if (IsBeginOrEndCard(line, "BEGIN:VCARD")) {
            m_inStrayText = false;
            m_card.emplace();
            m_card->beginLine = m_lines.Number();
            m_card->encoding = m_declared ? m_fileEncoding : EncodingOfCard(m_lines);
            return;
        }
        if (!m_inStrayText)
            Skip(m_lines.Number(), QStringLiteral("BEGIN:VCARD の外にある行を読み飛ばしました"));
        m_inStrayText = true;
    }

    // One property: its first line, the lines folded onto it, and in quoted-printable
    // the lines its soft line breaks ("=" at the end) join to it. Only the values of
    // properties that are used are copied; a photo is passed over line by line.
    void CardLine() {
        const std::string_view first = m_lines.Next();
        const std::size_t number = m_lines.Number();
        if (TrimBlanks(first).empty() && !m_lines.NextIsFolded())
            return;
        ColonScan scan;
        std::size_t colon = scan.Feed(first, 0);
        std::string_view whole = first;
        if (colon == kNoPos && m_lines.NextIsFolded()) {
            m_headBuffer.assign(first);
            while (colon == kNoPos && m_lines.NextIsFolded()) {
                const std::string_view piece = m_lines.Next().substr(1);
                const std::size_t base = m_headBuffer.size();
                m_headBuffer += piece;
                colon = scan.Feed(piece, base);
            }
            whole = m_headBuffer;
        }
        if (colon == kNoPos)
            colon = scan.FirstAny();
        if (colon == kNoPos) {
            Skip(number, QStringLiteral("コロンのない行を読み飛ばしました"));
            return;
        }
        const Head head = ParseHead(whole.substr(0, colon));
        const std::string encoding = ValueEncoding(head);
        const bool quotedPrintable = encoding == "QUOTED-PRINTABLE";
        const bool used = IsUsed(head);

        std::string_view value = whole.substr(colon + 1);
        bool copied = false;
        char last = value.empty() ? '\0' : value.back();
        for (;;) {
            std::string_view piece;
            bool softBreak = false;
            if (quotedPrintable && last == '=' && !m_lines.AtEnd() && !IsBeginOrEndCard(m_lines.Peek(), "END:VCARD")) {
                piece = m_lines.Next();
                softBreak = true;
            } else if (m_lines.NextIsFolded()) {
                piece = m_lines.Next().substr(1);
            } else {
                break;
            }
            if (used) {
                if (!copied) {
                    m_valueBuffer.assign(value);
                    copied = true;
                }
                if (softBreak)
                    m_valueBuffer.pop_back();
                m_valueBuffer += piece;
            }
            if (!piece.empty())
                last = piece.back();
            else if (softBreak)
                last = '\0';
        }
        if (used)
            Apply(head, encoding, copied ? std::string_view(m_valueBuffer) : value, number);
        else if (IsNotText(head) && m_card->nested == 0)
            ++m_out.report.notText;
    }

    static bool IsUsed(const Head& head) {
        using namespace std::string_view_literals;
        // clang-format off
        static constexpr std::array kUsed{
            "BEGIN"sv, "END"sv, "VERSION"sv, "FN"sv, "N"sv, "TEL"sv, "EMAIL"sv, "NOTE"sv, "SORT-STRING"sv,
            "X-ABLABEL"sv, "X-PHONETIC-LAST-NAME"sv, "X-PHONETIC-FIRST-NAME"sv, "ORG"sv, "X-PHONETIC-ORG"sv,
            "NICKNAME"sv, "ADR"sv, "TITLE"sv, "ROLE"sv, "URL"sv, "BDAY"sv,
        };
        // clang-format on
        if (std::find(kUsed.begin(), kUsed.end(), head.name) != kUsed.end())
            return true;
        // SOUND is a recording, except 2.1 handsets' X-IRMC-N: the name's reading as text.
        if (head.name == "SOUND")
            return std::any_of(head.params.begin(), head.params.end(), [](const Param& p) {
                return (p.name.empty() || p.name == "TYPE") && Upper(Unquote(p.value)).find("X-IRMC-N") != kNoPos;
            });
        return false;
    }

    /// Properties that are no text, left out and counted.
    static bool IsNotText(const Head& head) {
        return head.name == "PHOTO" || head.name == "LOGO" || head.name == "SOUND" || head.name == "KEY";
    }

    /// The property's value as text, its encoding and charset undone; nullopt (and
    /// the property counted as skipped) when either is unknown.
    std::optional<QString> Decoded(const Head& head, const std::string& encoding, std::string_view raw,
                                   std::size_t line) {
        std::optional<TextEncoding> charset;
        if (const auto name = head.Find("CHARSET")) {
            const auto known = EncodingFromCharset(Unquote(*name));
            if (!known) {
                Skip(line, QStringLiteral("文字コード「%1」を知らないため %2 を読み飛ばしました")
                               .arg(ForMessage(Unquote(*name), m_card->encoding), ForMessage(head.name, m_card->encoding)));
                return std::nullopt;
            }
            charset = *known;
        }
        std::string undone; // the bytes of a quoted-printable or base64 value
        std::string_view bytes = raw;
        if (encoding == "QUOTED-PRINTABLE") {
            undone = QuotedPrintableDecoded(raw);
            bytes = undone;
        } else if (encoding == "BASE64" || encoding == "B") {
            const QByteArray decoded =
                QByteArray::fromBase64(QByteArray::fromRawData(raw.data(), static_cast<qsizetype>(raw.size())));
            undone.assign(decoded.constData(), static_cast<std::size_t>(decoded.size()));
            bytes = undone;
        } else if (!encoding.empty() && encoding != "8BIT" && encoding != "7BIT") {
            Skip(line, QStringLiteral("符号化方式「%1」を知らないため %2 を読み飛ばしました")
                           .arg(ForMessage(encoding, m_card->encoding), ForMessage(head.name, m_card->encoding)));
            return std::nullopt;
        }
        QString text = DecodeText(bytes, charset.value_or(m_card->encoding));
        NormalizeLineBreaks(text);
        return text;
    }

    void Apply(const Head& head, const std::string& encoding, std::string_view raw, std::size_t line) {
        Card& card = *m_card;
        if (head.name == "BEGIN" || head.name == "END") {
            if (!EqualsNoCase(TrimBlanks(raw), "VCARD"))
                return;
            if (head.name == "BEGIN") {
                if (card.nested++ == 0)
                    Skip(line, QStringLiteral("カードの中の BEGIN:VCARD から END:VCARD までを読み飛ばしました"));
            } else if (card.nested > 0) {
                --card.nested;
            } else {
                FinishCard();
            }
            return;
        }
        if (card.nested > 0)
            return;
        if (head.name == "VERSION") {
            const std::string_view version = TrimBlanks(raw);
            card.v21 = version == "2.1";
            card.v4 = version == "4.0";
            return;
        }
        const std::optional<QString> decoded = Decoded(head, encoding, raw, line);
        if (!decoded)
            return;
        const QString& text = *decoded;
        Contact& contact = card.contact;
        if (head.name == "FN") {
            if (!card.hasFn) {
                contact.formattedName = Unescaped(text);
                card.hasFn = !contact.formattedName.isEmpty();
            }
        } else if (head.name == "N") {
            ApplyName(card, head, text);
        } else if (head.name == "X-PHONETIC-LAST-NAME") {
            SetReading(contact.familyReading, card.familyRank, Unescaped(text), kPhonetic);
        } else if (head.name == "X-PHONETIC-FIRST-NAME") {
            SetReading(contact.givenReading, card.givenRank, Unescaped(text), kPhonetic);
        } else if (head.name == "ORG") {
            if (contact.organization.isEmpty()) {
                contact.organization = Components<2>(text, !card.v21)[0].trimmed();
                contact.items.Add(MemoPiece::Organization);
            }
        } else if (head.name == "X-PHONETIC-ORG") {
            if (contact.organizationReading.isEmpty())
                contact.organizationReading = Unescaped(text).trimmed();
        } else if (head.name == "NICKNAME") {
            if (contact.nickname.isEmpty()) {
                contact.nickname = Unescaped(text).trimmed();
                contact.items.Add(MemoPiece::Nickname);
            }
        } else if (head.name == "ADR") {
            AddDetail(contact, QStringLiteral("住所"), AddressText(text, !card.v21));
        } else if (head.name == "TITLE" || head.name == "ROLE") {
            AddDetail(contact, QStringLiteral("役職"), Unescaped(text));
        } else if (head.name == "URL") {
            AddDetail(contact, QStringLiteral("URL"), Unescaped(text));
        } else if (head.name == "BDAY") {
            AddDetail(contact, QStringLiteral("誕生日"), Unescaped(text));
        } else if (head.name == "SORT-STRING") {
            if (contact.reading.isEmpty())
                contact.reading = Unescaped(text);
        } else if (head.name == "SOUND") {
            SetReadings(card, Components<2>(text, !card.v21), kPhonetic);
        } else if (head.name == "TEL") {
            ApplyPhone(card, head, text);
        } else if (head.name == "EMAIL") {
            if (const QString address = Unescaped(text).trimmed(); !address.isEmpty())
                contact.items.Add(MemoPiece::Email, address);
        } else if (head.name == "NOTE") {
            if (!contact.note.isEmpty())
                contact.note += u'\n';
            contact.note += Unescaped(text);
        } else if (head.name == "X-ABLABEL") {
            if (!head.group.empty())
                card.labels.try_emplace(head.group, Unescaped(text).trimmed());
        }
    }

    void ApplyName(Card& card, const Head& head, const QString& text) {
        const std::array<QString, 2> parts = Components<2>(text, !card.v21);
        // RFC 9554: an N with PHONETIC is the reading of the plain N of the same ALTID.
        if (head.Find("PHONETIC")) {
            const auto script = head.Find("SCRIPT");
            const std::string upper = script ? Upper(Unquote(*script)) : std::string();
            const bool kana = upper == "KANA" || upper == "HIRA" || upper == "HRKT";
            SetReadings(card, parts, kana ? kPhoneticKana : kPhonetic);
            return;
        }
        if (card.hasName)
            return;
        card.hasName = true;
        card.contact.familyName = parts[0];
        card.contact.givenName = parts[1];
        if (const auto sortAs = head.Find("SORT-AS")) {
            const QString value = DecodeText(CaretDecoded(Unquote(*sortAs)), m_card->encoding);
            const QStringList keys = value.split(u',');
            SetReadings(card, {keys.value(0).trimmed(), keys.value(1).trimmed()}, kSortAs);
        }
    }

    // A number's kind is known at once unless a group label may tell it; only the
    // numbers with a group or a preference are remembered besides (a card of a million
    // numbers holds nothing else for each).
    void ApplyPhone(Card& card, const Head& head, const QString& text) {
        QString number = Unescaped(text);
        const auto valueType = head.Find("VALUE");
        const bool uri = valueType && EqualsNoCase(Unquote(*valueType), "URI");
        if ((uri || card.v4) && number.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive))
            number.remove(0, 4);
        if (number.isEmpty())
            return;
        QStringList types = Types(head, m_card->encoding);
        const std::size_t index = card.contact.items.size();
        if (const long rank = PrefRank(head, types); rank > 0)
            card.preferred.emplace_back(index, rank);
        QString kind;
        if (head.group.empty())
            kind = PhoneKindFromLabels(types);
        else
            card.grouped.push_back({index, std::move(types), head.group});
        card.contact.items.Add(MemoPiece::Phone, number, kind);
    }

    void FinishCard() {
        Card& card = *m_card;
        Contact& contact = card.contact;
        contact.partsName = contact.familyName.trimmed();
        if (!contact.partsName.isEmpty() && !contact.givenName.trimmed().isEmpty())
            contact.partsName += u' ';
        contact.partsName += contact.givenName.trimmed();
        long bestPref = LONG_MAX;
        for (const auto& [index, rank] : card.preferred)
            bestPref = std::min(bestPref, rank);
        for (const auto& [index, rank] : card.preferred)
            contact.items.SetPreferred(index, rank == bestPref);
        for (GroupedPhone& grouped : card.grouped) {
            QStringList& labels = grouped.types;
            QString custom;
            const auto found = card.labels.find(grouped.group);
            if (found != card.labels.end()) {
                QString label = found->second;
                if (!UnwrapAppleLabel(label))
                    custom = label;
                labels.push_back(label);
            }
            const QString kind = PhoneKindFromLabels(labels);
            // A label of the user's own ("実家") says what the number is even when it is no known word.
            contact.items.SetLabel(grouped.index, kind.isEmpty() ? custom : kind);
        }
        if (HoldsNothing(contact))
            Skip(card.beginLine, QStringLiteral("何も入っていないカードを読み飛ばしました"));
        else
            m_out.Add(std::move(contact));
        m_card.reset();
    }

    LineReader m_lines;
    TextEncoding m_fileEncoding;
    bool m_declared = false; ///< the file's encoding is every card's
    ContactFile& m_out;
    std::optional<Card> m_card;
    bool m_inStrayText = false;
    std::string m_headBuffer;  ///< a name and parameters folded over several lines
    std::string m_valueBuffer; ///< a value folded over several lines
};

} // namespace

ContactFile ReadVCards(std::string_view file, std::function<void(Contact&&)> take) {
    ContactFile result;
    result.take = std::move(take);
    const PreparedText text = PrepareText(file);
    VCardReader(text, result).Run();
    return result;
}
