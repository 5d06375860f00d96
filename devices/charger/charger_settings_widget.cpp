#include "devices/charger/charger_settings_widget.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <array>

#include "devices/charger/charger_extra_settings_widget.h"
#include "devices/charger/charger_main_settings_widget.h"
#include "devices/charger/charger_service_widget.h"
#include "devices/charger/charger_settings_workflow.h"
#include "devices/charger/charger_view.h"
#include "ui/file_dialog.h"
#include "ui/images.h"
#include "ui/indicators.h"
#include "ui/message_box.h"
#include "ui/scrolled.h"

namespace veltrona {
namespace {

constexpr const char* kTabCaptions[] = {"Главные настройки", "Дополнительные настройки",
                                        "Скрытые настройки"};
constexpr int kHiddenTab = 2;

constexpr const char* kPictureFromDevice = "24_24_RADIATION";
constexpr const char* kPictureFromFile = "24_24_NEW_3";
const QString kFromDevice = QStringLiteral("Настройки из устройства");
const QString kFilter = QStringLiteral("INI Files (*.ini *.INI)");

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ChargerSettingsPage::ChargerSettingsPage(const ChargerLink& link, QWidget* parent)
    : QWidget(parent), link_(link) {
    setObjectName(QStringLiteral("pnlSettings"));
    auto* column = new QVBoxLayout(this);

    auto* buttons = new QHBoxLayout;
    connect(AddButton("btnSettingsOpen", "Открыть", "16_16_OPEN_1"), &QPushButton::clicked, this,
            &ChargerSettingsPage::OpenSettings);
    connect(AddButton("btnSettingsSave", "Сохранить", "16_16_SAVE_1"), &QPushButton::clicked, this,
            &ChargerSettingsPage::SaveSettings);
    btnSettingsCompare_ = AddButton("btnSettingsCompare", "Сравнить", "16_16_FIND_1");
    btnSettingsCompare_->hide();
    connect(btnSettingsCompare_, &QPushButton::clicked, this,
            &ChargerSettingsPage::CompareSettings);
    connect(AddButton("btnSettingsReceive", "Прочитать", "16_16_REDO_1"), &QPushButton::clicked,
            this, &ChargerSettingsPage::ReceiveSettings);
    connect(AddButton("btnSettingsSend", "Передать", "16_16_RIGHT_1"), &QPushButton::clicked, this,
            &ChargerSettingsPage::SendSettings);
    connect(AddButton("btnSettingsUndo", "Отменить", "16_16_CANCEL"), &QPushButton::clicked, this,
            &ChargerSettingsPage::UndoSettings);
    for (QPushButton* button : findChildren<QPushButton*>())
        buttons->addWidget(button);
    buttons->addStretch(1);
    column->addLayout(buttons);

    auto* source = new QHBoxLayout;
    imgStatusSettings_ = new QLabel(this);
    imgStatusSettings_->setObjectName(QStringLiteral("imgStatusSettings"));
    imgStatusSettings_->setFixedSize(24, 24);
    source->addWidget(imgStatusSettings_);
    eFileSettingsName_ = ValueField("eFileSettingsName", this);
    eFileSettingsName_->setAlignment(Qt::AlignLeft);
    source->addWidget(eFileSettingsName_, 1);
    column->addLayout(source);
    ShowSource(0, kFromDevice);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("pcDeviceSettings"));
    main_ = new ChargerMainSettingsTab(link_, tabs_);
    extra_ = new ChargerExtraSettingsTab(link_, tabs_);
    connect(main_, &ChargerMainSettingsTab::statusMessage, this,
            &ChargerSettingsPage::statusMessage);
    service_ = new ChargerServicePage(link_, tabs_);
    const std::array<QWidget*, 3> pages = {main_, extra_, service_};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        tabs_->addTab(Scrolled(pages[i], tabs_), QString::fromUtf8(kTabCaptions[i]));
    }
    tabs_->setTabVisible(kHiddenTab, false);
    tabs_->setCurrentIndex(0);
    column->addWidget(tabs_, 1);
}

QPushButton* ChargerSettingsPage::AddButton(const char* name, const char* caption,
                                            const char* glyph) {
    auto* button = new QPushButton(QString::fromUtf8(caption), this);
    button->setObjectName(QString::fromLatin1(name));
    if (QPixmap picture; LoadPicture(QString::fromLatin1(glyph), picture)) {
        button->setIcon(QIcon(picture));
    }
    return button;
}

void ChargerSettingsPage::ShowServiceItems() {
    btnSettingsCompare_->show();
    tabs_->setTabVisible(kHiddenTab, true);
}

void ChargerSettingsPage::ShowSource(std::uint8_t source, const QString& name) {
    ShowNamedPicture(*imgStatusSettings_, source == 1 ? kPictureFromFile : kPictureFromDevice);
    eFileSettingsName_->setText(name);
}

void ChargerSettingsPage::Tell(const QString& text) {
    ShowMessage(text, Utf8(kCaptionMessage), MessageButtons::kOk, this);
}

void ChargerSettingsPage::OpenSettings() {
    if (link_.view == nullptr) return;
    const auto path = ChooseFile(FileDialogKind::kOpen, link_.folder, kFilter, this);
    if (!path || !OpenChargerSettings(*link_.view, *path, BoxMessages(this))) return;
    RefreshSettingsPages();
    ShowSource(1, QString::fromStdString(std::filesystem::absolute(*path).string()));
}

void ChargerSettingsPage::SaveSettings() {
    if (link_.view == nullptr) {
        Tell(Utf8(kSettingsUndefined));
        return;
    }
    if (const auto path = ChooseFile(FileDialogKind::kSave, link_.folder, kFilter, this)) {
        SaveChargerSettings(*link_.view, *path, BoxMessages(this));
    }
}

void ChargerSettingsPage::CompareSettings() {
    Tell(QStringLiteral("Обработчик не реализован"));
}

void ChargerSettingsPage::ReceiveSettings() {
    if (link_.view == nullptr || !ReceiveChargerSettings(*link_.view)) {
        Tell(Utf8(kSettingsNotAvailable));
        return;
    }
    RefreshSettingsPages();
    ShowSource(0, kFromDevice);
}

void ChargerSettingsPage::SendSettings() {
    DeviceModel* model = link_.model();
    if (link_.view == nullptr || model == nullptr) {
        Tell(Utf8(kSettingsNotAvailable));
        return;
    }
    const SendRefusal refusal = SendChargerSettings(*model, *link_.view);
    // Validation may have corrected the edited settings, passed or not.
    if (refusal == SendRefusal::kNone || refusal == SendRefusal::kInvalidSettings) {
        RefreshSettingsPages();
    }
    if (refusal != SendRefusal::kNone) {
        Tell(Utf8(SendRefusalText(refusal)));
        return;
    }
    if (link_.startCycle) link_.startCycle();
}

void ChargerSettingsPage::UndoSettings() {
    if (link_.view == nullptr) return;
    UndoChargerSettings(*link_.view);
    RefreshSettingsPages();
}

void ChargerSettingsPage::RefreshSettingsPages() {
    if (link_.view == nullptr) return;
    main_->Refresh();
    extra_->Refresh();
    emit settingsPagesRefreshed();
}

}  // namespace veltrona
