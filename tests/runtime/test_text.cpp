// The runtime's small text and number utilities.
#include "skarn.h"
#include "test_util.h"

#include <gtest/gtest.h>

TEST(Text, BoundedCopyKeepsTheEnd)
{
    char dst[16];
    string_copy_bounded(dst, "abcdef", 4);
    EXPECT_STREQ(dst, "def");
    string_copy_bounded(dst, "abcd", 4);
    EXPECT_STREQ(dst, "bcd");
    string_copy_bounded(dst, "abc", 4);
    EXPECT_STREQ(dst, "abc");
}

TEST(Text, NumbersAndTheirMessages)
{
    int v = 0;
    std::string out = capture_stdout([&] { v = string_parse_hex("1g"); });
    EXPECT_EQ(v, 16);
    EXPECT_EQ(out, "Bad hex number: 1g");
    EXPECT_EQ(string_parse_hex("fF"), 255);
    EXPECT_EQ(string_parse_hex(""), 0);
    EXPECT_EQ(string_parse_hex("100000000"), 0);  // wraps in 32 bits
    EXPECT_EQ(string_parse_number("$1F"), 31);
    EXPECT_EQ(string_parse_number("0x1F"), 31);
    EXPECT_EQ(string_parse_number("0X1F"), 0);
    EXPECT_EQ(string_parse_number("017"), 17);
    EXPECT_EQ(string_parse_number("$"), 0);
    EXPECT_EQ(string_parse_number("0x"), 0);
    out = capture_stdout([&] { v = string_parse_number("0xz1"); });
    EXPECT_EQ(out, "Bad hex number: z1");
    EXPECT_EQ(v, 1);
}

TEST(Text, CaseInsensitiveComparison)
{
    EXPECT_EQ(string_equal_n_nocase("ab", "AB", 2), 0);
    EXPECT_EQ(string_equal_n_nocase("ab", "AB", 3), 1);
    EXPECT_EQ(string_equal_n_nocase("ab", "AB", 0), 1);
    EXPECT_EQ(string_equal_n_nocase(nullptr, "AB", 2), 1);
    EXPECT_EQ(string_equal_nocase("None", "NONE"), 0);
    EXPECT_EQ(string_equal_nocase("", ""), 1);
    EXPECT_EQ(string_equal_nocase("abc", "ab"), 1);
    const char *hay = "Hello World";
    EXPECT_EQ(string_find_nocase(hay, "WORLD"), hay + 6);
    EXPECT_EQ(string_find_nocase(hay, "worlds"), nullptr);
    EXPECT_EQ(string_find_nocase(hay, ""), nullptr);
    EXPECT_EQ(string_find_nocase("ab", "abc"), nullptr);
    char s[] = "MiXeD";
    EXPECT_STREQ(string_to_upper(s), "MIXED");
    EXPECT_STREQ(string_to_lower(s), "mixed");
    EXPECT_EQ(name_table_lookup("anything"), 0);
    float v[4] = {1.5f, -2.0f, 0.0f, 3.25f};
    std::string out = capture_stdout([&] { vec4_print(v); });
    EXPECT_EQ(out, "(   1.5000000000000,  -2.0000000000000,   0.0000000000000,   3.2500000000000)\n");
}
