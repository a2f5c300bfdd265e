// The packed record list against a plain vector of records: every edit the
// phone book makes, on fields of every size the block layout tells apart.

#include "data/RecordList.h"
#include "../TestUtil.h"
#include "data/MrlData.h"
#include "platform/Mbcs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using Model = std::vector<PhoneRecord>;

bool PlainSorted(const Model& model, std::size_t from = 0) {
    for (std::size_t i = from; i + 1 < model.size(); ++i)
        if (MbsCmp(model[i].m_strRomaji, model[i + 1].m_strRomaji) > 0)
            return false;
    return true;
}

// Where filing `record` one by one puts it: before the first record whose name is strictly greater.
std::size_t PlainPlace(const Model& model, const PhoneRecord& record, std::size_t from = 0) {
    std::size_t at = from;
    while (at < model.size() && MbsCmp(record.m_strRomaji, model[at].m_strRomaji) >= 0)
        ++at;
    return at;
}

class RecordMaker {
public:
    explicit RecordMaker(unsigned seed) : m_random(seed) {}

    // Names from a few, so that equal names, names equal under MbsCmp but not in bytes
    // (after a NUL, a cut lead byte) and double-byte names meet often.
    std::string Name() {
        static const std::string names[] = {"",  "a",        std::string("a\0x", 3), "a\x82", "ab",
                                            "B", "\x82\xA0", "\x82\xA0\x61",         "\xB1",  "\xFC\xFC"};
        std::string name = names[Pick(std::size(names))];
        if (Pick(20) == 0)
            name += Text(); // now and then a long one
        return name;
    }

    // Any bytes, of the lengths where the lengths' form changes: one byte each below 255,
    // four bytes from 255 on, and past what two bytes can count.
    std::string Text() {
        static const std::size_t shortLengths[] = {0, 0, 1, 2, 5, 16, 17}, longLengths[] = {254, 255, 256},
                                 hugeLengths[] = {65535, 65536, 70001};
        const std::size_t tier = Pick(100);
        std::string text(tier < 90   ? shortLengths[Pick(std::size(shortLengths))]
                         : tier < 99 ? longLengths[Pick(std::size(longLengths))]
                                     : hugeLengths[Pick(std::size(hugeLengths))],
                         '\0');
        for (char& c : text)
            c = static_cast<char>(Pick(256));
        return text;
    }

    PhoneRecord Record() { return {Name(), Text(), Text(), Text()}; }

    std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random); }

private:
    std::mt19937 m_random;
};

void ExpectSame(const RecordList& list, const Model& model, int step) {
    ASSERT_EQ(list.GetCount(), model.size()) << "step " << step;
    ASSERT_EQ(list.IsEmpty(), model.empty()) << "step " << step;
    for (std::size_t i = 0; i < model.size(); ++i) {
        const PhoneRecordView record = list[i];
        // Field by field, so that a failure says which.
        ASSERT_EQ(record.m_strRomaji, model[i].m_strRomaji) << "step " << step << " record " << i;
        ASSERT_EQ(record.m_strKanji, model[i].m_strKanji) << "step " << step << " record " << i;
        ASSERT_EQ(record.m_strPhone, model[i].m_strPhone) << "step " << step << " record " << i;
        ASSERT_EQ(record.m_strMemo, model[i].m_strMemo) << "step " << step << " record " << i;
        ASSERT_EQ(list.Name(i), model[i].m_strRomaji);
    }
    std::size_t n = 0;
    for (const PhoneRecordView record : list)
        ASSERT_TRUE(record == model[n++]) << "step " << step << " iteration at " << n - 1;
    ASSERT_EQ(n, model.size());
    ASSERT_EQ(list.IsSorted(), PlainSorted(model)) << "step " << step;
    ASSERT_EQ(list.IsSortedAfterHead(), PlainSorted(model, 1)) << "step " << step;
}

} // namespace

