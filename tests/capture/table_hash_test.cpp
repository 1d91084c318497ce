#include <gtest/gtest.h>

#include <cstring>

#include "capture/TableHash.h"

// Expected values come from an independent implementation of the hash over the same table.
TEST(TableHash, MatchesAnIndependentComputation) {
    struct Case { const char* text; std::size_t size; std::uint32_t hash; };
    const Case cases[] = {
        {"", 0, 0x00000000},
        {"a", 1, 0x9DC3B961},
        {"123456789", 9, 0x55CE33CE},
        {"-1234567890987654321", 20, 0xD02F7A31},
        {"-5-1640531527", 13, 0xC3EE6607},
        {"\xff\x80\x7f", 3, 0x50A85F27},  // bytes above 0x7F are taken unsigned
    };
    for (const Case& c : cases) EXPECT_EQ(kestrel::TableHash(c.text, c.size), c.hash) << '"' << c.text << '"';
}
