#pragma once

#include "sim/sim_device.h"

namespace veltrona::sim {

// A 16-cell lithium pack of 100 Ah, discharging gently.
class BmsSim : public SimDevice {
  public:
    static constexpr std::uint16_t kCells = 16;
    BmsSim();
    void Advance(double seconds) override;
};

}  // namespace veltrona::sim
