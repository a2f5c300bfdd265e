#include "TextFormat.h"

#include "platform/StdioFile.h"

std::string FormatTextLine(const PhoneRecord& record) {
    std::string line;
    line.reserve(record.m_strRomaji.size() + record.m_strKanji.size() + record.m_strPhone.size() +
                 record.m_strMemo.size() + 4);
    line += record.m_strRomaji;
    line += ',';
    line += record.m_strKanji;
    line += ',';
    line += record.m_strPhone;
    const std::string& memo = record.m_strMemo;
    if (!memo.empty()) {
        line += ',';
        for (std::size_t i = 0; i < memo.size(); ++i) {
            // Each memo line break becomes a field separator. A CR without its LF is kept as it is.
            if (memo[i] == '\r' && i + 1 < memo.size() && memo[i + 1] == '\n') {
                line += ',';
                ++i;
            } else {
                line += memo[i];
            }
        }
    }
    return line;
}

void WriteTextLine(CStdioFile& file, const PhoneRecord& record) {
    std::string line = FormatTextLine(record);
    line += '\n';
    file.WriteString(line);
}

void ParseTextLine(PhoneRecord& record, std::string_view line) {
    record.m_strMemo.clear();
    int separators = 0;
    auto addToMemo = [&record](std::string_view text) {
        if (record.m_strMemo.empty()) {
            record.m_strMemo.assign(text);
        } else {
            record.m_strMemo += "\r\n";
            record.m_strMemo += text;
        }
    };
    // A comma byte always ends a field: it is never a lead byte, and in code page 932
    // no trail byte is a comma either, so the line can be split byte by byte.
    std::size_t fieldStart = 0;
    for (std::size_t pos = line.find(','); pos != std::string_view::npos; pos = line.find(',', pos + 1)) {
        const std::string_view field = line.substr(fieldStart, pos - fieldStart);
        switch (++separators) {
        case 1:
            record.m_strRomaji.assign(field);
            break;
        case 2:
            record.m_strKanji.assign(field);
            break;
        case 3:
            record.m_strPhone.assign(field);
            break;
        default:
            addToMemo(field);
            break;
        }
        fieldStart = pos + 1;
    }
    const std::string_view rest = line.substr(fieldStart);
    if (rest.empty())
        return;
    if (separators < 3)
        record.m_strPhone.assign(rest);
    else
        addToMemo(rest);
}
