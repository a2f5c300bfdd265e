// The packed copy the window searches: it must follow every change of the
// phone book, and only be made again when there was one.

#include "search/BookRows.h"
#include "../TestUtil.h"
#include "BookUtil.h"
#include "data/MarloDoc.h"
#include "platform/Mbcs.h"

#include <algorithm>
#include <array>

#include <gtest/gtest.h>

#include <random>
#include <utility>

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
    EXPECT_EQ(Names(rows.Of(std::as_const(list))), (std::vector<std::string>{"abe", "sato"}));
    EXPECT_TRUE(rows.IsSorted());
    const PackedRows* made = &rows.Of(std::as_const(list));
    EXPECT_EQ(made, &rows.Of(std::as_const(list)));

    list.AddHead(Entry("zz", Sjis("全角"), "1", "m\r\n"));
    EXPECT_EQ(Names(rows.Of(std::as_const(list))), (std::vector<std::string>{"zz", "abe", "sato"}));
    EXPECT_EQ(rows.Of(std::as_const(list)).Text(0, 1), Sjis("全角"));
    EXPECT_EQ(rows.Of(std::as_const(list)).Text(0, 3), "m\r\n");
    EXPECT_FALSE(rows.IsSorted());
    list.MoveHeadBefore(3);
    EXPECT_EQ(Names(rows.Of(std::as_const(list))), (std::vector<std::string>{"abe", "sato", "zz"}));
    EXPECT_TRUE(rows.IsSorted());
    list.RemoveAt(1);
    EXPECT_EQ(Names(rows.Of(std::as_const(list))), (std::vector<std::string>{"abe", "zz"}));

    // Another list, even one with the same names or one moved from this one, is another list.
    RecordList twin = BookOf({"abe", "zz"});
    twin.RemoveAt(1);
    EXPECT_EQ(Names(rows.Of(std::as_const(twin))), std::vector<std::string>{"abe"});
    RecordList moved = std::move(list);
    EXPECT_EQ(Names(rows.Of(std::as_const(moved))), (std::vector<std::string>{"abe", "zz"}));
    EXPECT_TRUE(rows.Of(std::as_const(list)).Count() == 0); // NOLINT(bugprone-use-after-move): emptied by the move
    list.Assign({});
    moved.RemoveAll();
    EXPECT_EQ(rows.Of(std::as_const(moved)).Count(), 0u);
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
            ASSERT_EQ(Read(rows.Of(std::as_const(list))), Read(fresh.Of(list))) << "step " << step;
            ASSERT_EQ(rows.IsSorted(), list.IsSorted()) << "step " << step;
        }
        // A change made behind the document's back: the rows no longer match, and
        // the document's next edit does not pretend they do.
        doc.m_pData->m_list.AddHead(Entry("zz"));
        doc.AddEntry(Entry("abe"));
        EXPECT_FALSE(rows.Matches(doc.m_pData->m_list));
        BookRows fresh;
        EXPECT_EQ(Read(rows.Of(std::as_const(doc.m_pData->m_list))), Read(fresh.Of(std::as_const(doc.m_pData->m_list))));
        doc.SetBookObserver(nullptr);
    }
}

// The bytes of a phone-book file holding `records` in this order, written from a plain
// record list.
std::string ArchiveOf(const std::vector<PhoneRecord>& records) {
    CMrlData data;
    data.m_list.Assign(records);
    return StoreArchive(data);
}

using Texts = std::array<std::string, 4>;

Texts TextsOf(const PhoneRecordView& r) {
    return {std::string(r.m_strRomaji), std::string(r.m_strKanji), std::string(r.m_strPhone), std::string(r.m_strMemo)};
}

std::vector<Texts> TextsOf(const PackedRows& rows) {
    std::vector<Texts> texts;
    for (std::size_t i = 0; i < rows.Count(); ++i) {
        const PackedRows::Texts row = rows.Row(i);
        texts.push_back({std::string(row[0]), std::string(row[1]), std::string(row[2]), std::string(row[3])});
    }
    return texts;
}

