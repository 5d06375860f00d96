#!/usr/bin/env python3
"""Writes bms_rows_golden.txt: the BMS register table's rows, each register row as its
caption and the storage code, display kind and decimals of its descriptor."""
import os

HEADER = ["Наименование", "Мастер", "Устройство"]

# storage code, display kind by kind
CODES = {"low": (3, 0), "u16": (4, 1), "s16": (6, 2), "u32": (9, 3), "s32": (13, 4)}

# (address, name, kind, decimals); a low half carries no decimals
STATUS = [
    (0x0000, "DesignCapacityLsb", "low", 0),
    (0x0001, "DesignCapacity", "u32", 3),
    (0x0002, "DesignCellNumber", "u16", 0),
    (0x0003, "Reserved", "u16", 0),
    (0x0004, "Reserved_1", "u16", 0),
    (0x0005, "Reserved_2", "u16", 0),
    (0x0006, "FrwVersionLsb", "low", 0),
    (0x0007, "FrwVersion", "u32", 0),
    (0x0008, "PackVoltageLsb", "low", 0),
    (0x0009, "PackVoltage", "u32", 3),
    (0x000A, "PackCurrentLsb", "low", 0),
    (0x000B, "PackCurrent", "s32", 3),
    (0x000C, "PackCurrentLeakageLsb", "low", 0),
    (0x000D, "PackCurrentLeakage", "s32", 3),
    (0x000E, "PackCurrentAverageLsb", "low", 0),
    (0x000F, "PackCurrentAverage", "s32", 3),
    (0x0010, "CellVoltageAverage", "u16", 3),
    (0x0011, "CellVoltageMax", "u16", 3),
    (0x0012, "CellVoltageMin", "u16", 3),
    (0x0013, "CellTempAverage", "s16", 0),
    (0x0014, "CellTempMax", "s16", 0),
    (0x0015, "CellTempMin", "s16", 0),
    (0x0016, "TempAmbient", "s16", 1),
    (0x0017, "RelativeStateCharge", "u16", 0),
    (0x0018, "AbsoluteStateCharge", "u16", 0),
    (0x0019, "Reserved_3", "u16", 0),
    (0x001A, "RemainingPackCapacityLsb", "low", 0),
    (0x001B, "RemainingPackCapacity", "u32", 3),
    (0x001C, "FullChargeCapacityLsb", "low", 0),
    (0x001D, "FullChargeCapacity", "u32", 3),
    (0x001E, "RunTimeEmpty", "u16", 0),
    (0x001F, "AverageTimeEmpty", "u16", 0),
    (0x0020, "AverageTimeFull", "u16", 0),
    (0x0021, "BatteryMode", "u16", 0),
    (0x0022, "BatteryStatus", "u16", 0),
    (0x0023, "CycleCount", "u16", 0),
    (0x0024, "SafetyAlertLsb", "low", 0),
    (0x0025, "SafetyAlert", "u32", 0),
    (0x0026, "SafetyStatusLsb", "low", 0),
    (0x0027, "SafetyStatus", "u32", 0),
    (0x0028, "ChargeAlert", "u16", 0),
    (0x0029, "ChargeStatus", "u16", 0),
    (0x002A, "DinDoutStatus", "u16", 0),
    (0x002B, "ChargingCurrent", "u16", 1),
    (0x002C, "ChargingVoltage", "u16", 1),
    (0x002D, "Command", "u16", 0),
    (0x002E, "CommandValueLsb", "low", 0),
    (0x002F, "CommandValue", "s32", 0),
    (0x0030, "RtcLsb", "low", 0),
    (0x0031, "Rtc", "u32", 0),
]

MODE = [
    (0x6803, "BatteryMode", "u16", 0),
    (0x6804, "SafetyStatusSaveLsb", "low", 0),
    (0x6805, "SafetyStatusSave", "u32", 0),
]

