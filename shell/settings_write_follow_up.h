#pragma once

#include <QObject>
#include <QTimer>
#include <cstddef>
#include <functional>

#include "devices/settings_write_step.h"

class QWidget;

namespace veltrona {

class TFormProcess;

// Follows a settings write after Send: the progress dialog on every write reply, and for a
// device's RS-485 settings block the wait for its reply (`tmrWaitReply`), after which the main
// window adopts the device's new line settings.
class SettingsWriteFollowUp : public QObject {
    Q_OBJECT
  public:
    struct Actions {
        // Takes the device's new line settings into the program settings and its model.
        std::function<void(std::size_t device)> adopt;
        // Drops what is left of the device's link write, so it does not go out again.
        std::function<void(std::size_t device)> dropLinkWrite;
    };

    static constexpr int kWaitReplyMillis = 8000;

    SettingsWriteFollowUp(QWidget& owner, Actions actions);

    void SetProcess(TFormProcess* process) { process_ = process; }

    // A write request of the device's RS-485 settings block has gone out.
    void LinkWriteSent(std::size_t device);
    // After a write transaction of a settings block (link_block: the RS-485 one).
    void ShowProgress(std::size_t device, bool link_block, const SettingsWriteStep& step);

    const QTimer& waitReplyTimer() const { return tmrWaitReply_; }

  private:
    void WaitReplyExpired();

    QWidget& owner_;
    Actions actions_;
    TFormProcess* process_ = nullptr;
    std::size_t device_ = 0;
    QTimer tmrWaitReply_;
};

}  // namespace veltrona
