// The packed copy the window searches: it must follow every change of the
// phone book, and only be made again when there was one.

#include "BookUtil.h"
#include "view/BookRows.h"

#include <gtest/gtest.h>

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

} // namespace
