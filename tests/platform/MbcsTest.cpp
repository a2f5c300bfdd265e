#include "platform/Mbcs.h"

#include <gtest/gtest.h>

#include <climits>

using namespace std::string_view_literals;

namespace {
int Sign(int v) {
    return (v > 0) - (v < 0);
}
} // namespace

TEST(MbsCmp, OrdersCharactersNotBytes) {
    EXPECT_LT(MbsCmp("Abe", "abe"), 0); // 0x41 before 0x61
    EXPECT_LT(MbsCmp("ab", "abc"), 0);  // the shorter string first
    EXPECT_EQ(MbsCmp("tanaka", "tanaka"), 0);
    // Hiragana a (82 A0) is the character 0x82A0, so it sorts after katakana a (B1)
    // although its first byte is smaller.
    EXPECT_GT(MbsCmp("\x82\xA0", "\xB1"), 0);
    EXPECT_LT(MbsCmp("\xB1", "\x82\xA0"), 0);
    // Same lead byte: the trail byte decides.
    EXPECT_LT(MbsCmp("\x82\xA0", "\x82\xA2"), 0);
    // A double-byte character against a single byte after a common prefix.
    EXPECT_GT(MbsCmp("x\x82\xA0", "x\xB1z"), 0);
}

TEST(MbsCmp, EndOfStringRules) {
    // A lead byte directly before the end counts as the end.
    EXPECT_EQ(MbsCmp("ab\x82", "ab"), 0);
    EXPECT_EQ(MbsCmp("ab\x82", "ab\x9F"), 0);
    EXPECT_LT(MbsCmp("ab\x82", "ab\x01"), 0);
    // A NUL ends the string, as it does for the C runtime.
    EXPECT_EQ(MbsCmp("ab\0cd"sv, "ab"sv), 0);
    EXPECT_EQ(MbsCmp("\x82\0x"sv, ""sv), 0);
    EXPECT_EQ(MbsCmp("", ""), 0);
    EXPECT_LT(MbsCmp("", "a"), 0);
}

// MbsCmp as a plain walk over the characters, for the fast paths to agree with.
static int CharacterWalkCmp(std::string_view a, std::string_view b) {
    auto next = [](std::string_view s, std::size_t& i) -> unsigned {
        if (i >= s.size() || s[i] == '\0')
            return 0;
        const auto c = static_cast<unsigned char>(s[i]);
        if (IsLeadByte(c)) {
            if (i + 1 >= s.size() || s[i + 1] == '\0')
                return 0;
            const unsigned v = c * 256u + static_cast<unsigned char>(s[i + 1]);
            i += 2;
            return v;
        }
        ++i;
        return c;
    };
    std::size_t i = 0, j = 0;
    for (;;) {
        const unsigned x = next(a, i), y = next(b, j);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

TEST(MbsCmp, AgreesWithCharacterWalkOnRandomStrings) {
    // The fast path skips the common prefix; it must agree with a plain character walk.
    const auto slow = CharacterWalkCmp;
    const char alphabet[] = {'a', 'b', '\x81', '\x82', '\xA0', '\xB1', '\xE0', '\0', '\x40', '\xFC'};
    unsigned seed = 12345;
    auto rnd = [&seed] { return (seed = seed * 1103515245 + 12345) >> 16; };
    for (int n = 0; n < 20000; ++n) {
        std::string a, b;
        const std::size_t common = rnd() % 5;
        for (std::size_t k = 0; k < common; ++k)
            a.push_back(alphabet[rnd() % sizeof alphabet]);
        b = a;
        for (unsigned k = rnd() % 4; k > 0; --k)
            a.push_back(alphabet[rnd() % sizeof alphabet]);
        for (unsigned k = rnd() % 4; k > 0; --k)
            b.push_back(alphabet[rnd() % sizeof alphabet]);
        ASSERT_EQ(Sign(MbsCmp(a, b)), slow(a, b)) << "a=" << a << " b=" << b;
    }
}

TEST(MbsICmp, FoldsLatinLettersOnly) {
    EXPECT_EQ(MbsICmp("TANAKA", "tanaka"), 0);
    EXPECT_EQ(MbsICmp("Tanaka", "tANAKA"), 0);
    // Full-width A (82 60) and full-width a (82 81) fold.
    EXPECT_EQ(MbsICmp("\x82\x60\x82\x79", "\x82\x81\x82\x9A"), 0);
    // Neither kana nor width folds: katakana a and hiragana a differ, so do
    // half-width and full-width A.
    EXPECT_NE(MbsICmp("\x83\x41", "\x82\xA0"), 0);
    EXPECT_NE(MbsICmp("A", "\x82\x60"), 0);
    // Characters next to the letter ranges do not fold.
    EXPECT_NE(MbsICmp("@", "`"), 0);
    EXPECT_NE(MbsICmp("[", "{"), 0);
    EXPECT_NE(MbsICmp("\x82\x5F", "\x82\x80"), 0);
    // A lead byte of 82 whose trail is a letter-like byte is one character, not a letter.
    EXPECT_NE(MbsICmp("\x82"
                      "A",
                      "\x82"
                      "a"),
              0);
}

TEST(MbcLen, LeadBytes) {
    EXPECT_EQ(MbcLen("\x82\xA0", 0), 2u);
    EXPECT_EQ(MbcLen("\xB1", 0), 1u);
    EXPECT_EQ(MbcLen("a\x82", 1), 1u); // lead byte at the end
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0x9F));
    EXPECT_TRUE(IsLeadByte(0xE0));
    EXPECT_TRUE(IsLeadByte(0xFC));
    EXPECT_FALSE(IsLeadByte(0x80));
    EXPECT_FALSE(IsLeadByte(0xA0));
    EXPECT_FALSE(IsLeadByte(0xDF));
    EXPECT_FALSE(IsLeadByte(0xFD));
}