TEST(RecordList, MatchesAPlainVectorUnderRandomEdits) {
    RecordMaker make(7);
    CMrlData data;
    RecordList& list = data.m_list;
    Model model;
    for (int step = 0; step < 3000; ++step) {
        const std::uint64_t version = list.GetVersion();
        const std::size_t count = model.size();
        // Lists stay short, so that they come back into order now and then.
        static constexpr std::size_t kShrinking[] = {7, 7, 8, 9, 12, 13};
        const std::size_t op = count == 0   ? 0
                               : count > 25 ? kShrinking[make.Pick(std::size(kShrinking))]
                                            : make.Pick(14);
        bool changes = true;
        if (op < 4) { // filed at its sorted place, sorted list or not
            const PhoneRecord record = make.Record();
            const std::size_t at = PlainPlace(model, record);
            ASSERT_EQ(data.AddSorted(record), at) << "step " << step;
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), record);
        } else if (op == 4) { // added at the head and walked to its place
            const PhoneRecord record = make.Record();
            list.AddHead(record);
            data.InsertSorted();
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(PlainPlace(model, record)), record);
            changes = count > 0;
        } else if (op == 5) { // anywhere
            const std::size_t at = make.Pick(count + 1);
            const PhoneRecord record = make.Record();
            list.InsertBefore(at, record);
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), record);
        } else if (op == 6) { // a copy of one of the list's own records, which growing may move
            const std::size_t from = make.Pick(count);
            const std::size_t at = make.Pick(count + 1);
            list.InsertBefore(at, list[from]);
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), PhoneRecord(model[from]));
        } else if (op == 7 || op == 8) { // replaced, as the document does: out, then filed
            const std::size_t at = make.Pick(count);
            list.RemoveAt(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
            if (op == 8) {
                const PhoneRecord record = make.Record();
                ASSERT_EQ(data.AddSorted(record), PlainPlace(model, record)) << "step " << step;
                model.insert(model.begin() + static_cast<std::ptrdiff_t>(PlainPlace(model, record)), record);
            }
        } else if (op == 9) {
            const std::size_t before = 1 + make.Pick(count);
            list.MoveHeadBefore(before);
            std::rotate(model.begin(), model.begin() + 1, model.begin() + static_cast<std::ptrdiff_t>(before));
            changes = before > 1;
        } else if (op == 10) { // a whole new list, in order or not
            Model records;
            for (std::size_t n = make.Pick(30); n > 0; --n)
                records.push_back(make.Record());
            const bool sorted = make.Pick(2) == 0;
            if (sorted)
                std::stable_sort(records.begin(), records.end(), [](const PhoneRecord& a, const PhoneRecord& b) {
                    return MbsCmp(a.m_strRomaji, b.m_strRomaji) < 0;
                });
            list.Assign(records, sorted);
            model = records;
        } else if (op == 11) { // in order as a text file's lines are, equal names as they stood
            list.SortByName();
            changes = !PlainSorted(model);
            std::stable_sort(model.begin(), model.end(), [](const PhoneRecord& a, const PhoneRecord& b) {
                return MbsCmp(a.m_strRomaji, b.m_strRomaji) < 0;
            });
        } else if (op == 12) {
            // The records that stand out of order taken out one by one until the list is in
            // order again: a miscount of its disorder shows there at the latest.
            changes = !PlainSorted(model);
            for (std::size_t i = 0; i + 1 < model.size();) {
                if (MbsCmp(model[i].m_strRomaji, model[i + 1].m_strRomaji) <= 0) {
                    ++i;
                    continue;
                }
                list.RemoveAt(i + 1);
                model.erase(model.begin() + static_cast<std::ptrdiff_t>(i + 1));
                ASSERT_NO_FATAL_FAILURE(ExpectSame(list, model, step));
            }
        } else {
            list.RemoveAll();
            model.clear();
        }
        if (changes) {
            ASSERT_NE(list.GetVersion(), version) << "step " << step;
        }
        ASSERT_NO_FATAL_FAILURE(ExpectSame(list, model, step));
    }
}
