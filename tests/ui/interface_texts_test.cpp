#include "ui/interface_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace veltrona {
namespace {

TEST(InterfaceTexts, StatusHints) {
    EXPECT_EQ(DeviceStatusHint(0xC0),
              "Устройство подключено\n\rУстройство доступно\n\rУстройство не активно\n\r"
              "Нет ошибки");
    EXPECT_EQ(DeviceStatusHint(0x02),
              "Устройство не подключено\n\rУстройство не доступно\n\rУстройство не активно\n\r"
              "Ошибка статуса управления");
    const std::string active = DeviceStatusHint(0xFF10);
    EXPECT_NE(active.find("\n\rУстройство активно\n\rНет ошибки"), std::string::npos);
    EXPECT_NE(DeviceStatusHint(0x08).find("Ошибка статуса управления"), std::string::npos);
}

TEST(InterfaceTexts, TableBounds) {
    EXPECT_EQ(InterfaceText(0), "В");
    EXPECT_EQ(InterfaceText(21), "мВ/°F");
    EXPECT_EQ(InterfaceText(29), "");
    EXPECT_EQ(InterfaceText(38), "Пользователь");
    EXPECT_EQ(InterfaceText(kInterfaceTextCount - 1), "Нет ошибки");
    EXPECT_EQ(InterfaceText(kInterfaceTextCount), "");
}

}  // namespace
}  // namespace veltrona
