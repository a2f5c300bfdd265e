#include "search/FullTextSearch.h"
#include "BookUtil.h"

#include <gtest/gtest.h>

using Rows = std::vector<std::string>;

TEST(ContainsTextTest, WindowsAtCharacterStarts) {
    EXPECT_FALSE(ContainsText("tanaka", ""));
    EXPECT_FALSE(ContainsText("tan", "tanaka"));
    EXPECT_TRUE(ContainsText("tanaka", "tanaka")); // the key equal to the whole text
    EXPECT_TRUE(ContainsText("03-090-1111", "090"));
    EXPECT_TRUE(ContainsText("Tanaka", "TANAKA"));
    EXPECT_TRUE(ContainsText("TANAKA", "tanaka"));
    EXPECT_FALSE(ContainsText("tanaka", "tanaka "));
    EXPECT_TRUE(ContainsText("a tanaka", " tan"));
    EXPECT_FALSE(ContainsText("ab", "b\x82"));

    // 田中 = 93 63 92 86: the bytes 63 92 straddle the two characters.
    EXPECT_TRUE(ContainsText("\x93\x63\x92\x86", "\x92\x86"));
    EXPECT_FALSE(ContainsText("\x93\x63\x92\x86", "\x63\x92"));
    EXPECT_FALSE(ContainsText("\x93\x63\x92\x86", "C")); // 63 is 'c' only as a single byte
    // ア = 83 41: its trail byte is not the letter A, but a real A after it is.
    EXPECT_FALSE(ContainsText("\x83\x41", "a"));
    EXPECT_TRUE(ContainsText("\x83\x41"
                             "A",
                             "a"));
    // After a run of lead-valued bytes only the pairing from the start decides.
    EXPECT_TRUE(ContainsText("\x88\x88\x88\x88"
                             "abc",
                             "ABC"));
    EXPECT_FALSE(ContainsText("\x88\x88\x88"
                              "abc",
                              "ABC")); // 88 61 is one character
}

TEST(ContainsTextTest, CaseFoldsOnlyLatinLetters) {
    EXPECT_TRUE(ContainsText("\x82\x60\x82\x61", "\x82\x81\x82\x82")); // ＡＢ and ａｂ
    EXPECT_TRUE(ContainsText("x\x82\x81", "\x82\x60"));
    EXPECT_FALSE(ContainsText("\x83\x9F", "\x83\xBF")); // Greek capital and small alpha do not fold
    EXPECT_FALSE(ContainsText("\x82\xA0", "\x83\x41")); // hiragana and katakana differ
    EXPECT_FALSE(ContainsText("\x82\x60", "A"));        // full-width and single-byte differ
    EXPECT_FALSE(ContainsText("[", "{"));               // only letters fold
}

namespace {

RecordList FieldBook() {
    RecordList book;
    book.AddTail(Entry("abe", Sjis("阿部"), "03-090-1111", Sjis("友人\r\n大阪")));
    book.AddTail(Entry("tanaka", Sjis("田中"), "090-1234", Sjis("会社")));
    book.AddTail(Entry("Tanaka", Sjis("田中"), "045-111", Sjis("大阪 支店")));
    book.AddTail(Entry("yamada", Sjis("山田"), "06-222", ""));
    return book;
}

Rows Find(const RecordList& book, std::string k1, std::string k2 = {}, std::string k3 = {}) {
    return Names(book, FullTextSearch(book, {std::move(k1), std::move(k2), std::move(k3)}));
}

} // namespace

TEST(FullTextSearchTest, KeysAndFields) {
    const RecordList book = FieldBook();
    EXPECT_EQ(Find(book, "tanaka"), (Rows{"Tanaka", "tanaka"}));       // the last hit first
    EXPECT_EQ(Find(book, "090"), (Rows{"tanaka", "abe"}));             // phone number, anywhere in it
    EXPECT_EQ(Find(book, Sjis("田中"), Sjis("大阪")), Rows{"Tanaka"}); // kanji name and memo, AND-ed
    EXPECT_EQ(Find(book, Sjis("大阪")), (Rows{"Tanaka", "abe"}));      // on the memo's second line
    EXPECT_EQ(Find(book, Sjis("会社"), "06"), Rows{});                 // each key in a different record
    EXPECT_EQ(Find(book, "", "tanaka"), Find(book, "tanaka"));
    EXPECT_EQ(Find(book, "", "", "tanaka"), Find(book, "tanaka"));
    EXPECT_EQ(Find(book, "tanaka", "tanaka"), Find(book, "tanaka"));
    EXPECT_EQ(Find(book, "", "", ""), Rows{});
    EXPECT_EQ(Find(book, "\r\n"), Rows{"abe"});
    EXPECT_EQ(Find(book, "abe tanaka"), Rows{});
}

TEST(FullTextSearchTest, ListsEveryHitInReverseOrder) {
    RecordList book;
    for (char c = 'a'; c <= 't'; ++c)
        book.AddTail(Entry(std::string(1, c), "", "", "hit"));
    const std::vector<std::size_t> rows = FullTextSearch(book, {"HIT", "", ""});
    ASSERT_EQ(rows.size(), 20u);
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i], 19 - i);
}

// A filter may outlive the keys it was made from (a dialog's search keeps it
// while the texts it was typed into go): it must hold its own copy of them.
TEST(FullTextSearchTest, FilterOutlivesItsKeys) {
    const std::string longKey = "a key longer than any string kept in place";
    auto keys = std::make_unique<std::array<std::string, 3>>(std::array<std::string, 3>{longKey, "abc", ""});
    const FullTextFilter filter(*keys);
    keys.reset();
    // Strings of the same sizes take the freed memory over, if anything still points there.
    const std::array<std::string, 3> others = {std::string(longKey.size(), 'x'), "xyz", ""};
    const PhoneRecord hit{"abc", "", "", "memo: " + longKey};
    EXPECT_TRUE(filter.Matches(hit));
    EXPECT_FALSE(filter.Matches(PhoneRecord{others[1], "", "", others[0]}));
}
