#include "interop/VCard.h"

#include "../TestUtil.h"
#include "ContactTestUtil.h"
#include "platform/Cp932.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <random>

using namespace Qt::StringLiterals;

// The expected contacts name only the fields they have; the rest are empty on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

ContactFile ReadFixture(const char* name) {
    return ReadVCards(ReadAll(std::string(MARLO_CONTACTS_DIR) + "/" + name));
}

} // namespace

TEST(VCard, ReadsIPhoneExport) {
    const ContactFile file = ReadFixture("iphone.vcf");
    const std::vector<Contact> expected{
        {.formattedName = u"山田 太郎"_s,
         .familyName = u"山田"_s,
         .givenName = u"太郎"_s,
         .familyReading = u"ヤマダ"_s,
         .givenReading = u"タロウ"_s,
         .items = {Phone(u"090-1234-5678", u"携帯", true), Phone(u"03-1111-2222", u"その他"),
                   Email(u"taro@example.jp")},
         .note = u"誕生日会は\n土曜日"_s},
        {.formattedName = u"佐藤 花子"_s,
         .familyName = u"佐藤"_s,
         .givenName = u"花子"_s,
         .familyReading = u"さとう"_s,
         .givenReading = u"はなこ"_s,
         // The group's label names the kind; a label of the user's own is kept as it is.
         .items = {Phone(u"080-9876-5432", u"携帯"), Phone(u"045-123-4567", u"自宅"),
                   Phone(u"06-6666-7777", u"実家", true), Email(u"hanako.sato@example.co.jp")},
         .note = u"鍵は, 管理人室; 夜間は\\裏口"_s},
        {.formattedName = u"株式会社サンプル"_s, .items = {Phone(u"03-5555-0000", u"代表")}},
    };
    EXPECT_EQ(Describe(file.contacts), Describe(expected));
    EXPECT_EQ(file.report.skipped, 0) << Reasons(file);
}

TEST(VCard, ReadsAndroidQuotedPrintable) {
    const ContactFile file = ReadFixture("android.vcf");
    const std::vector<Contact> expected{
        {.formattedName = u"鈴木 一郎"_s,
         .familyName = u"鈴木"_s,
         .givenName = u"一郎"_s,
         .familyReading = u"スズキ"_s,
         .givenReading = u"イチロウ"_s,
         .items = {Phone(u"090-2222-3333", u"携帯", true), Phone(u"0422-11-2222", u"自宅"),
                   Phone(u"03-3333-4444", u"FAX"), Email(u"ichiro@example.ne.jp")},
         .note = u"小学校の同級生。\n年賀状は毎年送ること。連絡は平日の夜に携帯へ。"_s},
        {.formattedName = u"John Smith"_s,
         .familyName = u"Smith"_s,
         .givenName = u"John"_s,
         .items = {Phone(u"+1-555-0100", u"勤務先"), Email(u"john@example.com")}},
    };
    EXPECT_EQ(Describe(file.contacts), Describe(expected));
    EXPECT_EQ(file.report.skipped, 0) << Reasons(file);
}

TEST(VCard, ReadsVersion4SortAsAndPhonetic) {
    const ContactFile file = ReadFixture("vcard4.vcf");
    const std::vector<Contact> expected{
        {.formattedName = u"高橋 健"_s,
         .familyName = u"高橋"_s,
         .givenName = u"健"_s,
         .familyReading = u"タカハシ"_s,
         .givenReading = u"ケン"_s,
         // PREF=1 is preferred over PREF=2; a tel: URI gives its number.
         .items = {Phone(u"+81-3-1234-5678", u"勤務先"), Phone(u"+81-90-1234-5678", u"携帯", true),
                   Email(u"ken@example.jp")},
         .note = u"四・〇の\nメモ"_s},
        // The kana PHONETIC N gives the readings, not the IPA one.
        {.formattedName = u"伊藤 美咲"_s,
         .familyName = u"伊藤"_s,
         .givenName = u"美咲"_s,
         .familyReading = u"イトウ"_s,
         .givenReading = u"ミサキ"_s,
         .items = {Phone(u"03-9999-0000", u"自宅")}},
        // No FN: family and given name, in that order.
        {.formattedName = u"中村 翔"_s,
         .familyName = u"中村"_s,
         .givenName = u"翔"_s,
         .items = {Phone(u"070-1111-2222", u"携帯")}},
    };
    EXPECT_EQ(Describe(file.contacts), Describe(expected));
    EXPECT_EQ(file.report.skipped, 0) << Reasons(file);
}

