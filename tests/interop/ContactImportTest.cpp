#include "interop/ContactImport.h"

#include "../TestUtil.h"
#include "ContactTestUtil.h"

#include "data/RecordList.h"
#include "platform/Cp932.h"
#include "platform/FileError.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string Sjis(const QString& text) {
    return UnicodeToCp932(text).bytes;
}

Contact Named(const QString& formatted) {
    Contact contact;
    contact.formattedName = formatted;
    return contact;
}

/// The entries as text, one a line: romaji | name | number | memo, the memo's line
/// breaks as "⏎".
std::string Shown(const std::vector<PhoneRecord>& records) {
    std::string out;
    for (const PhoneRecord& r : records) {
        QString memo = Cp932ToUnicode(r.m_strMemo);
        memo.replace(QStringLiteral("\r\n"), QStringLiteral("⏎"));
        out += QStringList{Cp932ToUnicode(r.m_strRomaji), Cp932ToUnicode(r.m_strKanji), Cp932ToUnicode(r.m_strPhone),
                           memo}
                   .join(QStringLiteral(" | "))
                   .toStdString() +
               '\n';
    }
    return out;
}

std::string ImportedFrom(const char* fixture, int* skipped = nullptr) {
    ContactImport import;
    import.AddFile(ReadAll(std::string(MARLO_CONTACTS_DIR) + "/" + fixture), QStringLiteral("f"));
    if (skipped)
        *skipped = import.nSkipped;
    return Shown(import.Records());
}

} // namespace

// Where each field of an entry comes from, one case per source of the romaji name.
TEST(ContactImport, EntryFieldsFromAContact) {
    Contact full = Named(QStringLiteral("田中 一郎"));
    full.familyReading = QStringLiteral("たなか");
    full.givenReading = QStringLiteral("イチロウ");
    full.items = {Phone(u"03-1111-2222", u"自宅"), Phone(u"090-3333-4444", u"携帯", true), Phone(u"06-5555-6666"),
                  Email(u"ichiro@example.jp")};
    full.note = QStringLiteral("一行目\n二行目");
    const ImportedEntry entry = EntryFromContact(full);
    EXPECT_EQ(entry.record.m_strRomaji, "tanaka ichirou");
    EXPECT_EQ(entry.record.m_strKanji, Sjis(QStringLiteral("田中 一郎")));
    EXPECT_EQ(entry.record.m_strPhone, "090-3333-4444"); // the preferred one
    EXPECT_EQ(entry.record.m_strMemo, Sjis(QStringLiteral("自宅: 03-1111-2222\r\n電話: 06-5555-6666\r\n"
                                                          "メール: ichiro@example.jp\r\n一行目\r\n二行目")));
    EXPECT_FALSE(entry.bNoReading);
    EXPECT_TRUE(entry.dropped.isEmpty());

    struct Case {
        Contact contact;
        std::string romaji;
    };
    Contact given = Named(QStringLiteral("Taro"));
    given.romaji = QStringLiteral("yamada  taro 2");
    given.reading = QStringLiteral("ヤマダ");
    Contact sortString = Named(QStringLiteral("山田"));
    sortString.reading = QStringLiteral("yamada  taro");
    Contact unsplit = Named(QStringLiteral("山田"));
    unsplit.reading = QStringLiteral("ヤマダ タロウ");
    Contact parts = Named(QStringLiteral("高橋健太"));
    parts.familyName = QStringLiteral("高橋");
    parts.givenName = QStringLiteral("健太");
    Contact company = Named(QStringLiteral("Apple Computer AG")); // the parts' readings are another name's
    company.familyName = QStringLiteral("Müller");
    company.givenName = QStringLiteral("Jörg");
    company.familyReading = QStringLiteral("Mueller");
    Contact western = Named(QStringLiteral("John Doe"));
    western.familyName = QStringLiteral("Doe");
    western.givenName = QStringLiteral("John");
    Contact organization;
    organization.organization = QStringLiteral("株式会社サンプル");
    organization.organizationReading = QStringLiteral("サンプル");
    Contact email;
    email.items = {Email(u" taro.yamada@example.jp")};
    const Case cases[] = {
        {given, "yamada  taro 2"},                     // a romaji name given as such stays exactly
        {sortString, "yamada  taro"},                  // a reading in romaji already is taken as it stands
        {unsplit, "yamada tarou"},                     // an unsplit reading in kana
        {Named(QStringLiteral("John Smith")), "john smith"}, // a Latin name is its own reading
        {parts, "takahashi kenta"},                    // no reading: the dictionary reads the name's parts
        {company, "apple computer ag"},                // the name shown, not the parts', gives the romaji
        {western, "john doe"},                         // in the order shown
        {organization, "sanpuru"},                     // a company's own reading
        {email, "taro yamada example jp"},             // an address's words
        {Named(QStringLiteral("佐藤")), "satou"},      // or the formatted name
    };
    for (const Case& c : cases) {
        const ImportedEntry e = EntryFromContact(c.contact);
        EXPECT_EQ(e.record.m_strRomaji, c.romaji) << c.contact.formattedName.toStdString();
        EXPECT_FALSE(e.bNoReading) << c.contact.formattedName.toStdString();
    }
}