OPERATING = [
    (0x6C00, "CfVoltage", "u16", 3),
    (0x6C01, "CfVoltageTolerance", "u16", 3),
    (0x6C02, "OvcfTime", "u16", 0),
    (0x6C03, "Reserve", "u16", 0),
    (0x6C04, "CfCurrentLsb", "low", 0),
    (0x6C05, "CfCurrent", "s32", 3),
    (0x6C06, "CurrentToleranceLsb", "low", 0),
    (0x6C07, "CurrentTolerance", "s32", 3),
    (0x6C08, "OccfTime", "u16", 0),
    (0x6C09, "CfTime", "u16", 0),
    (0x6C0A, "CurrentDeltaLsb", "low", 0),
    (0x6C0B, "CurrentDelta", "s32", 3),
    (0x6C0C, "PrechVoltageTrh", "u16", 3),
    (0x6C0D, "PrechVoltageRecovery", "u16", 3),
    (0x6C0E, "PrechCurrentLsb", "low", 0),
    (0x6C0F, "PrechCurrent", "u32", 3),
    (0x6C10, "ChargeVoltage", "u16", 3),
    (0x6C11, "Reserve_1", "u16", 0),
    (0x6C12, "ChargeCurrentLsb", "low", 0),
    (0x6C13, "ChargeCurrent", "u32", 3),
    (0x6C14, "ChargeDisableCurrentLsb", "low", 0),
    (0x6C15, "ChargeDisableCurrent", "u32", 3),
    (0x6C16, "BalanceDiffTrh", "u16", 3),
    (0x6C17, "BalanceDiffRecovery", "u16", 3),
    (0x6C18, "BalanceDiffTime", "u16", 0),
    (0x6C19, "BalanceVoltageTrh", "u16", 3),
    (0x6C1A, "BalanceVoltageRecovery", "u16", 3),
    (0x6C1B, "Reserve_2", "u16", 0),
    (0x6C1C, "BalanceCurrentLsb", "low", 0),
    (0x6C1D, "BalanceCurrent", "u32", 3),
    (0x6C1E, "ChargeCompletionTime", "u16", 0),
    (0x6C1F, "DischargeCompletionTime", "u16", 0),
    (0x6C20, "TransitionIdleCurrent", "s16", 3),
    (0x6C21, "TransitionIdleTime", "u16", 0),
    (0x6C22, "TransitionDischargeCurrent", "s16", 3),
    (0x6C23, "TransitionChargeCurrent", "s16", 3),
    (0x6C24, "DesignCapacity1AhLsb", "low", 0),
    (0x6C25, "DesignCapacity1Ah", "u32", 3),
    (0x6C26, "DesignCapacity1WhLsb", "low", 0),
    (0x6C27, "DesignCapacity1Wh", "u32", 3),
    (0x6C28, "DesignCellNumber", "s16", 0),
    (0x6C29, "RemainingCapacityAlarmPercent", "u16", 0),
    (0x6C2A, "MaxChargeCapacityAlarmPercent", "u16", 0),
    (0x6C2B, "LeakageCurrent", "u16", 3),
    (0x6C2C, "BalanceResistor", "u16", 3),
]

