#pragma once

#include <QWidget>
#include <array>
#include <cstddef>

#include "devices/charger/charger_field_widget.h"
#include "devices/charger/charger_page_state.h"
#include "devices/charger/charger_window_commands.h"

class QCheckBox;
class QTabBar;

namespace veltrona {

// The stage tabs of the main settings tab: one tab per stage of the charge script, and the
// fields of the stage the selected tab names.
class ChargerStagePanel : public QWidget {
    Q_OBJECT
  public:
    ChargerStagePanel(const ChargerLink& link, ChargerPageState& state, QWidget* parent);

    // Tabs from the script, the first one selected and shown.
    void Rebuild();
    // No tabs and nothing to edit: the settings name no battery type.
    void Clear();
    // The stage of the selected tab; 0 without tabs.
    std::size_t stage() const;

  signals:
    // An edit moved the end current's range (and maybe its value).
    void endCurrentChanged();

  private:
    struct Field {
        StageField field;
        std::size_t offset;
        std::uint16_t mask;
        LabelledField widgets;
    };

    void ShowStage();
    void FieldEdited(Field& field, std::int32_t value);
    void EnableClicked(bool ticked);
    ChargerSettingsValues& Edited() const { return link_.view->edited; }

    const ChargerLink& link_;
    ChargerPageState& state_;
    QTabBar* tabs_ = nullptr;
    QCheckBox* enable_ = nullptr;
    std::array<Field, 6> fields_;
    bool showing_ = false;
};

}  // namespace veltrona
