#include "interop/CsvHeadings.h"

#include <array>

namespace CsvHeadings {
namespace {

struct KnownHeading {
    const char16_t* name; ///< '#' stands for a number 1 to 999
    Field field;
    const char16_t* kindWords = nullptr; ///< Phone: words for PhoneKindFromLabels when not the heading
                                         ///< itself; Detail: the memo's label
    unsigned char group = 0; ///< Detail: the columns of one label and group make one line (an address)
};

// The memo's labels of details.
constexpr const char16_t* kAddress = u"住所";
constexpr const char16_t* kWorkAddress = u"勤務先住所";
constexpr const char16_t* kTitle = u"役職";
constexpr const char16_t* kUrl = u"URL";
constexpr const char16_t* kDepartment = u"部署";

// Marlo's own, Google Contacts' (the current export and the older one), Outlook's and
// Thunderbird's, in English and in Japanese.
constexpr std::array kKnownHeadings{
    KnownHeading{u"ローマ字名", Field::Romaji},
    KnownHeading{u"漢字名", Field::FormattedName},
    KnownHeading{u"電話番号", Field::Phone},
    KnownHeading{u"メモ", Field::Note},

    KnownHeading{u"First Name", Field::Given},
    KnownHeading{u"Middle Name", Field::Middle},
    KnownHeading{u"Last Name", Field::Family},
    KnownHeading{u"Phonetic First Name", Field::GivenReading},
    KnownHeading{u"Phonetic Middle Name", Field::MiddleReading},
    KnownHeading{u"Phonetic Last Name", Field::FamilyReading},
    KnownHeading{u"Name Prefix", Field::Prefix},
    KnownHeading{u"Name Suffix", Field::Suffix},
    KnownHeading{u"Nickname", Field::Nickname},
    KnownHeading{u"File As", Field::Unused},
    KnownHeading{u"Organization Name", Field::Organization},
    KnownHeading{u"Phonetic Organization Name", Field::OrganizationReading},
    KnownHeading{u"Notes", Field::Note},
    KnownHeading{u"E-mail # - Label", Field::Unused},
    KnownHeading{u"E-mail # - Value", Field::EmailValue},
    KnownHeading{u"Phone # - Label", Field::PhoneLabel},
    KnownHeading{u"Phone # - Value", Field::PhoneValue},

    KnownHeading{u"Name", Field::FormattedName},
    KnownHeading{u"Given Name", Field::Given},
    KnownHeading{u"Additional Name", Field::Middle},
    KnownHeading{u"Family Name", Field::Family},
    KnownHeading{u"Yomi Name", Field::Reading},
    KnownHeading{u"Given Name Yomi", Field::GivenReading},
    KnownHeading{u"Additional Name Yomi", Field::MiddleReading},
    KnownHeading{u"Family Name Yomi", Field::FamilyReading},
    KnownHeading{u"E-mail # - Type", Field::Unused},
    // the same as converters of iCloud's cards write them
    KnownHeading{u"Email # - Type", Field::Unused},
    KnownHeading{u"Email # - Value", Field::EmailValue},
    KnownHeading{u"Phone # - Type", Field::PhoneLabel},

    KnownHeading{u"Title", Field::Prefix},
    KnownHeading{u"Suffix", Field::Suffix},
    KnownHeading{u"Company", Field::Organization},
    KnownHeading{u"E-mail Address", Field::Email},
    KnownHeading{u"E-mail # Address", Field::Email},
    KnownHeading{u"Mobile Phone", Field::Phone},
    KnownHeading{u"Home Phone", Field::Phone},
    KnownHeading{u"Home Phone #", Field::Phone},
    KnownHeading{u"Business Phone", Field::Phone},
    KnownHeading{u"Business Phone #", Field::Phone},
    KnownHeading{u"Business Fax", Field::Phone},
    KnownHeading{u"Home Fax", Field::Phone},
    KnownHeading{u"Other Fax", Field::Phone},
    KnownHeading{u"Other Phone", Field::Phone},
    KnownHeading{u"Primary Phone", Field::PreferredPhone},
    KnownHeading{u"Company Main Phone", Field::Phone},
    KnownHeading{u"Car Phone", Field::Phone, u"自動車"},
    KnownHeading{u"Pager", Field::Phone},
    KnownHeading{u"Assistant's Phone", Field::Phone, u"アシスタント"},
    KnownHeading{u"Callback", Field::Phone, u"コールバック"},
    KnownHeading{u"ISDN", Field::Phone, u"ISDN"},
    KnownHeading{u"Radio Phone", Field::Phone, u"無線"},
    KnownHeading{u"TTY/TDD Phone", Field::Phone, u"TTY/TDD"},
    KnownHeading{u"Telex", Field::Phone, u"テレックス"},
    KnownHeading{u"Department", Field::Detail, kDepartment},
    KnownHeading{u"Job Title", Field::Detail, kTitle},
    KnownHeading{u"Web Page", Field::Detail, kUrl},
    KnownHeading{u"Birthday", Field::Detail, kBirthday},
    KnownHeading{u"Business Postal Code", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"Business State", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"Business City", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"Business Street", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"Business Street #", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"Business Country/Region", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"Home Postal Code", Field::Detail, kAddress, 2},
    KnownHeading{u"Home State", Field::Detail, kAddress, 2},
    KnownHeading{u"Home City", Field::Detail, kAddress, 2},
    KnownHeading{u"Home Street", Field::Detail, kAddress, 2},
    KnownHeading{u"Home Street #", Field::Detail, kAddress, 2},
    KnownHeading{u"Home Country/Region", Field::Detail, kAddress, 2},
    KnownHeading{u"Other Postal Code", Field::Detail, kAddress, 3},
    KnownHeading{u"Other State", Field::Detail, kAddress, 3},
    KnownHeading{u"Other City", Field::Detail, kAddress, 3},
    KnownHeading{u"Other Street", Field::Detail, kAddress, 3},
    KnownHeading{u"Other Street #", Field::Detail, kAddress, 3},
    KnownHeading{u"Other Country/Region", Field::Detail, kAddress, 3},
    KnownHeading{u"Business Country", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"Other Country", Field::Detail, kAddress, 3},
    KnownHeading{u"Business Address PO Box", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"Home Address PO Box", Field::Detail, kAddress, 2},
    KnownHeading{u"Other Address PO Box", Field::Detail, kAddress, 3},
    // Outlook.com's readings
    KnownHeading{u"Surname Yomi", Field::FamilyReading},
    KnownHeading{u"Given Yomi", Field::GivenReading},
    KnownHeading{u"Company Yomi", Field::OrganizationReading},

    KnownHeading{u"Display Name", Field::FormattedName},
    KnownHeading{u"Primary Email", Field::Email},
    KnownHeading{u"Secondary Email", Field::Email},
    KnownHeading{u"Work Phone", Field::Phone},
    KnownHeading{u"Fax Number", Field::Phone},
    KnownHeading{u"Pager Number", Field::Phone, u"PAGER"},
    KnownHeading{u"Mobile Number", Field::Phone},
    KnownHeading{u"Home ZipCode", Field::Detail, kAddress, 4},
    KnownHeading{u"Home Address", Field::Detail, kAddress, 4},
    KnownHeading{u"Home Address #", Field::Detail, kAddress, 4},
    KnownHeading{u"Home Country", Field::Detail, kAddress, 4},
    KnownHeading{u"Work ZipCode", Field::Detail, kWorkAddress, 5},
    KnownHeading{u"Work State", Field::Detail, kWorkAddress, 5},
    KnownHeading{u"Work City", Field::Detail, kWorkAddress, 5},
    KnownHeading{u"Work Address", Field::Detail, kWorkAddress, 5},
    KnownHeading{u"Work Address #", Field::Detail, kWorkAddress, 5},
    KnownHeading{u"Work Country", Field::Detail, kWorkAddress, 5},
    KnownHeading{u"Web Page #", Field::Detail, kUrl},
    KnownHeading{u"Birth Year", Field::Detail, kBirthday, 6},
    KnownHeading{u"Birth Month", Field::Detail, kBirthday, 6},
    KnownHeading{u"Birth Day", Field::Detail, kBirthday, 6},
    KnownHeading{u"Address # - Formatted", Field::Detail, kAddress, 7},
    KnownHeading{u"Organization # - Name", Field::Organization},
    KnownHeading{u"Organization # - Yomi Name", Field::OrganizationReading},
    KnownHeading{u"Organization # - Title", Field::Detail, kTitle},
    KnownHeading{u"Organization # - Department", Field::Detail, kDepartment},
    KnownHeading{u"Organization Title", Field::Detail, kTitle},
    KnownHeading{u"Organization Department", Field::Detail, kDepartment},
    KnownHeading{u"Website # - Value", Field::Detail, kUrl},

    KnownHeading{u"表示名", Field::FormattedName},
    KnownHeading{u"ニックネーム", Field::Nickname},
    KnownHeading{u"電子メール", Field::Email},
    KnownHeading{u"第 2 電子メール", Field::Email},
    KnownHeading{u"勤務先電話番号", Field::Phone},
    KnownHeading{u"自宅電話番号", Field::Phone},
    KnownHeading{u"FAX 番号", Field::Phone},
    KnownHeading{u"ポケットベル番号", Field::Phone, u"PAGER"},
    KnownHeading{u"携帯電話番号", Field::Phone},
    KnownHeading{u"郵便番号", Field::Detail, kAddress, 8},
    KnownHeading{u"都道府県", Field::Detail, kAddress, 8},
    KnownHeading{u"市区町村", Field::Detail, kAddress, 8},
    KnownHeading{u"住所", Field::Detail, kAddress, 8},
    KnownHeading{u"住所 2", Field::Detail, kAddress, 8},
    KnownHeading{u"国", Field::Detail, kAddress, 8},
    KnownHeading{u"勤務先郵便番号", Field::Detail, kWorkAddress, 9},
    KnownHeading{u"勤務先都道府県", Field::Detail, kWorkAddress, 9},
    KnownHeading{u"勤務先市区町村", Field::Detail, kWorkAddress, 9},
    KnownHeading{u"勤務先住所", Field::Detail, kWorkAddress, 9},
    KnownHeading{u"勤務先住所 2", Field::Detail, kWorkAddress, 9},
    KnownHeading{u"勤務先国", Field::Detail, kWorkAddress, 9},
    KnownHeading{u"役職", Field::Detail, kTitle},
    KnownHeading{u"部署", Field::Detail, kDepartment},
    KnownHeading{u"勤務先", Field::Organization},
    KnownHeading{u"Web ページ #", Field::Detail, kUrl},
    KnownHeading{u"生年", Field::Detail, kBirthday, 10},
    KnownHeading{u"生月", Field::Detail, kBirthday, 10},
    KnownHeading{u"生日", Field::Detail, kBirthday, 10},

    // Japanese Outlook's, in the order of its columns where it has them: its title before
    // the name, its suffix (様, 殿) after it.
    KnownHeading{u"肩書き", Field::Prefix},
    KnownHeading{u"敬称", Field::Suffix},
    KnownHeading{u"姓", Field::Family},
    KnownHeading{u"名", Field::Given},
    KnownHeading{u"ミドル ネーム", Field::Middle},
    KnownHeading{u"姓 (ふりがな)", Field::FamilyReading},
    KnownHeading{u"名 (ふりがな)", Field::GivenReading},
    KnownHeading{u"ミドル ネーム (ふりがな)", Field::MiddleReading},
    KnownHeading{u"姓 (フリガナ)", Field::FamilyReading},
    KnownHeading{u"名 (フリガナ)", Field::GivenReading},
    KnownHeading{u"ミドル ネーム (フリガナ)", Field::MiddleReading},
    KnownHeading{u"会社名", Field::Organization},
    KnownHeading{u"会社名 (ふりがな)", Field::OrganizationReading},
    KnownHeading{u"会社名 (フリガナ)", Field::OrganizationReading},
    KnownHeading{u"姓フリガナ", Field::FamilyReading},
    KnownHeading{u"名前フリガナ", Field::GivenReading},
    KnownHeading{u"会社名フリガナ", Field::OrganizationReading},
    KnownHeading{u"郵便番号 (会社)", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"都道府県 (会社)", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"市町村 (会社)", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"番地 (会社)", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"住所 # (会社)", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"国 (会社)/地域", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"会社住所私書箱", Field::Detail, kWorkAddress, 1},
    KnownHeading{u"郵便番号 (自宅)", Field::Detail, kAddress, 2},
    KnownHeading{u"都道府県 (自宅)", Field::Detail, kAddress, 2},
    KnownHeading{u"市町村 (自宅)", Field::Detail, kAddress, 2},
    KnownHeading{u"番地 (自宅)", Field::Detail, kAddress, 2},
    KnownHeading{u"住所 # (自宅)", Field::Detail, kAddress, 2},
    KnownHeading{u"国 (自宅)/地域", Field::Detail, kAddress, 2},
    KnownHeading{u"自宅住所私書箱", Field::Detail, kAddress, 2},
    KnownHeading{u"郵便番号 (その他)", Field::Detail, kAddress, 3},
    KnownHeading{u"都道府県 (その他)", Field::Detail, kAddress, 3},
    KnownHeading{u"市町村 (その他)", Field::Detail, kAddress, 3},
    KnownHeading{u"番地 (その他)", Field::Detail, kAddress, 3},
    KnownHeading{u"住所 # (その他)", Field::Detail, kAddress, 3},
    KnownHeading{u"国 (その他)/地域", Field::Detail, kAddress, 3},
    KnownHeading{u"その他住所私書箱", Field::Detail, kAddress, 3},
    KnownHeading{u"誕生日", Field::Detail, kBirthday},
    KnownHeading{u"Web ページ", Field::Detail, kUrl},
    KnownHeading{u"携帯電話", Field::Phone},
    KnownHeading{u"自宅電話", Field::Phone},
    KnownHeading{u"自宅電話 #", Field::Phone},
    KnownHeading{u"会社電話", Field::Phone},
    KnownHeading{u"会社電話 #", Field::Phone},
    KnownHeading{u"会社 FAX", Field::Phone},
    KnownHeading{u"自宅 FAX", Field::Phone},
    KnownHeading{u"その他の FAX", Field::Phone},
    KnownHeading{u"その他の電話", Field::Phone},
    KnownHeading{u"通常使う電話", Field::PreferredPhone},
    KnownHeading{u"通常の電話", Field::PreferredPhone},
    KnownHeading{u"秘書の電話", Field::Phone, u"アシスタント"},
    KnownHeading{u"コールバック", Field::Phone, u"コールバック"},
    KnownHeading{u"無線電話", Field::Phone, u"無線"},
    KnownHeading{u"TTY/TDD", Field::Phone, u"TTY/TDD"},
    KnownHeading{u"テレックス", Field::Phone, u"テレックス"},
    KnownHeading{u"会社代表電話", Field::Phone},
    KnownHeading{u"自動車電話", Field::Phone, u"自動車"},
    KnownHeading{u"ポケットベル", Field::Phone, u"PAGER"},
    KnownHeading{u"電子メール アドレス", Field::Email},
    KnownHeading{u"電子メール # アドレス", Field::Email},
};

} // namespace

HeadingKey MakeHeadingKey(QStringView text) {
    HeadingKey out;
    enum class Number { None, Inside, Done } number = Number::None;
    int digits = 0;
    for (const QChar ch : text) {
        if (ch >= u'0' && ch <= u'9') {
            if (number == Number::Done || ++digits > 3)
                return {};
            if (number == Number::None)
                out.key += u'#';
            number = Number::Inside;
            out.number = out.number * 10 + static_cast<unsigned>(ch.unicode() - u'0');
            continue;
        }
        if (number == Number::Inside)
            number = Number::Done;
        if (ch.isSpace())
            continue;
        if (ch == u'\uFF08')
            out.key += u'(';
        else if (ch == u'\uFF09')
            out.key += u')';
        else
            out.key += ch.toCaseFolded();
    }
    if (number != Number::None && out.number == 0)
        return {};
    return out;
}

const QHash<QString, HeadingMeaning>& KnownHeadingTable() {
    static const QHash<QString, HeadingMeaning> table = [] {
        QHash<QString, HeadingMeaning> built;
        for (std::size_t i = 0; i < kKnownHeadings.size(); ++i) {
            const KnownHeading& known = kKnownHeadings[i];
            built.insert(MakeHeadingKey(QStringView(known.name)).key,
                         HeadingMeaning{known.field, known.kindWords, known.group, static_cast<unsigned short>(i)});
        }
        return built;
    }();
    return table;
}

} // namespace CsvHeadings
