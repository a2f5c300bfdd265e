#include "data/RecordList.h"
#include "platform/Mbcs.h"

#include <gtest/gtest.h>

namespace {

bool PlainIsSorted(const RecordList& list) {
    for (std::size_t i = 0; i + 1 < list.GetCount(); ++i)
        if (MbsCmp(list[i].m_strRomaji, list[i + 1].m_strRomaji) > 0)
            return false;
    return true;
}

} // namespace

TEST(RecordList, SortednessFollowsEveryChange) {
    // Random inserts, removals and head moves; IsSorted must always match a full check.
    unsigned seed = 7;
    auto rnd = [&seed] { return (seed = seed * 1103515245 + 12345) >> 16; };
    const char* names[] = {"a", "b", "c", "Abe", "\x82\xA0", "\xB1", ""};
    RecordList list;
    for (int step = 0; step < 5000; ++step) {
        const unsigned op = rnd() % 5;
        const std::size_t n = list.GetCount();
        if (op <= 1 || n == 0) {
            auto r = std::make_unique<PhoneRecord>();
            r->m_strRomaji = names[rnd() % 7];
            list.InsertBefore(rnd() % (n + 1), std::move(r));
        } else if (op == 2) {
            const auto removed = list.RemoveAt(rnd() % n);
            ASSERT_TRUE(removed);
        } else if (op == 3 && n >= 1) {
            list.MoveHeadBefore(1 + rnd() % n);
        } else if (n > 30) {
            list.RemoveHead();
        }
        ASSERT_EQ(list.IsSorted(), PlainIsSorted(list)) << "step " << step;
    }
}

TEST(RecordList, AssignedRecordsAreCheckedWhenAsked) {
    auto make = [](std::initializer_list<const char*> names) {
        std::vector<RecordList::Ptr> records;
        for (const char* n : names) {
            records.push_back(std::make_unique<PhoneRecord>());
            records.back()->m_strRomaji = n;
        }
        return records;
    };
    RecordList list;
    list.Assign(make({"b", "a", "c"}));
    list.RemoveHead(); // changes before the first question are counted too
    EXPECT_TRUE(list.IsSorted());
    list.AddHead(std::make_unique<PhoneRecord>(PhoneRecord{"z", "", "", ""}));
    EXPECT_FALSE(list.IsSorted());
    list.Assign(make({"a", "b"}), true);
    EXPECT_TRUE(list.IsSorted());
}
