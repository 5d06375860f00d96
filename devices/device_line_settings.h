#pragma once

#include <cstdint>
#include <span>

#include "files/program_settings.h"

namespace veltrona {

// A device's RS-485 settings block as written to it: new bus address; baud code; parity code
// in the high byte and stop-bit code in the low byte of the third register.
inline constexpr std::size_t kLineSettingsRegisters = 3;

// The program settings' entry for a device after it took the block: its address, the baud of
// the code (a code above the table counts as 0), 8 data bits, and parity and stop bits carried
// over by name, since the device numbers them otherwise than the settings file. The enabled
// flag stays.
DeviceLinkSettings AdoptedLineSettings(std::span<const std::uint16_t, kLineSettingsRegisters> block,
                                       const DeviceLinkSettings& current);

}  // namespace veltrona
