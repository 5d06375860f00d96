#include "sim/bms_sim.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "devices/bms/bms_map.h"

namespace veltrona::sim {
namespace {

struct Preset {
    std::uint16_t address;  // a pair by its upper register
    std::int64_t value;     // in the register's raw units
};

constexpr Preset kPresets[] = {
    // Status block: what does not move.
    {0x0001, 100'000},     // DesignCapacity, 100 A*h
    {0x0002, 16},          // DesignCellNumber
    {0x0007, 0x00010203},  // FrwVersion
    {0x001D, 98'000},      // FullChargeCapacity
    {0x0023, 42},          // CycleCount
    // Mode block: A*h, cyclic, from the plus end, balancing by difference; every flag logged.
    {0x6803, 0},
    {0x6805, 0x000F'FFFF},
    // Operating settings (cell volts and pack amps, 3 decimals).
    {0x6C00, 3400},       // CfVoltage
    {0x6C01, 20},         // CfVoltageTolerance
    {0x6C02, 10},         // OvcfTime
    {0x6C05, 2000},       // CfCurrent
    {0x6C07, 500},        // CurrentTolerance
    {0x6C08, 10},         // OccfTime
    {0x6C09, 60},         // CfTime
    {0x6C0B, 200},        // CurrentDelta
    {0x6C0C, 2800},       // PrechVoltageTrh
    {0x6C0D, 3000},       // PrechVoltageRecovery
    {0x6C0F, 5000},       // PrechCurrent
    {0x6C10, 3550},       // ChargeVoltage
    {0x6C13, 50'000},     // ChargeCurrent
    {0x6C15, 1000},       // ChargeDisableCurrent
    {0x6C16, 15},         // BalanceDiffTrh
    {0x6C17, 5},          // BalanceDiffRecovery
    {0x6C18, 30},         // BalanceDiffTime
    {0x6C19, 3400},       // BalanceVoltageTrh
    {0x6C1A, 3350},       // BalanceVoltageRecovery
    {0x6C1D, 80},         // BalanceCurrent
    {0x6C1E, 600},        // ChargeCompletionTime
    {0x6C1F, 600},        // DischargeCompletionTime
    {0x6C20, 500},        // TransitionIdleCurrent
    {0x6C21, 30},         // TransitionIdleTime
    {0x6C22, -1000},      // TransitionDischargeCurrent
    {0x6C23, 1000},       // TransitionChargeCurrent
    {0x6C25, 100'000},    // DesignCapacity1Ah
    {0x6C27, 5'120'000},  // DesignCapacity1Wh
    {0x6C28, 16},         // DesignCellNumber
    {0x6C29, 10},         // RemainingCapacityAlarmPercent
    {0x6C2A, 95},         // MaxChargeCapacityAlarmPercent
    {0x6C2B, 50},         // LeakageCurrent
    {0x6C2C, 33'000},     // BalanceResistor
    // Protection settings: cell volts, degrees (the Utc and Utd levels in thousandths), pack
    // amps, delays in seconds.
    {0x7000, 3650},     // CovTrh
    {0x7001, 3450},     // CovRecovery
    {0x7002, 2},        // CovTime
    {0x7003, 2800},     // CuvTrh
    {0x7004, 3000},     // CuvRecovery
    {0x7005, 2},        // CuvTime
    {0x7006, 100},      // CovaTrh
    {0x7007, 50},       // CovaRecovery
    {0x7008, 10},       // CovaTime
    {0x7009, 100},      // CuvaTrh
    {0x700A, 50},       // CuvaRecovery
    {0x700B, 10},       // CuvaTime
    {0x700C, 55},       // CotTrh
    {0x700D, 50},       // CotRecovery
    {0x700E, 5},        // CotTime
    {0x700F, -20},      // CutTrh
    {0x7010, -15},      // CutRecovery
    {0x7011, 5},        // CutTime
    {0x7012, 8},        // CotaTrh
    {0x7013, 5},        // CotaRecovery
    {0x7014, 10},       // CotaTime
    {0x7015, 15},       // OtaaTrh
    {0x7016, 10},       // OtaaRecovery
    {0x7017, 30},       // OtaaTime
    {0x7018, 50},       // AotTrh
    {0x7019, 45},       // AotRecovery
    {0x701A, 10},       // AotTime
    {0x701B, 60},       // OtambTrh
    {0x701C, 55},       // OtambRecovery
    {0x701D, 10},       // OtambTime
    {0x701F, 100'000},  // OccTrh
    {0x7021, 80'000},   // OccRecovery
    {0x7022, 5},        // OccTime
    {0x7025, 150'000},  // OcdTrh
    {0x7027, 120'000},  // OcdRecovery
    {0x7028, 5},        // OcdTime
    {0x7029, 0},        // UtcTrh
    {0x702A, 2000},     // UtcRecovery
    {0x702B, 5},        // UtcTime
    {0x702C, -20'000},  // UtdTrh
    {0x702D, -15'000},  // UtdRecovery
    {0x702E, 5},        // UtdTime
    {0x702F, 10},       // DwdgTime
    {0x7030, 60},       // OtdsTime
    {0x7031, 100},      // DinTime
    // Link settings: address 3, 115200, 8N1.
    {0x6800, 3},
    {0x6801, 4},
    {0x6802, 0},
};

enum Measure : std::uint8_t { kCellHigh, kCellLow, kTempHigh, kTempLow, kCharge, kDischarge };

struct Protection {
    std::uint8_t bit;  // of SafetyStatus
    Measure measure;
    std::uint16_t threshold, recovery, delay;
};

// The levels trip above their threshold, the under-voltage and under-temperature ones below.
constexpr Protection kProtections[] = {
    {0, kCellHigh, 0x7000, 0x7001, 0x7002}, {1, kCellLow, 0x7003, 0x7004, 0x7005},
    {4, kTempHigh, 0x700C, 0x700D, 0x700E}, {5, kTempLow, 0x700F, 0x7010, 0x7011},
    {14, kCharge, 0x701F, 0x7021, 0x7022},  {15, kDischarge, 0x7025, 0x7027, 0x7028},
};

static_assert(std::size(kProtections) == BmsSim::kProtectionCount);

constexpr bool TripsBelow(Measure m) {
    return m == kCellLow || m == kTempLow;
}

// Alarm types of a cell rather than of the whole pack: the eight cell flags, bits 0 to 7.
constexpr bool CellAlarm(std::uint16_t type) {
    return type >= 1 && type <= 8;
}

// Flags whose protection opens the charge switch, and the discharge switch.
constexpr std::uint32_t kStopsCharge = 1u << 0 | 1u << 4 | 1u << 5 | 1u << 14;
constexpr std::uint32_t kStopsDischarge = 1u << 1 | 1u << 4 | 1u << 15;

constexpr std::uint16_t kDischarging = 1u << 2;
constexpr std::uint16_t kCapacityAlarm = 1u << 3;
constexpr std::uint16_t kTerminateDischarge = 1u << 4;
constexpr std::uint16_t kOverTemp = 1u << 5;
constexpr std::uint16_t kTerminateCharge = 1u << 7;
constexpr std::uint16_t kChargeCapacityAlarm = 1u << 4;
constexpr std::uint16_t kChargeMaxAlarm = 1u << 5;
constexpr std::uint16_t kBalancing = 1u << 7;
constexpr std::uint16_t kNoEnd = 0xFFFF;  // a time to empty or full that never comes

constexpr std::uint16_t kCellVoltageBase = 0x0032;
constexpr std::uint16_t kCellTempBase = 0x00FA;
constexpr std::uint16_t kCellStatusBase = 0x01C2;
constexpr std::uint16_t kJournalBase = 0x7400;
constexpr double kMilliohmsPerCell = 1.5;

// Minutes the amps take to move the A*h, or kNoEnd when they do not move it that way.
std::int64_t Minutes(double amp_hours, double amps) {
    if (amps <= 0.01) return kNoEnd;
    return std::min<std::int64_t>(kNoEnd - 1, std::llround(amp_hours / amps * 60));
}

}  // namespace

BmsSim::BmsSim() : SimDevice(kBmsBlocks) {
    for (const Preset& p : kPresets)
        Put(p.address, p.value);
    start_clock_ = DeviceClockNow();
    charge_ = 0.55 * 98.0 * 3600;
    WriteHistory(start_clock_);
    Advance(0);
}

std::int64_t BmsSim::Value(std::uint16_t address) const {
    const RegisterDescriptor* d = BmsDescriptorAt(address);
    const auto lower = static_cast<std::uint16_t>(address - 1);
    switch (d != nullptr ? d->display : 1) {
        case 2:
            return static_cast<std::int16_t>(Get(address));
        case 3:
            return Get32(lower);
        case 4:
            return static_cast<std::int32_t>(Get32(lower));
        default:
            return Get(address);
    }
}

void BmsSim::Put(std::uint16_t address, std::int64_t value) {
    const RegisterDescriptor* d = BmsDescriptorAt(address);
    if (d != nullptr && (d->display == 3 || d->display == 4)) {
        Set32(static_cast<std::uint16_t>(address - 1), static_cast<std::uint32_t>(value));
    } else {
        Set(address, static_cast<std::uint16_t>(value));
    }
}

void BmsSim::Record(std::uint32_t time, std::uint16_t type, std::uint16_t cell) {
    if (records_ >= kBmsJournalRecords) return;
    const auto at = static_cast<std::uint16_t>(kJournalBase + kBmsRecordRegisters * records_++);
    Set32(at, time);
    Set(static_cast<std::uint16_t>(at + 2), type);
    Set(static_cast<std::uint16_t>(at + 3), cell);
}

// Older alarms, oldest first, one to nine hours apart, the last before now.
void BmsSim::WriteHistory(std::uint32_t now) {
    // A fixed seed: every run of the stand-in has the same history.
    std::minstd_rand random(1);
    const auto next = [&random](std::uint32_t range) {
        return static_cast<std::uint32_t>(random() % range);
    };
    std::uint32_t time = now - kHistoryRecords * 9 * 3600;
    for (std::size_t k = 0; k < kHistoryRecords; ++k) {
        time += 3600 + next(8 * 3600);
        const auto type = static_cast<std::uint16_t>(1 + next(20));
        Record(time, type, CellAlarm(type) ? static_cast<std::uint16_t>(1 + next(kCells)) : 0);
    }
}

void BmsSim::Advance(double t) {
    const double dt = std::max(0.0, t - last_seconds_);
    last_seconds_ = t;
    const auto clock = static_cast<std::uint32_t>(start_clock_ + t);

    // The switches follow the flags as last shown, a pinned flag too: a trip opens them on
    // the step after it.
    const auto shown = static_cast<std::uint32_t>(Value(0x0027));
    const bool charge_on = (shown & kStopsCharge) == 0;
    const bool discharge_on = (shown & kStopsDischarge) == 0;
    double amps = 2.5 * std::sin(t / 40.0) + 0.8 * std::sin(t / 7.3);
    if (!charge_on) amps = std::min(amps, 0.0);
    if (!discharge_on) amps = std::max(amps, 0.0);
    const double full_ah = Value(0x001D) / 1000.0;
    charge_ = std::clamp(charge_ + amps * dt, 0.0, full_ah * 3600);
    average_amps_ += (amps - average_amps_) * std::min(1.0, dt / 60.0);
    const double amp_hours = charge_ / 3600;
    const double soc = amp_hours / full_ah;

    // Cells: the plateau near 3.2 V, each cell's own offset, the current through 1.5 mOhm.
    const double balance_diff = static_cast<double>(Value(0x6C16));
    std::int64_t sum = 0;
    std::int64_t high = 0;
    std::int64_t low = 0xFFFF;
    std::uint16_t highest = 0;
    std::uint16_t lowest = 0;
    for (std::uint16_t i = 0; i < kCells; ++i) {
        const double offset = 3.0 * ((i * 7) % 9 - 4.0) + 2.0 * std::sin(t / 10.0 + i);
        const std::int64_t mv =
            std::llround(3200 + 150 * (soc - 0.5) + offset + kMilliohmsPerCell * amps);
        Put(static_cast<std::uint16_t>(kCellVoltageBase + i), mv);
        sum += mv;
        if (mv > high) {
            high = mv;
            highest = i;
        }
        if (mv < low) {
            low = mv;
            lowest = i;
        }
    }
    bool balancing = false;
    for (std::uint16_t i = 0; i < kCells; ++i) {
        const bool cell_balancing =
            amps > 0 &&
            Value(static_cast<std::uint16_t>(kCellVoltageBase + i)) > low + balance_diff;
        Put(static_cast<std::uint16_t>(kCellStatusBase + i), cell_balancing ? 1 : 0);
        balancing = balancing || cell_balancing;
    }
    std::int64_t hot = -100;
    std::int64_t cold = 100;
    std::int64_t temp_sum = 0;
    std::uint16_t hottest = 0;
    std::uint16_t coolest = 0;
    for (std::uint16_t i = 0; i < kCells; ++i) {
        const std::int64_t c = std::llround(
            24 + 0.8 * (i % 4) + 1.2 * std::sin(t / 90.0 + i / 3.0) + 0.02 * amps * amps);
        Put(static_cast<std::uint16_t>(kCellTempBase + i), c);
        temp_sum += c;
        if (c > hot) {
            hot = c;
            hottest = i;
        }
        if (c < cold) {
            cold = c;
            coolest = i;
        }
    }

    // Protections: passed for their delay they trip, past their recovery they clear.
    const std::int64_t milliamps = std::llround(amps * 1000);
    const std::int64_t measured[] = {high, low, hot, cold, milliamps, -milliamps};
    const std::uint16_t cells[] = {highest, lowest, hottest, coolest, 0, 0};
    const auto logged = static_cast<std::uint32_t>(Value(0x6805));
    std::uint32_t alert = 0;
    std::uint32_t safety = 0;
    for (std::size_t p = 0; p < std::size(kProtections); ++p) {
        const Protection& protection = kProtections[p];
        const std::int64_t v = measured[protection.measure];
        const bool below = TripsBelow(protection.measure);
        const std::int64_t threshold = Value(protection.threshold);
        const std::int64_t recovery = Value(protection.recovery);
        const bool passed = below ? v < threshold : v > threshold;
        const bool recovered = below ? v > recovery : v < recovery;
        Trip& trip = trips_[p];
        const std::uint32_t flag = 1u << protection.bit;
        if (passed) alert |= flag;
        trip.passed_at = passed ? (trip.passed_at < 0 ? t : trip.passed_at) : -1;
        if (trip.tripped && recovered) {
            trip.tripped = false;
        } else if (!trip.tripped && passed && t - trip.passed_at >= Value(protection.delay)) {
            trip.tripped = true;
            if ((logged & flag) != 0) {
                const auto cell = static_cast<std::uint16_t>(
                    protection.measure < kCharge ? cells[protection.measure] + 1 : 0);
                Record(clock, static_cast<std::uint16_t>(protection.bit + 1), cell);
            }
        }
        if (trip.tripped) safety |= flag;
    }

    const auto percent = std::llround(soc * 100);
    const bool capacity_alarm = percent < Value(0x6C29);
    Put(0x0009, sum);
    Put(0x000B, milliamps);
    Put(0x000D, 3);
    Put(0x000F, std::llround(average_amps_ * 1000));
    Put(0x0010, sum / kCells);
    Put(0x0011, high);
    Put(0x0012, low);
    Put(0x0013, temp_sum / kCells);
    Put(0x0014, hot);
    Put(0x0015, cold);
    Put(0x0016, std::llround(235 + 5 * std::sin(t / 120.0)));
    Put(0x0017, percent);
    Put(0x0018, std::llround(amp_hours / (Value(0x0001) / 1000.0) * 100));
    Put(0x001B, std::llround(amp_hours * 1000));
    Put(0x001E, Minutes(amp_hours, -amps));
    Put(0x001F, Minutes(amp_hours, -average_amps_));
    Put(0x0020, Minutes(full_ah - amp_hours, average_amps_));
    Put(0x0021, Value(0x6803));
    Put(0x0022, (milliamps < 0 ? kDischarging : 0) | (capacity_alarm ? kCapacityAlarm : 0) |
                    ((safety & 1u << 1) != 0 ? kTerminateDischarge : 0) |
                    ((safety & 1u << 4) != 0 ? kOverTemp : 0) |
                    ((safety & (1u << 0 | 1u << 14)) != 0 ? kTerminateCharge : 0));
    Put(0x0025, alert);
    Put(0x0027, safety);
    Put(0x0029, (capacity_alarm ? kChargeCapacityAlarm : 0) |
                    (percent > Value(0x6C2A) ? kChargeMaxAlarm : 0) | (balancing ? kBalancing : 0));
    Put(0x002A, (charge_on ? 1 : 0) | (discharge_on ? 2 : 0));
    Put(0x002B, charge_on ? Value(0x6C13) / 100 : 0);
    Put(0x002C, Value(0x6C10) * kCells / 100);
    Put(0x0031, clock);
}

}  // namespace veltrona::sim
