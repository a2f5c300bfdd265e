#include "interop/ContactCsv.h"

#include "../TestUtil.h"
#include "ContactTestUtil.h"
#include "platform/Cp932.h"

#include <gtest/gtest.h>

#include <random>

using namespace Qt::StringLiterals;

// The expected contacts name only the fields they hold; the rest are rightly empty.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

ContactFile ReadFixture(const char* name) {
    return ReadContactCsv(ReadAll(std::string(MARLO_CONTACTS_DIR) + "/" + name));
}

Contact Marlo(const QString& romaji, const QString& kanji, const QString& phone, const QString& note) {
    Contact c{.formattedName = kanji, .romaji = romaji, .note = note};
    if (!phone.isEmpty())
        c.items.Add(MemoPiece::Phone, phone);
    return c;
}

} // namespace

TEST(ContactCsv, ReadsGoogleContactsExport) {
    const ContactFile file = ReadFixture("google.csv");
    const std::vector<Contact> expected{
        {.formattedName = u"山田 太郎"_s,
         .familyName = u"山田"_s,
         .givenName = u"太郎"_s,
         .familyReading = u"やまだ"_s,
         .givenReading = u"たろう"_s,
         .items = {Phone(u"090-1234-5678", u"携帯", true), Phone(u"03-1111-2222", u"自宅"),
                   Phone(u"03-3333-4444", u"自宅"), Email(u"taro.yamada@example.jp")},
         .note = u"大学の同期。\n来春、大阪へ転勤予定"_s},
        {.formattedName = u"鈴木 花子"_s,
         .familyName = u"鈴木"_s,
         .givenName = u"花子"_s,
         .familyReading = u"スズキ"_s,
         .givenReading = u"ハナコ"_s,
         .items = {Phone(u"06-5555-6666", u"勤務先"), Phone(u"06-5555-6667", u"FAX"), Email(u"hanako@example.co.jp"),
                   Email(u"h.suzuki@example.com")}},
        // Only a company: its name stands for the person's.
        {.formattedName = u"さくら歯科クリニック"_s, .items = {Phone(u"045-777-8888", u"代表")}},
    };
    EXPECT_EQ(Describe(file.contacts), Describe(expected));
    EXPECT_EQ(file.report.skipped, 0) << file.report.reasons.join(u'\n').toStdString();
}

TEST(ContactCsv, ReadsOutlookExport) {
    const ContactFile file = ReadFixture("outlook.csv");
    const std::vector<Contact> expected{
        {.formattedName = u"Tanaka Ichiro"_s,
         .familyName = u"Tanaka"_s,
         .givenName = u"Ichiro"_s,
         // "Primary Phone" repeats the mobile number, which becomes the preferred one.
         .items = {Phone(u"+81-3-5555-0101", u"FAX"), Phone(u"+81-3-5555-0100", u"勤務先"),
                   Phone(u"080-2222-3333", u"携帯", true), Email(u"ichiro@tanaka-trading.example")},
         .note = u"Prefers calls after 10 a.m.\nAsk for \"Ichi\"."_s},
        {.formattedName = u"Dr. Garcia Elena Maria"_s,
         .familyName = u"Garcia"_s,
         .givenName = u"Maria"_s,
         .items = {Phone(u"+1 415 555 0199", u"自宅"), Phone(u"+1 415 555 0198", u"自宅"),
                   Phone(u"+1 415 555 0150", u"ポケベル"), Email(u"maria.garcia@example.org")}},
    };
    EXPECT_EQ(Describe(file.contacts), Describe(expected));
    EXPECT_EQ(file.report.skipped, 0) << file.report.reasons.join(u'\n').toStdString();
}