// Text the code page cannot hold is left out and named; a name nothing can read is kept
// without a romaji name; both reach the report.
TEST(ContactImport, WhatCannotBeCarriedIsLeftOutAndTold) {
    Contact contact = Named(QStringLiteral("𠀋田 🍣"));
    contact.items = {Phone(u"03-1234")};
    contact.note = QStringLiteral("寿司🍣好き");
    ContactImport import;
    const ImportedEntry entry = EntryFromContact(contact);
    import.Add(EntryFromContact(contact));
    EXPECT_EQ(entry.record.m_strKanji, Sjis(QStringLiteral("田 ")));
    EXPECT_EQ(entry.record.m_strMemo, Sjis(QStringLiteral("寿司好き")));
    EXPECT_EQ(entry.record.m_strPhone, "03-1234");
    EXPECT_EQ(entry.dropped, QStringLiteral("𠀋🍣"));
    EXPECT_TRUE(entry.bNoReading); // nothing reads 𠀋田
    EXPECT_EQ(entry.record.m_strRomaji, "");
    Contact numberOnly; // named in the report by its number
    numberOnly.items = {Phone(u"090-1")};
    import.Add(EntryFromContact(numberOnly));
    const QString report = import.Describe();
    EXPECT_TRUE(report.contains(QStringLiteral("ローマ字名が空の項目: 2 件 「𠀋田 🍣」、「090-1」"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("「𠀋田 🍣」の 「𠀋」「🍣」"))) << report.toStdString();
    EXPECT_TRUE(ContactImport().Describe().isEmpty());
}

// The hand-written files, shaped as phones and address books write them, give these
// entries to the byte: an iPhone's vCard 3.0, Android's 2.1 in quoted-printable UTF-8,
// a 4.0 with SORT-AS and PHONETIC, an old handset's 2.1 in Shift_JIS with half-width
// readings; Google's and Outlook's CSV (the Japanese one in code page 932), Marlo's own.
// Every property or column that is text reaches the memo, under its label.
TEST(ContactImport, HandWrittenFilesGiveTheseEntries) {
    // romaji | name | number | memo (line breaks as ⏎)
    const std::pair<const char*, const char*> fixtures[] = {
        {"iphone.vcf", R"(yamada tarou | 山田 太郎 | 090-1234-5678 | 会社: 株式会社サンプル⏎その他: 03-1111-2222⏎メール: taro@example.jp⏎住所: 〒100-0001 東京都 千代田区 千代田1-2-3 日本⏎誕生日: 1980-04-01⏎誕生日会は⏎土曜日
satou hanako | 佐藤 花子 | 06-6666-7777 | 携帯: 080-9876-5432⏎自宅: 045-123-4567⏎メール: hanako.sato@example.co.jp⏎鍵は, 管理人室; 夜間は\裏口
kabushikigaishasanpuru | 株式会社サンプル | 03-5555-0000 | 
)"},
        {"android.vcf", R"(suzuki ichirou | 鈴木 一郎 | 090-2222-3333 | 自宅: 0422-11-2222⏎FAX: 03-3333-4444⏎メール: ichiro@example.ne.jp⏎住所: 〒180-0004 東京都 武蔵野市 吉祥寺本町一丁目二番三号 サンプルマンション四〇五号室 日本⏎小学校の同級生。⏎年賀状は毎年送ること。連絡は平日の夜に携帯へ。
john smith | John Smith | +1-555-0100 | メール: john@example.com⏎会社: Example Inc.
)"},
        {"vcard4.vcf", R"(takahashi ken | 高橋 健 | +81-90-1234-5678 | 勤務先: +81-3-1234-5678⏎メール: ken@example.jp⏎四・〇の⏎メモ
itou misaki | 伊藤 美咲 | 03-9999-0000 | 
nakamura shou | 中村 翔 | 070-1111-2222 | 
)"},
        {"docomo21.vcf", R"(tanaka tarou | 田中 太郎 | 090-5555-6666 | 自宅: 03-7777-8888⏎メール: taro.tanaka@docomo.ne.jp⏎ソフト部の先輩。表計算が得意
kimura yoshiko | 木村 ﾖｼｺ | 0120-000-111 | 
)"},
        {"google.csv", R"(yamada tarou | 山田 太郎 | 090-1234-5678 | メール: taro.yamada@example.jp⏎自宅: 03-1111-2222⏎自宅: 03-3333-4444⏎住所: 東京都世田谷区桜1-2-3 154-0015⏎大学の同期。⏎来春、大阪へ転勤予定
suzuki hanako | 鈴木 花子 | 06-5555-6666 | 会社: 株式会社サンプル⏎役職: 営業部長⏎誕生日: 1985-04-01⏎メール: hanako@example.co.jp⏎メール: h.suzuki@example.com⏎FAX: 06-5555-6667⏎URL: https://example.co.jp/
sakurashikakurinikku | さくら歯科クリニック | 045-777-8888 | 
)"},
        {"outlook.csv", R"(tanaka ichiro | Tanaka Ichiro | 080-2222-3333 | 会社: Tanaka Trading, Ltd.⏎FAX: +81-3-5555-0101⏎勤務先: +81-3-5555-0100⏎メール: ichiro@tanaka-trading.example⏎Prefers calls after 10 a.m.⏎Ask for "Ichi".
dr garcia elena maria | Dr. Garcia Elena Maria | +1 415 555 0199 | 自宅: +1 415 555 0198⏎ポケベル: +1 415 555 0150⏎メール: maria.garcia@example.org
)"},
        {"outlook-ja.csv", R"(takahashi kenichi | 髙橋 健一 | 090-8888-9999 | 会社: 髙橋工務店⏎部署: 工事部⏎役職: 代表⏎勤務先住所: 100-0001 東京都 千代田区 千代田1-2-3⏎アシスタント: 03-4444-5557⏎FAX: 03-4444-5556⏎勤務先: 03-4444-5555⏎無線: 090-1111-0000⏎メール: k.takahashi@example.jp⏎現場は①～③の三か所⏎月曜定休
watanabe akira | 渡辺 ｱｷﾗ | 0422-11-4444 | 自宅: 0422-11-2222⏎自宅: 0422-11-3333
)"},
        {"marlo.csv", R"(yamada taro | 山田 太郎 | 090-1234-5678 | 自宅 03-1111-2222⏎会社 03-3333-4444
suzuki hanako | 鈴木 花子 | 06-5555-6666 | "ハナ" と呼ぶこと
sato ichiro | ｻﾄｳ ｲﾁﾛｳ |  0120-000-111 | 
)"},
    };
    for (const auto& [fixture, expected] : fixtures) {
        int skipped = -1;
        EXPECT_EQ(ImportedFrom(fixture, &skipped), expected) << fixture;
        EXPECT_EQ(skipped, 0) << fixture;
    }
}

// A card of more kinds of numbers than a contact looks back through for one already
// there (labels of the user's own, given after the numbers, one of them preferred):
// each number keeps its own label, and the preferred one is the entry's.
TEST(ContactImport, EveryNumberKeepsItsLabelAmongMany) {
    std::string card = "BEGIN:VCARD\r\nFN:A\r\n";
    for (int i = 0; i < 60; ++i)
        card += "g" + std::to_string(i) + ".TEL" + (i == 45 ? ";PREF=1" : "") + ":" + std::to_string(i) + "\r\n";
    std::string memo;
    for (int i = 0; i < 60; ++i) {
        card += "g" + std::to_string(i) + ".X-ABLabel:L" + std::to_string(i % 30) + "\r\n";
        if (i != 45)
            memo += (memo.empty() ? "L" : "\r\nL") + std::to_string(i % 30) + ": " + std::to_string(i);
    }
    card += "END:VCARD\r\n";
    ContactImport import;
    import.AddFile(card, QStringLiteral("card"));
    ASSERT_EQ(import.entries.GetCount(), 1u);
    EXPECT_EQ(import.entries[0].m_strPhone, "45");
    EXPECT_EQ(import.entries[0].m_strMemo, memo);
}

void ExpectReadBack(const RecordList& book, const std::string& file, const std::string& what) {
    ContactImport import;
    import.AddFile(file, QStringLiteral("book"));
    EXPECT_EQ(import.nSkipped, 0) << import.skipReasons.join(u'\n').toStdString();
    ASSERT_EQ(import.entries.GetCount(), book.GetCount()) << what;
    for (std::size_t i = 0; i < book.GetCount(); ++i)
        ASSERT_EQ(import.entries[i], book[i]) << what << " entry " << i;
}

// Export, then import into an empty book, gives back every entry whose romaji name is a
// romaji name, in every format: commas, quotes, semicolons, backslashes, line breaks,
// half-width katakana and the code page's own extensions included.
TEST(ContactImport, ExportThenImportGivesBackTheBook) {
    const char* const pieces[] = {"田中", "ｶﾀｶﾅ", ",", "\"", ";", "\\", " ", "a", "①", "髙", "～", "　", ":", "=",
                                  "0"};
    std::mt19937 random(11);
    const auto text = [&](std::size_t most, bool lines) {
        std::string t;
        for (std::size_t n = random() % (most + 1); n > 0; --n)
            t += lines && random() % 6 == 0 ? "\r\n" : pieces[random() % std::size(pieces)];
        return Sjis(QString::fromUtf8(t));
    };
    const auto romaji = [&] {
        std::string name;
        for (std::size_t words = 1 + random() % 3; words > 0; --words) {
            if (!name.empty())
                name += ' ';
            for (std::size_t n = 1 + random() % 8; n > 0; --n)
                name += "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
        }
        return name;
    };
    // Memos as an import makes them: further numbers, e-mails and details in any order,
    // under their labels, then the note.
    const char* const labeled[] = {"携帯: 090-1\r\n", "自宅: 03-2\r\n", "電話: 4\r\n", "メール: a@b.jp\r\n",
                                   "住所: 東京, 1;2\r\n", "会社: 田中\r\n", "役職: 部長\r\n", "ニックネーム: ﾀﾛ\r\n",
                                   "URL: http://a.jp/?a=1\r\n", "誕生日: 1980-01-01\r\n"};
    RecordList book;
    for (int i = 0; i < 3000; ++i) {
        std::string lines;
        for (std::size_t n = random() % 5; n > 0; --n)
            lines += labeled[random() % std::size(labeled)];
        book.AddTail(PhoneRecord{romaji(), text(6, false), text(3, false), Sjis(QString::fromUtf8(lines)) + text(12, true)});
    }
    for (const int format : {0, 1, 2, 3}) {
        std::string file = ExportContacts(book, static_cast<ExportFormat>(format % 3));
        if (format == 3) { // the vCard again, as UTF-16 with its mark
            const QString text = QString::fromUtf8(file);
            file = "\xFF\xFE";
            for (const QChar c : text) {
                file += static_cast<char>(c.unicode() & 0xFF);
                file += static_cast<char>(c.unicode() >> 8);
            }
        }
        ExpectReadBack(book, file, std::to_string(format));
    }
    // Imported again, every entry is there already.
    ContactImport again;
    again.LeaveOutKnown(book);
    again.AddFile(ExportContacts(book, ExportFormat::VCard), QStringLiteral("book"));
    EXPECT_TRUE(again.entries.IsEmpty());
    EXPECT_EQ(again.nAlreadyThere, static_cast<int>(book.GetCount()));
    // Google's and Outlook's columns, in both encodings. Outlook keeps a name only in its
    // parts: its names are family and given names one blank apart.
    RecordList parted;
    for (const PhoneRecordView entry : book) {
        QString name = Cp932ToUnicode(entry.m_strKanji).replace(u'　', u' ').simplified();
        parted.AddTail(PhoneRecord{std::string(entry.m_strRomaji), Sjis((QStringLiteral("田 ") + name).trimmed()), std::string(entry.m_strPhone),
                                   std::string(entry.m_strMemo)});
    }
    for (const ExportFormat format : {ExportFormat::CsvUtf8, ExportFormat::CsvCp932}) {
        ExpectReadBack(book, ExportContacts(book, format, CsvDialect::Google), "google");
        ExpectReadBack(parted, ExportContacts(parted, format, CsvDialect::Outlook), "outlook");
    }
    // Cards and rows whose numbers, e-mails and details interleave come back as they went.
    for (const char* fixture : {"iphone.vcf", "google.csv", "android.vcf"}) {
        ContactImport import;
        import.AddFile(ReadAll(std::string(MARLO_CONTACTS_DIR) + "/" + fixture), QStringLiteral("f"));
        RecordList imported;
        for (const PhoneRecord& record : import.Records())
            imported.AddTail(record);
        for (const int format : {0, 1, 2})
            ExpectReadBack(imported, ExportContacts(imported, static_cast<ExportFormat>(format)), fixture);
        ExpectReadBack(imported, ExportContacts(imported, ExportFormat::CsvUtf8, CsvDialect::Google), fixture);
    }
}

// Text that is no contacts is refused whole, nothing added: a CSV needs a heading row
// naming a name or a number column, whatever its separator.
TEST(ContactImport, RefusesWhatIsNotContacts) {
    const std::string files[] = {
        "# Notes\n\nSome text, and more text.\n",
        std::string("\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0\x3E\0\x01\0\0\0", 24),
        "Notes,Address\r\nx,y\r\n",
        "\xE5\xB1\xB1\xE7\x94\xB0,090-1111-2222\r\n", // a row of contacts without headings
        "",
        std::string("h\0i\0,\0t\0h\0e\0r\0e\0\n\0", 18), // UTF-16 without its mark: still no heading
    };
    for (const std::string& file : files) {
        ContactImport import;
        EXPECT_THROW(import.AddFile(file, QStringLiteral("f")), ArchiveError) << ToHex(file);
        EXPECT_TRUE(import.entries.IsEmpty());
    }
}

// What real programs write that was misread: each file gives these entries, and nothing
// is skipped.
TEST(ContactImport, RealProgramsFilesGiveTheseEntries) {
    const std::pair<const char*, const char*> cases[] = {
        // separated by semicolons: the heading row is no entry
        {"semicolon.csv", "john doe | John Doe |  | メール: john@doe.invalid\n"},
        // UTF-16LE without a byte-order mark
        {"enc_utf16le_nobom.vcf", "suzuki ichirou | 鈴木 一郎 | 090-1111-0003 | \n"},
        // ORG and nothing else to name it
        {"org_only.vcf", "bike shop | Bike Shop | 03-1234-5678 | \n"},
        // FN of a Western name, N the other way round
        {"western.vcf", "john doe | John Doe | 1 | \n"},
        // quoted-printable Shift_JIS without a CHARSET, the reading in half-width kana
        {"enc_qp_sjis_nocharset.vcf", "yamada hanako | 山田 花子 | 090-1111-0002 | \n"},
        // a desktop mail program's columns: the display name, e-mail and numbers
        {"thunderbird.csv", "john doe | John Doe | 03-1111-1111 | メール: john@example.com⏎携帯: 090-2222-2222\n"},
        // every one of a mail suite's phone columns, in code page 932
        {"outlook_full_cp932.csv",
         "satou hanako | 佐藤 花子 | 00-0012 | 会社: テスト商事⏎アシスタント: 00-0001⏎FAX: 00-0002⏎勤務先: 00-0003⏎勤務先: 00-0004⏎"
         "コールバック: 00-0005⏎自動車: 00-0006⏎勤務先: 00-0007⏎FAX: 00-0008⏎自宅: 00-0009⏎自宅: 00-0010⏎"
         "ISDN: 00-0011⏎FAX: 00-0013⏎その他: 00-0014⏎ポケベル: 00-0015⏎無線: 00-0017⏎TTY/TDD: 00-0018⏎"
         "テレックス: 00-0019⏎メール: hanako@example.jp⏎メモ\n"},
        // lines ended CR CR LF, with a folded NOTE
        {"ios_crcrlf_note.vcf",
         "bob smith | Bob Smith | (650) 555-1212 | first part of a long note that the phone folded at "
         "seventy-five octets and this is the rest\n"},
    };
    for (const auto& [fixture, expected] : cases) {
        int skipped = -1;
        EXPECT_EQ(ImportedFrom(fixture, &skipped), expected) << fixture;
        EXPECT_EQ(skipped, 0) << fixture;
    }
}

// An entry equal in all four fields to one of the book, or to one before it, is left
// out and counted; one that differs in any field is not.
TEST(ContactImport, LeavesOutWhatTheBookHasAlready) {
    RecordList book;
    book.AddTail(PhoneRecord{"yamada", "山田", "03", "memo"});
    ContactImport import;
    const auto add = [&import](const PhoneRecord& record) {
        ImportedEntry entry;
        entry.record = record;
        import.Add(std::move(entry));
    };
    // Two added before the book is known, two after.
    add({"yamada", "山田", "03", "memo"});
    add({"yamada", "山田", "03", "memo2"});
    import.LeaveOutKnown(book);
    add({"yamada", "山田", "03", "memo2"});
    add({"yamada", "山田", "030", "memo"});
    EXPECT_EQ(import.Records(), (std::vector<PhoneRecord>{{"yamada", "山田", "03", "memo2"}, {"yamada", "山田", "030", "memo"}}));
    EXPECT_EQ(import.nAlreadyThere, 2);
    EXPECT_TRUE(import.Describe().contains(QStringLiteral("電話帳にすでにあるため追加しなかった項目: 2 件")));
}
