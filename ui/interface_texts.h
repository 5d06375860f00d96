#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace veltrona {

inline constexpr std::size_t kInterfaceTextCount = 47;

// Empty for an index outside the table.
std::string_view InterfaceText(std::size_t index);

// Four status phrases joined by "\n\r".
std::string DeviceStatusHint(std::uint16_t flags);

}  // namespace veltrona
