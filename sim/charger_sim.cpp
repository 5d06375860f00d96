#include "sim/charger_sim.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <utility>

#include "devices/charger/charge_profile.h"
#include "devices/charger/charger_blocks.h"

namespace veltrona::sim {
namespace {

struct Preset {
    std::uint16_t address;
    std::uint16_t value;
};

constexpr Preset kPresets[] = {
    // identification
    {0x0000, 2},
    {0x0001, 1},
    {0x0002, 0x0107},
    {0x0007, 0x00C0},
    // live block: firmware 1.2.0.7; AGM at 24 V
    {0x0602, 1},
    {0x0603, 2},
    {0x0604, 0},
    {0x0605, 7},
    {0x0606, 3},
    {0x0610, 240},
    {0x0611, 1},
    {0x0617, 1},
    {0x0619, 1},
    // link: address 1, 115200, 8N1
    {0x2000, 1},
    {0x2001, 4},
    {0x2002, 0},
    // capability: 12 and 24 V; GEL, AGM, FLOODED, User ACID; 30.00 V; 50.00 A at 12 V and
    // 40.00 A at 24 V
    {0x3000, 0x0180},
    {0x3002, 0x0027},
    {0x3003, 3000},
    {0x300B, 5000},
    {0x300C, 4000},
    // the battery-power relay and both relay outputs
    {0x3019, 0x0007},
};

// The factory profile: the AGM presets at 24 V over the cell registers they keep, then
// output 1 following input 1 (validation leaves the outputs alone).
constexpr std::uint16_t kProfileVoltage = 240;
constexpr std::uint16_t kProfileType = 1;
constexpr Preset kProfileKept[] = {{0x280A, 200}, {0x280B, 12}};
constexpr Preset kProfileOutputs[] = {{0x281A, 1}, {0x281B, 1}};

constexpr std::uint16_t kSettingsFirst = 0x2800;

constexpr std::uint16_t kLinkFirst = 0x2000;
constexpr std::uint16_t kLinkCount = 3;

constexpr std::uint16_t kCalibrationState = 0x0620;
constexpr std::uint16_t kCalibrationRequest = 0x2908;
constexpr std::uint16_t kCoefficientFirst = 0x290A;
constexpr std::uint16_t kCoefficientEnd = 0x290E;
constexpr std::uint16_t kCalibrationOn = 0x8000;
constexpr std::uint16_t kCalibrationStore = 0x4000;
constexpr std::uint16_t kCoefficientStart = 10000;

constexpr std::uint16_t kCommand = 0x000A;
constexpr std::uint16_t kCommandParameter = 0x000B;
constexpr std::uint16_t kCommandAnswer = 0x060E;
constexpr std::uint16_t kCommandResult = 0x060F;
constexpr std::uint16_t kFoundVoltage = 0x0610;
constexpr std::uint16_t kFoundType = 0x0611;
constexpr std::uint16_t kMains = 0x0613;
constexpr std::uint16_t kSettingsVoltage = 0x2809;
constexpr std::uint16_t kSettingsType = 0x280C;

enum Result : std::uint16_t { kNone = 0, kDone = 1, kUnsupported = 2, kFailed = 3 };
constexpr std::uint32_t kClearErrorsParameter = 0x2000;

// State bits of 0x0600.
constexpr std::uint16_t kConnected = 0x80;
constexpr std::uint16_t kAvailable = 0x40;
constexpr std::uint16_t kCharging = 0x20;
constexpr std::uint16_t kStandby = 0x10;

// Every error but the small one (a warning) stops a run and keeps a new one from starting
// until the errors are cleared; bit 2 marks those that wait for clearing.
struct ErrorRegister {
    ChargerErrorKind kind;
    std::uint16_t address;
    std::uint16_t state_bits;
    bool halts;
};

constexpr ErrorRegister kErrors[] = {
    {ChargerErrorKind::kBig, 0x061B, 0x06, true},
    {ChargerErrorKind::kSmall, 0x061C, 0x01, false},
    {ChargerErrorKind::kClose, 0x061D, 0x04, true},
    {ChargerErrorKind::kErr, 0x061E, 0x0C, true},
};

// Bits of 0x0615: input 1 (the charge permit) is closed and the switch stands at on.
constexpr std::uint16_t kInputs = 0x0041;
constexpr std::uint16_t kOutputBits[] = {0x0100, 0x0200};
// Case, logic and criterion registers of outputs 1 and 2.
constexpr std::uint16_t kOutputSettings[] = {0x281A, 0x281D};

// One stage of a charge plan; a stage of 0 minutes lasts until the charge is switched off.
// Current and voltage move linearly from the first to the second value over the stage; the
// voltages are multiples of the battery's nominal voltage.
struct Stage {
    std::uint16_t number;
    std::uint16_t minutes;
    double amps_from;
    double amps_to;
    double volts_from;
    double volts_to;
};

constexpr Stage kAcidPlan[] = {
    {2, 5, 5, 25, 1.05, 1.10},      // soft start
    {3, 60, 25, 25, 1.10, 1.20},    // constant current
    {4, 60, 25, 2, 1.20, 1.20},     // absorption: the voltage held, the current falling
    {7, 0, 0.5, 0.5, 1.135, 1.135}  // float
};
constexpr Stage kTractionPlan[] = {
    {3, 90, 30, 30, 1.05, 1.18},
    {4, 60, 30, 5, 1.18, 1.18},
    {6, 30, 5, 5, 1.18, 1.24},  // final
    {7, 0, 1, 1, 1.11, 1.11},
};
constexpr Stage kLithiumPlan[] = {
    {3, 60, 30, 30, 1.08, 1.15},
    {4, 30, 30, 10, 1.15, 1.15},
    {5, 20, 10, 3, 1.15, 1.15},  // reduced current
    {7, 0, 0.2, 0.2, 1.12, 1.12},
};
constexpr std::span<const Stage> kPlans[] = {kAcidPlan, kTractionPlan, kLithiumPlan};

// Battery type codes of the traction and lithium families; every other code charges as acid.
constexpr std::uint16_t kTractionTypes[] = {4, 36};
constexpr std::uint16_t kLithiumTypes[] = {8, 40};
constexpr std::uint16_t kVoltageCodes[] = {120, 240, 360, 480};

constexpr double kRestingVolts = 1.06;
constexpr double kIdleMainsAmps = 0.12;
constexpr double kEfficiency = 0.9;
constexpr double kSecondsPerAh = 3600;

template <std::size_t N>
bool Among(const std::uint16_t (&codes)[N], std::uint16_t code) {
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

std::size_t PlanFor(std::uint16_t type) {
    if (Among(kTractionTypes, type)) return 1;
    if (Among(kLithiumTypes, type)) return 2;
    return 0;
}

double StageSeconds(const Stage& s) {
    return s.minutes == 0 ? std::numeric_limits<double>::infinity() : s.minutes * 60.0;
}

double Along(const Stage& s, double from, double to, double seconds) {
    return s.minutes == 0 ? from : from + (to - from) * seconds / StageSeconds(s);
}

std::uint16_t U16(double v) {
    return static_cast<std::uint16_t>(std::lround(std::clamp(v, 0.0, 65535.0)));
}
std::uint32_t U32(double v) {
    return static_cast<std::uint32_t>(std::llround(v));
}
std::uint32_t MilliAh(double amp_seconds) {
    return U32(amp_seconds * 1000 / kSecondsPerAh);
}
std::uint16_t Minutes(double seconds) {
    return static_cast<std::uint16_t>(std::min(std::floor(seconds / 60), 65535.0));
}

ChargerSettingsValues FactoryProfile() {
    ChargerSettingsValues settings{};
    for (const Preset& p : kProfileKept)
        settings[p.address - kSettingsFirst] = p.value;
    ApplyPresets(settings, kProfileVoltage, kProfileType);
    for (const Preset& p : kProfileOutputs)
        settings[p.address - kSettingsFirst] = p.value;
    return settings;
}

bool TouchesLink(std::uint32_t start, std::uint32_t count) {
    return start < kLinkFirst + kLinkCount && start + count > kLinkFirst;
}

// Mains state of an output's criterion list: 1 below, 2 above, 3 within the normal band.
std::uint16_t MainsState(std::uint16_t centivolts) {
    if (centivolts < 19500) return 1;
    return centivolts > 25300 ? 2 : 3;
}

}  // namespace

ChargerSim::ChargerSim() : SimDevice(kChargerBlocks) {
    coefficients_.fill(kCoefficientStart);
    for (const Preset& p : kPresets)
        Set(p.address, p.value);
    for (std::size_t i = 0; i < coefficients_.size(); ++i)
        Set(static_cast<std::uint16_t>(kCoefficientFirst + i), coefficients_[i]);
    SetSettings(FactoryProfile());
    Set32(0x0003, 20240611);
    Set32(0x0005, 1200345);
    total_ = 1'234.567 * kSecondsPerAh;
    user_ = 45.678 * kSecondsPerAh;
    StartRun();
    Publish(0);
}

void ChargerSim::Advance(double t) {
    Step(t);
}

std::uint8_t ChargerSim::RefuseWrite(std::uint16_t start,
                                     std::span<const std::uint16_t> values) const {
    const auto link =
        LinkSetAfterWrite(kLinkFirst, start, values, [this](std::uint16_t at) { return Get(at); });
    return !link || DecodeLinkSet((*link)[0], (*link)[1], (*link)[2]) ? 0 : kIllegalValue;
}

std::optional<LinkSettings> ChargerSim::TakeLinkChange() {
    return std::exchange(link_change_, std::nullopt);
}

void ChargerSim::SetLink(const LinkSettings& link) {
    Set(kLinkFirst, link.address);
    if (const auto code = BaudCode(link.baud)) Set(kLinkFirst + 1, *code);
    Set(kLinkFirst + 2, static_cast<std::uint16_t>(static_cast<unsigned>(link.parity) << 8 |
                                                   static_cast<unsigned>(link.stop_bits)));
}

void ChargerSim::Written(std::uint16_t start, std::uint16_t count, double t) {
    Step(t);
    if (TouchesLink(start, count)) {
        link_change_ = DecodeLinkSet(Get(kLinkFirst), Get(kLinkFirst + 1), Get(kLinkFirst + 2));
    }
    if (start < kCoefficientEnd && start + count > kCalibrationRequest) {
        TakeCalibration();
    }
    if (kCommand < start || kCommand >= start + count) return;
    const std::uint16_t code = Get(kCommand);
    const std::uint16_t result = Execute(code, Get32(kCommandParameter));
    Set(kCommandAnswer, code);
    Set(kCommandResult, result);
    Publish(t);
}

void ChargerSim::TakeCalibration() {
    const std::uint16_t request = Get(kCalibrationRequest);
    for (std::size_t i = 0; i < coefficients_.size(); ++i) {
        const auto at = static_cast<std::uint16_t>(kCoefficientFirst + i);
        if ((request & kCalibrationStore) != 0) coefficients_[i] = Get(at);
        Set(at, coefficients_[i]);
    }
    Set(kCalibrationState, static_cast<std::uint16_t>((Get(kCalibrationState) & ~kCalibrationOn) |
                                                      (request & kCalibrationOn)));
}

void ChargerSim::SetTimeScale(double scale, double t) {
    Step(t);
    scale_ = scale;
}

void ChargerSim::InjectError(const ChargerErrorCommand& error, double t) {
    Step(t);
    for (const ErrorRegister& e : kErrors) {
        if (error.kind == ChargerErrorKind::kClear) {
            Set(e.address, 0);
        } else if (error.kind == e.kind) {
            Set(e.address, error.code);
        }
    }
    if (Halted()) charging_ = false;
    Publish(t);
}

void ChargerSim::Step(double t) {
    // A clock that went back (a restarted bus) only sets the new origin.
    Run(std::max(0.0, t - last_seconds_) * scale_);
    last_seconds_ = t;
    Publish(t);
}

void ChargerSim::Run(double left) {
    const std::span<const Stage> plan = kPlans[plan_];
    while (charging_ && left > 0) {
        const Stage& s = plan[stage_];
        const double remaining = StageSeconds(s) - stage_seconds_;
        const double h = std::min(left, remaining);
        // The current is linear within a stage: its mean over the step is exact.
        const double amps = (Along(s, s.amps_from, s.amps_to, stage_seconds_) +
                             Along(s, s.amps_from, s.amps_to, stage_seconds_ + h)) /
                            2;
        session_ += amps * h;
        total_ += amps * h;
        user_ += amps * h;
        stage_seconds_ += h;
        run_seconds_ += h;
        left -= h;
        if (h == remaining && stage_ + 1 < plan.size()) {
            ++stage_;
            stage_seconds_ = 0;
        }
    }
}

void ChargerSim::StartRun() {
    if (Among(kVoltageCodes, Get(kSettingsVoltage))) Set(kFoundVoltage, Get(kSettingsVoltage));
    Set(kFoundType, Get(kSettingsType));
    plan_ = PlanFor(Get(kFoundType));
    stage_ = 0;
    stage_seconds_ = 0;
    run_seconds_ = 0;
    session_ = 0;
    charging_ = true;
}

void ChargerSim::SetSettings(const ChargerSettingsValues& settings) {
    for (std::size_t i = 0; i < settings.size(); ++i)
        Set(static_cast<std::uint16_t>(kSettingsFirst + i), settings[i]);
}

bool ChargerSim::Halted() const {
    return std::any_of(std::begin(kErrors), std::end(kErrors),
                       [&](const ErrorRegister& e) { return e.halts && Get(e.address) != 0; });
}

std::uint16_t ChargerSim::Execute(std::uint16_t code, std::uint32_t parameter) {
    switch (code) {
        case 0:
            return kNone;
        case 1:
            if (Halted()) return kFailed;
            if (!charging_) StartRun();
            return kDone;
        case 2:
            charging_ = false;
            return kDone;
        case 3:
            total_ = 0;
            return kDone;
        case 4:
            user_ = 0;
            return kDone;
        case 5:
            if (parameter != kClearErrorsParameter || charging_) return kFailed;
            for (const ErrorRegister& e : kErrors)
                Set(e.address, 0);
            return kDone;
        case 16:
            SetSettings(FactoryProfile());
            return kDone;
        default:
            return kUnsupported;
    }
}

void ChargerSim::Publish(double t) {
    const Stage& s = kPlans[plan_][stage_];
    const double nominal = Get(kFoundVoltage) / 10.0;
    const double amps = charging_ ? Along(s, s.amps_from, s.amps_to, stage_seconds_) : 0.0;
    const double volts =
        nominal * (charging_ ? Along(s, s.volts_from, s.volts_to, stage_seconds_) : kRestingVolts);
    const double watts = volts * amps;

    std::uint16_t state = kConnected | kAvailable;
    if (charging_) {
        state |= kCharging;
    } else if (!Halted()) {
        state |= kStandby;
    }
    for (const ErrorRegister& e : kErrors) {
        if (Get(e.address) != 0) state |= e.state_bits;
    }

    Set32(0x0008, DeviceClockNow());
    Set(0x0600, state);
    Set(kMains, U16(23000 + 150 * std::sin(t / 7.0)));
    const double mains_volts = Get(kMains) / 100.0;
    Set(0x0614, U16(100 * (charging_ ? watts / (mains_volts * kEfficiency) : kIdleMainsAmps)));
    Set(0x0616, charging_ ? 1 : 0);
    Set(0x0618, charging_ ? s.number : 0);
    Set32(0x0628, U32(amps * 100));
    Set32(0x062A, charging_ ? U32(amps * 100 + 3) : 0);
    Set32(0x062E, U32(volts * 1000));
    Set32(0x0632, U32(watts * 1000));
    Set(0x0634, U16(250 + 10 * std::sin(t / 60.0)));
    Set(0x0635, U16(350 + 20 * std::sin(t / 45.0)));
    Set(0x0636, U16(330 + 15 * std::sin(t / 50.0)));
    Set(0x0638, charging_ ? Minutes(stage_seconds_) : 0);
    Set(0x0639, charging_ ? Minutes(run_seconds_) : 0);
    Set32(0x063A, MilliAh(session_));
    Set32(0x063C, MilliAh(total_));
    Set32(0x063E, MilliAh(user_));

    // Outputs by their control case: 1 to 3 follow an input, 4 the mains state, 5 a battery
    // voltage and 6 a charge time reached; logic 0 inverts.
    std::uint16_t io = kInputs;
    for (std::size_t i = 0; i < std::size(kOutputSettings); ++i) {
        const std::uint16_t control = Get(kOutputSettings[i]);
        const std::uint16_t criterion = Get(static_cast<std::uint16_t>(kOutputSettings[i] + 2));
        bool on = false;
        switch (control) {
            case 1:
            case 2:
            case 3:
                on = (kInputs & (1u << (control - 1))) != 0;
                break;
            case 4:
                on = MainsState(Get(kMains)) == criterion;
                break;
            case 5:
                on = volts * 100 >= criterion;
                break;
            case 6:
                on = charging_ && run_seconds_ >= criterion * 60.0;
                break;
            default:
                continue;
        }
        const bool direct = Get(static_cast<std::uint16_t>(kOutputSettings[i] + 1)) == 1;
        if (on == direct) io |= kOutputBits[i];
    }
    Set(0x0615, io);
}

}  // namespace veltrona::sim
