#include "tests/gui/gui_test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "shell/form_general.h"
#include "sim/sim_bus.h"

namespace veltrona {

bool WaitFor(const std::function<bool()>& done, int deadlineMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(deadlineMs, &loop, &QEventLoop::quit);
    poll.start(1);
    loop.exec();
    return done();
}

void WhenModal(std::function<void(QWidget&)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

MessageRecorder::MessageRecorder(MessageAnswer answer) : answer(answer) {
    SetMessageHook([this](const QString& text, const QString& caption, MessageButtons b) {
        messages.push_back({text, caption, b});
        return b == MessageButtons::kYesNo ? this->answer : MessageAnswer::kOk;
    });
}

MessageRecorder::~MessageRecorder() {
    SetMessageHook(nullptr);
}

int MessageRecorder::Count(const QString& text) const {
    return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                          [&](const Message& m) { return m.text == text; }));
}

bool MessageRecorder::Asked() const {
    return std::any_of(messages.begin(), messages.end(),
                       [](const Message& m) { return m.buttons == MessageButtons::kYesNo; });
}

FileDialogAnswer::FileDialogAnswer(std::optional<std::filesystem::path> choice)
    : choice(std::move(choice)) {
    SetFileDialogHook([this](FileDialogKind, const std::filesystem::path& folder, const QString&) {
        folders.push_back(folder);
        return this->choice;
    });
}

FileDialogAnswer::~FileDialogAnswer() {
    SetFileDialogHook(nullptr);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string DefaultSettings() {
    return ReadFile(std::filesystem::path(__FILE__).parent_path().parent_path() / "files" /
                    "golden" / "SettingsGeneral_default.ini");
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string ChargerAloneSettings() {
    std::string text = DefaultSettings();
    text = Replace(text, "TL_7150                                 =YES //",
                   "TL_7150                                 =NO  //");
    text = Replace(text, "BMS                                     =YES //",
                   "BMS                                     =NO  //");
    text = Replace(text, "=20000\r\n", "=2000\r\n");
    text = Replace(text, "=1600000\r\n", "=200000\r\n");
    return text;
}

std::string InverterAloneSettings() {
    std::string text = ChargerAloneSettings();
    text = Replace(text, "TARVOLEN                                =YES //",
                   "TARVOLEN                                =NO  //");
    return Replace(text, "TL_7150                                 =NO  //",
                   "TL_7150                                 =YES //");
}

std::string BmsAloneSettings() {
    std::string text = ChargerAloneSettings();
    text = Replace(text, "TARVOLEN                                =YES //",
                   "TARVOLEN                                =NO  //");
    text = Replace(text, "BMS                                     =NO  //",
                   "BMS                                     =YES //");
    const std::string bms = "BMS_Settings\r\nAddress                                 =";
    return Replace(text, bms + "3", bms + std::to_string(kStandInBmsAddress));
}

void WriteSettings(const QTemporaryDir& folder, const std::string& text) {
    std::ofstream(folder.filePath("SettingsGeneral.ini").toStdString(), std::ios::binary) << text;
}

void StandInTest::StartProgram(const std::string& settings) {
    WriteSettings(folder_, settings);
    ASSERT_NO_FATAL_FAILURE(StartStandIns(folder_, bus_));
    windows_ = std::make_unique<ApplicationWindows>(folder_.path().toStdString());
    windows_->general->show();
}

void StandInTest::TearDown() {
    windows_.reset();
    if (bus_) bus_->Stop();
    QLocale::setDefault(QLocale::c());
}

void StartStandIns(const QTemporaryDir& folder, std::unique_ptr<sim::SimBus>& bus) {
    sim::SimOptions options;
    options.folder = folder.path().toStdString();
    options.com = kStandInCom;
    options.addresses[static_cast<std::size_t>(sim::DeviceId::kBms)] = kStandInBmsAddress;
    bus = std::make_unique<sim::SimBus>(options);
    ASSERT_EQ(bus->Start(), "");
}

void ChooseStandInPort(TFormGeneral& general) {
    auto* ports = Find<QComboBox>(general, "cbNamePort");
    const int index =
        ports->findText(QStringLiteral("COM%1 ").arg(kStandInCom), Qt::MatchStartsWith);
    ASSERT_GT(index, 0);
    ports->setCurrentIndex(index);
    emit ports->activated(index);
    ASSERT_EQ(Find<QComboBox>(general, "cbBaudratePort")->currentText(), "115200");
}

void OpenStandInPort(TFormGeneral& general) {
    ASSERT_NO_FATAL_FAILURE(ChooseStandInPort(general));
    Find<QPushButton>(general, "btnActionPort")->click();
    ASSERT_TRUE(WaitFor([&] { return (general.portState() & 0x02) != 0; }));
}

}  // namespace veltrona