PROTECTION = [
    (0x7000, "CovTrh", "u16", 3),
    (0x7001, "CovRecovery", "u16", 3),
    (0x7002, "CovTime", "u16", 0),
    (0x7003, "CuvTrh", "u16", 3),
    (0x7004, "CuvRecovery", "u16", 3),
    (0x7005, "CuvTime", "u16", 0),
    (0x7006, "CovaTrh", "u16", 3),
    (0x7007, "CovaRecovery", "u16", 3),
    (0x7008, "CovaTime", "u16", 0),
    (0x7009, "CuvaTrh", "u16", 3),
    (0x700A, "CuvaRecovery", "u16", 3),
    (0x700B, "CuvaTime", "u16", 0),
    (0x700C, "CotTrh", "s16", 0),
    (0x700D, "CotRecovery", "s16", 0),
    (0x700E, "CotTime", "u16", 0),
    (0x700F, "CutTrh", "s16", 0),
    (0x7010, "CutRecovery", "s16", 0),
    (0x7011, "CutTime", "u16", 0),
    (0x7012, "CotaTrh", "s16", 0),
    (0x7013, "CotaRecovery", "s16", 0),
    (0x7014, "CotaTime", "u16", 0),
    (0x7015, "OtaaTrh", "s16", 0),
    (0x7016, "OtaaRecovery", "s16", 0),
    (0x7017, "OtaaTime", "u16", 0),
    (0x7018, "AotTrh", "s16", 0),
    (0x7019, "AotRecovery", "s16", 0),
    (0x701A, "AotTime", "u16", 0),
    (0x701B, "OtambTrh", "s16", 0),
    (0x701C, "OtambRecovery", "s16", 0),
    (0x701D, "OtambTime", "u16", 0),
    (0x701E, "OccTrhLsb", "low", 0),
    (0x701F, "OccTrh", "s32", 3),
    (0x7020, "OccRecoveryLsb", "low", 0),
    (0x7021, "OccRecovery", "s32", 3),
    (0x7022, "OccTime", "s16", 0),
    (0x7023, "Reserve", "u16", 0),
    (0x7024, "OcdTrhLsb", "low", 0),
    (0x7025, "OcdTrh", "s32", 3),
    (0x7026, "OcdRecoveryLsb", "low", 0),
    (0x7027, "OcdRecovery", "s32", 3),
    (0x7028, "OcdTime", "u16", 0),
    (0x7029, "UtcTrh", "s16", 3),
    (0x702A, "UtcRecovery", "s16", 3),
    (0x702B, "UtcTime", "u16", 0),
    (0x702C, "UtdTrh", "s16", 3),
    (0x702D, "UtdRecovery", "s16", 3),
    (0x702E, "UtdTime", "u16", 0),
    (0x702F, "DwdgTime", "u16", 0),
    (0x7030, "OtdsTime", "u16", 0),
    (0x7031, "DinTime", "u16", 0),
]

LINK = [
    (0x6800, "AddrDevice", "u16", 0),
    (0x6801, "Baudrate", "u16", 0),
    (0x6802, "Format", "u16", 0),
]

# (prefix, kind, decimals) of the cell blocks: register N is cell N
CELLS = [
    ("CellVoltage_", "u16", 3),
    ("CellTemp_", "s16", 0),
    ("CellStatus_", "u16", 0),
]
CELL_COUNT = 200

# the four registers of a journal record K
RECORD = [
    ("TimeLsb_", "low", 0),
    ("Time_", "u32", 0),
    ("AlarmType_", "u16", 0),
    ("CellNumber_", "u16", 0),
]
RECORDS = 768

ROW_COUNT = 3832
EMPTY_ROWS = {51, 252, 453, 654, 658, 704, 755, 759}


def row(name, kind, decimals):
    storage, display = CODES[kind]
    return "%s\t%d\t%d\t%d" % (name, storage, display, decimals)


def named(table, base):
    assert [a for a, _, _, _ in table] == list(range(base, base + len(table)))
    return [row(n, k, d) for _, n, k, d in table]


def cells(prefix, kind, decimals):
    return [row(prefix + str(n), kind, decimals) for n in range(CELL_COUNT)]


def journal():
    return [row(p + str(k), kind, d) for k in range(RECORDS) for p, kind, d in RECORD]


# (first row, rows) per block, in block order
BLOCKS = [
    (1, named(STATUS, 0x0000)),
    (52, cells(*CELLS[0])),
    (253, cells(*CELLS[1])),
    (454, cells(*CELLS[2])),
    (655, named(MODE, 0x6803)),
    (659, named(OPERATING, 0x6C00)),
    (705, named(PROTECTION, 0x7000)),
    (756, named(LINK, 0x6800)),
    (760, journal()),
]


def build():
    rows = [None] * ROW_COUNT
    rows[0] = "\t".join(HEADER)
    for first, block in BLOCKS:
        for i, r in enumerate(block):
            assert rows[first + i] is None, first + i
            rows[first + i] = r
    for r in EMPTY_ROWS:
        assert rows[r] is None, r
        rows[r] = ""
    assert all(r is not None for r in rows)
    assert len(STATUS) == 50 and len(MODE) == 3 and len(OPERATING) == 45
    assert len(PROTECTION) == 50 and len(LINK) == 3
    return rows


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bms_rows_golden.txt")
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        for r in build():
            f.write(r + "\n")


if __name__ == "__main__":
    main()
