#!/usr/bin/env python3
"""Writes charger_settings_golden.ini: the charger settings file for a fixed value pattern.

The keys and comments are transcribed by hand, apart from the program's own key table, so the
golden file checks that table rather than repeating it.
"""

from pathlib import Path

TITLE = "НАСТРОЙКИ ПРИБОРА ТАРВОЛЕН"
RESERVE = "Резерв"

# Registers 0x00..0x1F of the settings block.
HEAD = [
    ("WaySaveSettings", "Способ сохранения настроек в памяти"),
    ("DeviceIdentity", "Тип устройства"),
    ("ControlMode", "Режим управления"),
    ("StageCount", "Количество доступных стадий"),
    ("StageSetShift", "Относительный адрес описателя первой стадии"),
    ("ManagementMode", "Режим управления 2"),
    ("ErrorRechargeEnable", "Ошибки разрешения перезапуска заряда"),
    ("Reserve_13", RESERVE),
    ("ChargeScript", "Сценарий заряда"),
    ("TypeBattVoltage", "Тип АБ по напряжению"),
    ("VoltageCell", "Номинальное напряжение ячейки, х100В"),
    ("CountCell", "Количество ячеек"),
    ("TypeBatt", "Тип АБ по электролиту"),
    ("CapacityBatt", "Ёмкость АБ, А*ч"),
    ("ChargeCurrentMax", "Ток заряда максимальный, х100А"),
    ("ChargeTimeMax", "Время заряда максимальное, мин"),
    ("ChargeCurrentOff", "Ток отключения заряда, х100А"),
    ("ChargeCurrentOffDuration",
     "Длительность существования условия ток меньше тока отключения, сек"),
    ("ChargeVoltageRecom", "Напряжение возобновления заряда, х100В"),
    ("ChargeVoltageRecomDuration",
     "Длительность существования условия напряжение меньше напряжения возобновления, сек"),
    ("ChargeTempMax", "Максимальная рабочая температура АБ, х10"),
    ("ChargeTempMaxDuration", "Длительность Температура больше максимальной, сек"),
    ("ChargeTempMin", "Минимальная рабочая температура АБ, х10"),
    ("ChargeTempMinDuration", "Длительность Температура меньше минимальной, сек"),
    ("ReleLockControlEnable", "Управление реле питания от АБ, разрешение"),
    ("ReleLockControlTime", "Управление реле питания от АБ, время, сек"),
    ("ReleOut1ControlCase", "Управление выходом 1, код ситуации"),
    ("ReleOut1ControlLogic", "Управление выходом 1, логика работы"),
    ("ReleOut1ControlCriterion", "Управление выходом 1, условие"),
    ("ReleOut2ControlCase", "Управление выходом 2, код ситуации"),
    ("ReleOut2ControlLogic", "Управление выходом 2, логика работы"),
    ("ReleOut2ControlCriterion", "Управление выходом 2, условие"),
]

# Registers 0x20..0x37, in address order.
MIDDLE_RESERVES = [30, 31, 32, 33, 34, 35, 2, 3] + list(range(14, 30))

# One stage descriptor: key suffix and comment tail (None: the whole comment is RESERVE).
STAGE = [
    ("Descript", "описатель"),
    ("Current_1", "ток 1"),
    ("Current_2", "ток 2"),
    ("Voltage_1", "напряжение 1"),
    ("Voltage_2", "напряжение 2"),
    ("FTemp", "коэффициент термокомпенсации"),
    ("TimePulse", "время пульса"),
    ("TimePause", "время паузы"),
    ("TimeStage", "время стадии"),
    ("DurationPass", "длительность перехода на следующую стадию"),
] + [(f"Reserve_{k}", None) for k in range(6)]

# Registers 0xF8..0xFF.
TAIL_RESERVES = list(range(4, 12))


def keys():
    table = list(HEAD)
    table += [(f"Reserve_{n}", RESERVE) for n in MIDDLE_RESERVES]
    for n in range(1, 13):
        for suffix, tail in STAGE:
            comment = RESERVE if tail is None else f"Стадия {n}, {tail}"
            table.append((f"ChargeStage_{n}_{suffix}", comment))
    table += [(f"Reserve_{n}", RESERVE) for n in TAIL_RESERVES]
    assert len(table) == 256
    assert len({key for key, _ in table}) == 256
    return table


def values():
    result = [(i * 2654435761) % 65536 for i in range(256)]
    result[0x3D] = 65512  # stage 1 FTemp holding -24
    return result


def main():
    lines = [TITLE]
    for (key, comment), value in zip(keys(), values()):
        lines.append("%-48s%s%5u%8s%s" % (key, "=", value, "//", comment))
    data = "".join(line + "\r\n" for line in lines).encode("cp1251")
    Path(__file__).with_name("charger_settings_golden.ini").write_bytes(data)


if __name__ == "__main__":
    main()
