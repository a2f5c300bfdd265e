#include "interop/VCard.h"

#include "../TestUtil.h"
#include "platform/Cp932.h"

#include <QDir>
#include <gtest/gtest.h>

#include <functional>

namespace {

std::string Sjis(const char* utf8) {
    return UnicodeToCp932(QString::fromUtf8(utf8)).bytes;
}

// A phone's card with what the book does not show: a photo, an address, a group, an
// unknown property, a labelled second number, and LF line ends.
constexpr std::string_view kPhoneCard = "BEGIN:VCARD\n"
                                        "VERSION:3.0\n"
                                        "UID:4F1C-77\n"
                                        "N:山田;太郎;;;\n"
                                        "FN:山田 太郎\n"
                                        "X-PHONETIC-LAST-NAME:ヤマダ\n"
                                        "X-PHONETIC-FIRST-NAME:タロウ\n"
                                        "TEL;TYPE=CELL:090-1111-2222\n"
                                        "item1.TEL:03-3333-4444\n"
                                        "item1.X-ABLabel:_$!<Other>!$_\n"
                                        "ADR;TYPE=HOME:;;千代田1-2-3;千代田区;東京都;100-0001;日本\n"
                                        "CATEGORIES:営業,東京\n"
                                        "X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;たろ\n"
                                        "NOTE:会議は月曜\n"
                                        "PHOTO;ENCODING=b;TYPE=JPEG:AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIj\n"
                                        " JCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWl\n"
                                        "END:VCARD\n";

// The card's lines that hold `name` (its group's label too), as they stand.
std::vector<std::string> Lines(std::string_view card) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < card.size();) {
        std::size_t end = card.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = card.size();
        if (end > start)
            lines.emplace_back(card.substr(start, end - start));
        start = card.find_first_not_of("\r\n", end);
        if (start == std::string_view::npos)
            break;
    }
    return lines;
}

bool HasLine(std::string_view card, std::string_view line) {
    for (const std::string& l : Lines(card))
        if (l == line)
            return true;
    return false;
}

} // namespace

// Each change of the book rewrites only what it changed; the card keeps the rest line for line.
TEST(VCardPatch, RewritesOnlyWhatTheEntryChanged) {
    const std::optional<PhoneRecord> was = EntryOfVCard(kPhoneCard);
    ASSERT_TRUE(was);
    EXPECT_EQ(was->m_strRomaji, "yamada tarou");
    struct Case {
        const char* what;
        std::function<void(PhoneRecord&)> change;
        std::vector<std::string> gone; // lines of the old card the patch rewrites
    };
    const std::vector<Case> cases{
        {"number", [](PhoneRecord& r) { r.m_strPhone = "090-9999-0000"; }, {"TEL;TYPE=CELL:090-1111-2222"}},
        {"name",
         [](PhoneRecord& r) {
             r.m_strKanji = Sjis("山田 次郎");
             r.m_strRomaji = "yamada jirou";
         },
         {"N:山田;太郎;;;", "FN:山田 太郎", "X-PHONETIC-FIRST-NAME:タロウ"}},
        {"note", [](PhoneRecord& r) { r.m_strMemo += Sjis("\r\n会議は火曜に変更"); }, {"NOTE:会議は月曜"}},
        {"nothing", [](PhoneRecord&) {}, {}},
    };
    for (const Case& c : cases) {
        PhoneRecord entry = *was;
        c.change(entry);
        const std::string patched = PatchVCard(kPhoneCard, entry);
        EXPECT_EQ(EntryOfVCard(patched), entry) << c.what << "\n" << patched;
        for (const std::string& line : Lines(kPhoneCard)) {
            const bool bGone = std::find(c.gone.begin(), c.gone.end(), line) != c.gone.end();
            EXPECT_EQ(HasLine(patched, line), !bGone) << c.what << ": " << line << "\n" << patched;
        }
    }
}

// A memo line that stood for an address, taken out in the book, takes the address off
// the card; what the entry never shows stays.
TEST(VCardPatch, AnAddressTakenOutOfTheMemoLeavesTheCard) {
    PhoneRecord entry = *EntryOfVCard(kPhoneCard);
    const std::string address = Sjis("住所:");
    const std::size_t at = entry.m_strMemo.find(address);
    ASSERT_NE(at, std::string::npos) << entry.m_strMemo;
    entry.m_strMemo.erase(at, entry.m_strMemo.find("\r\n", at) + 2 - at);
    const std::string patched = PatchVCard(kPhoneCard, entry);
    EXPECT_EQ(EntryOfVCard(patched), entry) << patched;
    EXPECT_EQ(patched.find("ADR"), std::string::npos) << patched;
    for (const char* kept : {"UID:4F1C-77", "CATEGORIES:営業,東京", "X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;たろ",
                             " JCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWl"})
        EXPECT_TRUE(HasLine(patched, kept)) << kept << "\n" << patched;
}

// Every card of the sample files, under every kind of change the book can make: the
// patched card reads back as the entry, and photos, keys and unknown properties stay.
TEST(VCardPatch, EveryPatchedSampleReadsBackAsTheEntry) {
    const std::vector<std::function<void(PhoneRecord&)>> changes{
        [](PhoneRecord& r) { r.m_strPhone = "0120-000-111"; },
        [](PhoneRecord& r) { r.m_strPhone.clear(); },
        [](PhoneRecord& r) {
            r.m_strKanji = Sjis("鈴木 一郎");
            r.m_strRomaji = "suzuki ichirou";
        },
        [](PhoneRecord& r) { r.m_strRomaji = "x" + r.m_strRomaji; },
        [](PhoneRecord& r) { r.m_strMemo += Sjis("\r\n追記 ①"); },
        [](PhoneRecord& r) { r.m_strMemo = Sjis("携帯: 080-1234-5678\r\nメモだけ"); },
        [](PhoneRecord& r) { r.m_strMemo.clear(); },
        [](PhoneRecord& r) { r.m_strMemo = r.m_strMemo.substr(r.m_strMemo.find('\n') + 1); },
    };
    int nCards = 0;
    for (const QString& name : QDir(MARLO_CONTACTS_DIR).entryList({"*.vcf"})) {
        const std::string file = ReadAll(std::string(MARLO_CONTACTS_DIR) + "/" + name.toStdString());
        for (std::size_t start = file.find("BEGIN:VCARD"); start != std::string::npos;) {
            const std::size_t next = file.find("BEGIN:VCARD", start + 1);
            const std::string card = file.substr(start, next == std::string::npos ? std::string::npos : next - start);
            start = next;
            const std::optional<PhoneRecord> was = EntryOfVCard(card);
            if (!was)
                continue;
            ++nCards;
            for (std::size_t i = 0; i < changes.size(); ++i) {
                PhoneRecord entry = *was;
                changes[i](entry);
                const std::string patched = PatchVCard(card, entry);
                ASSERT_EQ(EntryOfVCard(patched), entry) << name.toStdString() << " change " << i << "\n" << patched;
                for (const std::string& line : Lines(card)) {
                    const bool bKept = line.starts_with("PHOTO") || line.starts_with("UID") || line.starts_with("KEY");
                    EXPECT_TRUE(!bKept || HasLine(patched, line)) << name.toStdString() << " change " << i << ": " << line;
                }
            }
        }
    }
    EXPECT_GE(nCards, 10);
}