TEST(VCard, ReadsDocomoShiftJis) {
    const ContactFile file = ReadFixture("docomo21.vcf");
    const std::vector<Contact> expected{
        {.formattedName = u"田中 太郎"_s,
         .familyName = u"田中"_s,
         .givenName = u"太郎"_s,
         .familyReading = u"ﾀﾅｶ"_s,
         .givenReading = u"ﾀﾛｳ"_s,
         .items = {Phone(u"090-5555-6666", u"携帯"), Phone(u"03-7777-8888", u"自宅"),
                   Email(u"taro.tanaka@docomo.ne.jp")},
         // ソ and 表 end in the byte of a backslash, which must not read as an escape.
         .note = u"ソフト部の先輩。表計算が得意"_s},
        {.formattedName = u"木村 ﾖｼｺ"_s,
         .familyName = u"木村"_s,
         .givenName = u"ﾖｼｺ"_s,
         .familyReading = u"ｷﾑﾗ"_s,
         .givenReading = u"ﾖｼｺ"_s,
         .items = {Phone(u"0120-000-111")}},
    };
    EXPECT_EQ(Describe(file.contacts), Describe(expected));
    EXPECT_EQ(file.report.skipped, 0) << Reasons(file);
}

// Cards of two phones in one file: the handset's Shift_JIS, with its charset, does not
// make the other card's UTF-8 (without one) read as Shift_JIS.
TEST(VCard, CardsOfTwoPhonesInOneFile) {
    const std::string file = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:山田 太郎\r\nNOTE:ｶﾅ\r\nEND:VCARD\r\n"
                             "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:\x93\x63\x92\x86;;;;\r\nEND:VCARD\r\n";
    const ContactFile read = ReadVCards(file);
    ASSERT_EQ(read.contacts.size(), 2u);
    EXPECT_EQ(read.contacts[0].formattedName, u"山田 太郎"_s);
    EXPECT_EQ(read.contacts[0].note, u"ｶﾅ"_s);
    EXPECT_EQ(read.contacts[1].familyName, u"田中"_s);
}

// Line ends of every kind, folding with a tab, parameters and names in any case,
// escapes, a folded name, and a quoted colon in a parameter.
TEST(VCard, ReadsSyntaxVariants) {
    const std::string text = "begin:vcard\rversion:3.0\rfn:A\\,B\\;C\\\\D\\NE\r\n"
                             "n:Fam,ily;Giv\r\n\ten;;;\n"
                             "Tel;type=cell;TYPE=pref:1\n"
                             "TEL;X-NOTE=\"a:b\";TYPE=HOME:2\n"
                             "TE\r\n L;TYPE=WORK:3\n"
                             "NOTE:one\nNOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:two=0D=0Athree=0Dfour\n"
                             "end:vcard";
    const ContactFile file = ReadVCards(text);
    const std::vector<Contact> expected{
        {.formattedName = u"A,B;C\\D\nE"_s,
         .familyName = u"Fam ily"_s,
         .givenName = u"Given"_s,
         .items = {Phone(u"1", u"携帯", true), Phone(u"2", u"自宅"), Phone(u"3", u"勤務先")},
         .note = u"one\ntwo\nthree\nfour"_s}};
    EXPECT_EQ(Describe(file.contacts), Describe(expected));
    EXPECT_EQ(file.report.skipped, 0) << Reasons(file);
}

