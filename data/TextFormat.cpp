#include "TextFormat.h"

#include "RecordList.h"
#include "platform/Cp932.h"
#include "platform/Document.h"
#include "platform/Mbcs.h"
#include "platform/StdioFile.h"

#include <array>
#include <cstdint>
#include <cstring>

void AppendTextLine(std::string& out, const PhoneRecordView& record) {
    const std::string_view memo = record.m_strMemo;
    // Room for the longest the line can be and a line end after it, then the bytes put
    // in place: the memo's line breaks only ever make it shorter. One resize and a few
    // copies a line instead of an append per field: the line writer of a million-entry
    // save. The line end a caller adds fits in, and a long line is not copied for it.
    const std::size_t at = out.size();
    out.resize(at + record.m_strRomaji.size() + record.m_strKanji.size() + record.m_strPhone.size() + 2 +
               (memo.empty() ? 0 : 1 + memo.size()) + 1);
    char* p = out.data() + at;
    const auto put = [&p](std::string_view text) {
        if (!text.empty()) // an empty view may have no bytes to copy from at all
            std::memcpy(p, text.data(), text.size());
        p += text.size();
    };
    put(record.m_strRomaji);
    *p++ = ',';
    put(record.m_strKanji);
    *p++ = ',';
    put(record.m_strPhone);
    if (!memo.empty()) {
        *p++ = ',';
        // Each memo line break becomes a field separator; a CR without its LF stays.
        std::size_t start = 0;
        for (std::size_t cr = memo.find("\r\n"); cr != std::string_view::npos; cr = memo.find("\r\n", start)) {
            put(memo.substr(start, cr - start));
            *p++ = ',';
            start = cr + 2;
        }
        put(memo.substr(start));
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

std::string FormatTextLine(const PhoneRecordView& record) {
    std::string line;
    AppendTextLine(line, record);
    return line;
}

void WriteTextLine(CStdioFile& file, const PhoneRecordView& record) {
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

namespace {

constexpr char kCtrlZ = 0x1A;

// Whether `text` holds a byte the text format treats apart: a comma, CR, LF or Ctrl-Z.
// Eight bytes at a time, each of the four tested for in all of them at once.
bool HoldsLineByte(std::string_view text) noexcept {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHighs = kOnes * 0x80;
    // The high bit of each byte of `word` that equals `c`.
    const auto holds = [](std::uint64_t word, unsigned char c) {
        const std::uint64_t v = word ^ (kOnes * c);
        return (v - kOnes) & ~v & kHighs;
    };
    const auto holdsAny = [&holds](const char* p) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        return (holds(word, ',') | holds(word, '\r') | holds(word, '\n') | holds(word, kCtrlZ)) != 0;
    };
    const std::size_t size = text.size();
    if (size < 8) {
        for (const char c : text)
            if (c == ',' || c == '\r' || c == '\n' || c == kCtrlZ)
                return true;
        return false;
    }
    // The last eight bytes are looked at as one more word, overlapping the one before.
    for (std::size_t i = 0; i + 8 <= size; i += 8)
        if (holdsAny(text.data() + i))
            return true;
    return size % 8 != 0 && holdsAny(text.data() + size - 8);
}

// Whether a memo without a Ctrl-Z comes back as it was from its line's fields: no comma,
// no LF but in its line breaks, and no line break at its start or end (reading drops an
// empty first or last memo line). A CR of its own stays a CR.
bool MemoLinesReadBack(std::string_view memo) noexcept {
    if (memo.starts_with("\r\n") || memo.ends_with("\r\n") || memo.find(',') != std::string_view::npos)
        return false;
    for (std::size_t lf = memo.find('\n'); lf != std::string_view::npos; lf = memo.find('\n', lf + 1))
        if (lf == 0 || memo[lf - 1] != '\r')
            return false;
    return true;
}

// True when reading the record's line gives the record back, for a record that holds a
// byte the format treats apart. `scratch` and `back` keep their storage from one record
// to the next.
template <class Record> bool ReadsBackAsItself(const Record& record, PhoneRecord& scratch, PhoneRecord& back) {
    const std::array<std::string_view, 4> fields = {record.m_strRomaji, record.m_strKanji, record.m_strPhone,
                                                    record.m_strMemo};
    // Without these bytes the line is the fields and three commas: it always reads back.
    bool plain = true;
    for (const std::string_view field : fields)
        plain = plain && field.find_first_of(",\r\n") == std::string_view::npos;
    if (plain)
        return true;
    scratch.m_strRomaji.assign(fields[0]);
    scratch.m_strKanji.assign(fields[1]);
    scratch.m_strPhone.assign(fields[2]);
    scratch.m_strMemo.assign(fields[3]);
    const std::string line = FormatTextLine(scratch);
    // Every LF ends a line in the file. Without one, the line reads back byte for byte:
    // a CR the writer puts before the line end's CR LF stays with the line.
    if (line.find('\n') != std::string::npos)
        return false;
    back.m_strRomaji.clear();
    back.m_strKanji.clear();
    back.m_strPhone.clear();
    ParseTextLine(back, line);
    return back == scratch;
}

// The field of `record` that holds a Ctrl-Z, in Japanese; null when none does.
template <class Record> const char* FieldWithCtrlZ(const Record& record) {
    const std::pair<std::string_view, const char*> fields[] = {{record.m_strRomaji, "ローマ字名"},
                                                               {record.m_strKanji, "氏名"},
                                                               {record.m_strPhone, "電話番号"},
                                                               {record.m_strMemo, "メモ"}};
    for (const auto& [text, name] : fields)
        if (text.find(kCtrlZ) != std::string_view::npos)
            return name;
    return nullptr;
}

std::string Unicode(std::string_view bytes) {
    return Cp932ToUnicode(bytes).toStdString();
}

} // namespace

TextExportLoss AssessTextExport(const RecordList& list) {
    TextExportLoss loss;
    const std::size_t count = list.GetCount();
    std::size_t end = count; // the entries before this one come back, changed or not
    PhoneRecord scratch, back;
    for (std::size_t i = 0; i < count; ++i) {
        // Most records hold none of the bytes a line treats apart: their lines read back.
        // The four texts lie back to back in the row: they are looked at in one go.
        if (!HoldsLineByte(list.Rows().TextBytes(i)))
            continue;
        const PhoneRecordView record = list[i];
        const bool inName = HoldsLineByte(record.m_strRomaji) || HoldsLineByte(record.m_strKanji) ||
                            HoldsLineByte(record.m_strPhone);
        if (!inName && !HoldsLineByte(record.m_strMemo))
            continue;
        if (const char* field = FieldWithCtrlZ(record)) {
            // Reading stops at that byte: this entry and every later one are lost.
            end = i;
            loss.nCutOff = count - i;
            loss.strCutOffName = std::string_view(record.m_strRomaji);
            loss.pszCutOffField = field;
            break;
        }
        if (!inName && MemoLinesReadBack(record.m_strMemo))
            continue;
        if (!ReadsBackAsItself(record, scratch, back)) {
            if (loss.nChanged++ == 0)
                loss.strFirstChanged = std::string_view(record.m_strRomaji);
        }
    }
    // Reading files the lines in a stable sort by romaji name: only the order of the
    // entries that come back counts, and a sorted list keeps it.
    if (!list.IsSorted()) {
        for (std::size_t i = 0; i + 1 < end && !loss.bReordered; ++i)
            loss.bReordered =
                MbsCmp(std::string_view(list[i].m_strRomaji), std::string_view(list[i + 1].m_strRomaji)) > 0;
    }
    return loss;
}

std::string TextExportLoss::Describe(const std::string& path) const {
    std::string text = QuotePath(path) + "をテキスト形式で保存すると、読み込んだときに元の電話帳に戻りません。";
    if (nCutOff > 0)
        text += " " + std::to_string(nCutOff) + " 件の項目が失われます (「" + Unicode(strCutOffName) + "」の" +
                pszCutOffField + "に文字 0x1A があり、読み込みはそこで終わります)。";
    if (nChanged > 0)
        text += " " + std::to_string(nChanged) + " 件の項目 (最初は「" + Unicode(strFirstChanged) +
                "」) はカンマや改行を含むため、別の項目として読み込まれます。";
    if (bReordered)
        text += " 項目の並び順が変わります (読み込むとローマ字名の順に並べ替えられます)。";
    return text;
}
