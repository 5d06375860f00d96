#include "sim/inverter_sim.h"

#include "sim/link_set.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "devices/inverter/inverter_blocks.h"

namespace veltrona::sim {
namespace {

// The mains the UPS sees, switched on or not.
double MainsVolts(double t) {
    return 230.0 + 2.0 * std::sin(t / 9.0) + 0.7 * std::sin(t / 2.3);
}

// Two's complement of the signed settings.
constexpr std::uint16_t S(int value) {
    return static_cast<std::uint16_t>(value);
}

struct Setting {
    std::uint16_t value;
    std::uint16_t min;
    std::uint16_t max;
};

// 0x3600.. with their bounds in 0x3700.. and 0x3800..: a 24 V GEL battery on 230 V mains.
constexpr Setting kSettings[InverterSim::kSettingsCount] = {
    {0x001F, 0, 0x03FF},    // Control_Mode: charge, inverter, relays, neutral
    {0x001F, 0, 0x001F},    // Autorestart_Mode
    {0x80C0, 0, 0xFFFF},    // Safety_Status0_Shutdown
    {0x0001, 0, 0x00FF},    // Safety_Status1_Shutdown
    {0xFFFF, 0, 0xFFFF},    // Safety_Status0_Log
    {0x00FF, 0, 0x00FF},    // Safety_Status1_Log
    {0, 0, 0x0007},         // Multi_Mode
    {23000, 20000, 24000},  // Inverter_Voltage
    {5000, 4500, 6000},     // Inverter_Frequency
    {3, 0, 10},             // Inverter_Short_Attempts_Number
    {5, 0, 50},             // Standby_Level
    {10, 1, 600},           // Standby_Period
    {500, 0, 5000},         // Softstart_Duration
    {1600, 100, 3200},      // Input_AC_Current_Limit
    {18000, 15000, 24000},  // Input_AC_UV_Threshold
    {19000, 15000, 24500},  // Input_AC_UV_Recovery
    {26000, 22000, 28000},  // Input_AC_OV_Threshold
    {25000, 21500, 27500},  // Input_AC_OV_Recovery
    {20, 0, 1000},          // Input_AC_Threshold_Time
    {10, 0, 600},           // Input_AC_Recovery_Time
    {4500, 4000, 5000},     // Input_AC_Frequency_Low
    {5500, 5000, 6500},     // Input_AC_Frequency_High
    {5, 0, 60},             // Input_AC_Frequency_Time
    {1000, 100, 4000},      // Charging_Current
    {500, 100, 2000},       // Charging_Current_Reduced
    {2, 0, 3},              // Battery_Type
    {0x0003, 0, 0x0007},    // Charge_Set: absorption and float
    {2700, 2400, 2900},     // Floating_Voltage
    {2820, 2500, 3000},     // Absorption_Voltage
    {200, 0, 2000},         // Absorption_Current_End
    {20, 0, 240},           // Absorption_Duration
    {2900, 2600, 3100},     // Equalization_Voltage
    {500, 100, 2000},       // Equalization_Current
    {100, 0, 2000},         // Equalization_Current_End
    {10, 0, 240},           // Equalization_Duration
    {30, 1, 365},           // Equalization_Period_Days
    {S(-36), S(-100), 0},   // Battery_Temperature_Compensation
    {2200, 1800, 2600},     // Battery_UV_Threshold_wo_Load
    {2100, 1700, 2500},     // Battery_UV_Threshold_at_Full_Load
    {2400, 2000, 2800},     // Battery_UV_Recovery
    {10, 0, 600},           // Battery_UV_Time
    {10, 0, 100},           // Battery_UV_Adaptive_Increment
    {3200, 2800, 3400},     // Battery_OV_Threshold
    {3000, 2600, 3200},     // Battery_OV_Recovery
    {10, 0, 600},           // Battery_OV_Time
    {0, S(-40), 20},        // Battery_UTC_Threshold
    {5, S(-40), 25},        // Battery_UTC_Recovery
    {S(-20), S(-40), 10},   // Battery_UTD_Threshold
    {S(-15), S(-40), 15},   // Battery_UTD_Recovery
    {50, 30, 80},           // Battery_OT_Threshold
    {45, 25, 75},           // Battery_OT_Recovery
    {30, 0, 600},           // Battery_UT_OT_Time
    {2500, 2200, 2800},     // New_Cycle_Threshold
    {60, 0, 3600},          // New_Cycle_Time
    {1, 0, 2},              // Buzzer_Mode: all signals
};

// 0x3637..0x3656.
constexpr std::uint16_t kHidden[] = {
    28000, 27000, 2,   10000, 12000, 10,   90, 75,  5,    40,   70, 35,   2000, 1800, 100, 10,
    2,     5,     200, 3000,  3300,  3000, 10, 500, 8000, 4000, 30, 9200, 9000, 120,  100, 10,
};

struct Preset {
    std::uint16_t address;
    std::uint16_t value;
};

constexpr Preset kPresets[] = {
    {0x0000, 3},       // device type
    {0x0001, 1},       // device number
    {0x0002, 0x0203},  // firmware version
    {0x0007, 0x0008},  // switched on
    {0x2000, 3},       // link: address 3
    {0x2001, 4},       // 115200
    {0x2002, 0},       // 8N1
};

constexpr std::uint16_t kStatus = 0x0007;
constexpr std::uint16_t kClock = 0x0008;
constexpr std::uint16_t kCommand = 0x000A;
constexpr std::uint16_t kParameter = 0x000B;
constexpr std::uint16_t kSwitchedOn = 0x0008;
constexpr std::uint16_t kSettingsFirst = 0x3600;
constexpr std::uint16_t kSettingsMin = 0x3700;
constexpr std::uint16_t kSettingsMax = 0x3800;
constexpr std::uint16_t kHiddenFirst = 0x3637;
constexpr std::uint16_t kLinkFirst = 0x2000;
constexpr std::uint16_t kLinkLast = 0x2002;

// Settings the model reads, by offset from 0x3600 or 0x3637.
constexpr std::uint16_t kControlMode = 0x00;
constexpr std::uint16_t kLogWord1 = 0x04;
constexpr std::uint16_t kLogWord2 = 0x05;
constexpr std::uint16_t kInverterVolts = 0x07;
constexpr std::uint16_t kInverterHz = 0x08;
constexpr std::uint16_t kSoftstartMs = 0x0C;
constexpr std::uint16_t kUvThreshold = 0x0E;
constexpr std::uint16_t kUvRecovery = 0x0F;
constexpr std::uint16_t kOvThreshold = 0x10;
constexpr std::uint16_t kOvRecovery = 0x11;
constexpr std::uint16_t kChargingCurrent = 0x17;
constexpr std::uint16_t kChargeSet = 0x1A;
constexpr std::uint16_t kFloatVolts = 0x1B;
constexpr std::uint16_t kAbsorptionVolts = 0x1C;
constexpr std::uint16_t kAbsorptionEnd = 0x1D;
constexpr std::uint16_t kAbsorptionTenths = 0x1E;
constexpr std::uint16_t kEqualizationVolts = 0x1F;
constexpr std::uint16_t kEqualizationCurrent = 0x20;
constexpr std::uint16_t kEqualizationEnd = 0x21;
constexpr std::uint16_t kEqualizationTenths = 0x22;
constexpr std::uint16_t kBuzzerMode = 0x36;
constexpr std::uint16_t kNominalWatts = 0x364A - kHiddenFirst;
constexpr std::uint16_t kMaxLoadWatts = 0x364B - kHiddenFirst;
constexpr std::uint16_t kChargerEfficiency = 0x3652 - kHiddenFirst;
constexpr std::uint16_t kInverterEfficiency = 0x3653 - kHiddenFirst;

// Control_Mode bits.
constexpr std::uint16_t kChargeAllowed = 1u << 0;
constexpr std::uint16_t kTransferAllowed = 1u << 2;
constexpr std::uint16_t kGroundAllowed = 1u << 3;
constexpr std::uint16_t kNeutralThrough = 1u << 4;

// Relay word bits; the inner Dout and Din words show the same relays and inputs.
constexpr std::uint16_t kTransferRelay = 1u << 0;
constexpr std::uint16_t kNeutralRelay = 1u << 1;
constexpr std::uint16_t kGroundRelay = 1u << 2;
constexpr std::uint16_t kInverterRelay = 1u << 3;
constexpr std::uint16_t kOutputOnBattery = 1u << 4;
constexpr std::uint16_t kOutputAlarm = 1u << 5;
constexpr std::uint16_t kInputRemoteOn = 1u << 6;
constexpr std::uint16_t kDipSwitches = 0x0001;

// Safety word bits.
constexpr std::uint16_t kAcInOverVolts = 1u << 0;
constexpr std::uint16_t kAcInUnderVolts = 1u << 1;
constexpr std::uint16_t kMaxLoad = 1u << 5;

// Charge_Manage bits.
constexpr std::uint16_t kNewCycle = 1u << 0;
constexpr std::uint16_t kBulkVoltageEnd = 1u << 1;
constexpr std::uint16_t kAbsorptionDuration = 1u << 3;
constexpr std::uint16_t kEqualizationDuration = 1u << 5;

// Working_Flags bits.
constexpr std::uint16_t kSoftstart = 1u << 0;
constexpr std::uint16_t kInverterStop = 1u << 1;
constexpr std::uint16_t kSoftstop = 1u << 2;

enum Operating : std::uint16_t { kOff = 0, kOnMains = 1, kOnBattery = 2 };
enum Switching : std::uint16_t { kToInverter = 1, kToMains = 2, kSwitchingOff = 3 };

struct Stage {
    std::uint16_t state;       // the charge state it shows
    std::uint16_t enabled_by;  // Charge_Set bit, 0 for always
    std::uint16_t end_flag;    // Charge_Manage bit raised when it ends
};

constexpr Stage kStages[] = {
    {1, 0, kBulkVoltageEnd},
    {2, 1u << 0, kAbsorptionDuration},
    {3, 1u << 2, kEqualizationDuration},
    {4, 1u << 1, 0},
};
constexpr std::size_t kBulk = 0;
constexpr std::size_t kAbsorption = 1;
constexpr std::size_t kEqualization = 2;
constexpr std::size_t kFloat = 3;
constexpr std::size_t kCycleDone = std::size(kStages);

constexpr double kBulkVoltsPerSecond = 3.2 / 600;
constexpr double kRestVolts = 25.9;
constexpr double kSwitchingSeconds = 1.0;
constexpr std::uint8_t kLoaderOk = 1;

std::uint16_t U16(double v) {
    return static_cast<std::uint16_t>(std::lround(v));
}

// Signed registers travel as two's complement.
std::uint16_t S16(double v) {
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v)));
}

}  // namespace

