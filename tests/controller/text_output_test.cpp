// The dump's own number formatting, written for speed in a 32-bit program: integers in 32-bit
// pieces, plain floats without the general conversion. Every value must read back exactly.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "controller/reading/TextOutput.h"

namespace kestrel::test {
namespace {

template <class Write>
std::string Text(Write write) {
    TextOutput out;
    write(out);
    return std::string(out.text());
}

TEST(TextOutput, Integers) {
    const std::pair<std::uint64_t, const char*> unsignedCases[] = {
        {0, "0"}, {9, "9"}, {10, "10"}, {4294967295u, "4294967295"}, {4294967296u, "4294967296"},
        {999999999999999999u, "999999999999999999"}, {1000000000000000000u, "1000000000000000000"},
        {9007199254740993u, "9007199254740993"}, {18446744073709551615u, "18446744073709551615"}};
    for (const auto& [value, text] : unsignedCases) EXPECT_EQ(Text([&](TextOutput& o) { o.Unsigned(value); }), text);
    const std::pair<std::int64_t, const char*> signedCases[] = {
        {-1, "-1"}, {-36702684335, "-36702684335"}, {36702684335, "36702684335"},
        {std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"}};
    for (const auto& [value, text] : signedCases) EXPECT_EQ(Text([&](TextOutput& o) { o.Signed(value); }), text);
    EXPECT_EQ(Text([](TextOutput& o) { o.Padded(5, 8); }), "       5");
    EXPECT_EQ(Text([](TextOutput& o) { o.Padded(123456789, 4); }), "123456789");
    EXPECT_EQ(Text([](TextOutput& o) { o.PaddedSigned(-42, 6); }), "   -42");
    EXPECT_EQ(Text([](TextOutput& o) { o.Padded(1, 100); }).size(), 33u);  // padding is capped
    EXPECT_EQ(Text([](TextOutput& o) { o.Hex(0); }), "0x0");
    EXPECT_EQ(Text([](TextOutput& o) { o.Hex(0x4100); }), "0x4100");
    EXPECT_EQ(Text([](TextOutput& o) { o.Hex(0x1F, 8); }), "0x0000001F");
    EXPECT_EQ(Text([](TextOutput& o) { o.Hex(~std::uint64_t{0}); }), "0xFFFFFFFFFFFFFFFF");
}

TEST(TextOutput, IntegersReadBackExactly) {
    std::mt19937_64 random(3);
    for (int i = 0; i < 100000; ++i) {
        const std::uint64_t value = random() >> (random() % 64);
        const std::string text = Text([&](TextOutput& o) { o.Unsigned(value); });
        std::uint64_t back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(back, value) << text;
    }
}

TEST(TextOutput, FloatsInTheirShortestForm) {
    const std::pair<float, const char*> cases[] = {
        {0.0f, "0"}, {-0.0f, "-0"}, {1.0f, "1"}, {-3.0f, "-3"}, {0.5f, "0.5"}, {0.1f, "0.1"}, {1.25f, "1.25"},
        {0.05f, "0.05"}, {123456.7f, "123456.7"}, {0.3333333f, "0.3333333"}, {1e-6f, "1e-06"},
        {3.4028235e38f, "3.4028235e+38"}, {std::numeric_limits<float>::infinity(), "inf"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(Text([&](TextOutput& o) { o.Float(value); }), text);
    EXPECT_EQ(Text([](TextOutput& o) { o.Double(0.25); }), "0.25");
    EXPECT_EQ(Text([](TextOutput& o) { o.Double(-1e300); }), "-1e+300");
    EXPECT_EQ(Text([](TextOutput& o) { o.Double(0.1); }), "0.1");
}

TEST(TextOutput, FloatsReadBackExactly) {
    std::mt19937 random(5);
    for (int i = 0; i < 200000; ++i) {
        float value;
        if (i % 2) {
            const std::uint32_t bits = random();
            std::memcpy(&value, &bits, 4);
            if (!std::isfinite(value)) continue;
        } else {
            // Plain decimals, the kind the short form is for.
            value = static_cast<float>(static_cast<int>(random() % 2000001) - 1000000) / static_cast<float>(std::pow(10, random() % 8));
        }
        const std::string text = Text([&](TextOutput& o) { o.Float(value); });
        float back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(std::memcmp(&back, &value, 4), 0) << text;
    }
    for (int i = 0; i < 100000; ++i) {
        double value;
        if (i % 2) {
            const std::uint64_t bits = static_cast<std::uint64_t>(random()) << 32 | random();
            std::memcpy(&value, &bits, 8);
            if (!std::isfinite(value)) continue;
        } else {
            value = static_cast<double>(static_cast<int>(random() % 2000001) - 1000000) / std::pow(10, random() % 10);
        }
        const std::string text = Text([&](TextOutput& o) { o.Double(value); });
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(std::memcmp(&back, &value, 8), 0) << text;
    }
}

TEST(TextOutput, QuotedTextIsEscapedAndCut) {
    auto quoted = [](const std::string& bytes, std::size_t limit) {
        return Text([&](TextOutput& o) { o.Quoted(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), limit); });
    };
    EXPECT_EQ(quoted("u_color", 96), "\"u_color\"");
    EXPECT_EQ(quoted(std::string("ab\0cd", 5), 96), "\"ab\"");
    EXPECT_EQ(quoted("a\"b\\c\nd\x1b\xff", 96), "\"a\\\"b\\\\c\\nd\\x1B\\xFF\"");
    EXPECT_EQ(quoted("abcdef", 3), "\"abc\"...");
    EXPECT_EQ(quoted(std::string("abc\0", 4), 3), "\"abc\"");
    EXPECT_EQ(quoted("", 3), "\"\"");
}

TEST(TextOutput, LongTextGrowsTheBuffer) {
    TextOutput out;
    const std::string line(1000, 'x');
    for (int i = 0; i < 100; ++i) {
        out << line;
        out.EndLine();
    }
    EXPECT_EQ(out.text().size(), 100u * 1001u);
    EXPECT_EQ(out.text().substr(1000, 2), "\nx");
}

}  // namespace
}  // namespace kestrel::test
