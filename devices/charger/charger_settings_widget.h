#pragma once

#include <QWidget>

#include "devices/charger/charger_window_commands.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace veltrona {

class ChargerExtraSettingsTab;
class ChargerMainSettingsTab;
class ChargerServicePage;

// The settings page of the charger window: the six workflow buttons, where the edited
// settings came from, and the settings tabs.
class ChargerSettingsPage : public QWidget {
    Q_OBJECT
  public:
    ChargerSettingsPage(const ChargerLink& link, QWidget* parent);

    void ShowServiceItems();

    void OpenSettings();
    void SaveSettings();
    void CompareSettings();
    void ReceiveSettings();
    void SendSettings();
    void UndoSettings();
    // Shows the edited settings on the settings tabs.
    void RefreshSettingsPages();

    QTabWidget* tabs() const { return tabs_; }
    ChargerServicePage& servicePage() const { return *service_; }

  signals:
    // The tabs now show the edited settings as they stand.
    void settingsPagesRefreshed();
    // A text for the window's status panel 4.
    void statusMessage(const QString& text);

  private:
    QPushButton* AddButton(const char* name, const char* caption, const char* glyph);
    void ShowSource(std::uint8_t source, const QString& name);
    void Tell(const QString& text);

    const ChargerLink& link_;
    QLabel* imgStatusSettings_ = nullptr;
    QLineEdit* eFileSettingsName_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QPushButton* btnSettingsCompare_ = nullptr;
    ChargerMainSettingsTab* main_ = nullptr;
    ChargerExtraSettingsTab* extra_ = nullptr;
    ChargerServicePage* service_ = nullptr;
};

}  // namespace veltrona
