#include "interop/ContactImport.h"

#include "../TestUtil.h"

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

// Failures show an entry's bytes.
void PrintTo(const PhoneRecord& r, std::ostream* os) {
    *os << "{" << ToHex(r.m_strRomaji) << " | " << ToHex(r.m_strKanji) << " | " << ToHex(r.m_strPhone) << " | "
        << ToHex(r.m_strMemo) << "}";
}

// Where each field of an entry comes from, one case per source of the romaji name.
TEST(ContactImport, EntryFieldsFromAContact) {
    Contact full = Named(QStringLiteral("田中 一郎"));
    full.familyReading = QStringLiteral("たなか");
    full.givenReading = QStringLiteral("イチロウ");
    full.phones = {{QStringLiteral("03-1111-2222"), QStringLiteral("自宅"), false},
                   {QStringLiteral("090-3333-4444"), QStringLiteral("携帯"), true},
                   {QStringLiteral("06-5555-6666"), QString(), false}};
    full.emails = {QStringLiteral("ichiro@example.jp")};
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
    email.emails = {QStringLiteral(" taro.yamada@example.jp")};
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
    contact.phones = {{QStringLiteral("03-1234"), QString(), false}};
    contact.note = QStringLiteral("寿司🍣好き");
    ContactImport import;
    import.entries.push_back(EntryFromContact(contact));
    const ImportedEntry& entry = import.entries[0];
    EXPECT_EQ(entry.record.m_strKanji, Sjis(QStringLiteral("田 ")));
    EXPECT_EQ(entry.record.m_strMemo, Sjis(QStringLiteral("寿司好き")));
    EXPECT_EQ(entry.record.m_strPhone, "03-1234");
    EXPECT_EQ(entry.dropped, QStringLiteral("𠀋🍣"));
    EXPECT_TRUE(entry.bNoReading); // nothing reads 𠀋田
    EXPECT_EQ(entry.record.m_strRomaji, "");
    Contact numberOnly; // named in the report by its number
    numberOnly.phones = {{QStringLiteral("090-1"), QString(), false}};
    import.entries.push_back(EntryFromContact(numberOnly));
    const QString report = import.Describe();
    EXPECT_TRUE(report.contains(QStringLiteral("ローマ字名が空の項目: 2 件 「𠀋田 🍣」、「090-1」"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("「𠀋田 🍣」の 「𠀋」「🍣」"))) << report.toStdString();
    EXPECT_TRUE(ContactImport().Describe().isEmpty());
}

// The hand-written files, shaped as phones and address books write them, give these
// entries to the byte: an iPhone's vCard 3.0, Android's 2.1 in quoted-printable UTF-8,
// a 4.0 with SORT-AS and PHONETIC, an old handset's 2.1 in Shift_JIS with half-width
// readings; Google's and Outlook's CSV (the Japanese one in code page 932), Marlo's own.
TEST(ContactImport, HandWrittenFilesGiveTheseEntries) {
    struct Fixture {
        const char* file;
        std::vector<PhoneRecord> entries;
    };
    const Fixture fixtures[] = {
    {"iphone.vcf",
     {
         // 山田 太郎 | 090-1234-5678 | その他: 03-1111-2222 ⏎ メール: taro@example.jp ⏎ 誕生日会は ⏎ 土曜日
         {"yamada tarou", "\x8ER\x93" "c \x91\xBE\x98Y", "090-1234-5678",
          "\x82\xBB\x82\xCC\x91\xBC: 03-1111-2222\x0D\x0A\x83\x81\x81[\x83\x8B: taro@example.jp\x0D\x0A\x92" "a\x90\xB6\x93\xFA\x89\xEF\x82\xCD\x0D\x0A\x93y\x97j\x93\xFA"},
         // 佐藤 花子 | 06-6666-7777 | 携帯: 080-9876-5432 ⏎ 自宅: 045-123-4567 ⏎ メール: hanako.sato@example.co.jp ⏎ 鍵は, 管理人室; 夜間は\裏口
         {"satou hanako", "\x8D\xB2\x93\xA1 \x89\xD4\x8Eq", "06-6666-7777",
          "\x8Cg\x91\xD1: 080-9876-5432\x0D\x0A\x8E\xA9\x91\xEE: 045-123-4567\x0D\x0A\x83\x81\x81[\x83\x8B: hanako.sato@example.co.jp\x0D\x0A\x8C\xAE\x82\xCD, \x8A\xC7\x97\x9D\x90l\x8E\xBA; \x96\xE9\x8A\xD4\x82\xCD\x5C\x97\xA0\x8C\xFB"},
         // 株式会社サンプル | 03-5555-0000 | 
         {"kabushikigaishasanpuru", "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\x83T\x83\x93\x83v\x83\x8B", "03-5555-0000",
          ""},
     }},
    {"android.vcf",
     {
         // 鈴木 一郎 | 090-2222-3333 | 自宅: 0422-11-2222 ⏎ FAX: 03-3333-4444 ⏎ メール: ichiro@example.ne.jp ⏎ 小学校の同級生。 ⏎ 年賀状は毎年送ること。連絡は平日の夜に携帯へ。
         {"suzuki ichirou", "\x97\xE9\x96\xD8 \x88\xEA\x98Y", "090-2222-3333",
          "\x8E\xA9\x91\xEE: 0422-11-2222\x0D\x0A" "FAX: 03-3333-4444\x0D\x0A\x83\x81\x81[\x83\x8B: ichiro@example.ne.jp\x0D\x0A\x8F\xAC\x8Aw\x8DZ\x82\xCC\x93\xAF\x8B\x89\x90\xB6\x81" "B\x0D\x0A\x94N\x89\xEA\x8F\xF3\x82\xCD\x96\x88\x94N\x91\x97\x82\xE9\x82\xB1\x82\xC6\x81" "B\x98" "A\x97\x8D\x82\xCD\x95\xBD\x93\xFA\x82\xCC\x96\xE9\x82\xC9\x8Cg\x91\xD1\x82\xD6\x81" "B"},
         // John Smith | +1-555-0100 | メール: john@example.com
         {"john smith", "John Smith", "+1-555-0100",
          "\x83\x81\x81[\x83\x8B: john@example.com"},
     }},
    {"vcard4.vcf",
     {
         // 高橋 健 | +81-90-1234-5678 | 勤務先: +81-3-1234-5678 ⏎ メール: ken@example.jp ⏎ 四・〇の ⏎ メモ
         {"takahashi ken", "\x8D\x82\x8B\xB4 \x8C\x92", "+81-90-1234-5678",
          "\x8B\xCE\x96\xB1\x90\xE6: +81-3-1234-5678\x0D\x0A\x83\x81\x81[\x83\x8B: ken@example.jp\x0D\x0A\x8El\x81" "E\x81Z\x82\xCC\x0D\x0A\x83\x81\x83\x82"},
         // 伊藤 美咲 | 03-9999-0000 | 
         {"itou misaki", "\x88\xC9\x93\xA1 \x94\xFC\x8D\xE7", "03-9999-0000",
          ""},
         // 中村 翔 | 070-1111-2222 | 
         {"nakamura shou", "\x92\x86\x91\xBA \xE3\xC4", "070-1111-2222",
          ""},
     }},
    {"docomo21.vcf",
     {
         // 田中 太郎 | 090-5555-6666 | 自宅: 03-7777-8888 ⏎ メール: taro.tanaka@docomo.ne.jp ⏎ ソフト部の先輩。表計算が得意
         {"tanaka tarou", "\x93" "c\x92\x86 \x91\xBE\x98Y", "090-5555-6666",
          "\x8E\xA9\x91\xEE: 03-7777-8888\x0D\x0A\x83\x81\x81[\x83\x8B: taro.tanaka@docomo.ne.jp\x0D\x0A\x83\x5C\x83t\x83g\x95\x94\x82\xCC\x90\xE6\x94y\x81" "B\x95\x5C\x8Cv\x8EZ\x82\xAA\x93\xBE\x88\xD3"},
         // 木村 ﾖｼｺ | 0120-000-111 | 
         {"kimura yoshiko", "\x96\xD8\x91\xBA \xD6\xBC\xBA", "0120-000-111",
          ""},
     }},
    {"google.csv",
     {
         // 山田 太郎 | 090-1234-5678 | 自宅: 03-1111-2222 ⏎ 自宅: 03-3333-4444 ⏎ メール: taro.yamada@example.jp ⏎ 大学の同期。 ⏎ 来春、大阪へ転勤予定
         {"yamada tarou", "\x8ER\x93" "c \x91\xBE\x98Y", "090-1234-5678",
          "\x8E\xA9\x91\xEE: 03-1111-2222\x0D\x0A\x8E\xA9\x91\xEE: 03-3333-4444\x0D\x0A\x83\x81\x81[\x83\x8B: taro.yamada@example.jp\x0D\x0A\x91\xE5\x8Aw\x82\xCC\x93\xAF\x8A\xFA\x81" "B\x0D\x0A\x97\x88\x8Ft\x81" "A\x91\xE5\x8D\xE3\x82\xD6\x93]\x8B\xCE\x97\x5C\x92\xE8"},
         // 鈴木 花子 | 06-5555-6666 | FAX: 06-5555-6667 ⏎ メール: hanako@example.co.jp ⏎ メール: h.suzuki@example.com
         {"suzuki hanako", "\x97\xE9\x96\xD8 \x89\xD4\x8Eq", "06-5555-6666",
          "FAX: 06-5555-6667\x0D\x0A\x83\x81\x81[\x83\x8B: hanako@example.co.jp\x0D\x0A\x83\x81\x81[\x83\x8B: h.suzuki@example.com"},
         // さくら歯科クリニック | 045-777-8888 | 
         {"sakurashikakurinikku", "\x82\xB3\x82\xAD\x82\xE7\x8E\x95\x89\xC8\x83N\x83\x8A\x83j\x83" "b\x83N", "045-777-8888",
          ""},
     }},
    {"outlook.csv",
     {
         // Tanaka Ichiro | 080-2222-3333 | FAX: +81-3-5555-0101 ⏎ 勤務先: +81-3-5555-0100 ⏎ メール: ichiro@tanaka-trading.example ⏎ Prefers calls after 10 a.m. ⏎ Ask for "Ichi".
         {"tanaka ichiro", "Tanaka Ichiro", "080-2222-3333",
          "FAX: +81-3-5555-0101\x0D\x0A\x8B\xCE\x96\xB1\x90\xE6: +81-3-5555-0100\x0D\x0A\x83\x81\x81[\x83\x8B: ichiro@tanaka-trading.example\x0D\x0APrefers calls after 10 a.m.\x0D\x0A" "Ask for \x22Ichi\x22."},
         // Dr. Garcia Elena Maria | +1 415 555 0199 | 自宅: +1 415 555 0198 ⏎ ポケベル: +1 415 555 0150 ⏎ メール: maria.garcia@example.org
         {"dr garcia elena maria", "Dr. Garcia Elena Maria", "+1 415 555 0199",
          "\x8E\xA9\x91\xEE: +1 415 555 0198\x0D\x0A\x83|\x83P\x83x\x83\x8B: +1 415 555 0150\x0D\x0A\x83\x81\x81[\x83\x8B: maria.garcia@example.org"},
     }},
    {"outlook-ja.csv",
     {
         // 髙橋 健一 | 090-8888-9999 | FAX: 03-4444-5556 ⏎ 勤務先: 03-4444-5555 ⏎ メール: k.takahashi@example.jp ⏎ 現場は①～③の三か所 ⏎ 月曜定休
         // (the file writes 髙 in the NEC-selected row, EE E0; an entry gets the code page's own FB FC)
         {"takahashi kenichi", "\xFB\xFC\x8B\xB4 \x8C\x92\x88\xEA", "090-8888-9999",
          "FAX: 03-4444-5556\x0D\x0A\x8B\xCE\x96\xB1\x90\xE6: 03-4444-5555\x0D\x0A\x83\x81\x81[\x83\x8B: k.takahashi@example.jp\x0D\x0A\x8C\xBB\x8F\xEA\x82\xCD\x87@\x81`\x87" "B\x82\xCC\x8EO\x82\xA9\x8F\x8A\x0D\x0A\x8C\x8E\x97j\x92\xE8\x8Bx"},
         // 渡辺 ｱｷﾗ | 0422-11-4444 | 自宅: 0422-11-2222 ⏎ 自宅: 0422-11-3333
         {"watanabe akira", "\x93n\x95\xD3 \xB1\xB7\xD7", "0422-11-4444",
          "\x8E\xA9\x91\xEE: 0422-11-2222\x0D\x0A\x8E\xA9\x91\xEE: 0422-11-3333"},
     }},
    {"marlo.csv",
     {
         // 山田 太郎 | 090-1234-5678 | 自宅 03-1111-2222 ⏎ 会社 03-3333-4444
         {"yamada taro", "\x8ER\x93" "c \x91\xBE\x98Y", "090-1234-5678",
          "\x8E\xA9\x91\xEE 03-1111-2222\x0D\x0A\x89\xEF\x8E\xD0 03-3333-4444"},
         // 鈴木 花子 | 06-5555-6666 | "ハナ" と呼ぶこと
         {"suzuki hanako", "\x97\xE9\x96\xD8 \x89\xD4\x8Eq", "06-5555-6666",
          "\x22\x83n\x83i\x22 \x82\xC6\x8C\xC4\x82\xD4\x82\xB1\x82\xC6"},
         // ｻﾄｳ ｲﾁﾛｳ |  0120-000-111 | 
         {"sato ichiro", "\xBB\xC4\xB3 \xB2\xC1\xDB\xB3", " 0120-000-111",
          ""},
     }},
    };
    for (const Fixture& fixture : fixtures) {
        ContactImport import;
        import.AddFile(ReadAll(std::string(MARLO_CONTACTS_DIR) + "/" + fixture.file), QStringLiteral("f"));
        EXPECT_EQ(import.nSkipped, 0) << fixture.file;
        EXPECT_EQ(import.Records(), fixture.entries) << fixture.file;
    }
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
    RecordList book;
    for (int i = 0; i < 3000; ++i)
        book.AddTail(PhoneRecord{romaji(), text(6, false), text(3, false), text(12, true)});
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
        ContactImport import;
        import.AddFile(file, QStringLiteral("book"));
        EXPECT_EQ(import.nSkipped, 0) << import.skipReasons.join(u'\n').toStdString();
        ASSERT_EQ(import.entries.size(), book.GetCount()) << format;
        for (std::size_t i = 0; i < book.GetCount(); ++i)
            ASSERT_EQ(import.entries[i].record, book[i].ToRecord()) << format << " entry " << i;
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
        EXPECT_TRUE(import.entries.empty());
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
