#pragma once

#include "sim/sim_device.h"

namespace veltrona::sim {

// A charger on a 24 V AGM battery, charging from the start; commands 1 and 2 switch the
// charge on and off.
class ChargerSim : public SimDevice {
  public:
    ChargerSim();
    void Advance(double seconds) override;
    void Written(std::uint16_t start, std::uint16_t count, double seconds) override;

  private:
    // Charge of the runs before the current one, in A*s, and when the current run began.
    double charge_before_ = 0;
    double run_start_ = 0;
    bool charging_ = true;
};

}  // namespace veltrona::sim
