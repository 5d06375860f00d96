#include "ui/typed_value.h"

#include <algorithm>

namespace veltrona {

namespace {

// Above any int32 maximum plus any int32 increment, so saturating here leaves the result of the
// cut and the limits unchanged while the digits cannot overflow.
constexpr std::int64_t kSaturation = std::int64_t{1} << 33;

bool IsDigit(char character) {
    return character >= '0' && character <= '9';
}

std::int64_t AppendDigit(std::int64_t value, char digit) {
    return std::min(value * 10 + (digit - '0'), kSaturation);
}

// The text in units of 10^-decimals, taken digit by digit; nullopt when it is no number.
std::optional<std::int64_t> ScaledDigits(std::string_view text, unsigned decimals) {
    const std::size_t separator = text.find_last_of(",.");
    const std::string_view whole = text.substr(0, separator);
    const std::string_view fraction =
        separator == std::string_view::npos ? std::string_view{} : text.substr(separator + 1);
    const auto digits = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(), IsDigit);
    };
    if (!digits(whole) || !digits(fraction) || whole.size() + fraction.size() == 0) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char digit : whole)
        value = AppendDigit(value, digit);
    for (unsigned place = 0; place < decimals; ++place) {
        value = AppendDigit(value, place < fraction.size() ? fraction[place] : '0');
    }
    return value;
}

}  // namespace

bool AcceptsTypedCharacter(char32_t character, unsigned decimals) {
    if (character >= U'0' && character <= U'9') return true;
    return decimals > 0 && (character == U',' || character == U'.');
}

bool AcceptsTypedText(std::string_view text, unsigned decimals) {
    // Every byte of a multi-byte UTF-8 sequence is above 0x7F, so none of them passes.
    return std::all_of(text.begin(), text.end(), [decimals](char byte) {
        return AcceptsTypedCharacter(static_cast<unsigned char>(byte), decimals);
    });
}

std::optional<std::int32_t> TypedValue(std::string_view text, unsigned decimals,
                                       const FieldLimits& limits) {
    if (text.empty()) return std::nullopt;
    std::int64_t value = ScaledDigits(text, decimals).value_or(0);
    if (limits.increment != 0) value = value / limits.increment * limits.increment;
    value = std::min<std::int64_t>(value, limits.maximum);
    value = std::max<std::int64_t>(value, limits.minimum);
    return static_cast<std::int32_t>(value);
}

}  // namespace veltrona
