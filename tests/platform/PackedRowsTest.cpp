// The packed row store behind the result list: rows copied in bulk must read
// back exactly, whether the source lies in order or not, and whatever the
// per-row call does to the rows meanwhile.

#include "platform/PackedRows.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Row = std::vector<std::string>;

PackedRows Make(const std::vector<Row>& rows) {
    PackedRows packed;
    for (const Row& r : rows)
        packed.Append({r[0], r[1], r[2], r[3]});
    return packed;
}

std::vector<Row> Read(const PackedRows& packed) {
    std::vector<Row> rows;
    for (std::size_t i = 0; i < packed.Count(); ++i)
        rows.push_back({std::string(packed.Text(i, 0)), std::string(packed.Text(i, 1)),
                        std::string(packed.Text(i, 2)), std::string(packed.Text(i, 3))});
    return rows;
}

const std::vector<Row> kBook = {
    {"abe", "\x88\xA2\x95\x94", "03", ""},
    {"sato", "", "", std::string("memo\0with NUL", 13)},
    {"suzuki", "\x97\xE9\x96\xD8", "090-1234-5678", "a memo long enough to leave the short copies"},
    {"", "", "", ""},
    {"tanaka", "x", "1", "\r\n"},
};

TEST(PackedRows, AppendRowsCopiesARangeAndReportsEachRowInPlace) {
    const PackedRows book = Make(kBook);
    PackedRows list;
    list.Append({"kept", "", "", ""});
    std::vector<std::pair<std::size_t, std::size_t>> calls; // (row, rows present)
    list.AppendRows(book, 1, 3, [&](std::size_t row) { calls.emplace_back(row, list.Count()); });
    EXPECT_EQ(Read(list), (std::vector<Row>{{"kept", "", "", ""}, kBook[1], kBook[2], kBook[3]}));
    EXPECT_EQ(calls, (std::vector<std::pair<std::size_t, std::size_t>>{{1, 2}, {2, 3}, {3, 4}}));
    list.AppendRows(book, 4, 0, [&](std::size_t) { ADD_FAILURE() << "no rows, no calls"; });
    EXPECT_EQ(list.Count(), 4u);
}

TEST(PackedRows, AppendRowsFromRowsEditedOutOfOrder) {
    // After edits a source's blocks no longer lie in row order.
    PackedRows book = Make(kBook);
    book.SetText(0, 1, "changed");
    book.Insert(1, {"inserted", "", "", "x"});
    book.Erase(3);
    std::vector<Row> expected = kBook;
    expected[0][1] = "changed";
    expected.insert(expected.begin() + 1, Row{"inserted", "", "", "x"});
    expected.erase(expected.begin() + 3);
    ASSERT_EQ(Read(book), expected);
    PackedRows list;
    list.AppendRows(book, 0, book.Count(), [](std::size_t) {});
    EXPECT_EQ(Read(list), expected);
}

TEST(PackedRows, AppendRowsSurvivesChangesMadeFromTheCall) {
    const PackedRows book = Make(kBook);
    for (int when = 0; when < 4; ++when) {
        PackedRows list;
        std::vector<Row> expected;
        int calls = 0;
        list.AppendRows(book, 0, 4, [&](std::size_t row) {
            expected.push_back(kBook[row - (calls > when ? 1 : 0)]);
            if (calls++ != when)
                return;
            // Rewrites that leave most of the buffer unused make it compact itself.
            for (int i = 0; i < 50; ++i)
                list.SetText(0, 3, std::string(static_cast<std::size_t>(100 + i), 'm'));
            expected[0][3] = std::string(149, 'm');
            list.Insert(list.Count(), {"from the call", "", "", ""});
            expected.push_back({"from the call", "", "", ""});
        });
        EXPECT_EQ(Read(list), expected) << "changed at call " << when;
    }
}

// Rows are rewritten when a text changes out of order and the buffer compacts
// itself; whatever the sequence of edits, each cell must read back as written.
TEST(PackedRows, MatchAPlainModelUnderRandomEdits) {
    PackedRows rows;
    std::vector<Row> model;
    const PackedRows source = Make(kBook);
    std::mt19937 random(7);
    // Lengths around the sizes copied specially (0-3, 4-7, 8-16, longer).
    auto text = [&random] {
        static constexpr std::size_t kLengths[] = {0, 1, 2, 3, 4, 7, 8, 15, 16, 17, 40, 300};
        std::string t(kLengths[random() % std::size(kLengths)], '\0');
        for (char& c : t)
            c = static_cast<char>(random() % 256);
        return t;
    };
    for (int step = 0; step < 20000; ++step) {
        const std::size_t count = model.size();
        const unsigned op = random() % 100;
        if (op < 35 || count == 0) {
            const std::size_t at = random() % (count + 1);
            const Row row = {text(), text(), text(), text()};
            rows.Insert(at, {row[0], row[1], row[2], row[3]});
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), row);
        } else if (op < 80) {
            const std::size_t at = random() % count;
            const int cell = static_cast<int>(random() % PackedRows::kCells);
            std::string t = text();
            rows.SetText(at, cell, t);
            model[at][static_cast<std::size_t>(cell)] = std::move(t);
        } else if (op < 94) {
            const std::size_t at = random() % count;
            rows.Erase(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        } else if (op < 99) {
            const std::size_t first = random() % source.Count();
            const std::size_t n = random() % (source.Count() - first + 1);
            rows.AppendRows(source, first, n, [](std::size_t) {});
            model.insert(model.end(), kBook.begin() + static_cast<std::ptrdiff_t>(first),
                         kBook.begin() + static_cast<std::ptrdiff_t>(first + n));
        } else {
            rows.Clear();
            model.clear();
        }
        if (step % 500 == 0 || step == 19999) {
            ASSERT_EQ(Read(rows), model) << "step " << step;
        }
    }
}

} // namespace
