#include "data/TextFormat.h"
#include "data/RecordList.h"
#include "platform/Cp932.h"
#include "platform/Mbcs.h"
#include "platform/StdioFile.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

PhoneRecord Parse(std::string_view line) {
    PhoneRecord r;
    ParseTextLine(r, line);
    return r;
}

PhoneRecord R(std::string romaji, std::string kanji, std::string phone, std::string memo) {
    return PhoneRecord{std::move(romaji), std::move(kanji), std::move(phone), std::move(memo)};
}

RecordList ListOf(const std::vector<PhoneRecord>& records) {
    RecordList list;
    for (const PhoneRecord& r : records)
        list.AddTail(r);
    return list;
}

// The phone book a text open makes of `records` saved as text: the file's lines read
// as the reader reads them, in a stable sort by romaji name.
std::vector<PhoneRecord> ThroughTextFile(const std::vector<PhoneRecord>& records) {
    QByteArray bytes;
    {
        QBuffer out(&bytes);
        out.open(QIODevice::WriteOnly);
        CStdioFile text(out);
        for (const PhoneRecord& r : records)
            WriteTextLine(text, r);
        text.Flush();
    }
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    CStdioFile text(in);
    std::vector<PhoneRecord> back;
    std::string line;
    while (text.ReadString(line))
        ParseTextLine(back.emplace_back(), line);
    std::stable_sort(back.begin(), back.end(), [](const PhoneRecord& a, const PhoneRecord& b) {
        return MbsCmp(a.m_strRomaji, b.m_strRomaji) < 0;
    });
    return back;
}

} // namespace

TEST(TextLine, WritesFieldsAndMemoLines) {
    EXPECT_EQ(FormatTextLine(R("yamada", "\x8E\x52\x93\x63", "012", "x\r\ny")), "yamada,\x8E\x52\x93\x63,012,x,y");
    EXPECT_EQ(FormatTextLine(R("", "", "", "")), ",,"); // empty memo: two commas, no trailing one
    EXPECT_EQ(FormatTextLine(R("a", "", "", "m")), "a,,,m");
    EXPECT_EQ(FormatTextLine(R("a", "", "", "\r\n")), "a,,,,");
    // A CR without its LF is written as it is; nothing after it is lost.
    EXPECT_EQ(FormatTextLine(R("a", "", "", "x\ry")), "a,,,x\ry");
    EXPECT_EQ(FormatTextLine(R("a", "", "", "x\r")), "a,,,x\r");
}

TEST(TextLine, ParsesByCommaCount) {
    EXPECT_EQ(Parse("a,b,c"), R("a", "b", "c", ""));
    EXPECT_EQ(Parse("a,b,c,d,e"), R("a", "b", "c", "d\r\ne"));
    EXPECT_EQ(Parse("a,b,c,"), R("a", "b", "c", ""));
    EXPECT_EQ(Parse("abc"), R("", "", "abc", "")); // no comma: all of it is the phone number
    EXPECT_EQ(Parse("a,b"), R("a", "", "b", ""));  // one comma: romaji and phone
    EXPECT_EQ(Parse(""), R("", "", "", ""));
    EXPECT_EQ(Parse(",,"), R("", "", "", ""));
}

TEST(TextLine, MemoLineBreaksAtTheEdgesAreLost) {
    EXPECT_EQ(Parse(FormatTextLine(R("a", "", "", "\r\nx"))).m_strMemo, "x");
    EXPECT_EQ(Parse(FormatTextLine(R("a", "", "", "x\r\n"))).m_strMemo, "x");
    EXPECT_EQ(Parse(FormatTextLine(R("a", "", "", "x\r\n\r\ny"))).m_strMemo, "x\r\n\r\ny");
    EXPECT_EQ(Parse(FormatTextLine(R("a", "", "", "\r\n\r\n"))).m_strMemo, "");
}

TEST(TextLine, CommasInFieldsShiftTheRest) {
    EXPECT_EQ(Parse(FormatTextLine(R("a", "b,c", "d", "e"))), R("a", "b", "c", "d\r\ne"));
    EXPECT_EQ(Parse(FormatTextLine(R("a", "b", "c", "d,e"))).m_strMemo, "d\r\ne");
}