TEST(AtoI, BehavesLikeTheRuntime) {
    EXPECT_EQ(AtoI("25"), 25);
    EXPECT_EQ(AtoI(" 7abc"), 7);
    EXPECT_EQ(AtoI("\t\n+12"), 12);
    EXPECT_EQ(AtoI("-3"), -3);
    EXPECT_EQ(AtoI("abc"), 0);
    EXPECT_EQ(AtoI(""), 0);
    EXPECT_EQ(AtoI("-"), 0);
    EXPECT_EQ(AtoI("2147483647"), INT_MAX);
    EXPECT_EQ(AtoI("-2147483648"), INT_MIN);
    // Saturates instead of overflowing.
    EXPECT_EQ(AtoI("2147483648"), INT_MAX);
    EXPECT_EQ(AtoI("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(AtoI("-99999999999999999999999"), INT_MIN);
}

TEST(IToA, Decimal) {
    EXPECT_EQ(IToA(0), "0");
    EXPECT_EQ(IToA(9999), "9999");
    EXPECT_EQ(IToA(-3), "-3");
    EXPECT_EQ(IToA(INT_MIN), "-2147483648");
}

TEST(MakeMbsSortKey, OrdersAsMbsCmpWhereTheKeysDiffer) {
    // Long common beginnings too, so that the keys' 16 bytes run out on every kind of character.
    const char alphabet[] = {'a', 'b', '\x7F', '\x80', '\x81', '\x82', '\x40', '\xA0', '\xDF', '\xE0', '\xFC', '\xFD', '\0'};
    unsigned seed = 99;
    auto rnd = [&seed] { return (seed = seed * 1103515245 + 12345) >> 16; };
    for (int n = 0; n < 50000; ++n) {
        std::string a;
        for (std::size_t k = rnd() % 20; k > 0; --k)
            a.push_back(alphabet[rnd() % sizeof alphabet]);
        std::string b = a.substr(0, rnd() % (a.size() + 1));
        for (std::size_t k = rnd() % 6; k > 0; --k)
            b.push_back(alphabet[rnd() % sizeof alphabet]);
        const MbsSortKey ka = MakeMbsSortKey(a), kb = MakeMbsSortKey(b);
        const int cmp = Sign(MbsCmp(a, b));
        if (ka != kb) {
            ASSERT_EQ(ka < kb ? -1 : 1, cmp) << "a=" << a << " b=" << b;
        } else if ((ka.lo & 0xFF) == 0) {
            ASSERT_EQ(cmp, 0) << "a=" << a << " b=" << b; // both end within the key
        }
    }
}

TEST(MbsCmp, AgreesWithCharacterWalkAcrossEightByteSteps) {
    // Common beginnings long enough for the eight-byte steps: a NUL inside a step, lead
    // bytes on either side of a step's edge, a difference in a trail byte.
    const char alphabet[] = {'a', '\x81', '\x82', '\xA0', '\xE0', '\0', '\x40', '\xFC'};
    unsigned seed = 4321;
    auto rnd = [&seed] { return (seed = seed * 1103515245 + 12345) >> 16; };
    for (int n = 0; n < 50000; ++n) {
        std::string a;
        for (std::size_t k = rnd() % 24; k > 0; --k)
            a.push_back(alphabet[rnd() % sizeof alphabet]);
        std::string b = a;
        for (unsigned k = rnd() % 3; k > 0; --k)
            a.push_back(alphabet[rnd() % sizeof alphabet]);
        for (unsigned k = rnd() % 3; k > 0; --k)
            b.push_back(alphabet[rnd() % sizeof alphabet]);
        if (!b.empty() && rnd() % 2)
            b[rnd() % b.size()] = alphabet[rnd() % sizeof alphabet];
        ASSERT_EQ(Sign(MbsCmp(a, b)), CharacterWalkCmp(a, b)) << "a=" << a << " b=" << b;
    }
}
