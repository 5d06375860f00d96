#pragma once

#include <QWidget>
#include <array>
#include <cstddef>

#include "devices/charger/charger_field_widget.h"
#include "devices/charger/charger_page_state.h"
#include "devices/charger/charger_window_commands.h"

class QButtonGroup;
class QLabel;
class QRadioButton;
class QTabBar;

namespace veltrona {

// The relay output tabs: the shown output's control case, logic and criterion.
class ChargerOutputPanel : public QWidget {
    Q_OBJECT
  public:
    ChargerOutputPanel(const ChargerLink& link, ChargerPageState& state, QWidget* parent);

    // Shows the selected output as the edited settings hold it.
    void Show();
    std::size_t output() const;

  private:
    std::size_t Base() const;
    void CaseClicked(int output_case);
    void ShowCriterion(std::uint16_t output_case);
    ChargerSettingsValues& Edited() const { return link_.view->edited; }

    const ChargerLink& link_;
    ChargerPageState& state_;
    QTabBar* tabs_ = nullptr;
    QButtonGroup* cases_ = nullptr;
    QRadioButton* direct_ = nullptr;
    QRadioButton* inverse_ = nullptr;
    LabelledField criterion_;
    bool showing_ = false;
};

}  // namespace veltrona
