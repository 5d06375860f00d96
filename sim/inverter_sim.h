#pragma once

#include "sim/sim_device.h"

namespace veltrona::sim {

// An inverter passing the mains through and floating its battery; commands 11 and 12 switch
// the inverter on and off, 3 sets its clock. Its loader answers every operation with OK.
class InverterSim : public SimDevice {
  public:
    InverterSim();
    void Advance(double seconds) override;
    void Written(std::uint16_t start, std::uint16_t count, double seconds) override;
    std::vector<std::uint8_t> LoaderReply(std::span<const std::uint8_t> request) override;

  private:
    std::int64_t clock_offset_ = 0;
};

}  // namespace veltrona::sim