// Japanese Outlook writes code page 932 without a byte-order mark, its headings in Japanese
// (the whole heading row of its export); a date it does not know is "00/0/0".
TEST(ContactCsv, ReadsJapaneseOutlookExport) {
    const ContactFile file = ReadFixture("outlook-ja.csv");
    const std::vector<Contact> expected{
        {.formattedName = u"髙橋 健一"_s,
         .familyName = u"髙橋"_s,
         .givenName = u"健一"_s,
         .familyReading = u"たかはし"_s,
         .givenReading = u"けんいち"_s,
         .items = {Phone(u"03-4444-5557", u"アシスタント"), Phone(u"03-4444-5556", u"FAX"),
                   Phone(u"03-4444-5555", u"勤務先"), Phone(u"090-8888-9999", u"携帯", true),
                   Phone(u"090-1111-0000", u"無線"), Email(u"k.takahashi@example.jp")},
         .note = u"現場は①～③の三か所\n月曜定休"_s},
        {.formattedName = u"渡辺 ｱｷﾗ"_s,
         .familyName = u"渡辺"_s,
         .givenName = u"ｱｷﾗ"_s,
         .familyReading = u"ワタナベ"_s,
         .givenReading = u"アキラ"_s,
         .items = {Phone(u"0422-11-4444", u"FAX"), Phone(u"0422-11-2222", u"自宅"), Phone(u"0422-11-3333", u"自宅")}},
    };
    EXPECT_EQ(Describe(file.contacts), Describe(expected));
    EXPECT_EQ(file.report.skipped, 0) << file.report.reasons.join(u'\n').toStdString();
}

TEST(ContactCsv, ReadsMarloExport) {
    const ContactFile file = ReadFixture("marlo.csv");
    const std::vector<Contact> expected{
        Marlo(u"yamada taro"_s, u"山田 太郎"_s, u"090-1234-5678"_s, u"自宅 03-1111-2222\n会社 03-3333-4444"_s),
        Marlo(u"suzuki, hanako"_s, u"鈴木 花子"_s, u"06-5555-6666"_s, u"\"ハナ\" と呼ぶこと"_s),
        Marlo(u"sato ichiro"_s, u"ｻﾄｳ ｲﾁﾛｳ"_s, u" 0120-000-111"_s, {}),
    };
    EXPECT_EQ(Describe(file.contacts), Describe(expected));
    EXPECT_EQ(file.report.skipped, 0) << file.report.reasons.join(u'\n').toStdString();
}

// Files that break the rules: what can be read is read, the rest is counted with its line.
TEST(ContactCsv, BadInputReadsOnAndCountsWhatItSkips) {
    struct Case {
        std::string file;
        std::vector<Contact> contacts;
        QStringList reasons;
    };
    const Case cases[] = {
        // A quote that never closes is a character, and the rows after it are rows.
        {"a,\"b,c,d\r\ne,f,g,h\r\n",
         {Marlo(u"a"_s, u"\"b"_s, u"c"_s, u"d"_s), Marlo(u"e"_s, u"f"_s, u"g"_s, u"h"_s)},
         {u"2 行目: 閉じていない引用符"_s}},
        {"a,b,c,d\n\"x\ny\",z\nq,\"memo", // the unclosed one on the last line, after a quoted line break
         {Marlo(u"a"_s, u"b"_s, u"c"_s, u"d"_s), Marlo(u"x\ny"_s, u"z"_s, {}, {}), Marlo(u"q"_s, u"\"memo"_s, {}, {})},
         {u"5 行目: 閉じていない引用符"_s}},
        // Junk after a closing quote stays; a quote inside a cell is a character.
        {"\"a\"b,c\"d\"\"", {Marlo(u"ab"_s, u"c\"d\"\""_s, {}, {})}, {}},
        // Rows of only commas and blanks are no rows; a row with only unknown columns is counted.
        {"First Name,Address\r\n,,,\r\n  ,\t\r\n\r\n,Tokyo\r\nTaro,\r\n",
         {{.formattedName = u"Taro"_s, .givenName = u"Taro"_s}},
         {u"5 行目: 取り込める項目がありません"_s}},
        // Lone CR line ends, in quotes too.
        {"a,b,1,\"m\rn\"\rc,d,2,\r", {Marlo(u"a"_s, u"b"_s, u"1"_s, u"m\nn"_s), Marlo(u"c"_s, u"d"_s, u"2"_s, {})}, {}},
        // A NUL byte is a character like any other.
        {std::string("a\0b,c\r\nd,e\r\n", 12),
         {Marlo(QString::fromUtf16(u"a\0b", 3), u"c"_s, {}, {}), Marlo(u"d"_s, u"e"_s, {}, {})},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToHex(c.file));
        // Marlo's four columns, but for the file that has headings of its own
        const bool headed = c.file.starts_with("First Name");
        const ContactFile file = ReadContactCsv(headed ? c.file : "ローマ字名,漢字名,電話番号,メモ\r\n" + c.file);
        EXPECT_EQ(Describe(file.contacts), Describe(c.contacts));
        EXPECT_EQ(file.report.reasons, c.reasons);
        EXPECT_EQ(file.report.skipped, c.reasons.size());
    }
}