InverterSim::InverterSim() : SimDevice(kInverterBlocks) {
    for (const Preset& p : kPresets)
        Set(p.address, p.value);
    Set32(0x0003, 20240520);
    Set32(0x0005, 7150042);
    for (std::uint16_t i = 0; i < kSettingsCount; ++i) {
        Set(static_cast<std::uint16_t>(kSettingsFirst + i), kSettings[i].value);
        Set(static_cast<std::uint16_t>(kSettingsMin + i), kSettings[i].min);
        Set(static_cast<std::uint16_t>(kSettingsMax + i), kSettings[i].max);
        saved_[i] = kSettings[i].value;
    }
    for (std::uint16_t i = 0; i < std::size(kHidden); ++i)
        Set(static_cast<std::uint16_t>(kHiddenFirst + i), kHidden[i]);
    for (std::uint16_t i = 0; i < kLinkCount; ++i)
        saved_link_[i] = Get(static_cast<std::uint16_t>(kLinkFirst + i));
    clock_ = DeviceClockNow();
    // A finished cycle: floating.
    stage_ = kFloat;
    manage_status_ = kBulkVoltageEnd | kAbsorptionDuration;
    battery_volts_ = Get(kSettingsFirst + kFloatVolts) / 100.0;
    operating_ = kOnMains;
    Advance(0);
}

