#include "ui/typed_value.h"

#include <gtest/gtest.h>

namespace veltrona {
namespace {

struct TypedCase {
    std::string_view text;
    unsigned decimals;
    FieldLimits limits;
    std::optional<std::int32_t> stored;
};

constexpr TypedCase kTypedCases[] = {
    // Exact digits where a double product falls just short; surplus digits dropped.
    {"16.40", 2, {0, 5000, 10}, 1640},
    {"2,30", 2, {0, 5000, 10}, 230},
    {"10.20", 2, {0, 5000, 10}, 1020},
    {"12,345", 2, {0, 9000, 100}, 1200},
    {"1.99999999999999999999", 2, {0, 5000, 1}, 199},
    {"12.7", 0, {0, 100, 1}, 12},
    // Limits, however many digits, and increment 0.
    {"99999999999", 2, {0, 3000, 10}, 3000},
    {"18446744073709551615", 0, {-5, 2147483647, 1}, 2147483647},
    {"5", 0, {-36, 0, 1}, 0},
    {"0,05", 2, {20, 100, 10}, 20},
    {"7", 0, {0, 100, 0}, 7},
    // No number counts as 0.
    {"1.2.5", 1, {300, 500, 10}, 300},
    {".", 1, {50, 100, 10}, 50},
    {",", 1, {-50, 100, 10}, 0},
    {"", 1, {50, 100, 10}, std::nullopt},
};

TEST(TypedValue, StoredValues) {
    for (const TypedCase& c : kTypedCases) {
        EXPECT_EQ(TypedValue(c.text, c.decimals, c.limits), c.stored) << c.text;
    }
}

struct FilterCase {
    std::string_view text;
    unsigned decimals;
    bool accepted;
};

constexpr FilterCase kFilterCases[] = {
    {"0123456789", 0, true}, {"12,5", 1, true}, {"1.5", 2, true},
    {"", 0, true},           {"1.5", 0, false}, {"-5", 2, false},
    {"1a", 2, false},        {"Ё", 2, false},   {"١", 2, false},
};

TEST(TypedValue, TypingFilter) {
    for (const FilterCase& c : kFilterCases) {
        EXPECT_EQ(AcceptsTypedText(c.text, c.decimals), c.accepted) << c.text << " " << c.decimals;
    }
}

}  // namespace
}  // namespace veltrona
