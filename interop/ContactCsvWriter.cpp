#include "interop/ContactCsv.h"

#include "platform/Cp932.h"

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
