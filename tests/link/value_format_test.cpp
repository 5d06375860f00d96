#include "link/value_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

namespace veltrona {
namespace {

RegisterDescriptor Kind(std::uint16_t display, std::uint16_t decimals) {
    return {0, 0, 0, display, decimals};
}

TEST(ValueFormat, RegistersByDisplayKind) {
    const std::vector<std::uint16_t> values{1234, 0xFFFE, 0xFFFF, 0x7FFF};
    EXPECT_EQ(FormatRegister(Kind(1, 2), values, 0, '.'), "12.34");
    EXPECT_EQ(FormatRegister(Kind(1, 2), values, 0, ','), "12,34");
    EXPECT_EQ(FormatRegister(Kind(2, 1), values, 1, '.'), "-0.2");
    EXPECT_EQ(FormatRegister(Kind(2, 1), values, 1, ','), "-0,2");
    EXPECT_EQ(FormatRegister(Kind(1, 0), values, 1, '.'), "65534");
    // Pair ending at index 3: high half 0x7FFF, low half 0xFFFF.
    EXPECT_EQ(FormatRegister(Kind(3, 0), values, 3, '.'), "2147483647");
    EXPECT_EQ(FormatRegister(Kind(4, 0), values, 2, '.'), "-2");  // 0xFFFF'FFFE
    EXPECT_EQ(FormatRegister(Kind(3, 3), values, 2, ','), "4294967,294");
}

TEST(ValueFormat, RegistersOutsideTheBlockOrWithoutTextAreEmpty) {
    const std::vector<std::uint16_t> values{1, 2};
    EXPECT_EQ(FormatRegister(Kind(3, 0), values, 0, '.'), "");
    EXPECT_EQ(FormatRegister(Kind(1, 0), values, 2, '.'), "");
    EXPECT_EQ(FormatRegister(Kind(0, 0), values, 1, '.'), "");
    EXPECT_EQ(FormatRegister(Kind(5, 0), values, 1, '.'), "");
    EXPECT_EQ(FormatRegister(Kind(1, 9), values, 1, '.'), "");
}

TEST(ValueFormat, ExtremesAndSigns) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(FormatSigned(kMin, 0, '.'), "-2147483648");
    EXPECT_EQ(FormatSigned(kMin, 2, '.'), "-21474836.48");
    EXPECT_EQ(FormatSigned(kMin, 8, ','), "-21,47483648");
    EXPECT_EQ(FormatSigned(-5, 1, '.'), "-0.5");
    EXPECT_EQ(FormatSigned(0, 2, '.'), "0.00");
    EXPECT_EQ(FormatUnsigned(0xFFFFFFFFu, 8, '.'), "42.94967295");
    EXPECT_EQ(FormatUnsigned(7, 8, '.'), "0.00000007");
    EXPECT_EQ(FormatUnsigned(7, 9, '.'), "");
    EXPECT_EQ(FormatSigned(7, 100, '.'), "");
}

TEST(ValueFormat, AgreesWithPrintfOverARange) {
    for (std::int32_t value = -30000; value <= 30000; value += 7) {
        for (unsigned decimals = 0; decimals <= 4; ++decimals) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "%.*f", static_cast<int>(decimals),
                          ScaleSigned(value, decimals));
            ASSERT_EQ(FormatSigned(value, decimals, '.'), expected) << value << " " << decimals;
        }
    }
}

TEST(ValueFormat, Scaling) {
    EXPECT_DOUBLE_EQ(ScaleUnsigned(1234, 2), 12.34);
    EXPECT_DOUBLE_EQ(ScaleSigned(-5, 1), -0.5);
    EXPECT_DOUBLE_EQ(ScaleSigned(std::numeric_limits<std::int32_t>::min(), 8), -21.47483648);
}

}  // namespace
}  // namespace veltrona
