#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "devices/charger/charger_window.h"
#include "devices/inverter/inverter_window_commands.h"
#include "link/device_model.h"
#include "link/port_settings.h"
#include "shell/link_bridge.h"
#include "shell/preferences.h"

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace veltrona {

struct ChargerView;
struct InverterView;
struct BmsView;
class InverterSummary;
struct ProgramSettings;
class QtWorkerHost;
class TThreadSyncComPort;
class TFormMonitorPort;
class TFormChrgSun;
class TFormDcacBox;
class TFormPassword;
class TFormAbout;
class TFormStat;
class TFormEnableStat;
class TFormSettings;
class TFormProcess;
class SettingsWriteFollowUp;
class TFormBootLoader;
class TFormSku;

// The windows the main window shows and feeds; all live as long as it does.
struct MainWindowPeers {
    TFormMonitorPort* monitor = nullptr;
    TFormChrgSun* chrgSun = nullptr;
    TFormDcacBox* dcacBox = nullptr;
    TFormPassword* password = nullptr;
    TFormAbout* about = nullptr;
    TFormStat* stat = nullptr;
    TFormSettings* settings = nullptr;
    TFormChrgNet* chrgNet = nullptr;
    TFormProcess* process = nullptr;
    TFormBootLoader* bootLoader = nullptr;
    TFormSku* sku = nullptr;
};

// The main window: owner of the port settings, the device models and the port worker.
class TFormGeneral : public QMainWindow {
    Q_OBJECT
  public:
    // folder holds the settings file and the port links.
    explicit TFormGeneral(const std::filesystem::path& folder);
    ~TFormGeneral() override;

    void AttachPeers(const MainWindowPeers& peers);

    const DeviceList& devices() const { return devices_; }
    ChargerView& chargerView() const { return *chargerView_; }
    InverterView& inverterView() const { return *inverterView_; }
    const PortSettings& portSettings() const;
    bool extendedMode() const { return extended_; }
    static constexpr std::uint8_t kPortOpenBit = 0x02;
    std::uint8_t portState() const { return portState_; }

    // From the port worker, on the interface thread.
    void ReportStatus(std::uint16_t code, const QString& line);
    void AppendStatusLine(const QString& line);
    void PortOpened();
    void PortClosed();
    void LightLineEvents(std::uint16_t mask);
    void FrameReceived(const std::uint8_t* data, std::size_t length, const QDateTime& stamp);
    void FrameSent(const std::uint8_t* data, std::size_t length, const QDateTime& stamp);
    // The reply dispatcher's charger rows, and a write request to the charger that has gone out.
    void ChargerTransaction(DeviceModel& model, bool answered);
    void ChargerWriteSent();
    // The reply dispatcher's inverter rows, and a write request to the inverter that has gone out.
    void InverterTransaction(DeviceModel& model, bool answered);
    void InverterWriteSent();
    // The BMS's rows: after every read transaction, answered or not.
    void BmsTransaction(DeviceModel& model);
    const SettingsWriteFollowUp& followUp() const { return *followUp_; }

  signals:
    // The window has closed for good: the link is down and the device models are gone.
    void ended();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    struct Indicator {
        QFrame* shape = nullptr;
        std::uint16_t mask = 0;
        bool lit = false;
        qint64 litAt = 0;
    };

    void BuildMenu();
    void BuildToolBar();
    QWidget* BuildPortPanel();
    QWidget* BuildVoidPanel();
    QWidget* BuildStatusPanel();
    QGroupBox* BuildChargerSummary(QWidget* parent);
    void RefreshChargerSummary(std::uint16_t block);
    // A device took its new RS-485 settings: record them and talk to its new address.
    void AdoptLineSettings(std::size_t device);

    void FillPortList(const QString& keep);
    void ActionPort();
    void ToggleStatusPanel();
    void CopyStatusLog();
    void ShowSettings();
    void AskAccessCode();
    void EnterExtendedMode();
    void LayOutSummaries();
    void ShowPeer(QWidget* window);
    void ColourIndicators(std::uint32_t colour);
    void FadeIndicators();
    // Runs interface events, user input aside, while busy() holds.
    void WaitWhile(const std::function<bool()>& busy);
    // False when the user keeps the port open.
    bool StopLinkForExit();
    void EndLink();

    std::filesystem::path folder_;
    std::unique_ptr<ProgramSettings> settings_;
    Preferences preferences_;
    DeviceList devices_;
    std::unique_ptr<ChargerView> chargerView_;
    std::unique_ptr<InverterView> inverterView_;
    std::unique_ptr<BmsView> bmsView_;
    ChargerLink chargerLink_;
    InverterLink inverterLink_;
    LinkBridge bridge_;
    std::unique_ptr<SettingsWriteFollowUp> followUp_;
    std::unique_ptr<QtWorkerHost> host_;
    std::unique_ptr<TThreadSyncComPort> worker_;
    MainWindowPeers peers_;

    std::uint8_t portState_ = 0;
    bool extended_ = false;
    bool opening_ = false;
    bool closing_ = false;
    bool ended_ = false;

    QMenu* menuEdit_ = nullptr;
    QMenu* menuMode_ = nullptr;
    std::array<QAction*, 5> extendedActions_{};
    QComboBox* cbNamePort_ = nullptr;
    QComboBox* cbBaudratePort_ = nullptr;
    QPushButton* btnActionPort_ = nullptr;
    std::array<Indicator, 9> indicators_{};
    QWidget* pnlVoid_ = nullptr;
    QWidget* pnlStatusPort_ = nullptr;
    QPlainTextEdit* reStatusPort_ = nullptr;
    QGroupBox* gbChrgNet_ = nullptr;
    InverterSummary* gbDcacBox_ = nullptr;
    QLabel* imgChrgNetPgModbus_ = nullptr;
    QLineEdit* eChrgNetValueVoltageBatt_ = nullptr;
    QLineEdit* eChrgNetValueCurrentBatt_ = nullptr;
    QLabel* imgMyLogo_ = nullptr;
    QTimer fadeTimer_;
    QElapsedTimer clock_;
};

// Every window of the program, created once in start-up order, the main window first.
struct ApplicationWindows {
    explicit ApplicationWindows(const std::filesystem::path& folder);
    ~ApplicationWindows();
    ApplicationWindows(const ApplicationWindows&) = delete;
    ApplicationWindows& operator=(const ApplicationWindows&) = delete;

    // The main window goes first when the windows are destroyed, so that its link never
    // reports to a window that is already gone.
    std::unique_ptr<TFormGeneral> general;
    std::unique_ptr<TFormMonitorPort> monitor;
    std::unique_ptr<TFormChrgSun> chrgSun;
    std::unique_ptr<TFormDcacBox> dcacBox;
    std::unique_ptr<TFormPassword> password;
    std::unique_ptr<TFormAbout> about;
    std::unique_ptr<TFormStat> stat;
    std::unique_ptr<TFormEnableStat> enableStat;
    std::unique_ptr<TFormSettings> settings;
    std::unique_ptr<TFormChrgNet> chrgNet;
    std::unique_ptr<TFormProcess> process;
    std::unique_ptr<TFormBootLoader> bootLoader;
    std::unique_ptr<TFormSku> sku;
};

}  // namespace veltrona
