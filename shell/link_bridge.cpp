#include "shell/link_bridge.h"

#include <QDateTime>
#include <chrono>
#include <cstring>

#include "devices/bus_devices.h"
#include "link/serial_port.h"
#include "shell/form_general.h"
#include "ui/message_box.h"

namespace veltrona {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QDateTime ToDateTime(WallClock::time_point when) {
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(millis);
}

}  // namespace

QString StatusLogLine(WallClock::time_point when, const QString& text) {
    return ToDateTime(when).toString(QStringLiteral("hh:mm.ss.zzz")) + QStringLiteral("  ") + text;
}

void LinkBridge::OnStatusLine(std::uint16_t code, WallClock::time_point when) {
    form_.ReportStatus(code, StatusLogLine(when, FromUtf8(SerialPort::StatusText(code))));
}

void LinkBridge::OnWaitError(int code, WallClock::time_point when) {
    form_.AppendStatusLine(StatusLogLine(when, QString::number(code) + QStringLiteral("  ") +
                                                   QString::fromLocal8Bit(std::strerror(code))));
}

void LinkBridge::OnLineLost(WallClock::time_point when) {
    form_.AppendStatusLine(StatusLogLine(when, QStringLiteral("Связь с портом потеряна")));
}

void LinkBridge::OnOpened() {
    form_.PortOpened();
}

void LinkBridge::OnClosed() {
    form_.PortClosed();
}

void LinkBridge::OnLineEvents(std::uint16_t mask) {
    form_.LightLineEvents(mask);
}

void LinkBridge::OnReceived(const FrameSlot& frame) {
    form_.FrameReceived(frame.data, frame.length, ToDateTime(frame.stamp));
}

void LinkBridge::OnSent(std::size_t device, const DeviceModel& model, const FrameSlot& frame) {
    if (device == kChargerIndex && model.phase == kPhaseWrite) form_.ChargerWriteSent();
    if (device == kInverterIndex && model.phase == kPhaseWrite) form_.InverterWriteSent();
    form_.FrameSent(frame.data, frame.length, ToDateTime(frame.stamp));
}

void LinkBridge::OnTransaction(std::size_t device, DeviceModel& model, bool answered) {
    if (device == kChargerIndex) form_.ChargerTransaction(model, answered);
    if (device == kInverterIndex) form_.InverterTransaction(model, answered);
    if (device == kBmsIndex) form_.BmsTransaction(model);
}

void LinkBridge::ShowMessage(std::string_view text, std::string_view caption) {
    veltrona::ShowMessage(FromUtf8(text), FromUtf8(caption), MessageButtons::kOk, &form_);
}

}  // namespace veltrona
