#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veltrona {

// One traffic monitor line: "rx " or "tx ", the stamp as "hh:nn.ss.zzz", two spaces, then
// every byte as two upper-case hex digits separated by single spaces. A null frame counts as
// an empty one; time fields are clamped to their ranges so the stamp keeps its width.
std::string FormatTrafficLine(bool received, const std::uint8_t* frame, std::size_t length,
                              int hour, int minute, int second, int millisecond);

}  // namespace veltrona
