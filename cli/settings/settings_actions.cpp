#include "cli/settings/settings_actions.h"

#include <cstdio>

#include "devices/charger/charge_profile.h"
#include "devices/charger/charger_blocks.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_settings_workflow.h"
#include "files/atomic_save.h"
#include "files/device_settings_file.h"

namespace veltrona {
namespace {

std::string_view KeyOf(std::size_t index) {
    return ChargerSettingsKeys()[index].key;
}

// "KEY: old -> new" for every register validation changed or refused.
void ReportValidation(const ChargerSettingsValues& before, const ChargerSettingsValues& after,
                      const ValidationResult& result, std::ostream& log) {
    log << kSettingsInvalid << '\n';
    for (std::size_t i = 0; i < before.size(); ++i) {
        const bool refused = result.refused_index == i;
        if (before[i] == after[i] && !refused) continue;
        log << "  " << KeyOf(i) << ": " << before[i] << " -> " << after[i]
            << (refused ? " refused" : "") << '\n';
    }
}

void ReportRefusedWrites(const std::vector<RefusedWrite>& refused, std::ostream& log) {
    for (const RefusedWrite& write : refused) {
        char address[8];
        std::snprintf(address, sizeof address, "0x%04X", static_cast<unsigned>(write.address));
        log << "veltrona-settings: the charger refused the write at " << address
            << " with exception " << static_cast<unsigned>(write.exception) << '\n';
    }
}

// The registers whose read-back differs from what was sent; true when none does.
bool ReportReadBack(const ChargerSettingsValues& sent, const ChargerSettingsValues& read,
                    std::ostream& log) {
    bool same = true;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (sent[i] == read[i]) continue;
        if (same) log << "veltrona-settings: the charger holds other values than sent\n";
        same = false;
        log << "  " << KeyOf(i) << ": sent " << sent[i] << ", read back " << read[i] << '\n';
    }
    return same;
}

}  // namespace

int ReadSettingsToFile(SettingsSession& session, const ChargerView& view,
                       const std::filesystem::path& file, std::ostream& log) {
    session.client().AwaitBlock(kChargerBlockSettings, "read");
    if (!session.Wait()) return 1;
    const std::optional<std::string> bytes =
        ComposeDeviceSettings(kChargerSettingsTitle, ChargerSettingsKeys(), view.received.settings);
    if (!bytes || !AtomicSave(file, *bytes)) {
        log << "veltrona-settings: cannot write " << file.string() << '\n';
        return 1;
    }
    return 0;
}

int WriteSettingsToDevice(SettingsSession& session, ChargerView& view, std::ostream& log) {
    // Validation needs what the charger can do.
    session.client().AwaitBlock(kChargerBlockCapability, "read");
    if (!session.Wait()) return 1;
    const ChargerSettingsValues from_file = view.edited;
    const ValidationResult result = ValidateSettings(view.received.capability, view.edited);
    // A correction would send other settings than the file's: a restore must be exact.
    if (!result.ok || view.edited != from_file) {
        ReportValidation(from_file, view.edited, result, log);
        return 1;
    }

    QueueChargerSettingsWrite(session.charger(), view);
    session.client().AwaitSettingsWrites("write");
    bool answered = session.Wait();
    if (answered) {
        session.client().AwaitBlock(kChargerBlockSettings, "read-back");
        answered = session.Wait();
    }
    const std::vector<RefusedWrite>& refused = session.client().refused_writes();
    ReportRefusedWrites(refused, log);
    if (!answered) return 1;
    const bool same = ReportReadBack(from_file, view.received.settings, log);
    return same && refused.empty() ? 0 : 1;
}

}  // namespace veltrona