bool InverterSim::Charging() const {
    return operating_ == kOnMains && stage_ < kCycleDone &&
           (Get(kSettingsFirst + kControlMode) & kChargeAllowed) != 0;
}

double InverterSim::StageLength() const {
    const auto hours = [&](std::uint16_t tenths) {
        return Get(static_cast<std::uint16_t>(kSettingsFirst + tenths)) * 360.0;
    };
    switch (stage_) {
        case kBulk:
            return std::max(0.0, (Get(kSettingsFirst + kAbsorptionVolts) / 100.0 - bulk_from_) /
                                     kBulkVoltsPerSecond);
        case kAbsorption:
            return hours(kAbsorptionTenths);
        case kEqualization:
            return hours(kEqualizationTenths);
        default:
            return std::numeric_limits<double>::infinity();
    }
}

void InverterSim::StartCycle() {
    stage_ = kBulk;
    stage_seconds_ = 0;
    bulk_from_ = battery_volts_;
    manage_status_ = kNewCycle;
    manage_alert_ = kNewCycle;
}

void InverterSim::EndStage() {
    manage_status_ |= kStages[stage_].end_flag;
    manage_alert_ = kStages[stage_].end_flag;
    stage_seconds_ = 0;
    const std::uint16_t set = Get(kSettingsFirst + kChargeSet);
    do {
        ++stage_;
    } while (stage_ < kCycleDone && kStages[stage_].enabled_by != 0 &&
             (set & kStages[stage_].enabled_by) == 0);
}

