#include "Cp932.h"

#include "Mbcs.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr auto kCodec = "windows-31j";

QString DecodeStrict(std::string_view bytes, bool& error) {
    QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
    QString out = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    error = decoder.hasError();
    return out;
}

} // namespace

QString Cp932ToUnicode(std::string_view bytes) {
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
    QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError()) {
        result.bytes.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return result;
    }
    // Find the characters at fault, one code point at a time (surrogate pairs stay together).
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QString ch = text.mid(i, len);
        QStringEncoder one(kCodec, QStringConverter::Flag::Stateless);
        const QByteArray b = one.encode(ch);
        if (one.hasError()) {
            if (!result.unconvertible.contains(ch))
                result.unconvertible += ch;
        } else {
            result.bytes.append(b.constData(), static_cast<std::size_t>(b.size()));
        }
        i += len;
    }
    return result;
}