// Headings are found whatever their case, blanks, parenthesis width or order; numbered
// phone columns pair by number; cells past the headings and unknown columns are ignored.
TEST(ContactCsv, HeadingsMatchLoosely) {
    const ContactFile current = ReadContactCsv("\xEF\xBB\xBF\xEF\xBB\xBF  FIRST NAME ,姓（フリガナ）,phone 2 - label,"
                                               "Phone 2 - VALUE,Phone 1 - Value,Unknown,Notes\r\n"
                                               "太郎,ヤマダ,* Work,03-1,06-2,x,n,extra,cells\r\n");
    const ContactFile older = ReadContactCsv("Name,Yomi Name,Given Name Yomi,Additional Name Yomi,Family Name Yomi,"
                                             "Phone 1 - Type,Phone 1 - Value\n"
                                             "山田 太郎,やまだ たろう,たろう,じょん,やまだ,* Home,03 ::: 04\n");
    // Outlook.com's readings
    const ContactFile web = ReadContactCsv("First Name,Last Name,Given Yomi,Surname Yomi,Mobile Phone\r\n"
                                           "太郎,山田,たろう,やまだ,090\r\n");
    const std::vector<Contact> expected{
        {.formattedName = u"太郎"_s,
         .givenName = u"太郎"_s,
         .familyReading = u"ヤマダ"_s,
         .items = {Phone(u"03-1", u"勤務先", true), Phone(u"06-2")},
         .note = u"n"_s},
        {.formattedName = u"山田 太郎"_s,
         .familyReading = u"やまだ"_s,
         .givenReading = u"じょん たろう"_s,
         .reading = u"やまだ たろう"_s,
         .items = {Phone(u"03", u"自宅", true), Phone(u"04", u"自宅", true)}},
        {.partsName = u"山田 太郎"_s,
         .familyName = u"山田"_s,
         .givenName = u"太郎"_s,
         .familyReading = u"やまだ"_s,
         .givenReading = u"たろう"_s,
         .items = {Phone(u"090", u"携帯")}},
    };
    std::vector<Contact> all = current.contacts;
    for (const ContactFile* file : {&older, &web})
        all.insert(all.end(), file->contacts.begin(), file->contacts.end());
    EXPECT_EQ(Describe(all), Describe(expected));
    EXPECT_EQ(current.report.skipped + older.report.skipped + web.report.skipped, 0);
}

TEST(ContactCsv, WritesQuotedFieldsAndHeading) {
    std::string out;
    AppendCsvHeading(out, CsvEncoding::Cp932);
    AppendCsvRow(out, PhoneRecordView("a,b", "\x8E\x52 ", "\"1\"", "x\r\ny"), CsvEncoding::Cp932);
    AppendCsvRow(out, PhoneRecordView("plain", "", "\t0", "\xB1"), CsvEncoding::Utf8WithBom);
    EXPECT_EQ(out, UnicodeToCp932(u"ローマ字名,漢字名,電話番号,メモ\r\n"_s).bytes +
                       "\"a,b\",\"\x8E\x52 \",\"\"\"1\"\"\",\"x\r\ny\"\r\n"
                       "plain,,\"\t0\",\xEF\xBD\xB1\r\n");
    out.clear();
    AppendCsvHeading(out, CsvEncoding::Utf8WithBom);
    EXPECT_EQ(out, "\xEF\xBB\xBF" + u"ローマ字名,漢字名,電話番号,メモ\r\n"_s.toStdString());
}

