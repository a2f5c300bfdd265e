// The searches against word-for-word versions of their rules, on random phone
// books full of the awkward cases: unsorted lists, duplicates, double-byte
// names, cut characters, NUL bytes and empty names.

#include "BookUtil.h"
#include "TestUtil.h"
#include "platform/Mbcs.h"
#include "search/FullTextSearch.h"
#include "search/NameSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <numeric>
#include <random>

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

std::size_t PlainMatchLength(std::string_view name, std::string_view key) {
    std::size_t match = 0;
    for (std::size_t j = 1; j <= key.size(); ++j) {
        if (MbsCmp(name.substr(0, j), key.substr(0, j)) != 0)
            break;
        match = j;
    }
    return match;
}

// The rows the name search lists, by index.
std::vector<std::size_t> PlainNameSearch(const RecordList& list, std::string_view key, int maxHits) {
    key = key.substr(0, std::min<std::size_t>(key.size(), 100));
    std::vector<std::size_t> rows;
    if (key.empty())
        return rows;
    const std::size_t count = list.GetCount();
    std::size_t start = kNone;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view c = list[i].m_strRomaji;
        if (i + 1 == count || (i == 0 && MbsCmp(c, key) >= 0)) {
            if (PlainMatchLength(c, key) > 0) {
                start = i;
                break;
            }
            continue;
        }
        if (i > 0 && MbsCmp(c, key) >= 0 && MbsCmp(list[i - 1].m_strRomaji, key) <= 0) {
            const std::size_t mC = PlainMatchLength(c, key);
            const std::size_t mP = PlainMatchLength(list[i - 1].m_strRomaji, key);
            if (mC > 0 && mC >= mP)
                start = i;
            else if (mC < mP)
                start = i - 1;
            break;
        }
    }
    if (start == kNone)
        return rows;
    std::size_t prev = 0;
    for (std::size_t i = start; i < count; ++i) {
        const std::size_t m = PlainMatchLength(list[i].m_strRomaji, key);
        if (m == 0 || (prev > 0 && m < prev))
            break;
        prev = m;
        rows.push_back(i);
        if (maxHits > 0 && static_cast<int>(rows.size()) == maxHits)
            break;
    }
    return rows;
}

bool PlainContainsText(std::string_view text, std::string_view key) {
    if (key.empty() || text.size() < key.size())
        return false;
    for (std::size_t p = 0; p <= text.size() - key.size(); p += MbcLen(text, p))
        if (MbsICmp(text.substr(p, key.size()), key) == 0)
            return true;
    return false;
}

// The indexes of the hits, the last one first.
std::vector<std::size_t> PlainFullTextSearch(const RecordList& list, const std::array<std::string, 3>& keys) {
    std::vector<std::size_t> rows;
    if (keys[0].empty() && keys[1].empty() && keys[2].empty())
        return rows;
    for (std::size_t i = 0; i < list.GetCount(); ++i) {
        const PhoneRecordView record = list[i];
        bool all = true;
        for (const std::string& key : keys) {
            const bool found = key.empty() || PlainContainsText(record.m_strRomaji, key) ||
                               PlainContainsText(record.m_strKanji, key) || PlainContainsText(record.m_strPhone, key) ||
                               PlainContainsText(record.m_strMemo, key);
            all = all && found;
        }
        if (all)
            rows.insert(rows.begin(), i);
    }
    return rows;
}

// Text from pieces that make the edge cases likely.
class Garbler {
public:
    explicit Garbler(unsigned seed) : m_rng(seed) {}

    std::string Text(std::size_t maxPieces) {
        static const char* const pieces[] = {
            "a",
            "b",
            "t",
            "ta",
            "n",
            "A",
            "T",
            " ",
            "0",
            "9",
            "-",
            ",",
            "\r\n",
            "\x82\xA0",         // あ
            "\x82\xA2",         // い
            "\x82\x60",         // Ａ
            "\x82\x81",         // ａ
            "\x83\x41",         // ア: trail byte 'A'
            "\x88\x9F",         // 亜
            "\x93\x63\x92\x86", // 田中
            "\xB1",             // ｱ, single byte
            "\x82",             // lone lead byte
            "\xE0",             // lone lead byte
        };
        std::string s;
        const std::size_t n = Pick(maxPieces + 1);
        for (std::size_t i = 0; i < n; ++i) {
            if (Pick(40) == 0)
                s += '\0';
            else
                s += pieces[Pick(std::size(pieces))];
        }
        return s;
    }

    // A key: often a slice of a name in the book, cut at any byte.
    std::string Key(const RecordList& list) {
        if (!list.IsEmpty() && Pick(3) != 0) {
            const std::string_view name = list[Pick(list.GetCount())].m_strRomaji;
            std::string key(name.substr(0, Pick(name.size() + 1)));
            if (Pick(2) == 0)
                key += Text(2);
            return key;
        }
        return Text(4);
    }