void InverterSim::Step(double t) {
    double dt = std::max(0.0, t - last_seconds_);
    last_seconds_ = t;
    clock_ += dt;

    // The mains leaves at its thresholds and comes back only past the recovery levels.
    const double in_v = MainsVolts(t);
    const double uv = Get(kSettingsFirst + kUvThreshold) / 100.0;
    const double ov = Get(kSettingsFirst + kOvThreshold) / 100.0;
    mains_low_ = in_v < (mains_low_ ? std::max(uv, Get(kSettingsFirst + kUvRecovery) / 100.0) : uv);
    mains_high_ =
        in_v > (mains_high_ ? std::min(ov, Get(kSettingsFirst + kOvRecovery) / 100.0) : ov);
    const bool on = (Get(kStatus) & kSwitchedOn) != 0;
    const std::uint16_t operating = !on                           ? kOff
                                    : (mains_low_ || mains_high_) ? kOnBattery
                                                                  : kOnMains;
    if (operating != operating_) {
        switching_ = operating == kOff         ? kSwitchingOff
                     : operating == kOnBattery ? kToInverter
                                               : kToMains;
        switched_at_ = t;
        if (operating_ == kOff) switched_on_at_ = t;
        operating_ = operating;
    }
    on_battery_seconds_ = operating_ == kOnBattery ? on_battery_seconds_ + dt : 0;
    while (Charging()) {
        const double left = StageLength() - stage_seconds_;
        if (dt < left) {
            stage_seconds_ += dt;
            break;
        }
        dt -= std::max(0.0, left);
        EndStage();
    }
}

