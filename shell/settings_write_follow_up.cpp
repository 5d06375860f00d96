#include "shell/settings_write_follow_up.h"

#include "shell/form_process.h"
#include "ui/message_box.h"

namespace veltrona {

SettingsWriteFollowUp::SettingsWriteFollowUp(QWidget& owner, Actions actions)
    : owner_(owner), actions_(std::move(actions)) {
    tmrWaitReply_.setObjectName(QStringLiteral("tmrWaitReply"));
    tmrWaitReply_.setSingleShot(true);
    tmrWaitReply_.setInterval(kWaitReplyMillis);
    connect(&tmrWaitReply_, &QTimer::timeout, this, &SettingsWriteFollowUp::WaitReplyExpired);
}

void SettingsWriteFollowUp::LinkWriteSent(std::size_t device) {
    device_ = device;
    tmrWaitReply_.start();
}

void SettingsWriteFollowUp::ShowProgress(std::size_t device, bool link_block,
                                         const SettingsWriteStep& step) {
    if (process_ != nullptr) {
        if (!process_->IsShown()) {
            process_->Prepare(0, step.maximum,
                              link_block ? QStringLiteral("Сохранение настроек RS-485")
                                         : QStringLiteral("Сохранение настроек"));
            process_->Show();
        }
        process_->Update(step.position, step.failed ? 1 : 0,
                         step.failed ? QStringLiteral("Ошибка данных") : QString());
        process_->Refresh();
    }
    if (link_block && step.failed) {
        // The device refused its new line settings: it still talks at the old ones.
        tmrWaitReply_.stop();
        return;
    }
    if (!step.complete()) return;
    if (link_block) {
        tmrWaitReply_.stop();
        if (actions_.adopt) actions_.adopt(device);
    }
    if (process_ != nullptr) process_->Finish();
}

void SettingsWriteFollowUp::WaitReplyExpired() {
    tmrWaitReply_.stop();
    const bool keep =
        ShowMessage(
            QStringLiteral("Устройство не отвечает.\r\nВы хотите сохранить новые настройки"),
            QStringLiteral("Сообщение"), MessageButtons::kYesNo, &owner_) == MessageAnswer::kYes;
    // Either way the write is over: sent again, it would reach the device at its old address.
    if (actions_.dropLinkWrite) actions_.dropLinkWrite(device_);
    if (keep && actions_.adopt) actions_.adopt(device_);
    if (process_ != nullptr) process_->Finish();
}

}  // namespace veltrona