// What cannot be read is counted with its line, and the rest of the card still counts.
TEST(VCard, SkipsBadPiecesAndKeepsTheRest) {
    struct Case {
        const char* text;
        std::vector<std::string> names; // formatted names of the contacts read
        QString reason;                 // the first reason, in full
    };
    const Case cases[] = {
        {"BEGIN:VCARD\nFN:Cut\nTEL:1",
         {"Cut"},
         u"1 行目: END:VCARD がないままファイルが終わりました (このカードは読めたところまで使います)"_s},
        {"BEGIN:VCARD\nFN:A\nno colon here\nEND:VCARD\n", {"A"}, u"3 行目: コロンのない行を読み飛ばしました"_s},
        {"BEGIN:VCARD\nFN:A\nNOTE;CHARSET=X-MARS-1:x\nEND:VCARD\n",
         {"A"},
         u"3 行目: 文字コード「X-MARS-1」を知らないため NOTE を読み飛ばしました"_s},
        {"BEGIN:VCARD\nFN:A\nNOTE;ENCODING=UUENCODE:x\nEND:VCARD\n",
         {"A"},
         u"3 行目: 符号化方式「UUENCODE」を知らないため NOTE を読み飛ばしました"_s},
        {"BEGIN:VCARD\nFN:A\nAGENT:\nBEGIN:VCARD\nFN:B\nTEL:2\nEND:VCARD\nTEL:1\nEND:VCARD\n",
         {"A"},
         u"4 行目: カードの中の BEGIN:VCARD から END:VCARD までを読み飛ばしました"_s},
        {"junk\nmore junk\n\nBEGIN:VCARD\nFN:A\nEND:VCARD\n",
         {"A"},
         u"1 行目: BEGIN:VCARD の外にある行を読み飛ばしました"_s},
        {"BEGIN:VCARD\nFN:P\nPHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ\n AAAA\n BBBB",
         {"P"},
         u"1 行目: END:VCARD がないままファイルが終わりました (このカードは読めたところまで使います)"_s},
        {"BEGIN:VCARD\nVERSION:3.0\nEND:VCARD\n", {}, u"1 行目: 何も入っていないカードを読み飛ばしました"_s},
        // A soft line break before END:VCARD does not swallow it.
        {"BEGIN:VCARD\nNOTE;QUOTED-PRINTABLE:x=\nEND:VCARD\nBEGIN:VCARD\nFN:B\nEND:VCARD", {"x", "B"}, QString()},
    };
    for (const Case& c : cases) {
        const ContactFile file = ReadVCards(c.text);
        std::vector<std::string> names;
        for (const Contact& contact : file.contacts)
            names.push_back((contact.formattedName.isEmpty() ? contact.note : contact.formattedName).toStdString());
        EXPECT_EQ(names, c.names) << c.text;
        EXPECT_EQ(file.report.skipped, c.reason.isEmpty() ? 0 : 1) << c.text << "\n" << Reasons(file);
        EXPECT_EQ(file.report.reasons.value(0).toStdString(), c.reason.toStdString()) << c.text;
    }
    // A photo, a sound and a key are no text: counted, not skipped as bad.
    const ContactFile binary = ReadVCards("BEGIN:VCARD\nFN:A\nPHOTO;ENCODING=b:AAAA\nSOUND:x.wav\n"
                                          "SOUND;X-IRMC-N:a;b;;;\nKEY:k\nEND:VCARD\n");
    EXPECT_EQ(binary.report.notText, 3);
    EXPECT_EQ(binary.report.skipped, 0);
    // The truncated card keeps its phone; the nested card's phone is not the outer one's.
    EXPECT_EQ(ReadVCards("BEGIN:VCARD\nFN:Cut\nTEL:1").contacts.at(0).items.size(), 1u);
    EXPECT_EQ(ReadVCards(cases[4].text).contacts.at(0).items.size(), 1u);
}

// Entries of random code page 932 text written and read back: every field as it was.
TEST(VCard, WrittenEntriesReadBackUnchanged) {
    std::mt19937 random(20261208);
    const std::vector<std::string> pieces{
        "a",        "Z",        "0",        " ",        ",",        ";",        "\\",
        ":",        "=",        "\"",       "\t",       "^",        "\xB1\xB2", // ｱｲ half-width
        "\x83\x5C", "\x95\x5C", "\x88\x9F", "\x81\x40", "\x87\x40", "\xEA\xA4", // ソ 表 亜 U+3000 ① 熙
    };
    auto text = [&](int minPieces, int maxPieces, bool lines) {
        std::string s;
        const int n = std::uniform_int_distribution<int>(minPieces, maxPieces)(random);
        for (int i = 0; i < n; ++i) {
            if (lines && random() % 8 == 0)
                s += "\r\n";
            else
                s += pieces[random() % pieces.size()];
        }
        return s;
    };
    auto romaji = [&] {
        static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789  ";
        std::string s(random() % 30, ' ');
        for (char& c : s)
            c = kLetters[random() % (sizeof kLetters - 1)];
        return s;
    };
    std::vector<PhoneRecord> entries;
    std::string file;
    for (int i = 0; i < 400; ++i) {
        // A name always: a card with nothing in it is not read as a contact.
        entries.push_back({romaji(), text(1, i % 10 == 0 ? 120 : 12, false), text(0, 8, false),
                           text(0, i % 7 == 0 ? 300 : 20, true)});
        AppendVCard(file, entries.back());
    }
    // Every physical line within 75 octets and whole UTF-8 by itself.
    for (std::size_t start = 0; start < file.size();) {
        const std::size_t end = file.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const QByteArray line(file.data() + start, static_cast<qsizetype>(end - start));
        ASSERT_LE(line.size(), 75) << line.toStdString();
        ASSERT_EQ(QString::fromUtf8(line).toUtf8(), line) << "a fold cuts a UTF-8 sequence";
        start = end + 2;
    }
    const ContactFile read = ReadVCards(file);
    ASSERT_EQ(read.contacts.size(), entries.size());
    EXPECT_EQ(read.report.skipped, 0) << Reasons(read);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const PhoneRecord& e = entries[i];
        const Contact& c = read.contacts[i];
        QString memo = Cp932ToUnicode(e.m_strMemo);
        memo.replace(u"\r\n"_s, u"\n"_s);
        SCOPED_TRACE(i);
        EXPECT_EQ(c.reading.toStdString(), e.m_strRomaji);
        const QString kanji = Cp932ToUnicode(e.m_strKanji);
        EXPECT_EQ(c.formattedName, kanji);
        EXPECT_EQ(c.items.empty() ? QString() : c.items[0].text.toString(), Cp932ToUnicode(e.m_strPhone));
        EXPECT_EQ(c.note, memo);
    }
}

