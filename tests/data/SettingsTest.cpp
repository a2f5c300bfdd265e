#include "data/Settings.h"
#include "../TestUtil.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(SettingsFile, FirstLineValue) {
    TempWorkDir dir;
    const struct {
        std::string bytes;
        int value;
    } cases[] = {
        {"25", 25},
        {"25\r\n99\r\n", 25},
        {" 7abc\r\n", 7},
        {"abc\r\n", 0},
        {"\r\n30\r\n", 0}, // an empty first line
        {"", 0},
        {"-3\r\n", -3},
        {"5\0"
         "0\r\n"s,
         5}, // digits after the NUL are left from an earlier, longer value
        {"100\0\r\n"s, 100},
        {"\x1A"
         "77",
         0},                // Ctrl-Z ends the text before the digits
        {"12\r34\r\n", 12}, // a lone CR does not end the line, but ends the number
        {"99999999999\r\n", 2147483647},
    };
    for (const auto& c : cases) {
        WriteAll(dir.Path("profile"), c.bytes);
        const std::optional<int> value = ReadMaxHits(dir.Path("profile"));
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(*value, c.value) << "bytes: " << ToHex(c.bytes);
    }
}

TEST(SettingsFile, MissingFileGivesNoValue) {
    TempWorkDir dir;
    EXPECT_FALSE(ReadMaxHits(dir.Path("profile")).has_value());
}
