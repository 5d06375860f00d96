#pragma once

#include <QWidget>

class QPushButton;

namespace veltrona {

// The BMS's settings page: the settings buttons, the file name and seven tabs of settings,
// modes, alarms, link settings and commands. Nothing is connected to the device or to a
// settings workflow: pressing a button has no effect.
class BmsSettingsPage : public QWidget {
    Q_OBJECT
  public:
    explicit BmsSettingsPage(QWidget* parent);

  private:
    QPushButton* AddButton(const char* name, const char* caption, const char* glyph);
    QWidget* BuildModesTab();
    QWidget* BuildLinkTab();
    QWidget* BuildCommandsTab();
};

}  // namespace veltrona
