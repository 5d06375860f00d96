#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "devices/charger/charge_profile.h"

namespace veltrona {

// What the settings tabs work with while they show the edited settings: the charge script of
// its battery type and the ranges the profile rules give, which coupled edits narrow until the
// next refresh.
struct ChargerPageState {
    std::uint16_t voltage_code = 0;
    std::uint16_t type_code = 0;
    ChargeScript script;
    std::optional<StageLimitTable> limits;
    ValueRange end_current;
};

// The state for the settings' own voltage and type codes.
ChargerPageState PageStateFor(const ChargerSettingsValues& settings);

}  // namespace veltrona
