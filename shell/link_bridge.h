#pragma once

#include <QString>
#include <string_view>

#include "link/link_client.h"

class QWidget;

namespace veltrona {

class TFormGeneral;

// The port worker's callbacks on the interface thread, turned into the main window's terms.
class LinkBridge final : public LinkClient {
  public:
    explicit LinkBridge(TFormGeneral& form) : form_(form) {}

    void OnStatusLine(std::uint16_t code, WallClock::time_point when) override;
    void OnWaitError(int code, WallClock::time_point when) override;
    void OnLineLost(WallClock::time_point when) override;
    void OnOpened() override;
    void OnClosed() override;
    void OnLineEvents(std::uint16_t mask) override;
    // The indicators fade on a timer of the window, so the worker need not wake every ms.
    bool WantsTicks() const override { return false; }
    void OnReceived(const FrameSlot& frame) override;
    void OnSent(std::size_t device, const DeviceModel& model, const FrameSlot& frame) override;
    void OnTransaction(std::size_t device, DeviceModel& model, bool answered) override;
    void ShowMessage(std::string_view text, std::string_view caption) override;

  private:
    TFormGeneral& form_;
};

// A status log line: the time as "hh:mm.ss.zzz", two spaces, the text.
QString StatusLogLine(WallClock::time_point when, const QString& text);

}  // namespace veltrona
