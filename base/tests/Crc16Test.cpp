#include "base/Crc16.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "testing/Wire.h"

namespace {

TEST(Crc16, StandardCheckValue) {
    const char* digits = "123456789";
    EXPECT_EQ(Crc16(digits, std::strlen(digits)), 0x31C3);
    EXPECT_EQ(Crc16(digits, 0), 0);
}

TEST(Crc16, MatchesBitwiseOverEveryByteValueAndContinuesAcrossCalls) {
    std::vector<uint8_t> data(1024);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    const uint16_t whole = Crc16(data.data(), data.size());
    EXPECT_EQ(whole, wire::Crc(data.data(), data.size()));
    const uint16_t first = Crc16(data.data(), 300);
    EXPECT_EQ(Crc16Update(first, data.data() + 300, data.size() - 300), whole);
}

}  // namespace
