#include "devices/inverter/inverter_window_commands.h"

#include <QString>

#include "devices/bus_devices.h"
#include "devices/inverter/inverter_texts.h"
#include "devices/inverter/inverter_view.h"
#include "ui/message_box.h"

namespace veltrona {
namespace {

const QString kCaption = QStringLiteral("Сообщение");

bool Available(const InverterLink& link, QWidget* parent) {
    if (link.model() != nullptr && link.view != nullptr && !link.view->not_available) return true;
    ShowMessage(QStringLiteral("Устройство не доступно"), kCaption, MessageButtons::kOk, parent);
    return false;
}

void Queue(const InverterLink& link, std::uint16_t code) {
    DeviceModel* model = link.model();
    if (model != nullptr && QueueInverterCommand(*model, *link.view, code) && link.startCycle) {
        link.startCycle();
    }
}

}  // namespace

DeviceModel* InverterLink::model() const {
    return devices != nullptr ? devices->At(kInverterIndex) : nullptr;
}

void AskInverterOnOff(const InverterLink& link, QWidget* parent) {
    if (!Available(link, parent)) return;
    // The status word at the moment of the click decides, not the button's caption.
    const bool running = InverterRunning(*link.view);
    const QString action =
        running ? QStringLiteral("выключение устройства") : QStringLiteral("включение устройства");
    if (ShowMessage(QStringLiteral("Вы уверены, что хотите выполнить\r\n") + action, kCaption,
                    MessageButtons::kYesNo, parent) != MessageAnswer::kYes) {
        return;
    }
    Queue(link, InverterOnOffCommand(*link.view));
}

void GiveInverterNewCycle(const InverterLink& link, QWidget* parent) {
    if (Available(link, parent)) Queue(link, kInvCmdNewCycle);
}

}  // namespace veltrona