void InverterSim::Publish(double t) {
    const auto setting = [&](std::uint16_t offset) {
        return Get(static_cast<std::uint16_t>(kSettingsFirst + offset));
    };
    const auto hidden = [&](std::uint16_t offset) {
        return Get(static_cast<std::uint16_t>(kHiddenFirst + offset));
    };
    const std::uint16_t control = setting(kControlMode);
    const bool charging = Charging();
    const bool on_mains = operating_ == kOnMains;
    const bool on_battery = operating_ == kOnBattery;
    const bool on = operating_ != kOff;

    const double in_v = MainsVolts(t);
    const double in_hz = 50.0 + 0.05 * std::sin(t / 11.0);
    const double out_v = on_mains     ? in_v - 0.5
                         : on_battery ? setting(kInverterVolts) / 100.0 + 0.3 * std::sin(t / 5.0)
                                      : 0.0;
    const double out_hz = on_mains ? in_hz : on_battery ? setting(kInverterHz) / 100.0 : 0.0;
    const double load_va = on ? 650 + 150 * std::sin(t / 17.0) + 80 * std::sin(t / 5.3) : 0.0;
    const double out_a = on ? load_va / out_v : 0.0;

    // The battery: its stage's voltage and current while charging, a slow sag on battery.
    double battery_a = 0;
    double target_a = 0;
    double target_v = 0;
    if (charging) {
        const double cc = setting(kChargingCurrent) / 100.0;
        const double absorption_v = setting(kAbsorptionVolts) / 100.0;
        target_a = cc;
        target_v = absorption_v;
        switch (stage_) {
            case kBulk:
                battery_volts_ =
                    std::min(absorption_v, bulk_from_ + kBulkVoltsPerSecond * stage_seconds_);
                battery_a = cc;
                break;
            case kAbsorption: {
                const double end = setting(kAbsorptionEnd) / 100.0;
                const double tau = std::max(1.0, StageLength() / 4);
                battery_volts_ = absorption_v;
                battery_a = end + (cc - end) * std::exp(-stage_seconds_ / tau);
                break;
            }
            case kEqualization: {
                battery_volts_ = target_v = setting(kEqualizationVolts) / 100.0;
                target_a = setting(kEqualizationCurrent) / 100.0;
                const double end = setting(kEqualizationEnd) / 100.0;
                const double tau = std::max(1.0, StageLength() / 4);
                battery_a = end + (target_a - end) * std::exp(-stage_seconds_ / tau);
                break;
            }
            default:
                battery_volts_ = target_v = setting(kFloatVolts) / 100.0;
                battery_a = 0.3 + 0.1 * std::sin(t / 8.0);
                break;
        }
    } else if (on_battery) {
        const double efficiency = std::max(50.0, hidden(kInverterEfficiency) / 100.0) / 100.0;
        const double sag = std::min(2.0, on_battery_seconds_ / 7200.0);
        battery_volts_ = 25.6 - sag;
        battery_a = -load_va / efficiency / battery_volts_;
        battery_volts_ += 0.012 * battery_a;
    } else {
        battery_volts_ = kRestVolts;
    }
    const double battery_v = battery_volts_ + 0.02 * std::sin(t / 3.0);
    const double charger_efficiency = std::max(50.0, hidden(kChargerEfficiency) / 100.0) / 100.0;
    const double charge_ac_w = charging ? battery_v * battery_a / charger_efficiency : 0.0;
    const double in_a = on_mains ? (load_va + charge_ac_w) / in_v : 0.0;
    const double inverter_v = on ? setting(kInverterVolts) / 100.0 : 0.0;
    const double inverter_a = on_battery ? out_a : on_mains ? -charge_ac_w / in_v : 0.0;
    const double load_percent = 100.0 * load_va / std::max<std::uint16_t>(1, hidden(kNominalWatts));

    const std::uint16_t word1 =
        (mains_high_ ? kAcInOverVolts : 0) | (mains_low_ ? kAcInUnderVolts : 0);
    const std::uint16_t word2 = load_va > hidden(kMaxLoadWatts) ? kMaxLoad : 0;
    const std::uint32_t alarms = word1 | std::uint32_t{word2} << 16;
    const std::uint32_t logged = setting(kLogWord1) | std::uint32_t{setting(kLogWord2)} << 16;
    journal_ += static_cast<std::size_t>(std::popcount(alarms & ~alarms_ & logged));
    alarms_ = alarms;

    std::uint16_t relays = kInputRemoteOn;
    if (on_mains) {
        if ((control & kTransferAllowed) != 0) relays |= kTransferRelay;
        if ((control & kNeutralThrough) != 0) relays |= kNeutralRelay;
    }
    if (on_battery) {
        relays |= kInverterRelay | kOutputOnBattery;
        if ((control & kGroundAllowed) != 0) relays |= kGroundRelay;
    }
    if (alarms != 0) relays |= kOutputAlarm;

    Set32(kClock, static_cast<std::uint32_t>(clock_));
    Set(0x0700, U16(in_v * 100));
    Set(0x0701, S16(in_a * 100));
    Set(0x0702, U16(in_hz * 100));
    Set(0x0703, U16(in_v * in_a));
    Set(0x0704, U16(inverter_v * 100));
    Set(0x0705, S16(inverter_a * 100));
    Set(0x0706, on ? U16(out_hz * 100) : 0);
    Set(0x0707, U16(std::abs(inverter_v * inverter_a)));
    Set(0x0708, U16(out_v * 100));
    Set(0x0709, S16(out_a * 100));
    Set(0x070A, U16(out_hz * 100));
    Set(0x070B, U16(load_va));
    Set(0x070C, S16(350 + 2 * load_percent + 10 * std::sin(t / 40.0)));
    Set(0x070D, S16(260 + 5 * std::sin(t / 70.0)));
    Set(0x070E, U16(battery_v * 100));
    Set(0x070F, S16(battery_a * 100));
    Set(0x0710, U16(load_percent));
    const std::uint16_t charge_state = charging ? kStages[stage_].state : 0;
    Set(0x0711, charge_state);
    Set(0x0712, operating_);
    Set(0x0713, word1);
    Set(0x0714, word2);
    Set(0x0715, relays);
    Set(0x0716, U16(target_a * 100));
    Set(0x0717, U16(target_v * 100));
    Set(0x0718, on ? 3 : 0);
    Set(0x0719, 0);

    const bool switching = t - switched_at_ < kSwitchingSeconds;
    const bool softstart = on && t - switched_on_at_ < setting(kSoftstartMs) / 1000.0;
    const bool buzzing = on_battery && setting(kBuzzerMode) == 1;
    Set(0x071A, charge_state);
    Set(0x071B, operating_);
    Set(0x071C, switching ? switching_ : 0);
    Set(0x071D, U16(battery_v * 100 + 5));
    Set(0x071E, U16(battery_v * 100 - 2));
    Set(0x071F, 0);
    Set(0x0720, 0);
    Set(0x0721, word1);
    Set(0x0722, word2);
    Set(0x0723, on_mains ? 0x000F : on_battery ? 0x0008 : 0);
    Set(0x0724, static_cast<std::uint16_t>(
                    (relays & (kOutputOnBattery | kOutputAlarm)) >> 4 | (on_mains ? 1u << 2 : 0) |
                    (on ? 1u << 4 : 0) | ((relays & kGroundRelay) != 0 ? 1u << 5 : 0) |
                    ((relays & kNeutralRelay) != 0 ? 1u << 6 : 0) |
                    ((relays & kTransferRelay) != 0 ? 1u << 7 : 0) | (buzzing ? 1u << 10 : 0)));
    Set(0x0725, static_cast<std::uint16_t>(kDipSwitches | (relays & 0x00C0)));
    Set(0x0726, manage_alert_);
    Set(0x0727, manage_status_);
    Set(0x0728, static_cast<std::uint16_t>((softstart ? kSoftstart : 0) | (on ? 0 : kInverterStop) |
                                           (!on && switching ? kSoftstop : 0)));
    Set(0x0729, !on ? 0 : word2 != 0 ? 2 : on_battery ? 4 : 1);
    Set(0x072A, S16(450 + 3 * load_percent + 10 * std::sin(t / 50.0)));
    Set(0x072B, U16(target_a * 100));
}

