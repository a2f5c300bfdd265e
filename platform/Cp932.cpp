#include "Cp932.h"

#include "Mbcs.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

namespace {

constexpr auto kCodec = "windows-31j";

// The system converter follows an IBM table that swaps three control codes
// (1A, 1C, 7F) against code page 932; these undo the swap.
char16_t FixDecodedControl(char16_t c) {
    switch (c) {
    case 0x1C:
        return 0x1A;
    case 0x7F:
        return 0x1C;
    case 0x1A:
        return 0x7F;
    default:
        return c;
    }
}

// Characters the converter refuses that have a plain counterpart in code page
// 932, as Windows maps them when text is pasted from elsewhere (wave dash, minus...),
// and the nearest forms of punctuation that address books write (en dash, no-break space).
struct BestFit {
    char16_t unicode;
    const char* bytes;
};
constexpr BestFit kBestFit[] = {
    {0x00A2, "\x81\x91"}, {0x00A3, "\x81\x92"}, {0x00A5, "\x5C"},     {0x00AC, "\x81\xCA"}, {0x2014, "\x81\x5C"},
    {0x2016, "\x81\x61"}, {0x203E, "\x7E"},     {0x2212, "\x81\x7C"}, {0x301C, "\x81\x60"}, {0x2013, "\x81\x5D"},
    {0x00A0, " "},
};

QString DecodeStrict(std::string_view bytes, bool& error) {
    QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
    QString out = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    error = decoder.hasError();
    if (!error)
        for (QChar& c : out)
            c = QChar(FixDecodedControl(c.unicode()));
    return out;
}

bool IsAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The converter's code of a character other than ASCII: one byte as 0x01XX, two as
// they are (their lead byte is 0x81 or more), kNoCode for none. Opening the system's
// converter looks its name up among hundreds, so each thread asks it once a character
// and keeps the answers (an import of 10,000 cards opened it 100,000 times and spent
// a fifth of its time there).
constexpr std::uint16_t kNotAsked = 0, kNoCode = 0xFFFF;

std::uint16_t CodeOf(char16_t u) {
    static thread_local std::unique_ptr<std::array<std::uint16_t, 0x10000>> codes;
    if (!codes)
        codes = std::make_unique<std::array<std::uint16_t, 0x10000>>(); // all kNotAsked
    std::uint16_t& code = (*codes)[u];
    if (code == kNotAsked) {
        QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
        const QByteArray b = encoder.encode(QStringView(&u, 1));
        const auto byte = [&b](qsizetype i) { return static_cast<std::uint16_t>(static_cast<unsigned char>(b[i])); };
        code = encoder.hasError() || b.isEmpty() || b.size() > 2 ? kNoCode
               : b.size() == 1                                   ? static_cast<std::uint16_t>(0x100 | byte(0))
                                                                 : static_cast<std::uint16_t>(byte(0) << 8 | byte(1));
    }
    return code;
}

// The length of the code point at `i`: two for a surrogate pair, else one (a
// surrogate without its pair stands alone).
qsizetype CodePointLength(QStringView text, qsizetype i) {
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
}

// Encodes one code point (one or two UTF-16 units); false when code page 932 has no such character.
bool EncodeOne(QStringView ch, std::string& out) {
    if (ch.size() != 1) // code page 932 has no character beyond the first plane
        return false;
    const char16_t u = ch[0].unicode();
    if (u < 0x80) {
        out.push_back(static_cast<char>(u));
        return true;
    }
    for (const BestFit& fit : kBestFit) {
        if (fit.unicode == u) {
            out.append(fit.bytes);
            return true;
        }
    }
    const std::uint16_t code = CodeOf(u);
    if (code == kNoCode)
        return false;
    if (code >> 8 != 1)
        out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
    return true;
}

} // namespace

QString Cp932ToUnicode(std::string_view bytes) {
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    bool error = false;
    QString whole = DecodeStrict(bytes, error);
    if (!error)
        return whole;
    // Decode character by character so that only the bad characters turn into U+FFFD.
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t len = MbcLen(bytes, pos);
        bool bad = false;
        const QString ch = DecodeStrict(bytes.substr(pos, len), bad);
        if (bad) {
            // Only the lead byte is lost: the byte after it may be a character of its own.
            out += QChar(0xFFFD);
            pos += 1;
        } else {
            out += ch;
            pos += len;
        }
    }
    return out;
}

bool IsValidCp932(std::string_view bytes) {
    bool error = false;
    DecodeStrict(bytes, error);
    return !error;
}

Cp932Encoded UnicodeToCp932(const QString& text) {
    Cp932Encoded result;
    AppendCp932(result.bytes, text, result.unconvertible);
    return result;
}

void AppendCp932(std::string& out, QStringView text, QString& unconvertible) {
    const std::size_t at = out.size();
    // Plain text in one go; the character-by-character path only where that fails.
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        out.resize(at + static_cast<std::size_t>(text.size()));
        std::transform(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(at),
                       [](QChar c) { return static_cast<char>(c.unicode()); });
        return;
    }
    out.reserve(at + static_cast<std::size_t>(text.size()) * 2);
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = CodePointLength(text, i);
        const QStringView ch = text.mid(i, len);
        if (!EncodeOne(ch, out) && !unconvertible.contains(ch))
            unconvertible += ch;
        i += len;
    }
}

QString NameUnconvertible(const QString& unconvertible) {
    // A message names a handful: a text pasted from elsewhere can hold tens of thousands.
    constexpr qsizetype kNamed = 5;
    QString out;
    qsizetype count = 0;
    for (qsizetype i = 0; i < unconvertible.size(); ++count) {
        const qsizetype len = CodePointLength(unconvertible, i);
        if (count < kNamed)
            out += QStringLiteral("「") + unconvertible.mid(i, len) + QStringLiteral("」");
        i += len;
    }
    if (count > kNamed)
        out += QStringLiteral("など %1 文字").arg(count);
    return out;
}
