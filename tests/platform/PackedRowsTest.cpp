// The packed row store behind the result list: rows copied in bulk must read
// back exactly, whether the source lies in order or not, and whatever the
// per-row call does to the rows meanwhile.

#include "platform/PackedRows.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
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
        rows.push_back({std::string(packed.Text(i, 0)), std::string(packed.Text(i, 1)), std::string(packed.Text(i, 2)),
                        std::string(packed.Text(i, 3))});
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

// Rows filled from a file hold each growth against the memory the system has
// left: short of it a growth takes only what is left, and a row that no longer
// fits fails as too big for the memory left, leaving the rows as they were.
TEST(PackedRows, GrowthStaysWithinTheMemoryLeft) {
    static const PackedRows* s_pRows = nullptr;
    static constexpr std::size_t kBudget = 100000; // what the system had before the rows took any
    PackedRows rows;
    s_pRows = &rows;
    rows.SetGrowthCheck([]() -> std::uint64_t { return kBudget - s_pRows->MemoryBytes(); });
    std::vector<Row> model;
    try {
        for (int i = 0;; ++i) {
            const Row row = {std::to_string(i), std::string(static_cast<std::size_t>(i % 300), 'k'), "", "m"};
            rows.Append({row[0], row[1], row[2], row[3]});
            model.push_back(row);
            ASSERT_LE(rows.MemoryBytes(), kBudget) << "row " << i;
        }
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.kind(), ArchiveError::Kind::TooBig);
    }
    EXPECT_GT(rows.MemoryBytes(), kBudget * 9 / 10) << "the growth took what was left";
    EXPECT_EQ(Read(rows), model);
    rows.SetGrowthCheck(nullptr);
    rows.Append({"after", "", "", ""}); // without the check, no limit
    EXPECT_EQ(rows.Count(), model.size() + 1);
}

// Rows are rewritten when a text changes out of order and the buffer compacts
// itself; whatever the sequence of edits, each cell must read back as written.
// Two sets of rows are edited at random and copy ranges of each other or of a
// book, so that copies come from blocks in order and out of it, and the
// per-row call of a copy edits the rows being filled, emptying them included.
TEST(PackedRows, MatchAPlainModelUnderRandomEdits) {
    std::array<PackedRows, 2> rows;
    std::array<std::vector<Row>, 2> models;
    const PackedRows book = Make(kBook);
    std::mt19937 random(7);
    // Lengths around the sizes copied specially (0-3, 4-7, 8-16, longer).
    auto text = [&random] {
        static constexpr std::size_t kLengths[] = {0, 1, 2, 3, 4, 7, 8, 15, 16, 17, 40, 300};
        std::string t(kLengths[random() % std::size(kLengths)], '\0');
        for (char& c : t)
            c = static_cast<char>(random() % 256);
        return t;
    };
    // One edit of rows[k] and its model: 35 in 94 an insert (half of them at the end,
    // where a list is filled), 45 a text, 13 an erase, 1 emptying the rows.
    auto edit = [&](std::size_t k, unsigned op) {
        PackedRows& packed = rows[k];
        std::vector<Row>& model = models[k];
        const std::size_t count = model.size();
        if (op < 35 || count == 0) {
            const std::size_t at = op % 2 ? count : random() % (count + 1);
            const Row row = {text(), text(), text(), text()};
            packed.Insert(at, {row[0], row[1], row[2], row[3]});
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), row);
        } else if (op < 80) {
            const std::size_t at = random() % count;
            const int cell = static_cast<int>(random() % PackedRows::kCells);
            std::string t = text();
            packed.SetText(at, cell, t);
            model[at][static_cast<std::size_t>(cell)] = std::move(t);
        } else if (op < 93) {
            const std::size_t at = random() % count;
            packed.Erase(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            packed.Clear();
            model.clear();
        }
    };
    for (int step = 0; step < 20000; ++step) {
        const std::size_t k = random() % 2;
        const unsigned op = random() % 100;
        if (op < 94) {
            edit(k, op);
        } else {
            // From the other rows, or from rows that were only ever appended to and so lie in order.
            const bool fromBook = random() % 2 == 0;
            const PackedRows& from = fromBook ? book : rows[1 - k];
            const std::vector<Row>& source = fromBook ? kBook : models[1 - k];
            const std::size_t first = random() % (source.size() + 1);
            const std::size_t n = random() % (source.size() - first + 1);
            // No per-row call, one that only looks, or one that edits now and then or often.
            static constexpr unsigned kEditOneIn[] = {0, 0, 50, 3};
            const unsigned oneIn = kEditOneIn[op % 4];
            std::size_t next = first;
            bool placesRight = true;
            std::function<void(std::size_t)> onRow;
            if (op % 4 != 0) {
                onRow = [&, oneIn](std::size_t row) {
                    models[k].push_back(source[next++]);
                    placesRight = placesRight && row + 1 == models[k].size() && row + 1 == rows[k].Count();
                    // Each kind of edit alike: erasing and emptying the rows more often than above.
                    static constexpr unsigned kKinds[] = {0, 1, 40, 85, 93};
                    if (oneIn != 0 && random() % oneIn == 0)
                        edit(k, kKinds[random() % std::size(kKinds)]);
                };
            }
            rows[k].AppendRows(from, first, n, onRow);
            if (!onRow)
                models[k].insert(models[k].end(), source.begin() + static_cast<std::ptrdiff_t>(first),
                                 source.begin() + static_cast<std::ptrdiff_t>(first + n));
            ASSERT_TRUE(placesRight) << "step " << step;
        }
        if (step % 50 == 0 || step == 19999) {
            ASSERT_EQ(Read(rows[0]), models[0]) << "step " << step;
            ASSERT_EQ(Read(rows[1]), models[1]) << "step " << step;
        }
    }
}