    RecordList Book() {
        std::vector<PhoneRecord> records;
        const std::size_t count = Pick(25);
        for (std::size_t i = 0; i < count; ++i) {
            // Few distinct names, so that duplicates are common.
            const std::size_t pieces = Pick(4) == 0 ? 1 : 5;
            records.push_back(Entry(Text(pieces), Text(3), Text(3), Text(6)));
        }
        if (Pick(3) != 0) {
            std::stable_sort(records.begin(), records.end(),
                             [](const auto& a, const auto& b) { return MbsCmp(a.m_strRomaji, b.m_strRomaji) < 0; });
        }
        RecordList list;
        list.Assign(records);
        return list;
    }

    std::size_t Pick(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(m_rng); }

private:
    std::mt19937 m_rng;
};

} // namespace

TEST(SearchDifferentialTest, MatchLengthEqualsPrefixComparisons) {
    Garbler g(1);
    for (int i = 0; i < 100000; ++i) {
        const std::string name = g.Text(6);
        // Keys that share a part of the name are the interesting ones.
        std::string key = g.Pick(2) == 0 ? name.substr(0, g.Pick(name.size() + 1)) + g.Text(2) : g.Text(4);
        ASSERT_EQ(MatchLength(name, key), PlainMatchLength(name, key)) << ToHex(name) << " / " << ToHex(key);
    }
}

TEST(SearchDifferentialTest, NameSearchEqualsTheWalk) {
    Garbler g(2);
    int sorted = 0, hits = 0;
    for (int i = 0; i < 20000; ++i) {
        const RecordList book = g.Book();
        sorted += book.IsSorted() && book.GetCount() > 2;
        for (int k = 0; k < 5; ++k) {
            const std::string key = g.Key(book);
            const int maxHits = static_cast<int>(g.Pick(4)) - 1;
            const auto expected = PlainNameSearch(book, key, maxHits);
            hits += !expected.empty();
            const RowRange range = NameSearch(book, key, maxHits);
            std::vector<std::size_t> found(range.count);
            std::iota(found.begin(), found.end(), range.first);
            ASSERT_EQ(found, expected) << "key " << ToHex(key) << " in a book of " << book.GetCount()
                                       << (book.IsSorted() ? " sorted" : "");
        }
    }
    // Both routes and both outcomes must have been exercised.
    EXPECT_GT(sorted, 5000);
    EXPECT_GT(hits, 20000);
}

TEST(SearchDifferentialTest, ContainsTextEqualsTheWindowWalk) {
    Garbler g(3);
    for (int i = 0; i < 200000; ++i) {
        const std::string text = g.Text(8);
        const std::string key =
            g.Pick(2) == 0 && !text.empty() ? text.substr(g.Pick(text.size()), 1 + g.Pick(4)) : g.Text(2);
        ASSERT_EQ(ContainsText(text, key), PlainContainsText(text, key)) << ToHex(text) << " / " << ToHex(key);
    }
}

TEST(SearchDifferentialTest, FullTextSearchEqualsThePlainRule) {
    Garbler g(4);
    int hits = 0;
    for (int i = 0; i < 5000; ++i) {
        RecordList book = g.Book();
        // Rows filed after the book was laid out lie elsewhere in the store: the search
        // then scans several runs of rows.
        for (std::size_t edits = g.Pick(4); edits > 0 && !book.IsEmpty(); --edits) {
            if (g.Pick(2) == 0)
                book.RemoveAt(g.Pick(book.GetCount()));
            else
                book.InsertBefore(g.Pick(book.GetCount() + 1), PhoneRecord{g.Text(3), g.Text(2), g.Text(2), g.Text(4)});
        }
        std::array<std::string, 3> keys;
        for (std::string& key : keys)
            key = g.Pick(3) == 0 ? std::string() : g.Text(1 + g.Pick(2));
        // The packed rows keep a record's texts back to back: a key made of the end
        // of one text and the start of the next must not be found across them.
        if (!book.IsEmpty() && g.Pick(4) == 0) {
            const PhoneRecordView r = book[g.Pick(book.GetCount())];
            const std::string joined = std::string(r.m_strKanji) + std::string(r.m_strPhone);
            const std::size_t at = g.Pick(r.m_strKanji.size() + 1);
            keys[0] = joined.substr(at, r.m_strKanji.size() - at + 1 + g.Pick(3));
        }
        const auto expected = PlainFullTextSearch(book, keys);
        hits += !expected.empty();
        ASSERT_EQ(FullTextSearch(book, keys), expected);
    }
    EXPECT_GT(hits, 500);
}
