#!/usr/bin/env python3
"""Writes inverter_rows_golden.txt: column 0 of the inverter register table."""
import os

HEADER = ["Наименование", "Мастер", "Устройство"]

# (address, name); name None = low half of a 32-bit pair
IDENT = [
    (0x0000, "Тип устройства"),
    (0x0001, "Номер устройства"),
    (0x0002, "Версия ПО"),
    (0x0003, None),
    (0x0004, "Версия компиляции ПО"),
    (0x0005, None),
    (0x0006, "Серийный номер"),
    (0x0007, "Статус устройства"),
    (0x0008, None),
    (0x0009, "RTC"),
    (0x000A, "Команда"),
    (0x000B, None),
    (0x000C, "Параметр команды"),
]

LIVE = [
    "Входное напряжение",
    "Входной ток",
    "Входная частота",
    "Входная мощность",
    "Напряжение инвертора",
    "Ток инвертора",
    "Частота инвертора",
    "Мощность инвертора",
    "Выходное напряжение",
    "Выходной ток",
    "Выходная частота",
    "Выходная мощность",
    "Температура радиатора",
    "Температура АБ",
    "Напряжение АБ",
    "Ток АБ",
    "Уровень мощности нагрузки, %",
    "Состояние заряда",
    "Рабочее состояние ИБП",
    "Флаги аварий",
    "Флаги аварий",
    "Состояние реле",
    "Заданный ток заряда",
    "Заданное напряжение заряда",
    "Состояние инвертора",
    "Регистр параллельной работы",
]

SETTINGS = [
    "Настройки ИБП",
    "Настройки перезапуска ИБП",
    "Выбор аварий для выключения ИБП",
    "Выбор аварий для выключения ИБП",
    "Выбор аварий для записи в журнал аварий",
    "Выбор аварий для записи в журнал аварий",
    "Настройки параллельной работы ИБП",
    "Напряжение на выходе инвертора",
    "Частота на выходе инвертора",
    "Количество перезапусков КЗ на выходе",
    "Мощность нагрузки для перехода в спящий режим",
    "Время между перезапусками",
    "Продолжительность мягкого старта",
    "Максимальный входной ток",
    "Нижний порог входного напряжения для перехода на АБ",
    "Нижний порог входного напряжения для перехода на сеть",
    "Верхний порог входного напряжения для перехода на АБ",
    "Верхний порог входного напряжения для перехода на сеть",
    "Время переключения на АБ",
    "Время переключения на сеть",
    "Минимальная входная частота",
    "Максимальная входная частота",
    "Время аварии по частоте",
    "Ток заряда",
    "Ток заряда пониженный",
    "Тип АБ",
    "Настройки заряда",
    "Напряжение буфера",
    "Напряжение абсорбции",
    "Ток окончания абсорбции",
    "Длительность стадии абсорбции",
    "Напряжение стадии выравнивания",
    "Ток стадии выравнивания",
    "Ток окончания стадии выравнивания",
    "Длительность стадии выравнивания",
    "Период между стадиями выравнивания",
    "Температурная компенсация",
    "Напряжение аварии по низкому напряжению АБ без нагрузки",
    "Напряжение аварии по низкому напряжению АБ при полной нагрузке",
    "Напряжение сброса аварии по низкому напряжению АБ",
    "Время установления аварии по низкому напряжению АБ",
    "Напряжение инкремента при каждом отключении по низкому напряжению АБ",
    "Напряжение аварии по высокому напряжению АБ",
    "Напряжение сброса аварии по высокому напряжению АБ",
    "Время установления аварии по высокому напряжению АБ",
    "Порог аварии заряда по низкой температуре АБ",
    "Порог сброса аварии заряда по низкой температуре АБ",
    "Порог аварии разряда по низкой температуре АБ",
    "Порог сброса аварии разряда по низкой температуре АБ",
    "Порог аварии по высокой температуре АБ",
    "Порог сброса аварии по высокой температуре АБ",
    "Время установления аварии по температуре АБ",
    "Напряжение начала нового цикла заряда",
    "Время начала нового цикла заряда",
    "Режим работы зуммера",
]

LINK = [
    "Сетевой адрес",
    "Скорость обмена",
    "Формат обмена",
]

INNER = [
    "Charge_State_Alert",
    "Operating_State_Alert",
    "Operating_State_Switching",
    "Battery_Voltage_Inner",
    "Battery_Voltage_Sense",
    "Battery_UV_Counter",
    "Output_Short_Counter",
    "Safety_Status1_Alert",
    "Safety_Status2_Alert",
    "SyncFlags",
    "Dout_Status",
    "Din_Status",
    "Charge_Manage_Alert",
    "Charge_Manage_Status",
    "Working_Flags",
    "Alarm_State",
    "Transformer_Temperature",
    "Charge_Current_Set",
]

HIDDEN = [
    "Input_AC_Abs_OV_Threshold",
    "Input_AC_Abs_OV_Recovery",
    "Input_AC_Abs_OV_Time",
    "Input_AC_Loss_Threshold",
    "Input_AC_Loss_Recovery",
    "Input_AC_Loss_Time",
    "Inverter_OT_Threshold",
    "Inverter_OT_Recovery",
    "Inverter_OT_Time",
    "Temperature_Fan_Min_Threshold",
    "Temperature_Fan_Max_Threshold",
    "Temperature_Fan_Recovery",
    "Output_AC_OC_Threshold",
    "Output_AC_OC_Recovery",
    "Output_AC_OC_Time",
    "Output_AC_OC_Period",
    "Standby_On_Time",
    "Standby_Transition_Time",
    "Standby_Softstart_Duration",
    "Output_AC_Power_Nominal",
    "Output_MaxLoad_Threshold",
    "Output_MaxLoad_Recovery",
    "Output_MaxLoad_Time",
    "Transition_to_Charge_Current",
    "Relay_On_Time_us",
    "Relay_Off_Time_us",
    "Charger_Current_Voltage_End_Time",
    "Charger_Efficiency",
    "Inverter_Efficiency",
    "Transformer_OT_Threshold",
    "Transformer_OT_Recovery",
    "Transformer_OT_Time",
]


def addr(a):
    return "0x%04X " % a


def addressed(base, names):
    return [addr(base + i) + n for i, n in enumerate(names)]


# (first row, captions) per block, in block order
BLOCKS = [
    (1, [addr(a) + (n or "") for a, n in IDENT]),
    (15, addressed(0x0700, LIVE)),
    (42, addressed(0x3600, SETTINGS)),
    (98, addressed(0x3700, SETTINGS)),
    (154, addressed(0x3800, SETTINGS)),
    (210, addressed(0x2000, LINK)),
    (214, ["0x07 " + n for n in INNER]),
    (233, ["0x " + n for n in HIDDEN]),
]

ROW_COUNT = 265
EMPTY_ROWS = {14, 41, 97, 153, 209, 213, 232}


def build():
    rows = [None] * ROW_COUNT
    rows[0] = "\t".join(HEADER)
    for first, caps in BLOCKS:
        for i, c in enumerate(caps):
            assert rows[first + i] is None, first + i
            rows[first + i] = c
    for r in EMPTY_ROWS:
        assert rows[r] is None, r
        rows[r] = ""
    assert all(r is not None for r in rows)
    assert len(SETTINGS) == 55 and len(LIVE) == 26 and len(INNER) == 18
    assert len(HIDDEN) == 32 and len(IDENT) == 13 and len(LINK) == 3
    return rows


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                       "inverter_rows_golden.txt")
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        for r in build():
            f.write(r + "\n")


if __name__ == "__main__":
    main()