// Snapshots share the rows' store: whatever either side does afterwards (texts
// written in place at the end, rows rewritten, erased, compacted or emptied, rows
// appended by reference), each keeps reading as the rows it was taken of.
TEST(PackedRows, SnapshotsKeepTheirTextsWhateverTheRowsDo) {
    std::mt19937 random(11);
    auto text = [&random] {
        static constexpr std::size_t kLengths[] = {0, 0, 0, 1, 3, 9, 20, 300};
        std::string t(kLengths[random() % std::size(kLengths)], 'a');
        for (char& c : t)
            c = static_cast<char>('a' + random() % 26);
        return t;
    };
    // Slot 0 is the source; the others hold snapshots of it or of each other.
    std::array<PackedRows, 4> rows;
    std::array<std::vector<Row>, 4> models;
    for (int step = 0; step < 20000; ++step) {
        const std::size_t k = random() % 8 < 5 ? 0 : 1 + random() % 3;
        PackedRows& packed = rows[k];
        std::vector<Row>& model = models[k];
        const std::size_t count = model.size();
        const unsigned op = random() % 100;
        if (op < 35 || count == 0) {
            const std::size_t at = op % 3 ? count : random() % (count + 1);
            const Row row = {text(), text(), text(), text()};
            packed.Insert(at, {row[0], row[1], row[2], row[3]});
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), row);
        } else if (op < 70) {
            // The last row's empty cells most often: the text then goes on at the store's end.
            const std::size_t at = op % 2 ? count - 1 : random() % count;
            const int cell = static_cast<int>(random() % PackedRows::kCells);
            const std::string t = text();
            packed.SetText(at, cell, t);
            model[at][static_cast<std::size_t>(cell)] = t;
        } else if (op < 88) {
            const std::size_t at = random() % count;
            packed.Erase(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        } else if (op < 97) {
            const std::size_t to = 1 + random() % 3, from = (to + 1 + random() % 3) % 4;
            const std::size_t first = random() % (models[from].size() + 1);
            const std::size_t n = random() % (models[from].size() - first + 1);
            const auto begin = models[from].begin() + static_cast<std::ptrdiff_t>(first);
            if (op % 2) {
                rows[to] = rows[from].Snapshot(first, n);
                models[to].assign(begin, begin + static_cast<std::ptrdiff_t>(n));
            } else {
                rows[to].AppendRows(rows[from], first, n, {});
                models[to].insert(models[to].end(), begin, begin + static_cast<std::ptrdiff_t>(n));
            }
        } else {
            packed.Clear();
            model.clear();
        }
        for (std::size_t i = 0; i < rows.size(); ++i)
            ASSERT_EQ(Read(rows[i]), models[i]) << "step " << step << " rows " << i;
    }
}

} // namespace
