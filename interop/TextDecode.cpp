#include "interop/TextDecode.h"

#include "platform/Cp932.h"

#include <QStringDecoder>
#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

std::string Utf16ToUtf8(std::string_view bytes, QStringDecoder::Encoding encoding) {
    QStringDecoder decode(encoding, QStringDecoder::Flag::Stateless);
    const QString text = decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return text.toStdString();
}

/// The UTF-16 of a file without a byte-order mark, known by its zero bytes: most text
/// in contact files is ASCII, whose high byte is zero, while a zero byte has no place in
/// the text of any other encoding. Looks at the first few kilobytes only.
std::optional<QStringDecoder::Encoding> Utf16WithoutMark(std::string_view file) {
    const std::string_view head = file.substr(0, 4096);
    std::size_t zeros[2] = {0, 0};
    for (std::size_t i = 0; i < head.size(); ++i)
        if (head[i] == '\0')
            ++zeros[i % 2];
    const std::size_t pairs = head.size() / 2;
    if (pairs == 0 || zeros[0] + zeros[1] < pairs / 4)
        return std::nullopt;
    if (zeros[1] >= pairs / 4 && zeros[0] <= zeros[1] / 16)
        return QStringDecoder::Utf16LE;
    if (zeros[0] >= pairs / 4 && zeros[1] <= zeros[0] / 16)
        return QStringDecoder::Utf16BE;
    return std::nullopt;
}

} // namespace

PreparedText PrepareText(std::string_view file) {
    PreparedText prepared;
    if (StartsWith(file, "\xEF\xBB\xBF")) {
        prepared.bytes = file.substr(3);
    } else if (StartsWith(file, "\xFF\xFE")) {
        prepared.converted = Utf16ToUtf8(file.substr(2), QStringDecoder::Utf16LE);
        prepared.bytes = prepared.converted;
    } else if (StartsWith(file, "\xFE\xFF")) {
        prepared.converted = Utf16ToUtf8(file.substr(2), QStringDecoder::Utf16BE);
        prepared.bytes = prepared.converted;
    } else if (const auto utf16 = Utf16WithoutMark(file)) {
        prepared.converted = Utf16ToUtf8(file, *utf16);
        prepared.bytes = prepared.converted;
    } else {
        prepared.bytes = file;
        prepared.encoding = GuessEncoding(file);
        return prepared;
    }
    prepared.declared = true;
    return prepared;
}

std::size_t LineEndLength(std::string_view text, std::size_t pos) {
    if (pos >= text.size())
        return 0;
    if (text[pos] == '\n')
        return 1;
    if (text[pos] != '\r')
        return 0;
    std::size_t end = pos;
    while (end < text.size() && text[end] == '\r')
        ++end;
    return end < text.size() && text[end] == '\n' ? end + 1 - pos : 1;
}

void NormalizeLineBreaks(QString& text) {
    const qsizetype first = text.indexOf(u'\r');
    if (first < 0)
        return;
    qsizetype to = first;
    for (qsizetype i = first; i < text.size();) {
        if (text[i] != u'\r') {
            text[to++] = text[i++];
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && text[end] == u'\r')
            ++end;
        if (end < text.size() && text[end] == u'\n') {
            i = end + 1; // CR LF, CR CR LF, …: one break
        } else {
            i += 1; // a lone CR
        }
        text[to++] = u'\n';
    }
    text.truncate(to);
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned min = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            min = 0x10000;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        unsigned code = c & (0xFFu >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            const auto cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
        i += length;
    }
    return true;
}

TextEncoding GuessEncoding(std::string_view bytes) {
    return IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Cp932;
}

std::optional<TextEncoding> EncodingFromCharset(std::string_view name) {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    struct Name {
        std::string_view name;
        TextEncoding::Kind kind;
    };
    // Phones that say Shift_JIS write code page 932, its extensions (①, ～) included.
    static constexpr std::array kNames{
        Name{"UTF-8", TextEncoding::Utf8},      Name{"UTF8", TextEncoding::Utf8},
        Name{"US-ASCII", TextEncoding::Utf8},   Name{"ASCII", TextEncoding::Utf8},
        Name{"SHIFT_JIS", TextEncoding::Cp932}, Name{"SHIFT-JIS", TextEncoding::Cp932},
        Name{"SJIS", TextEncoding::Cp932},      Name{"X-SJIS", TextEncoding::Cp932},
        Name{"CP932", TextEncoding::Cp932},     Name{"WINDOWS-31J", TextEncoding::Cp932},
        Name{"MS932", TextEncoding::Cp932},
    };
    for (const Name& known : kNames)
        if (known.name == upper)
            return TextEncoding(known.kind);
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(upper.c_str(), &status);
    if (U_FAILURE(status) || !converter)
        return std::nullopt;
    TextEncoding other(TextEncoding::Other);
    other.converter = ucnv_getName(converter, &status);
    ucnv_close(converter);
    if (U_FAILURE(status))
        return std::nullopt;
    return other;
}

QString DecodeText(std::string_view bytes, const TextEncoding& encoding) {
    const auto size = static_cast<qsizetype>(bytes.size());
    switch (encoding.kind) {
    case TextEncoding::Utf8:
        return QString::fromUtf8(bytes.data(), size);
    case TextEncoding::Cp932:
        return Cp932ToUnicode(bytes);
    case TextEncoding::Other:
        break;
    }
    if (bytes.empty())
        return {};
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(encoding.converter.c_str(), &status);
    if (U_FAILURE(status) || !converter)
        return QString(size, QChar::ReplacementCharacter);
    // Each byte makes at most two UTF-16 units (a supplementary character from four bytes makes two).
    QString text(size * 2, Qt::Uninitialized);
    const int32_t length = ucnv_toUChars(converter, reinterpret_cast<UChar*>(text.data()),
                                         static_cast<int32_t>(std::min<qsizetype>(text.size(), INT32_MAX)),
                                         bytes.data(), static_cast<int32_t>(std::min<qsizetype>(size, INT32_MAX)),
                                         &status);
    ucnv_close(converter);
    if (U_FAILURE(status))
        return QString(size, QChar::ReplacementCharacter);
    text.truncate(length);
    return text;
}
