#include "shell/form_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "link/catalogue.h"
#include "ui/message_box.h"

namespace veltrona {
namespace {

enum List : std::size_t { kPort, kBaud, kDataBits, kParity, kStopBits, kTimeRest, kTimeWait };

struct ListDef {
    const char* name;
    const char* label;
    const char* first;  // the entry that means nothing is chosen
    const char* missing;
};

constexpr std::array<ListDef, 7> kLists{{
    {"cbNamePort", "Номер порта", "Выберете порт", "Порт не выбран"},
    {"cbBaudratePort", "Скорость", "Скорость порта", "Скорость порта не выбрана"},
    {"cbDataBitsPort", "Число бит данных", "Число бит данных", "Число бит данных порта не выбрано"},
    {"cbParityPort", "Чётность", "Чётность", "Чётность данных порта не выбрана"},
    {"cbStopBitsPort", "Число стоп-бит", "Число стоп-бит", "Число стоп-бит порта не выбрано"},
    {"cbTimeRestPort", "Время \"тишины\"", "Время \"тишины\"", "Время \"тишины\" не выбрано"},
    {"cbTimeWaitPort", "Время ожидания ответа", "Время ожидания",
     "Время ожидания ответа не выбрано"},
}};

constexpr int kPortCount = 255;
constexpr std::array<std::int32_t, 10> kBaudrates{300,  600,   1200,  2400,  4800,
                                                  9600, 19200, 38400, 57600, 115200};
constexpr int kFallbackBaudEntry = 6;  // "9600"
constexpr std::array<std::int32_t, 4> kDataBitsValues{5, 6, 7, 8};
constexpr std::array<const char*, 3> kParityTexts{"NONE", "ODD", "EVEN"};
constexpr std::array<const char*, 3> kStopBitsTexts{"1b", "1b5", "2b"};
// Times in microseconds, listed in milliseconds; the last (rest) or first (wait) entry is
// where any unlisted value lands.
constexpr std::array<std::int32_t, 5> kTimeRests{10000, 20000, 30000, 40000, 50000};
constexpr std::array<std::int32_t, 6> kTimeWaits{50000, 100000, 200000, 400000, 800000, 1600000};

constexpr int kAddressMin = 1;
constexpr int kAddressMax = 247;

struct DeviceGroupNames {
    const char* group;
    const char* enable;
    const char* address;
    const char* arrows;
};

constexpr std::array<DeviceGroupNames, 3> kDeviceGroups{{
    {"gbChrgNetService", "chbTarvolen", "eTarvolenRs485Addr", "udTarvolenRs485Addr"},
    {"gbDcacBoxService", "chbDcacBox", "eDcacBoxRs485Addr", "udDcacBoxRs485Addr"},
    {"gbBmsService", "chbBms", "eBmsRs485Addr", "udBmsRs485Addr"},
}};
constexpr std::size_t kBmsIndex = 2;

template <std::size_t N>
std::optional<int> EntryOf(const std::array<std::int32_t, N>& table, std::int32_t value) {
    const auto it = std::find(table.begin(), table.end(), value);
    if (it == table.end()) return std::nullopt;
    return static_cast<int>(it - table.begin()) + 1;
}

// An entry's index counts the leading "nothing chosen" entry.
std::size_t TableIndex(const QComboBox* list) {
    return static_cast<std::size_t>(list->currentIndex() - 1);
}

QToolButton* ArrowButton(const char* name, Qt::ArrowType arrow, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFixedSize(17, 11);
    return button;
}

}  // namespace

TFormSettings::TFormSettings(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Настройки"));
    setFixedSize(562, 388);

    auto* portGroup = new QGroupBox(QStringLiteral("Настройки порта"), this);
    portGroup->setObjectName(QStringLiteral("gbSettingsPort"));
    auto* portGrid = new QGridLayout(portGroup);
    for (std::size_t i = 0; i < kLists.size(); ++i) {
        auto* list = new QComboBox(portGroup);
        list->setObjectName(QString::fromLatin1(kLists[i].name));
        list->addItem(QString::fromUtf8(kLists[i].first));
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setMinimumContentsLength(8);
        lists_[i] = list;
        const int row = static_cast<int>(i);
        portGrid->addWidget(new QLabel(QString::fromUtf8(kLists[i].label), portGroup), row, 0);
        portGrid->addWidget(list, row, 1);
        connect(list, &QComboBox::currentIndexChanged, this, [this] { portChanged_ = true; });
    }
    for (int n = 1; n <= kPortCount; ++n)
        lists_[kPort]->addItem(QStringLiteral("COM%1").arg(n));
    for (std::int32_t rate : kBaudrates)
        lists_[kBaud]->addItem(QString::number(rate));
    for (std::int32_t bits : kDataBitsValues)
        lists_[kDataBits]->addItem(QString::number(bits));
    for (const char* text : kParityTexts)
        lists_[kParity]->addItem(QString::fromLatin1(text));
    for (const char* text : kStopBitsTexts)
        lists_[kStopBits]->addItem(QString::fromLatin1(text));
    for (std::int32_t us : kTimeRests)
        lists_[kTimeRest]->addItem(QString::number(us / 1000));
    for (std::int32_t us : kTimeWaits)
        lists_[kTimeWait]->addItem(QString::number(us / 1000));
    frameEnd_ = new QCheckBox(QStringLiteral("Конец кадра по длине"), portGroup);
    frameEnd_->setObjectName(QStringLiteral("chbFrameEndByLength"));
    portGrid->addWidget(frameEnd_, static_cast<int>(kLists.size()), 0, 1, 2);
    connect(frameEnd_, &QCheckBox::toggled, this, [this] { portChanged_ = true; });

    auto* deviceGroup = new QGroupBox(QStringLiteral("Устройства"), this);
    deviceGroup->setObjectName(QStringLiteral("cbDeviceService"));
    auto* deviceColumn = new QVBoxLayout(deviceGroup);
    for (std::size_t i = 0; i < kDevices; ++i) {
        const DeviceGroupNames& group_names = kDeviceGroups[i];
        const std::string_view name = DeviceKindName(i);
        auto* group =
            new QGroupBox(QString::fromUtf8(name.data(), qsizetype(name.size())), deviceGroup);
        group->setObjectName(QString::fromLatin1(group_names.group));
        DeviceControls& device = devices_[i];
        device.enable = new QCheckBox(QStringLiteral("Разрешение"), group);
        device.enable->setObjectName(QString::fromLatin1(group_names.enable));
        device.address = new QLineEdit(group);
        device.address->setObjectName(QString::fromLatin1(group_names.address));
        device.address->setReadOnly(true);
        device.address->setFixedWidth(40);

        auto* arrows = new QWidget(group);
        arrows->setObjectName(QString::fromLatin1(group_names.arrows));
        auto* arrowColumn = new QVBoxLayout(arrows);
        arrowColumn->setContentsMargins(0, 0, 0, 0);
        arrowColumn->setSpacing(0);
        QToolButton* up = ArrowButton("up", Qt::UpArrow, arrows);
        QToolButton* down = ArrowButton("down", Qt::DownArrow, arrows);
        arrowColumn->addWidget(up);
        arrowColumn->addWidget(down);

        auto* addressRow = new QHBoxLayout;
        addressRow->addWidget(new QLabel(QStringLiteral("Адрес"), group));
        addressRow->addWidget(device.address);
        addressRow->addWidget(arrows);
        addressRow->addStretch();
        auto* column = new QVBoxLayout(group);
        column->addWidget(device.enable);
        column->addLayout(addressRow);
        deviceColumn->addWidget(group);
        if (i == kBmsIndex) bmsGroup_ = group;

        connect(device.enable, &QCheckBox::clicked, this, [this, i] {
            toggled_[i] = !toggled_[i];
            devicesChanged_ = true;
        });
        connect(up, &QToolButton::clicked, this, [this, i] { StepAddress(i, 1); });
        connect(down, &QToolButton::clicked, this, [this, i] { StepAddress(i, -1); });
    }
    deviceColumn->addStretch();

    auto* apply = new QPushButton(QStringLiteral("Применить"), this);
    apply->setObjectName(QStringLiteral("btnApply"));
    auto* save = new QPushButton(QStringLiteral("Применить и сохранить"), this);
    save->setObjectName(QStringLiteral("btnSave"));
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    connect(apply, &QPushButton::clicked, this, [this] { Confirm(Apply); });
    connect(save, &QPushButton::clicked, this, [this] { Confirm(ApplySave); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(Cancel); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(apply);
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    auto* top = new QHBoxLayout;
    top->addWidget(portGroup);
    top->addWidget(deviceGroup, 1);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top, 1);
    page->addLayout(buttons);
}

void TFormSettings::Load(const PortSettings& port, bool frame_end_by_length,
                         const std::array<std::uint8_t, 3>& addresses,
                         const std::array<bool, 3>& enabled, bool port_open) {
    bmsGroup_->hide();
    portOpen_ = port_open;
    port_ = port;
    frameEndByLength_ = frame_end_by_length;
    addresses_ = addresses;
    toggled_ = {};
    devicesChanged_ = false;

    // A value no entry stands for selects the "nothing chosen" entry, so that an apply asks
    // for a choice instead of keeping a stale selection from an earlier showing.
    std::array<int, 7> entries{};
    entries[kPort] = port.Port >= 1 && port.Port <= kPortCount ? port.Port : 0;
    entries[kBaud] = EntryOf(kBaudrates, port.Baudrate).value_or(kFallbackBaudEntry);
    entries[kDataBits] = EntryOf(kDataBitsValues, port.DataBits).value_or(0);
    entries[kParity] = port.Parity >= 0 && port.Parity <= 2 ? port.Parity + 1 : 0;
    entries[kStopBits] = port.StopBits >= 0 && port.StopBits <= 2 ? port.StopBits + 1 : 0;
    entries[kTimeRest] = EntryOf(kTimeRests, port.TimeRest).value_or(int(kTimeRests.size()));
    entries[kTimeWait] = EntryOf(kTimeWaits, port.TimeWait).value_or(1);
    for (std::size_t i = 0; i < lists_.size(); ++i) {
        const QSignalBlocker quiet(lists_[i]);
        lists_[i]->setCurrentIndex(entries[i]);
        lists_[i]->setEnabled(!port_open);
    }
    {
        const QSignalBlocker quiet(frameEnd_);
        frameEnd_->setChecked(frame_end_by_length);
    }
    frameEnd_->setEnabled(!port_open);
    portChanged_ = false;

    for (std::size_t i = 0; i < kDevices; ++i) {
        DeviceControls& device = devices_[i];
        device.enable->setChecked(enabled[i]);
        device.address->setText(QString::number(addresses[i]));
        device.position = std::clamp(int(addresses[i]), kAddressMin, kAddressMax);
    }
}

void TFormSettings::StepAddress(std::size_t device, int step) {
    DeviceControls& controls = devices_[device];
    controls.position = std::clamp(controls.position + step, kAddressMin, kAddressMax);
    addresses_[device] = static_cast<std::uint8_t>(controls.position);
    controls.address->setText(QString::number(controls.position));
    devicesChanged_ = true;
}

void TFormSettings::Confirm(Result result) {
    if (!portChanged_ && !devicesChanged_) {
        done(Cancel);
        return;
    }
    // With the port open the port fields cannot be edited, so they are neither demanded nor
    // taken: the port settings stay exactly as they were handed in.
    if (!portOpen_) {
        for (std::size_t i = 0; i < lists_.size(); ++i) {
            if (lists_[i]->currentIndex() <= 0) {
                ShowMessage(QString::fromUtf8(kLists[i].missing), QStringLiteral("Предупреждение"),
                            MessageButtons::kOk, this);
                return;
            }
        }
        TakeEntries();
    }
    done(result);
}

void TFormSettings::TakeEntries() {
    port_.Port = lists_[kPort]->currentIndex();
    port_.Baudrate = kBaudrates[TableIndex(lists_[kBaud])];
    port_.DataBits = kDataBitsValues[TableIndex(lists_[kDataBits])];
    port_.Parity = static_cast<std::int32_t>(TableIndex(lists_[kParity]));
    port_.StopBits = static_cast<std::int32_t>(TableIndex(lists_[kStopBits]));
    port_.TimeRest = kTimeRests[TableIndex(lists_[kTimeRest])];
    port_.TimeWait = kTimeWaits[TableIndex(lists_[kTimeWait])];
    frameEndByLength_ = frameEnd_->isChecked();
}

}  // namespace veltrona
