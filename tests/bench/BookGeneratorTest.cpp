// The generated phone books that the benchmarks and peer comparisons rely on:
// the same book for the same seed on every machine, entries the program itself
// could have stored, and a realistic mix of names and memos.

#include "bench/BookGenerator.h"

#include "data/TextFormat.h"
#include "platform/Cp932.h"
#include "platform/Mbcs.h"

#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <string>

namespace {

std::vector<std::string> MemoLines(const std::string& memo) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = memo.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(memo.substr(start, end - start));
    lines.push_back(memo.substr(start));
    return lines;
}

TEST(BookGenerator, SeedDecidesTheBook) {
    const auto a = GenerateRecords(3000, 1);
    const auto b = GenerateRecords(3000, 1);
    const auto shorter = GenerateRecords(500, 1);
    const auto other = GenerateRecords(3000, 2);
    ASSERT_EQ(a.size(), 3000u);
    ASSERT_EQ(shorter.size(), 500u);
    std::size_t differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i], b[i]) << "record " << i;
        if (i < shorter.size()) {
            ASSERT_EQ(a[i], shorter[i]) << "a smaller book is the start of a larger one, record " << i;
        }
        differ += !(a[i] == other[i]);
    }
    EXPECT_GT(differ, 2900u);
    EXPECT_TRUE(GenerateRecords(0, 1).empty());
}

// Pinned entries: a change to the tables or to the random sequence changes every
// published figure, so it must be deliberate (and these values updated with it).
TEST(BookGenerator, KnownEntries) {
    auto cp932 = [](const char* utf8) { return UnicodeToCp932(QString::fromUtf8(utf8)).bytes; };
    const auto book = GenerateRecords(3, 20261207);
    ASSERT_EQ(book.size(), 3u);
    EXPECT_EQ(book[0], (PhoneRecord{"suzuki sota", cp932("鈴木蒼太"), "090-4299-6110", ""}));
    EXPECT_EQ(book[1], (PhoneRecord{"kubo wakekuro", cp932("久保　わけくろう"), "090-1577-5557",
                                     cp932("内線 4275\r\n携帯\r\n土日のみ連絡可")}));
    EXPECT_EQ(book[2], (PhoneRecord{"ikeda wachita", cp932("池田　わちた"), "080-6373-3019", ""}));
}

TEST(BookGenerator, EntriesAreWhatTheProgramStores) {
    const std::regex phone("(0[0-9]{1,3}-[0-9]{2,4}-[0-9]{3,4})?");
    for (const PhoneRecord& r : GenerateRecords(20000, 7)) {
        SCOPED_TRACE(r.m_strRomaji);
        // The data-entry dialog accepts space, a-z and 0-9; the generator uses letters and single inner spaces.
        ASSERT_FALSE(r.m_strRomaji.empty());
        ASSERT_NE(r.m_strRomaji.front(), ' ');
        ASSERT_NE(r.m_strRomaji.back(), ' ');
        ASSERT_EQ(r.m_strRomaji.find("  "), std::string::npos);
        for (char c : r.m_strRomaji)
            ASSERT_TRUE(c == ' ' || (c >= 'a' && c <= 'z'));
        ASSERT_TRUE(IsValidCp932(r.m_strKanji));
        ASSERT_TRUE(IsLeadByte(static_cast<unsigned char>(r.m_strKanji.front())));
        ASSERT_TRUE(std::regex_match(r.m_strPhone, phone)) << r.m_strPhone;
        ASSERT_TRUE(IsValidCp932(r.m_strMemo));
        if (!r.m_strMemo.empty()) {
            for (const std::string& line : MemoLines(r.m_strMemo)) {
                ASSERT_FALSE(line.empty());
                ASSERT_EQ(line.find_first_of("\r\n,"), std::string::npos);
            }
        }
        // So a generated book survives the text format unchanged.
        PhoneRecord back;
        ParseTextLine(back, FormatTextLine(r));
        ASSERT_EQ(back, r);
    }
}

TEST(BookGenerator, RealisticMix) {
    const auto book = GenerateRecords(20000, 11);
    std::map<std::string, int> names;
    std::map<std::string, int> families;
    std::size_t withMemo = 0, multiLine = 0, withSpace = 0, trail5C = 0, halfWidthKana = 0;
    for (const PhoneRecord& r : book) {
        ++names[r.m_strRomaji];
        ++families[r.m_strRomaji.substr(0, r.m_strRomaji.find(' '))];
        withMemo += !r.m_strMemo.empty();
        multiLine += r.m_strMemo.find("\r\n") != std::string::npos;
        withSpace += r.m_strRomaji.find(' ') != std::string::npos;
        const std::string all = r.m_strKanji + r.m_strMemo;
        for (std::size_t i = 0; i < all.size(); i += MbcLen(all, i)) {
            const auto b = static_cast<unsigned char>(all[i]);
            trail5C += MbcLen(all, i) == 2 && all[i + 1] == '\x5C';
            halfWidthKana += b >= 0xA1 && b <= 0xDF;
        }
    }
    std::size_t duplicates = 0;
    int mostCommonFamily = 0;
    for (const auto& [name, n] : names)
        duplicates += static_cast<std::size_t>(n - 1);
    for (const auto& [family, n] : families)
        mostCommonFamily = std::max(mostCommonFamily, n);

    const double total = static_cast<double>(book.size());
    EXPECT_GT(duplicates / total, 0.01) << "some exact duplicate names";
    EXPECT_LT(duplicates / total, 0.08) << "but only a few percent";
    EXPECT_GT(mostCommonFamily / total, 0.02) << "common family names share their prefix";
    EXPECT_GT(withMemo / total, 0.25);
    EXPECT_LT(withMemo / total, 0.45);
    EXPECT_GT(multiLine / total, 0.05);
    EXPECT_GT(withSpace / total, 0.7);
    EXPECT_GT(trail5C, 0u) << "double-byte characters whose second byte is 0x5C";
    EXPECT_GT(halfWidthKana, 0u);
}

} // namespace
