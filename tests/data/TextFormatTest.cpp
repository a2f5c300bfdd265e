#include "data/TextFormat.h"

#include <gtest/gtest.h>

namespace {

PhoneRecord Parse(std::string_view line) {
    PhoneRecord r;
    ParseTextLine(r, line);
    return r;
}

PhoneRecord R(std::string romaji, std::string kanji, std::string phone, std::string memo) {
    return PhoneRecord{std::move(romaji), std::move(kanji), std::move(phone), std::move(memo)};
}

} // namespace

TEST(TextLine, WritesFieldsAndMemoLines) {
    EXPECT_EQ(FormatTextLine(R("yamada", "\x8E\x52\x93\x63", "012", "x\r\ny")), "yamada,\x8E\x52\x93\x63,012,x,y");
    EXPECT_EQ(FormatTextLine(R("", "", "", "")), ",,"); // empty memo: two commas, no trailing one
    EXPECT_EQ(FormatTextLine(R("a", "", "", "m")), "a,,,m");
    EXPECT_EQ(FormatTextLine(R("a", "", "", "\r\n")), "a,,,,");
    // A CR without its LF is written as it is; nothing after it is lost.
    EXPECT_EQ(FormatTextLine(R("a", "", "", "x\ry")), "a,,,x\ry");
    EXPECT_EQ(FormatTextLine(R("a", "", "", "x\r")), "a,,,x\r");
}

TEST(TextLine, ParsesByCommaCount) {
    EXPECT_EQ(Parse("a,b,c"), R("a", "b", "c", ""));
    EXPECT_EQ(Parse("a,b,c,d,e"), R("a", "b", "c", "d\r\ne"));
    EXPECT_EQ(Parse("a,b,c,"), R("a", "b", "c", ""));
    EXPECT_EQ(Parse("abc"), R("", "", "abc", "")); // no comma: all of it is the phone number
    EXPECT_EQ(Parse("a,b"), R("a", "", "b", ""));  // one comma: romaji and phone
    EXPECT_EQ(Parse(""), R("", "", "", ""));
    EXPECT_EQ(Parse(",,"), R("", "", "", ""));
}

TEST(TextLine, MemoLineBreaksAtTheEdgesAreLost) {
    EXPECT_EQ(Parse(FormatTextLine(R("a", "", "", "\r\nx"))).m_strMemo, "x");
    EXPECT_EQ(Parse(FormatTextLine(R("a", "", "", "x\r\n"))).m_strMemo, "x");
    EXPECT_EQ(Parse(FormatTextLine(R("a", "", "", "x\r\n\r\ny"))).m_strMemo, "x\r\n\r\ny");
    EXPECT_EQ(Parse(FormatTextLine(R("a", "", "", "\r\n\r\n"))).m_strMemo, "");
}

TEST(TextLine, CommasInFieldsShiftTheRest) {
    EXPECT_EQ(Parse(FormatTextLine(R("a", "b,c", "d", "e"))), R("a", "b", "c", "d\r\ne"));
    EXPECT_EQ(Parse(FormatTextLine(R("a", "b", "c", "d,e"))).m_strMemo, "d\r\ne");
}

TEST(TextLine, DoubleByteTrailBytesPassUnchanged) {
    // 表 (95 5C), ソ (83 5C), ポ (83 7C) and 〜-like 81 60 hold trail bytes in the ASCII range.
    const PhoneRecord r = R("hyou", "\x95\x5C\x83\x5C", "\x83\x7C", "\x81\x60\r\n\x96\x40");
    EXPECT_EQ(Parse(FormatTextLine(r)), r);
}

TEST(TextLine, NulBytesAreKept) {
    const PhoneRecord r = R(std::string("a\0b", 3), "k", std::string("\0", 1), "m");
    EXPECT_EQ(Parse(FormatTextLine(r)), r);
}