void InverterSim::Advance(double t) {
    Step(t);
    Publish(t);
}

std::uint16_t InverterSim::Clamped(std::uint16_t setting, std::uint32_t value) const {
    const std::uint32_t low = Get(static_cast<std::uint16_t>(kSettingsMin + setting));
    const std::uint32_t high = Get(static_cast<std::uint16_t>(kSettingsMax + setting));
    return static_cast<std::uint16_t>(std::clamp(value, low, std::max(low, high)));
}

void InverterSim::Execute(std::uint16_t code, std::uint32_t parameter) {
    switch (code) {
        case 1:
            for (std::uint16_t i = 0; i < kSettingsCount; ++i)
                saved_[i] = Get(static_cast<std::uint16_t>(kSettingsFirst + i));
            break;
        case 2:
            for (std::uint16_t i = 0; i < kLinkCount; ++i)
                saved_link_[i] = Get(static_cast<std::uint16_t>(kLinkFirst + i));
            break;
        case 3:
            clock_ = parameter;
            break;
        case 4:
            journal_ = 0;
            break;
        case 9:
            Set(kSettingsFirst + kChargingCurrent, Clamped(kChargingCurrent, parameter));
            break;
        case 10:
            Set(kSettingsFirst + kAbsorptionVolts, Clamped(kAbsorptionVolts, parameter));
            break;
        case 11:
            Set(kStatus, static_cast<std::uint16_t>(Get(kStatus) | kSwitchedOn));
            break;
        case 12:
            Set(kStatus, static_cast<std::uint16_t>(Get(kStatus) & ~kSwitchedOn));
            break;
        case 13:
            StartCycle();
            break;
        default:
            break;
    }
}

void InverterSim::Written(std::uint16_t start, std::uint16_t count, double t) {
    // Settings take effect from the moment they are written.
    Step(t);
    if (kCommand >= start && kCommand < start + count) Execute(Get(kCommand), Get32(kParameter));
    if (start <= kLinkLast && start + count > kLinkLast) {
        link_change_ = DecodeLinkSet(Get(kLinkFirst), Get(kLinkFirst + 1), Get(kLinkLast));
    }
    Advance(t);
}

std::uint8_t InverterSim::RefuseWrite(std::uint16_t start,
                                      std::span<const std::uint16_t> values) const {
    const auto link =
        LinkSetAfterWrite(kLinkFirst, start, values, [this](std::uint16_t at) { return Get(at); });
    return !link || DecodeLinkSet((*link)[0], (*link)[1], (*link)[2]) ? 0 : kIllegalValue;
}

std::optional<LinkSettings> InverterSim::TakeLinkChange() {
    return std::exchange(link_change_, std::nullopt);
}

std::vector<std::uint8_t> InverterSim::LoaderReply(std::span<const std::uint8_t> request) {
    switch (request[1]) {
        case 0x20:
        case 0x31:
            return {request[1], request[2], kLoaderOk};
        case 0x21:
            return {0x21, kLoaderOk};
        case 0x30:
            return {0x30, kLoaderOk};
        default:
            return {};
    }
}

}  // namespace veltrona::sim
