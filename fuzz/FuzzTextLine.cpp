// The bytes as a text exchange file. Lines must come out as text mode gives
// them however the file is split into reads; every line parses; a record that
// the format can carry survives a write and a read; names compare as _mbscmp
// does; and opening the file as a phone book gives the order that filing the
// lines one by one gives, and saving it writes those lines.

#include "FuzzSupport.h"

#include "data/MarloDoc.h"
#include "data/TextFormat.h"
#include "platform/Mbcs.h"
#include "platform/StdioFile.h"

#include <memory>
#include <utility>

namespace {

// Filing one by one costs n squared; longer inputs skip the comparison.
constexpr std::size_t kMaxLinesToFile = 2000;

std::vector<std::string> ReadLines(QBuffer& device) {
    Check(device.open(QIODevice::ReadOnly | QIODevice::Unbuffered), "buffer opens");
    CStdioFile file(device);
    std::vector<std::string> lines;
    std::string line;
    while (file.ReadString(line))
        lines.push_back(line);
    Check(!file.ReadString(line) && line.empty(), "the end of the file stays the end");
    return lines;
}

// Bytes no field can carry through a text file: the separators, the line end,
// NUL, and Ctrl-Z, which ends a file read in text mode.
std::string Carriable(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != ',' && c != '\r' && c != '\n' && c != '\0' && c != '\x1A')
            out += c;
    return out;
}

// `r` reduced to what the format carries: memo lines cleaned, the empty ones dropped.
PhoneRecord CarriableRecord(const PhoneRecord& r) {
    PhoneRecord out{Carriable(r.m_strRomaji), Carriable(r.m_strKanji), Carriable(r.m_strPhone), {}};
    std::string_view memo = r.m_strMemo;
    while (!memo.empty()) {
        const std::size_t end = memo.find("\r\n");
        const std::string line = Carriable(memo.substr(0, end));
        if (!line.empty()) {
            if (!out.m_strMemo.empty())
                out.m_strMemo += "\r\n";
            out.m_strMemo += line;
        }
        memo = end == std::string_view::npos ? std::string_view() : memo.substr(end + 2);
    }
    return out;
}

void CheckRoundTrip(const PhoneRecord& record) {
    QByteArray bytes;
    {
        QBuffer out(&bytes);
        Check(out.open(QIODevice::WriteOnly), "output buffer opens");
        CStdioFile file(out);
        WriteTextLine(file, record);
        file.Flush();
    }
    Check(bytes.toStdString() == FormatTextLine(record) + "\r\n", "a written line ends in CR LF");
    QBuffer in(&bytes);
    const std::vector<std::string> lines = ReadLines(in);
    Check(lines.size() == 1, "one record writes one line");
    PhoneRecord back;
    ParseTextLine(back, lines.front());
    Check(back == record, "a carriable record reads back equal");
}

void CheckOpenOrder(std::string_view bytes, const std::vector<PhoneRecord>& parsed) {
    CMrlData filed;
    for (const PhoneRecord& r : parsed)
        filed.AddSorted(r);

    SilentReporter reporter;
    reporter.confirmLoss = true; // the lines read may not read back the same: saved all the same
    CMarloDoc doc;
    doc.SetReporter(&reporter);
    if (!doc.OnOpenDocument(WriteTempFile("book.txt", bytes))) {
        std::fprintf(stderr, "open failed: %s\n", reporter.lastError.c_str());
        Fail("a text file always opens");
    }
    Check(doc.m_pData != nullptr, "an opened document holds a phone book");
    const RecordList& list = doc.m_pData->m_list;
    Check(list.GetCount() == filed.m_list.GetCount(), "one record per line");
    for (std::size_t i = 0; i < list.GetCount(); ++i)
        Check(list[i] == filed.m_list[i], "open order is the order of filing one by one");
    Check(list.IsSorted(), "an opened text file is sorted");

    std::string expected;
    for (const PhoneRecordView record : list)
        expected += FormatTextLine(record.ToRecord()) + "\r\n";
    const std::string saved = WriteTempFile("saved.txt", {});
    Check(doc.OnSaveDocument(saved), "a text file saves");
    Check(ReadWholeFile(saved).toStdString() == expected, "a text save writes one line per record");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    QByteArray input = InputBytes(data, size);

    QBuffer whole(&input);
    const std::vector<std::string> lines = ReadLines(whole);
    Check(lines == TextModeLines(bytes), "lines as text mode gives them");
    TrickleBuffer trickle(&input, ChunkFor(data, size));
    Check(ReadLines(trickle) == lines, "same lines when read in small pieces");

    std::vector<PhoneRecord> parsed;
    for (const std::string& line : lines) {
        PhoneRecord record;
        ParseTextLine(record, line);
        Check(record.m_strMemo.substr(0, 2) != "\r\n", "a memo never starts with a line break");
        CheckRoundTrip(CarriableRecord(record));
        parsed.push_back(std::move(record));
    }
    // The ordering behind every sort, against its plain definition.
    for (std::size_t i = 1; i < parsed.size(); ++i) {
        const PhoneRecord& a = parsed[i - 1];
        const PhoneRecord& b = parsed[i];
        for (const auto& [x, y] : {std::pair{&a.m_strRomaji, &b.m_strRomaji}, std::pair{&a.m_strKanji, &b.m_strKanji},
                                   std::pair{&a.m_strRomaji, &b.m_strMemo}}) {
            Check(Sign(MbsCmp(*x, *y)) == ModelMbsCmp(*x, *y), "MbsCmp orders as _mbscmp does");
            Check(Sign(MbsCmp(*y, *x)) == -ModelMbsCmp(*x, *y), "MbsCmp is antisymmetric");
        }
    }
    if (parsed.size() <= kMaxLinesToFile)
        CheckOpenOrder(bytes, parsed);
    return 0;
}
