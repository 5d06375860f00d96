#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "sim/sim_device.h"

namespace veltrona::sim {

// A UPS on a 24 V GEL battery, switched on and passing the mains through, its charger
// floating the battery. The mains is lost while its voltage is outside the input thresholds
// of the settings; a switched-on UPS then runs the load from the battery. A charge cycle
// steps bulk, absorption, equalization and float as the settings enable them. Commands in
// 0x000A..0x000C: 1 and 2 save settings and link settings, 3 sets the clock, 4 empties the
// alarm journal, 9 and 10 set the charging current and voltage within their bounds, 11 and
// 12 switch on and off, 13 starts a new cycle. Its loader answers every operation with OK.
// Its link set, written one register per request, is taken with the write of its last
// register (0x2002), after the reply; a set it cannot take is refused.
class InverterSim : public SimDevice {
  public:
    static constexpr std::size_t kSettingsCount = 55;
    static constexpr std::size_t kLinkCount = 3;

    InverterSim();
    void Advance(double seconds) override;
    void Written(std::uint16_t start, std::uint16_t count, double seconds) override;
    std::uint8_t RefuseWrite(std::uint16_t start,
                             std::span<const std::uint16_t> values) const override;
    std::optional<LinkSettings> TakeLinkChange() override;
    std::vector<std::uint8_t> LoaderReply(std::span<const std::uint8_t> request) override;

    // What it keeps outside its registers: the EEPROM copies and the alarm journal, which
    // takes one entry for each alarm the log words select as it comes on.
    const std::array<std::uint16_t, kSettingsCount>& SavedSettings() const { return saved_; }
    const std::array<std::uint16_t, kLinkCount>& SavedLink() const { return saved_link_; }
    std::size_t JournalEntries() const { return journal_; }

  private:
    // Brings the model to `seconds` without publishing it.
    void Step(double seconds);
    void Publish(double seconds);
    void Execute(std::uint16_t code, std::uint32_t parameter);
    void StartCycle();
    void EndStage();
    bool Charging() const;
    double StageLength() const;
    std::uint16_t Clamped(std::uint16_t setting, std::uint32_t value) const;

    double last_seconds_ = 0;
    double clock_ = 0;
    std::size_t stage_ = 0;
    double stage_seconds_ = 0;
    double bulk_from_ = 0;  // battery volts when the bulk stage began
    double battery_volts_ = 0;
    double on_battery_seconds_ = 0;
    std::uint16_t manage_status_ = 0;
    std::uint16_t manage_alert_ = 0;
    bool mains_low_ = false;
    bool mains_high_ = false;
    std::uint16_t operating_ = 0;
    std::uint16_t switching_ = 0;
    double switched_at_ = -1e9;
    double switched_on_at_ = -1e9;
    std::uint32_t alarms_ = 0;  // both safety words, for the journal's onsets
    std::size_t journal_ = 0;
    std::array<std::uint16_t, kSettingsCount> saved_{};
    std::array<std::uint16_t, kLinkCount> saved_link_{};
    std::optional<LinkSettings> link_change_;
};

}  // namespace veltrona::sim
