#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veltrona {

// The settings files are single-byte Windows-1251 text. A character the code page cannot hold
// (and every byte of malformed UTF-8) becomes '?', so one character always stays one byte and
// the fixed-width line patterns keep their widths. Nullopt when the system has no converter for
// the code page: every character would come out as '?'.
std::optional<std::string> Utf8ToCp1251(std::string_view utf8);
// Byte 0x98, the one byte the code page leaves undefined, becomes '?'.
std::optional<std::string> Cp1251ToUtf8(std::string_view cp1251);

// Letter case ignored for Latin and Cyrillic letters of the code page.
bool SameTextCp1251(std::string_view a, std::string_view b);

}  // namespace veltrona