// Values in the charsets address books name, through ICU; values without a charset in
// UTF-8 or Shift_JIS, decided for each card (quoted-printable bytes included).
TEST(VCard, ReadsEachCardsCharset) {
    const std::string text =
        "BEGIN:VCARD\r\nFN;CHARSET=windows-1252;ENCODING=QUOTED-PRINTABLE:Ren=E9e =96 Zo=EB\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nFN;CHARSET=ISO-8859-15:\xA4uro\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nFN;CHARSET=EUC-JP:\xBB\xB3\xC5\xC4\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nFN;CHARSET=ISO-2022-JP:\x1B$B;3ED\x1B(B\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nFN;ENCODING=QUOTED-PRINTABLE:=8E=52=93=63\r\nEND:VCARD\r\n" // Shift_JIS, no charset
        "BEGIN:VCARD\r\nFN:\xE5\xB1\xB1\xE7\x94\xB0\r\nEND:VCARD\r\n"           // UTF-8 beside it
        "BEGIN:VCARD\r\nFN:\x8ER\x93" "c\r\nEND:VCARD\r\n";                         // and Shift_JIS
    const ContactFile file = ReadVCards(text);
    std::vector<std::string> names;
    for (const Contact& contact : file.contacts)
        names.push_back(contact.formattedName.toStdString());
    const std::vector<std::string> expected{"Renée – Zoë", "€uro", "山田", "山田", "山田", "山田", "山田"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(file.report.skipped, 0) << Reasons(file);
}

// What phones read: N family name first for a Japanese name and Western for a Latin one,
// titles out of the family field; the reading in katakana; the memo's further numbers
// and e-mails as TEL and EMAIL and its details as their properties, in the memo's order
// up to its first line of another kind (or a detail that repeats the name), which starts
// the note.
TEST(VCard, WritesWhatAPhoneReads) {
    const auto card = [](const PhoneRecord& entry) {
        std::string out;
        AppendVCard(out, entry);
        return out;
    };
    const auto sjis = [](const char* utf8) { return UnicodeToCp932(QString::fromUtf8(utf8)).bytes; };
    EXPECT_EQ(card({"yamada tarou", sjis("山田 太郎"), "090-1", sjis("携帯: 080-2\r\nFAX: 03-3\r\n電話: 4\r\n"
                                                                   "メール: t@example.jp\r\n住所: 東京\r\n携帯: 5\r\n役職: 山田 太郎\r\n役職: 部長")}),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:山田 太郎\r\nN:山田;太郎;;;\r\nX-PHONETIC-LAST-NAME:ヤマダ\r\n"
              "X-PHONETIC-FIRST-NAME:タロウ\r\nSORT-STRING:yamada tarou\r\nTEL:090-1\r\nTEL;TYPE=CELL:080-2\r\n"
              "TEL;TYPE=FAX:03-3\r\nTEL:4\r\nEMAIL;TYPE=INTERNET:t@example.jp\r\nADR:;;東京;;;;\r\nTEL;TYPE=CELL:5\r\n"
              "NOTE:役職: 山田 太郎\\n役職: 部長\r\n"
              "END:VCARD\r\n");
    EXPECT_EQ(card({"doe john", "Dr. John Q. Doe Jr.", "", sjis("携帯: 1")}),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dr. John Q. Doe Jr.\r\nN:Doe;John Q.;;Dr.;Jr.\r\n"
              "SORT-STRING:doe john\r\nNOTE:携帯: 1\r\nEND:VCARD\r\n"); // no number to stand before it
}
