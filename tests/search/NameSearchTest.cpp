#include "search/NameSearch.h"
#include "BookUtil.h"

#include <gtest/gtest.h>

using Rows = std::vector<std::string>;

namespace {

RecordList SampleBook() {
    return BookOf({"abe", "tanaka", "tani", "tanimoto", "tao", "yamada"});
}

} // namespace

TEST(MatchLengthTest, CountsSharedLeadingBytesOfTheKey) {
    EXPECT_EQ(MatchLength("tanaka", "tan"), 3u);
    EXPECT_EQ(MatchLength("tanaka", "tanb"), 3u);
    EXPECT_EQ(MatchLength("tan", "tanaka"), 3u); // a name that is a prefix of the key: its own length
    EXPECT_EQ(MatchLength("abe", "t"), 0u);
    EXPECT_EQ(MatchLength("", "t"), 0u);
    EXPECT_EQ(MatchLength("Tanaka", "tan"), 0u); // case counts
    // A lead byte at the cut ends the string there, so the cut byte itself never differs.
    EXPECT_EQ(MatchLength("\x82\xA0\x82\xA2", "\x82\xA0\x82\xA9"), 3u);
    EXPECT_EQ(MatchLength("\x88\x9F", "\x82\xA0"), 1u);
    // Everything after a NUL byte is ignored on both sides.
    EXPECT_EQ(MatchLength("a", std::string("a\0xy", 4)), 4u);
    EXPECT_EQ(MatchLength(std::string("a\0b", 3), std::string("a\0c", 3)), 3u);
}

TEST(NameSearchTest, SampleBookRows) {
    const RecordList book = SampleBook();
    struct Case {
        const char* key;
        int maxHits;
        Rows rows;
    };
    const Case cases[] = {
        {"t", 0, {"tanaka", "tani", "tanimoto", "tao"}},
        {"t", 2, {"tanaka", "tani"}},
        {"tan", 0, {"tanaka", "tani", "tanimoto"}},
        {"tani", 0, {"tani", "tanimoto"}},
        {"tanb", 0, {"tani", "tanimoto"}}, // tie between tanaka and tani goes to the later record
        {"tanz", 0, {"tanimoto"}},
        {"abz", 0, {"abe"}},
        {"yamadax", 0, {"yamada"}},
        {"tap", 0, {}}, // the last record is judged alone
        {"x", 0, {}},
        {"Tan", 0, {}},
        {"a", 0, {"abe"}},
        {"t", 1, {"tanaka"}},
        {"t", -3, {"tanaka", "tani", "tanimoto", "tao"}},
        {"", 0, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Names(book, NameSearch(book, c.key, c.maxHits)), c.rows) << "key " << c.key << " max " << c.maxHits;
}

TEST(NameSearchTest, KeyBetweenTwoRecordsBeforeTheLast) {
    RecordList book = SampleBook();
    book.AddTail(Entry("zz"));
    EXPECT_EQ(Names(book, NameSearch(book, "tap", 0)), Rows{"tao"});
}

TEST(NameSearchTest, SmallBooks) {
    EXPECT_EQ(NameSearch(RecordList(), "t", 0).count, 0u);

    const RecordList one = BookOf({"tanaka"});
    EXPECT_EQ(Names(one, NameSearch(one, "tb", 0)), Rows{"tanaka"});
    EXPECT_EQ(NameSearch(one, "x", 0).count, 0u);

    RecordList satos;
    for (const char* kanji : {"佐藤一", "佐藤二", "佐藤三"})
        satos.AddTail(Entry("sato", Sjis(kanji)));
    satos.AddTail(Entry("suzuki"));
    EXPECT_EQ(NameSearch(satos, "sato", 0), (RowRange{0, 3}));
    EXPECT_EQ(NameSearch(satos, "sat", 2), (RowRange{0, 2}));
}

TEST(NameSearchTest, OnlyTheFirstHundredBytesOfTheKeyCount) {
    const std::string hundred(100, 'a');
    const RecordList book = BookOf({hundred, hundred + "c"});
    // The whole key would sort between the two names and only the last would be listed.
    EXPECT_EQ(Names(book, NameSearch(book, hundred + std::string(50, 'b'), 0)), (Rows{hundred, hundred + "c"}));
}

TEST(NameSearchTest, UnsortedBookIsWalkedAsItStands) {
    // An archive is loaded as stored: the walk starts at the head.
    const RecordList book = BookOf({"tao", "tanaka", "abe", "tani"});
    ASSERT_FALSE(book.IsSorted());
    EXPECT_EQ(Names(book, NameSearch(book, "ta", 0)), (Rows{"tao", "tanaka"}));
    EXPECT_EQ(Names(book, NameSearch(book, "tani", 0)), (Rows{"tao", "tanaka"})); // the match length may grow
    EXPECT_EQ(Names(book, NameSearch(book, "abe", 0)), Rows{});                   // no neighbours around the key
}

TEST(NameSearchTest, DoubleByteNamesAndCutKeys) {
    // あい, あか, い in phone-book order.
    const RecordList book = BookOf({"\x82\xA0\x82\xA2", "\x82\xA0\x82\xA9", "\x82\xA2"});
    ASSERT_TRUE(book.IsSorted());
    EXPECT_EQ(NameSearch(book, "\x82\xA0", 0), (RowRange{0, 2}));
    // A key cut inside its second character is searched as read.
    EXPECT_EQ(NameSearch(book, "\x82\xA0\x82", 0), (RowRange{0, 2}));
    EXPECT_EQ(NameSearch(book, "\x82\xA0\x82\xA9", 0), (RowRange{1, 1}));
}
