// Charger enumerations and their texts, fallbacks included.

#include "devices/charger/charger_texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace veltrona {
namespace {

TEST(ChargerTexts, StageNamesByBatteryFamily) {
    EXPECT_EQ(StageName(36, 6), "Финал");
    EXPECT_EQ(StageName(4, 6), "Финал");
    EXPECT_EQ(StageName(99, 6), "Стадия 6");
    EXPECT_EQ(StageName(36, 20), "Отключен");
    EXPECT_EQ(StageName(40, 5), "Пониженный ток");
    EXPECT_EQ(StageName(8, 1), "");
    EXPECT_EQ(StageName(0, 11), "");
    // User acid shares the acid names; every table starts with the off stage.
    for (std::uint32_t type : {0u, 1u, 2u}) {
        for (std::uint32_t stage = 0; stage < kChargerStageNames; ++stage)
            EXPECT_EQ(StageName(type, stage), StageName(32, stage));
    }
    for (std::uint32_t type : {0u, 4u, 8u, 3u, 0xFFFFu})
        EXPECT_EQ(StageNames(type)[0], "Отключен");
    for (std::uint32_t stage = 1; stage <= 12; ++stage)
        EXPECT_EQ(StageName(7, stage), "Стадия " + std::to_string(stage));
}

TEST(ChargerTexts, CommandsAndResults) {
    EXPECT_EQ(CommandText(1), "Включение заряда");
    EXPECT_EQ(CommandText(6), "Reserve 1");
    EXPECT_EQ(CommandText(15), "Reserve 10");
    EXPECT_EQ(CommandText(16), "Очистить все настройки");
    EXPECT_EQ(CommandText(17), "Не определена");
    EXPECT_EQ(CommandText(0xFFFF), "Не определена");
    EXPECT_EQ(CommandResultText(1), "Выполнена");
    EXPECT_EQ(CommandResultText(4), "Не определено");
}

TEST(ChargerTexts, ErrorTablesAndKinds) {
    EXPECT_EQ(ErrorTextA(7), "Код ошибки не известен");
    EXPECT_EQ(ErrorTextA(63), "Внутренняя неисправность (внутренний ALARM)");
    EXPECT_EQ(ErrorTextA(64), "Код ошибки не известен");
    EXPECT_EQ(ErrorTextB(16), "АБ неисправна");
    EXPECT_EQ(ErrorTextB(13), "Код ошибки не известен");
    EXPECT_EQ(ErrorTextC(1), "Неисправность цепи или датчика измерения тока заряда АБ");
    EXPECT_EQ(ErrorTextC(2), "Код ошибки не известен");
    // Every listed code of table A has its own text; the gaps share the fallback.
    std::set<std::string_view> texts;
    std::size_t known = 0;
    for (std::uint32_t code = 0; code < 256; ++code) {
        if (ErrorTextA(code) == kChrgErrorUnknown) continue;
        ++known;
        texts.insert(ErrorTextA(code));
    }
    EXPECT_EQ(known, 25u);
    EXPECT_EQ(texts.size(), 25u);
    EXPECT_EQ(ErrorKindLabel(kErrorKindStart), "ErrorStart");
    EXPECT_EQ(ErrorKindLabel(kErrorKindClose), "ErrorClose");
    EXPECT_EQ(ErrorKindLabel(kErrorKindBig), "ErrorBig");
    EXPECT_EQ(ErrorKindLabel(kErrorKindSmall), "ErrorSmall");
    EXPECT_EQ(ErrorKindLabel(4), "ErrorNotDefined");
}

TEST(ChargerTexts, BatteryAndVoltageCodes) {
    ASSERT_NE(FindBatteryType(36), nullptr);
    EXPECT_EQ(FindBatteryType(36)->caption, "User TRAC");
    EXPECT_EQ(FindBatteryType(36)->capability_bit, 6);
    EXPECT_EQ(FindBatteryType(3), nullptr);
    EXPECT_EQ(BatteryVoltageIndex(360), 2u);
    EXPECT_EQ(BatteryVoltageIndex(130), 0u);
    // The selectable voltage codes are the voltage types their capability bits name.
    for (const ChargerVoltageCode& voltage : kBatteryVoltageCodes)
        EXPECT_EQ(VoltageType(voltage.code), voltage.capability_bit);
    EXPECT_EQ(VoltageType(6000), 20);
    EXPECT_EQ(VoltageType(6001), -1);
}

}  // namespace
}  // namespace veltrona