// The document's book, opened from a file (records made where they lie in its bytes,
// others beside them), edited, searched and saved, against a plain vector of records
// filed by the same rule. Result lists hold snapshots of the book's rows across every
// later change and must keep their texts; the searches over the book's own rows must
// answer as over rows packed afresh from the model, and every save must write the
// bytes a plain record list writes.
TEST(BookRows, DocumentBookMatchesAPlainModel) {
    TempWorkDir dir;
    RecordingReporter reporter;
    const std::string path = dir.Path("book.mrl");
    std::mt19937 random(1208);
    const std::string names[] = {"abe", "ito", "sato", "Sato", "satou", "\x82\xA0", "", std::string("a\0b", 3)};
    auto record = [&](int step) {
        // Now and then a field too long for the one-byte length form: such records are
        // read into the store's end rather than where they lie.
        std::string memo = random() % 6 == 0 ? std::string(255 + random() % 50, 'm') : std::to_string(step);
        return Entry(names[random() % std::size(names)], random() % 2 ? Sjis("漢字") : "",
                     std::to_string(random() % 100), std::move(memo));
    };
    // Filing: before the first later name that is strictly greater, walking a book out of order.
    auto file = [](std::vector<PhoneRecord>& model, const PhoneRecord& r) {
        const bool sorted = std::is_sorted(model.begin(), model.end(), [](const PhoneRecord& a, const PhoneRecord& b) {
            return MbsCmp(a.m_strRomaji, b.m_strRomaji) < 0;
        });
        auto at = model.begin();
        if (sorted)
            at = std::upper_bound(model.begin(), model.end(), r, [](const PhoneRecord& a, const PhoneRecord& b) {
                return MbsCmp(a.m_strRomaji, b.m_strRomaji) < 0;
            });
        else
            while (at != model.end() && MbsCmp(r.m_strRomaji, at->m_strRomaji) >= 0)
                ++at;
        model.insert(at, r);
    };

    std::vector<PhoneRecord> model;
    for (int i = 0; i < 60; ++i)
        model.push_back(record(i)); // out of order: opened as stored
    WriteAll(path, ArchiveOf(model));
    std::vector<PhoneRecord> saved = model; // what the file holds
    CMarloDoc doc;
    doc.SetReporter(&reporter);
    BookRows rows;
    doc.SetBookObserver(&rows);
    struct Held {
        PackedRows rows;
        std::vector<Texts> texts;
    };
    std::vector<Held> held;
    for (int step = 0; step < 1500; ++step) {
        const unsigned op = random() % 100;
        if (op < 4 || step == 0) {
            ASSERT_TRUE(doc.OnOpenDocument(path)) << "step " << step;
            model = saved;
        } else if (op < 8) {
            ASSERT_TRUE(doc.OnSaveDocument(path)) << "step " << step;
            ASSERT_EQ(ToHex(ReadAll(path)), ToHex(ArchiveOf(model))) << "step " << step;
            saved = model;
        } else if (op < 35 || model.empty()) {
            const PhoneRecord r = record(step);
            doc.AddEntry(r);
            file(model, r);
        } else if (op < 55) {
            const std::size_t at = random() % model.size();
            const PhoneRecord r = record(step);
            doc.ReplaceEntry(at, r);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
            file(model, r);
        } else if (op < 70) {
            const std::size_t at = random() % model.size();
            doc.RemoveEntry(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            // A search, its hits held as the result list holds them.
            const RecordList& list = doc.m_pData->m_list;
            const PackedRows& book = rows.Of(std::as_const(list));
            PackedRows plain;
            for (const PhoneRecord& r : model)
                plain.Append({r.m_strRomaji, r.m_strKanji, r.m_strPhone, r.m_strMemo});
            const std::string key = names[random() % std::size(names)].substr(0, 1 + random() % 3);
            const int maxHits = static_cast<int>(random() % 4) * 5;
            const bool sorted = list.IsSorted();
            const RowRange hits = NameSearch(book, rows.IsSorted(), key, maxHits);
            ASSERT_EQ(hits, NameSearch(plain, sorted, key, maxHits)) << "step " << step;
            Held h{book.Snapshot(hits.first, hits.count), {}};
            if (op % 2) { // or appended row by row, as the full-text search's hits are
                h.rows.Clear();
                for (std::size_t i = hits.first; i < hits.first + hits.count; ++i)
                    h.rows.AppendRows(book, i, 1, {});
            }
            h.texts = TextsOf(plain.Snapshot(hits.first, hits.count));
            held.push_back(std::move(h));
            if (held.size() > 6)
                held.erase(held.begin() + static_cast<std::ptrdiff_t>(random() % held.size()));
        }
        const RecordList& list = doc.m_pData->m_list;
        ASSERT_EQ(list.GetCount(), model.size()) << "step " << step;
        for (std::size_t i = 0; i < model.size(); ++i)
            ASSERT_EQ(TextsOf(list[i]), TextsOf(model[i])) << "step " << step << " record " << i;
        for (const Held& h : held)
            ASSERT_EQ(TextsOf(h.rows), h.texts) << "step " << step;
    }
    doc.SetBookObserver(nullptr);
}

} // namespace
