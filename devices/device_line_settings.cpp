#include "devices/device_line_settings.h"

#include "link/catalogue.h"

namespace veltrona {

DeviceLinkSettings AdoptedLineSettings(std::span<const std::uint16_t, kLineSettingsRegisters> block,
                                       const DeviceLinkSettings& current) {
    DeviceLinkSettings adopted = current;
    adopted.address = block[0];
    adopted.baudrate = BaudRate(block[1]);
    adopted.data_bits = 8;
    adopted.parity = ParityValueOfName(ParityText(block[2] >> 8));
    adopted.stop_bits = StopBitsValueOfName(StopBitsText(block[2] & 0xFF));
    return adopted;
}

}  // namespace veltrona
