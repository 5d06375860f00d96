#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "devices/charger/charger_view.h"
#include "sim/sim_device.h"
#include "sim/sim_options.h"

namespace veltrona::sim {

// A charger on a 24 V AGM battery, charging from the start. A charge run steps through the
// stages of the plan of its battery type on a clock that the time scale can speed up, and
// integrates its current into three capacity counters. Commands written to 0x000A are
// answered in 0x060E/0x060F until the master writes command 0. A valid link set written to
// 0x2000..0x2002 becomes its new line settings; an invalid one is refused. Calibration is on
// (0x0620 bit 15) while 0x2908 bit 15 is; the coefficients 0x290A..0x290D change only on a
// write with 0x2908 bit 14 set and read back as the charger keeps them.
class ChargerSim : public SimDevice {
  public:
    ChargerSim();
    void Advance(double seconds) override;
    std::uint8_t RefuseWrite(std::uint16_t start,
                             std::span<const std::uint16_t> values) const override;
    void Written(std::uint16_t start, std::uint16_t count, double seconds) override;
    std::optional<LinkSettings> TakeLinkChange() override;

    // Shows the line settings it is served with in its link registers; a speed without a
    // baud code leaves that register.
    void SetLink(const LinkSettings& link);

    // From `seconds` on, the charger's time runs `scale` times as fast (0 stops it).
    void SetTimeScale(double scale, double seconds);
    // Puts an error into its register (or takes them all away) at `seconds`.
    void InjectError(const ChargerErrorCommand& error, double seconds);

  private:
    // Brings the charge run to `seconds`, then the registers to the model.
    void Step(double seconds);
    void Run(double device_seconds);
    void Publish(double seconds);
    void StartRun();
    void SetSettings(const ChargerSettingsValues& settings);
    // Carries out a command; returns its result code.
    std::uint16_t Execute(std::uint16_t code, std::uint32_t parameter);
    bool Halted() const;
    // After a write of the calibration registers.
    void TakeCalibration();

    double last_seconds_ = 0;
    double scale_ = 1;
    bool charging_ = false;
    std::size_t plan_ = 0;
    std::size_t stage_ = 0;
    // Device seconds in the current stage and in the run.
    double stage_seconds_ = 0;
    double run_seconds_ = 0;
    // The capacity counters in A*s.
    double session_ = 0;
    double total_ = 0;
    double user_ = 0;
    std::optional<LinkSettings> link_change_;
    std::array<std::uint16_t, 4> coefficients_{};
};

}  // namespace veltrona::sim
