#include "devices/charger/charger_window_commands.h"

#include "devices/bus_devices.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_texts.h"
#include "devices/charger/charger_view.h"
#include "ui/message_box.h"

namespace veltrona {
namespace {

const QString kCaption = QStringLiteral("Сообщение");
const QString kQuestion = QStringLiteral("Вы уверены, что хотите выполнить\r\n");

// False, after the message, while the charger cannot take a command.
bool Available(const ChargerLink& link, QWidget* parent) {
    if (link.view != nullptr && link.model() != nullptr && !link.view->not_available) {
        return true;
    }
    ShowMessage(QStringLiteral("Устройство не доступно"), kCaption, MessageButtons::kOk, parent);
    return false;
}

bool Confirmed(const QString& action, QWidget* parent) {
    return ShowMessage(kQuestion + action, kCaption, MessageButtons::kYesNo, parent) ==
           MessageAnswer::kYes;
}

void Queue(const ChargerLink& link, std::uint16_t code) {
    if (QueueChargerCommand(*link.model(), *link.view, code, ChargerCommandParameter(code)) &&
        link.startCycle) {
        link.startCycle();
    }
}

}  // namespace

DeviceModel* ChargerLink::model() const {
    return devices != nullptr ? devices->At(kChargerIndex) : nullptr;
}

void AskChargeOn(const ChargerLink& link, QWidget* parent) {
    if (!Available(link, parent) || !Confirmed(QStringLiteral("включение заряда"), parent)) return;
    Queue(link, kChrgCmdChargeOn);
}

void GiveChargeOff(const ChargerLink& link, QWidget* parent) {
    if (Available(link, parent)) Queue(link, kChrgCmdChargeOff);
}

void AskClearErrors(const ChargerLink& link, QWidget* parent) {
    if (!Available(link, parent)) return;
    if (ChargerReceivedWord(*link.view, kChrgChargeState) != 0) {
        ShowMessage(QStringLiteral("Сброс ошибок возможен\r\nтолько при выключенном заряде"),
                    kCaption, MessageButtons::kOk, parent);
        return;
    }
    if (Confirmed(QStringLiteral("сброс ошибок"), parent)) Queue(link, kChrgCmdClearErrors);
}

void AskClearUserCapacity(const ChargerLink& link, QWidget* parent) {
    if (Available(link, parent) && Confirmed(QStringLiteral("сброс уровня заряда"), parent)) {
        Queue(link, kChrgCmdClearUser);
    }
}

}  // namespace veltrona
