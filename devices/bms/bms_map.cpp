#include "devices/bms/bms_map.h"

#include "devices/bus_devices.h"

namespace veltrona {

namespace {

enum Kind : std::uint8_t { kU16, kS16, kLow, kU32, kS32 };

// A register's name (for the cell blocks and the journal the prefix of its numbered name),
// kind and decimals.
struct Row {
    std::string_view name;
    Kind kind;
    std::uint16_t decimals;
};

constexpr RegisterDescriptor Describe(std::size_t address, std::size_t index, const Row& row) {
    const auto a = static_cast<std::uint16_t>(address);
    const auto i = static_cast<std::uint16_t>(index);
    switch (row.kind) {
        case kS16:
            return {a, i, 6, 2, row.decimals};
        case kLow:
            return {a, i, 3, 0, 0};
        case kU32:
            return {a, i, 9, 3, row.decimals};
        case kS32:
            return {a, i, 13, 4, row.decimals};
        case kU16:
            break;
    }
    return {a, i, 4, 1, row.decimals};
}

template <std::size_t N>
constexpr std::array<RegisterDescriptor, N> DescribeRows(std::uint16_t block,
                                                         const std::array<Row, N>& rows) {
    std::array<RegisterDescriptor, N> table{};
    for (std::size_t i = 0; i < N; ++i)
        table[i] = Describe(kBmsBlocks[block].base + i, i, rows[i]);
    return table;
}

constexpr std::array<Row, 50> kStatusRows{{
    {"DesignCapacityLsb", kLow, 0},
    {"DesignCapacity", kU32, 3},
    {"DesignCellNumber", kU16, 0},
    {"Reserved", kU16, 0},
    {"Reserved_1", kU16, 0},
    {"Reserved_2", kU16, 0},
    {"FrwVersionLsb", kLow, 0},
    {"FrwVersion", kU32, 0},
    {"PackVoltageLsb", kLow, 0},
    {"PackVoltage", kU32, 3},
    {"PackCurrentLsb", kLow, 0},
    {"PackCurrent", kS32, 3},
    {"PackCurrentLeakageLsb", kLow, 0},
    {"PackCurrentLeakage", kS32, 3},
    {"PackCurrentAverageLsb", kLow, 0},
    {"PackCurrentAverage", kS32, 3},
    {"CellVoltageAverage", kU16, 3},
    {"CellVoltageMax", kU16, 3},
    {"CellVoltageMin", kU16, 3},
    {"CellTempAverage", kS16, 0},
    {"CellTempMax", kS16, 0},
    {"CellTempMin", kS16, 0},
    {"TempAmbient", kS16, 1},
    {"RelativeStateCharge", kU16, 0},
    {"AbsoluteStateCharge", kU16, 0},
    {"Reserved_3", kU16, 0},
    {"RemainingPackCapacityLsb", kLow, 0},
    {"RemainingPackCapacity", kU32, 3},
    {"FullChargeCapacityLsb", kLow, 0},
    {"FullChargeCapacity", kU32, 3},
    {"RunTimeEmpty", kU16, 0},
    {"AverageTimeEmpty", kU16, 0},
    {"AverageTimeFull", kU16, 0},
    {"BatteryMode", kU16, 0},
    {"BatteryStatus", kU16, 0},
    {"CycleCount", kU16, 0},
    {"SafetyAlertLsb", kLow, 0},
    {"SafetyAlert", kU32, 0},
    {"SafetyStatusLsb", kLow, 0},
    {"SafetyStatus", kU32, 0},
    {"ChargeAlert", kU16, 0},
    {"ChargeStatus", kU16, 0},
    {"DinDoutStatus", kU16, 0},
    {"ChargingCurrent", kU16, 1},
    {"ChargingVoltage", kU16, 1},
    {"Command", kU16, 0},
    {"CommandValueLsb", kLow, 0},
    {"CommandValue", kS32, 0},
    {"RtcLsb", kLow, 0},
    {"Rtc", kU32, 0},
}};

// One entry for every register of a cell block: register N is cell N.
constexpr std::array<Row, 1> kCellVoltageRows{{{"CellVoltage_", kU16, 3}}};
constexpr std::array<Row, 1> kCellTempRows{{{"CellTemp_", kS16, 0}}};
constexpr std::array<Row, 1> kCellStatusRows{{{"CellStatus_", kU16, 0}}};

constexpr std::array<Row, 3> kModeRows{{
    {"BatteryMode", kU16, 0},
    {"SafetyStatusSaveLsb", kLow, 0},
    {"SafetyStatusSave", kU32, 0},
}};

constexpr std::array<Row, 45> kOperatingRows{{
    {"CfVoltage", kU16, 3},
    {"CfVoltageTolerance", kU16, 3},
    {"OvcfTime", kU16, 0},
    {"Reserve", kU16, 0},
    {"CfCurrentLsb", kLow, 0},
    {"CfCurrent", kS32, 3},
    {"CurrentToleranceLsb", kLow, 0},
    {"CurrentTolerance", kS32, 3},
    {"OccfTime", kU16, 0},
    {"CfTime", kU16, 0},
    {"CurrentDeltaLsb", kLow, 0},
    {"CurrentDelta", kS32, 3},
    {"PrechVoltageTrh", kU16, 3},
    {"PrechVoltageRecovery", kU16, 3},
    {"PrechCurrentLsb", kLow, 0},
    {"PrechCurrent", kU32, 3},
    {"ChargeVoltage", kU16, 3},
    {"Reserve_1", kU16, 0},
    {"ChargeCurrentLsb", kLow, 0},
    {"ChargeCurrent", kU32, 3},
    {"ChargeDisableCurrentLsb", kLow, 0},
    {"ChargeDisableCurrent", kU32, 3},
    {"BalanceDiffTrh", kU16, 3},
    {"BalanceDiffRecovery", kU16, 3},
    {"BalanceDiffTime", kU16, 0},
    {"BalanceVoltageTrh", kU16, 3},
    {"BalanceVoltageRecovery", kU16, 3},
    {"Reserve_2", kU16, 0},
    {"BalanceCurrentLsb", kLow, 0},
    {"BalanceCurrent", kU32, 3},
    {"ChargeCompletionTime", kU16, 0},
    {"DischargeCompletionTime", kU16, 0},
    {"TransitionIdleCurrent", kS16, 3},
    {"TransitionIdleTime", kU16, 0},
    {"TransitionDischargeCurrent", kS16, 3},
    {"TransitionChargeCurrent", kS16, 3},
    {"DesignCapacity1AhLsb", kLow, 0},
    {"DesignCapacity1Ah", kU32, 3},
    {"DesignCapacity1WhLsb", kLow, 0},
    {"DesignCapacity1Wh", kU32, 3},
    {"DesignCellNumber", kS16, 0},
    {"RemainingCapacityAlarmPercent", kU16, 0},
    {"MaxChargeCapacityAlarmPercent", kU16, 0},
    {"LeakageCurrent", kU16, 3},
    {"BalanceResistor", kU16, 3},
}};

// OccTime is signed and the Utc and Utd levels carry 3 decimals, as the device holds them.
constexpr std::array<Row, 50> kProtectionRows{{
    {"CovTrh", kU16, 3},      {"CovRecovery", kU16, 3},   {"CovTime", kU16, 0},
    {"CuvTrh", kU16, 3},      {"CuvRecovery", kU16, 3},   {"CuvTime", kU16, 0},
    {"CovaTrh", kU16, 3},     {"CovaRecovery", kU16, 3},  {"CovaTime", kU16, 0},
    {"CuvaTrh", kU16, 3},     {"CuvaRecovery", kU16, 3},  {"CuvaTime", kU16, 0},
    {"CotTrh", kS16, 0},      {"CotRecovery", kS16, 0},   {"CotTime", kU16, 0},
    {"CutTrh", kS16, 0},      {"CutRecovery", kS16, 0},   {"CutTime", kU16, 0},
    {"CotaTrh", kS16, 0},     {"CotaRecovery", kS16, 0},  {"CotaTime", kU16, 0},
    {"OtaaTrh", kS16, 0},     {"OtaaRecovery", kS16, 0},  {"OtaaTime", kU16, 0},
    {"AotTrh", kS16, 0},      {"AotRecovery", kS16, 0},   {"AotTime", kU16, 0},
    {"OtambTrh", kS16, 0},    {"OtambRecovery", kS16, 0}, {"OtambTime", kU16, 0},
    {"OccTrhLsb", kLow, 0},   {"OccTrh", kS32, 3},        {"OccRecoveryLsb", kLow, 0},
    {"OccRecovery", kS32, 3}, {"OccTime", kS16, 0},       {"Reserve", kU16, 0},
    {"OcdTrhLsb", kLow, 0},   {"OcdTrh", kS32, 3},        {"OcdRecoveryLsb", kLow, 0},
    {"OcdRecovery", kS32, 3}, {"OcdTime", kU16, 0},       {"UtcTrh", kS16, 3},
    {"UtcRecovery", kS16, 3}, {"UtcTime", kU16, 0},       {"UtdTrh", kS16, 3},
    {"UtdRecovery", kS16, 3}, {"UtdTime", kU16, 0},       {"DwdgTime", kU16, 0},
    {"OtdsTime", kU16, 0},    {"DinTime", kU16, 0},
}};

constexpr std::array<Row, 3> kLinkRows{{
    {"AddrDevice", kU16, 0},
    {"Baudrate", kU16, 0},
    {"Format", kU16, 0},
}};

// The entries of one record, applied to register index mod 4.
constexpr std::array<Row, kBmsRecordRegisters> kJournalRows{{
    {"TimeLsb_", kLow, 0},
    {"Time_", kU32, 0},
    {"AlarmType_", kU16, 0},
    {"CellNumber_", kU16, 0},
}};

constexpr auto kStatusDescriptors = DescribeRows(kBmsBlockStatus, kStatusRows);
constexpr auto kCellVoltageDescriptors = DescribeRows(kBmsBlockCellVoltage, kCellVoltageRows);
constexpr auto kCellTempDescriptors = DescribeRows(kBmsBlockCellTemperature, kCellTempRows);
constexpr auto kCellStatusDescriptors = DescribeRows(kBmsBlockCellStatus, kCellStatusRows);
constexpr auto kModeDescriptors = DescribeRows(kBmsBlockMode, kModeRows);
constexpr auto kOperatingDescriptors = DescribeRows(kBmsBlockOperating, kOperatingRows);
constexpr auto kProtectionDescriptors = DescribeRows(kBmsBlockProtection, kProtectionRows);
constexpr auto kLinkDescriptors = DescribeRows(kBmsBlockLink, kLinkRows);
constexpr auto kJournalDescriptors = DescribeRows(kBmsBlockJournal, kJournalRows);

// A block's rows and descriptors; fewer rows than registers repeat them, and the register's
// name then carries its number (index / rows).
struct BlockMap {
    std::span<const Row> rows;
    std::span<const RegisterDescriptor> descriptors;
};

constexpr std::array<BlockMap, kBmsBlockCount> kBlockMaps{{
    {kStatusRows, kStatusDescriptors},
    {kCellVoltageRows, kCellVoltageDescriptors},
    {kCellTempRows, kCellTempDescriptors},
    {kCellStatusRows, kCellStatusDescriptors},
    {kModeRows, kModeDescriptors},
    {kOperatingRows, kOperatingDescriptors},
    {kProtectionRows, kProtectionDescriptors},
    {kLinkRows, kLinkDescriptors},
    {kJournalRows, kJournalDescriptors},
}};

constexpr bool RowsFitTheirBlocks() {
    for (std::size_t block = 0; block < kBmsBlockCount; ++block) {
        const std::size_t rows = kBlockMaps[block].rows.size();
        if (rows == 0 || kBmsBlocks[block].count % rows != 0) return false;
    }
    return true;
}
static_assert(RowsFitTheirBlocks());

// Table row of each block's first register.
constexpr auto kFirstRows = [] {
    std::array<std::size_t, kBmsBlockCount + 1> first{};
    first[0] = 1;
    for (std::size_t block = 0; block < kBmsBlockCount; ++block)
        first[block + 1] = first[block] + kBmsBlocks[block].count + 1;
    return first;
}();
static_assert(kFirstRows[kBmsBlockCount] == kBmsTableRows + 1);

}  // namespace

std::optional<BmsRegisterRef> BmsLocate(std::uint16_t address) {
    for (std::size_t block = 0; block < kBmsBlockCount; ++block) {
        const BlockLayout& entry = kBmsBlocks[block];
        if (address >= entry.base && address - entry.base < entry.count)
            return BmsRegisterRef{static_cast<std::uint16_t>(block),
                                  static_cast<std::uint16_t>(address - entry.base)};
    }
    return std::nullopt;
}

std::span<const RegisterDescriptor> BmsDescriptors(std::size_t block) {
    return block < kBmsBlockCount ? kBlockMaps[block].descriptors
                                  : std::span<const RegisterDescriptor>{};
}

const RegisterDescriptor* BmsDescriptor(std::size_t block, std::size_t index) {
    if (block >= kBmsBlockCount || index >= kBmsBlocks[block].count) return nullptr;
    const std::span<const RegisterDescriptor> table = kBlockMaps[block].descriptors;
    return &table[index % table.size()];
}

const RegisterDescriptor* BmsDescriptorAt(std::uint16_t address) {
    const std::optional<BmsRegisterRef> where = BmsLocate(address);
    return where ? BmsDescriptor(where->block, where->index) : nullptr;
}

std::string BmsRegisterName(std::size_t block, std::size_t index) {
    if (block >= kBmsBlockCount || index >= kBmsBlocks[block].count) return {};
    const std::span<const Row> rows = kBlockMaps[block].rows;
    std::string name(rows[index % rows.size()].name);
    if (rows.size() < kBmsBlocks[block].count) name += std::to_string(index / rows.size());
    return name;
}

std::size_t BmsTableRow(std::size_t block, std::size_t index) {
    if (block >= kBmsBlockCount || index >= kBmsBlocks[block].count) return 0;
    return kFirstRows[block] + index;
}

std::optional<BmsRegisterRef> BmsRowRegister(std::size_t row) {
    for (std::size_t block = 0; block < kBmsBlockCount; ++block) {
        if (row >= kFirstRows[block] && row - kFirstRows[block] < kBmsBlocks[block].count)
            return BmsRegisterRef{static_cast<std::uint16_t>(block),
                                  static_cast<std::uint16_t>(row - kFirstRows[block])};
    }
    return std::nullopt;
}

std::string BmsRowLabel(std::size_t row) {
    const std::optional<BmsRegisterRef> where = BmsRowRegister(row);
    return where ? BmsRegisterName(where->block, where->index) : std::string{};
}

bool CreateBmsModel(DeviceList& list, std::uint8_t address) {
    if (list.models.size() <= kBmsIndex) list.models.resize(kBmsIndex + 1);
    list.models[kBmsIndex] = BuildDeviceModel(kBmsLayout, address, false);
    return list.models[kBmsIndex] != nullptr;
}

void DestroyBmsModel(DeviceList& list) {
    if (list.models.size() > kBmsIndex) list.models[kBmsIndex].reset();
}

}  // namespace veltrona