// Whatever an entry holds, its row reads back as that entry, in either encoding.
TEST(ContactCsv, WrittenEntriesReadBackExactly) {
    // Pieces of code page 932 text: what needs quoting, blanks, half-width katakana, kanji.
    const std::vector<std::string> pieces{
        "a",        "Z9",       ",",        "\"", " ",        "\t",    "\xB1\xDF", "\xA5",     "-",   "\x8E\x52",
        "\x81\x40", "\x82\xA0", "\xFB\xFC", "\\", "\x83\x5C", "ab, c", "\"\"",     "\x81\x60", "::: "};
    std::mt19937 random(20261208);
    auto text = [&](bool memo) {
        std::string t;
        const int length = static_cast<int>(random() % 7) - 1; // empty now and then
        for (int i = 0; i < length; ++i) {
            if (memo && random() % 5 == 0)
                t += "\r\n";
            else
                t += pieces[random() % pieces.size()];
        }
        return t;
    };
    std::vector<PhoneRecord> entries;
    for (int i = 0; i < 3000; ++i) {
        PhoneRecord r{text(false), text(false), text(false), text(true)};
        if (!(r == PhoneRecord{})) // an entry with nothing in it writes a blank row
            entries.push_back(std::move(r));
    }
    for (const CsvEncoding encoding : {CsvEncoding::Utf8WithBom, CsvEncoding::Cp932}) {
        std::string file;
        AppendCsvHeading(file, encoding);
        for (const PhoneRecord& r : entries)
            AppendCsvRow(file, r, encoding);
        const ContactFile back = ReadContactCsv(file);
        EXPECT_EQ(back.report.skipped, 0) << back.report.reasons.join(u'\n').toStdString();
        ASSERT_EQ(back.contacts.size(), entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            QString memo = Cp932ToUnicode(entries[i].m_strMemo);
            const Contact expected =
                Marlo(Cp932ToUnicode(entries[i].m_strRomaji), Cp932ToUnicode(entries[i].m_strKanji),
                      Cp932ToUnicode(entries[i].m_strPhone), memo.replace(u"\r\n"_s, u"\n"_s));
            ASSERT_EQ(Describe({back.contacts[i]}), Describe({expected})) << "entry " << i;
        }
    }
}

// A UTF-8 file with one row in Shift_JIS: only that row is read as Shift_JIS.
TEST(ContactCsv, DecidesTheEncodingOfEachRow) {
    const ContactFile file = ReadContactCsv("Name,Notes\r\n\xE5\xB1\xB1\xE7\x94\xB0,\xE3\x81\x82\r\n"
                                            "\x8ER\x93" "c,\x82\xA0\r\n\xE3\x81\x9F\xE3\x82\x8D\xE3\x81\x86,\r\n");
    const std::vector<Contact> expected{{.formattedName = u"山田"_s, .note = u"あ"_s},
                                        {.formattedName = u"山田"_s, .note = u"あ"_s},
                                        {.formattedName = u"たろう"_s}};
    EXPECT_EQ(Describe(file.contacts), Describe(expected));
}

// A Shift_JIS file stays Shift_JIS in every row, also in one whose bytes happen to be
// valid UTF-8 as well (東京都 in UTF-8 reads as 譚ｱ莠ｬ驛ｽ in Shift_JIS).
TEST(ContactCsv, AShiftJisFileKeepsARowThatLooksLikeUtf8) {
    const ContactFile file = ReadContactCsv("\x8A\xBF\x8E\x9A\x96\xBC,\x83\x81\x83\x82\r\n"        // 漢字名,メモ
                                            "\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD,\x82\xA0\r\n"); // 譚ｱ莠ｬ驛ｽ,あ
    ASSERT_EQ(file.contacts.size(), 1u);
    EXPECT_EQ(file.contacts[0].formattedName, u"譚ｱ莠ｬ驛ｽ"_s);
}
