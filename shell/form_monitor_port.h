#pragma once

#include <QDateTime>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "link/catalogue.h"
#include "link/traffic_counters.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace veltrona {

// The raw traffic window: sent frames in black, received ones in grey, while the display is
// switched on. The log keeps the latest kMaxLines lines; the status bar shows each bus device's
// traffic figures while the window is visible.
class TFormMonitorPort : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kMaxLines = 5000;
    static constexpr int kTrafficRefreshMillis = 500;

    using TrafficSource = std::function<TrafficFigures(std::size_t device)>;

    explicit TFormMonitorPort(QWidget* parent = nullptr);

    void AddReceivedLine(const std::uint8_t* frame, std::size_t length, const QDateTime& stamp);
    void AddSentLine(const std::uint8_t* frame, std::size_t length, const QDateTime& stamp);

    bool showsReceived() const { return (received_.flags & kShowBit) != 0; }
    bool showsSent() const { return (sent_.flags & kShowBit) != 0; }
    // A received frame passes when its address and command bytes match the filters under the
    // masks; a zero mask passes everything, a missing byte fails a non-zero mask.
    bool acceptsReceived(const std::uint8_t* frame, std::size_t length) const;

    // Where the figures come from, by device-list index; none leaves the panels blank.
    void SetTrafficSource(TrafficSource source);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    static constexpr std::uint8_t kShowBit = 0x01;

    struct Switch {
        std::uint8_t flags = 0;
        std::uint8_t addressMask = 0;
        std::uint8_t addressFilter = 0;
        std::uint8_t commandMask = 0;
        std::uint8_t commandFilter = 0;
    };

    struct MaskFields {
        QLineEdit* mask = nullptr;
        QLineEdit* filter = nullptr;
    };

    void SetDisplay(bool on);
    void AppendLine(bool received, const std::uint8_t* frame, std::size_t length,
                    const QDateTime& stamp);
    void ApplyMask(const MaskFields& fields, std::uint8_t& mask, std::uint8_t& filter);
    void ClearMask(const MaskFields& fields, std::uint8_t& mask, std::uint8_t& filter);
    void RefreshTraffic();

    Switch received_;
    Switch sent_;
    QPlainTextEdit* log_ = nullptr;
    QFrame* indicator_ = nullptr;
    MaskFields address_;
    MaskFields command_;
    std::array<QLabel*, kDeviceKindCount> traffic_{};
    TrafficSource trafficSource_;
    QTimer trafficTimer_;
};

}  // namespace veltrona
