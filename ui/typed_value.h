#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltrona {

// Range and step of a numeric settings field, in register units.
struct FieldLimits {
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t increment = 1;
};

// What typing may put into a field: digits, and ',' or '.' when its register has decimals. The
// minus sign never: negative values are reached with the arrows.
bool AcceptsTypedCharacter(char32_t character, unsigned decimals);
// A text pasted or typed, UTF-8, passes when every character does.
bool AcceptsTypedText(std::string_view text, unsigned decimals);

// The value Enter stores for a typed text: nullopt for an empty text (the caller says "Нет
// данных"). The last ',' or '.' separates the fraction; a text that is no number counts as 0.
// The decimal digits are taken exactly (surplus fraction digits dropped, no binary rounding),
// a value beyond the maximum is limited before it could overflow, then the value is cut down to
// a whole multiple of the increment (skipped for increment 0) and limited to the range.
std::optional<std::int32_t> TypedValue(std::string_view text, unsigned decimals,
                                       const FieldLimits& limits);

}  // namespace veltrona
