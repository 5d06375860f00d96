#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "devices/charger/charger_field_widget.h"
#include "devices/charger/charger_page_state.h"
#include "devices/charger/charger_window_commands.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QRadioButton;

namespace veltrona {

class ChargerOutputPanel;
class ChargerStagePanel;

// "Главные настройки": battery, charge stages, end of charge, the battery-power relay and the
// relay outputs, within the charge profile rules.
class ChargerMainSettingsTab : public QWidget {
    Q_OBJECT
  public:
    ChargerMainSettingsTab(const ChargerLink& link, QWidget* parent);

    // Shows the edited settings; the stage tabs are cleared while they name no battery type.
    void Refresh();
    const ChargerPageState& state() const { return state_; }

  signals:
    void statusMessage(const QString& text);

  private:
    QGroupBox* BuildBattery();
    QGroupBox* BuildExtra();
    void ShowSelectors();
    void ShowExtra();
    void ShowRelay();
    void VoltageClicked(int code);
    void TypeClicked(int code);
    bool ChargeRunning(const char* refusal);
    void CapacityEdited(std::int32_t value);
    ChargerSettingsValues& Edited() const { return link_.view->edited; }

    const ChargerLink& link_;
    ChargerPageState state_;
    LabelledField capacity_;
    QButtonGroup* voltages_ = nullptr;
    QButtonGroup* types_ = nullptr;
    ChargerStagePanel* stages_ = nullptr;
    LabelledField tempMax_;
    LabelledField tempMin_;
    LabelledField currentOff_;
    LabelledField voltageRecom_;
    QGroupBox* relayGroup_ = nullptr;
    QCheckBox* relayEnable_ = nullptr;
    LabelledField relayTime_;
    ChargerOutputPanel* outputs_ = nullptr;
};

}  // namespace veltrona
