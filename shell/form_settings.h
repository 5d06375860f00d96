#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "link/port_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace veltrona {

// The modal port and device settings dialog. Load() before every exec(); the results are
// read back after an Apply or ApplySave.
class TFormSettings : public QDialog {
    Q_OBJECT
  public:
    enum Result { Cancel = 0, Apply = 1, ApplySave = 2 };

    explicit TFormSettings(QWidget* parent = nullptr);

    void Load(const PortSettings& port, bool frame_end_by_length,
              const std::array<std::uint8_t, 3>& addresses, const std::array<bool, 3>& enabled,
              bool port_open);

    PortSettings portSettings() const { return port_; }
    bool frameEndByLength() const { return frameEndByLength_; }
    std::array<std::uint8_t, 3> addresses() const { return addresses_; }
    // Per device: the enable box was clicked an odd number of times.
    std::array<bool, 3> toggled() const { return toggled_; }

  private:
    static constexpr std::size_t kDevices = 3;

    struct DeviceControls {
        QCheckBox* enable = nullptr;
        QLineEdit* address = nullptr;
        int position = 1;  // the arrows' position, always within the address range
    };

    void StepAddress(std::size_t device, int step);
    void Confirm(Result result);
    void TakeEntries();

    std::array<QComboBox*, 7> lists_{};
    QCheckBox* frameEnd_ = nullptr;
    std::array<DeviceControls, kDevices> devices_{};
    QWidget* bmsGroup_ = nullptr;

    PortSettings port_;
    bool frameEndByLength_ = false;
    std::array<std::uint8_t, kDevices> addresses_{};
    std::array<bool, kDevices> toggled_{};
    bool portChanged_ = false;
    bool devicesChanged_ = false;
    bool portOpen_ = false;
};

}  // namespace veltrona
