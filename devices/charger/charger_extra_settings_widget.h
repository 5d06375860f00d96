#pragma once

#include <QWidget>
#include <array>
#include <cstddef>
#include <cstdint>

#include "devices/charger/charger_window_commands.h"

class QButtonGroup;
class QCheckBox;

namespace veltrona {

class TNumericField;

// The "Дополнительные настройки" tab: the device's own bus line settings (the link set), the
// restart enables and the charge command mode of the edited settings.
class ChargerExtraSettingsTab : public QWidget {
    Q_OBJECT
  public:
    ChargerExtraSettingsTab(const ChargerLink& link, QWidget* parent);

    // Shows the edited settings and the link set; no handler runs.
    void Refresh();

  private:
    QWidget* BuildLinkGroup();
    QWidget* BuildRestartGroup();
    QWidget* BuildModeGroup();
    void StoreLinkField(std::size_t index, std::int32_t value);
    void StoreRestartBit(std::size_t index, bool checked);
    void StoreMode(int mode);

    const ChargerLink& link_;
    std::array<TNumericField*, 4> linkFields_{};
    std::array<QCheckBox*, 12> restartBoxes_{};
    QButtonGroup* modes_ = nullptr;
};

}  // namespace veltrona