TEST(TextLine, DoubleByteTrailBytesPassUnchanged) {
    // 表 (95 5C), ソ (83 5C), ポ (83 7C) and 〜-like 81 60 hold trail bytes in the ASCII range.
    const PhoneRecord r = R("hyou", "\x95\x5C\x83\x5C", "\x83\x7C", "\x81\x60\r\n\x96\x40");
    EXPECT_EQ(Parse(FormatTextLine(r)), r);
}

TEST(TextLine, NulBytesAreKept) {
    const PhoneRecord r = R(std::string("a\0b", 3), "k", std::string("\0", 1), "m");
    EXPECT_EQ(Parse(FormatTextLine(r)), r);
}

TEST(TextExport, AssessmentMatchesAFileWrittenAndReadBack) {
    // Small books of fields made of the bytes that matter: the assessment finds a loss
    // exactly when the file read back is not the book, and counts what it should.
    std::mt19937 random(20240611);
    // Bytes next to those a line treats apart (a space, '+', '-', a lead byte) and fields
    // past eight bytes, which are looked at eight at a time.
    const char alphabet[] = {'a', ' ', '+', '-', '\x82', 'b', ',', '\r', '\n', '\x1A'};
    const auto field = [&] {
        std::string text;
        for (unsigned n = random() % (random() % 4 == 0 ? 20 : 4); n > 0; --n)
            text += alphabet[random() % (random() % 3 == 0 ? 10 : 6)];
        return text;
    };
    int withLoss = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<PhoneRecord> book(random() % 4);
        for (PhoneRecord& r : book)
            r = R(field(), field(), field(), field());
        const TextExportLoss loss = AssessTextExport(ListOf(book));
        const std::vector<PhoneRecord> back = ThroughTextFile(book);
        const std::string where = "round " + std::to_string(round);
        ASSERT_EQ(loss.Any(), back != book) << where;
        withLoss += loss.Any();

        const auto cut = std::find_if(book.begin(), book.end(), [](const PhoneRecord& r) {
            return FormatTextLine(r).find('\x1A') != std::string::npos;
        });
        ASSERT_EQ(loss.nCutOff, static_cast<std::size_t>(book.end() - cut)) << where;
        // Each entry before the cut is judged alone, as a book of its own.
        std::size_t changed = 0;
        for (auto r = book.begin(); r != cut; ++r)
            changed += ThroughTextFile({*r}) != std::vector<PhoneRecord>{*r};
        ASSERT_EQ(loss.nChanged, changed) << where;
        if (loss.nCutOff == 0 && loss.nChanged == 0) {
            ASSERT_EQ(loss.bReordered, back != book) << where;
        }
    }
    EXPECT_GT(withLoss, 1000);
    EXPECT_LT(withLoss, 19000);
}

TEST(TextExport, MessageNamesTheEntriesAndFields) {
    const std::string sjisName = UnicodeToCp932(QString::fromUtf8("ｶﾀｶﾅ")).bytes;
    const TextExportLoss loss = AssessTextExport(ListOf({R("abe", "", "1,2", ""), R(sjisName, "x\x1A", "", "")}));
    EXPECT_EQ(loss.Describe("/d/out.txt"),
              "「/d/out.txt」をテキスト形式で保存すると、読み込んだときに元の電話帳に戻りません。"
              " 1 件の項目が失われます (「ｶﾀｶﾅ」の氏名に文字 0x1A があり、読み込みはそこで終わります)。"
              " 1 件の項目 (最初は「abe」) はカンマや改行を含むため、別の項目として読み込まれます。");
    EXPECT_FALSE(AssessTextExport(ListOf({R("b", "", "", "x\r\ny"), R("a", "", "", "")})).nChanged);
    EXPECT_TRUE(AssessTextExport(ListOf({R("b", "", "", "x\r\ny"), R("a", "", "", "")})).bReordered);
    // Out of order only among the entries that are lost: the order of the rest stays.
    EXPECT_FALSE(AssessTextExport(ListOf({R("a", "", "", ""), R("c", "", "", "\x1A"), R("b", "", "", "")})).bReordered);
}
