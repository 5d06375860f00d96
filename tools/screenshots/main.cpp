// Renders every window of the program offscreen to PNG files in the folder given as the only
// argument (default "screenshots"), the main window also in extended mode with its status panel;
// then opens the port to the device stand-ins, as the demo does, and renders the main window and
// the charger's pages again after some seconds of polling.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "devices/bms/bms_window.h"
#include "devices/charger/charger_window.h"
#include "devices/inverter/inverter_window.h"
#include "shell/app_style.h"
#include "shell/empty_forms.h"
#include "shell/form_about.h"
#include "shell/form_general.h"
#include "shell/form_monitor_port.h"
#include "shell/form_password.h"
#include "shell/form_process.h"
#include "shell/form_settings.h"
#include "shell/program_folder.h"
#include "sim/sim_bus.h"
#include "stats/device_chart.h"
#include "ui/message_box.h"
#include "ui/register_table.h"

namespace {

bool Save(QWidget& window, const QDir& folder, const QString& name) {
    window.show();
    QApplication::processEvents();
    const QString file = folder.filePath(name + QStringLiteral(".png"));
    const bool saved = window.grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    window.hide();
    return saved;
}

void RunEventsFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Chooses the stand-ins' port in the port panel and opens it, as a user would.
bool OpenPort(veltrona::TFormGeneral& general, int com) {
    auto* ports = general.findChild<QComboBox*>(QStringLiteral("cbNamePort"));
    auto* open = general.findChild<QPushButton*>(QStringLiteral("btnActionPort"));
    if (ports == nullptr || open == nullptr) return false;
    const int index = ports->findText(QStringLiteral("COM%1 ").arg(com), Qt::MatchStartsWith);
    if (index <= 0) return false;
    ports->setCurrentIndex(index);
    emit ports->activated(index);
    open->click();
    return true;
}

bool SavePage(QWidget& window, const char* button, const QDir& folder, const QString& name) {
    auto* action = window.findChild<QAction*>(QString::fromLatin1(button));
    if (action == nullptr) return false;
    window.show();
    action->trigger();
    // A chart of a few seconds is a sliver at the default scale: show all of it.
    for (const char* scale : {"cbDeviceStatScaleX", "cbDeviceStatScaleY"}) {
        if (auto* combo = window.findChild<QComboBox*>(QString::fromLatin1(scale)))
            combo->setCurrentIndex(combo->count() - 1);
    }
    return Save(window, folder, name);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrona Monitor"));
    veltrona::ApplyAppStyle(app);
    veltrona::SetMessageHook(
        [](const QString& text, const QString& caption, veltrona::MessageButtons) {
            std::fprintf(stderr, "message: %s / %s\n", qPrintable(text), qPrintable(caption));
            return veltrona::MessageAnswer::kNo;
        });

    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
    if (!QDir().mkpath(folder.path())) return 1;

    // A COM number apart from the demo's, so that both can run at once.
    constexpr int kStandInCom = 9;
    veltrona::sim::SimOptions options;
    options.folder = veltrona::ProgramFolder();
    options.com = kStandInCom;
    // As in the demo: the BMS apart from the inverter (scripts/demo-settings.sh).
    options.addresses[static_cast<std::size_t>(veltrona::sim::DeviceId::kBms)] = 4;
    veltrona::sim::SimBus bus(options);
    const std::string started = bus.Start();
    if (!started.empty()) {
        std::fprintf(stderr, "stand-ins: %s\n", started.c_str());
        return 1;
    }

    veltrona::ApplicationWindows windows(veltrona::ProgramFolder());
    veltrona::TFormGeneral& general = *windows.general;
    bool ok = Save(general, folder, QStringLiteral("TFormGeneral"));

    // The access code through the dialog, as a user would enter it.
    QTimer::singleShot(0, [&] {
        auto* field = windows.password->findChild<QLineEdit*>(QStringLiteral("ePassword"));
        auto* confirm = windows.password->findChild<QPushButton*>(QStringLiteral("btnOk"));
        if (field == nullptr || confirm == nullptr) return windows.password->reject();
        field->setText(QStringLiteral("4071926385062719438"));
        confirm->click();
    });
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(4, 4), QPointF(4, 4), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(general.findChild<QWidget*>(QStringLiteral("imgMyLogo")), &click);
    ok = Save(general, folder, QStringLiteral("TFormGeneral_extended")) && ok;
    general.findChild<QAction*>(QStringLiteral("tbtnStatusPort"))->trigger();
    ok = Save(general, folder, QStringLiteral("TFormGeneral_status")) && ok;

    ok = Save(*windows.monitor, folder, QStringLiteral("TFormMonitorPort")) && ok;
    ok = Save(*windows.chrgSun, folder, QStringLiteral("TFormChrgSun")) && ok;
    ok = Save(*windows.dcacBox, folder, QStringLiteral("TFormDcacBox")) && ok;
    ok = Save(*windows.password, folder, QStringLiteral("TFormPassword")) && ok;
    ok = Save(*windows.about, folder, QStringLiteral("TFormAbout")) && ok;
    ok = Save(*windows.stat, folder, QStringLiteral("TFormStat")) && ok;
    ok = Save(*windows.enableStat, folder, QStringLiteral("TFormEnableStat")) && ok;
    windows.settings->Load(general.portSettings(), false, {1, 3, 3}, {true, true, true}, false);
    ok = Save(*windows.settings, folder, QStringLiteral("TFormSettings")) && ok;
    ok = Save(*windows.chrgNet, folder, QStringLiteral("TFormChrgNet")) && ok;
    windows.process->Prepare(0, 10, QStringLiteral("Сохранение настроек"));
    windows.process->Update(4, 0, QString());
    windows.process->Refresh();
    ok = Save(*windows.process, folder, QStringLiteral("TFormProcess")) && ok;
    ok = Save(*windows.bootLoader, folder, QStringLiteral("TFormBootLoader")) && ok;
    ok = Save(*windows.sku, folder, QStringLiteral("TFormSku")) && ok;

    if (!OpenPort(general, kStandInCom)) {
        std::fprintf(stderr, "the stand-ins' port is not listed\n");
        return 1;
    }
    // The BMS's journal holds up the first turns for a while; the charts then fill.
    const veltrona::SeriesStore& inverterPoints = windows.dcacBox->chart().store(0);
    constexpr int kChartPoints = 8;
    for (int waited = 0; waited < 90000 && inverterPoints.size() < kChartPoints; waited += 500)
        RunEventsFor(500);
    ok = Save(general, folder, QStringLiteral("TFormGeneral_live")) && ok;
    veltrona::TFormChrgNet& charger = *windows.chrgNet;
    ok = SavePage(charger, "tbtnDeviceGeneral", folder, QStringLiteral("TFormChrgNet_live")) && ok;
    ok = SavePage(charger, "tbtnTable", folder, QStringLiteral("TFormChrgNet_table")) && ok;
    ok = SavePage(charger, "tbtnDeviceStat", folder, QStringLiteral("TFormChrgNet_chart")) && ok;
    veltrona::TFormDcacBox& inverter = *windows.dcacBox;
    const struct {
        const char* button;
        const char* name;
    } inverterPages[] = {
        {"tbtnDeviceGeneral", "TFormDcacBox_live"},
        {"tbtnTable", "TFormDcacBox_table"},
        {"tbtnInner", "TFormDcacBox_inner"},
        {"tbtnDeviceStat", "TFormDcacBox_chart"},
    };
    for (const auto& page : inverterPages) {
        ok = SavePage(inverter, page.button, folder, QString::fromLatin1(page.name)) && ok;
    }
    veltrona::TFormSku& bms = *windows.sku;
    ok = SavePage(bms, "tbtnTable", folder, QStringLiteral("TFormSku_table")) && ok;
    // The journal's first records.
    bms.tablePage().grid().scrollTo(bms.tablePage().model().index(759 - 1, 0),
                                    QAbstractItemView::PositionAtTop);
    ok = Save(bms, folder, QStringLiteral("TFormSku_journal")) && ok;
    ok = SavePage(bms, "tbtnDeviceSettings", folder, QStringLiteral("TFormSku_settings")) && ok;

    // The settings tabs filled from the stand-in, as Receive fills them.
    charger.show();
    charger.findChild<QAction*>(QStringLiteral("tbtnDeviceSettings"))->trigger();
    auto* receive = charger.findChild<QPushButton*>(QStringLiteral("btnSettingsReceive"));
    auto* tabs = charger.findChild<QTabWidget*>(QStringLiteral("pcDeviceSettings"));
    if (receive == nullptr || tabs == nullptr) return 1;
    receive->click();
    RunEventsFor(200);  // the layouts take the rebuilt stage tabs
    const char* const tabNames[] = {"TFormChrgNet_settings_main", "TFormChrgNet_settings_extra",
                                    "TFormChrgNet_settings_service"};
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        RunEventsFor(100);
        ok = Save(charger, folder, QString::fromLatin1(tabNames[i])) && ok;
    }
    return ok ? 0 : 1;
}
