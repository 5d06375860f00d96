#include "devices/charger/charger_page_state.h"

namespace veltrona {

ChargerPageState PageStateFor(const ChargerSettingsValues& settings) {
    ChargerPageState state;
    state.voltage_code = settings[kSetTypeBattVoltage];
    state.type_code = settings[kSetTypeBatt];
    state.script = ChargeScriptFor(state.type_code);
    state.limits = StageLimits(state.voltage_code, state.type_code);
    state.end_current = EndCurrentRange(settings, state.type_code);
    return state;
}

}  // namespace veltrona
