// The packed copy the window searches: it must follow every change of the
// phone book, and only be made again when there was one.

#include "view/BookRows.h"
#include "BookUtil.h"
#include "data/MarloDoc.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<std::string> Names(const PackedRows& rows) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < rows.Count(); ++i)
        names.emplace_back(rows.Text(i, 0));
    return names;
}

TEST(BookRows, FollowEveryChangeOfTheList) {
    RecordList list = BookOf({"abe", "sato"});
    BookRows rows;
    EXPECT_EQ(Names(rows.Of(list)), (std::vector<std::string>{"abe", "sato"}));
    EXPECT_TRUE(rows.IsSorted());
    const PackedRows* made = &rows.Of(list);
    EXPECT_EQ(made, &rows.Of(list));

    list.AddHead(Entry("zz", Sjis("全角"), "1", "m\r\n"));
    EXPECT_EQ(Names(rows.Of(list)), (std::vector<std::string>{"zz", "abe", "sato"}));
    EXPECT_EQ(rows.Of(list).Text(0, 1), Sjis("全角"));
    EXPECT_EQ(rows.Of(list).Text(0, 3), "m\r\n");
    EXPECT_FALSE(rows.IsSorted());
    list.MoveHeadBefore(3);
    EXPECT_EQ(Names(rows.Of(list)), (std::vector<std::string>{"abe", "sato", "zz"}));
    EXPECT_TRUE(rows.IsSorted());
    list.RemoveAt(1);
    EXPECT_EQ(Names(rows.Of(list)), (std::vector<std::string>{"abe", "zz"}));

    // Another list, even one with the same names or one moved from this one, is another list.
    RecordList twin = BookOf({"abe", "zz"});
    twin.RemoveAt(1);
    EXPECT_EQ(Names(rows.Of(twin)), std::vector<std::string>{"abe"});
    RecordList moved = std::move(list);
    EXPECT_EQ(Names(rows.Of(moved)), (std::vector<std::string>{"abe", "zz"}));
    EXPECT_TRUE(rows.Of(list).Count() == 0); // NOLINT(bugprone-use-after-move): emptied by the move
    list.Assign({});
    moved.RemoveAll();
    EXPECT_EQ(rows.Of(moved).Count(), 0u);
}

std::vector<std::vector<std::string>> Read(const PackedRows& rows) {
    std::vector<std::vector<std::string>> texts;
    for (std::size_t i = 0; i < rows.Count(); ++i) {
        const PackedRows::Texts row = rows.Row(i);
        texts.push_back({std::string(row[0]), std::string(row[1]), std::string(row[2]), std::string(row[3])});
    }
    return texts;
}

// As the document's observer the rows follow its edits in place, and must read
// as a fresh packing of the book would; edits they missed leave them to be made again.
TEST(BookRows, FollowTheDocumentsEditsInPlace) {
    const char* names[] = {"abe", "ito", "sato", "Sato", "\x82\xA0", ""};
    std::mt19937 random(3);
    for (const bool sorted : {true, false}) {
        CMarloDoc doc;
        doc.m_pData = std::make_unique<CMrlData>();
        for (int i = 0; i < 50; ++i) {
            const PhoneRecord record = Entry(names[random() % std::size(names)], "k", std::to_string(i));
            if (sorted)
                doc.AddEntry(record);
            else
                doc.m_pData->m_list.AddTail(record);
        }
        BookRows rows;
        doc.SetBookObserver(&rows);
        rows.Of(doc.m_pData->m_list);
        for (int step = 0; step < 400; ++step) {
            const RecordList& list = doc.m_pData->m_list;
            const std::size_t count = list.GetCount();
            const unsigned op = random() % 3;
            const PhoneRecord record =
                Entry(names[random() % std::size(names)], Sjis("漢字"), std::to_string(step), "m\r\n");
            if (op == 0 || count == 0)
                doc.AddEntry(record);
            else if (op == 1)
                doc.RemoveEntry(random() % count);
            else
                doc.ReplaceEntry(random() % count, record);
            ASSERT_TRUE(rows.Matches(list)) << "step " << step;
            BookRows fresh;
            ASSERT_EQ(Read(rows.Of(list)), Read(fresh.Of(list))) << "step " << step;
            ASSERT_EQ(rows.IsSorted(), list.IsSorted()) << "step " << step;
        }
        // A change made behind the document's back: the rows no longer match, and
        // the document's next edit does not pretend they do.
        doc.m_pData->m_list.AddHead(Entry("zz"));
        doc.AddEntry(Entry("abe"));
        EXPECT_FALSE(rows.Matches(doc.m_pData->m_list));
        BookRows fresh;
        EXPECT_EQ(Read(rows.Of(doc.m_pData->m_list)), Read(fresh.Of(doc.m_pData->m_list)));
        doc.SetBookObserver(nullptr);
    }
}

} // namespace
